// Renaming items in place in the browser, and how rows are shown.

#include "browser/messages.h"
#include "gui/dndtestsupport.h"

#include "browser/browserdrops.h"
#include "widgets/callout.h"

#include "browser/renamerules.h"
#include "prefs/ktprefs.h"
#include "store/keys.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::OpenDb;

namespace {

QLineEdit* openEditor(const QTreeView& view)
{
    for (QLineEdit* e : view.viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            return e;
    return nullptr;
}

class Rename : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(test::fixturesDir().isEmpty()) << "fixture generation failed";
        db_ = test::openCopy(scratch_, "Household.fvdb", "Household.fvdb");
        ASSERT_TRUE(db_);
    }
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    bool editable(const QString& path) const { return db_->model->flags(db_->index(path)) & Qt::ItemIsEditable; }

    test::Scratch scratch_;
    std::unique_ptr<OpenDb> db_;
};

TEST_F(Rename, FileKeepsItsExtensionOnDiskAndInTheTree)
{
    QSignalSpy selected(db_->model.get(), &TreeModel::selectRequested);
    const QModelIndex letter = db_->index("Bank/Welcome Letter.pdf");
    EXPECT_EQ(db_->model->data(letter).toString(), "Welcome Letter");
    EXPECT_EQ(db_->model->data(letter, Qt::EditRole).toString(), "Welcome Letter");
    ASSERT_TRUE(db_->model->setData(letter, "Letter"));
    EXPECT_TRUE(db_->item("Bank/Welcome Letter.pdf")) << "renamed once the editor has gone";
    settle();
    EXPECT_FALSE(db_->item("Bank/Welcome Letter.pdf"));
    ASSERT_TRUE(db_->item("Bank/Letter.pdf"));
    EXPECT_TRUE(QFileInfo::exists(db_->abs("Bank/Letter.pdf")));
    EXPECT_FALSE(QFileInfo::exists(db_->abs("Bank/Welcome Letter.pdf")));
    EXPECT_EQ(db_->model->data(db_->index("Bank/Letter.pdf")).toString(), "Letter");
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0][0].toStringList(), (QStringList{"Bank/Letter.pdf"}));

    // Typed decomposed, stored composed.
    ASSERT_TRUE(db_->model->setData(db_->index("Bank/Visa"), QStringLiteral("Cafe\u0301")));
    settle();
    EXPECT_TRUE(db_->item(QStringLiteral("Bank/Caf\u00e9/2024/January/Statement.pdf")));
    EXPECT_TRUE(QFileInfo(db_->abs(QStringLiteral("Bank/Caf\u00e9"))).isDir());
}

TEST_F(Rename, RefusedNamesChangeNothingAndAskForACallout)
{
    ASSERT_TRUE(db_->doc->recordNewCategory(QStringLiteral("Bank/Caf\u00e9"), db_->item("Bank"), 0).ok());
    db_->model->reload();
    QSignalSpy callouts(db_->model.get(), &TreeModel::calloutRequested);
    QSignalSpy editAgain(db_->model.get(), &TreeModel::editAgainRequested);
    const auto before = test::folderSnapshot(db_->doc->dbPath());

    EXPECT_FALSE(db_->model->setData(db_->index("Bank/Visa"), "a\tb"));
    EXPECT_FALSE(db_->model->setData(db_->index("Bank/Visa"), QStringLiteral("Cafe\u0301")));
    EXPECT_EQ(callouts.size(), 0) << "shown once the editor has closed";
    settle();
    ASSERT_EQ(callouts.size(), 2);
    EXPECT_EQ(callouts[0][1].toString(), renamemsg::BadName);
    EXPECT_EQ(callouts[1][1].toString(), QStringLiteral("\"Caf\u00e9\" is already in use."));
    EXPECT_EQ(callouts[1][0].value<QModelIndex>(), db_->index("Bank/Visa"));
    ASSERT_EQ(editAgain.size(), 1) << "only a name in use goes back into editing";
    EXPECT_TRUE(db_->item("Bank/Visa"));
    EXPECT_EQ(test::folderSnapshot(db_->doc->dbPath()), before);
}

