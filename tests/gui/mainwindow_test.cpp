// The database window as a person uses it: its commands and the rules that enable them,
// the delete question, new folders, the history's Back and Forward, imports from the
// desktop and the import folder, and what the window keeps with the database.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "widgets/busymode.h"
#include "mainwindow.h"
#include "browser/treemodel.h"

#include "browser/commands.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "store/keys.h"
#include "util/fs.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QSplitter>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.FolivoWindowTest"));
        applyLaunchDefaults(*prefs_);
        prefs_->setBool(true, QStringLiteral("ConfirmDelete"));
        // The one-time notice about the check at open was given long ago.
        prefs_->setBool(true, QStringLiteral("NotifyOpenIndexCheck"));
        path_ = scratch_.file("Home.fvdb");
        window_ = std::make_unique<MainWindow>(nullptr, prefs_.get());
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(path_).ok());
        window_->show();
        settle();
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
        window_.reset();
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    MyDocument& doc() { return window_->document(); }
    void folders(const QStringList& paths)
    {
        for (const QString& path : paths) {
            const qsizetype slash = path.lastIndexOf('/');
            const IndexItem* parent = slash < 0 ? nullptr : doc().tree().itemForPath(path.left(slash));
            ASSERT_EQ(doc().recordNewCategory(path, parent, -1).status, OperationResult::Status::Done) << qPrintable(path);
        }
        settle();
    }
    QString outside(const QString& rel, const QByteArray& data)
    {
        const QString path = scratch_.file("desk/" + rel);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(test::writeAll(path, data));
        return path;
    }
    QStringList top() const
    {
        QStringList out;
        for (const auto& item : window_->document().tree().categoriesArray())
            out << item->path();
        return out;
    }
    QStringList children(const QString& path)
    {
        QStringList out;
        for (const auto& item : doc().tree().childrenOf(doc().tree().itemForPath(path)))
            out << item->name();
        return out;
    }
    void reopen(const std::function<void()>& before = {})
    {
        window_->close();
        window_.reset();
        if (before)
            before();
        window_ = std::make_unique<MainWindow>(nullptr, prefs_.get());
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->openDatabase(path_).ok());
        window_->show();
        settle();
    }

    test::Scratch scratch_;
    std::unique_ptr<KTPrefs> prefs_;
    QString path_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace

TEST_F(Window, CommandsTheRulesDisableNeverRunEvenFromAShortcut)
{
    folders({"Bank", "Bank/Visa"});
    window_->selectItems({"Bank/Visa"});
    ASSERT_TRUE(window_->commandState(MenuCommand::Delete).enabled);

    {
        // Long work is running: every command is off, and forcing one on changes nothing.
        BusyMode busy(window_.get(), "Working");
        window_->refreshActions();
        for (MenuCommand c : {MenuCommand::Delete, MenuCommand::NewFolder, MenuCommand::Import, MenuCommand::Quit})
            EXPECT_FALSE(window_->action(c)->isEnabled()) << int(c);
        EXPECT_FALSE(window_->runCommand(MenuCommand::Delete));
        window_->action(MenuCommand::Delete)->setEnabled(true);
        window_->action(MenuCommand::Delete)->trigger();
        EXPECT_TRUE(doc().tree().itemForPath("Bank/Visa"));
    }
    window_->refreshActions();
    EXPECT_TRUE(window_->action(MenuCommand::Delete)->isEnabled());

    // The same package opened where it cannot be changed.
    reopen();
    fs::ScopedFault readOnly([this](fs::Op op, const QString& p) { return op == fs::Op::Write && p == path_; });
    reopen();
    ASSERT_FALSE(doc().dbWriteable());
    window_->selectItems({"Bank/Visa"});
    for (MenuCommand c : {MenuCommand::Delete, MenuCommand::NewFolder, MenuCommand::EditName, MenuCommand::Sort,
                          MenuCommand::Import, MenuCommand::ImportFromClipboard})
        EXPECT_FALSE(window_->commandState(c).enabled) << int(c);
    window_->action(MenuCommand::NewFolder)->setEnabled(true);
    window_->action(MenuCommand::NewFolder)->trigger();
    EXPECT_EQ(top(), QStringList({"Unfiled", "Bank"}));
    EXPECT_TRUE(window_->commandState(MenuCommand::ExpandAll).enabled);
}

