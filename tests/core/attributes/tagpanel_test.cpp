// The panel that makes and edits tag smart folders: the names it proposes, where its
// buttons go, and what OK and Cancel leave in the database for new and existing folders.

#include "attributes/tagpanelmessages.h"
#include "attributes/tagpanelrules.h"
#include "attributes/tags.h"
#include "find/documentmatch.h"
#include "find/messages.h"
#include "smartfolders/smartfolders.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

TEST(TagPanelNames, CutAtACharacterBoundary)
{
    const QString e = QString::fromUtf8("\xc3\xa9");               // é, 2 bytes
    const QString combined = QString::fromUtf8("e\xcc\x81");       // e and a combining accent, 3 bytes
    const QString face = QString::fromUtf8("\xf0\x9f\x98\x80");    // a surrogate pair, 4 bytes
    struct Case {
        const char* what;
        QString text;
        int max;
        QString expected;
    };
    const Case cases[] = {
        {"fits", "abc", 3, "abc"},
        {"ASCII cut", "abcdef", 4, "abcd"},
        {"two-byte letter not split", "a" + e + e, 4, "a" + e},
        {"accent stays with its letter", "ab" + combined, 4, "ab"},
        {"surrogate pair not split", "a" + face, 4, "a"},
        {"nothing fits", face, 3, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cutToUtf8Bytes(c.text, c.max), c.expected) << c.what;
}

class TagPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        ASSERT_EQ(doc_.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
    }
    QString import(const QString& name, const QStringList& tags, std::optional<QDateTime> end = {})
    {
        const QString path = doc_.recordImport(name, QByteArray("x"), "Bank", -1, {}, end).resultPath;
        EXPECT_FALSE(path.isEmpty()) << name.toStdString();
        EXPECT_TRUE(tags.isEmpty() || setTags(doc_, path, tags));
        return path;
    }
    IndexItem* createTagFolder(const QStringList& titles, const QString& name)
    {
        return doc_.smartFolders().createTagFolder(titles, name);
    }
    // The files the folder holds once loaded, by name, in name order.
    QStringList members(const QString& folder)
    {
        IndexItem* item = doc_.tree().itemForPath(folder);
        EXPECT_TRUE(item);
        if (!item)
            return {};
        DocumentMatchContext context(doc_, false);
        EXPECT_TRUE(doc_.smartFolders().loadToCompletion(*item, context));
        QStringList out;
        for (const IndexItem* m : doc_.smartFolders().members(*item))
            out << m->name();
        out.sort();
        return out;
    }
    QStringList topLevel() const
    {
        QStringList out;
        for (const auto& i : doc_.tree().categoriesArray())
            out << i->path();
        return out;
    }
    bool attributesFileExists(const QString& path) const
    {
        return QFileInfo::exists(db_ + "/" + MyDocument::attributesPathForPath(path));
    }
    static QDateTime day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }

    Scratch scratch_;
    QString db_ = scratch_.file("Panel.fvdb");
    FakeUi ui_;
    MyDocument doc_{ui_};
};

TEST_F(TagPanel, ProposedNamesFitThePackage)
{
    createTagFolder({}, "Files With rent");
    const QString slashTag = "rent/2024";
    const QString longTag(300, u'x');
    const QString longWide = QString(150, QChar(0x00e9)); // 300 bytes of é
    struct Case {
        const char* what;
        QStringList titles;
        QString expected; // empty: only check that it is a valid name
    };
    const Case cases[] = {
        {"none selected", {}, "Files With Selected Tags and or Date"},
        {"joined by spaces", {"<March>", "tax"}, "Files With <March> tax"},
        {"taken name gets a number", {"rent"}, "Files With rent2"},
        {"slash replaced", {slashTag}, "Files With rent-2024"},
        {"line break replaced", {"a\nb"}, "Files With a b"},
        {"300-byte tag", {longTag}, {}},
        {"300 bytes of two-byte letters", {longWide}, {}},
    };
    for (const Case& c : cases) {
        const QString name = proposedTagFolderName(c.titles, doc_.tree());
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(name, c.expected) << c.what;
        }
        EXPECT_EQ(checkName(name), NameProblem::None) << c.what;
        EXPECT_LE(name.toUtf8().size(), MaxNameBytes) << c.what;
        EXPECT_TRUE(name.startsWith("Files With ")) << c.what;
    }
    // A long name that is taken still gets its number inside the limit.
    const QString first = proposedTagFolderName({longTag}, doc_.tree());
    createTagFolder({}, first);
    const QString second = proposedTagFolderName({longTag}, doc_.tree());
    EXPECT_TRUE(second.endsWith("2"));
    EXPECT_LE(second.toUtf8().size(), MaxNameBytes);
    EXPECT_EQ(checkName(second), NameProblem::None);
    // The folder being named may keep its own name.
    EXPECT_EQ(proposedTagFolderName({"rent"}, doc_.tree(), "Files With rent"), "Files With rent");
}

