// The tag panel in a window: pressing its buttons narrows the offered tags and the folder's
// files while it is open, OK keeps the folder under the typed name, Cancel takes a new one
// away, and a database without tags says so instead of opening it.

#include "gui/guitest.h"

#include "mainwindow.h"
#include "smartfolders/buttonselectview.h"
#include "smartfolders/tagpanel.h"
#include "smartfolders/tagpanelcommands.h"
#include "widgets/callout.h"

#include "attributes/tagpanelmessages.h"
#include "attributes/tagpanelrules.h"
#include "attributes/tags.h"
#include "smartfolders/smartfolders.h"
#include "store/dboperation.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

QAction* menuRow(QMenuBar* bar, const QString& text)
{
    std::function<QAction*(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) -> QAction* {
        for (QAction* a : actions) {
            if (a->menu()) {
                if (QAction* found = walk(a->menu()->actions()))
                    return found;
            } else if (a->text() == text) {
                return a;
            }
        }
        return nullptr;
    };
    return walk(bar->actions());
}

class TagPanelWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(scratch_.file("Tags.fvdb")).ok());
        ASSERT_EQ(doc().recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        window_->resize(900, 600);
        window_->show();
    }
    void TearDown() override { window_->close(); }
    MyDocument& doc() { return window_->document(); }
    void import(const QString& name, const QStringList& tags, bool dated = true)
    {
        std::optional<QDateTime> march;
        if (dated)
            march = QDateTime(QDate(2024, 3, 31), QTime(0, 0));
        const QString path = doc().recordImport(name, QByteArray("x"), "Bank", -1, march, march).resultPath;
        ASSERT_FALSE(path.isEmpty());
        if (!tags.isEmpty()) {
            ASSERT_TRUE(setTags(doc(), path, tags));
        }
    }
    TagPanel* openNew()
    {
        QAction* row = menuRow(window_->menuBar(), tagpanelmsg::NewTagSmartFolder);
        EXPECT_TRUE(row);
        if (!row)
            return nullptr;
        window_->refreshActions();
        EXPECT_TRUE(row->isEnabled());
        row->trigger();
        settle();
        return window_->findChild<TagPanel*>();
    }
    // Lets the folder's load run its slices.
    void settle()
    {
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    void press(TagPanel* panel, const QString& title)
    {
        QPushButton* b = panel->buttons()->buttonFor(title);
        ASSERT_TRUE(b) << title.toStdString();
        QTest::mouseClick(b, Qt::LeftButton);
        settle();
    }
    QStringList members(const QString& folder)
    {
        QStringList out;
        if (const IndexItem* f = doc().tree().itemForPath(folder))
            for (const IndexItem* m : doc().smartFolders().members(*f))
                out << m->name();
        out.sort();
        return out;
    }

    test::Scratch scratch_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(TagPanelWindow, TogglesNarrowTheButtonsAndTheFolderThenOkKeepsIt)
{
    import("A.txt", {"rent", "tax"});
    import("B.txt", {"rent"});
    import("C.txt", {"fee"});
    TagPanel* panel = openNew();
    ASSERT_TRUE(panel);
    const QString folder = panel->session().folderPath();
    EXPECT_EQ(panel->buttons()->titles(), QStringList({"<March>", "<2024>", "fee", "rent", "tax"}));
    EXPECT_EQ(panel->nameField()->text(), "Files With Selected Tags and or Date");

    press(panel, "rent");
    EXPECT_EQ(panel->buttons()->titles(), QStringList({"rent", "<March>", "<2024>", "tax"}));
    EXPECT_EQ(panel->buttons()->selectedTitles(), QStringList({"rent"}));
    EXPECT_EQ(panel->nameField()->text(), "Files With rent");
    EXPECT_EQ(members(folder), QStringList({"A.txt", "B.txt"}));
    press(panel, "tax");
    EXPECT_EQ(members(folder), QStringList({"A.txt"}));
    EXPECT_EQ(panel->buttons()->titles().first(2), QStringList({"rent", "tax"})) << "selected first, in toggle order";

    // Buttons flow in rows inside the view.
    for (const QString& t : panel->buttons()->titles()) {
        const QRect r = panel->buttons()->buttonFor(t)->geometry();
        EXPECT_LE(r.right(), panel->buttons()->width()) << t.toStdString();
        EXPECT_EQ(r.height(), 20);
    }
    if (const QString dir = qEnvironmentVariable("FOLIVO_TEST_PICTURES"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        panel->grab().save(dir + "/tag-panel.png");
    }

    // A name that is taken is refused in the panel, which stays.
    panel->nameField()->clear();
    QTest::keyClicks(panel->nameField(), "Bank");
    panel->accept();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(panel->nameError()->isHidden());
    QTest::keyClicks(panel->nameField(), " Taxes");
    EXPECT_TRUE(panel->nameError()->isHidden()) << "typing hides the error";
    panel->accept();
    settle();
    EXPECT_EQ(window_->findChild<TagPanel*>(), nullptr);
    EXPECT_EQ(doc().tree().itemForPath(folder), nullptr);
    EXPECT_EQ(members("Bank Taxes"), QStringList({"A.txt"}));
    EXPECT_EQ(window_->selectedPaths(), QStringList({"Bank Taxes"}));
}

TEST_F(TagPanelWindow, CancelTakesANewFolderAway)
{
    import("A.txt", {"rent"});
    window_->selectPath("Bank");
    const std::size_t before = doc().tree().categoriesArray().size();
    TagPanel* panel = openNew();
    ASSERT_TRUE(panel);
    EXPECT_EQ(doc().tree().categoriesArray().size(), before + 1);
    press(panel, "rent");
    panel->reject();
    settle();
    EXPECT_EQ(doc().tree().categoriesArray().size(), before);
    EXPECT_EQ(window_->selectedPaths(), QStringList({"Bank"})) << "the selection before the panel";
}

TEST_F(TagPanelWindow, EditingATagFolderModifiesIt)
{
    import("A.txt", {"rent", "tax"});
    IndexItem* folder = doc().smartFolders().createTagFolder({"rent"}, "Rent");
    ASSERT_TRUE(folder);
    settle();
    ASSERT_TRUE(window_->selectPath("Rent"));
    window_->refreshActions();
    QAction* edit = menuRow(window_->menuBar(), tagpanelmsg::EditTagSmartFolder);
    ASSERT_TRUE(edit);
    edit->trigger();
    settle();
    TagPanel* panel = window_->findChild<TagPanel*>();
    ASSERT_TRUE(panel);
    EXPECT_FALSE(panel->session().isNew());
    EXPECT_EQ(panel->session().message(), tagpanelmsg::ModifyMessage);
    EXPECT_EQ(panel->buttons()->selectedTitles(), QStringList({"rent"}));
    panel->reject();
    settle();
    EXPECT_TRUE(doc().tree().itemForPath("Rent")) << "Cancel keeps an existing folder";
}

TEST_F(TagPanelWindow, NothingToSelectIsSaidBesideTheBrowser)
{
    import("A.txt", {}, false); // no tags, and no ending date to give date tags
    const std::size_t before = doc().tree().categoriesArray().size();
    EXPECT_EQ(openNew(), nullptr);
    Callout* callout = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<Callout*>(w); c && c->isVisible())
            callout = c;
    if (!callout)
        callout = window_->findChild<Callout*>();
    ASSERT_TRUE(callout);
    EXPECT_EQ(callout->message(), tagpanelmsg::NothingToSelect);
    EXPECT_EQ(doc().tree().categoriesArray().size(), before);
}

} // namespace
