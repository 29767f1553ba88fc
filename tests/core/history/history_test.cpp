// The browser's back/forward history: adding and its repeats, navigation over entries whose
// items are gone, items leaving the tree, deletions, and the stored ".history" of plain and
// encrypted databases.

#include "crypto/cipher.h"
#include "history/history.h"
#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/fs.h"

#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ScopedEnv;
using folivo::test::Fixtures;
using folivo::test::readAll;
using folivo::test::writeAll;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(", ").toStdString() << ']';
}
QT_END_NAMESPACE

namespace {

std::unique_ptr<IndexItem> file(const QString& path)
{
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, false);
}
std::unique_ptr<IndexItem> folder(const QString& path)
{
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, true);
}

// What the window was asked to show, one line per request ("a, b | message"), and the
// buttons' last state.
struct RecordingView : HistoryView {
    QStringList shown;
    bool back = false, forward = false;
    std::function<void(const std::vector<IndexItem*>&)> onShow; // the window's selection change

    void showItems(const std::vector<IndexItem*>& items, const QString& message) override
    {
        QStringList paths;
        for (const IndexItem* i : items)
            paths << i->path();
        shown << paths.join(", ") + (message.isEmpty() ? QString() : " | " + message);
        if (onShow)
            onShow(items);
    }
    void backForwardChanged(bool canGoBack, bool canGoForward) override
    {
        back = canGoBack;
        forward = canGoForward;
    }
};

// Each entry as its paths, groups as "[a, b] description", the current one marked "*".
QStringList describe(const History& h)
{
    QStringList out;
    for (int i = 0; i < h.count(); ++i) {
        const History::Entry& e = h.entries()[std::size_t(i)];
        QStringList paths;
        for (const auto& m : e.members)
            paths << m.currentPath();
        QString line = e.isGroup() ? "[" + paths.join(", ") + "] " + *e.description : paths.join(", ");
        if (i == h.historyIndex() - 1)
            line += " *";
        out << line;
    }
    return out;
}

ino_t inode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

plist::Value stored(plist::Array list, plist::Value index)
{
    return plist::Dict{{History::ArrayKey, std::move(list)}, {History::IndexKey, std::move(index)}};
}
plist::Value group(const QString& description, plist::Array items)
{
    return plist::Dict{{History::GroupDescriptionKey, description}, {History::GroupItemsKey, std::move(items)}};
}

// A tree of A, B, C, D and a folder F holding x and y, with a history watching it.
class HistoryTest : public ::testing::Test {
public: // the table of cases below works on the fixture through its steps
    HistoryTest()
    {
        for (const char* p : {"A", "B", "C", "D"})
            tree.insert(nullptr, file(p));
        IndexItem* f = tree.insert(nullptr, folder("F"));
        tree.insert(f, file("F/x"));
        tree.insert(f, file("F/y"));
        history.setView(&view);
    }
    IndexItem* at(const QString& path) { return tree.itemForPath(path); }
    void select(std::initializer_list<const char*> paths)
    {
        for (const char* p : paths)
            history.addItem(at(p));
    }

    IndexTree tree;
    History history{tree};
    RecordingView view;
};

TEST_F(HistoryTest, SelectingAfterGoingBackDiscardsTheForwardEntries)
{
    select({"A", "B", "C"});
    EXPECT_TRUE(view.back);
    EXPECT_FALSE(view.forward);
    history.back();
    history.back();
    EXPECT_EQ(view.shown, (QStringList{"B", "A"}));
    EXPECT_FALSE(view.back);
    EXPECT_TRUE(view.forward);
    select({"D"});
    EXPECT_EQ(describe(history), (QStringList{"A", "D *"}));
    EXPECT_TRUE(view.back);
    EXPECT_FALSE(view.forward);

    // Back and Forward walk the list without changing it.
    history.back();
    history.forward();
    EXPECT_EQ(view.shown.mid(2), (QStringList{"A", "D"}));
    EXPECT_EQ(describe(history), (QStringList{"A", "D *"}));
}

