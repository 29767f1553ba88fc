// The attributes area in a database window: notes written once typing pauses and never
// lost, dates that re-file the file and keep it selected, the auto-filing page over a shown
// file, a read-only database, and where the area sits.

#include "gui/guitest.h"

#include "attributes/attributesarea.h"
#include "attributes/tagsfield.h"
#include "content/contentarea.h"
#include "content/shownfile.h"
#include "mainwindow.h"
#include "viewer/textview.h"
#include "viewer/viewerpage.h"

#include "attributes/notes.h"
#include "filing/filedates.h"
#include "filing/filingrules.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

using Status = OperationResult::Status;

// The file the content area shows, as the viewer page tells it.
class FakeShownFile : public ShownFile {
public:
    QString path;
    bool textOrPdf = true;
    QString selected;
    QString text;
    QString shownItemPath() const override { return path; }
    bool showsTextOrPdf() const override { return textOrPdf; }
    QString selectedText() const override { return selected; }
    QString fullText() const override { return text; }
};

const QString StatementText =
    QStringLiteral("ACME Bank\nStatement period from 4/1/2024 through 4/30/2024\nBalance 12.00\n");

class Attributes : public ::testing::Test {
protected:
    void SetUp() override { open(false); }
    void TearDown() override { closeWindow(); }

    void open(bool forReading)
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        if (!QFileInfo::exists(db_)) {
            ASSERT_TRUE(window_->createDatabase(db_).ok());
            MyDocument& doc = window_->document();
            ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, Status::Done);
            const OperationResult r = doc.recordImport("Statement.txt", StatementText.toUtf8(), "Bank", -1,
                                                       day(2024, 3, 1), day(2024, 3, 31));
            ASSERT_EQ(r.status, Status::Done);
            ASSERT_EQ(r.resultPath, file_);
            window_->close();
            window_ = std::make_unique<MainWindow>();
            window_->setAttribute(Qt::WA_DeleteOnClose, false);
        }
        OpenOptions options;
        options.forReading = forReading;
        const OpenResult r = window_->openDatabase(db_, options);
        ASSERT_TRUE(r.ok()) << qPrintable(r.message);
        window_->show();
        window_->content().setShownFile(&shown_);
        settle();
        if (!window_->document().settings().attributesViewState)
            window_->runCommand(MenuCommand::ShowAttributes);
    }
    void closeWindow()
    {
        if (window_) {
            window_->content().setShownFile(nullptr);
            window_->close();
            window_.reset();
        }
    }
    static QDateTime day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    AttributesArea* area() const { return window_->findChild<AttributesArea*>(); }
    const IndexItem* item(const QString& path) const { return window_->document().tree().itemForPath(path); }
    void select(const QString& path)
    {
        ASSERT_TRUE(window_->selectPath(path));
        settle();
        ASSERT_EQ(area()->shownPath(), path);
    }
    static void focusOut(QWidget* w)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(w, &out);
    }
    static void finishEditing(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    void showAutoFiling()
    {
        area()->tabs()->setCurrentWidget(area()->folderPage());
        area()->folderTabs()->setCurrentWidget(area()->autoFilingPage());
        settle();
    }
    QString attributesFileOf(const QString& path) const { return db_ + '/' + MyDocument::attributesPathForPath(path); }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Attributes.fvdb");
    QString file_ = QStringLiteral("Bank/2024/March/Statement.txt");
    std::unique_ptr<MainWindow> window_;
    FakeShownFile shown_;
};

TEST_F(Attributes, NotesAreWrittenWhenTypingPausesOrFocusLeavesAndSurviveARebuild)
{
    select(file_);
    QPlainTextEdit* notes = area()->notesField();
    ASSERT_FALSE(notes->isReadOnly());
    const QString attributes = attributesFileOf(file_);
    const QByteArray stored = test::readAll(attributes);
    QTest::keyClicks(notes, "Paid 5/2");
    settle();
    EXPECT_EQ(test::readAll(attributes), stored) << "no write per keystroke";
    focusOut(notes);
    EXPECT_EQ(notesOf(window_->document(), file_), "Paid 5/2");
    EXPECT_NE(test::readAll(attributes), stored);

    // A pause in typing writes too.
    QTest::keyClicks(notes, "!");
    QElapsedTimer waited;
    waited.start();
    while (notesOf(window_->document(), file_) != "Paid 5/2!" && waited.elapsed() < 3000)
        QTest::qWait(50);
    EXPECT_EQ(notesOf(window_->document(), file_), "Paid 5/2!");
    EXPECT_GE(waited.elapsed(), 500) << "written after the pause, not at once";

    window_->document().rebuildIndex();
    EXPECT_EQ(notesOf(window_->document(), file_), "Paid 5/2!");
}

