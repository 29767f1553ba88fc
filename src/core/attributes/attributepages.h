#pragma once
// Which pages the attributes area holds for the browser's selection, what its two tool tips
// say, and whose notes and dates it shows: one answer for one selection, so the window only
// lays out what it is told.

#include <QString>
#include <vector>

namespace folivo {

class IndexItem;
class IndexTree;

enum class AttributePage { NoAttributes, File, Folder, Report };

struct AttributePagesConfig {
    std::vector<AttributePage> pages; // in the order they are added
    QString attributesToolTip;
    QString notesToolTip;
    QString shownPath; // the one selected item; empty for nothing or several
    // Whose notes the notes field shows; empty: the field is empty and neither editable nor
    // selectable.
    QString notesPath;
    bool notesEditable = false;
    // The file whose dates the file page shows (a smart file shows its real file's).
    QString filePath;
    bool datesEditable = false;
    // The folder whose page shows: the selected folder, or the plain folder a file lies in.
    QString folderPath;
    // The selected folder is "Import Logs" while the import log is kept.
    bool importLogsFolderSelected = false;
};

// `selection` in the tree's order; `importLogOn` is the "ImportLog" preference; `writable`
// whether the database can change.
AttributePagesConfig attributePagesFor(const IndexTree& tree, const std::vector<const IndexItem*>& selection,
                                       bool importLogOn, bool writable);

// "Unfiled", and "Import Logs" while the import log is kept: folders that take no attributes.
bool isRedFolder(const IndexItem& item, bool importLogOn);

} // namespace folivo
