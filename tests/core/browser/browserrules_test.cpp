// The browser's rules for renaming in place and for drops, without any widget.

#include "browser/droprules.h"
#include "browser/expansion.h"
#include "browser/messages.h"
#include "browser/renamerules.h"

#include "store/keys.h"
#include "store/packagepath.h"
#include "store/tree.h"

#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace folivo;

namespace {

const QString eAcute = QStringLiteral("\u00e9");        // composed
const QString eDecomposed = QStringLiteral("e\u0301"); // e + combining acute

using Kind = RenameDecision::Kind;

struct RenameCase {
    const char* what;
    QString oldPath;
    bool file;
    QString typed;
    QStringList siblings;
    bool maintainLastImport;
    Kind kind;
    QString expected; // the new path, or the message
};

} // namespace

TEST(RenameRules, TypedNamesBecomePathsOrMessages)
{
    const QString bad = renamemsg::BadName;
    const QString fits = QString(119, eAcute.at(0)) + "a";  // 239 bytes, + ".pdf" = 243
    const QString tooLong = QString(120, eAcute.at(0));     // 240 bytes, + ".pdf" = 244
    const QList<RenameCase> cases = {
        {"a file keeps its extension", "Bank/report.pdf", true, "summary", {}, false, Kind::Rename, "Bank/summary.pdf"},
        {"only the last extension is the file's", "Bank/a.b.c", true, "x", {}, false, Kind::Rename, "Bank/x.c"},
        {"a folder takes the name as typed", "Bank/Visa", false, "Amex", {}, false, Kind::Rename, "Bank/Amex"},
        {"a folder's dots are its name", "Bank/v1.2", false, "v1.3", {}, false, Kind::Rename, "Bank/v1.3"},
        {"top level gets the bare name", "Bank", false, "Money", {}, false, Kind::Rename, "Money"},
        {"same name: nothing", "Bank/report.pdf", true, "report", {}, false, Kind::Unchanged, ""},
        {"blank", "Bank/Visa", false, "", {}, false, Kind::Refused, bad},
        {"tab", "Bank/Visa", false, "a\tb", {}, false, Kind::Refused, bad},
        {"return", "Bank/Visa", false, "a\rb", {}, false, Kind::Refused, bad},
        {"line feed", "Bank/Visa", false, "a\nb", {}, false, Kind::Refused, bad},
        {"other control character", "Bank/Visa", false, QString("a") + QChar(0x1b), {}, false, Kind::Refused, bad},
        {"slash", "Bank/Visa", false, "a/b", {}, false, Kind::Refused, bad},
        {"leading dot", "Bank/Visa", false, ".hidden", {}, false, Kind::Refused, bad},
        {"243 bytes with the extension", "Bank/r.pdf", true, fits, {}, false, Kind::Rename, "Bank/" + fits + ".pdf"},
        {"244 bytes with the extension", "Bank/r.pdf", true, tooLong, {}, false, Kind::Refused, bad},
        {"243 ASCII bytes", "Bank/Visa", false, QString(243, 'a'), {}, false, Kind::Rename, "Bank/" + QString(243, 'a')},
        {"244 ASCII bytes", "Bank/Visa", false, QString(244, 'a'), {}, false, Kind::Refused, bad},
        {"decomposed typing is stored composed", "Bank/Visa", false, "Caf" + eDecomposed, {}, false, Kind::Rename,
         "Bank/Caf" + eAcute},
        {"in use, composed sibling", "Bank/Visa", false, "Caf" + eDecomposed, {"Bank/Visa", "Bank/Caf" + eAcute}, false,
         Kind::Refused, renamemsg::InUse.arg("Caf" + eAcute)},
        {"in use, decomposed sibling", "Bank/Visa", false, "Caf" + eAcute, {"Bank/Caf" + eDecomposed}, false,
         Kind::Refused, renamemsg::InUse.arg("Caf" + eAcute)},
        {"in use, file with its extension", "Bank/a.pdf", true, "b", {"Bank/a.pdf", "Bank/b.pdf"}, false,
         Kind::Refused, renamemsg::InUse.arg("b.pdf")},
        {"a sibling with another extension is no clash", "Bank/a.pdf", true, "b", {"Bank/b.txt"}, false, Kind::Rename,
         "Bank/b.pdf"},
        {"own decomposed name retyped composed", "Bank/Caf" + eDecomposed, false, "Caf" + eAcute,
         {"Bank/Caf" + eDecomposed}, false, Kind::Rename, "Bank/Caf" + eAcute},
        {".fvdbe ending", "Bank/Visa", false, "x.fvdbe", {}, false, Kind::Refused, renamemsg::EncipheredEnding.arg("x.fvdbe")},
        {".fvdbze ending", "Bank/Visa", false, "x.fvdbze", {}, false, Kind::Refused, renamemsg::EncipheredEnding.arg("x.fvdbze")},
        {".fvdbzre ending", "Bank/Visa", false, "x.FVDBZRE", {}, false, Kind::Refused,
         renamemsg::EncipheredEnding.arg("x.FVDBZRE")},
        {"Last Import while maintained", "Notes", false, "Last Import", {}, true, Kind::Refused,
         renamemsg::LastImportReserved.arg("Last Import")},
        {"Last Import not maintained", "Notes", false, "Last Import", {}, false, Kind::Rename, "Last Import"},
        {"Last Import inside a folder", "Bank/Notes", false, "Last Import", {}, true, Kind::Rename, "Bank/Last Import"},
    };
    for (const RenameCase& c : cases) {
        RenameRequest request;
        request.oldPath = c.oldPath;
        request.keepsExtension = c.file;
        request.typed = c.typed;
        request.siblingPaths = c.siblings;
        request.maintainLastImport = c.maintainLastImport;
        const RenameDecision d = decideRename(request);
        EXPECT_EQ(int(d.kind), int(c.kind)) << c.what;
        if (c.kind == Kind::Rename) {
            EXPECT_EQ(d.newPath, c.expected) << c.what;
        }
        if (c.kind == Kind::Refused) {
            EXPECT_EQ(d.message, c.expected) << c.what;
            EXPECT_EQ(d.editAgain, c.expected.endsWith(" is already in use.")) << c.what;
        }
    }
    EXPECT_EQ(renamemsg::BadName, QStringLiteral("Folder and file names cannot be blank, must be < 255 characters, "
                                                 "and cannot contain /, return, tab, or start with a \".\""));
}