TEST_F(Attributes, PendingNotesAreWrittenWhenTheSelectionChangesOrTheWindowCloses)
{
    select(file_);
    QTest::keyClicks(area()->notesField(), "first");
    select("Bank");
    EXPECT_EQ(notesOf(window_->document(), file_), "first");
    EXPECT_EQ(area()->notesField()->toPlainText(), QString()) << "the folder's own notes show";

    QTest::keyClicks(area()->notesField(), "folder notes");
    closeWindow();
    open(false);
    EXPECT_EQ(notesOf(window_->document(), "Bank"), "folder notes");
}

TEST_F(Attributes, AReadOnlyDatabaseShowsButWritesNothing)
{
    closeWindow();
    const auto before = test::packageListing(db_);
    open(true);
    select(file_);
    AttributesArea* a = area();
    EXPECT_TRUE(a->notesField()->isReadOnly());
    EXPECT_TRUE(a->startDateField()->isReadOnly());
    EXPECT_TRUE(a->endDateField()->isReadOnly());
    EXPECT_FALSE(a->resetDatesButton()->isEnabled());
    EXPECT_TRUE(a->matchField()->isReadOnly());
    EXPECT_FALSE(a->dayFirstSwitch()->isEnabled());
    EXPECT_FALSE(a->tagsField()->isEditable());
    EXPECT_EQ(a->notesField()->toolTip(), "You can view the notes for the selected file or folder \"Bank\".");
    EXPECT_EQ(a->tabs()->toolTip(), "You can view the attributes for the selected file or folder \"Bank\".");
    shown_.path = file_;
    shown_.selected = "period from";
    window_->content().notifyShownSelectionChanged(true);
    EXPECT_FALSE(a->useSelectionForStart()->isEnabled());

    QTest::keyClicks(a->notesField(), "typed");
    focusOut(a->notesField());
    finishEditing(a->endDateField(), "5/31/2024");
    a->dayFirstSwitch()->click();
    settle();
    closeWindow();
    EXPECT_EQ(test::listingDifferences(before, test::packageListing(db_)), QString());
}

TEST_F(Attributes, ANewEndingDateMovesTheFileIntoItsDateFoldersAndKeepsItSelected)
{
    select(file_);
    EXPECT_EQ(area()->startDateField()->text(), "3/01/2024");
    EXPECT_EQ(area()->endDateField()->text(), "3/31/2024");
    finishEditing(area()->endDateField(), "6/30/2024");
    settle();
    const QString moved = QStringLiteral("Bank/2024/June/Statement.txt");
    ASSERT_NE(item(moved), nullptr);
    EXPECT_EQ(item(file_), nullptr);
    EXPECT_EQ(window_->selectedPaths(), QStringList{moved});
    EXPECT_EQ(area()->shownPath(), moved);
    EXPECT_EQ(area()->endDateField()->text(), "6/30/2024");
    EXPECT_EQ(area()->startDateField()->text(), "3/01/2024");

    // A start after the end is refused and the stored dates show again.
    finishEditing(area()->startDateField(), "7/1/2024");
    EXPECT_TRUE(area()->dateWarning()->isVisibleTo(area()));
    EXPECT_EQ(area()->dateWarning()->text(), "Starting date must be on or before ending date.");
    EXPECT_EQ(area()->startDateField()->text(), "3/01/2024");
    EXPECT_EQ(itemStartDate(*item(moved)), QDate(2024, 3, 1));
}