TEST_F(Window, DeleteAsksFirstAndNoKeepsEverything)
{
    folders({"Bank", "Bank/Visa", "Bank/Amex", "Car"});
    window_->selectItems({"Bank/Visa", "Bank/Amex"});
    {
        test::ModalResponder no([](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == "No")
                    b->click();
        });
        EXPECT_TRUE(window_->runCommand(MenuCommand::Delete));
        ASSERT_EQ(no.seen().size(), 1);
        EXPECT_TRUE(no.seen()[0].text.contains("Do you really want to delete the selected items?")) << qPrintable(no.seen()[0].text);
        EXPECT_EQ(no.seen()[0].buttons, QStringList({"No", "Yes"}));
        EXPECT_EQ(no.seen()[0].defaultButton, "No");
    }
    EXPECT_EQ(children("Bank"), QStringList({"Visa", "Amex"}));

    // A folder selected with something inside it: the folder is deleted once, with it.
    window_->selectItems({"Bank", "Bank/Visa"});
    {
        test::ModalResponder yes([](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == "Yes")
                    b->click();
        });
        EXPECT_TRUE(window_->runCommand(MenuCommand::Delete));
        ASSERT_EQ(yes.seen().size(), 1);
    }
    EXPECT_EQ(top(), QStringList({"Unfiled", "Car"}));
    EXPECT_FALSE(QFileInfo::exists(path_ + "/Bank"));
    EXPECT_EQ(window_->pathLineText(), "Selected Item(s) Deleted");

    // "Unfiled" alone: explained, nothing deleted.
    window_->selectItems({"Unfiled"});
    test::ModalResponder ok([](QMessageBox* box) { box->buttons().front()->click(); });
    window_->runCommand(MenuCommand::Delete);
    ASSERT_EQ(ok.seen().size(), 1);
    EXPECT_EQ(ok.seen()[0].buttons, QStringList({"OK"}));
    EXPECT_TRUE(doc().tree().itemForPath("Unfiled"));
}

TEST_F(Window, NewFoldersGoBesideAClosedFolderAndIntoAnOpenOne)
{
    folders({"Bank", "Bank/Visa", "Car"});
    window_->selectItems({"Bank"});
    window_->treeView()->collapse(window_->model()->indexForItem(doc().tree().itemForPath("Bank")));
    ASSERT_TRUE(window_->runCommand(MenuCommand::NewFolder));
    settle();
    EXPECT_EQ(top(), QStringList({"Unfiled", "Bank", "New", "Car"}));
    EXPECT_EQ(window_->selectedPaths(), QStringList({"New"}));
    // The new name is being typed.
    auto* editor = window_->treeView()->findChild<QLineEdit*>();
    ASSERT_TRUE(editor && editor->isVisible());
    EXPECT_EQ(editor->text(), "New");
    QTest::keyClick(editor, Qt::Key_Escape);
    settle();

    window_->selectItems({"Bank"});
    window_->treeView()->expand(window_->model()->indexForItem(doc().tree().itemForPath("Bank")));
    ASSERT_TRUE(window_->runCommand(MenuCommand::NewFolder));
    settle();
    EXPECT_EQ(children("Bank"), QStringList({"New", "Visa"}));
    // A second "New" beside the first gets a name of its own.
    window_->selectItems({"Car"});
    ASSERT_TRUE(window_->runCommand(MenuCommand::NewFolder));
    settle();
    const QStringList names = top();
    EXPECT_EQ(names.size(), 5);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 5) << qPrintable(names.join(','));
}

TEST_F(Window, BackAndForwardStepOverWhatWasDeleted)
{
    folders({"A", "B", "C", "D"});
    for (const char* p : {"A", "B", "C"})
        window_->selectItems({p});
    EXPECT_TRUE(window_->commandState(MenuCommand::Back).enabled);
    EXPECT_FALSE(window_->commandState(MenuCommand::Forward).enabled);

    ASSERT_TRUE(window_->runCommand(MenuCommand::Back));
    EXPECT_EQ(window_->selectedPaths(), QStringList({"B"}));
    ASSERT_TRUE(window_->runCommand(MenuCommand::Back));
    EXPECT_EQ(window_->selectedPaths(), QStringList({"A"}));
    // Selecting something new drops what lay ahead.
    window_->selectItems({"D"});
    EXPECT_FALSE(window_->commandState(MenuCommand::Forward).enabled);
    ASSERT_TRUE(window_->runCommand(MenuCommand::Back));
    EXPECT_EQ(window_->selectedPaths(), QStringList({"A"}));

    // B and C go; stepping never lands on them, nor past the ends.
    window_->selectItems({"B"});
    window_->selectItems({"C"});
    window_->selectItems({"D"});
    doc().recordDelete("B");
    doc().recordDelete("C");
    settle();
    for (int i = 0; i < 4; ++i)
        window_->runCommand(MenuCommand::Back);
    EXPECT_EQ(window_->selectedPaths(), QStringList({"A"}));
    for (int i = 0; i < 4; ++i)
        window_->runCommand(MenuCommand::Forward);
    EXPECT_EQ(window_->selectedPaths(), QStringList({"D"}));
}

