// Custom attributes: the name rules and the editor's edits of the list, completion, the table
// of one item, the rename and deletion of a name through the whole database, and the names
// file itself.

#include "attributes/customattributes.h"
#include "attributes/messages.h"
#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

// ---- Names ----------------------------------------------------------------------------------

TEST(AttributeNames, OnlyLettersAndAtLeastOne)
{
    const struct {
        const char* name;
        bool valid;
    } cases[] = {{"Amount", true}, {"amount", true}, {"a", true},       {"", false},     {"Tax1", false},
                 {"Tax Rate", false}, {"Tax-Rate", false}, {"Größe", false}, {"tax_", false}, {" Amount", false}};
    for (const auto& c : cases)
        EXPECT_EQ(isValidAttributeName(QString::fromUtf8(c.name)), c.valid) << c.name;
}

TEST(AttributeNames, InsertedInCaseInsensitiveOrderAndComparedExactly)
{
    const struct {
        QStringList list;
        QString name;
        QStringList after;
        int index;
    } cases[] = {
        {{"Alpha", "Gamma"}, "beta", {"Alpha", "beta", "Gamma"}, 1},
        {{"Alpha", "Gamma"}, "zeta", {"Alpha", "Gamma", "zeta"}, 2},
        {{"Alpha", "Gamma"}, "a", {"a", "Alpha", "Gamma"}, 0},
        {{}, "Amount", {"Amount"}, 0},
        // Names differing only in case are two names; an equal one stands where it is.
        {{"Amount"}, "amount", {"Amount", "amount"}, 1},
        {{"Amount", "Total"}, "Total", {"Amount", "Total"}, 1},
        {{"Amount"}, "", {"Amount"}, -1},
    };
    for (auto c : cases) {
        EXPECT_EQ(addAttributeName(c.list, c.name), c.index) << c.name.toStdString();
        EXPECT_EQ(c.list, c.after) << c.name.toStdString();
    }
    QStringList withBlanks{"", "Amount", ""};
    deleteBlankAttributeNames(withBlanks);
    EXPECT_EQ(withBlanks, QStringList{"Amount"});
    EXPECT_EQ(defaultAttributeName({}), QString());
    EXPECT_EQ(defaultAttributeName({"b", "a"}), "b");
}

TEST(AttributeNames, EditorRowEdits)
{
    using A = NameEdit::Action;
    const struct {
        const char* what;
        QStringList list;
        int row;
        QString text;
        QStringList after;
        QString error;
        A action;
        int rowAfter;
    } cases[] = {
        {"new name", {"Alpha", "Gamma", ""}, 2, "beta", {"Alpha", "beta", "Gamma"}, {}, A::Inserted, 1},
        {"rename moves into order", {"Alpha", "Gamma"}, 1, "Able", {"Able", "Alpha"}, {}, A::Renamed, 0},
        {"case-only rename", {"amount"}, 0, "Amount", {"Amount"}, {}, A::Renamed, 0},
        {"new duplicate goes", {"Amount", ""}, 1, "Amount", {"Amount"}, attributesmsg::NameDuplicateDeleted, A::None, -1},
        {"renamed onto another", {"Amount", "Total"}, 1, "Amount", {"Amount", "Total"},
         attributesmsg::NameOriginalNotChanged, A::None, 1},
        {"new with a digit goes", {"Amount", ""}, 1, "Tax1", {"Amount"}, attributesmsg::NameLettersDeleted, A::None, -1},
        {"rename with a space kept", {"Tax"}, 0, "Tax Rate", {"Tax"}, attributesmsg::NameLettersNotChanged, A::None, 0},
        {"emptied new row goes", {"Amount", ""}, 1, "", {"Amount"}, {}, A::None, -1},
        {"emptied name asks for deletion", {"Amount", "Total"}, 0, "", {"Amount", "Total"}, {}, A::DeleteRow, 0},
        {"same text", {"Amount"}, 0, "Amount", {"Amount"}, {}, A::None, 0},
        // The other name differs in case only: not a duplicate.
        {"case differs from another", {"Amount", ""}, 1, "amount", {"Amount", "amount"}, {}, A::Inserted, 1},
    };
    for (auto c : cases) {
        const NameEdit e = editAttributeNameRow(c.list, c.row, c.text);
        EXPECT_EQ(c.list, c.after) << c.what;
        EXPECT_EQ(e.error, c.error) << c.what;
        EXPECT_EQ(e.action, c.action) << c.what;
        EXPECT_EQ(e.row, c.rowAfter) << c.what;
    }
    QStringList list{"Amount", "Total"};
    const NameEdit renamed = editAttributeNameRow(list, 1, "Sum");
    EXPECT_EQ(renamed.from, "Total");
    EXPECT_EQ(renamed.to, "Sum");
}

