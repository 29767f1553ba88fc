// What the database window does to the selected items, decided in the core: the files of a
// smart folder of chosen files, sorting the selected folders and the sorting switches, the
// stored forms of the selected file, and the folders a drop of login records makes.

#include "browser/windowrules.h"

#include "store/bookmark.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/fs.h"

#include <QFile>

using namespace folivo;
using namespace folivo::test;

namespace {

class WindowRules : public Fixtures {
protected:
    std::unique_ptr<MyDocument> open(const QString& pkg, OpenOptions options = {})
    {
        auto doc = std::make_unique<MyDocument>(ui_);
        const OpenResult r = doc->openDatabase(pkg, options);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        return doc;
    }

    static QStringList childNames(MyDocument& doc, const QString& folder)
    {
        QStringList out;
        for (const auto& c : doc.tree().childrenOf(doc.tree().itemForPath(folder)))
            out << c->name();
        return out;
    }

    // Makes folders named `names`, in that order, at the top of `parent`.
    static void makeFolders(MyDocument& doc, const QString& parent, const QStringList& names)
    {
        for (const QString& name : names) {
            const OperationResult r =
                doc.recordNewCategory(parent + '/' + name, doc.tree().itemForPath(parent), 0);
            ASSERT_EQ(r.status, OperationResult::Status::Done) << name.toStdString();
        }
    }

    static plist::Dict loginRecord(const QString& path, const QString& url)
    {
        plist::Dict d;
        d.set(keys::Path, path);
        d.set(QStringLiteral("websiteURL"), url);
        d.set(QStringLiteral("websiteUserID"), QStringLiteral("someone"));
        return d;
    }
};

} // namespace

TEST(WindowRulesSelection, AFileOrDateFolderStandsForThePlainFolderItLiesIn)
{
    using plist::Dict;
    IndexTree tree;
    IndexItem* bank = tree.insert(nullptr, std::make_unique<IndexItem>(Dict{{keys::Path, "Bank"}}, true));
    IndexItem* year =
        tree.insert(bank, std::make_unique<IndexItem>(Dict{{keys::Path, "Bank/2023"}, {keys::Date, true}}, true));
    IndexItem* file = tree.insert(year, std::make_unique<IndexItem>(Dict{{keys::Path, "Bank/2023/Statement.pdf"}}, false));
    IndexItem* top = tree.insert(nullptr, std::make_unique<IndexItem>(Dict{{keys::Path, "Loose.pdf"}}, false));
    ASSERT_TRUE(year->isDateFolder());
    EXPECT_EQ(folderTheSelectionStandsFor(file), QStringLiteral("Bank"));
    EXPECT_EQ(folderTheSelectionStandsFor(year), QStringLiteral("Bank"));
    EXPECT_EQ(folderTheSelectionStandsFor(bank), QStringLiteral("Bank"));
    EXPECT_TRUE(folderTheSelectionStandsFor(top).isEmpty());
    EXPECT_TRUE(folderTheSelectionStandsFor(nullptr).isEmpty());
}

TEST_F(WindowRules, ASmartFolderOfChosenFilesNamesThePresentFilesOnceInItsOrder)
{
    auto doc = open(copyOf("Household.fvdb"));
    ASSERT_TRUE(doc->tree().itemForPath("Unfiled/Note.txt"));
    const auto condition = [](const QString& path) {
        plist::Dict c;
        c.set(QStringLiteral("BookMarkData"), bookmarkDataForStoredPath(path));
        return plist::Value(std::move(c));
    };
    plist::Array conditions{condition("Bank/Welcome Letter.pdf"), condition("Gone/Away.pdf"),
                            plist::Value(QStringLiteral("not a condition")), condition("Unfiled/Note.txt"),
                            condition("Bank/Welcome Letter.pdf")};
    plist::Dict smart;
    smart.set(QStringLiteral("Conditions"), plist::Value(conditions));
    plist::Dict keys{{keys::Path, "Chosen"}};
    keys.set(keys::SmartFolder, plist::Value(smart));
    keys.set(keys::SmartFolderType, plist::Value(2));
    IndexItem* folder = doc->tree().insert(nullptr, std::make_unique<IndexItem>(keys, true));
    EXPECT_EQ(filesOfSelectedItemsSmartFolder(doc->tree(), *folder),
              (QStringList{"Bank/Welcome Letter.pdf", "Unfiled/Note.txt"}));

    // A smart folder of another type searches; it names no files of its own.
    folder->setValue(keys::SmartFolderType, plist::Value(1));
    EXPECT_TRUE(filesOfSelectedItemsSmartFolder(doc->tree(), *folder).isEmpty());
}