TEST(TagPanelButtons, SelectedFirstThenFlowAndWrap)
{
    EXPECT_EQ(buttonTitleOrder({"tax", "<2024>"}, {"<March>", "<2024>", "rent", "tax"}),
              QStringList({"tax", "<2024>", "<March>", "rent"}));
    EXPECT_EQ(buttonTitleOrder({"gone"}, {"rent"}), QStringList({"gone", "rent"}));

    // Buttons of 50 + 14 = 64 wide, 4 apart, in a view of 200: the third would end at
    // 4 + 3 * 68 - 4 = 204 > 180, so it starts the next row 22 lower.
    const SelectButtonLayout l = layoutSelectButtons({50, 50, 50, 300, 10}, 200);
    ASSERT_EQ(l.frames.size(), 5);
    EXPECT_EQ(l.frames[0], QRect(4, 0, 64, 20));
    EXPECT_EQ(l.frames[1], QRect(72, 0, 64, 20));
    EXPECT_EQ(l.frames[2], QRect(4, 22, 64, 20));
    EXPECT_EQ(l.frames[3], QRect(4, 44, 314, 20)) << "too wide for any row: a row of its own";
    EXPECT_EQ(l.frames[4], QRect(4, 66, 24, 20));
    EXPECT_EQ(l.height, 88);
    EXPECT_EQ(layoutSelectButtons({}, 200).height, 22);
}

TEST_F(TagPanel, NothingToSelectMakesNoFolder)
{
    import("Plain.txt", {});
    const QStringList before = topLevel();
    QString problem;
    EXPECT_EQ(TagPanelSession::openNew(doc_, &problem), nullptr);
    EXPECT_EQ(problem, tagpanelmsg::NothingToSelect);
    EXPECT_EQ(topLevel(), before);
}

// A new folder: toggles propose names and narrow the offer, typing keeps the typed name,
// OK records the rename and puts the folder at the end.
TEST_F(TagPanel, NewFolderFollowsTheTogglesAndOkRenamesIt)
{
    import("A.txt", {"rent", "tax"}, day(2024, 3, 5));
    import("B.txt", {"rent"});
    import("C.txt", {"fee"});
    QString problem;
    auto panel = TagPanelSession::openNew(doc_, &problem);
    ASSERT_TRUE(panel) << problem.toStdString();
    const QString first = "Files With Selected Tags and or Date";
    EXPECT_TRUE(panel->isNew());
    EXPECT_EQ(panel->message(), tagpanelmsg::CreateMessage);
    EXPECT_EQ(panel->folderPath(), first);
    EXPECT_EQ(panel->nameField(), first);
    EXPECT_EQ(topLevel().first(), first) << "a new folder starts at the top";
    EXPECT_TRUE(attributesFileExists(first));
    EXPECT_EQ(panel->titles(), QStringList({"<March>", "<2024>", "fee", "rent", "tax"}));

    panel->toggle("rent");
    EXPECT_EQ(panel->nameField(), "Files With rent");
    EXPECT_EQ(panel->titles(), QStringList({"rent", "<March>", "<2024>", "tax"})) << "fee never goes with rent";
    EXPECT_EQ(tagFolderTitles(*doc_.tree().itemForPath(first)), QStringList({"rent"}));
    EXPECT_EQ(members(first), QStringList({"A.txt", "B.txt"})) << "the folder follows the selection";
    panel->toggle("<2024>");
    EXPECT_EQ(members(first), QStringList({"A.txt"}));
    EXPECT_EQ(panel->nameField(), "Files With rent <2024>");
    EXPECT_EQ(panel->titles(), QStringList({"rent", "<2024>", "<March>", "tax"}));
    panel->toggle("rent");
    panel->toggle("<2024>");
    EXPECT_EQ(panel->nameField(), first) << "back to the selection at open: the name at open";

    panel->toggle("tax");
    panel->nameTyped("Taxes");
    EXPECT_TRUE(panel->userSetName());
    panel->toggle("rent");
    EXPECT_EQ(panel->nameField(), "Taxes") << "a typed name stays";
    ASSERT_TRUE(panel->ok());
    EXPECT_EQ(panel->folderPath(), "Taxes");
    EXPECT_EQ(doc_.tree().itemForPath(first), nullptr);
    EXPECT_FALSE(attributesFileExists(first));
    const IndexItem* folder = doc_.tree().itemForPath("Taxes");
    ASSERT_TRUE(folder);
    EXPECT_EQ(tagFolderTitles(*folder), QStringList({"tax", "rent"}));
    EXPECT_TRUE(folder->flag(keys::UserSetName));
    EXPECT_EQ(topLevel().last(), "Taxes") << "not kept sorted: moved to the end";

    doc_.rebuildIndex();
    folder = doc_.tree().itemForPath("Taxes");
    ASSERT_TRUE(folder) << "kept through its attributes file";
    EXPECT_EQ(tagFolderTitles(*folder), QStringList({"tax", "rent"}));
    EXPECT_TRUE(folder->flag(keys::UserSetName));
}