TEST(RenameRules, ShownNamesHideExtensions)
{
    auto item = [](const char* path, bool folder, plist::Dict extra = {}) {
        extra.set(keys::Path, QString::fromUtf8(path));
        return IndexItem(std::move(extra), folder);
    };
    EXPECT_EQ(shownNameForItem(item("Bank/report.pdf", false)), "report");
    EXPECT_EQ(shownNameForItem(item("Bank/a.b.c", false)), "a.b");
    EXPECT_EQ(shownNameForItem(item("Bank/README", false)), "README");
    EXPECT_EQ(shownNameForItem(item("Bank/v1.2", true)), "v1.2");
    EXPECT_EQ(shownNameForItem(item("Find/x.pdf", false, {{keys::SmartFile, "Bank/Visa/Statement.pdf"}})),
              "Bank/Visa/Statement");
    EXPECT_EQ(extensionOfName("trailing."), "");
}

// ---- Drops -------------------------------------------------------------------------------

namespace {

const QString here = QStringLiteral("/data/Household.fvdb");
const QString other = QStringLiteral("/data/Work.fvdb");

DragEntry file(const char* p) { return {QString::fromUtf8(p), dragkeys::File}; }
DragEntry folder(const char* p) { return {QString::fromUtf8(p), dragkeys::Folder}; }
DragEntry smart(const char* p) { return {QString::fromUtf8(p), dragkeys::SmartFolder}; }

// Items of this database dragged into the folder "Bank" at its first position.
DropDescription itemsInto(const QString& folder, QList<DragEntry> entries)
{
    DropDescription d;
    d.writable = true;
    d.hasItems = d.hasDBPath = true;
    d.topLevel = folder.isEmpty();
    d.folderPath = folder;
    d.folderIsUnfiled = folder == QStringLiteral("Unfiled");
    d.childIndex = 0;
    d.entries = std::move(entries);
    d.sourceDBPath = here;
    d.thisDBPath = here;
    return d;
}

struct DropCase {
    const char* what;
    DropDescription drop;
    DropDecision expected;
};

template <class F>
DropDescription with(DropDescription d, F change)
{
    change(d);
    return d;
}

} // namespace