TEST_F(Window, TheImportFolderIsEmptiedOnceWhileItBringsTheWindowForward)
{
    const QString box = scratch_.file("box");
    QDir().mkpath(box);
    DatabaseSettings& settings = doc().settings();
    settings.importFolderEnabled = true;
    settings.importFolderPath = box;
    settings.importFolderSetFor = doc().dbPath();
    ASSERT_TRUE(test::writeAll(box + "/one.txt", "1"));
    ASSERT_TRUE(test::writeAll(box + "/two.txt", "2"));

    // While the drain waits for the files to settle, the window is activated again and
    // again, as the progress sheet and the window manager do.
    int waits = 0;
    window_->drainWait = [&](int) {
        ++waits;
        for (int i = 0; i < 3; ++i) {
            QEvent activate(QEvent::WindowActivate);
            QCoreApplication::sendEvent(window_.get(), &activate);
            QCoreApplication::processEvents();
        }
    };
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window_.get(), &activate);
    settle();
    for (int i = 0; i < 20 && window_->drainsRun() == 0; ++i)
        settle();
    settle();
    EXPECT_EQ(window_->drainsRun(), 1);
    EXPECT_GE(waits, 1);
    EXPECT_EQ(children("Unfiled"), QStringList({"one.txt", "two.txt"}));
    EXPECT_TRUE(QDir(box).entryList(QDir::Files).isEmpty());
}

TEST_F(Window, FilesFromTheDesktopAndTheClipboardAreImported)
{
    folders({"Bank"});
    const QString a = outside("Bank+statement.txt", "statement");
    const ImportOutcome dropped = window_->importPaths({a});
    ASSERT_TRUE(dropped.ran);
    EXPECT_TRUE(doc().tree().itemForPath("Bank/Bank+statement.txt")) << qPrintable(children("Bank").join(','));
    EXPECT_EQ(window_->selectedPaths(), QStringList({"Bank/Bank+statement.txt"}));
    EXPECT_EQ(window_->pathLineText(), "Imported Items Selected In Browser");

    auto* mime = new QMimeData;
    mime->setText("a note from the clipboard");
    QGuiApplication::clipboard()->setMimeData(mime);
    window_->selectItems({"Unfiled"});
    ASSERT_TRUE(window_->runCommand(MenuCommand::ImportFromClipboard));
    EXPECT_TRUE(doc().tree().itemForPath("Unfiled/Clipboard.txt")) << qPrintable(children("Unfiled").join(','));

    // Files named on the clipboard are imported themselves.
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(outside("car.txt", "car"))});
    QGuiApplication::clipboard()->setMimeData(files);
    window_->importFromClipboard();
    EXPECT_TRUE(doc().tree().itemForPath("Unfiled/car.txt"));
}

TEST_F(Window, PaneSizesAndSortingStayWithTheDatabase)
{
    folders({"Car", "Bank", "Apple"});
    window_->mainSplitter()->setSizes({420, 600});
    ASSERT_TRUE(window_->runCommand(MenuCommand::KeepSorted));
    EXPECT_TRUE(window_->action(MenuCommand::KeepSorted)->isChecked());
    EXPECT_EQ(top(), QStringList({"Apple", "Bank", "Car", "Unfiled"}));
    reopen();
    EXPECT_NEAR(window_->mainSplitter()->sizes().front(), 420, 8) << window_->mainSplitter()->sizes().front();
    EXPECT_TRUE(window_->action(MenuCommand::KeepSorted)->isChecked());
    EXPECT_EQ(top(), QStringList({"Apple", "Bank", "Car", "Unfiled"}));
}

