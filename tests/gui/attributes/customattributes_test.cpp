// Custom attributes in a database window: the file page's table (names completed as they are
// typed, a name given twice refused with the alert, Add only while names exist and the
// database can change) and the editor of the names, run from the Edit menu.

#include "gui/guitest.h"

#include "attributes/attributesarea.h"
#include "attributes/customattributesdialog.h"
#include "attributes/customattributestable.h"
#include "mainwindow.h"

#include "attributes/customattributes.h"
#include "attributes/messages.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::ModalResponder;
using folivo::test::ModalScript;

namespace {

using Status = OperationResult::Status;

void click(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text) {
            b->click();
            return;
        }
    box->reject();
}

class CustomAttributesWindow : public ::testing::Test {
protected:
    void SetUp() override { open(false); }
    void TearDown() override
    {
        if (window_) {
            window_->close();
            window_.reset();
        }
    }
    void open(bool forReading)
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        if (!QFileInfo::exists(db_)) {
            ASSERT_TRUE(window_->createDatabase(db_).ok());
            MyDocument& doc = window_->document();
            ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, Status::Done);
            ASSERT_EQ(doc.recordImport("Visa.txt", QByteArray("v"), "Bank", -1, {}, {}).resultPath, file_);
            doc.customAttributes().setNames(doc, {"Account", "Amount", "amount"});
            ASSERT_TRUE(setCustomAttribute(doc, file_, "Amount", "12"));
            window_->close();
            window_ = std::make_unique<MainWindow>();
            window_->setAttribute(Qt::WA_DeleteOnClose, false);
        }
        OpenOptions options;
        options.forReading = forReading;
        ASSERT_TRUE(window_->openDatabase(db_, options).ok());
        window_->show();
        settle();
        if (!window_->document().settings().attributesViewState)
            window_->runCommand(MenuCommand::ShowAttributes);
        ASSERT_TRUE(window_->selectPath(file_));
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    CustomAttributesTable* table() const { return window_->findChild<AttributesArea*>()->customAttributesTable(); }
    QList<AttributeEntry> entries() const
    {
        return customAttributesOf(*window_->document().tree().itemForPath(file_));
    }
    QStringList shownRows() const
    {
        QStringList rows;
        QTableWidget* t = table()->table();
        for (int r = 0; r < t->rowCount(); ++r)
            rows << t->item(r, 0)->text() + "=" + t->item(r, 1)->text();
        return rows;
    }

    folivo::test::Scratch scratch_;
    QString db_ = scratch_.file("Attrs.fvdb");
    QString file_ = QStringLiteral("Bank/Visa.txt");
    std::unique_ptr<MainWindow> window_;
};

TEST_F(CustomAttributesWindow, TheFilePageShowsTheTableAndANameIsCompletedAsItIsTyped)
{
    ASSERT_EQ(table()->shownPath(), file_);
    EXPECT_EQ(shownRows(), QStringList{"Amount=12"});
    EXPECT_TRUE(table()->addButton()->isEnabled());

    QTest::mouseClick(table()->addButton(), Qt::LeftButton);
    settle();
    ASSERT_EQ(table()->table()->rowCount(), 2);
    auto* box = table()->table()->findChild<QComboBox*>("attributeNameEditor");
    ASSERT_TRUE(box) << "the new row's name is edited at once";
    EXPECT_EQ(box->count(), 3);
    // "A" completes to the first name that begins with it in its case; "c" then goes on in it.
    QTest::keyClicks(box->lineEdit(), "A");
    EXPECT_EQ(box->lineEdit()->text(), "Account");
    EXPECT_EQ(box->lineEdit()->selectedText(), "ccount");
    QTest::keyClicks(box->lineEdit(), "c");
    EXPECT_EQ(box->lineEdit()->text(), "Account");
    // Text that begins no name is refused.
    box->lineEdit()->end(false);
    QTest::keyClicks(box->lineEdit(), "x");
    EXPECT_EQ(box->lineEdit()->text(), "Account");
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    settle();
    EXPECT_EQ(entries(), (QList<AttributeEntry>{{"Amount", "12"}, {"Account", ""}}));

    // A value typed into its cell is stored.
    table()->table()->item(1, CustomAttributesTable::ValueColumn)->setText("Visa Gold");
    settle();
    EXPECT_EQ(entries(), (QList<AttributeEntry>{{"Amount", "12"}, {"Account", "Visa Gold"}}));

    window_->document().rebuildIndex();
    window_->findChild<AttributesArea*>()->refresh();
    EXPECT_EQ(entries(), (QList<AttributeEntry>{{"Amount", "12"}, {"Account", "Visa Gold"}}));
}