TEST(DropRules, ItemsOfTheBrowser)
{
    using D = DropDecision;
    const DropDescription fileIntoBank = itemsInto("Bank", {file("Unfiled/x.pdf")});
    const QList<DropCase> cases = {
        {"file into a folder moves", fileIntoBank, D::Move},
        {"copy asked for copies", with(fileIntoBank, [](auto& d) { d.copyModifier = true; }), D::Copy},
        {"from another open database copies",
         with(fileIntoBank, [](auto& d) { d.sourceDBPath = other; }), D::Copy},
        {"the same package named another way moves",
         with(fileIntoBank, [](auto& d) { d.sourceDBPath = "/data/./Household.fvdb/"; }), D::Move},
        {"from a database that is not open here",
         with(fileIntoBank, [](auto& d) { d.sourceDBPath = other, d.sourceOpen = false; }), D::None},
        {"items without their database", with(fileIntoBank, [](auto& d) { d.hasDBPath = false; }), D::None},
        {"read-only database", with(fileIntoBank, [](auto& d) { d.writable = false; }), D::None},
        {"onto a folder's row: first inside it", with(fileIntoBank, [](auto& d) { d.childIndex = -1; }), D::Move},
        {"onto the row of a folder of date folders",
         with(fileIntoBank, [](auto& d) { d.childIndex = -1, d.firstDateFolderIndex = 0; }), D::Move},
        {"onto a date folder's row",
         with(fileIntoBank, [](auto& d) { d.childIndex = -1, d.folderIsDateFolder = true; }), D::None},
        {"onto a smart folder's row",
         with(fileIntoBank, [](auto& d) { d.childIndex = -1, d.folderIsSmartFolder = true; }), D::None},
        {"onto the top level below the rows",
         with(itemsInto("", {folder("Bank/Visa")}), [](auto& d) { d.childIndex = -1; }), D::None},
        {"into a date folder", with(fileIntoBank, [](auto& d) { d.folderIsDateFolder = true; }), D::None},
        {"into a smart folder", with(fileIntoBank, [](auto& d) { d.folderIsSmartFolder = true; }), D::None},
        {"before the first date folder",
         with(fileIntoBank, [](auto& d) { d.firstDateFolderIndex = 2, d.childIndex = 2; }), D::Move},
        {"after the first date folder",
         with(fileIntoBank, [](auto& d) { d.firstDateFolderIndex = 2, d.childIndex = 3; }), D::None},
        {"a file to the top level", itemsInto("", {file("Unfiled/x.pdf")}), D::None},
        {"a folder to the top level", itemsInto("", {folder("Bank/Visa")}), D::Move},
        {"a folder onto its own subfolder", itemsInto("Bank/Visa", {folder("Bank")}), D::None},
        {"a folder into itself", itemsInto("Bank", {folder("Bank")}), D::None},
        {"a folder into its own subfolder even as a copy",
         with(itemsInto("Bank/Visa/2023", {folder("Bank")}), [](auto& d) { d.copyModifier = true; }), D::None},
        {"Bank into Banking: another folder", itemsInto("Banking", {folder("Bank")}), D::Move},
        {"Banking into Bank: another folder", itemsInto("Bank", {folder("Banking")}), D::Move},
        {"a folder from another database into the same path",
         with(itemsInto("Bank/Visa", {folder("Bank")}), [](auto& d) { d.sourceDBPath = other; }), D::Copy},
        {"kept sorted: back into its own folder",
         with(itemsInto("Bank", {file("Bank/x.pdf")}), [](auto& d) { d.keepSorted = true; }), D::None},
        {"not kept sorted: reordered in its folder", itemsInto("Bank", {file("Bank/x.pdf")}), D::Move},
        {"kept sorted: back to the top level",
         with(itemsInto("", {folder("Bank")}), [](auto& d) { d.keepSorted = true; }), D::None},
        {"kept sorted: from another database into the same folder",
         with(itemsInto("Bank", {file("Bank/x.pdf")}), [](auto& d) { d.keepSorted = true, d.sourceDBPath = other; }),
         D::Copy},
        {"into Unfiled a file", itemsInto("Unfiled", {file("Bank/x.pdf")}), D::Move},
        {"into Unfiled a folder", itemsInto("Unfiled", {folder("Bank/Visa")}), D::None},
        {"a smart folder into a folder", itemsInto("Bank", {smart("Last Import")}), D::None},
        {"a smart folder at the top level", itemsInto("", {smart("Last Import")}), D::Move},
        {"Unfiled into a folder", itemsInto("Bank", {folder("Unfiled")}), D::None},
        {"a smart folder with a file", itemsInto("Bank", {smart("Last Import"), file("Unfiled/x.pdf")}), D::None},
        {"a smart folder from another database into a folder",
         with(itemsInto("Bank", {smart("Last Import")}), [](auto& d) { d.sourceDBPath = other; }), D::Copy},
        // A folder with something inside it: the folder takes it along, so the file does
        // not count as a file going to the top level, nor is it moved twice.
        {"a folder with its own file to the top level", itemsInto("", {folder("Bank"), file("Bank/x.pdf")}), D::Move},
        {"no entries", itemsInto("Bank", {}), D::None},
    };
    for (const DropCase& c : cases)
        EXPECT_EQ(int(decideDrop(c.drop)), int(c.expected)) << c.what;
}

