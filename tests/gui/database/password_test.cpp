// The password dialog of an encrypted database: every attempt goes to the check, a refused
// one leaves the dialog up with the error line and an empty field, cancelling answers
// false without a check, and nothing typed outlives the dialog.

#include "gui/guitest.h"

#include "mainwindow.h"
#include "database/passwordsheet.h"
#include "database/qtdocumentui.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using Script = folivo::test::ModalScript<PasswordSheet>;

namespace {

const PasswordRequest kRequest{QStringLiteral("Household"), QStringLiteral("Enter the password of this database."),
                               QStringLiteral("The password is wrong. Try again.")};

// What the field held when the dialog finished, whichever way it ended.
void recordFieldAtEnd(PasswordSheet* sheet, QStringList& out)
{
    QObject::connect(sheet, &QDialog::finished, [sheet, &out] { out << sheet->passwordField()->text(); });
}

TEST(PasswordSheet, RefusedAttemptsKeepItUpUntilOneIsAccepted)
{
    QtDocumentUi ui;
    QStringList tried;
    bool busyWhileChecking = true;
    const PasswordCheck check = [&](const QString& password) {
        tried << password;
        busyWhileChecking = busyWhileChecking && ui.busy();
        return password == QLatin1String("right");
    };
    QPointer<PasswordSheet> shown;
    QStringList fieldAtEnd;
    Script script({
        [&](PasswordSheet* s) {
            shown = s;
            recordFieldAtEnd(s, fieldAtEnd);
            EXPECT_FALSE(s->errorLine()->isVisible()) << "no error before the first attempt";
            EXPECT_TRUE(s->passwordField()->text().isEmpty());
            // An empty field is an attempt too; Return takes OK.
            QTest::keyClick(s->passwordField(), Qt::Key_Return);
        },
        [&](PasswordSheet* s) {
            EXPECT_TRUE(s->errorLine()->isVisible());
            QTest::keyClicks(s->passwordField(), QStringLiteral("wrong"));
            QTest::keyClick(s->passwordField(), Qt::Key_Return);
        },
        [&](PasswordSheet* s) {
            EXPECT_TRUE(s->isVisible()) << "a refused attempt leaves the dialog up";
            EXPECT_TRUE(s->errorLine()->isVisible());
            EXPECT_EQ(s->errorLine()->text(), kRequest.errorText);
            EXPECT_TRUE(s->passwordField()->text().isEmpty()) << "the refused text is gone";
            EXPECT_FALSE(s->passwordField()->isUndoAvailable()) << "nor can it be undone back";
            EXPECT_EQ(s->focusWidget(), s->passwordField()) << "ready for the next attempt";
            QTest::keyClicks(s->passwordField(), QStringLiteral("right"));
            s->okButton()->click();
        },
    });
    EXPECT_TRUE(ui.askPassword(kRequest, check));
    EXPECT_EQ(script.stepsRun(), 3);
    EXPECT_EQ(tried, (QStringList{QString(), QStringLiteral("wrong"), QStringLiteral("right")}));
    EXPECT_TRUE(busyWhileChecking) << "the document is waiting on the dialog";
    EXPECT_FALSE(ui.busy());
    EXPECT_TRUE(shown.isNull()) << "the dialog goes with the call";
    EXPECT_EQ(fieldAtEnd, QStringList{QString()}) << "the field is emptied before the dialog ends";
}

TEST(PasswordSheet, EveryWayOutButOkCancelsWithoutACheck)
{
    const struct {
        const char* name;
        std::function<void(PasswordSheet*)> leave;
    } cases[] = {
        {"Cancel", [](PasswordSheet* s) { s->cancelButton()->click(); }},
        {"Escape in the field", [](PasswordSheet* s) { QTest::keyClick(s->passwordField(), Qt::Key_Escape); }},
        {"the window closed", [](PasswordSheet* s) { s->close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QtDocumentUi ui;
        int checks = 0;
        QStringList fieldAtEnd;
        Script script({
            [&](PasswordSheet* s) {
                recordFieldAtEnd(s, fieldAtEnd);
                QTest::keyClicks(s->passwordField(), QStringLiteral("typed but not sent"));
            },
            c.leave,
        });
        EXPECT_FALSE(ui.askPassword(kRequest, [&](const QString&) { return ++checks, true; }));
        EXPECT_EQ(script.stepsRun(), 2);
        EXPECT_EQ(checks, 0);
        EXPECT_EQ(fieldAtEnd, QStringList{QString()});
        EXPECT_FALSE(ui.busy());
    }
}

TEST(PasswordSheet, ModalToTheWindowOnceItShowsAndHoldsItOpen)
{
    MainWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QtDocumentUi& ui = window.documentUi();
    const auto refuse = [](const QString&) { return false; };

    // While a database is still being checked its window is not up yet.
    Script before({[&](PasswordSheet* s) {
        EXPECT_EQ(s->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(s->parentWidget(), nullptr);
        s->reject();
    }});
    EXPECT_FALSE(ui.askPassword(kRequest, refuse));

    window.show();
    bool closedWhileAsking = true;
    Script after({[&](PasswordSheet* s) {
        EXPECT_EQ(s->windowModality(), Qt::WindowModal);
        EXPECT_EQ(s->parentWidget(), &window);
        // As when another window's Quit closes every window: this one is in the middle of
        // opening and stays.
        closedWhileAsking = window.close();
        s->reject();
    }});
    EXPECT_FALSE(ui.askPassword(kRequest, refuse));
    EXPECT_FALSE(closedWhileAsking);
    EXPECT_TRUE(window.isVisible());
}

TEST(PasswordSheet, ShowsTheRequestAsWrittenOverAHiddenEntry)
{
    const PasswordRequest request{QStringLiteral("Bank <b> & Co"), QStringLiteral("First line\rSecond <i>line</i>"),
                                  QStringLiteral("Wrong password.")};
    PasswordSheet sheet(request, [](const QString&) { return false; });
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));

    EXPECT_EQ(sheet.windowTitle(), request.title);
    EXPECT_EQ(sheet.heading(), request.title);
    EXPECT_EQ(sheet.text(), QStringLiteral("First line\nSecond <i>line</i>"));
    for (const QLabel* label : sheet.findChildren<QLabel*>())
        EXPECT_NE(label->textFormat(), Qt::RichText) << qPrintable(label->text());
    EXPECT_TRUE(sheet.okButton()->isDefault());

    const QLineEdit* field = sheet.passwordField();
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field->completer(), nullptr);
    const Qt::InputMethodHints hints = field->inputMethodHints();
    for (Qt::InputMethodHint h : {Qt::ImhHiddenText, Qt::ImhSensitiveData, Qt::ImhNoPredictiveText})
        EXPECT_TRUE(hints.testFlag(h)) << h;

    const QColor error = sheet.errorLine()->palette().color(QPalette::WindowText);
    EXPECT_GT(error.red(), 2 * error.green());
    EXPECT_GT(error.red(), 2 * error.blue());
    EXPECT_EQ(sheet.errorLine()->text(), request.errorText);

    // The pictures go to the build folder for a look at the layout.
    const QString dir = QCoreApplication::applicationDirPath();
    const QPixmap fresh = sheet.grab();
    EXPECT_TRUE(fresh.save(dir + QStringLiteral("/password-sheet.png")));
    QTest::keyClicks(sheet.passwordField(), QStringLiteral("secret"));
    sheet.okButton()->click();
    ASSERT_TRUE(sheet.errorLine()->isVisible());
    const QPixmap refused = sheet.grab();
    EXPECT_TRUE(refused.save(dir + QStringLiteral("/password-sheet-refused.png")));
    EXPECT_EQ(refused.size(), fresh.size()) << "the error line has its room from the start";
}

} // namespace