TEST_F(Window, SavingWaitsWhileTheDocumentIsInTheMiddleOfAStep)
{
    EXPECT_EQ(window_->saveTimer()->interval(), 60 * 1000);
    EXPECT_TRUE(window_->saveTimer()->isActive());
    folders({"Bank"});
    {
        MyDocument::BusyScope busy(doc());
        EXPECT_TRUE(window_->saveNow(true).deferred);
    }
    EXPECT_FALSE(window_->saveNow(true).deferred);
    EXPECT_FALSE(QFileInfo::exists(path_ + "/.changed"));
}

TEST_F(Window, TheOpenChooserTakesADatabaseFolderAsOneDocument)
{
    // Going into a database folder in the chooser picks it, as opening a document would.
    window_->close();
    window_.reset();
    QString picked;
    {
        // What the chooser says when the person opens a folder in it (a double-click).
        test::ModalScript<QFileDialog> script({[this](QFileDialog* d) { emit d->directoryEntered(path_); }});
        picked = chooseDatabaseFolder(nullptr, "Open Database");
    }
    EXPECT_EQ(picked, path_);
    // Cancelling picks nothing.
    test::ModalScript<QFileDialog> cancel({[](QFileDialog* d) { d->reject(); }});
    EXPECT_TRUE(chooseDatabaseFolder(nullptr, "Open Database").isEmpty());
}

TEST_F(Window, LastImportShowsWhereItsFilesAreOnADoubleClick)
{
    prefs_->setBool(true, QStringLiteral("MaintainLastImport"));
    folders({"Bank"});
    const QStringList files{outside("Bank+1-31-2024.txt", "a"), outside("Bank+2-29-2024.txt", "b")};
    ASSERT_TRUE(window_->importPaths(files).ran);
    window_->selectItems({"Unfiled"});
    const QModelIndex last = window_->model()->indexForItem(doc().tree().itemForPath("Last Import"));
    ASSERT_TRUE(last.isValid());
    QTreeView* view = window_->treeView();
    view->scrollTo(last);
    const QPoint at = view->visualRect(last).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    settle();
    EXPECT_EQ(window_->selectedPaths(),
              QStringList({"Bank/2024/January/Bank+1-31-2024.txt", "Bank/2024/February/Bank+2-29-2024.txt"}));
    EXPECT_EQ(window_->pathLineText(), "Files In Smart Folder \"Last Import\" Selected in Browser");
}

// A double-click edits the name where the rules say it does: everything editable when the
// preference says "Edits its name", and a plain folder when it says "Opens".
TEST_F(Window, ADoubleClickEditsWhereTheRulesSay)
{
    folders({"Bank", "Bank/Visa"});
    ASSERT_TRUE(window_->importPaths({outside("letter.txt", "a")}).ran);
    QTreeView* view = window_->treeView();
    const auto editor = [&]() -> QLineEdit* {
        for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                return e;
        return nullptr;
    };
    const auto editing = [&] { return editor() != nullptr; };
    const auto doubleClick = [&](const QString& path) {
        if (QLineEdit* open = editor())
            QTest::keyClick(open, Qt::Key_Escape);
        settle();
        const QModelIndex index = window_->model()->indexForItem(doc().tree().itemForPath(path));
        view->scrollTo(index);
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        settle();
        return index;
    };
    struct Case {
        int meaning;
        QString path;
        bool edits;
    };
    for (const Case& c : {Case{0, "Unfiled/letter.txt", true}, Case{0, "Bank/Visa", true}, Case{1, "Bank", true},
                          Case{0, "Unfiled", false}}) {
        prefs_->setInteger(c.meaning, QStringLiteral("DoubleClickMeaning"));
        window_->preferencesChanged();
        settle();
        const QModelIndex index = window_->model()->indexForItem(doc().tree().itemForPath(c.path));
        const bool expanded = view->isExpanded(index);
        doubleClick(c.path);
        EXPECT_EQ(editing(), c.edits) << c.meaning << " " << c.path.toStdString();
        if (c.edits)
            EXPECT_EQ(view->isExpanded(index), expanded) << "editing leaves the folder as it was: " << c.path.toStdString();
    }
}

