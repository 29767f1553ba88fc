#pragma once
// The texts of finding that the core hands to the screen, verbatim.

#include <QString>

namespace folivo::findmsg {

inline const QString MissingSmartFolderName = QStringLiteral("You must specify a name for the Smart Folder.");
inline const QString BadSmartFolderName = QStringLiteral("Smart Folder name cannot start with . or contain /.");
inline const QString NameInUse = QStringLiteral("Name already in use.");
inline const QString MissingMatchText = QStringLiteral("Missing match text.");
inline const QString MissingAttribute = QStringLiteral("Missing attribute to match.");

// Select all: the second status line and the message of the selection.
inline const QString NoFilesFoundYet = QStringLiteral("No files found yet.  Hold CONTROL to stop.");
inline const QString OneFileFound = QStringLiteral("1 file found.  Hold CONTROL to stop.");
inline const QString FilesFound = QStringLiteral("%1 files found.  Hold CONTROL to stop.");
inline const QString NoFilesFound = QStringLiteral("No Files Found");
inline const QString OneFoundFileSelected = QStringLiteral("1 Found File Selected In Browser");
inline const QString FoundFilesSelected = QStringLiteral("%1 Found Files Selected In Browser");
inline const QString SelectingAllContents = QStringLiteral("Selecting All Matching CONTENTS...");

QString foundSoFar(qsizetype count);
QString foundSelected(qsizetype count);

} // namespace folivo::findmsg
