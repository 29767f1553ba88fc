#pragma once
// Choosing and creating the folders the settings dialogs point at (the backup folder, a
// database's import folder). The dialogs go through replaceable functions, so that tests
// can answer them without a file dialog on screen.

#include "store/documentui.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace folivo::gui {

struct FolderDialogs {
    // An existing folder, chosen in a dialog titled `title` whose accept button says
    // `acceptLabel`, starting in `startFolder`; nullopt when cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& title, const QString& acceptLabel,
                                         const QString& startFolder)>
        chooseFolder;
    // The path of a folder to create, from a save dialog titled and prompting `title` that
    // proposes `proposedPath`; nullopt when cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& title, const QString& proposedPath)>
        newFolderPath;
    // A message box over `parent`; answers the index of the button chosen, -1 when closed.
    std::function<int(QWidget* parent, const Prompt& prompt)> ask;

    void alert(QWidget* parent, const QString& title, const QString& text) const
    {
        ask(parent, {title, text, {QStringLiteral("OK")}});
    }

    // The file dialogs and message boxes of the desktop, modal to their window.
    static FolderDialogs standard();
};

// Whether the folder lists anything a person put there: names beginning with "." and the
// "Icon\r" file a Mac leaves behind do not count.
bool directoryNotEmpty(const QString& path);
// Whether `path` is an existing folder that can be read (listed and entered).
bool isReadableFolder(const QString& path);

// Makes a folder at `path` ready to use without ever removing anything: a missing folder
// is created (with the folders above it); an existing folder is taken only when it is
// empty. Answers false, with a sentence for the person in `error`, when neither holds.
// `created` tells whether a folder was made.
bool prepareNewFolder(const QString& path, QString* error, bool* created = nullptr);
// Removes the folders prepareNewFolder made for `path` when they are still empty, up to
// but not including `existingAncestor`; used when a new folder turns out to be refused.
void removeEmptyFoldersUpTo(const QString& path, const QString& existingAncestor);
// The nearest folder at or above `path` that exists.
QString nearestExistingFolder(const QString& path);

} // namespace folivo::gui