TEST_F(TagPanel, OkRefusesABadNameAndKeepsRunning)
{
    import("A.txt", {"rent"});
    createTagFolder({"rent"}, "Files With rent");
    auto panel = TagPanelSession::openNew(doc_, nullptr);
    ASSERT_TRUE(panel);
    panel->toggle("rent");
    EXPECT_EQ(panel->nameField(), "Files With rent2");
    struct Case {
        QString typed, error;
    };
    const Case cases[] = {
        {"", findmsg::MissingSmartFolderName},
        {"a/b", findmsg::BadSmartFolderName},
        {".hidden", findmsg::BadSmartFolderName},
        {"Bank", findmsg::NameInUse},
        {"Files With rent", findmsg::NameInUse},
        {QString(300, u'x'), nameProblemMessage(NameProblem::TooLong)},
    };
    for (const Case& c : cases) {
        panel->nameTyped(c.typed);
        EXPECT_FALSE(panel->ok()) << c.typed.toStdString();
        EXPECT_EQ(panel->nameError(), c.error) << c.typed.toStdString();
        EXPECT_FALSE(panel->finished());
    }
    panel->nameTyped("Rent");
    EXPECT_TRUE(panel->nameError().isEmpty()) << "typing hides the error";
    EXPECT_TRUE(panel->ok());
    EXPECT_TRUE(doc_.tree().itemForPath("Rent"));
}

TEST_F(TagPanel, CancelDeletesANewFolder)
{
    import("A.txt", {"rent"});
    const QStringList before = topLevel();
    auto panel = TagPanelSession::openNew(doc_, nullptr);
    ASSERT_TRUE(panel);
    const QString path = panel->folderPath();
    panel->toggle("rent");
    panel->cancel();
    EXPECT_EQ(topLevel(), before);
    EXPECT_FALSE(attributesFileExists(path));
    doc_.rebuildIndex();
    EXPECT_EQ(topLevel(), before);
}

// An existing folder keeps its name until OK, and Cancel gives back its list and naming.
TEST_F(TagPanel, ExistingFolderEditedThenCancelledOrAccepted)
{
    import("A.txt", {"rent", "tax"});
    import("B.txt", {"rent", "fee"});
    createTagFolder({"rent"}, "My Rent");
    for (const bool accept : {false, true}) {
        QString problem;
        auto panel = TagPanelSession::openExisting(doc_, "My Rent", &problem);
        ASSERT_TRUE(panel) << problem.toStdString();
        EXPECT_FALSE(panel->isNew());
        EXPECT_EQ(panel->message(), tagpanelmsg::ModifyMessage);
        EXPECT_EQ(panel->selected(), QStringList({"rent"}));
        EXPECT_EQ(panel->titles(), QStringList({"rent", "fee", "tax"}));
        panel->toggle("tax");
        EXPECT_EQ(panel->nameField(), "Files With rent tax");
        EXPECT_EQ(panel->titles(), QStringList({"rent", "tax"}));
        panel->toggle("tax");
        EXPECT_EQ(panel->nameField(), "My Rent") << "the original selection: the edited name";
        panel->toggle("fee");
        EXPECT_EQ(doc_.tree().itemForPath("My Rent")->path(), "My Rent") << "no rename before OK";
        if (!accept) {
            panel->nameTyped("Other");
            panel->cancel();
            const IndexItem* folder = doc_.tree().itemForPath("My Rent");
            ASSERT_TRUE(folder);
            EXPECT_EQ(tagFolderTitles(*folder), QStringList({"rent"}));
            EXPECT_FALSE(folder->flag(keys::UserSetName)) << "the typing was cancelled too";
            EXPECT_EQ(doc_.tree().itemForPath("Other"), nullptr);
        } else {
            ASSERT_TRUE(panel->ok());
            EXPECT_EQ(doc_.tree().itemForPath("My Rent"), nullptr);
            const IndexItem* folder = doc_.tree().itemForPath("Files With rent fee");
            ASSERT_TRUE(folder);
            EXPECT_EQ(tagFolderTitles(*folder), QStringList({"rent", "fee"}));
        }
    }
    // A selected title no file carries any more stays on offer, so it can be taken back.
    createTagFolder({"gone", "rent"}, "Old");
    auto panel = TagPanelSession::openExisting(doc_, "Old", nullptr);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->titles(), QStringList({"gone", "rent"}));
    panel->toggle("gone");
    EXPECT_EQ(panel->titles(), QStringList({"rent", "fee", "tax"}));
}

TEST_F(TagPanel, AFolderThatWentMeanwhileIsLeftAlone)
{
    import("A.txt", {"rent"});
    QString problem;
    EXPECT_EQ(TagPanelSession::openExisting(doc_, "Bank", &problem), nullptr) << "no tag smart folder";
    EXPECT_EQ(problem, tagpanelmsg::FolderGone);
    createTagFolder({"rent"}, "Mine");
    auto panel = TagPanelSession::openExisting(doc_, "Mine", nullptr);
    ASSERT_TRUE(panel);
    ASSERT_TRUE(doc_.recordDelete("Mine").ok());
    panel->toggle("rent");
    EXPECT_FALSE(panel->ok());
    EXPECT_EQ(panel->nameError(), tagpanelmsg::FolderGone);
    panel->cancel();
    EXPECT_EQ(doc_.tree().itemForPath("Mine"), nullptr);
}

} // namespace