TEST_F(WindowRules, SortingSelectedFoldersSortsEachOnceAndKeepsTheOrderOnDisk)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    makeFolders(*doc, "Bank", {"Alpha", "Zeta"}); // Zeta, Alpha, ... at the top of Bank
    makeFolders(*doc, "Bank/Visa", {"A", "B"});
    ASSERT_EQ(childNames(*doc, "Bank").mid(0, 2), (QStringList{"Zeta", "Alpha"}));
    const std::vector<const IndexItem*> selected{doc->tree().itemForPath("Bank"),
                                                 doc->tree().itemForPath("Bank/Visa"),
                                                 doc->tree().itemForPath("Bank/Welcome Letter.pdf")};
    ASSERT_TRUE(sortSelectedFolders(*doc, selected));
    QStringList sorted = childNames(*doc, "Bank");
    QStringList expected = sorted;
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(sorted, expected);
    EXPECT_TRUE(ui_.diskErrors.isEmpty()) << ui_.diskErrors.join('\n').toStdString();

    // The order survives a rebuild from the attributes files.
    doc.reset();
    doc = open(pkg, {true});
    ASSERT_TRUE(doc->rebuiltAtOpen());
    EXPECT_EQ(childNames(*doc, "Bank"), sorted);
}

TEST_F(WindowRules, SortingReportsAnAttributesFileItCannotWriteAndNothingHappensReadOnly)
{
    const QString pkg = copyOf("Household.fvdb");
    {
        auto doc = open(pkg);
        makeFolders(*doc, "Bank", {"Alpha", "Zeta"});
        fs::ScopedFault noWrites([](fs::Op op, const QString&) { return op == fs::Op::Write; });
        ASSERT_TRUE(sortSelectedFolders(*doc, {doc->tree().itemForPath("Bank")}));
        EXPECT_FALSE(ui_.diskErrors.isEmpty()) << "a lost order must not pass silently";
    }
    ui_.diskErrors.clear();
    auto doc = open(pkg, {false, true});
    const QStringList before = childNames(*doc, "Bank");
    const SortFlags flags = doc->tree().sorting;
    EXPECT_FALSE(sortSelectedFolders(*doc, {doc->tree().itemForPath("Bank")}));
    EXPECT_FALSE(toggleSortingSwitch(*doc, SortSwitch::IgnoreCase));
    EXPECT_EQ(childNames(*doc, "Bank"), before);
    EXPECT_EQ(doc->tree().sorting.ignoreCase, flags.ignoreCase);
}

TEST_F(WindowRules, EachSortingSwitchTurnsOverItsOwnFlagAndIsKeptWithTheDatabase)
{
    const QString pkg = copyOf("Household.fvdb");
    const auto flagOf = [](const SortFlags& f, SortSwitch s) {
        switch (s) {
        case SortSwitch::KeepSorted:
            return f.keepSorted;
        case SortSwitch::YearsDescending:
            return f.yearDescending;
        case SortSwitch::MonthsDescending:
            return f.monthDescending;
        case SortSwitch::IgnoreCase:
            return f.ignoreCase;
        }
        return false;
    };
    for (SortSwitch s : {SortSwitch::KeepSorted, SortSwitch::YearsDescending, SortSwitch::MonthsDescending,
                         SortSwitch::IgnoreCase}) {
        auto doc = open(pkg);
        const SortFlags before = doc->tree().sorting;
        ASSERT_TRUE(toggleSortingSwitch(*doc, s));
        const SortFlags after = doc->tree().sorting;
        for (SortSwitch other : {SortSwitch::KeepSorted, SortSwitch::YearsDescending, SortSwitch::MonthsDescending,
                                 SortSwitch::IgnoreCase})
            EXPECT_EQ(flagOf(after, other), other == s ? !flagOf(before, other) : flagOf(before, other)) << int(s);
        doc->closeDatabase();
        doc.reset();
        doc = open(pkg);
        EXPECT_EQ(flagOf(doc->tree().sorting, s), flagOf(after, s)) << "switch " << int(s) << " not kept";
        ASSERT_TRUE(toggleSortingSwitch(*doc, s)); // back as it was for the next switch
        doc->closeDatabase();
    }
}