TEST(DropRules, FilesAndLoginsFromElsewhere)
{
    using D = DropDecision;
    DropDescription files;
    files.writable = true;
    files.hasFileNames = true;
    files.topLevel = false;
    files.folderPath = "Bank";
    files.childIndex = 1;
    files.externalFiles = {{"/home/me/a.pdf", false, false}, {"/home/me/Trips", true, false}};
    DropDescription topFolders = with(files, [](auto& d) {
        d.topLevel = true, d.folderPath.clear();
        d.externalFiles = {{"/home/me/Trips", true, false}};
    });
    DropDescription logins;
    logins.writable = true;
    logins.hasLogins = true;
    logins.childIndex = 0;
    const QList<DropCase> cases = {
        {"files into a folder", files, D::Copy},
        {"files into a date folder", with(files, [](auto& d) { d.folderIsDateFolder = true; }), D::None},
        {"files into a read-only database", with(files, [](auto& d) { d.writable = false; }), D::None},
        {"folders at the top level", topFolders, D::Copy},
        {"a file at the top level",
         with(topFolders, [](auto& d) { d.externalFiles << ExternalFile{"/home/me/a.pdf", false, false}; }), D::None},
        {"a package at the top level",
         with(topFolders, [](auto& d) { d.externalFiles = {{"/home/me/Old.fvdb", true, true}}; }), D::None},
        {"nothing named", with(files, [](auto& d) { d.externalFiles.clear(); }), D::None},
        {"login records at the top level", logins, D::Copy},
        {"login records into a smart folder",
         with(logins, [](auto& d) { d.topLevel = false, d.folderPath = "Find", d.folderIsSmartFolder = true; }), D::None},
        {"a database path alone", with(files, [](auto& d) { d.hasFileNames = false, d.hasDBPath = true; }), D::None},
    };
    for (const DropCase& c : cases)
        EXPECT_EQ(int(decideDrop(c.drop)), int(c.expected)) << c.what;
}

TEST(DropRules, NestedEntriesGoWithTheirFolder)
{
    const QList<DragEntry> got = entriesToDrop(
        {folder("Bank/Visa"), file("Bank/Visa/2023/March/s.pdf"), folder("Banking"), folder("Bank"), file("Bank/x.pdf"),
         folder("Banking")});
    QStringList paths;
    for (const DragEntry& e : got)
        paths << e.path;
    EXPECT_EQ(paths, (QStringList{"Banking", "Bank"}));
}

// ---- Login records -----------------------------------------------------------------------

