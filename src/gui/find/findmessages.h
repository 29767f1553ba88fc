#pragma once
// The texts of the Find dialog and the Find command.

#include <QString>

namespace folivo::gui::findmsg {

inline const QString Find = QStringLiteral("Find…");
inline const QString DialogTitle = QStringLiteral("Find");
inline const QString FindButton = QStringLiteral("Find");
inline const QString AllConditions = QStringLiteral("all");
inline const QString AnyCondition = QStringLiteral("any");
inline const QString MatchLead = QStringLiteral("Match");
inline const QString MatchTail = QStringLiteral("of the following conditions:");
inline const QString TypeLead = QStringLiteral("Then:");
inline const QString SelectAll = QStringLiteral("Select all matching items");
inline const QString FindForward = QStringLiteral("Find the next match");
inline const QString FindBackward = QStringLiteral("Find the previous match");
inline const QString FindNext = QStringLiteral("Find Next");
inline const QString FindPrevious = QStringLiteral("Find Previous");
inline const QString SearchingContents = QStringLiteral("Searching CONTENTS %1 from here...");
inline const QString Forward = QStringLiteral("forward");
inline const QString Backward = QStringLiteral("backward");
inline const QString SearchingItems = QStringLiteral("Searching…");
inline const QString ContentsNothingTitle = QStringLiteral("Searching Contents");
inline const QString NothingFound = QStringLiteral("Nothing was found.");
inline const QString StoppedHere = QStringLiteral("Find Stopped Here.");
inline const QString ExpandFound = QStringLiteral("Expand found folders");
inline const QString To = QStringLiteral("to");
inline const QString AttributeLead = QStringLiteral("Attribute");
inline const QString StoredCondition = QStringLiteral("Stored condition");
inline const QString Searching = QStringLiteral("Selecting all matching items…");
// Keeping the search as a smart folder.
inline const QString MakeSmartFolder = QStringLiteral("Create a Smart Folder of all matching files");
inline const QString SmartFolderNameLead = QStringLiteral("Smart Folder name:");
inline const QString SmartFolderDefaultName = QStringLiteral("Smart Folder");
inline const QString EditSmartFolder = QStringLiteral("Change the conditions of this Smart Folder:");
inline const QString SaveButton = QStringLiteral("Save");

// Entries of a row's condition menu.
inline const QString NameContains = QStringLiteral("Name contains");
inline const QString NameContainsIgnoringCase = QStringLiteral("Name contains (any case)");
inline const QString NameBeginsWith = QStringLiteral("Name begins with");
inline const QString NameEndsWith = QStringLiteral("Name ends with");
inline const QString NameIs = QStringLiteral("Name is");
inline const QString PathContains = QStringLiteral("Path contains");
inline const QString NotesContain = QStringLiteral("Notes contain");
inline const QString ContentsContain = QStringLiteral("Contents contain");
inline const QString TagContains = QStringLiteral("Tag contains");
inline const QString DatesContain = QStringLiteral("Dates include");
inline const QString StartsOnOrAfter = QStringLiteral("Starting date on or after");
inline const QString EndsOnOrBefore = QStringLiteral("Ending date on or before");
inline const QString DatesBetween = QStringLiteral("Dates between");
inline const QString ModifiedOn = QStringLiteral("File modified on");
inline const QString ModifiedOnOrAfter = QStringLiteral("File modified on or after");
inline const QString ModifiedOnOrBefore = QStringLiteral("File modified on or before");
inline const QString ModifiedBetween = QStringLiteral("File modified between");
inline const QString CustomAttribute = QStringLiteral("Custom attribute...");

// The match-type menu of a custom attribute, in the stored order 0-4.
inline const QString MatchContains = QStringLiteral("contains");
inline const QString MatchContainsIgnoringCase = QStringLiteral("contains (any case)");
inline const QString MatchEquals = QStringLiteral("= (number)");
inline const QString MatchGreater = QStringLiteral("> (number)");
inline const QString MatchLess = QStringLiteral("< (number)");

inline const QString MissingDate = QStringLiteral("Missing date.");

inline const QString ContentsWarningSmartFolder = QStringLiteral(
    "Warning: You have specified a Smart Folder that searches file CONTENTS.  When you click \"Find\" or later select "
    "or expand this folder it can take a *long* time to search ALL file contents to populate the folder. You will be "
    "able to stop the searching by holding the CONTROL key.");
inline const QString ContentsWarningSelectAll = QStringLiteral(
    "Warning: You have specified search file CONTENTS and select ALL files that match.  When you click \"Find\" it can "
    "take a *long* time to search ALL file contents. You will be able to stop the searching by holding the CONTROL "
    "key.");
inline const QString ContentsWarningFind = QStringLiteral(
    "Warning: You have specified search file CONTENTS.  When you click \"Find\" it can take a *long* time to search "
    "file contents. You will be able to stop the searching by holding the CONTROL key.");

} // namespace folivo::gui::findmsg
