#pragma once
// The texts of smart folders that the core hands to the screen, verbatim.

#include <QString>

namespace folivo::smartmsg {

inline const QString SearchingContents = QStringLiteral("Searching CONTENTS to populate Smart Folder...");
inline const QString Loading = QStringLiteral("Loading Smart Folder \"%1\"...");
inline const QString NoFilesAddedYet = QStringLiteral("No files added yet.  Hold CONTROL to stop.");
inline const QString OneFileAdded = QStringLiteral("1 file added.  Hold CONTROL to stop.");
inline const QString FilesAdded = QStringLiteral("%1 files added.  Hold CONTROL to stop.");
inline const QString CreatingSmartFolder = QStringLiteral("Creating Smart Folder ...");
inline const QString FilesSelected = QStringLiteral("Files In Smart Folder \"%1\" Selected in Browser");
// What a loading folder's row says beside its name.
inline const QString LoadingMark = QStringLiteral(" (loading…)");

// The second status line of a load, by the number of files added so far.
inline QString addedSoFar(qsizetype count)
{
    if (count == 0)
        return NoFilesAddedYet;
    if (count == 1)
        return OneFileAdded;
    return FilesAdded.arg(count);
}

} // namespace folivo::smartmsg
