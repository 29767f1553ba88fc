#pragma once
// The texts of the tags field, the auto-tagging dialog and the tagging commands.

#include <QString>

namespace folivo::gui::tagmsg {

inline const QString RemoveTag = QStringLiteral("Remove tag \"%1\"");
inline const QString TypeATag = QStringLiteral("Add a tag");

inline const QString DialogTitle = QStringLiteral("Auto Tagging");
inline const QString DialogExplanation = QStringLiteral(
    "A line of a file's text that begins with one of these prefixes gives the file its tags: the rest of "
    "the line, split at the separator.");
inline const QString PrefixColumn = QStringLiteral("Prefix");
inline const QString AddPrefix = QStringLiteral("Add");
inline const QString DeletePrefix = QStringLiteral("Delete");
inline const QString Separator = QStringLiteral("Separator:");
inline const QString Comma = QStringLiteral("Comma");
inline const QString Semicolon = QStringLiteral("Semicolon");
inline const QString Space = QStringLiteral("Space");
inline const QString Done = QStringLiteral("Done");

inline const QString AutoTaggingMenu = QStringLiteral("Auto Tagging");
inline const QString SpecifyAutoTagging = QStringLiteral("Specify Auto Tagging…");
inline const QString AutoTagImportedFiles = QStringLiteral("Auto Tag Imported Files");
inline const QString AutoTagSelectedFiles = QStringLiteral("Auto Tag Selected Files");
inline const QString LookingForTags = QStringLiteral("Looking for tags ...");

} // namespace folivo::gui::tagmsg
