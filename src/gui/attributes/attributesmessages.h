#pragma once
// The texts of the attributes area: its pages, fields and commands.

#include <QString>

namespace folivo::gui::attrmsg {

inline const QString FilePage = QStringLiteral("File");
inline const QString FolderPage = QStringLiteral("Folder");
inline const QString ReportPage = QStringLiteral("Report");
inline const QString NoAttributesPage = QStringLiteral("Attributes");
inline const QString NoAttributes = QStringLiteral("No attributes to show for this selection.");
inline const QString WebsiteLoginPage = QStringLiteral("Website Login");
inline const QString ReminderPage = QStringLiteral("Reminder");
inline const QString AutoFilingPage = QStringLiteral("Auto-Filing");

inline const QString StartingDate = QStringLiteral("Starting date:");
inline const QString EndingDate = QStringLiteral("Ending date:");
inline const QString ResetDates = QStringLiteral("Reset");
inline const QString Tags = QStringLiteral("Tags:");
inline const QString CustomAttributes = QStringLiteral("Custom attributes");
inline const QString Notes = QStringLiteral("Notes");

inline const QString TextMatch = QStringLiteral("Text match:");
inline const QString StartingDateFollows = QStringLiteral("Starting date follows:");
inline const QString EndingDateFollows = QStringLiteral("Ending date follows:");
inline const QString UseSelection = QStringLiteral("Use Selection");
inline const QString DayFirst = QStringLiteral("Dates in this folder's files are day first (European)");
inline const QString ApplyDates = QStringLiteral("Apply Dates to File");
inline const QString NoDateAfterPhrase = QStringLiteral("No date found after this text in the shown file.");
inline const QString ReportPlaceholder = QStringLiteral("The report of this smart folder.");

// The custom attributes of a file, and the editor of the database's names.
inline const QString AddAttribute = QStringLiteral("&Add");
inline const QString DeleteAttribute = QStringLiteral("&Delete");
inline const QString AttributeNameColumn = QStringLiteral("Name");
inline const QString AttributeValueColumn = QStringLiteral("Value");
inline const QString CustomAttributesToolTip = QStringLiteral(
    "Custom attributes of this file: choose a name from the database's names (Edit > Custom Attributes...) and "
    "type its value.");
inline const QString NewAttributeName = QStringLiteral("&New");
inline const QString DeleteAttributeName = QStringLiteral("&Delete");
inline const QString CustomAttributesCommand = QStringLiteral("Custom Attributes\u2026");

inline const QString ShowAttributes = QStringLiteral("Show Attributes");
inline const QString AttributesIconText = QStringLiteral("Attributes");
inline const QString MoveableAttributesPanel = QStringLiteral("Use Moveable Attributes Panel");
inline const QString PanelTitle = QStringLiteral("Attributes");

} // namespace folivo::gui::attrmsg