TEST(LoginTransfer, DragCarriesLoginFoldersOfTheSubtree)
{
    IndexTree tree;
    auto make = [](const QString& path, plist::Dict extra, bool folderLike) {
        extra.set(keys::Path, path);
        return std::make_unique<IndexItem>(std::move(extra), folderLike);
    };
    IndexItem* web = tree.insert(nullptr, make("Web", {{"websiteURL", "https://bank.example"},
                                                       {"websitePasswordOptions", 1}, // no password: not carried
                                                       {"websiteBrowser", "Firefox"},
                                                       {"Tags", plist::Array{"x"}}},
                                                 true));
    tree.insert(web, make("Web/Mail", {{"websiteUserID", "me"}, {"websiteUserIDTabCount", 2},
                                       {"websitePassword", "pw"}, {"websitePasswordEnter", true},
                                       {"Notes", "old account"}},
                          true));
    tree.insert(web, make("Web/plain.pdf", {}, false));
    const plist::Array records = loginRecordsFromItem(*web);
    ASSERT_EQ(records.size(), 2u);
    const plist::Dict& first = records[0].dict();
    EXPECT_EQ(first.find("Path")->string(), "Web");
    EXPECT_EQ(first.find("Notes")->string(), "");
    EXPECT_EQ(first.find("websiteBrowser")->string(), "Firefox");
    EXPECT_FALSE(first.contains("websitePasswordOptions"));
    EXPECT_FALSE(first.contains("Tags"));
    const plist::Dict& second = records[1].dict();
    EXPECT_EQ(second.find("Path")->string(), "Web/Mail");
    EXPECT_EQ(second.find("websiteUserIDTabCount")->intValue(), 2);
    EXPECT_TRUE(second.find("websitePasswordEnter")->boolValue());
    EXPECT_EQ(second.find("Notes")->string(), "old account");
}

TEST(LoginTransfer, ForeignRecordsBecomeFoldersNamedByTheirLastComponent)
{
    auto unique = [](const QString& p) { return p == "Logins/Mail" ? QStringLiteral("Logins/Mail2") : p; };
    struct Case {
        const char* path;
        const char* target;
        const char* expected;
    };
    const Case cases[] = {
        {"Other/Deep/Bank Login", "Logins", "Logins/Bank Login"},
        {"Mail", "Logins", "Logins/Mail2"},
        {"Sites/Mail/", "", "Mail"},
        {"../../etc", "Logins", "Logins/etc"},
        {".hidden", "", "hidden"},
        {"x.fvdbe", "", "x-fvdbe"},
        {"", "", "Untitled"},
        {".", "Logins", "Logins/Untitled"},
        {"Sites/..", "", "Untitled"},
        {"/etc/passwd", "Logins", "Logins/passwd"},
        {"Sites/Bank\tLogin", "", "Bank Login"},
    };
    for (const Case& c : cases) {
        const plist::Value record = plist::Dict{{"Path", QString::fromUtf8(c.path)}, {"websiteURL", "u"}};
        EXPECT_EQ(folderPathForLoginRecord(record, c.target, unique), QString::fromUtf8(c.expected)) << c.path;
    }
    EXPECT_EQ(folderPathForLoginRecord(plist::Value("not a record"), "", unique), "");
    // A name too long for the package is cut to what fits beside its attributes file.
    const QString longName = QString(300, QChar(0x00e9));
    const QString cut = folderPathForLoginRecord(plist::Dict{{"Path", "Far/" + longName}}, "Logins", unique);
    ASSERT_TRUE(cut.startsWith("Logins/")) << cut.toStdString();
    EXPECT_LE(cut.mid(7).toUtf8().size(), MaxNameBytes);
    EXPECT_GT(cut.mid(7).toUtf8().size(), MaxNameBytes - 2);

    const plist::Value foreign = plist::Dict{{"Path", "Other/Bank"},
                                             {"Children", plist::Array{}},
                                             {"Date", true},
                                             {"SmartFolder", plist::Dict{}},
                                             {"ReminderDate", 3.0},
                                             {"websiteURL", "https://bank.example"},
                                             {"websiteUserID", "me"},
                                             {"websitePasswordTabCount", 3},
                                             {"websitePassword", plist::Dict{}}, // not text: left out
                                             {"Notes", "n"}};
    const plist::Dict kept = loginKeysOfRecord(foreign);
    QStringList keysKept;
    for (const auto& [key, value] : kept)
        keysKept << key;
    EXPECT_EQ(keysKept, (QStringList{"websiteURL", "websiteUserID", "websitePasswordTabCount", "Notes"}));
}

// ---- Folders that open ------------------------------------------------------------------

