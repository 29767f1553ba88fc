// The browser commands' decisions: what the selection holds, where a new folder goes, what
// Delete removes and asks, which menu commands are available, what a clipboard import
// writes, and what happens to a selected file that cannot be shown.

#include "browser/commands.h"
#include "browser/menuvalidation.h"

#include "browser/messages.h"
#include "store/keys.h"
#include "store/packagepath.h"
#include "store/tree.h"

#include <gtest/gtest.h>

#include <functional>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(", ").toStdString() << ']';
}

using namespace folivo;

namespace {

std::unique_ptr<IndexItem> folder(const QString& path)
{
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, true);
}
std::unique_ptr<IndexItem> dateFolder(const QString& path)
{
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}, {keys::Date, 2023}}, true);
}
std::unique_ptr<IndexItem> file(const QString& path)
{
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, false);
}
std::unique_ptr<IndexItem> smartFile(const QString& path, const QString& real)
{
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}, {keys::SmartFile, real}}, false);
}

plist::Dict valueLine(const char* a1, int op, const char* a2)
{
    return plist::Dict{{"attribute1", a1}, {"operator", op}, {"attribute2", a2}};
}
plist::Dict reportCriteria(plist::Array lines)
{
    return plist::Dict{{"values", std::move(lines)}, {"reportDisplayDates", 0}};
}
std::unique_ptr<IndexItem> smartFolder(const QString& path, std::optional<plist::Dict> report = std::nullopt)
{
    plist::Dict keys{{keys::Path, path}, {keys::SmartFolder, plist::Dict{{"Type", 3}}}};
    if (report)
        keys.set(QStringLiteral("ReportCriteria"), *report);
    return std::make_unique<IndexItem>(std::move(keys), true);
}

// Unfiled
// Bank/          Visa/ Statement.pdf,  2023/ Loan.pdf,  Fees.pdf
// Tax            (collapsed plain folder)
// Costs          smart folder with a report, holding the smart file Costs/Fees.pdf
// Found          smart folder without a report
struct Browser {
    IndexTree tree;
    IndexItem* unfiled = tree.insert(nullptr, folder("Unfiled"));
    IndexItem* bank = tree.insert(nullptr, folder("Bank"));
    IndexItem* visa = tree.insert(bank, folder("Bank/Visa"));
    IndexItem* statement = tree.insert(visa, file("Bank/Visa/Statement.pdf"));
    IndexItem* year = tree.insert(bank, dateFolder("Bank/2023"));
    IndexItem* loan = tree.insert(year, file("Bank/2023/Loan.pdf"));
    IndexItem* fees = tree.insert(bank, file("Bank/Fees.pdf"));
    IndexItem* tax = tree.insert(nullptr, folder("Tax"));
    IndexItem* costs = tree.insert(nullptr, smartFolder("Costs", reportCriteria({valueLine("Amount", 0, "")})));
    IndexItem* costsFees = tree.insert(costs, smartFile("Costs/Fees.pdf", "Bank/Fees.pdf"));
    IndexItem* found = tree.insert(nullptr, smartFolder("Found"));
};

} // namespace

// ---- Selection counts ----

TEST(Commands, AReportNeedsOneCompleteValueAmongTheFour)
{
    const plist::Dict empty = valueLine("", 0, "");
    struct Case {
        const char* what;
        std::optional<plist::Dict> criteria;
        bool report;
    };
    const Case cases[] = {
        {"no definition", std::nullopt, false},
        {"four unused lines", reportCriteria({empty, empty, empty, empty}), false},
        {"one attribute, no operator", reportCriteria({empty, empty, valueLine("Amount", 0, ""), empty}), true},
        {"operator without second attribute", reportCriteria({valueLine("Amount", 3, ""), empty}), false},
        {"operator with both attributes", reportCriteria({empty, valueLine("Amount", 2, "Tax"), empty}), true},
        {"second attribute but no first", reportCriteria({valueLine("", 1, "Tax")}), false},
        {"only a fifth line", reportCriteria({empty, empty, empty, empty, valueLine("Amount", 0, "")}), false},
        {"values not a list", plist::Dict{{"values", "Amount"}}, false},
        {"line not a record", reportCriteria({plist::Value("Amount"), valueLine("Amount", 0, "")}), true},
    };
    for (const Case& c : cases) {
        auto item = smartFolder("Costs", c.criteria);
        EXPECT_EQ(hasReportDefinition(*item), c.report) << c.what;
    }
}

