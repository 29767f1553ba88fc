#pragma once
// The decisions behind the browser's commands, kept apart from the window so each can be
// answered (and tested) without a display: what the selection holds, where a new folder
// goes, what a delete removes and what it asks first, what a clipboard import writes, and
// what happens when the selected file cannot be shown. The window carries them out.

#include "store/documentui.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <vector>

namespace folivo {

class IndexItem;
class IndexTree;

// What a browser item is, as the commands tell items apart. "Unfiled" is a folder of its own
// kind: it cannot be renamed, deleted or given new folders while it is open.
enum class BrowserItemKind { File, Folder, DateFolder, SmartFolder, SmartFile, Unfiled };
BrowserItemKind browserItemKind(const IndexItem& item);

// ---- Selection counts ----

struct SelectionCounts {
    int selectedFileCount = 0;
    int selectedFolderCount = 0;      // plain and date folders, "Unfiled" included
    int selectedSmartFileCount = 0;
    int selectedSmartFolderCount = 0; // reports included
    int selectedReportCount = 0;      // smart folders with a report defined
    bool singleFileSelected = false;  // exactly one item, and it is a (non-smart) file

    int total() const
    {
        return selectedFileCount + selectedFolderCount + selectedSmartFileCount + selectedSmartFolderCount;
    }
};

// Whether a smart folder's "ReportCriteria" define at least one value column: a line whose
// first attribute is named and whose second is named too unless there is no operator.
bool hasReportDefinition(const IndexItem& smartFolder);

// Counts one more selected item into `counts` (the selection is counted afresh each time).
void saveAndCountSelectedItem(SelectionCounts& counts, const IndexItem& item);
// Counts a whole selection, in order; singleFileSelected is set for a selection of one file.
SelectionCounts countSelection(const std::vector<const IndexItem*>& items);

// ---- New folder ----

// Where a new folder goes: into `parent` (nullptr: the top level) at `index`.
struct NewFolderPlace {
    const IndexItem* parent = nullptr;
    int index = 0;
};

// With one item selected, the new folder becomes the first child of an expanded item and
// goes right after a collapsed one; with none (or several) it goes first at the top level.
NewFolderPlace newFolderPlace(const IndexTree& tree, const IndexItem* singleSelected, bool singleExpanded);

// Whether a new folder may be made: never in a database that cannot be changed; with nothing
// selected; with one folder selected that can hold new folders, or one that cannot but is
// closed (the new folder then goes beside it). Files, date folders and several rows: no.
// `singleKind` and `singleExpanded` describe the selected item when exactly one is selected.
bool newButtonEnabled(bool dbWriteable, int selectedRowCount, BrowserItemKind singleKind, bool singleExpanded);

// ---- Delete ----

struct DeletePlan {
    // What goes when the deletion proceeds. A selected folder stands for everything selected
    // inside it, so nothing is deleted twice. Empty when nothing can be deleted.
    QStringList paths;
    // Shown before anything happens; none when the deletion proceeds without a question.
    std::optional<Prompt> prompt;
    // The answer (button index) that carries the deletion out; -1 when no answer does.
    int proceedButton = -1;

    // Whether the deletion goes ahead after `answer` (ignored when there is no prompt; -1 is
    // a dismissed question).
    bool proceeds(int answer) const
    {
        if (paths.isEmpty())
            return false;
        if (!prompt)
            return true;
        return proceedButton >= 0 && answer == proceedButton;
    }
};

// The Delete command over the selected items, with the "ConfirmDelete" preference: files but
// not smart files, folders but not "Unfiled" (smart and date folders included). With
// confirmation the question explains what stays and asks "No" (default) / "Yes"; without it,
// a selection holding "Unfiled" or smart files is explained and nothing is deleted. Nothing
// selected: nothing to delete and nothing to ask.
DeletePlan planDelete(const std::vector<const IndexItem*>& selected, bool confirmDelete);

// Files dragged from the browser to the trash, by their item paths. The paths are deleted
// from the last to the first.
DeletePlan planDeleteDragged(const QStringList& itemPaths, bool confirmDelete);

// Replaces each "%@" in `format`, left to right, with the next of `args`.
QString fillPlaceholders(const QString& format, const QStringList& args);

// ---- Clipboard import ----

enum class ClipboardImportKind {
    Data,         // write the data of `mimeType` to `fileName`
    Files,        // import the files in `files`
    AskExtension, // unknown type: ask for an extension, then write `mimeType`'s data
    Empty,        // nothing to import: show cmdmsg::ClipboardEmpty
};

struct ClipboardImportChoice {
    ClipboardImportKind kind = ClipboardImportKind::Empty;
    QString mimeType; // the format to read, as the clipboard listed it
    QString fileName; // for Data
    QStringList files; // for Files: local paths
};

// Chooses what a clipboard import writes from the formats the clipboard offers (in the
// clipboard's order) and, when it offers "text/uri-list", the URLs it holds.
ClipboardImportChoice chooseClipboardImport(const QStringList& formats, const QList<QUrl>& urls = {});

// The extension typed for an unknown clipboard type, made usable: surrounding blanks and
// leading dots dropped, "/" and control characters replaced. nullopt when nothing is left.
std::optional<QString> clipboardExtension(const QString& typed);
// "Clipboard." + the extension, kept short enough for the package.
QString clipboardFileName(const QString& extension);

// ---- Selecting a file that cannot be shown ----

enum class SelectedFileAction {
    Show,                 // display the file
    RemoveItem,           // say FileMissingRemoved, then record the item's deletion
    ReportMissingKeep,    // read-only database: say FileMissing, clear the selection
    ReportUnreadableKeep, // say FileUnreadableKept; the item and its file stay
};

struct SelectedFileDecision {
    SelectedFileAction action = SelectedFileAction::Show;
    QString message; // empty for Show
};

// `fileExists`: the plain file is in the package; `storedFormExists`: the file or one of its
// enciphered forms is there; `readable`: the file could be read (for an encrypted database,
// deciphered). Only an item with nothing at all on disk is ever removed.
SelectedFileDecision decideSelectedFile(bool fileExists, bool storedFormExists, bool readable, bool dbWriteable);

} // namespace folivo