TEST(AttributeNames, DeleteQuestion)
{
    const Prompt p = deleteAttributeNameQuestion("Amount");
    EXPECT_EQ(p.title, "Custom Attributes");
    EXPECT_EQ(p.text, "The attribute name \"Amount\" is in use for at least one file.  If you delete this name all "
                      "attributes using it will also be deleted.\r\rAre you sure you want to delete?");
    EXPECT_EQ(p.buttons, (QStringList{"No", "Yes"}));
    EXPECT_EQ(p.buttonFor(NoAnswer), 0);
}

TEST(AttributeNames, Completion)
{
    const QStringList names{"account", "Amount", "amortised", "Total"};
    const struct {
        const char* typed;
        std::optional<QString> completed;
    } cases[] = {
        {"", QString()},
        {"Am", QString("Amount")},  // an exact-case beginning wins over an earlier name
        {"am", QString("amortised")},
        {"AC", QString("account")}, // else the first ignoring case
        {"to", QString("Total")},
        {"Amountx", std::nullopt},
        {"x", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(completeAttributeName(names, c.typed), c.completed) << c.typed;
}

// ---- A database ---------------------------------------------------------------------------------

class CustomAttributesDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        ASSERT_EQ(doc_.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        a_ = doc_.recordImport("A.txt", QByteArray("a"), "Bank", -1, {}, {}).resultPath;
        b_ = doc_.recordImport("B.txt", QByteArray("b"), "Bank", -1, {}, {}).resultPath;
        ASSERT_FALSE(a_.isEmpty());
        ASSERT_FALSE(b_.isEmpty());
        doc_.customAttributes().setNames(doc_, {"Account", "Amount", "amount"});
    }
    QList<AttributeEntry> entries(const QString& path) const
    {
        const IndexItem* item = doc_.tree().itemForPath(path);
        return item ? customAttributesOf(*item) : QList<AttributeEntry>{};
    }
    IndexItem* addSmartFolder(const QString& name, int type, plist::Value definition, plist::Dict report)
    {
        plist::Dict keys{{keys::Path, name}, {keys::SmartFolder, std::move(definition)}};
        if (type >= 0)
            keys.set(keys::SmartFolderType, type);
        keys.set("ReportCriteria", std::move(report));
        IndexItem* item = doc_.tree().insert(nullptr, std::make_unique<IndexItem>(keys, true));
        EXPECT_TRUE(doc_.writeAttributesFileForItem(item));
        EXPECT_TRUE(doc_.writeAttributesFileForItem(nullptr));
        return item;
    }
    // Attributes-file writes of `path` while `body` runs.
    int writesOf(const QString& path, const std::function<void()>& body)
    {
        int writes = 0;
        const QString name = MyDocument::attributesPathForPath(path);
        fs::ScopedFault counting([&](fs::Op op, const QString& abs) {
            if (op == fs::Op::Write && abs.endsWith(name))
                ++writes;
            return false;
        });
        body();
        return writes;
    }

    Scratch scratch_;
    QString db_ = scratch_.file("Attrs.fvdb");
    FakeUi ui_;
    MyDocument doc_{ui_};
    QString a_, b_;
};

TEST_F(CustomAttributesDb, ItemTableEditsWriteTheAttributesFileOnceEach)
{
    int row = -1;
    EXPECT_EQ(writesOf(a_, [&] { row = addCustomAttributeRow(doc_, a_); }), 1);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(entries(a_), (QList<AttributeEntry>{{"", ""}}));
    EXPECT_EQ(writesOf(a_, [&] { EXPECT_EQ(setCustomAttributeName(doc_, a_, 0, "Amount"), AttributeNameEdit::Stored); }),
              1);
    EXPECT_EQ(writesOf(a_, [&] { EXPECT_TRUE(setCustomAttributeValue(doc_, a_, 0, "12.50")); }), 1);
    EXPECT_EQ(writesOf(a_, [&] { EXPECT_FALSE(setCustomAttributeValue(doc_, a_, 0, "12.50")); }), 0);
    EXPECT_EQ(setCustomAttributeName(doc_, a_, 0, "Amount"), AttributeNameEdit::Unchanged);
    // Only a name of the database; "Attribute" is no value column.
    EXPECT_EQ(setCustomAttributeName(doc_, a_, 0, "Nope"), AttributeNameEdit::Refused);
    EXPECT_FALSE(setCustomAttributeValue(doc_, a_, 0, "x", AttributeKey));
    EXPECT_EQ(setCustomAttributeName(doc_, a_, 5, "Amount"), AttributeNameEdit::Refused);

    // Another column's identifier keeps its own key in the entry.
    EXPECT_TRUE(setCustomAttributeValue(doc_, a_, 0, "EUR", "Currency"));
    const plist::Value* stored = doc_.tree().itemForPath(a_)->value(keys::CustomAttributes);
    ASSERT_TRUE(stored && stored->isArray());
    EXPECT_EQ(stored->array()[0].dict().find("Currency")->string(), "EUR");

    doc_.rebuildIndex();
    EXPECT_EQ(entries(a_), (QList<AttributeEntry>{{"Amount", "12.50"}}));
    EXPECT_TRUE(ui_.asked.isEmpty());
}

TEST_F(CustomAttributesDb, ANameTheItemHasAlreadyIsRefusedWithTheAlertAndTheRowGoes)
{
    ASSERT_TRUE(setCustomAttribute(doc_, a_, "Amount", "5"));
    ASSERT_TRUE(setCustomAttribute(doc_, a_, "Account", "Visa"));
    ASSERT_EQ(addCustomAttributeRow(doc_, a_), 2);
    // "amount" differs in case: a name of its own.
    EXPECT_EQ(setCustomAttributeName(doc_, a_, 2, "amount"), AttributeNameEdit::Stored);
    EXPECT_EQ(writesOf(a_, [&] { EXPECT_EQ(setCustomAttributeName(doc_, a_, 2, "Amount"), AttributeNameEdit::Duplicate); }),
              1);
    EXPECT_EQ(entries(a_), (QList<AttributeEntry>{{"Amount", "5"}, {"Account", "Visa"}}));
    ASSERT_EQ(ui_.asked.size(), 1);
    EXPECT_EQ(ui_.asked[0].id, AttributeExistsPrompt);
    EXPECT_EQ(ui_.asked[0].title, "Custom Attribute Already Exists");
    EXPECT_EQ(ui_.asked[0].text, "A custom attribute named \"Amount\" already exists for this file.  You cannot assign "
                                 "the same attribute twice.");
}

TEST_F(CustomAttributesDb, DeletingRowsAndEmptyNames)
{
    for (const char* n : {"Account", "Amount", "amount"})
        ASSERT_TRUE(setCustomAttribute(doc_, a_, n, n));
    EXPECT_EQ(writesOf(a_, [&] { EXPECT_TRUE(deleteCustomAttributeRows(doc_, a_, {2, 0, 7})); }), 1);
    EXPECT_EQ(entries(a_), (QList<AttributeEntry>{{"Amount", "Amount"}}));
    EXPECT_FALSE(deleteCustomAttributeRows(doc_, a_, {4}));
    // An emptied name deletes the edited row with the selected ones.
    ASSERT_EQ(addCustomAttributeRow(doc_, a_), 1);
    EXPECT_EQ(setCustomAttributeName(doc_, a_, 1, ""), AttributeNameEdit::Deleted);
    EXPECT_EQ(entries(a_), (QList<AttributeEntry>{{"Amount", "Amount"}}));
    EXPECT_TRUE(removeCustomAttribute(doc_, a_, "Amount"));
    EXPECT_FALSE(removeCustomAttribute(doc_, a_, "Amount"));
    EXPECT_TRUE(entries(a_).isEmpty());
}

TEST_F(CustomAttributesDb, OnlyFilesAndPlainFoldersOfAChangeableDatabase)
{
    EXPECT_GE(addCustomAttributeRow(doc_, "Bank"), 0);
    IndexItem* smart = addSmartFolder("Smart", 0, plist::Dict{}, {});
    EXPECT_EQ(addCustomAttributeRow(doc_, smart->path()), -1);
    EXPECT_EQ(addCustomAttributeRow(doc_, "Bank/Gone.txt"), -1);
    EXPECT_FALSE(setCustomAttribute(doc_, a_, "Unknown", "1")) << "not a name of the database";

    doc_.closeDatabase();
    MyDocument reader(ui_);
    OpenOptions options;
    options.forReading = true;
    ASSERT_TRUE(reader.openDatabase(db_, options).ok());
    const auto before = packageListing(db_);
    EXPECT_EQ(addCustomAttributeRow(reader, a_), -1);
    EXPECT_FALSE(setCustomAttribute(reader, a_, "Amount", "1"));
    EXPECT_FALSE(customAttributeRename(reader, "Amount", "Total", nullptr));
    EXPECT_EQ(listingDifferences(before, packageListing(db_)), QString());
}

// ---- Rename and deletion through the database ------------------------------------------------------

plist::Dict criteriaWith(const QStringList& attributes)
{
    plist::Array conditions;
    for (const QString& a : attributes)
        conditions.push_back(plist::Dict{{"Tag", 0x2000}, {"CustomAttribute", a}, {"CustomMatch", "1"},
                                         {"CustomMatchType", 3}});
    conditions.push_back(plist::Dict{{"Tag", 9}, {"Name", "Amount"}}); // a name condition keeps its text
    return plist::Dict{{"Conditions", std::move(conditions)}, {"All", true}, {"Expand", false}, {"Type", 3},
                       {"SmartFolderName", ""}};
}

plist::Dict reportWith(const QString& first, const QString& second)
{
    plist::Array lines;
    lines.push_back(plist::Dict{{"attribute1", first}, {"operator", 1}, {"attribute2", second}});
    lines.push_back(plist::Dict{{"attribute1", second}, {"operator", 0}, {"attribute2", ""}});
    for (int i = 0; i < 2; ++i)
        lines.push_back(plist::Dict{{"attribute1", ""}, {"operator", 0}, {"attribute2", ""}});
    return plist::Dict{{"values", std::move(lines)}, {"reportDisplayPrecision", 2}};
}

QStringList conditionNames(const plist::Dict& criteria)
{
    QStringList out;
    for (const plist::Value& c : criteria.find("Conditions")->array())
        if (const plist::Value* a = c.dict().find("CustomAttribute"))
            out << a->string();
    return out;
}

QStringList reportNames(const plist::Dict& report)
{
    QStringList out;
    for (const plist::Value& line : report.find("values")->array())
        out << line.dict().find("attribute1")->string() << line.dict().find("attribute2")->string();
    return out;
}

class Propagation : public CustomAttributesDb {
protected:
    void SetUp() override
    {
        CustomAttributesDb::SetUp();
        ASSERT_TRUE(setCustomAttribute(doc_, a_, "Account", "Visa"));
        ASSERT_TRUE(setCustomAttribute(doc_, a_, "Amount", "10"));
        ASSERT_TRUE(setCustomAttribute(doc_, b_, "Amount", "20"));
        ASSERT_TRUE(setCustomAttribute(doc_, b_, "amount", "30"));
        ASSERT_TRUE(setCustomAttribute(doc_, "Bank", "Amount", "1"));
        addSmartFolder("Big", -1, criteriaWith({"Amount", "amount"}), reportWith("Amount", "Account"));
        addSmartFolder("Taxes", 1, plist::Array{plist::Value("tax")}, reportWith("Account", "Amount"));
        addSmartFolder("Picked", 2, criteriaWith({}), reportWith("Amount", ""));
        prefs_.setObject(plist::Value(criteriaWith({"Amount", "Other"})), prefkeys::Find);
    }
    const plist::Dict& definition(const QString& folder, const QString& key) const
    {
        return doc_.tree().itemForPath(folder)->value(key)->dict();
    }
    // Everything a rename reaches, as one list of names, item by item.
    QStringList reached() const
    {
        QStringList out;
        for (const QString& p : {a_, b_, QString("Bank")})
            for (const AttributeEntry& e : entries(p))
                out << e.name;
        out << "|" << conditionNames(definition("Big", keys::SmartFolder)) << "|"
            << reportNames(definition("Big", "ReportCriteria")) << "|" << reportNames(definition("Taxes", "ReportCriteria"))
            << "|" << reportNames(definition("Picked", "ReportCriteria"));
        return out;
    }
    QStringList findNames() const { return conditionNames(prefs_.objectForKey(prefkeys::Find)->dict()); }

    ScopedEnv config_{"XDG_CONFIG_HOME", scratch_.file("config").toUtf8()};
    KTPrefs prefs_{"org.folivo.test-attributes"};
};

TEST_F(Propagation, ARenameReachesEveryItemEverySmartFolderAndTheLastSearch)
{
    EXPECT_TRUE(customAttributeNameInUse(doc_, "Amount"));
    EXPECT_FALSE(customAttributeNameInUse(doc_, "Total"));
    ui_.progressTitles.clear();
    EXPECT_TRUE(customAttributeRename(doc_, "Amount", "Total", &prefs_));
    EXPECT_EQ(reached(), (QStringList{"Account", "Total", "Total", "amount", "Total", "|", "Total", "amount", "|", "Total",
                                      "Account", "Account", "", "", "", "", "", "|", "Account", "Total", "Total", "",
                                      "", "", "", "", "|", "Total", "", "", "", "", "", "", ""}));
    EXPECT_EQ(findNames(), (QStringList{"Total", "Other"}));
    EXPECT_EQ(ui_.progressTitles, QStringList{attributesmsg::UpdatingAttributes + " | " +
                                              attributesmsg::UpdatingAttributesText.arg(0).arg(6)});
    EXPECT_TRUE(doc_.tree().itemForPath("Big")->flag(keys::NeedsLoading));
    EXPECT_FALSE(customAttributeNameInUse(doc_, "Amount"));
    EXPECT_TRUE(customAttributeNameInUse(doc_, "amount")) << "a name differing in case is another name";
}

TEST_F(Propagation, ADeletionRemovesEntriesAndEmptiesConditionsAndReportLines)
{
    EXPECT_TRUE(customAttributeNameDelete(doc_, "Amount", &prefs_));
    EXPECT_EQ(reached(), (QStringList{"Account", "amount", "|", "", "amount", "|", "", "Account", "Account", "", "", "",
                                      "", "", "|", "Account", "", "", "", "", "", "", "", "|", "", "", "", "", "", "",
                                      "", ""}));
    EXPECT_EQ(findNames(), (QStringList{"", "Other"}));
    EXPECT_EQ(entries(a_), (QList<AttributeEntry>{{"Account", "Visa"}}));
}

TEST_F(Propagation, NothingToDoChangesNothing)
{
    const auto before = packageListing(db_);
    EXPECT_FALSE(customAttributeRename(doc_, "Unused", "Other", &prefs_));
    EXPECT_FALSE(customAttributeNameDelete(doc_, "Unused", &prefs_));
    EXPECT_FALSE(customAttributeRename(doc_, "Amount", "Amount", &prefs_));
    // Entries added and not yet named are nobody's to rename.
    ASSERT_EQ(addCustomAttributeRow(doc_, a_), 2);
    const auto withRow = packageListing(db_);
    EXPECT_FALSE(customAttributeRename(doc_, "", "Total", &prefs_));
    EXPECT_FALSE(customAttributeNameDelete(doc_, "", &prefs_));
    EXPECT_EQ(listingDifferences(withRow, packageListing(db_)), QString());
    EXPECT_EQ(entries(a_).size(), 3);
    (void)before;
}

TEST_F(Propagation, ARenameSurvivesACrashBeforeTheNextSave)
{
    ASSERT_TRUE(doc_.saveChanges(false).saved);
    ASSERT_TRUE(customAttributeRename(doc_, "Amount", "Total", &prefs_));
    const QStringList expected = reached();
    // The program ends without saving: ".changed" stays, ".index" still has the old names.
    doc_.close();
    ASSERT_TRUE(QFile::exists(db_ + "/.changed"));
    MyDocument reopened(ui_);
    ASSERT_TRUE(reopened.openDatabase(db_).ok());
    EXPECT_TRUE(reopened.rebuiltAtOpen());
    QStringList after;
    for (const QString& p : {a_, b_, QString("Bank")})
        for (const AttributeEntry& e : customAttributesOf(*reopened.tree().itemForPath(p)))
            after << e.name;
    const auto def = [&](const QString& f, const QString& k) { return reopened.tree().itemForPath(f)->value(k)->dict(); };
    after << "|" << conditionNames(def("Big", keys::SmartFolder)) << "|" << reportNames(def("Big", "ReportCriteria"))
          << "|" << reportNames(def("Taxes", "ReportCriteria")) << "|" << reportNames(def("Picked", "ReportCriteria"));
    EXPECT_EQ(after, expected);
}

TEST_F(Propagation, ADiskErrorIsReportedAndStopsTheWrites)
{
    {
        fs::ScopedFault full([](fs::Op op, const QString&) { return op == fs::Op::Write; });
        EXPECT_TRUE(customAttributeRename(doc_, "Amount", "Total", &prefs_));
    }
    EXPECT_EQ(ui_.diskErrors.size(), 1);
    // The tree has the change; the next save's index carries it.
    EXPECT_EQ(entries(b_)[0].name, "Total");
    EXPECT_TRUE(temporaryNamesBelow(db_).isEmpty());
}

// ---- The names file ------------------------------------------------------------------------------

class NamesFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        MyDocument maker(ui_);
        ASSERT_TRUE(maker.createDatabase(db_).ok());
        maker.close();
    }
    Scratch scratch_;
    QString db_ = scratch_.file("Names.fvdb");
    QString names_ = db_ + "/.customAttributeNames";
    FakeUi ui_;
};

