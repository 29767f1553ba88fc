// The application controller: files given to the program opened as databases or imported
// into one, the messages when they have nowhere to go, and one running program per person.

#include "app/appmessages.h"
#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "mainwindow.h"
#include "app/singleinstance.h"

#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "util/fs.h"
#include "util/tempfolder.h"

#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

// A controller whose messages are written down instead of shown.
class RecordingController : public AppController {
public:
    using AppController::AppController;
    void alert(const QString& title, const QString& text) override { alerts << Alert{title, text}; }
    struct Alert {
        QString title;
        QString text;
    };
    QList<Alert> alerts;
    QStringList titles() const
    {
        QStringList out;
        for (const Alert& a : alerts)
            out << a.title;
        return out;
    }
};

class Controller : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(test::fixturesDir().isEmpty()) << "fixture generation failed";
        previousConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit());
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.ControllerTest"));
        applyLaunchDefaults(*prefs_);
        // "Last Import" then holds what one import brought in: a way to see how many
        // imports there were.
        prefs_->setBool(true, prefkeys::UserSetMaintainLastImport);
        prefs_->setBool(true, prefkeys::MaintainLastImport);
        controller_ = std::make_unique<RecordingController>(prefs_.get());
    }
    void TearDown() override
    {
        // Every message of the controller goes through its hook; a box here slipped past it.
        for (const auto& b : responder_.seen())
            ADD_FAILURE() << "unexpected box: " << qPrintable(b.title) << " " << qPrintable(b.text);
        controller_.reset();
        prefs_.reset();
        qputenv("XDG_CONFIG_HOME", previousConfig_);
    }

    QString database()
    {
        const QString to = scratch_.file("Household.fvdb");
        if (!QFileInfo::exists(to)) {
            EXPECT_TRUE(fs::copyTree(test::fixturesDir() + "/Household.fvdb", to)) << qPrintable(fs::lastError());
        }
        return to;
    }
    // Small files to give to the program.
    QStringList outsideFiles(int n)
    {
        QStringList out;
        for (int i = 1; i <= n; ++i) {
            const QString path = scratch_.file(QStringLiteral("Given %1.txt").arg(i));
            EXPECT_TRUE(test::writeAll(path, "given file\n"));
            out << path;
        }
        return out;
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    // The names of the items of the last import.
    static int lastImportCount(MainWindow* window)
    {
        const IndexItem* last = window->document().tree().itemForPath(pkg::LastImport);
        if (!last)
            return -1;
        const plist::Value* smart = last->value(keys::SmartFolder);
        if (!smart || !smart->isDict())
            return -1;
        const plist::Value* conditions = smart->dict().find(QStringLiteral("Conditions"));
        return conditions && conditions->isArray() ? int(conditions->array().size()) : -1;
    }
    static bool holdsItemNamed(MainWindow* window, const QString& name)
    {
        bool found = false;
        std::function<void(const ItemList&)> walk = [&](const ItemList& items) {
            for (const auto& i : items) {
                if (i->path().section('/', -1) == name && !i->isSmartFolder())
                    found = true;
                walk(i->children());
            }
        };
        walk(window->document().tree().categoriesArray());
        return found;
    }

    test::Scratch scratch_;
    QByteArray previousConfig_;
    std::unique_ptr<KTPrefs> prefs_;
    std::unique_ptr<RecordingController> controller_;
    // Anything the windows themselves ask is answered with its default button.
    test::ModalResponder responder_{[](QMessageBox* box) { box->accept(); }};
};

TEST_F(Controller, ADatabasePathOpensAWindowAndOthersAreNotTakenForDatabases)
{
    controller_->openFile(database() + "/");
    ASSERT_EQ(controller_->windows().size(), 1);
    EXPECT_EQ(controller_->frontWindow(), controller_->windows().front());
    EXPECT_TRUE(controller_->alerts.isEmpty());

    controller_->openFile(scratch_.file("Missing.fvdb"));
    EXPECT_EQ(controller_->titles(), QStringList{"Cannot Open Database"});
    EXPECT_EQ(controller_->windows().size(), 1);
}

TEST_F(Controller, FilesArrivingTogetherAreImportedInOneGo)
{
    MainWindow* window = controller_->openDatabase(database());
    ASSERT_TRUE(window);
    const QStringList files = outsideFiles(3);
    controller_->openFiles(files);
    // Nothing yet: they wait for the next pass of the event loop, to go in together.
    EXPECT_FALSE(holdsItemNamed(window, "Given 1.txt"));
    settle();
    for (const char* name : {"Given 1.txt", "Given 2.txt", "Given 3.txt"})
        EXPECT_TRUE(holdsItemNamed(window, name)) << name;
    EXPECT_EQ(lastImportCount(window), 3);
    EXPECT_TRUE(controller_->alerts.isEmpty());
}