TEST_F(Attributes, UseSelectionOfAPhraseShowsTheDateFoundAndApplyStoresIt)
{
    shown_.path = file_;
    shown_.text = StatementText;
    select(file_);
    ASSERT_EQ(area()->tabs()->count(), 2) << "the file's page and its folder's";
    showAutoFiling();
    AttributesArea* a = area();
    EXPECT_FALSE(a->useSelectionForStart()->isEnabled()) << "nothing selected yet";

    shown_.selected = "period from";
    window_->content().notifyShownSelectionChanged(true);
    ASSERT_TRUE(a->useSelectionForStart()->isEnabled());
    a->useSelectionForStart()->click();
    settle();
    EXPECT_EQ(a->startPhraseField()->text(), "period from");
    EXPECT_EQ(item("Bank")->value(filingkeys::StartingDateMatch)->string(), "period from");
    EXPECT_TRUE(a->startFoundLabel()->isVisibleTo(a));
    EXPECT_EQ(a->startFoundLabel()->text(), "Date Found: 4/01/2024");
    EXPECT_EQ(a->endFoundLabel()->text(), "Date Assumed: 4/01/2024");

    shown_.selected = "through";
    a->useSelectionForEnd()->click();
    settle();
    EXPECT_EQ(a->endFoundLabel()->text(), "Date Found: 4/30/2024");
    ASSERT_TRUE(a->applyDatesButton()->isVisibleTo(a));
    a->applyDatesButton()->click();
    settle();
    const QString moved = QStringLiteral("Bank/2024/April/Statement.txt");
    ASSERT_NE(item(moved), nullptr);
    EXPECT_EQ(itemStartDate(*item(moved)), QDate(2024, 4, 1));
    EXPECT_EQ(itemEndDate(*item(moved)), QDate(2024, 4, 30));
    EXPECT_EQ(area()->tabs()->currentWidget(), area()->filePage());
    EXPECT_EQ(window_->selectedPaths(), QStringList{moved});

    // A phrase after which no date follows warns instead.
    shown_.path = moved;
    window_->content().notifyShownFileChanged();
    showAutoFiling();
    shown_.selected = "Balance";
    a->useSelectionForStart()->click();
    a->useSelectionForEnd()->click();
    settle();
    EXPECT_EQ(a->startPhraseField()->text(), "Balance");
    EXPECT_EQ(a->endPhraseField()->text(), "Balance");
    EXPECT_EQ(a->startFoundLabel()->text(), "");
    EXPECT_TRUE(a->startNoDateWarning()->isVisibleTo(a));
    EXPECT_TRUE(a->endNoDateWarning()->isVisibleTo(a));
    EXPECT_FALSE(a->startFoundLabel()->isVisibleTo(a));
    EXPECT_FALSE(a->applyDatesButton()->isVisibleTo(a));
}

TEST_F(Attributes, TypedPhrasesAreLookedForOnceTypingPauses)
{
    shown_.path = file_;
    shown_.text = StatementText;
    select(file_);
    showAutoFiling();
    AttributesArea* a = area();
    const int before = a->previewsRun();
    QTest::keyClicks(a->startPhraseField(), "period from");
    settle();
    EXPECT_EQ(a->previewsRun(), before) << "not on every keystroke";
    QElapsedTimer waited;
    waited.start();
    while (a->previewsRun() == before && waited.elapsed() < 3000)
        QTest::qWait(20);
    EXPECT_EQ(a->previewsRun(), before + 1);
    EXPECT_EQ(a->startFoundLabel()->text(), "Date Found: 4/01/2024");
    // Typed phrases are kept on the folder when editing ends.
    QTest::keyClick(a->startPhraseField(), Qt::Key_Return);
    EXPECT_EQ(item("Bank")->value(filingkeys::StartingDateMatch)->string(), "period from");
}

// The match string edited on a folder's own page is that folder's, and a rebuild keeps it.
TEST_F(Attributes, AFoldersMatchStringIsKeptOnThatFolder)
{
    select("Bank");
    ASSERT_EQ(area()->tabs()->currentWidget(), area()->folderPage());
    finishEditing(area()->matchField(), "ACME Bank");
    window_->document().rebuildIndex();
    ASSERT_NE(item("Bank"), nullptr);
    const plist::Value* match = item("Bank")->value(filingkeys::CategoryMatch);
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(match->string(), "ACME Bank");
    // With nothing selected in the shown file, "Use Selection" leaves it alone.
    shown_.selected.clear();
    area()->useSelectionForMatch()->click();
    EXPECT_EQ(area()->matchField()->text(), "ACME Bank");
}

