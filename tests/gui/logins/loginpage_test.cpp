// A folder's website login in the window: fields stored when they are left, secrets behind
// dots, the typing options with the keys their rules store, and a generated password that
// keeps the old one in the notes.

#include "gui/guitest.h"

#include "attributes/attributesarea.h"
#include "logins/loginpage.h"
#include "mainwindow.h"

#include "logins/loginrecord.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

using Status = OperationResult::Status;

class LoginWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(db_).ok());
        for (const char* f : {"Bank", "Tax"})
            ASSERT_EQ(doc().recordNewCategory(f, nullptr, -1).status, Status::Done);
        window_->show();
        settle();
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
    }
    MyDocument& doc() { return window_->document(); }
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    LoginPage* page() const { return window_->findChild<AttributesArea*>()->loginPage(); }
    IndexItem& folder(const QString& path) { return *doc().tree().itemForPath(path); }
    void select(const QString& path)
    {
        ASSERT_TRUE(window_->selectPath(path));
        settle();
        ASSERT_EQ(page()->folderPath(), path);
    }
    static void typeInto(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        emit field->editingFinished();
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Logins.fvdb");
    std::unique_ptr<MainWindow> window_;
};

TEST_F(LoginWindow, FieldsAreStoredWhenLeftAndSecretsShowAsDots)
{
    select("Bank");
    EXPECT_FALSE(hasAnyLoginKey(folder("Bank"))) << "showing a folder gives it no login keys";
    typeInto(page()->addressField(), "https://bank.example");
    typeInto(page()->userIDField(), "me@example.org");
    QTest::keyClicks(page()->passwordField(), "s3cret");
    EXPECT_FALSE(folder("Bank").has(loginkeys::Password)) << "not stored per keystroke";
    emit page()->passwordField()->editingFinished();
    LoginRecord r = LoginRecord::of(folder("Bank"));
    EXPECT_EQ(r.url, "https://bank.example");
    EXPECT_EQ(r.userID, "me@example.org");
    EXPECT_EQ(r.password, "s3cret");

    select("Tax");
    select("Bank");
    EXPECT_EQ(page()->passwordField()->echoMode(), QLineEdit::Password) << "a login with secrets opens masked";
    page()->showHideButton()->click();
    EXPECT_EQ(page()->passwordField()->echoMode(), QLineEdit::Normal);
    typeInto(page()->userIDField(), "");
    EXPECT_FALSE(folder("Bank").has(loginkeys::UserID));

    doc().rebuildIndex();
    r = LoginRecord::of(folder("Bank"));
    EXPECT_EQ(r.password, "s3cret") << "the attributes file holds it";
    EXPECT_TRUE(r.userID.isEmpty());

    // A change made elsewhere while the page shows the folder is not undone by leaving it.
    select("Bank");
    folder("Bank").setValue(loginkeys::URL, QStringLiteral("https://elsewhere.example"));
    select("Tax");
    EXPECT_EQ(LoginRecord::of(folder("Bank")).url, "https://elsewhere.example");
    // What was typed and not yet stored is stored when the page moves on.
    select("Bank");
    page()->addressField()->setFocus();
    QTest::keyClicks(page()->addressField(), "/login");
    select("Tax");
    EXPECT_EQ(LoginRecord::of(folder("Bank")).url, "https://elsewhere.example/login");
}

TEST_F(LoginWindow, OptionsFollowTheirRulesAndAGeneratedPasswordKeepsTheOldOne)
{
    select("Bank");
    typeInto(page()->passwordField(), "old-one");
    page()->passwordReturnSwitch()->click();
    ASSERT_TRUE(LoginRecord::of(folder("Bank")).passwordReturn);
    page()->passwordOptionMenu()->setCurrentIndex(3);
    emit page()->passwordOptionMenu()->activated(3);
    EXPECT_FALSE(page()->passwordReturnSwitch()->isChecked());
    EXPECT_FALSE(page()->passwordReturnSwitch()->isEnabled());
    EXPECT_EQ(*folder("Bank").value(loginkeys::PasswordEnter), plist::Value(false));
    page()->userIDOptionMenu()->setCurrentIndex(1);
    emit page()->userIDOptionMenu()->activated(1);
    EXPECT_TRUE(page()->userIDTabSwitch()->isEnabled());

    const QString generated = page()->generate(20, false);
    EXPECT_EQ(generated.size(), 20);
    EXPECT_EQ(LoginRecord::of(folder("Bank")).password, generated);
    EXPECT_EQ(page()->passwordField()->echoMode(), QLineEdit::Normal) << "a new password shows in clear";
    const QString notes = folder("Bank").value(keys::Notes)->string();
    EXPECT_TRUE(notes.contains(": Password was: old-one\n")) << notes.toStdString();
    EXPECT_TRUE(window_->findChild<QPlainTextEdit*>("notesField")->toPlainText().contains("old-one"));
}

} // namespace
