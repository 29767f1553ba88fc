// The window side of a document: how questions map to buttons and answers, the progress
// sheet's minimum time, the disk-error panel, and what the person sees when a database
// does not open.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "mainwindow.h"
#include "database/qtdocumentui.h"
#include "browser/treemodel.h"

#include "store/messages.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::ModalResponder;

namespace {

QAbstractButton* buttonNamed(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text)
            return b;
    return nullptr;
}

struct AskCase {
    const char* name;
    QStringList buttons;
    std::function<void(QMessageBox*)> act;
    int expected;
};

TEST(QtDocumentUi, AskMapsButtonsDefaultAndEscape)
{
    const QStringList three = {msg::OpenNormally, msg::RebuildIndexButton, msg::Cancel};
    const AskCase cases[] = {
        {"Return takes the first button", three, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, 0},
        {"Escape takes the last button", three, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, 2},
        {"a click on the middle button", three, [](QMessageBox* b) { buttonNamed(b, msg::RebuildIndexButton)->click(); }, 1},
        {"a click on the last button", three, [](QMessageBox* b) { buttonNamed(b, msg::Cancel)->click(); }, 2},
        {"closed without a choice", three, [](QMessageBox* b) { b->reject(); }, -1},
        {"Escape on a lone OK", {msg::OK}, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, 0},
        {"Return on a lone OK", {msg::OK}, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, 0},
    };
    for (const AskCase& c : cases) {
        SCOPED_TRACE(c.name);
        QtDocumentUi ui;
        ModalResponder responder(c.act);
        EXPECT_EQ(ui.ask({QStringLiteral("Title"), QStringLiteral("First\rSecond"), c.buttons}), c.expected);
        ASSERT_EQ(responder.seen().size(), 1);
        const test::SeenBox& seen = responder.seen().front();
        EXPECT_EQ(seen.title, QStringLiteral("Title"));
        EXPECT_EQ(QSet<QString>(seen.buttons.begin(), seen.buttons.end()),
                  QSet<QString>(c.buttons.begin(), c.buttons.end()));
        EXPECT_EQ(seen.defaultButton, c.buttons.first());
        EXPECT_EQ(seen.escapeButton, c.buttons.last());
        // Line breaks of the store's texts arrive as "\r" and must show as breaks.
        EXPECT_FALSE(seen.text.contains('\r'));
        EXPECT_TRUE(seen.text.contains(QStringLiteral("First<br>Second"))) << qPrintable(seen.text);
    }
}

TEST(QtDocumentUi, MessageTextIsNotReadAsMarkup)
{
    QtDocumentUi ui;
    ModalResponder responder([](QMessageBox* b) { b->accept(); });
    ui.ask({QStringLiteral("A <b> & C"), QStringLiteral("/home/x/<script>.fvdb"), {msg::OK}});
    ASSERT_EQ(responder.seen().size(), 1);
    const QString text = responder.seen().front().text;
    EXPECT_TRUE(text.contains(QStringLiteral("A &lt;b&gt; &amp; C"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("/home/x/&lt;script&gt;.fvdb"))) << qPrintable(text);
}

TEST(QtDocumentUi, DialogsAreModalToAVisibleWindowOnly)
{
    QWidget window;
    QtDocumentUi ui(&window);
    ModalResponder responder([](QMessageBox* b) { b->accept(); });
    ui.ask({QString(), QStringLiteral("before"), {msg::OK}}); // window not shown yet
    window.show();
    ui.ask({QString(), QStringLiteral("after"), {msg::OK}});
    ASSERT_EQ(responder.seen().size(), 2);
    EXPECT_FALSE(responder.seen()[0].windowModal);
    EXPECT_TRUE(responder.seen()[1].windowModal);
    // Without a title the box still has one.
    EXPECT_EQ(responder.seen()[0].title, QStringLiteral("Folivo"));
}

TEST(QtDocumentUi, WindowWaitingOnAQuestionDoesNotClose)
{
    // As when another window's Quit closes every window while this one asks something in
    // the middle of a step.
    MainWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    bool closedWhileAsking = true;
    ModalResponder responder([&](QMessageBox* b) {
        closedWhileAsking = window.close();
        b->accept();
    });
    window.documentUi().ask({QString(), QStringLiteral("Convert?"), {msg::OK, msg::Cancel}});
    EXPECT_FALSE(closedWhileAsking);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.close()) << "once the question is answered the window closes";
}

TEST(QtDocumentUi, DiskErrorNamesStepPathAndDetail)
{
    QtDocumentUi ui;
    ModalResponder responder([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); });
    ui.diskError(QStringLiteral("Creating Date Category"), QStringLiteral("Bank/.+2024"),
                 QStringLiteral("No space left on device"));
    ASSERT_EQ(responder.seen().size(), 1);
    const test::SeenBox& seen = responder.seen().front();
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    for (const char* part : {"Creating Date Category", "Bank/.+2024", "No space left on device"})
        EXPECT_TRUE(seen.text.contains(QLatin1String(part))) << part;
}