TEST_F(Attributes, TheAreaIsShownHiddenOrFloatingAsTheDatabaseKeepsIt)
{
    AttributesArea* a = area();
    QSplitter* column = window_->leftSplitter();
    EXPECT_TRUE(a->isVisible());
    EXPECT_EQ(a->parentWidget(), column);
    // Its height below the tree is kept with the database.
    column->setSizes({column->height() - 180, 180});
    const int height = column->sizes().at(1);
    closeWindow();
    open(false);
    a = area();
    column = window_->leftSplitter();
    EXPECT_NEAR(column->sizes().at(1), height, 8);

    QAction* show = window_->action(MenuCommand::ShowAttributes);
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(show->isChecked());
    window_->runCommand(MenuCommand::ShowAttributes);
    EXPECT_FALSE(a->isVisible());
    EXPECT_FALSE(show->isChecked());
    EXPECT_FALSE(window_->document().settings().attributesViewState);

    window_->runCommand(MenuCommand::MoveableAttributesPanel);
    EXPECT_TRUE(window_->action(MenuCommand::MoveableAttributesPanel)->isChecked());
    QWidget* panel = window_->findChild<QWidget*>("attributesPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->isWindow());
    EXPECT_EQ(a->parentWidget(), panel);
    EXPECT_EQ(column->count(), 1);

    closeWindow();
    open(false);
    EXPECT_TRUE(window_->document().settings().attributesMoveable);
    QWidget* reopened = window_->findChild<QWidget*>("attributesPanel");
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(reopened->isVisible());
    EXPECT_EQ(area()->parentWidget(), reopened);

    window_->runCommand(MenuCommand::MoveableAttributesPanel);
    EXPECT_EQ(area()->parentWidget(), window_->leftSplitter());
    EXPECT_TRUE(area()->isVisible());
    EXPECT_FALSE(reopened->isVisible());
}

} // namespace

// The real viewer, not a stand-in: text selected in the shown statement becomes the folder's
// starting phrase, and the date after it is found at once.
TEST_F(Attributes, TextSelectedInTheViewerBecomesAPhraseAndItsDateIsFound)
{
    auto* viewer = qobject_cast<ViewerPage*>(window_->content().page(ViewerPage::PageName));
    ASSERT_TRUE(viewer);
    window_->content().setShownFile(viewer);
    select(file_);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && !(viewer->shownItemPath() == file_ && viewer->mode() == ViewerPage::Mode::Text))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(viewer->mode(), ViewerPage::Mode::Text);
    while (clock.elapsed() < 10000 && viewer->textView()->toPlainText() != StatementText)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    showAutoFiling();
    AttributesArea* a = area();
    EXPECT_FALSE(a->useSelectionForStart()->isEnabled());

    const QString phrase = QStringLiteral("period from");
    QTextCursor cursor(viewer->textView()->document());
    const qsizetype at = StatementText.indexOf(phrase);
    cursor.setPosition(int(at));
    cursor.setPosition(int(at + phrase.size()), QTextCursor::KeepAnchor);
    viewer->textView()->setTextCursor(cursor);
    settle();
    ASSERT_TRUE(a->useSelectionForStart()->isEnabled()) << "the viewer told of its selection";
    a->useSelectionForStart()->click();
    settle();
    EXPECT_EQ(a->startPhraseField()->text(), phrase);
    EXPECT_EQ(item("Bank")->value(filingkeys::StartingDateMatch)->string(), phrase);
    EXPECT_EQ(a->startFoundLabel()->text(), "Date Found: 4/01/2024");

    // Nothing selected any more: the buttons go off again.
    cursor.clearSelection();
    viewer->textView()->setTextCursor(cursor);
    settle();
    EXPECT_FALSE(a->useSelectionForStart()->isEnabled());
}