TEST_F(HistoryTest, RepeatsOfTheLastEntryAreNotAdded)
{
    struct Case {
        const char* name;
        std::function<void(HistoryTest&)> steps;
        QStringList expected;
    };
    const auto items = [](HistoryTest& t, std::initializer_list<const char*> paths) {
        std::vector<IndexItem*> out;
        for (const char* p : paths)
            out.push_back(t.at(p));
        return out;
    };
    const QString multi = History::MultipleSelectionDescription;
    const QString deleted = History::DeletedDescription;
    const Case cases[] = {
        {"same item twice", [](HistoryTest& t) { t.select({"A", "A"}); }, {"A *"}},
        {"equal groups",
         [&](HistoryTest& t) {
             t.history.addItems(items(t, {"A", "B"}), multi);
             t.history.addItems(items(t, {"A", "B"}), "Found Files");
         },
         {"[A, B] " + multi + " *"}},
        {"groups in another order",
         [&](HistoryTest& t) {
             t.history.addItems(items(t, {"A", "B"}), multi);
             t.history.addItems(items(t, {"B", "A"}), multi);
         },
         {"[A, B] " + multi, "[B, A] " + multi + " *"}},
        {"an item and a group of it",
         [&](HistoryTest& t) {
             t.select({"A"});
             t.history.addItems(items(t, {"A"}), multi);
         },
         {"A", "[A] " + multi + " *"}},
        {"an item, another, the first",
         [](HistoryTest& t) { t.select({"A", "B", "A"}); },
         {"A", "B", "A *"}},
        {"two deletions",
         [](HistoryTest& t) {
             t.select({"A"});
             t.history.deleteItem(*t.at("B"));
             t.history.deleteItem(*t.at("C"));
         },
         {"A", "[] " + deleted + " *"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        history.clear();
        c.steps(*this);
        EXPECT_EQ(describe(history), c.expected);
    }
}

TEST_F(HistoryTest, ShowingAnEntryNeverAddsOne)
{
    // The window's selection change adds what is selected, as it does for the person.
    view.onShow = [this](const std::vector<IndexItem*>& items) {
        if (items.size() == 1)
            history.addItem(items[0]);
        else
            history.addItems(items, History::MultipleSelectionDescription);
    };
    select({"A"});
    history.addItems({at("B"), at("C")}, "Found Files");
    select({"D"});
    const QStringList before = describe(history);
    history.back();
    history.back();
    history.forward();
    history.selectIndex(2);
    EXPECT_EQ(view.shown, (QStringList{"B, C | Found Files", "A", "B, C | Found Files", "D"}));
    EXPECT_EQ(describe(history), before);

    // A programmatic selection is kept out once, and only once.
    history.doNotAddNextTimeCalled();
    select({"A", "B"});
    EXPECT_EQ(describe(history), (QStringList{"A", "[B, C] Found Files", "D", "B *"}));
}

TEST_F(HistoryTest, NavigationStepsOverEntriesThatNoLongerLeadAnywhere)
{
    // Stored paths that were deleted since sit at both ends and in the middle.
    ASSERT_TRUE(history.restore(stored({"Gone0", "A", group("G", {"Gone1"}), "B", "Gone2"}, 4)));
    EXPECT_EQ(history.historyIndex(), 4);
    history.back(); // over the dead group to A
    EXPECT_EQ(view.shown, (QStringList{"A"}));
    EXPECT_EQ(describe(history), (QStringList{"Gone0", "A *", "B", "Gone2"}));
    history.back(); // nothing older lives: A stays
    EXPECT_EQ(view.shown.last(), "A");
    EXPECT_EQ(describe(history), (QStringList{"A *", "B", "Gone2"}));
    EXPECT_FALSE(view.back);
    history.forward();
    history.forward(); // the last entry is dead: B stays, and the list ends there
    EXPECT_EQ(view.shown.mid(1), (QStringList{"A", "B", "B"}));
    EXPECT_EQ(describe(history), (QStringList{"A", "B *"}));
    EXPECT_TRUE(view.back);
    EXPECT_FALSE(view.forward);

    // Forward over dead entries lands on the next live one and makes it current.
    ASSERT_TRUE(history.restore(stored({"A", "Gone1", "Gone2", "C", "Gone3"}, 1)));
    history.forward();
    EXPECT_EQ(view.shown.last(), "C");
    EXPECT_EQ(describe(history), (QStringList{"A", "C *", "Gone3"}));

    // Nothing at all resolves: the history empties and nothing is shown.
    view.shown.clear();
    ASSERT_TRUE(history.restore(stored({"Gone1", "Gone2", "Gone3"}, 2)));
    history.showCurrent();
    EXPECT_TRUE(view.shown.isEmpty());
    EXPECT_EQ(history.count(), 0);
    EXPECT_EQ(history.historyIndex(), 0);
    EXPECT_FALSE(view.back);
    EXPECT_FALSE(view.forward);
}

TEST_F(HistoryTest, GroupsLoseOnlyTheirVanishedMembers)
{
    ASSERT_TRUE(history.restore(stored({group("Found", {"A", "Gone", "C"}), "B"}, 2)));
    history.back();
    EXPECT_EQ(view.shown, (QStringList{"A, C | Found"}));
    EXPECT_EQ(describe(history), (QStringList{"[A, C] Found *", "B"}));
}

TEST_F(HistoryTest, ItemsLeavingTheTreeAreKeptByPathAndNeverTouched)
{
    select({"A", "F/x"});
    history.addItems({at("F/y"), at("B")}, "Found");
    // The items go and are freed; ASan reports any later use of them.
    tree.take(at("F"));
    EXPECT_EQ(describe(history), (QStringList{"A", "F/x", "[F/y, B] Found *"}));
    const plist::Value archived = history.archiveValue(true);
    EXPECT_EQ(archived, stored({"A", "F/x", group("Found", {"F/y", "B"})}, 3));

    history.back(); // F/x is gone: A
    EXPECT_EQ(view.shown, (QStringList{"A"}));
    history.forward(); // the group keeps B
    EXPECT_EQ(view.shown.last(), "B | Found");

    // A new item at a remembered path is found again.
    tree.insert(tree.insert(nullptr, folder("F")), file("F/x"));
    ASSERT_TRUE(history.restore(stored({"F/x", "C"}, 2)));
    history.back();
    EXPECT_EQ(view.shown.last(), "F/x");
    EXPECT_EQ(history.entries()[0].members[0].item, at("F/x"));
}

TEST_F(HistoryTest, AWholeTreeResetTurnsEveryItemIntoItsPath)
{
    select({"A", "F/y"});
    ItemList fresh;
    fresh.push_back(file("A"));
    fresh.push_back(folder("F"));
    IndexTree::adoptChildren(fresh.back().get(), [] {
        ItemList c;
        c.push_back(file("F/y"));
        return c;
    }());
    tree.reset(std::move(fresh));
    EXPECT_EQ(describe(history), (QStringList{"A", "F/y *"}));
    history.back();
    history.forward();
    EXPECT_EQ(view.shown, (QStringList{"A", "F/y"}));
    EXPECT_EQ(history.entries()[1].members[0].item, at("F/y"));
}

TEST_F(HistoryTest, RenamedItemsAndRememberedPathsFollowTheRename)
{
    select({"A"});
    ASSERT_TRUE(history.restore(stored({"A", group("G", {"B", "C"})}, 2)));
    select({"D"}); // a held item
    tree.setPath(at("B"), "B2");
    tree.setPath(at("D"), "D2");
    EXPECT_EQ(describe(history), (QStringList{"A", "[B2, C] G", "D2 *"}));
    history.back();
    EXPECT_EQ(view.shown, (QStringList{"B2, C | G"}));
}

TEST_F(HistoryTest, DeletingRemovesTheItemAndItsDescendantsEverywhere)
{
    // Remembered paths go as well as held items; the deletion becomes current.
    history.restore(stored({"F/x", "C", group("Paths", {"F/y", "D"}), "F", group("All F", {"F/x"})}, 2));
    history.deleteItem(*at("F"));
    EXPECT_EQ(describe(history), (QStringList{"C", "[D] Paths", "[] " + History::DeletedDescription + " *"}));
    EXPECT_TRUE(view.back);
    EXPECT_FALSE(view.forward);

    history.clear();
    select({"F/x", "A"});
    history.addItems({at("A"), at("F/y")}, "Mixed");
    history.addItems({at("F/x"), at("F/y")}, "Only F");
    history.addItems({}, "Nothing found"); // recorded empty: stays
    history.back();
    history.back(); // the current entry is in the middle
    history.deleteItem(*at("F"));
    EXPECT_EQ(describe(history), (QStringList{"A", "[A] Mixed", "[] Nothing found *"}));
}

TEST_F(HistoryTest, TheHistoryKeepsItsNewestThousandEntries)
{
    // A select all over many matches adds an entry for each: the oldest go, so that the
    // stored history stays small.
    for (int i = 0; i < 10; ++i)
        tree.insert(nullptr, file(QString("N%1").arg(i)));
    for (int round = 0; round < 120; ++round)
        for (int i = 0; i < 10; ++i)
            history.addItem(at(QString("N%1").arg(i)));
    ASSERT_EQ(history.count(), History::MaxEntries);
    EXPECT_EQ(history.historyIndex(), History::MaxEntries);
    EXPECT_EQ(history.entries().front().members[0].currentPath(), "N0"); // 1200 added, 200 dropped
    EXPECT_EQ(history.entries().back().members[0].currentPath(), "N9");
    EXPECT_TRUE(view.back);
    EXPECT_FALSE(view.forward);

    // A longer stored history keeps its newest entries; a current entry among the dropped
    // ones gives the oldest kept one.
    plist::Array many;
    for (int i = 0; i < History::MaxEntries + 5; ++i)
        many.push_back(QString("N%1").arg(i % 10));
    ASSERT_TRUE(history.restore(stored(many, History::MaxEntries + 3)));
    EXPECT_EQ(history.count(), History::MaxEntries);
    EXPECT_EQ(history.historyIndex(), History::MaxEntries - 2);
    EXPECT_EQ(history.entries().front().members[0].currentPath(), "N5");
    ASSERT_TRUE(history.restore(stored(many, 2)));
    EXPECT_EQ(history.historyIndex(), 1);
    EXPECT_EQ(history.archiveValue(true).dict().find(History::ArrayKey)->array().size(),
              std::size_t(History::MaxEntries));
}

TEST_F(HistoryTest, StoredHistoriesReadBackAndDamageGivesAnEmptyOne)
{
    select({"A", "B"});
    history.addItems({at("C"), at("F/x")}, "Found");
    history.back();
    const plist::Value archived = history.archiveValue(true);
    EXPECT_EQ(archived, stored({"A", "B", group("Found", {"C", "F/x"})}, 2));
    EXPECT_EQ(history.archiveValue(false), stored({}, 0));
    // Through the archive codec and back.
    const auto decoded = plist::decodeKeyedArchive(plist::encodeKeyedArchive(archived));
    ASSERT_TRUE(history.restore(decoded));
    EXPECT_EQ(describe(history), (QStringList{"A", "B *", "[C, F/x] Found"}));

    struct Case {
        const char* name;
        std::optional<plist::Value> stored;
        bool ok;
        QStringList expected;
    };
    const plist::Array three = {"A", "B", "C"};
    const Case cases[] = {
        {"no file", std::nullopt, false, {}},
        {"not a dictionary", plist::Value(plist::Array{"A"}), false, {}},
        {"no list", plist::Dict{{History::IndexKey, 1}}, false, {}},
        {"list of the wrong type", plist::Value(plist::Dict{{History::ArrayKey, "A"}}), false, {}},
        {"empty list", stored({}, 5), true, {}},
        {"index zero", stored(three, 0), true, {"A *", "B", "C"}},
        {"index negative", stored(three, -7), true, {"A *", "B", "C"}},
        {"index past the end", stored(three, 99), true, {"A", "B", "C *"}},
        {"index huge unsigned", stored(three, plist::UnsignedInt{~0ull}), true, {"A", "B", "C *"}},
        {"index a real", stored(three, 2.0), true, {"A", "B *", "C"}},
        {"index a string", stored(three, "2"), true, {"A *", "B", "C"}},
        {"index missing", plist::Dict{{History::ArrayKey, three}}, true, {"A *", "B", "C"}},
        // Unreadable entries are left out; the current entry stays current.
        {"odd entries",
         stored({42, "A", plist::Dict{}, group("G", {7}), plist::Dict{{History::GroupDescriptionKey, 3}, {History::GroupItemsKey, plist::Array{"B"}}},
                 plist::Dict{{keys::Path, "B"}}, group("Empty", {}), "", "C"},
                6),
         true, {"A", "B *", "[] Empty", "C"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        select({"D"}); // something to replace
        EXPECT_EQ(history.restore(c.stored), c.ok);
        EXPECT_EQ(describe(history), c.expected);
        EXPECT_EQ(view.back, history.historyIndex() >= 2);
        EXPECT_EQ(view.forward, history.historyIndex() < history.count());
    }
}

// ---------------------------------------------------------------------------------------
// The history of an open database

class DocumentHistory : public Fixtures {
protected:
    DocumentHistory() : config_("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit()) {}

    MyDocument& open(const QString& pkg, bool restore, const QString& password = {})
    {
        prefs_.setBool(restore, prefkeys::HistoryRestore);
        if (!password.isEmpty())
            ui_.passwords = {password};
        doc_ = std::make_unique<MyDocument>(ui_);
        doc_->setApplicationPreferences(&prefs_);
        const OpenResult r = doc_->openDatabase(pkg);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        doc_->history().setView(&view_);
        return *doc_;
    }
    void select(std::initializer_list<const char*> paths)
    {
        for (const char* p : paths) {
            IndexItem* item = doc_->tree().itemForPath(p);
            ASSERT_TRUE(item) << p;
            doc_->history().addItem(item);
        }
    }
    static std::optional<plist::Value> storedIn(const QString& pkg)
    {
        return plist::readKeyedArchiveFile(pkg + "/" + pkg::History);
    }

    ScopedEnv config_;
    KTPrefs prefs_{QStringLiteral("org.folivo.historytest")};
    RecordingView view_;
    std::unique_ptr<MyDocument> doc_;
};

TEST_F(DocumentHistory, ReopeningShowsTheCurrentEntryOnlyWithThePreferenceOn)
{
    const QString pkg = copyOf("Household.fvdb");
    MyDocument& doc = open(pkg, true);
    select({"Unfiled/Note.txt", "Bank/Visa", "Bank/Welcome Letter.pdf"});
    doc.history().back();
    doc.closeDatabase();
    EXPECT_EQ(storedIn(pkg), stored({"Unfiled/Note.txt", "Bank/Visa", "Bank/Welcome Letter.pdf"}, 2));
    const ino_t written = inode(pkg + "/" + pkg::History);

    // Opening selects nothing: the window shows the current entry once attached.
    view_.shown.clear();
    MyDocument& again = open(pkg, true);
    EXPECT_TRUE(view_.shown.isEmpty());
    again.history().showCurrent();
    EXPECT_EQ(view_.shown, (QStringList{"Bank/Visa"}));
    EXPECT_TRUE(view_.back);
    EXPECT_TRUE(view_.forward);
    again.closeDatabase();
    EXPECT_EQ(inode(pkg + "/" + pkg::History), written); // unchanged, so not written again

    // With the preference off the file is emptied at the next save and nothing is shown.
    MyDocument& off = open(pkg, false);
    EXPECT_EQ(off.history().count(), 0);
    EXPECT_FALSE(view_.back);
    EXPECT_FALSE(view_.forward);
    off.closeDatabase();
    EXPECT_EQ(storedIn(pkg), stored({}, 0));
    prefs_.setBool(true, prefkeys::HistoryRestore);
    MyDocument& on = open(pkg, true);
    EXPECT_EQ(on.history().count(), 0);
}

TEST_F(DocumentHistory, ASaveWithThePreferenceOffKeepsTheSessionsHistory)
{
    const QString pkg = copyOf("Household.fvdb");
    ASSERT_TRUE(writeAll(pkg + "/" + pkg::History, plist::encodeKeyedArchive(stored({"Bank"}, 1))));
    MyDocument& doc = open(pkg, false);
    EXPECT_EQ(doc.history().count(), 0);
    select({"Unfiled/Note.txt", "Bank/Visa"});
    doc.changed();
    const SaveOutcome saved = doc.saveChanges(true); // the 60-second timer
    ASSERT_TRUE(saved.saved);
    EXPECT_EQ(storedIn(pkg), stored({}, 0));
    EXPECT_EQ(doc.history().count(), 2);
    doc.history().back();
    EXPECT_EQ(view_.shown, (QStringList{"Unfiled/Note.txt"}));
}

TEST_F(DocumentHistory, AnEntryWhoseItemWasDeletedSinceIsSkipped)
{
    const QString pkg = copyOf("Household.fvdb");
    MyDocument& doc = open(pkg, true);
    select({"Unfiled/Note.txt", "Bank/Welcome Letter.pdf", "Bank/Visa"});
    doc.closeDatabase();

    MyDocument& again = open(pkg, true);
    ASSERT_TRUE(again.recordDelete("Bank/Welcome Letter.pdf").ok());
    again.history().back();
    EXPECT_EQ(view_.shown, (QStringList{"Unfiled/Note.txt"}));
    EXPECT_FALSE(view_.back);
    // A folder deleted through the history takes its remembered descendants with it.
    again.history().forward();
    again.history().deleteItem(*again.tree().itemForPath("Bank"));
    EXPECT_EQ(describe(again.history()), (QStringList{"Unfiled/Note.txt", "[] " + History::DeletedDescription + " *"}));
}

TEST_F(DocumentHistory, DamagedOrUnwritableHistoryCostsNothingElse)
{
    const QString pkg = copyOf("Household.fvdb");
    ASSERT_TRUE(writeAll(pkg + "/" + pkg::History, "bplist00 not really"));
    MyDocument& doc = open(pkg, true);
    EXPECT_EQ(doc.history().count(), 0);
    select({"Bank"});

    // A history that cannot be written does not fail the save, and the index still goes.
    ASSERT_TRUE(fs::removeFile(pkg + "/" + pkg::History));
    ASSERT_TRUE(QDir().mkpath(pkg + "/" + pkg::History + "/blocker"));
    ASSERT_TRUE(doc.changed());
    const SaveOutcome saved = doc.saveChanges(false);
    EXPECT_TRUE(saved.saved);
    EXPECT_TRUE(saved.error.isEmpty()) << saved.error.toStdString();
    EXPECT_FALSE(fs::exists(pkg + "/" + pkg::Changed));
    EXPECT_TRUE(doc.noNeedToSaveNow());
}

TEST_F(DocumentHistory, WithoutApplicationPreferencesTheStoredHistoryIsLeftAlone)
{
    const QString pkg = copyOf("Household.fvdb");
    MyDocument& doc = open(pkg, true);
    select({"Bank", "Unfiled"});
    doc.closeDatabase();
    const QByteArray before = readAll(pkg + "/" + pkg::History);

    MyDocument bare(ui_); // a command that loads no application preferences
    ASSERT_TRUE(bare.openDatabase(pkg).ok());
    bare.changed();
    bare.closeDatabase();
    EXPECT_EQ(readAll(pkg + "/" + pkg::History), before);
}

TEST_F(DocumentHistory, EncryptedDatabasesKeepTheirHistoryOnlyEnciphered)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    const QString password = manifest_.value(name).toObject().value("password").toString();
    // A plain history left by an older version goes once the enciphered one is written.
    ASSERT_TRUE(writeAll(pkg + "/" + pkg::History,
                         plist::encodeKeyedArchive(stored({"Bank"}, 1))));
    MyDocument& doc = open(pkg, true, password);
    EXPECT_EQ(describe(doc.history()), (QStringList{"Bank *"}));
    doc.changed();
    ASSERT_TRUE(doc.saveChanges(true).saved);
    EXPECT_FALSE(fs::exists(pkg + "/" + pkg::History));
    EXPECT_TRUE(fs::exists(pkg + "/" + pkg::History + ".fvdbe"));
    select({"Bank/Letter.pdf", "Notes/Tom's café.txt"});
    doc.history().back();
    doc.changed();
    ASSERT_TRUE(doc.saveChanges(true).saved);
    EXPECT_FALSE(fs::exists(pkg + "/" + pkg::History));
    const QByteArray enciphered = readAll(pkg + "/" + pkg::History + ".fvdbe");
    ASSERT_FALSE(enciphered.isEmpty());
    EXPECT_FALSE(plist::decodeKeyedArchive(enciphered));
    EXPECT_FALSE(enciphered.contains("Letter"));
    doc.closeDatabase();
    EXPECT_FALSE(fs::exists(pkg + "/" + pkg::History));

    MyDocument& again = open(pkg, true, password);
    EXPECT_EQ(describe(again.history()), (QStringList{"Bank", "Bank/Letter.pdf *", "Notes/Tom's café.txt"}));
    again.history().showCurrent();
    EXPECT_EQ(view_.shown.last(), "Bank/Letter.pdf");
    // No plain copy anywhere in the package, also after reading.
    QDirIterator it(pkg, {".history*"}, QDir::Files | QDir::Hidden);
    QStringList found;
    while (it.hasNext())
        found << it.next().mid(pkg.size() + 1);
    EXPECT_EQ(found, (QStringList{".history.fvdbe"}));
}

} // namespace