TEST_F(Controller, WithNoDatabaseOpenTheLastOneOpensAndTakesTheFiles)
{
    prefs_->setObject(plist::Value(database()), prefkeys::LastDBFile);
    controller_->openFiles(outsideFiles(2));
    EXPECT_TRUE(controller_->windows().isEmpty());
    settle();
    ASSERT_EQ(controller_->windows().size(), 1);
    MainWindow* window = controller_->windows().front();
    EXPECT_TRUE(holdsItemNamed(window, "Given 1.txt"));
    EXPECT_TRUE(holdsItemNamed(window, "Given 2.txt"));
    EXPECT_EQ(lastImportCount(window), 2);
    EXPECT_FALSE(prefs_->objectForKey(prefkeys::DroppedFilesToImport));
    EXPECT_TRUE(controller_->alerts.isEmpty());
}

TEST_F(Controller, WhenTheLastDatabaseDoesNotOpenTheWaitingFilesAreDroppedAndThePersonTold)
{
    // Something is there, so the files wait for it; it is no database, so the open fails.
    const QString notAFolder = scratch_.file("Plain.fvdb");
    ASSERT_TRUE(test::writeAll(notAFolder, "x"));
    prefs_->setObject(plist::Value(notAFolder), prefkeys::LastDBFile);
    controller_->openFiles(outsideFiles(2));
    settle();
    EXPECT_TRUE(controller_->windows().isEmpty());
    EXPECT_EQ(controller_->titles(), (QStringList{"Cannot Open Database", "Files Not Imported"}));
    ASSERT_EQ(controller_->alerts.size(), 2);
    EXPECT_TRUE(controller_->alerts[1].text.startsWith("2 files were not imported")) << qPrintable(controller_->alerts[1].text);
    // Neither in memory nor on disk: the next database to open must not import them.
    EXPECT_FALSE(prefs_->objectForKey(prefkeys::DroppedFilesToImport));
    const KTPrefs reread(QStringLiteral("org.folivo.ControllerTest"));
    EXPECT_FALSE(reread.objectForKey(prefkeys::DroppedFilesToImport));
}

TEST_F(Controller, NoDatabaseIsSaidOnceUntilADatabaseWindowHasOpened)
{
    const QStringList files = outsideFiles(3);
    controller_->openFile(files[0]);
    settle();
    controller_->openFile(files[1]);
    settle();
    EXPECT_EQ(controller_->titles(), QStringList{"No Database"});
    EXPECT_EQ(controller_->alerts.front().text, appmsg::NoDatabaseText);
    EXPECT_TRUE(controller_->noDatabaseWarned());

    MainWindow* window = controller_->openDatabase(database());
    ASSERT_TRUE(window);
    EXPECT_FALSE(controller_->noDatabaseWarned());
    window->close();
    settle();
    ASSERT_TRUE(controller_->windows().isEmpty());
    // Closing noted the database as the last one; without it the files have nowhere to go.
    prefs_->removeObjectForKey(prefkeys::LastDBFile);
    controller_->openFile(files[2]);
    EXPECT_EQ(controller_->titles(), (QStringList{"No Database", "No Database"}));
}

TEST_F(Controller, AReadOnlyDatabaseInFrontSaysOnceThatNothingWasImported)
{
    const QString path = database();
    MainWindow* window = nullptr;
    {
        // As on a read-only volume (root ignores the modes).
        fs::ScopedFault readOnly([path](fs::Op op, const QString& abs) { return op == fs::Op::Write && abs == path; });
        window = controller_->openDatabase(path);
    }
    ASSERT_TRUE(window);
    ASSERT_FALSE(window->document().dbWriteable());
    controller_->openFiles(outsideFiles(2));
    settle();
    EXPECT_EQ(controller_->titles(), QStringList{"Files Not Imported"});
    EXPECT_TRUE(controller_->alerts.value(0).text.contains("cannot be changed")) << qPrintable(controller_->alerts.value(0).text);
    EXPECT_FALSE(holdsItemNamed(window, "Given 1.txt"));
}

TEST_F(Controller, ALaunchAlwaysLeavesSomethingOnScreen)
{
    // Files with nowhere to go: the person is told, and can still open or create one.
    controller_->launch(outsideFiles(1));
    settle();
    EXPECT_EQ(controller_->titles(), QStringList{"No Database"});
    ASSERT_TRUE(controller_->startDialog());
    EXPECT_TRUE(controller_->startDialog()->isVisible());

    // Without files the last database comes back, and replaces the start dialog.
    prefs_->setObject(plist::Value(database()), prefkeys::LastDBFile);
    controller_->launch({});
    settle();
    EXPECT_EQ(controller_->windows().size(), 1);
    EXPECT_FALSE(controller_->startDialog());
}

