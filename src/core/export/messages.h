#pragma once
// Texts of the export and mail commands, as the person sees them.

#include <QString>

namespace folivo::exportmsg {

inline const QString ExportReportQuestion = QStringLiteral(
    "You have selected %1 Smart Folder%2 with an associated report.  Do you want to export the report%3 or the "
    "Smart Folder%4 and %5 contents?");
inline const QString MailReportQuestion = QStringLiteral(
    "You have selected %1 Smart Folder%2 with an associated report.  Do you want to mail the report%3 or the "
    "Smart Folder%4 contents?");
inline const QString PrintReportQuestion = QStringLiteral(
    "You have selected %1 Smart Folder%2 with an associated report.  Do you want to print the report%3 or the "
    "files in the Smart Folder%4?");
inline const QString SmartFolderButton = QStringLiteral("Smart Folder");
inline const QString ContentsButton = QStringLiteral("Contents");
inline const QString FilesButton = QStringLiteral("Files");
inline const QString ReportButton = QStringLiteral("Report");

inline const QString ExportedFolderName = QStringLiteral("Exported %1");
inline const QString ExportingFiles = QStringLiteral("Exporting Files ...");
inline const QString ExportFailed = QStringLiteral("Export Failed");
inline const QString ExportFailedInfo = QStringLiteral("Make sure the folder you are exporting to is writeable.");
// One line per failure under the alert's text.
inline const QString FailureLine = QStringLiteral("%1: %2");

inline const QString ReplaceTitle = QStringLiteral("Replace?");
inline const QString ReplaceQuestion =
    QStringLiteral("\"%1\" already exists. Do you want to replace it? The one there now goes to the Trash.");
inline const QString ReplaceButton = QStringLiteral("Replace");
inline const QString CancelButton = QStringLiteral("Cancel");

inline const QString InsidePackage =
    QStringLiteral("\"%1\" is inside the database \"%2\". Choose a place outside any database.");
inline const QString NoPlainCopy = QStringLiteral("Its plain content could not be had: %1");
inline const QString CannotCreateFolder = QStringLiteral("The folder could not be created: %1");
inline const QString CannotCopy = QStringLiteral("It could not be copied: %1");
inline const QString CannotTrash = QStringLiteral("\"%1\" could not be moved to the Trash.");
inline const QString NoReport = QStringLiteral("The report could not be made.");
inline const QString CannotWriteReport = QStringLiteral("The report could not be written: %1");
inline const QString NoPrivateFolder = QStringLiteral("There is no private temporary folder for the files.");

inline const QString MailFailuresTitle = QStringLiteral("Some Files Cannot Be Attached");
inline const QString MailFailuresQuestion =
    QStringLiteral("These could not be prepared for mailing:\n%1\n\nDo you want to mail the others?");
inline const QString MailAnywayButton = QStringLiteral("Mail Others");
inline const QString NoMailProgram = QStringLiteral(
    "No mail program could be started. The files to attach are shown in the file manager, so that you can attach "
    "them in web mail.");
inline const QString NoMailProgramTitle = QStringLiteral("Mail");

} // namespace folivo::exportmsg