TEST_F(WindowRules, TheSelectedFileCountsAsStoredInAnyOfItsForms)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    const QString path = "Bank/Welcome Letter.pdf";
    const QString plain = pkg + '/' + path;
    ASSERT_TRUE(QFile::exists(plain));

    SelectedFileOnDisk onDisk = selectedFileOnDisk(*doc, path);
    EXPECT_TRUE(onDisk.fileExists && onDisk.storedFormExists && onDisk.readable);
    EXPECT_EQ(decideSelectedFileOnDisk(*doc, path).action, SelectedFileAction::Show);

    // Only its enciphered form is left: the file is there, unreadable, and must stay.
    ASSERT_TRUE(QFile::rename(plain, plain + '.' + pkg::EncipheredSuffixes.front()));
    onDisk = selectedFileOnDisk(*doc, path);
    EXPECT_FALSE(onDisk.fileExists);
    EXPECT_TRUE(onDisk.storedFormExists);
    EXPECT_NE(decideSelectedFileOnDisk(*doc, path).action, SelectedFileAction::RemoveItem);

    // Nothing left at all: the item goes.
    ASSERT_TRUE(QFile::remove(plain + '.' + pkg::EncipheredSuffixes.front()));
    onDisk = selectedFileOnDisk(*doc, path);
    EXPECT_FALSE(onDisk.fileExists || onDisk.storedFormExists || onDisk.readable);
    EXPECT_EQ(decideSelectedFileOnDisk(*doc, path).action, SelectedFileAction::RemoveItem);

    // A link of that name is not followed, but something is stored there: the item is kept
    // and reported unreadable, not removed as missing.
    ASSERT_TRUE(QFile::link(pkg + "/nowhere", plain));
    EXPECT_TRUE(selectedFileOnDisk(*doc, path).storedFormExists);
    EXPECT_EQ(decideSelectedFileOnDisk(*doc, path).action, SelectedFileAction::ReportUnreadableKeep);
}

TEST_F(WindowRules, DroppedLoginRecordsBecomeFoldersWithTheirKeysInOrder)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    plist::Array records{plist::Value(loginRecord("Other/Sites/Bank Login", "https://bank.example")),
                         plist::Value(QStringLiteral("no record")),
                         plist::Value(loginRecord("Bank Login", "https://second.example")),
                         plist::Value(loginRecord("Shop", "https://shop.example"))};
    const QStringList made = dropLoginRecords(*doc, records, "Bank", 0);
    ASSERT_EQ(made.size(), 3) << made.join(", ").toStdString();
    EXPECT_EQ(made[0], QStringLiteral("Bank/Bank Login"));
    EXPECT_NE(made[1], made[0]); // the same name again is made unique
    EXPECT_TRUE(made[1].startsWith("Bank/Bank Login"));
    EXPECT_EQ(made[2], QStringLiteral("Bank/Shop"));
    EXPECT_EQ(childNames(*doc, "Bank").mid(0, 3),
              (QStringList{made[0].section('/', -1), made[1].section('/', -1), "Shop"}));
    const IndexItem* first = doc->tree().itemForPath(made[0]);
    ASSERT_TRUE(first);
    ASSERT_TRUE(first->value("websiteURL"));
    EXPECT_EQ(first->value("websiteURL")->string(), QStringLiteral("https://bank.example"));
    EXPECT_FALSE(first->value(keys::Path) && first->value(keys::Path)->string() == "Other/Sites/Bank Login");
    EXPECT_TRUE(ui_.diskErrors.isEmpty());

    // The keys are on disk too: a rebuild finds them.
    doc.reset();
    doc = open(pkg, {true});
    ASSERT_TRUE(doc->tree().itemForPath("Bank/Shop"));
    ASSERT_TRUE(doc->tree().itemForPath("Bank/Shop")->value("websiteURL"));
    EXPECT_EQ(doc->tree().itemForPath("Bank/Shop")->value("websiteURL")->string(), QStringLiteral("https://shop.example"));
}

TEST_F(WindowRules, LoginDropsStopWhereTheyMustAndChangeNothingReadOnly)
{
    const QString pkg = copyOf("Household.fvdb");
    {
        auto doc = open(pkg);
        // A target that is not there: nothing is made anywhere.
        EXPECT_TRUE(dropLoginRecords(*doc, {plist::Value(loginRecord("A", "u"))}, "No Such Folder", 0).isEmpty());
        EXPECT_FALSE(doc->tree().itemForPath("A"));
        // The keys cannot be written: the folder is made, and the failure is reported.
        {
            // Only the write that keeps the login keys: the folder itself is made.
            MyDocument* d = doc.get();
            fs::ScopedFault noWrites([d](fs::Op op, const QString&) {
                const IndexItem* made = d->tree().itemForPath("Bank/Keyless");
                return op == fs::Op::Write && made && made->value("websiteURL");
            });
            dropLoginRecords(*doc, {plist::Value(loginRecord("Keyless", "u"))}, "Bank", 0);
        }
        EXPECT_FALSE(ui_.diskErrors.isEmpty());
        doc->closeDatabase();
    }
    auto doc = open(pkg, {false, true});
    EXPECT_TRUE(dropLoginRecords(*doc, {plist::Value(loginRecord("B", "u"))}, QString(), 0).isEmpty());
    EXPECT_FALSE(doc->tree().itemForPath("B"));
}