TEST_F(Controller, ALaterLaunchHandsItsFilesToTheRunningProgram)
{
    const QString name = scratch_.file("instance");
    SingleInstance first(name);
    // Nobody listens yet: the launch runs on its own.
    EXPECT_FALSE(SingleInstance(name).handOver({"a.txt"}, 500));
    ASSERT_TRUE(first.listen());
    QSignalSpy received(&first, &SingleInstance::pathsReceived);

    SingleInstance second(name);
    ASSERT_TRUE(second.handOver({"relative.txt", "/abs/Taxes.fvdb"}));
    ASSERT_TRUE(received.wait(3000));
    const QStringList paths = received.front().front().toStringList();
    EXPECT_EQ(paths, (QStringList{QDir::current().absoluteFilePath("relative.txt"), "/abs/Taxes.fvdb"}));

    // A plain launch hands over nothing but still finds the program: it comes forward.
    ASSERT_TRUE(SingleInstance(name).handOver({}));
    ASSERT_TRUE(received.wait(3000));
    EXPECT_TRUE(received.back().front().toStringList().isEmpty());
}

TEST_F(Controller, ASocketLeftByACrashDoesNotStopTheNextRun)
{
    const QString name = scratch_.file("stale");
    ASSERT_TRUE(test::writeAll(name, "")); // what a run that died leaves behind
    SingleInstance next(name);
    EXPECT_FALSE(next.handOver({"x"}, 500));
    EXPECT_TRUE(next.listen());
    EXPECT_TRUE(SingleInstance(name).handOver({}));
}

// A session without a runtime folder (no login manager): the shared temporary folder
// instead, for the socket and for the databases' private folders both.
class NoRuntimeFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        runtime_ = qgetenv("XDG_RUNTIME_DIR");
        tmp_ = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        useTemp(temp_.path());
    }
    void TearDown() override
    {
        if (!runtime_.isEmpty())
            qputenv("XDG_RUNTIME_DIR", runtime_);
        if (tmp_.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmp_);
    }
    static void useTemp(const QString& dir) { qputenv("TMPDIR", QFile::encodeName(dir)); }

    QByteArray runtime_, tmp_;
    test::Scratch temp_;
};

TEST_F(NoRuntimeFolder, TheSocketIsThePersonsOwnAndApartFromTheTemporaryFolders)
{
    EXPECT_EQ(SingleInstance::defaultName(), privateTempBase() + "/" + SingleInstance::SocketName);
    EXPECT_EQ(QFileInfo(privateTempBase()).fileName(), QStringLiteral("folivo-%1").arg(::getuid()));
    // Where the private folder cannot be had (a link put in its place), there is no socket
    // to hand anything to, rather than one in a folder someone else controls.
    test::Scratch other;
    useTemp(other.path());
    ASSERT_EQ(::symlink(QFile::encodeName(temp_.path()).constData(),
                        QFile::encodeName(other.file(QStringLiteral("folivo-%1").arg(::getuid()))).constData()),
              0);
    EXPECT_EQ(SingleInstance::defaultName(), QString());
    EXPECT_FALSE(SingleInstance(SingleInstance::defaultName()).listen());

    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temp_.path()));
    EXPECT_EQ(SingleInstance::defaultName(), temp_.file(QStringLiteral("folivo-%1").arg(::getuid())));
}

TEST_F(NoRuntimeFolder, ALaterLaunchStillHandsItsFilesOver)
{
    // Either may come first: a command-line run may have made the private folder before the
    // program starts, or the program listens before any database makes one.
    for (const bool folderFirst : {false, true}) {
        test::Scratch temp;
        useTemp(temp.path());
        if (folderFirst)
            ASSERT_FALSE(createPrivateTempFolder(QStringLiteral("Household.fvdb")).isEmpty());
        // The launch as the program makes it: no one answers, so it listens.
        SingleInstance first(SingleInstance::defaultName());
        EXPECT_FALSE(first.handOver({}, 500));
        ASSERT_TRUE(first.listen()) << "folder first " << folderFirst << " at " << qPrintable(first.name());
        sweepStaleTempFolders();
        EXPECT_FALSE(createPrivateTempFolder(QStringLiteral("Household.fvdb")).isEmpty()) << "folder first " << folderFirst;

        QSignalSpy received(&first, &SingleInstance::pathsReceived);
        ASSERT_TRUE(SingleInstance(SingleInstance::defaultName()).handOver({"/abs/statement.pdf"}));
        ASSERT_TRUE(received.wait(3000));
        EXPECT_EQ(received.front().front().toStringList(), QStringList({"/abs/statement.pdf"}));
    }
}

} // namespace