TEST_F(NamesFile, AnAbsentFileIsCreatedEmpty)
{
    ASSERT_TRUE(QFile::remove(names_));
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(db_).ok());
    const auto stored = plist::readKeyedArchiveFile(names_);
    ASSERT_TRUE(stored && stored->isArray());
    EXPECT_TRUE(stored->array().empty());
    EXPECT_TRUE(ui_.asked.isEmpty());
}

TEST_F(NamesFile, ADamagedFileIsKeptAsideReportedAndNeverWrittenOver)
{
    // One earlier copy aside already: it is not written over either.
    ASSERT_TRUE(writeAll(names_ + ".damaged", "earlier"));
    ASSERT_TRUE(writeAll(names_, "not an archive"));
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(db_).ok());
    EXPECT_EQ(readAll(names_ + ".damaged"), "earlier");
    EXPECT_EQ(readAll(names_ + ".damaged2"), "not an archive");
    EXPECT_EQ(doc.customAttributes().damagedCopy(), names_ + ".damaged2");
    ASSERT_EQ(ui_.asked.size(), 1);
    EXPECT_EQ(ui_.asked[0].id, DamagedNamesPrompt);
    EXPECT_TRUE(ui_.asked[0].text.contains(".customAttributeNames.damaged2"));
    EXPECT_TRUE(doc.customAttributeNames().isEmpty());

    // The new list works as any other.
    doc.customAttributes().setNames(doc, {"Amount"});
    ASSERT_TRUE(doc.saveChanges(false).saved);
    const auto stored = plist::readKeyedArchiveFile(names_);
    ASSERT_TRUE(stored && stored->isArray());
    EXPECT_EQ(stored->array().size(), 1u);
}