TEST(QtDocumentUi, ProgressSheetStaysForItsMinimumTimeWithoutHoldingUpTheWork)
{
    SilentUi silentUi;
    MyDocument doc(silentUi);
    IndexTree& tree = doc.tree();
    tree.insert(nullptr, std::make_unique<IndexItem>(plist::Dict{{QStringLiteral("Path"), QStringLiteral("A")}}, true));
    TreeModel model(doc);
    QWidget window;
    QtDocumentUi ui(&window);
    ui.attachBrowser(&model, nullptr);
    auto sheetGoes = [&](int withinMs) {
        QElapsedTimer waited;
        waited.start();
        while (ui.progressSheet() && waited.elapsed() < withinMs)
            QTest::qWait(5);
        return ui.progressSheet() == nullptr;
    };

    ui.progressStop(); // nothing to stop: harmless
    ASSERT_EQ(model.rowCount(), 1);

    QElapsedTimer clock;
    clock.start();
    ui.progressStart(QStringLiteral("Opening Database ..."), QStringLiteral("one\rtwo"), 1500);
    QPointer<ProgressSheet> sheet = ui.progressSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(window.isVisible()) << "the document's window appears under its first sheet";
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->text(), QStringLiteral("one\ntwo"));
    // While the sheet is up the store may swap the tree: the browser holds nothing.
    EXPECT_EQ(model.rowCount(), 0);
    ui.progressSetText(QStringLiteral("three"));
    EXPECT_EQ(sheet->text(), QStringLiteral("three"));
    ui.progressStop();
    // The work goes on at once, and the tree is back under the sheet, which stays up for
    // the rest of its minimum time.
    EXPECT_LT(clock.elapsed(), 1000) << "progressStop waited for the sheet";
    EXPECT_EQ(model.rowCount(), 1);
    ASSERT_FALSE(sheet.isNull());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(ui.busy()) << "a sheet waiting out its time is not a step in progress";
    EXPECT_TRUE(sheetGoes(5000));
    EXPECT_GE(clock.elapsed(), 1500);
    EXPECT_TRUE(sheet.isNull());

    // Work that took longer than the minimum: the sheet goes with the work.
    ui.progressStart(QStringLiteral("Rebuilding Index ..."), QString(), 50);
    QThread::msleep(120);
    ui.progressStop();
    EXPECT_EQ(ui.progressSheet(), nullptr);

    // Started again before it stopped, or while it waits out its time: one sheet, which
    // keeps its start, and the longer minimum counts.
    clock.restart();
    ui.progressStart(QStringLiteral("Updating Index ..."), QString(), 300);
    QPointer<ProgressSheet> first = ui.progressSheet();
    ui.progressStart(QStringLiteral("Updating Index ..."), QString(), 10);
    EXPECT_EQ(ui.progressSheet(), first.data());
    ui.progressStop();
    ui.progressStart(QStringLiteral("Importing ..."), QString(), 0);
    EXPECT_EQ(ui.progressSheet(), first.data()) << "no second sheet flashing up";
    EXPECT_EQ(model.rowCount(), 0);
    ui.progressStop();
    EXPECT_EQ(model.rowCount(), 1);
    ASSERT_TRUE(sheetGoes(3000));
    EXPECT_GE(clock.elapsed(), 300);

    // A question does not wait under a sheet whose work is done: the sheet goes first.
    ui.progressStart(QStringLiteral("Backing Up Database ..."), QString(), 5000);
    ui.progressStop();
    ASSERT_NE(ui.progressSheet(), nullptr);
    bool sheetWasUp = true;
    ModalResponder responder([&](QMessageBox* b) {
        sheetWasUp = ui.progressSheet() != nullptr;
        b->accept();
    });
    ui.ask({QString(), QStringLiteral("Import Into This Copy?"), {msg::OK}});
    ASSERT_EQ(responder.seen().size(), 1);
    EXPECT_FALSE(sheetWasUp);
    EXPECT_EQ(ui.progressSheet(), nullptr);
}

// -------------------------------------------------------------------------------------
// Opening through the application

class OpenFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixtures_ = test::fixturesDir();
        ASSERT_FALSE(fixtures_.isEmpty()) << "fixture generation failed";
    }
    static int mainWindowCount()
    {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<MainWindow*>(w) != nullptr;
        return n;
    }
    QString fixtures_;
};