namespace {

// Bank/{Visa/{2024/{March/a.pdf}, 2023/{May/b.pdf, June/c.pdf}}, Empty}, Unfiled, Last Import
// (smart, showing Bank/Visa), Bank/Old Unfiled (a folder named so, not the top one).
struct SmallTree {
    IndexTree tree;
    IndexItem* add(IndexItem* parent, const QString& path, bool folder, plist::Dict extra = {})
    {
        extra.set(keys::Path, path);
        return tree.insert(parent, std::make_unique<IndexItem>(std::move(extra), folder), -1);
    }
    SmallTree()
    {
        IndexItem* bank = add(nullptr, "Bank", true);
        IndexItem* visa = add(bank, "Bank/Visa", true);
        IndexItem* y2024 = add(visa, "Bank/Visa/2024", true, {{"Date", true}});
        add(add(y2024, "Bank/Visa/2024/March", true, {{"Date", true}}), "Bank/Visa/2024/March/a.pdf", false);
        IndexItem* y2023 = add(visa, "Bank/Visa/2023", true, {{"Date", true}});
        add(add(y2023, "Bank/Visa/2023/May", true, {{"Date", true}}), "Bank/Visa/2023/May/b.pdf", false);
        add(add(y2023, "Bank/Visa/2023/June", true, {{"Date", true}}), "Bank/Visa/2023/June/c.pdf", false);
        add(bank, "Bank/Empty", true);
        add(bank, "Bank/Unfiled", true);
        add(nullptr, "Unfiled", true);
        IndexItem* smart = add(nullptr, "Last Import", true, {{"SmartFolder", plist::Dict{}}});
        add(smart, "Last Import/a.pdf", false, {{"SmartFile", "Bank/Visa/2024/March/a.pdf"}});
    }
    const IndexItem* at(const char* path) { return tree.itemForPath(QString::fromUtf8(path)); }
};

QStringList pathsOf(const std::vector<const IndexItem*>& items)
{
    QStringList out;
    for (const IndexItem* item : items)
        out << item->path();
    return out;
}

} // namespace

TEST(Expansion, WhatSpringsOpenWhileDragging)
{
    SmallTree t;
    struct Case {
        const char* path;
        bool opens;
    };
    const QList<Case> cases = {{"Bank", true},           {"Bank/Empty", true},      {"Bank/Unfiled", true},
                               {"Bank/Visa/2024", false}, {"Last Import", false},    {"Unfiled", false},
                               {"Bank/Visa/2024/March/a.pdf", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(springsOpenWhileDragging(*t.at(c.path), false), c.opens) << c.path;
        EXPECT_FALSE(springsOpenWhileDragging(*t.at(c.path), true)) << c.path << ": dragging Unfiled or a smart folder";
    }
    EXPECT_TRUE(dragHoldsUnfiledOrSmartFolder({file("Bank/x.pdf"), folder("Unfiled")}));
    EXPECT_TRUE(dragHoldsUnfiledOrSmartFolder({smart("Last Import")}));
    EXPECT_FALSE(dragHoldsUnfiledOrSmartFolder({file("Bank/x.pdf"), folder("Bank/Unfiled")}));
}

TEST(Expansion, ABranchOpensWholeButAFolderOfOneFileStaysClosedBelowIt)
{
    SmallTree t;
    EXPECT_EQ(pathsOf(foldersToExpand(t.tree, nullptr)),
              (QStringList{"Bank", "Bank/Visa", "Bank/Visa/2024", "Bank/Visa/2023", "Last Import"}));
    EXPECT_EQ(pathsOf(foldersToExpand(t.tree, t.at("Bank/Visa"))),
              (QStringList{"Bank/Visa", "Bank/Visa/2024", "Bank/Visa/2023"}));
    // Asked for by itself, the folder of one file opens.
    EXPECT_EQ(pathsOf(foldersToExpand(t.tree, t.at("Bank/Visa/2023/May"))), (QStringList{"Bank/Visa/2023/May"}));
    EXPECT_TRUE(foldersToExpand(t.tree, t.at("Bank/Empty")).empty());
    EXPECT_EQ(pathsOf(foldersToExpand(t.tree, t.at("Last Import"))), (QStringList{"Last Import"}));
}
