// Which pages and tool tips the attributes area gets for a selection, over a small tree
// held in memory.

#include "attributes/attributepages.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/tree.h"

#include <gtest/gtest.h>

#include <functional>

using namespace folivo;

namespace {

using P = AttributePage;

class AttributePages : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder("Unfiled");
        file("Unfiled/Loose.txt");
        folder("Import Logs");
        folder("Bank");
        folder("Bank/Visa");
        file("Bank/Visa/Welcome.pdf");
        folder("Bank/Visa/2024", true);
        folder("Bank/Visa/2024/March", true);
        file("Bank/Visa/2024/March/Statement.pdf");
        IndexItem* smart = folder("Last Import");
        smart->setValue(keys::SmartFolder, plist::Dict{});
        IndexItem* ref = file("Last Import/Statement.pdf");
        ref->setValue(keys::SmartFile, QStringLiteral("Bank/Visa/2024/March/Statement.pdf"));
    }
    IndexItem* add(const QString& path, bool folderLike, bool dated)
    {
        plist::Dict keys{{keys::Path, path}};
        if (dated)
            keys.set(keys::Date, plist::Value(plist::Date{0}));
        const qsizetype slash = path.lastIndexOf('/');
        IndexItem* parent = slash < 0 ? nullptr : tree_.itemForPath(path.left(slash));
        return tree_.insert(parent, std::make_unique<IndexItem>(keys, folderLike));
    }
    IndexItem* folder(const QString& path, bool dated = false) { return add(path, true, dated); }
    IndexItem* file(const QString& path) { return add(path, false, false); }
    AttributePagesConfig pagesFor(const QStringList& paths, bool importLog = true, bool writable = true)
    {
        std::vector<const IndexItem*> items;
        for (const QString& p : paths)
            items.push_back(tree_.itemForPath(p));
        return attributePagesFor(tree_, items, importLog, writable);
    }

    IndexTree tree_;
};

TEST_F(AttributePages, PagesToolTipsAndNotesBySelection)
{
    const QString nothingAttr = QStringLiteral(
        "You must select a single file or a regular (non-red) folder to be able to view/edit attributes, or a smart "
        "folder to be able to produce reports.");
    struct Case {
        const char* what;
        QStringList selection;
        bool importLog;
        std::vector<P> pages;
        QString attributesTip;
        QString notesTip;
        QString notesPath; // empty: no notes shown
        bool notesEditable;
        QString folderPath;
    };
    const std::vector<Case> cases = {
        {"nothing",
         {},
         true,
         {P::NoAttributes},
         nothingAttr,
         "You must select a single file or a folder to be able to view/edit notes.",
         "",
         false,
         ""},
        {"several",
         {"Bank", "Unfiled"},
         true,
         {P::NoAttributes},
         nothingAttr,
         "You must select a single file or a folder to be able to view/edit notes.",
         "",
         false,
         ""},
        {"Unfiled",
         {"Unfiled"},
         true,
         {P::NoAttributes},
         nothingAttr,
         "You can view/edit notes for the folder \"Unfiled\".",
         "Unfiled",
         true,
         ""},
        {"Import Logs while the log is kept",
         {"Import Logs"},
         true,
         {P::NoAttributes},
         nothingAttr,
         "You can view/edit notes for the folder \"Unfiled\".",
         "Import Logs",
         true,
         ""},
        {"Import Logs without the log is a plain folder",
         {"Import Logs"},
         false,
         {P::Folder},
         "You can view/edit the attributes for the folder \"Import Logs\".",
         "You can view/edit the notes for the folder \"Import Logs\".",
         "Import Logs",
         true,
         "Import Logs"},
        {"a folder",
         {"Bank/Visa"},
         true,
         {P::Folder},
         "You can view/edit the attributes for the folder \"Bank/Visa\".",
         "You can view/edit the notes for the folder \"Bank/Visa\".",
         "Bank/Visa",
         true,
         "Bank/Visa"},
        {"a smart folder",
         {"Last Import"},
         true,
         {P::Report},
         "",
         "You can view/edit the notes for the Smart Folder \"Last Import\".",
         "Last Import",
         true,
         ""},
        {"a file in a folder",
         {"Bank/Visa/Welcome.pdf"},
         true,
         {P::File, P::Folder},
         "You can view/edit the attributes for the selected file or folder \"Visa\".",
         "You can view/edit the notes for the selected file or folder \"Visa\".",
         "Bank/Visa/Welcome.pdf",
         true,
         "Bank/Visa"},
        // Filing reads the phrases of the folder above the year and month folders.
        {"a file in date folders",
         {"Bank/Visa/2024/March/Statement.pdf"},
         true,
         {P::File, P::Folder},
         "You can view/edit the attributes for the selected file or folder \"Visa\".",
         "You can view/edit the notes for the selected file or folder \"Visa\".",
         "Bank/Visa/2024/March/Statement.pdf",
         true,
         "Bank/Visa"},
        {"a file in Unfiled",
         {"Unfiled/Loose.txt"},
         true,
         {P::File},
         "You can view/edit the attributes for the selected file.",
         "You can view/edit the notes for the selected file.",
         "Unfiled/Loose.txt",
         true,
         ""},
        {"a smart file shows its real file's notes, view only",
         {"Last Import/Statement.pdf"},
         true,
         {P::File},
         "You can view the attributes for the selected Smart File.  To edit the attributes, double-click the selected "
         "filename above to be taken to the real file.",
         "You can view the notes for the selected Smart File.  To edit the notes, double-click the selectedfilename "
         "above to be taken to the real file.",
         "Bank/Visa/2024/March/Statement.pdf",
         false,
         ""},
    };
    for (const Case& c : cases) {
        const AttributePagesConfig got = pagesFor(c.selection, c.importLog);
        EXPECT_EQ(got.pages, c.pages) << c.what;
        EXPECT_EQ(got.attributesToolTip, c.attributesTip) << c.what;
        EXPECT_EQ(got.notesToolTip, c.notesTip) << c.what;
        EXPECT_EQ(got.notesPath, c.notesPath) << c.what;
        EXPECT_EQ(got.notesEditable, c.notesEditable) << c.what;
        EXPECT_EQ(got.folderPath, c.folderPath) << c.what;
    }
}