TEST_F(NamesFile, AnArchiveWithoutAListIsDamagedToo)
{
    ASSERT_TRUE(plist::writeKeyedArchiveFile(names_, plist::Dict{{"Amount", "x"}}));
    const QByteArray original = readAll(names_);
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(db_).ok());
    EXPECT_EQ(readAll(names_ + ".damaged"), original);
}

TEST_F(NamesFile, ADamagedFileThatCannotMoveStaysAsItIs)
{
    ASSERT_TRUE(writeAll(names_, "not an archive"));
    MyDocument doc(ui_);
    {
        fs::ScopedFault stuck([&](fs::Op op, const QString& abs) { return op == fs::Op::Rename && abs.startsWith(names_); });
        ASSERT_TRUE(doc.openDatabase(db_).ok());
    }
    ASSERT_EQ(ui_.asked.size(), 1);
    EXPECT_EQ(ui_.asked[0].id, DamagedNamesPrompt);
    doc.customAttributes().setNames(doc, {"Amount"});
    const SaveOutcome saved = doc.saveChanges(false);
    EXPECT_TRUE(saved.error.isEmpty()) << saved.error.toStdString();
    EXPECT_EQ(readAll(names_), "not an archive");
}

TEST_F(NamesFile, AnOpenForReadingOnlyNotesWhatItWouldDo)
{
    ASSERT_TRUE(writeAll(names_, "not an archive"));
    const auto before = packageListing(db_);
    MyDocument doc(ui_);
    OpenOptions options;
    options.forReading = true;
    ASSERT_TRUE(doc.openDatabase(db_, options).ok());
    EXPECT_TRUE(doc.pendingRepairs().contains(attributesmsg::PendingDamagedNames));
    EXPECT_EQ(listingDifferences(before, packageListing(db_)), QString());
}