TEST_F(OpenFailure, EachFailureIsExplainedOnceAndOpensNoWindow)
{
    struct Case {
        const char* name;
        QString path;
        QString title;
        QString textPart;
        bool heldElsewhere = false; // a command has it open, as folivo-cli store would
    } cases[] = {
        {"not a database", fixtures_ + "/NotADatabase.fvdb", msg::InvalidDatabaseTitle,
         QStringLiteral("is not a valid Folivo database")},
        {"nothing there", fixtures_ + "/Missing.fvdb", QStringLiteral("Cannot Open Database"),
         QStringLiteral("There is no database at")},
        {"open in a command", fixtures_ + "/Household.fvdb", msg::DatabaseInUseTitle,
         QStringLiteral("\"Household.fvdb\" is open in another program"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SilentUi holderUi;
        MyDocument holder(holderUi);
        OpenOptions reading;
        reading.forReading = true; // even a reader keeps the window out: it would change the package
        if (c.heldElsewhere) {
            ASSERT_TRUE(holder.openDatabase(c.path, reading).ok());
        }
        AppController app;
        int finished = 0;
        QObject::connect(&app, &AppController::finished, [&] { ++finished; });
        ModalResponder responder([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); });
        EXPECT_EQ(app.openDatabase(c.path), nullptr);
        ASSERT_EQ(responder.seen().size(), 1) << "one alert, not the store's and ours";
        EXPECT_EQ(responder.seen().front().title, c.title);
        EXPECT_TRUE(responder.seen().front().text.contains(c.textPart)) << qPrintable(responder.seen().front().text);
        EXPECT_TRUE(app.windows().isEmpty());
        EXPECT_EQ(mainWindowCount(), 0);
        EXPECT_EQ(finished, 0) << "a failed open must not end the run";
    }
}

TEST_F(OpenFailure, RebuildQuestionCancelledOpensNoWindow)
{
    AppController app;
    ModalResponder responder([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
    OpenOptions options;
    options.rebuildRequested = true;
    EXPECT_EQ(app.openDatabase(fixtures_ + "/Household.fvdb", options), nullptr);
    ASSERT_EQ(responder.seen().size(), 1) << "a cancel needs no further word";
    EXPECT_EQ(responder.seen().front().title, msg::RebuildIndexTitle);
    EXPECT_EQ(mainWindowCount(), 0);
}

TEST_F(OpenFailure, SkippedIndexEntriesAreReportedAfterOpening)
{
    // A crashed database with a hostile distributed index: it opens, rebuilt, without the
    // entries that could not be used, and says so.
    AppController app;
    ModalResponder responder([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); });
    MainWindow* window = app.openDatabase(fixtures_ + "/Corrupt.fvdb");
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(window->document().indexProblems().empty());
    ASSERT_EQ(responder.seen().size(), 1);
    EXPECT_EQ(responder.seen().front().title, msg::RebuildProblemsTitle);
    EXPECT_TRUE(responder.seen().front().windowModal);
    EXPECT_TRUE(responder.seen().front().text.contains(window->document().indexProblems().front().reason.toHtmlEscaped()))
        << qPrintable(responder.seen().front().text);
}

TEST_F(OpenFailure, SecondOpenOfOneDatabaseRaisesItsWindow)
{
    AppController app;
    int finished = 0;
    QObject::connect(&app, &AppController::finished, [&] { ++finished; });
    MainWindow* first = app.openDatabase(fixtures_ + "/Household.fvdb");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Household — Folivo"));
    // The same folder by another spelling is the same database.
    EXPECT_EQ(app.openDatabase(fixtures_ + "/./Household.fvdb/"), first);
    EXPECT_EQ(app.windows().size(), 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(app.windows().isEmpty());
    EXPECT_EQ(finished, 1) << "closing the last window ends the run";
}

} // namespace

// The recovery dialogs answer what was typed, and nothing when cancelled.
TEST(QtDocumentUi, RecoveryFolderAndPasswordDialogsAnswerWhatWasTyped)
{
    QtDocumentUi ui;
    auto whenModal = [](std::function<void(QWidget*)> act) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                act(w);
            }
        });
        timer->start(10);
    };
    whenModal([](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(dialog);
        // As typed into the name field (the dialog's own selection follows it).
        dialog->setDirectory(QStringLiteral("/tmp"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(name);
        name->setText(QStringLiteral("Recovered Here"));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(ui.chooseRecoveryFolder(QStringLiteral("Recovered Files (1-01-2026)")), QStringLiteral("/tmp/Recovered Here"));

    whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(ui.chooseRecoveryFolder(QStringLiteral("x")).has_value());

    whenModal([](QWidget* w) {
        auto* dialog = qobject_cast<QInputDialog*>(w);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->textEchoMode(), QLineEdit::Password);
        dialog->setTextValue(QStringLiteral("older password"));
        dialog->accept();
    });
    EXPECT_EQ(ui.askRecoveryPassword(QStringLiteral("The file cannot be decrypted.")), QStringLiteral("older password"));
    whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(ui.askRecoveryPassword(QStringLiteral("again")).has_value());
}
