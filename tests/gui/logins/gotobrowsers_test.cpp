// Go To with the desktop's own services: the browsers the login page offers come from the
// .desktop files of the data folders, in the order of their names; Go To starts the chosen
// one with the address as one argument of its own (no shell ever reads it), and a browser
// that is gone gives way to the desktop's default.

#include "attributes/attributesarea.h"
#include "logins/loginpage.h"
#include "logins/loginscommands.h"
#include "mainwindow.h"

#include "logins/loginedits.h"
#include "logins/loginrecord.h"
#include "platform/fake/faketyping.h"
#include "platform/linux/linuxdesktop.h"
#include "platform/hotkeys.h"
#include "platform/notifications.h"
#include "platform/platform.h"
#include "platform/platformtest.h"
#include "store/dboperation.h"
#include "store/indexitem.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using folivo::platform::test::ScopedEnvironment;
using folivo::platform::test::waitUntil;
using folivo::platform::test::writeFile;

namespace {

class GoToBrowsers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        // Each program writes the arguments it was given, one a line, into <name>.args.
        for (const char* program : {"xdg-open", "zeta-browser", "alpha-browser"})
            ASSERT_TRUE(writeFile(path("bin/") + program,
                                  ("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + path(program) +
                                   ".args.part\" && mv \"" + path(program) + ".args.part\" \"" + path(program) +
                                   ".args\"\n")
                                      .toUtf8(),
                                  true));
        const auto app = [this](const QString& folder, const QString& name, const QString& keys) {
            ASSERT_TRUE(writeFile(path(folder + "/applications/" + name),
                                  ("[Desktop Entry]\nType=Application\n" + keys).toUtf8()));
        };
        app("home", "zeta.desktop", "Name=Zeta Browser\nExec=" + path("bin/zeta-browser") +
                                        " --new-window %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
        app("sys", "alpha.desktop", "Name=Alpha Browser\nExec=" + path("bin/alpha-browser") +
                                        " %U\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
        app("sys", "viewer.desktop", "Name=Viewer\nExec=" + path("bin/alpha-browser") + " %f\nMimeType=application/pdf;\n");
        env_.emplace(ScopedEnvironment::Values{
            {"XDG_DATA_HOME", path("home").toUtf8()},
            {"XDG_DATA_DIRS", path("sys").toUtf8()},
            {"XDG_CURRENT_DESKTOP", std::nullopt},
            {"PATH", (path("bin") + ":" + qEnvironmentVariable("PATH")).toUtf8()},
        });
        platform_ = std::make_unique<platform::Platform>(platform::makeLinuxDesktop(), nullptr,
                                                         std::make_unique<platform::FakeTyping>());
        window_ = std::make_unique<MainWindow>(nullptr, nullptr, platform_.get());
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(path("Logins.fvdb")).ok());
        ASSERT_EQ(window_->document().recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        window_->show();
        ASSERT_TRUE(window_->selectPath("Bank"));
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
        window_.reset();
    }
    QString path(const QString& rel) const { return dir_.filePath(rel); }
    LoginPage* page() const { return window_->findChild<AttributesArea*>()->loginPage(); }
    LoginsCommands* commands() const { return static_cast<LoginsCommands*>(window_->module("logins")); }
    // The arguments the program was started with, once it has written them.
    QStringList argumentsOf(const QString& program)
    {
        const QString file = path(program + ".args");
        if (!waitUntil([&] { return QFileInfo::exists(file); }))
            return {};
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            return {};
        QStringList out = QString::fromUtf8(in.readAll()).split('\n');
        out.removeAll(QString());
        QFile::remove(file);
        return out;
    }
    void setLogin(const QString& key, const QString& value)
    {
        ASSERT_TRUE(editLogin(window_->document(), "Bank", [&](IndexItem& f) {
            f.setValue(key, value);
            return true;
        }));
    }

    QTemporaryDir dir_;
    std::optional<ScopedEnvironment> env_;
    std::unique_ptr<platform::Platform> platform_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(GoToBrowsers, TheChosenBrowserGetsTheAddressAsOneArgumentAndTheDefaultStandsIn)
{
    QComboBox* menu = page()->browserMenu();
    QStringList offered;
    for (int i = 0; i < menu->count(); ++i)
        offered << menu->itemText(i);
    EXPECT_EQ(offered, (QStringList{DefaultBrowserTitle, BuiltInBrowserTitle, "Alpha Browser", "Zeta Browser"}));

    menu->setCurrentIndex(3);
    emit menu->activated(3);
    const LoginRecord chosen = LoginRecord::of(*window_->document().tree().itemForPath("Bank"));
    EXPECT_EQ(chosen.browser, "Zeta Browser");
    EXPECT_EQ(chosen.browserBundleID, "zeta.desktop");

    // What a shell would run, had the address gone through one.
    const QString marker = path("ran");
    setLogin(loginkeys::URL, "bank.example/login?next=$(touch " + marker + ");x=1");
    ASSERT_TRUE(commands()->goTo("Bank"));
    const QStringList zeta = argumentsOf("zeta-browser");
    ASSERT_EQ(zeta.size(), 2) << zeta.join(" | ").toStdString();
    EXPECT_EQ(zeta.at(0), "--new-window");
    EXPECT_TRUE(zeta.at(1).startsWith("http://bank.example/login?next=$(touch")) << zeta.at(1).toStdString();
    EXPECT_FALSE(QFileInfo::exists(marker)) << "no shell read the address";
    EXPECT_FALSE(QFileInfo::exists(path("xdg-open.args")));

    // The browser stored with the folder is gone (or came from another system).
    setLogin(loginkeys::BrowserBundleID, "gone.desktop");
    setLogin(loginkeys::URL, "https://bank.example/");
    ASSERT_TRUE(commands()->goTo("Bank"));
    EXPECT_EQ(argumentsOf("xdg-open"), QStringList{"https://bank.example/"});
}

} // namespace
