// Go To and the login typed after it, the hot keys, and the recent websites menu, in the
// windows of an application with fake desktop services: which browser opens the address,
// what is typed (the login as it was when Go To started), when nothing may be typed, and a
// menu per database that follows its folders.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "attributes/attributesarea.h"
#include "logins/logincontroller.h"
#include "logins/loginmessages.h"
#include "logins/loginpage.h"
#include "logins/loginpanels.h"
#include "logins/loginscommands.h"
#include "mainwindow.h"
#include "reminders/reminderscommands.h"

#include "logins/loginedits.h"
#include "logins/loginrecord.h"
#include "logins/recentwebsitelist.h"
#include "platform/fake/fakeplatform.h"
#include "prefs/hotkeyprefs.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "support/testsecrets.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
namespace secrets = folivo::test::secrets;
using Status = OperationResult::Status;

namespace {

class RecordingController : public AppController {
public:
    using AppController::AppController;
    void alert(const QString& title, const QString& text) override { alerts << title + ": " + text; }
    QStringList alerts;
};

class GoTo : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit());
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.GoToTest"));
        prefs_->setBool(false, prefkeys::NotifyOpenIndexCheck);
        prefs_->setInteger(50, QStringLiteral("typeSpeed")); // typed key by key (absent pastes)
        controller_ = std::make_unique<RecordingController>(prefs_.get(), fake_.platform());
        logins().runner().timeScale = 0; // every wait planned, none waited
        logins().runner().ownWindowActive = [] { return false; };
        window_ = controller_->createDatabase(scratch_.file("Logins.fvdb"));
        ASSERT_NE(window_, nullptr);
        for (const char* f : {"Bank", "Tax", "Shop"})
            ASSERT_EQ(doc().recordNewCategory(f, nullptr, -1).status, Status::Done);
        settle();
    }
    void TearDown() override
    {
        for (const auto& b : responder_.seen())
            ADD_FAILURE() << "unexpected box: " << qPrintable(b.title);
        controller_.reset();
        prefs_.reset();
        qputenv("XDG_CONFIG_HOME", previousConfig_);
    }
    static void settle()
    {
        for (int i = 0; i < 6; ++i)
            QCoreApplication::processEvents();
    }
    // Lets the sequence under way run to its end.
    void finishTyping()
    {
        if (logins().runner().running()) {
            QSignalSpy done(&logins().runner(), &LoginRunner::finished);
            EXPECT_TRUE(done.wait(5000));
        }
        settle();
    }
    MyDocument& doc() { return window_->document(); }
    LoginController& logins() { return controller_->logins(); }
    LoginsCommands* commands(MainWindow* w = nullptr) const
    {
        return static_cast<LoginsCommands*>((w ? w : window_)->module(QStringLiteral("logins")));
    }
    LoginPage* page() const { return window_->findChild<AttributesArea*>()->loginPage(); }
    platform::FakeTyping& typing() { return fake_.typing(); }
    platform::FakeDesktop& desktop() { return fake_.desktop(); }
    void setLogin(const QString& folder, std::initializer_list<std::pair<QString, plist::Value>> keys)
    {
        ASSERT_TRUE(editLogin(doc(), folder, [&](IndexItem& f) {
            for (const auto& [key, value] : keys)
                f.setValue(key, value);
            return true;
        }));
    }
    // A login that Go To types: the user ID, Tab, the password, Return.
    void loggingIn(const QString& folder, const QString& userID, const QString& password)
    {
        setLogin(folder, {{loginkeys::URL, QStringLiteral("%1.example").arg(folder.toLower())},
                          {loginkeys::NewUserIDOptions, std::int64_t(1)},
                          {loginkeys::UserID, userID},
                          {loginkeys::Password, password},
                          {loginkeys::PasswordTabSwitch, true},
                          {loginkeys::PasswordEnter, true}});
    }
    void select(const QString& path)
    {
        ASSERT_TRUE(window_->selectPath(path));
        settle();
        ASSERT_EQ(page()->folderPath(), path);
    }
    QStringList menuTitles(MainWindow* w = nullptr) const
    {
        QStringList out;
        for (QAction* a : commands(w)->recentWebsitesMenu()->actions())
            out << (a->isSeparator() ? QStringLiteral("--") : a->text());
        return out;
    }
    QAction* clearMenu() const { return commands()->recentWebsitesMenu()->actions().last(); }

    QByteArray previousConfig_;
    test::Scratch scratch_;
    platform::FakePlatform fake_;
    std::unique_ptr<KTPrefs> prefs_;
    std::unique_ptr<RecordingController> controller_;
    MainWindow* window_ = nullptr;
    test::ModalResponder responder_{[](QMessageBox* b) { b->reject(); }};
};