TEST_F(AttributePages, ReadOnlyDatabaseSaysViewEverywhereAndEditsNothing)
{
    for (const QStringList& selection : {QStringList{},
                                         {"Unfiled"},
                                         {"Bank/Visa"},
                                         {"Last Import"},
                                         {"Bank/Visa/Welcome.pdf"},
                                         {"Unfiled/Loose.txt"}}) {
        const AttributePagesConfig got = pagesFor(selection, true, false);
        const QString what = selection.join(',');
        EXPECT_FALSE(got.notesEditable) << what.toStdString();
        EXPECT_FALSE(got.datesEditable) << what.toStdString();
        EXPECT_FALSE(got.notesToolTip.contains("view/edit")) << what.toStdString();
        EXPECT_FALSE(got.attributesToolTip.contains("view/edit")) << what.toStdString();
        EXPECT_TRUE(got.notesToolTip.contains("view")) << what.toStdString();
    }
    // The way to the real file is only offered where the real file could be changed.
    const AttributePagesConfig smart = pagesFor({"Last Import/Statement.pdf"}, true, false);
    EXPECT_EQ(smart.attributesToolTip, "You can view the attributes for the selected Smart File.  ");
    EXPECT_EQ(smart.notesToolTip, "You can view the notes for the selected Smart File.  ");
}

TEST_F(AttributePages, DatesAreEditableOnlyOnARealFileOfAWritableDatabase)
{
    EXPECT_TRUE(pagesFor({"Bank/Visa/Welcome.pdf"}).datesEditable);
    EXPECT_FALSE(pagesFor({"Last Import/Statement.pdf"}).datesEditable);
    EXPECT_EQ(pagesFor({"Last Import/Statement.pdf"}).filePath, "Bank/Visa/2024/March/Statement.pdf");
    EXPECT_TRUE(pagesFor({"Import Logs"}).importLogsFolderSelected);
    EXPECT_FALSE(pagesFor({"Import Logs"}, false).importLogsFolderSelected);
}

} // namespace
