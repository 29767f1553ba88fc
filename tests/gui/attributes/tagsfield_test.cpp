// Tags in a database window: the tags field stores a tag when it is committed (never per
// keystroke), completes the database's tags and removes with Backspace; the auto-tagging
// dialog refuses a repeated prefix and drops empty ones; tagging the selected files.

#include "gui/guitest.h"

#include "attributes/attributesarea.h"
#include "attributes/autotagdialog.h"
#include "attributes/tagsfield.h"
#include "mainwindow.h"

#include "attributes/messages.h"
#include "attributes/tags.h"
#include "store/dboperation.h"
#include "store/indexitem.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QCompleter>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

using Status = OperationResult::Status;

class TagsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(db_).ok());
        MyDocument& doc = window_->document();
        ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, Status::Done);
        first_ = doc.recordImport("Statement.txt", QByteArray("ACME\nKeywords: rent, heating\n"), "Bank", -1, {}, {})
                     .resultPath;
        second_ = doc.recordImport("Letter.txt", QByteArray("Keywords: insurance\n"), "Bank", -1, {}, {}).resultPath;
        ASSERT_FALSE(first_.isEmpty());
        ASSERT_FALSE(second_.isEmpty());
        window_->show();
        settle();
        if (!doc.settings().attributesViewState)
            window_->runCommand(MenuCommand::ShowAttributes);
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
    }
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    AttributesArea* area() const { return window_->findChild<AttributesArea*>(); }
    TagsField* field() const { return area()->tagsField(); }
    QStringList tagsOn(const QString& path) const
    {
        const IndexItem* item = window_->document().tree().itemForPath(path);
        return item ? tagsOf(*item) : QStringList{};
    }
    void select(const QString& path)
    {
        ASSERT_TRUE(window_->selectPath(path));
        settle();
        ASSERT_EQ(area()->shownPath(), path);
    }
    // Runs `act` on the auto-tagging dialog once it is up, then closes it with `accept`.
    void withDialog(const std::function<void(AutoTagDialog*)>& act, bool accept)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<AutoTagDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            act(dialog);
            accept ? dialog->accept() : dialog->reject();
        });
        window_->runCommand(MenuCommand::SpecifyAutoTagging);
        EXPECT_TRUE(seen);
    }
    static void editRow(AutoTagDialog* dialog, int row, const QString& text)
    {
        dialog->table()->item(row, 0)->setText(text);
        settle();
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Tags.fvdb");
    QString first_;
    QString second_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(TagsWindow, ATagIsStoredWhenCommittedAndRemovedWithBackspace)
{
    select(first_);
    QLineEdit* editor = field()->editor();
    editor->setFocus();
    QTest::keyClicks(editor, "rent");
    EXPECT_TRUE(tagsOn(first_).isEmpty()) << "nothing is stored while a tag is being typed";
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(tagsOn(first_), QStringList({"rent"}));
    QTest::keyClicks(editor, " heating ,tax");
    EXPECT_EQ(tagsOn(first_), QStringList({"rent", "heating"})) << "a comma ends a tag, trimmed";
    EXPECT_EQ(editor->text(), "tax");
    QTest::keyClicks(editor, ",rent,");
    EXPECT_EQ(tagsOn(first_), QStringList({"rent", "heating", "tax"})) << "a tag the file has is not added twice";
    ASSERT_NE(field()->chip(2), nullptr);
    EXPECT_EQ(field()->chip(2)->accessibleName(), "tax");

    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(tagsOn(first_), QStringList({"rent", "heating"}));
    field()->chip(0)->click();
    EXPECT_EQ(tagsOn(first_), QStringList({"heating"}));

    // What is typed when the selection moves on is kept on the file it was typed for.
    QTest::keyClicks(editor, "gas");
    select(second_);
    EXPECT_EQ(tagsOn(first_), QStringList({"heating", "gas"}));
    EXPECT_TRUE(field()->tags().isEmpty());

    window_->document().rebuildIndex();
    EXPECT_EQ(tagsOn(first_), QStringList({"heating", "gas"})) << "the attributes file holds them";
}

TEST_F(TagsWindow, TheTypingPlaceCompletesTheDatabasesTags)
{
    ASSERT_TRUE(setTags(window_->document(), second_, {"Insurance", "house"}));
    select(first_);
    field()->editor()->setFocus();
    settle();
    QAbstractItemModel* model = field()->completer()->model();
    QStringList offered;
    for (int i = 0; i < model->rowCount(); ++i)
        offered << model->index(i, 0).data().toString();
    EXPECT_EQ(offered, QStringList({"house", "Insurance"}));
    QTest::keyClicks(field()->editor(), "ins");
    EXPECT_EQ(field()->completer()->currentCompletion(), "Insurance") << "completion ignores case";
}

TEST_F(TagsWindow, TheAutoTaggingDialogRefusesRepeatsAndDropsEmptyPrefixes)
{
    withDialog(
        [&](AutoTagDialog* dialog) {
            EXPECT_FALSE(dialog->deleteButton()->isEnabled());
            dialog->addPrefix();
            editRow(dialog, 0, "Keywords:");
            dialog->addPrefix();
            editRow(dialog, 1, "Keywords:");
            EXPECT_EQ(dialog->errorLine()->text(), attributesmsg::PrefixDuplicateDeleted);
            EXPECT_TRUE(dialog->errorLine()->isVisibleTo(dialog));
            EXPECT_EQ(dialog->prefixes(), QStringList({"Keywords:"}));
            dialog->addPrefix(); // left empty
            dialog->separatorMenu()->setCurrentIndex(1);
        },
        true);
    AutoTagSettings s = autoTagSettingsOf(window_->document());
    EXPECT_EQ(s.prefixes, QStringList({"Keywords:"})) << "the empty row is not stored";
    EXPECT_EQ(s.separator, 1);
    EXPECT_TRUE(window_->action(MenuCommand::AutoTagImportedFiles)->isEnabled());

    withDialog([&](AutoTagDialog* dialog) { editRow(dialog, 0, "Tags:"); }, false);
    EXPECT_EQ(autoTagSettingsOf(window_->document()).prefixes, QStringList({"Keywords:"}))
        << "a cancelled dialog changes nothing";
}

TEST_F(TagsWindow, TaggingTheSelectedFolderTagsEveryFileInItAndTheSwitchIsKept)
{
    QAction* selected = window_->action(MenuCommand::AutoTagSelectedFiles);
    QAction* imported = window_->action(MenuCommand::AutoTagImportedFiles);
    window_->refreshActions();
    EXPECT_FALSE(selected->isEnabled()) << "no prefixes yet";
    EXPECT_FALSE(imported->isEnabled());

    AutoTagSettings s;
    s.prefixes = {"Keywords:"};
    setAutoTagSettings(window_->document(), s);
    select("Bank");
    window_->refreshActions();
    ASSERT_TRUE(selected->isEnabled());
    EXPECT_FALSE(imported->isChecked());
    window_->runCommand(MenuCommand::AutoTagImportedFiles);
    EXPECT_TRUE(imported->isChecked());
    EXPECT_TRUE(autoTagSettingsOf(window_->document()).scanImported);

    window_->runCommand(MenuCommand::AutoTagSelectedFiles);
    EXPECT_EQ(tagsOn(first_), QStringList({"rent", "heating"}));
    EXPECT_EQ(tagsOn(second_), QStringList({"insurance"}));
    select(first_);
    EXPECT_EQ(field()->tags(), QStringList({"rent", "heating"}));
}

} // namespace
