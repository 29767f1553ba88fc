// Importing logins in the window: the titles placed over the columns (the common export's at
// once), a folder with its login for each line with a name inside the selected folder, and the
// lines left over shown again.

#include "gui/guitest.h"

#include "logins/loginimportdialog.h"
#include "logins/loginscommands.h"
#include "mainwindow.h"

#include "attributes/notes.h"
#include "logins/loginrecord.h"
#include "store/dboperation.h"
#include "store/indexitem.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

class LoginImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(db_).ok());
        ASSERT_EQ(doc().recordNewCategory("Web", nullptr, -1).status, OperationResult::Status::Done);
        window_->show();
        ASSERT_TRUE(window_->selectPath("Web"));
    }
    void TearDown() override { window_->close(); }
    MyDocument& doc() { return window_->document(); }
    LoginsCommands* logins() const { return qobject_cast<LoginsCommands*>(window_->module("logins")); }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Import.fvdb");
    std::unique_ptr<MainWindow> window_;
};

TEST_F(LoginImport, TheCommonExportIsPlacedAtOnceAndLeftoverLinesAreShownAgain)
{
    ASSERT_TRUE(logins());
    LoginImportDialog* dialog = logins()->importDialogFor(
        "Title,URL,Username,Password,Notes\n"
        "Bank,https://bank.example,jane,pw-one,\"a note, with a comma\"\n"
        ",https://nameless.example,who,pw-two,\n");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->separator(), LoginSeparator::Comma);
    EXPECT_EQ(dialog->columns().mid(0, 5), (QList<LoginColumn>{LoginColumn::Name, LoginColumn::URL,
                                                               LoginColumn::UserID1, LoginColumn::Password,
                                                               LoginColumn::Notes}));
    EXPECT_EQ(dialog->dataTable()->rowCount(), 2) << "the header line is not a login";

    dialog->importButton()->click();
    const IndexItem* bank = doc().tree().itemForPath("Web/Bank");
    ASSERT_TRUE(bank) << "inside the selected folder";
    const LoginRecord login = LoginRecord::of(*bank);
    EXPECT_EQ(login.url, "https://bank.example");
    EXPECT_EQ(login.userID, "jane");
    EXPECT_EQ(login.password, "pw-one");
    EXPECT_EQ(notesOf(doc(), "Web/Bank"), "a note, with a comma");

    // The nameless line is still there, and the dialog says so.
    EXPECT_EQ(dialog->dataTable()->rowCount(), 1);
    EXPECT_EQ(dialog->dataTable()->item(0, 1)->text(), "https://nameless.example");
    EXPECT_FALSE(dialog->errorLabel()->isHidden());
    EXPECT_EQ(dialog->importButton()->text(), "OK");
    dialog->importButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->imported(), 1);
}

TEST_F(LoginImport, TitlesDraggedOverTheirColumnsDecideWhatEachFieldFills)
{
    LoginImportDialog* dialog = logins()->importDialogFor("shop.example\tShop\tann\tpw-three\n");
    EXPECT_EQ(dialog->separator(), LoginSeparator::Tab);
    // Untouched, only the name is taken, and from the first column.
    EXPECT_EQ(dialog->columns().front(), LoginColumn::Name);
    EXPECT_EQ(dialog->columns().count(LoginColumn::Skip), kLoginImportColumns - 1);

    dialog->placeTitle("URL", 0);
    dialog->placeTitle("Name", 1);
    dialog->placeTitle("User ID 1", 2);
    dialog->placeTitle("Password", 3, /*ticked=*/false);
    EXPECT_EQ(dialog->columns().mid(0, 4), (QList<LoginColumn>{LoginColumn::URL, LoginColumn::Name,
                                                               LoginColumn::UserID1, LoginColumn::Skip}));
    dialog->importButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const IndexItem* shop = doc().tree().itemForPath("Web/Shop");
    ASSERT_TRUE(shop);
    EXPECT_EQ(LoginRecord::of(*shop).url, "shop.example");
    EXPECT_EQ(LoginRecord::of(*shop).userID, "ann");
    EXPECT_TRUE(LoginRecord::of(*shop).password.isEmpty()) << "its title was not ticked";
}

} // namespace
