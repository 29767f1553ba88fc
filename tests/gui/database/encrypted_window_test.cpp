// Opening an encrypted database from the application: the password sheet over the start,
// the window with the lock shown once the password was accepted, and nothing opened when
// the sheet is cancelled.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "mainwindow.h"
#include "database/passwordsheet.h"
#include "preferences/preferencesdialog.h"

#include "prefs/ktprefs.h"
#include "store/messages.h"

#include "util/fs.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

// Types each of `passwords` into the password sheets that come up, in turn, and cancels
// any sheet after they run out. Records the error line's visibility at each sheet visit.
class SheetTyper {
public:
    explicit SheetTyper(QStringList passwords) : passwords_(std::move(passwords))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    int attempts() const { return attempts_; }
    QList<bool> errorShownBefore; // per attempt: the error line was up when it was typed
    QString pngPath; // when set, the sheet is grabbed there after the first refusal
    QStringList boxes;              // message boxes answered
    QList<bool> preferencesPages;   // per preferences window: it showed the backup page

private:
    void poll()
    {
        // What follows an accepted password: the backup advice, then the settings.
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
            boxes << box->text() + box->informativeText();
            box->accept();
            return;
        }
        if (auto* prefs = qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget()); prefs && prefs->isVisible()) {
            preferencesPages << (prefs->tabs()->currentWidget() == prefs->backupPage());
            prefs->reject();
            return;
        }
        auto* sheet = qobject_cast<PasswordSheet*>(QApplication::activeModalWidget());
        if (!sheet || !sheet->isVisible())
            return;
        if (!pngPath.isEmpty() && attempts_ == 1) {
            sheet->grab().save(pngPath);
            pngPath.clear();
        }
        if (passwords_.isEmpty()) {
            QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
            return;
        }
        errorShownBefore << sheet->errorLine()->isVisible();
        ++attempts_;
        // Typed as a whole: key events cannot carry the non-ASCII letters of the password.
        sheet->passwordField()->insert(passwords_.takeFirst());
        QTest::keyClick(sheet->passwordField(), Qt::Key_Return);
    }
    QStringList passwords_;
    QTimer timer_;
    int attempts_ = 0;
};

class EncryptedWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString fixtures = test::fixturesDir();
        ASSERT_FALSE(fixtures.isEmpty());
        pkg_ = scratch_.file("Encrypted.fvdb");
        ASSERT_TRUE(fs::copyTree(fixtures + "/Encrypted.fvdb", pkg_));
        password_ = QJsonDocument::fromJson(test::readAll(fixtures + "/manifest.json"))
                        .object()
                        .value("Encrypted.fvdb")
                        .toObject()
                        .value("password")
                        .toString();
    }
    test::Scratch scratch_;
    QString pkg_;
    QString password_;
};

} // namespace

TEST_F(EncryptedWindow, OpensAfterTheRightPasswordWithTheLockShown)
{
    AppController app;
    SheetTyper typer({"wrong", password_});
    typer.pngPath = qEnvironmentVariable("FOLIVO_SHEET_PNG"); // for looking at it by hand
    MainWindow* window = app.openDatabase(pkg_);
    ASSERT_TRUE(window);
    EXPECT_EQ(typer.attempts(), 2);
    EXPECT_EQ(typer.errorShownBefore, QList<bool>({false, true}));
    EXPECT_TRUE(window->document().dbEncrypted());
    auto* lock = window->findChild<QLabel*>("lockIcon");
    ASSERT_TRUE(lock);
    EXPECT_TRUE(lock->isVisibleTo(window));
    EXPECT_TRUE(window->selectPath("Notes/Report.rtfd"));
    window->close();
}

TEST_F(EncryptedWindow, CancellingTheSheetOpensNothing)
{
    AppController app;
    SheetTyper typer({});
    EXPECT_EQ(app.openDatabase(pkg_), nullptr);
    EXPECT_TRUE(app.windows().isEmpty());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<MainWindow*>(w) && w->isVisible());
}

TEST_F(EncryptedWindow, TheBackupAdviceComesOnceAfterThePasswordThenTheSettings)
{
    test::ScopedEnv config("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit());
    KTPrefs prefs(QStringLiteral("org.folivo.EncryptedWindowTest"));
    for (int open = 1; open <= 2; ++open) {
        SCOPED_TRACE(open);
        AppController app(&prefs);
        SheetTyper typer({password_});
        MainWindow* window = app.openDatabase(pkg_);
        ASSERT_TRUE(window);
        // (The first open also gives the one-time notice of the database check.)
        EXPECT_EQ(typer.boxes.count(msg::BackupWarning), open == 1 ? 1 : 0) << typer.boxes.join('|').toStdString();
        EXPECT_EQ(typer.preferencesPages, open == 1 ? QList<bool>{true} : QList<bool>{});
        window->close();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(test::readAll(pkg_ + "/.warnedaboutbackup"), "Warned");
}