TEST_F(GoTo, OpensTheAddressInTheChosenBrowserOrTheDefault)
{
    const struct {
        const char* url;
        const char* browser; // the stored browser's id; "" none
        std::optional<bool> openWith;
        bool openUrl;
        QStringList openedWith; // ids asked
        QStringList openedUrls;
        bool told; // the person hears that nothing could be opened
    } cases[] = {
        {"bank.example/login", "", std::nullopt, true, {}, {"http://bank.example/login"}, false},
        {"file:///srv/page.html", "", std::nullopt, true, {}, {"file:///srv/page.html"}, false},
        {"https://bank.example", "firefox-esr.desktop", true, true, {"firefox-esr.desktop"}, {}, false},
        // A browser uninstalled since (or named by the macOS edition): the default opens it.
        {"https://bank.example", "com.apple.Safari", false, true, {"com.apple.Safari"}, {"https://bank.example"}, false},
        {"https://bank.example", "", std::nullopt, false, {}, {"https://bank.example"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        desktop().openedWith.clear();
        desktop().openedUrls.clear();
        controller_->alerts.clear();
        desktop().openWithSucceeds = c.openWith;
        desktop().succeed = c.openUrl;
        setLogin("Bank", {{loginkeys::URL, QString::fromLatin1(c.url)}, {loginkeys::BrowserBundleID, QString::fromLatin1(c.browser)}});
        ASSERT_TRUE(commands()->goTo("Bank"));
        QStringList with, urls;
        for (const auto& [id, list] : desktop().openedWith)
            with << id;
        for (const QUrl& u : desktop().openedUrls)
            urls << u.toString();
        EXPECT_EQ(with, c.openedWith);
        EXPECT_EQ(urls, c.openedUrls);
        EXPECT_EQ(controller_->alerts.size(), c.told ? 1 : 0);
    }
    desktop().succeed = true;
    desktop().openedUrls.clear();
    setLogin("Tax", {{loginkeys::UserID, secrets::UserID}});
    EXPECT_FALSE(commands()->goTo("Tax")) << "a folder without an address opens nothing";
    EXPECT_TRUE(desktop().openedUrls.isEmpty());
}

TEST_F(GoTo, TypesTheLoginAsItWasWhenGoToStarted)
{
    loggingIn("Bank", secrets::UserID, secrets::Password);
    loggingIn("Tax", secrets::UserID2, secrets::Password2);
    select("Bank");
    ASSERT_TRUE(page()->goToButton()->isEnabled());
    page()->goToButton()->click();
    ASSERT_TRUE(logins().runner().running()) << "waiting for the page";
    // Meanwhile the person shows another folder and changes the first one's password.
    select("Tax");
    setLogin("Bank", {{loginkeys::Password, secrets::Specials}});
    finishTyping();

    EXPECT_TRUE(typing().typed() == secrets::UserID + secrets::Password);
    QList<Qt::Key> keys;
    for (const auto& s : typing().strokes)
        if (s.kind == platform::FakeTyping::Stroke::Kind::Key)
            keys << s.key.key();
    EXPECT_EQ(keys, (QList<Qt::Key>{Qt::Key_Tab, Qt::Key_Return}));
    EXPECT_EQ(logins().runner().stepLog.first(), "ShowWarning");
    EXPECT_TRUE(logins().panels().warningText().isEmpty()) << "the warning goes when the typing ends";
    EXPECT_EQ(desktop().openedUrls, QList<QUrl>{QUrl("http://bank.example")});
}

TEST_F(GoTo, NothingIsTypedWhenTheBrowserDidNotOpenOrFolivoIsInFront)
{
    loggingIn("Bank", secrets::UserID, secrets::Password);
    desktop().succeed = false;
    EXPECT_TRUE(commands()->goTo("Bank"));
    finishTyping();
    EXPECT_TRUE(typing().strokes.isEmpty());
    ASSERT_EQ(controller_->alerts.size(), 1);
    EXPECT_TRUE(controller_->alerts.first().contains("could not be opened"));

    desktop().succeed = true;
    controller_->alerts.clear();
    logins().runner().ownWindowActive = [] { return true; };
    EXPECT_TRUE(commands()->goTo("Bank"));
    finishTyping();
    EXPECT_TRUE(typing().typed().isEmpty()) << "the login is not typed into Folivo's own window";
    EXPECT_EQ(logins().panels().warningText(), loginmsg::StoppedOwnWindow);
}

TEST_F(GoTo, WithoutTypingTheSiteStillOpensAndThePersonIsToldOnce)
{
    typing().isAvailable = false;
    loggingIn("Bank", secrets::UserID, secrets::Password);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(commands()->goTo("Bank"));
        finishTyping();
    }
    EXPECT_EQ(desktop().openedUrls.size(), 2);
    ASSERT_EQ(controller_->alerts.size(), 1) << "once a run";
    EXPECT_TRUE(controller_->alerts.first().contains(typing().unavailableReason()));
    EXPECT_TRUE(typing().strokes.isEmpty());
}

TEST_F(GoTo, HotKeysTypeTheLoginTheWindowShows)
{
    // The keys as the application grabs them at launch, pressed on the (fake) desktop.
    const QKeyCombination userIDKey(Qt::ControlModifier | Qt::AltModifier, Qt::Key_U);
    const QKeyCombination passwordKey(Qt::ControlModifier | Qt::AltModifier, Qt::Key_P);
    setLoginHotKey(*prefs_, LoginHotKey::UserID, userIDKey);
    setLoginHotKey(*prefs_, LoginHotKey::Password, passwordKey);
    controller_->startHotKeys();

    loggingIn("Bank", secrets::UserID, secrets::Password);
    ASSERT_TRUE(fake_.hotKeys().press(userIDKey));
    finishTyping();
    EXPECT_TRUE(typing().strokes.isEmpty()) << "no folder shown yet: nothing to type";

    select("Bank");
    EXPECT_EQ(logins().context().folderPath(), "Bank");
    typing().holdPastes = true;
    prefs_->setInteger(0, QStringLiteral("typeSpeed")); // paste
    ASSERT_TRUE(fake_.hotKeys().press(userIDKey));
    QTest::qWait(20);
    ASSERT_TRUE(logins().runner().running());
    ASSERT_TRUE(fake_.hotKeys().press(passwordKey)); // while the first still types
    typing().finishPaste();
    QTest::qWait(20);
    typing().finishPaste();
    finishTyping();
    QStringList pasted;
    for (const auto& s : typing().strokes)
        if (s.kind == platform::FakeTyping::Stroke::Kind::Paste)
            pasted << s.text;
    EXPECT_TRUE(pasted == (QStringList{secrets::UserID, secrets::Password})) << "the second hot key was ignored";

    // The password shown instead of typed: from the login, for ten seconds.
    typing().strokes.clear();
    setLogin("Bank", {{loginkeys::PasswordOptions, std::int64_t(3)}});
    logins().runner().timeScale = 1;
    logins().hotKeyPressed(LoginHotKey::Password);
    finishTyping();
    EXPECT_TRUE(logins().panels().passwordShown() == secrets::Password);
    EXPECT_TRUE(typing().strokes.isEmpty());
    logins().panels().hidePassword();
}

TEST_F(GoTo, TheLoginContextFollowsItsFolder)
{
    loggingIn("Bank", secrets::UserID, secrets::Password);
    select("Bank");
    ASSERT_EQ(doc().recordRename("Bank", "Money").status, Status::Done);
    EXPECT_EQ(logins().context().folderPath(), "Money");
    EXPECT_TRUE(logins().context().record().has_value());

    ASSERT_EQ(doc().recordDelete("Money").status, Status::Done);
    settle();
    EXPECT_TRUE(logins().context().empty());
    logins().hotKeyPressed(LoginHotKey::UserID);
    finishTyping();
    EXPECT_TRUE(typing().strokes.isEmpty());

    loggingIn("Tax", secrets::UserID, secrets::Password);
    select("Tax");
    EXPECT_FALSE(logins().context().empty());
    window_->close();
    settle();
    EXPECT_TRUE(logins().context().empty()) << "its database closed";
}

TEST_F(GoTo, TheRecentWebsitesMenuOfEachDatabase)
{
    EXPECT_EQ(menuTitles(), QStringList{loginmsg::ClearMenu});
    EXPECT_FALSE(clearMenu()->isEnabled());
    for (const char* f : {"Bank", "Tax", "Shop"})
        setLogin(f, {{loginkeys::URL, QStringLiteral("https://%1.example").arg(f)}});
    for (const char* f : {"Bank", "Tax", "Shop", "Bank"})
        ASSERT_TRUE(commands()->goTo(f));
    EXPECT_EQ(menuTitles(), (QStringList{"Bank", "Shop", "Tax", "--", loginmsg::ClearMenu}));
    EXPECT_TRUE(clearMenu()->isEnabled());
    EXPECT_EQ(doc().settings().recentWebsiteTitles, (QStringList{"Bank", "Shop", "Tax"})) << "saved with the database";

    ASSERT_EQ(doc().recordRename("Shop", "Shopping").status, Status::Done);
    ASSERT_EQ(doc().recordDelete("Tax").status, Status::Done);
    settle();
    EXPECT_EQ(menuTitles(), (QStringList{"Bank", "Shopping", "--", loginmsg::ClearMenu}));

    // An entry shows its folder, selects it and opens its site again.
    desktop().openedUrls.clear();
    commands()->recentWebsitesMenu()->actions().at(1)->trigger();
    settle();
    EXPECT_EQ(window_->selectedPaths(), QStringList{"Shopping"});
    EXPECT_EQ(desktop().openedUrls, QList<QUrl>{QUrl("https://Shop.example")});
    EXPECT_EQ(menuTitles().first(), "Shopping");
    EXPECT_FALSE(commands()->goToRecent("Tax")) << "a title that names no folder does nothing";

    // Another database has a list of its own.
    MainWindow* other = controller_->createDatabase(scratch_.file("Other.fvdb"));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(menuTitles(other), QStringList{loginmsg::ClearMenu});

    clearMenu()->trigger();
    EXPECT_EQ(menuTitles(), QStringList{loginmsg::ClearMenu});
    EXPECT_FALSE(clearMenu()->isEnabled());
    EXPECT_TRUE(doc().settings().recentWebsiteTitles.isEmpty());
}

TEST_F(GoTo, TheCommandTheButtonAndRemindersOpenTheSite)
{
    setLogin("Bank", {{loginkeys::URL, QStringLiteral("https://bank.example")}});
    select("Tax");
    window_->refreshActions();
    EXPECT_FALSE(window_->action(MenuCommand::GoToUrl)->isEnabled());
    EXPECT_FALSE(page()->goToButton()->isEnabled());
    select("Bank");
    window_->refreshActions();
    ASSERT_TRUE(window_->action(MenuCommand::GoToUrl)->isEnabled());
    EXPECT_TRUE(page()->goToButton()->isEnabled());

    // An address typed and not yet stored is stored and opened.
    page()->addressField()->setText(QStringLiteral("bank.example/new"));
    page()->addressField()->setModified(true);
    window_->action(MenuCommand::GoToUrl)->trigger();
    EXPECT_EQ(desktop().openedUrls, QList<QUrl>{QUrl("http://bank.example/new")});
    EXPECT_EQ(LoginRecord::of(*doc().tree().itemForPath("Bank")).url, "bank.example/new");

    auto* reminders = static_cast<RemindersCommands*>(window_->module(QStringLiteral("reminders")));
    ASSERT_TRUE(reminders->openWebsite);
    reminders->openWebsite("Bank");
    EXPECT_EQ(desktop().openedUrls.size(), 2);
}

} // namespace
