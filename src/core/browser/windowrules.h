#pragma once
// The decisions the database window carries out on the selected items, kept in the core so
// they are answered the same way by every caller and tested without a display: which files
// a smart folder of chosen files stands for, sorting the selected folders and the sorting
// switches, whether the selected file is still on disk in any stored form, and what a drop
// of login records makes.

#include "browser/commands.h"
#include "plist/value.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace folivo {

class IndexItem;
class IndexTree;
class MyDocument;

// The folder the browser's selected row stands for when something is filed "into the
// selection": a file or a date folder stands for the plain folder it lies in. Empty when
// nothing (or nothing inside a plain folder) is selected.
QString folderTheSelectionStandsFor(const IndexItem* selected);

// The items a smart folder of chosen files ("Last Import", type 2) names through the
// bookmarks of its conditions, by stored path, in the order of its conditions, each once,
// and only those the tree still holds. Empty for any other smart folder.
QStringList filesOfSelectedItemsSmartFolder(const IndexTree& tree, const IndexItem& folder);

// Sorts the contents of each selected folder by name (a folder selected inside another
// selected one is sorted with it), keeping the order in the folder's attributes file.
// Files, smart folders and empty folders are left alone. Nothing happens in a database that
// cannot be changed. Answers whether any folder was sorted; a folder whose attributes file
// cannot be written is reported as a disk error.
bool sortSelectedFolders(MyDocument& doc, const std::vector<const IndexItem*>& selected);

// One of the sorting switches of the View menu.
enum class SortSwitch { KeepSorted, YearsDescending, MonthsDescending, IgnoreCase };
// Turns the switch over, keeps it with the database's own settings and sorts the whole tree
// again. False (and nothing changes) in a database that cannot be changed.
bool toggleSortingSwitch(MyDocument& doc, SortSwitch which);

// What is on disk for the selected file at `path`: the plain file, or any of its enciphered
// forms, whether one of them can be read (deciphered, for an encrypted database), and so
// what the window does with the selection.
struct SelectedFileOnDisk {
    bool fileExists = false;       // the plain file (or a link of that name)
    bool storedFormExists = false; // the plain file or one of its enciphered forms
    bool readable = false;
};
SelectedFileOnDisk selectedFileOnDisk(const MyDocument& doc, const QString& path);
SelectedFileDecision decideSelectedFileOnDisk(const MyDocument& doc, const QString& path);

// Login records dropped on the browser, into `folderPath` ("" for the top level) from
// position `row` (-1: where the rules put them): each becomes a new folder named by the
// record and carrying its login keys, one after the other. Answers the folders made, in
// order. Stops at a disk error and when the target folder has gone; nothing is made in a
// database that cannot be changed.
QStringList dropLoginRecords(MyDocument& doc, const plist::Array& records, const QString& folderPath, int row);

} // namespace folivo