TEST_F(Window, AltOnATriangleOpensAndClosesTheWholeBranch)
{
    folders({"Bank", "Bank/Visa", "Bank/Visa/Old", "Bank/Visa/Old/Older", "Car"});
    QTreeView* view = window_->treeView();
    const auto index = [&](const QString& path) { return window_->model()->indexForItem(doc().tree().itemForPath(path)); };
    const auto triangleOf = [&](const QString& path) {
        const QRect rect = view->visualRect(index(path));
        return QPoint(rect.left() - view->indentation() / 2, rect.center().y());
    };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::AltModifier, triangleOf("Bank"));
    settle();
    for (const QString& path : {"Bank", "Bank/Visa", "Bank/Visa/Old"})
        EXPECT_TRUE(view->isExpanded(index(path))) << path.toStdString();
    EXPECT_FALSE(view->isExpanded(index("Car")));
    // The window remembers them as opened, past a reload of the tree.
    window_->model()->reload();
    settle();
    EXPECT_TRUE(view->isExpanded(index("Bank/Visa/Old")));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::AltModifier, triangleOf("Bank"));
    settle();
    for (const QString& path : {"Bank", "Bank/Visa", "Bank/Visa/Old"})
        EXPECT_FALSE(view->isExpanded(index(path))) << path.toStdString();
    // Without Alt, one level as always.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, triangleOf("Bank"));
    settle();
    EXPECT_TRUE(view->isExpanded(index("Bank")));
    EXPECT_FALSE(view->isExpanded(index("Bank/Visa")));
}

TEST_F(Window, BusyModeLetsOnlyStopThrough)
{
    folders({"Bank"});
    window_->selectItems({"Bank"});
    bool control = false;
    auto* const before = BusyMode::controlHeld;
    BusyMode::controlHeld = [] { return false; };
    {
        BusyMode busy(window_.get(), "Importing");
        ASSERT_TRUE(busy.panel());
        // Keys and clicks meant for the window go nowhere.
        QTest::keyClick(window_->treeView(), Qt::Key_Delete);
        QTest::keyClick(window_->treeView(), Qt::Key_F2);
        auto* editor = window_->treeView()->findChild<QLineEdit*>();
        EXPECT_FALSE(editor && editor->isVisible()) << "the view took a key while busy";
        EXPECT_FALSE(busy.stopRequested());
        EXPECT_TRUE(doc().tree().itemForPath("Bank"));
        // The Stop button is the one way in.
        QTest::mouseClick(busy.panel()->stopButton(), Qt::LeftButton);
        EXPECT_TRUE(busy.stopRequested());
    }
    {
        BusyMode busy(window_.get(), "Importing");
        QTest::keyClick(window_->treeView(), Qt::Key_Escape);
        EXPECT_TRUE(busy.stopRequested());
    }
    {
        static bool* held = nullptr;
        held = &control;
        BusyMode::controlHeld = [] { return *held; };
        BusyMode busy(window_.get(), "Importing");
        EXPECT_FALSE(busy.stopRequested());
        control = true;
        EXPECT_TRUE(busy.stopRequested());
    }
    BusyMode::controlHeld = before;
    EXPECT_FALSE(BusyMode::userInteractionDisabled());
}

TEST_F(Window, AFileIsTakenOutOfTheTreeOnlyWhenNothingOfItIsLeft)
{
    const QStringList files{outside("gone.txt", "gone"), outside("kept.txt", "kept")};
    ASSERT_TRUE(window_->importPaths(files).ran);
    ASSERT_TRUE(doc().tree().itemForPath("Unfiled/gone.txt"));
    // One file is gone from the disk; of the other only an enciphered form is left (a copy
    // that could not be deciphered): that one is the owner's data and stays.
    const QString unfiled = path_ + "/Unfiled";
    QFile::setPermissions(unfiled, QFile::permissions(unfiled) | QFile::WriteOwner);
    ASSERT_TRUE(QFile::remove(unfiled + "/gone.txt"));
    ASSERT_TRUE(QFile::rename(unfiled + "/kept.txt", unfiled + "/kept.txt.fvdbe"));

    test::ModalResponder ok([](QMessageBox* box) { box->buttons().front()->click(); });
    window_->selectItems({"Unfiled/kept.txt"});
    settle();
    EXPECT_TRUE(ok.seen().isEmpty());
    EXPECT_TRUE(doc().tree().itemForPath("Unfiled/kept.txt"));

    window_->selectItems({"Unfiled/gone.txt"});
    for (int i = 0; i < 50 && ok.seen().isEmpty(); ++i)
        QTest::qWait(10);
    settle();
    ASSERT_EQ(ok.seen().size(), 1);
    EXPECT_TRUE(ok.seen()[0].text.contains("It will be removed from the Browser.")) << qPrintable(ok.seen()[0].text);
    EXPECT_FALSE(doc().tree().itemForPath("Unfiled/gone.txt"));
    EXPECT_TRUE(doc().tree().itemForPath("Unfiled/kept.txt"));
}