TEST_F(Rename, WhatMayBeEdited)
{
    EditContext context; // double-click edits
    db_->model->setEditContext(context);
    EXPECT_TRUE(editable("Bank"));
    EXPECT_TRUE(editable("Bank/Welcome Letter.pdf"));
    EXPECT_FALSE(editable("Unfiled"));
    EXPECT_FALSE(editable("Bank/Visa/2023"));
    EXPECT_FALSE(editable("Last Import")) << "kept by the system while maintained";
    EXPECT_FALSE(db_->model->setData(db_->index("Bank/Visa/2023"), "2022"));
    EXPECT_TRUE(db_->item("Bank/Visa/2023"));

    context.doubleClickMeaning = 1; // double-click opens: files open, folders are named
    db_->model->setEditContext(context);
    EXPECT_TRUE(editable("Bank"));
    EXPECT_FALSE(editable("Bank/Welcome Letter.pdf"));
    context.editButton = true;
    db_->model->setEditContext(context);
    EXPECT_TRUE(editable("Bank/Welcome Letter.pdf"));

    // A renamed "Last Import" is an ordinary smart folder from then on.
    context.maintainLastImport = false;
    db_->model->setEditContext(context);
    ASSERT_TRUE(db_->model->setData(db_->index("Last Import"), "Imported"));
    settle();
    const IndexItem* renamed = db_->item("Imported");
    ASSERT_TRUE(renamed);
    EXPECT_TRUE(renamed->isSmartFolder());
    EXPECT_FALSE(renamed->has(keys::SystemLastImportFolder));
}

TEST_F(Rename, RowsShowNamesToolTipsAndIcons)
{
    IndexItem* lastImport = db_->item("Last Import");
    db_->doc->tree().insert(lastImport, std::make_unique<IndexItem>(
                                            plist::Dict{{keys::Path, "Last Import/Statement.pdf"},
                                                        {keys::SmartFile, "Bank/Visa/2024/January/Statement.pdf"}},
                                            false));
    ASSERT_TRUE(db_->doc->recordNewCategory("Import Logs", nullptr, 3).ok());
    ASSERT_TRUE(db_->doc->recordNewCategory("Plain", nullptr, 4).ok());
    db_->model->reload();
    TreeModel& m = *db_->model;
    const QModelIndex smartFile = db_->index("Last Import/Statement.pdf");
    EXPECT_EQ(m.data(smartFile).toString(), "Bank/Visa/2024/January/Statement");
    EXPECT_EQ(m.data(smartFile, Qt::ToolTipRole).toString(), "Bank/Visa/2024/January/Statement.pdf");
    EXPECT_FALSE(m.flags(smartFile) & Qt::ItemIsEditable);

    auto icon = [&](const char* path) { return m.data(db_->index(path), Qt::DecorationRole).value<QIcon>().cacheKey(); };
    EXPECT_EQ(icon("Import Logs"), icon("Plain")) << "no application preferences: an ordinary folder";
    KTPrefs prefs(QStringLiteral("org.folivo.renametest"));
    prefs.setBool(true, QStringLiteral("ImportLog"));
    db_->doc->setApplicationPreferences(&prefs);
    EXPECT_EQ(icon("Import Logs"), icon("Unfiled"));
    EXPECT_NE(icon("Last Import"), icon("Plain"));
    db_->doc->tree().itemForPath("Last Import")->removeValue(keys::SystemLastImportFolder);
    const qint64 plainSmart = icon("Last Import");
    db_->doc->tree().itemForPath("Last Import")->setValue(keys::SystemLastImportFolder, true);
    EXPECT_NE(icon("Last Import"), plainSmart) << "the system's last import folder has its own icon";
    EXPECT_EQ(icon("Last Import/Statement.pdf"), icon("Bank/Welcome Letter.pdf"));
    db_->doc->setApplicationPreferences(nullptr);
}

// Through a real view: the editor, the callout beside the row, and editing again.
TEST_F(Rename, EditingInTheViewWithCallouts)
{
    QTreeView view;
    view.setModel(db_->model.get());
    setUpBrowserView(&view);
    view.resize(400, 300);
    view.show();
    view.expandAll();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.dragDropMode(), QAbstractItemView::DragDrop);
    EXPECT_EQ(view.defaultDropAction(), Qt::MoveAction);

    auto editTo = [&](const QString& path, const QString& text) {
        const QModelIndex index = db_->index(path);
        view.setCurrentIndex(index);
        view.edit(index);
        QLineEdit* editor = openEditor(view);
        if (!editor) {
            ADD_FAILURE() << "no editor for " << path.toStdString();
            return;
        }
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        settle();
    };

    editTo("Bank/Welcome Letter.pdf", "Visa");
    ASSERT_TRUE(db_->item("Bank/Visa.pdf")) << "a file named like a folder beside it is fine";

    editTo("Bank/Visa", "Visa.pdf");
    QList<Callout*> shown;
    for (Callout* c : view.findChildren<Callout*>())
        if (c->isVisible())
            shown << c;
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.front()->message(), QStringLiteral("\"Visa.pdf\" is already in use."));
    EXPECT_TRUE(db_->item("Bank/Visa"));
    // Any key dismisses it, and the row is being edited again.
    QPointer<Callout> callout = shown.front();
    QTest::keyClick(callout, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(!callout || !callout->isVisible());
    EXPECT_TRUE(openEditor(view));
    EXPECT_EQ(view.currentIndex(), db_->index("Bank/Visa"));
}

} // namespace