TEST(Commands, SelectionIsCountedByKind)
{
    Browser b;
    const SelectionCounts all =
        countSelection({b.unfiled, b.bank, b.year, b.statement, b.fees, b.costs, b.costsFees, b.found});
    EXPECT_EQ(all.selectedFolderCount, 3); // Unfiled, Bank, the year folder
    EXPECT_EQ(all.selectedFileCount, 2);
    EXPECT_EQ(all.selectedSmartFileCount, 1);
    EXPECT_EQ(all.selectedSmartFolderCount, 2);
    EXPECT_EQ(all.selectedReportCount, 1);
    EXPECT_FALSE(all.singleFileSelected);

    EXPECT_TRUE(countSelection({b.fees}).singleFileSelected);
    EXPECT_FALSE(countSelection({b.costsFees}).singleFileSelected);
    EXPECT_FALSE(countSelection({b.visa}).singleFileSelected);
    EXPECT_EQ(countSelection({}).total(), 0);

    EXPECT_EQ(browserItemKind(*b.unfiled), BrowserItemKind::Unfiled);
    EXPECT_EQ(browserItemKind(*b.year), BrowserItemKind::DateFolder);
    // Only the top-level folder is the system's "Unfiled".
    Browser other;
    IndexItem* nested = other.tree.insert(other.bank, folder("Bank/Unfiled"));
    EXPECT_EQ(browserItemKind(*nested), BrowserItemKind::Folder);
}

// ---- New folder ----

TEST(Commands, NewFolderGoesIntoAnOpenFolderAndBesideAClosedOne)
{
    Browser b;
    struct Case {
        const char* what;
        const IndexItem* selected;
        bool expanded;
        const IndexItem* parent;
        int index;
    };
    const Case cases[] = {
        {"nothing selected", nullptr, false, nullptr, 0},
        {"collapsed top-level folder", b.bank, false, nullptr, 2},
        {"expanded folder", b.bank, true, b.bank, 0},
        {"collapsed inner folder", b.visa, false, b.bank, 1},
        {"collapsed Unfiled", b.unfiled, false, nullptr, 1},
        {"collapsed smart folder", b.costs, false, nullptr, 4},
    };
    for (const Case& c : cases) {
        const NewFolderPlace place = newFolderPlace(b.tree, c.selected, c.expanded);
        EXPECT_EQ(place.parent, c.parent) << c.what;
        EXPECT_EQ(place.index, c.index) << c.what;
    }
    // An item that already left the tree does not place anything inside its old folder.
    auto gone = b.tree.take(b.tax);
    const NewFolderPlace place = newFolderPlace(b.tree, gone.get(), false);
    EXPECT_EQ(place.parent, nullptr);
    EXPECT_EQ(place.index, 0);
}