TEST_F(CustomAttributesWindow, ANameTheFileHasIsRefusedWithTheAlertAndTheRowGoes)
{
    table()->addRow();
    settle();
    ModalResponder responder([](QMessageBox* box) { click(box, "OK"); });
    table()->commitName(1, "Amount");
    settle();
    ASSERT_EQ(responder.seen().size(), 1);
    EXPECT_EQ(responder.seen()[0].title, "Custom Attribute Already Exists");
    EXPECT_TRUE(responder.seen()[0].text.contains("already exists for this file.  You cannot assign the same "
                                                  "attribute twice."));
    EXPECT_EQ(shownRows(), QStringList{"Amount=12"});

    // Delete removes the selected rows.
    table()->table()->selectRow(0);
    EXPECT_TRUE(table()->deleteButton()->isEnabled());
    QTest::mouseClick(table()->deleteButton(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(table()->table()->rowCount(), 0);
}

TEST_F(CustomAttributesWindow, AddOnlyWhileNamesExistAndTheDatabaseCanChange)
{
    MyDocument& doc = window_->document();
    doc.customAttributes().setNames(doc, {});
    table()->reload();
    EXPECT_FALSE(table()->addButton()->isEnabled());
    EXPECT_EQ(table()->table()->selectionMode(), QAbstractItemView::NoSelection);

    window_->close();
    window_.reset();
    open(true);
    EXPECT_EQ(shownRows(), QStringList{"Amount=12"});
    EXPECT_FALSE(table()->addButton()->isEnabled());
    EXPECT_EQ(table()->table()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(window_->commandState(MenuCommand::CustomAttributes).enabled);
}

TEST_F(CustomAttributesWindow, TheNamesEditorRefusesBadNamesRenamesAndAsksBeforeDeletingANameInUse)
{
    bool ran = false;
    ModalScript<CustomAttributesDialog> script({[&](CustomAttributesDialog* d) {
        ran = true;
        CustomAttributesDialog& dialog = *d;
    EXPECT_EQ(dialog.windowTitle(), "Custom Attributes");
    EXPECT_EQ(dialog.names(), (QStringList{"Account", "Amount", "amount"}));

    dialog.newAttributeName();
    dialog.editRow(3, "Tax1");
    EXPECT_EQ(dialog.errorLine()->text(), attributesmsg::NameLettersDeleted);
    EXPECT_FALSE(dialog.errorLine()->isHidden());
    EXPECT_EQ(dialog.table()->rowCount(), 3);

    dialog.newAttributeName();
    dialog.editRow(3, "beta");
    EXPECT_TRUE(dialog.errorLine()->isHidden());
    EXPECT_EQ(dialog.names(), (QStringList{"Account", "Amount", "amount", "beta"}));
    EXPECT_EQ(window_->document().customAttributeNames(), dialog.names()) << "written when it changes";

    dialog.editRow(1, "Total");
    EXPECT_EQ(dialog.names(), (QStringList{"Account", "amount", "beta", "Total"}));
    EXPECT_EQ(entries(), (QList<AttributeEntry>{{"Total", "12"}}));
    EXPECT_EQ(dialog.table()->selectionModel()->selectedRows().value(0).row(), 3);

    // A name no file uses goes without a question; one in use asks, "No" keeps it.
    {
        ModalResponder responder([](QMessageBox* box) { click(box, "No"); });
        dialog.table()->clearSelection();
        dialog.table()->selectRow(2);
        dialog.deleteSelectedAttributeNames();
        EXPECT_TRUE(responder.seen().isEmpty());
        dialog.table()->selectRow(2);
        dialog.deleteSelectedAttributeNames();
        ASSERT_EQ(responder.seen().size(), 1);
        EXPECT_EQ(responder.seen()[0].title, "Custom Attributes");
        EXPECT_EQ(responder.seen()[0].buttons, (QStringList{"No", "Yes"}));
        EXPECT_EQ(responder.seen()[0].defaultButton, "No");
        EXPECT_TRUE(responder.seen()[0].text.contains("is in use for at least one file."));
    }
    EXPECT_EQ(dialog.names(), (QStringList{"Account", "amount", "Total"}));
    {
        ModalResponder responder([](QMessageBox* box) { click(box, "Yes"); });
        dialog.table()->selectRow(2);
        dialog.deleteSelectedAttributeNames();
        EXPECT_EQ(responder.seen().size(), 1);
    }
    EXPECT_EQ(dialog.names(), (QStringList{"Account", "amount"}));
    EXPECT_TRUE(entries().isEmpty());

    // A blank row left at the close goes.
    dialog.newAttributeName();
    dialog.reject();
    }});
    window_->runCommand(MenuCommand::CustomAttributes);
    settle();
    EXPECT_TRUE(ran);
    EXPECT_EQ(window_->document().customAttributeNames(), (QStringList{"Account", "amount"}));
}

TEST_F(CustomAttributesWindow, TheEditMenuRunsTheEditorAndTheTableFollowsARename)
{
    ASSERT_TRUE(window_->commandState(MenuCommand::CustomAttributes).enabled);
    ModalScript<CustomAttributesDialog> script({
        // As a typed cell: stored once the cell's editor has closed.
        [](CustomAttributesDialog* d) { d->table()->item(1, 0)->setText("Total"); },
        [](CustomAttributesDialog* d) {
            EXPECT_EQ(d->names(), (QStringList{"Account", "amount", "Total"}));
            d->accept();
        },
    });
    window_->runCommand(MenuCommand::CustomAttributes);
    settle();
    EXPECT_EQ(script.stepsRun(), 2);
    EXPECT_EQ(shownRows(), QStringList{"Total=12"});
}

} // namespace