// ---- An encrypted database -------------------------------------------------------------------------

class EncryptedAttributes : public Fixtures {};

// Values are the owner's words: set, renamed and rebuilt, they reach the package only enciphered.
TEST_F(EncryptedAttributes, ValuesReachThePackageOnlyEncipheredAndARenameSurvivesARebuild)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    const QString password = manifest_.value("Encrypted.fvdb").toObject().value("password").toString();
    const QByteArray secret = "IBAN-SECRET-4411";
    {
        FakeUi ui;
        ui.passwords = {password};
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        doc.customAttributes().setNames(doc, {"Account"});
        ASSERT_TRUE(setCustomAttribute(doc, "Bank/Letter.pdf", "Account", QString::fromUtf8(secret)));
        doc.customAttributes().setNames(doc, {"Iban"});
        ASSERT_TRUE(customAttributeRename(doc, "Account", "Iban", nullptr));
        doc.close(); // no save: the next open rebuilds from the attributes files
    }
    QDirIterator it(pkg, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        EXPECT_FALSE(readAll(f).contains(secret)) << f.toStdString();
    }
    FakeUi ui;
    ui.passwords = {password};
    MyDocument doc(ui);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_TRUE(doc.rebuiltAtOpen());
    EXPECT_EQ(customAttributesOf(*doc.tree().itemForPath("Bank/Letter.pdf")),
              (QList<AttributeEntry>{{"Iban", QString::fromUtf8(secret)}}));
}

} // namespace