TEST(Commands, NewButtonFollowsTheSelectedKind)
{
    using K = BrowserItemKind;
    struct Case {
        bool writeable;
        int rows;
        K kind;
        bool expanded;
        bool enabled;
    };
    const Case cases[] = {
        {true, 0, K::File, false, true},          {true, 1, K::Folder, false, true},
        {true, 1, K::Folder, true, true},         {true, 1, K::Unfiled, false, true},
        {true, 1, K::Unfiled, true, false},       {true, 1, K::SmartFolder, false, true},
        {true, 1, K::SmartFolder, true, false},   {true, 1, K::DateFolder, false, false},
        {true, 1, K::File, false, false},         {true, 1, K::SmartFile, false, false},
        {true, 2, K::Folder, false, false},
        // A read-only database never gets a new folder, whatever is selected.
        {false, 0, K::File, false, false},        {false, 1, K::Folder, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(newButtonEnabled(c.writeable, c.rows, c.kind, c.expanded), c.enabled)
            << "writeable " << c.writeable << " rows " << c.rows << " kind " << int(c.kind) << " expanded "
            << c.expanded;
}

// ---- Delete ----

TEST(Commands, DeleteQuestionExplainsWhatStays)
{
    Browser b;
    const QString unfiled = cmdmsg::UnfiledCannotBeDeleted;
    const QString smart = cmdmsg::SmartFilesCannotBeDeleted;
    struct Case {
        const char* what;
        std::vector<const IndexItem*> selected;
        QString text;
        QStringList buttons;
        QStringList paths;
    };
    const Case cases[] = {
        {"Unfiled alone", {b.unfiled}, unfiled, {"OK"}, {}},
        {"two files", {b.statement, b.fees},
         "Do you really want to delete the selected items?", {"No", "Yes"},
         {"Bank/Visa/Statement.pdf", "Bank/Fees.pdf"}},
        {"one folder", {b.tax}, "Do you really want to delete the selected item?", {"No", "Yes"}, {"Tax"}},
        {"Unfiled and a file", {b.unfiled, b.fees},
         unfiled + "Do you really want to delete the remaining selected item?", {"No", "Yes"},
         {"Bank/Fees.pdf"}},
        {"a smart file alone", {b.costsFees}, smart, {"OK"}, {}},
        {"smart file, smart folder and date folder", {b.costsFees, b.found, b.year},
         smart + "Do you really want to delete the remaining selected items?", {"No", "Yes"},
         {"Found", "Bank/2023"}},
        {"everything that cannot go, and one that can", {b.unfiled, b.costsFees, b.tax},
         unfiled + smart + "Do you really want to delete the remaining selected item?", {"No", "Yes"}, {"Tax"}},
    };
    for (const Case& c : cases) {
        const DeletePlan plan = planDelete(c.selected, true);
        ASSERT_TRUE(plan.prompt) << c.what;
        EXPECT_EQ(plan.prompt->text, c.text) << c.what;
        EXPECT_EQ(plan.prompt->buttons, c.buttons) << c.what;
        EXPECT_EQ(plan.paths, c.paths) << c.what;
        // Only "Yes" deletes; the default answer and a dismissed question never do.
        EXPECT_FALSE(plan.proceeds(0)) << c.what;
        EXPECT_FALSE(plan.proceeds(-1)) << c.what;
        EXPECT_EQ(plan.proceeds(1), c.buttons.size() == 2) << c.what;
    }
}

TEST(Commands, DeleteWithoutConfirmationLeavesAMixedSelectionAlone)
{
    Browser b;
    struct Case {
        const char* what;
        std::vector<const IndexItem*> selected;
        std::optional<QString> explanation;
        QStringList paths;
    };
    const Case cases[] = {
        {"files and folders", {b.fees, b.tax, b.found}, std::nullopt, {"Bank/Fees.pdf", "Tax", "Found"}},
        {"with Unfiled", {b.fees, b.unfiled, b.costsFees}, cmdmsg::UnfiledCannotBeDeleted, {}},
        {"with a smart file", {b.fees, b.costsFees}, cmdmsg::SmartFilesCannotBeDeleted, {}},
        {"nothing selected", {}, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        const DeletePlan plan = planDelete(c.selected, false);
        EXPECT_EQ(plan.paths, c.paths) << c.what;
        if (c.explanation) {
            ASSERT_TRUE(plan.prompt) << c.what;
            EXPECT_EQ(plan.prompt->text, *c.explanation) << c.what;
            EXPECT_EQ(plan.prompt->buttons, QStringList{"OK"}) << c.what;
            EXPECT_FALSE(plan.proceeds(0)) << c.what;
        } else {
            EXPECT_FALSE(plan.prompt) << c.what;
            EXPECT_EQ(plan.proceeds(0), !c.paths.isEmpty()) << c.what;
        }
    }
    // Nothing selected asks nothing with confirmation on either.
    const DeletePlan none = planDelete({}, true);
    EXPECT_FALSE(none.prompt);
    EXPECT_FALSE(none.proceeds(1));
}

TEST(Commands, ASelectedFolderIsDeletedOnceForItsSelectedContents)
{
    Browser b;
    // The contents listed before and after their folder, and a sibling whose name only
    // starts like the folder's.
    IndexItem* bankingTop = b.tree.insert(nullptr, folder("Banking"));
    const DeletePlan plan = planDelete({b.statement, b.bank, b.loan, b.visa, bankingTop}, true);
    EXPECT_EQ(plan.paths, QStringList({"Bank", "Banking"}));
    // The question still counts what the user selected.
    ASSERT_TRUE(plan.prompt);
    EXPECT_EQ(plan.prompt->text, "Do you really want to delete the selected items?");

    // A file inside "Unfiled" goes even though "Unfiled" itself stays.
    IndexItem* inUnfiled = b.tree.insert(b.unfiled, file("Unfiled/Receipt.pdf"));
    EXPECT_EQ(planDelete({b.unfiled, inUnfiled}, true).paths, QStringList{"Unfiled/Receipt.pdf"});
}

TEST(Commands, FilesDraggedToTheTrash)
{
    const DeletePlan one = planDeleteDragged({"Bank/Fees.pdf"}, true);
    ASSERT_TRUE(one.prompt);
    EXPECT_EQ(one.prompt->text, "Do you really want delete the file you dragged to the trash?");
    EXPECT_EQ(one.prompt->buttons, QStringList({"No", "Yes"}));
    EXPECT_TRUE(one.proceeds(1));
    EXPECT_FALSE(one.proceeds(0));

    // Deleted from the last to the first.
    const DeletePlan two = planDeleteDragged({"Bank/Fees.pdf", "Tax/2023.pdf"}, true);
    EXPECT_EQ(two.prompt->text, "Do you really want delete the files you dragged to the trash?");
    EXPECT_EQ(two.paths, QStringList({"Tax/2023.pdf", "Bank/Fees.pdf"}));

    const DeletePlan unasked = planDeleteDragged({"Bank/Fees.pdf"}, false);
    EXPECT_FALSE(unasked.prompt);
    EXPECT_TRUE(unasked.proceeds(0));
    EXPECT_FALSE(planDeleteDragged({}, true).prompt);
}

TEST(Commands, PlaceholdersAreFilledOnceFromTheLeft)
{
    // A replacement that itself holds "%@" is not filled again.
    EXPECT_EQ(fillPlaceholders("%@%@%@", {"a%@", "b", "c"}), "a%@bc");
    EXPECT_EQ(fillPlaceholders("x%@y%@", {"1"}), "x1y");
}

// ---- Menu validation ----

namespace {

MenuContext writeableWithOneFile()
{
    MenuContext c;
    c.dbOpen = true;
    c.dbWriteable = true;
    c.selectedRowCount = 1;
    c.singleKind = BrowserItemKind::File;
    c.counts.selectedFileCount = 1;
    c.counts.singleFileSelected = true;
    c.canCopySelectedFile = true;
    c.clipboardHasData = true;
    c.autoTaggingSpecified = true;
    return c;
}

} // namespace

TEST(Commands, MenuCommandsFollowTheDatabaseAndTheSelection)
{
    using M = MenuCommand;
    using K = BrowserItemKind;
    struct Case {
        const char* what;
        M command;
        std::function<void(MenuContext&)> change;
        bool enabled;
    };
    const auto readOnly = [](MenuContext& c) { c.dbWriteable = false; };
    const auto noSelection = [](MenuContext& c) {
        c.selectedRowCount = 0;
        c.counts = {};
    };
    const auto single = [](K kind, bool expanded = false) {
        return [=](MenuContext& c) {
            c.selectedRowCount = 1;
            c.singleKind = kind;
            c.singleExpanded = expanded;
            c.counts = {};
            if (kind == K::Folder || kind == K::DateFolder || kind == K::Unfiled)
                c.counts.selectedFolderCount = 1;
            if (kind == K::SmartFolder)
                c.counts.selectedSmartFolderCount = 1;
            if (kind == K::SmartFile)
                c.counts.selectedSmartFileCount = 1;
        };
    };
    const auto none = [](MenuContext&) {};
    const Case cases[] = {
        // A read-only database imports nothing, the clipboard included, and changes nothing.
        {"clipboard import", M::ImportFromClipboard, none, true},
        {"clipboard import, read-only", M::ImportFromClipboard, readOnly, false},
        {"clipboard import, empty clipboard", M::ImportFromClipboard, [](MenuContext& c) { c.clipboardHasData = false; }, false},
        {"import, read-only", M::Import, readOnly, false},
        {"import folder settings, read-only", M::ImportFolderSettings, readOnly, false},
        {"duplicate", M::Duplicate, none, true},
        {"duplicate, read-only", M::Duplicate, readOnly, false},
        {"duplicate a folder", M::Duplicate, single(K::Folder), false},
        {"custom attributes, read-only", M::CustomAttributes, readOnly, false},
        {"auto tagging, read-only", M::SpecifyAutoTagging, readOnly, false},
        {"auto tag selected", M::AutoTagSelectedFiles, none, true},
        {"auto tag selected, nothing selected", M::AutoTagSelectedFiles, noSelection, false},
        {"auto tag imported, not specified", M::AutoTagImportedFiles, [](MenuContext& c) { c.autoTaggingSpecified = false; }, false},
        {"encrypt, read-only", M::EncryptDatabase, readOnly, false},
        {"keep sorted, read-only", M::KeepSorted, readOnly, false},
        {"copy a shown file, read-only", M::Copy, readOnly, true},
        {"copy a shown report", M::Copy, [](MenuContext& c) { c.canCopySelectedFile = false, c.displayingReport = true; }, true},
        {"copy with nothing shown", M::Copy, [](MenuContext& c) { c.canCopySelectedFile = false; }, false},
        {"unencrypted copy of a plain database", M::MakeUnencryptedCopy, none, false},
        {"unencrypted copy, read-only encrypted", M::MakeUnencryptedCopy, [](MenuContext& c) { c.dbWriteable = false, c.dbEncrypted = true; }, true},
        {"print, nothing selected", M::Print, noSelection, false},
        {"export, read-only", M::Export, readOnly, true},
        {"export, nothing selected", M::Export, noSelection, false},
        {"backup without a backup folder", M::Backup, [](MenuContext& c) { c.needsBackup = true; }, false},
        {"backup", M::Backup, [](MenuContext& c) { c.needsBackup = true, c.backupFolderSet = true; }, true},
        {"backup, nothing to back up", M::Backup, [](MenuContext& c) { c.backupFolderSet = true; }, false},
        {"find next after a forward find", M::FindNext, [](MenuContext& c) { c.findType = 1; }, true},
        {"find previous after select-all", M::FindPrevious, [](MenuContext& c) { c.findType = 2; }, false},
        {"back", M::Back, [](MenuContext& c) { c.historyCanGoBack = true; }, true},
        {"forward at the end", M::Forward, [](MenuContext& c) { c.historyCanGoBack = true; }, false},
        {"expand all, read-only", M::ExpandAll, readOnly, true},
        // The attributes can be looked at in any database; where they sit is a setting that is written.
        {"show attributes, read-only", M::ShowAttributes, readOnly, true},
        {"show attributes, nothing selected", M::ShowAttributes, noSelection, true},
        {"moveable attributes panel, read-only", M::MoveableAttributesPanel, readOnly, false},
        {"no database: show attributes", M::ShowAttributes, [](MenuContext& c) { c.dbOpen = false; }, false},
        // New Folder follows the New button.
        {"new folder beside a file", M::NewFolder, none, false},
        {"new folder, nothing selected", M::NewFolder, noSelection, true},
        {"new folder, nothing selected, read-only", M::NewFolder, [&](MenuContext& c) { noSelection(c), readOnly(c); }, false},
        {"new folder in an open smart folder", M::NewFolder, single(K::SmartFolder, true), false},
        {"new folder beside a closed smart folder", M::NewFolder, single(K::SmartFolder, false), true},
        // Delete, Sort and Edit Name change the database and need something to act on.
        {"delete a file", M::Delete, none, true},
        {"delete, read-only", M::Delete, readOnly, false},
        {"delete, nothing selected", M::Delete, noSelection, false},
        {"sort a folder", M::Sort, single(K::Folder), true},
        {"sort a folder, read-only", M::Sort, [&](MenuContext& c) { single(K::Folder)(c), readOnly(c); }, false},
        {"sort a file", M::Sort, none, false},
        {"sort a smart folder", M::Sort, single(K::SmartFolder), false},
        {"edit a file's name", M::EditName, none, true},
        {"edit a smart folder's name", M::EditName, single(K::SmartFolder), true},
        {"edit a name, read-only", M::EditName, readOnly, false},
        {"edit a date folder's name", M::EditName, single(K::DateFolder), false},
        {"edit Unfiled's name", M::EditName, single(K::Unfiled), false},
        {"edit a smart file's name", M::EditName, single(K::SmartFile), false},
        {"edit the kept Last Import's name", M::EditName, [&](MenuContext& c) { single(K::SmartFolder)(c), c.singleIsMaintainedLastImport = true; }, false},
        {"edit two names", M::EditName, [](MenuContext& c) { c.selectedRowCount = 2; }, false},
        // Without a database only the application's commands remain.
        {"no database: open", M::OpenDatabase, [](MenuContext& c) { c.dbOpen = false; }, true},
        {"no database: close", M::Close, [](MenuContext& c) { c.dbOpen = false; }, false},
        {"no database: copy", M::Copy, [](MenuContext& c) { c.dbOpen = false; }, false},
    };
    for (const Case& c : cases) {
        MenuContext context = writeableWithOneFile();
        c.change(context);
        EXPECT_EQ(menuState(c.command, context).enabled, c.enabled) << c.what;
    }
}

TEST(Commands, BusyModeDisablesEverythingButKeepsCheckMarks)
{
    MenuContext c = writeableWithOneFile();
    c.userInteractionDisabled = true;
    c.sortingIgnoreCase = true;
    for (int i = int(MenuCommand::NewDatabase); i <= int(MenuCommand::ClearHistory); ++i)
        EXPECT_FALSE(menuState(MenuCommand(i), c).enabled) << "command " << i;
    EXPECT_EQ(menuState(MenuCommand::IgnoreCase, c).checked, std::optional<bool>(true));
}

TEST(Commands, SwitchesShowTheirStateAndPrintIsRetitled)
{
    MenuContext c = writeableWithOneFile();
    c.sortingKeepSorted = true;
    c.sortingMonthDescending = true;
    c.dbEncrypted = true;
    EXPECT_EQ(menuState(MenuCommand::KeepSorted, c).checked, std::optional<bool>(true));
    EXPECT_EQ(menuState(MenuCommand::SortYearsDescending, c).checked, std::optional<bool>(false));
    EXPECT_EQ(menuState(MenuCommand::SortMonthsDescending, c).checked, std::optional<bool>(true));
    EXPECT_EQ(menuState(MenuCommand::IgnoreCase, c).checked, std::optional<bool>(false));
    EXPECT_EQ(menuState(MenuCommand::EncryptDatabase, c).checked, std::optional<bool>(true));
    EXPECT_EQ(menuState(MenuCommand::ShowAttributes, c).checked, std::optional<bool>(false));
    c.attributesShown = true;
    c.moveableAttributesPanel = true;
    EXPECT_EQ(menuState(MenuCommand::ShowAttributes, c).checked, std::optional<bool>(true));
    EXPECT_EQ(menuState(MenuCommand::MoveableAttributesPanel, c).checked, std::optional<bool>(true));
    EXPECT_FALSE(menuState(MenuCommand::Delete, c).checked);
    EXPECT_EQ(menuState(MenuCommand::Print, c).title, std::optional<QString>("Print File..."));
    EXPECT_TRUE(menuState(MenuCommand::Print, c).enabled);
}

// ---- Clipboard import ----

TEST(Commands, ClipboardImportTakesTheRichestType)
{
    struct Case {
        QStringList formats;
        ClipboardImportKind kind;
        QString mimeType;
        QString fileName;
    };
    using C = ClipboardImportKind;
    const Case cases[] = {
        {{"text/plain", "text/html", "application/pdf"}, C::Data, "application/pdf", "Clipboard.pdf"},
        {{"text/plain", "application/rtf"}, C::Data, "application/rtf", "Clipboard.rtf"},
        {{"image/png", "image/tiff"}, C::Data, "image/tiff", "Clipboard.tif"},
        {{"text/plain;charset=utf-8", "text/html"}, C::Data, "text/html", "Clipboard.html"},
        {{"image/png", "application/postscript"}, C::Data, "image/png", "Clipboard.png"},
        {{"application/postscript", "text/plain"}, C::Data, "application/postscript", "Clipboard.ps"},
        {{"text/plain;charset=utf-8"}, C::Data, "text/plain;charset=utf-8", "Clipboard.txt"},
        {{"TEXT/PLAIN"}, C::Data, "TEXT/PLAIN", "Clipboard.txt"},
        {{"application/x-spreadsheet", "application/octet-stream"}, C::AskExtension, "application/x-spreadsheet", ""},
        {{"text/uri-list"}, C::AskExtension, "text/uri-list", ""}, // no URLs handed over
        {{}, C::Empty, "", ""},
    };
    for (const Case& c : cases) {
        const ClipboardImportChoice choice = chooseClipboardImport(c.formats);
        EXPECT_EQ(choice.kind, c.kind) << c.formats.join(", ").toStdString();
        EXPECT_EQ(choice.mimeType, c.mimeType) << c.formats.join(", ").toStdString();
        EXPECT_EQ(choice.fileName, c.fileName) << c.formats.join(", ").toStdString();
    }
    EXPECT_EQ(cmdmsg::ClipboardEmpty, "The clipboard is empty.");
}

TEST(Commands, CopiedFilesAreImportedAsFiles)
{
    // A file manager offers the files' names as text too; the files are what was copied.
    const QStringList formats{"text/uri-list", "text/plain"};
    const ClipboardImportChoice files = chooseClipboardImport(
        formats, {QUrl::fromLocalFile("/home/me/Scan 1.pdf"), QUrl::fromLocalFile("/home/me/b.txt")});
    EXPECT_EQ(files.kind, ClipboardImportKind::Files);
    EXPECT_EQ(files.files, QStringList({"/home/me/Scan 1.pdf", "/home/me/b.txt"}));

    // A web address is no file: its text is imported.
    const ClipboardImportChoice web = chooseClipboardImport(formats, {QUrl("https://example.org/a.pdf")});
    EXPECT_EQ(web.kind, ClipboardImportKind::Data);
    EXPECT_EQ(web.fileName, "Clipboard.txt");
}

TEST(Commands, TypedClipboardExtensionIsMadeUsable)
{
    struct Case {
        const char* typed;
        std::optional<QString> extension;
    };
    const Case cases[] = {
        {"csv", QString("csv")},   {".csv", QString("csv")}, {"  ..odt ", QString("odt")},
        {"a/b", QString("a-b")},   {"", std::nullopt},       {"...", std::nullopt},
        {"   ", std::nullopt},     {"tar.gz", QString("tar.gz")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clipboardExtension(c.typed), c.extension) << c.typed;
    EXPECT_EQ(clipboardFileName("csv"), "Clipboard.csv");
    EXPECT_LE(clipboardFileName(QString(400, 'x')).toUtf8().size(), MaxNameBytes);
}

// ---- A selected file that cannot be shown ----

TEST(Commands, OnlyAFileWithNothingOnDiskIsRemoved)
{
    using A = SelectedFileAction;
    struct Case {
        const char* what;
        bool fileExists, storedFormExists, readable, writeable;
        A action;
        QString message;
    };
    const Case cases[] = {
        {"plain file", true, true, true, true, A::Show, ""},
        {"deciphered stored form", false, true, true, true, A::Show, ""},
        {"nothing on disk", false, false, false, true, A::RemoveItem, cmdmsg::FileMissingRemoved},
        {"nothing on disk, read-only", false, false, false, false, A::ReportMissingKeep, cmdmsg::FileMissing},
        {"unreadable file", true, true, false, true, A::ReportUnreadableKeep, cmdmsg::FileUnreadableKept},
        {"undecipherable stored form", false, true, false, true, A::ReportUnreadableKeep, cmdmsg::FileUnreadableKept},
        {"unreadable, read-only", true, false, false, false, A::ReportUnreadableKeep, cmdmsg::FileUnreadableKept},
    };
    for (const Case& c : cases) {
        const SelectedFileDecision d = decideSelectedFile(c.fileExists, c.storedFormExists, c.readable, c.writeable);
        EXPECT_EQ(d.action, c.action) << c.what;
        EXPECT_EQ(d.message, c.message) << c.what;
    }
    EXPECT_EQ(cmdmsg::FileMissingRemoved,
              "The selected file cannot be displayed because it is missing from the database.  It will be "
              "removed from the Browser.");
}
