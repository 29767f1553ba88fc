#pragma once
// Texts of the file viewer.

#include <QString>

namespace folivo::gui::viewermsg {

inline const QString Unsupported = QStringLiteral("This file cannot be shown here.");
inline const QString UnsupportedDetail = QStringLiteral("Use \"Open\" or \"Open With…\" to see it in another program.");

inline const QString EnhanceTitle = QStringLiteral("Image Enhance Mode");
inline const QString EnhanceExplanation = QStringLiteral(
    "Image Enhance Mode is meant for scanned images: it sharpens the picture so that text in it is easier to read.\n\n"
    "It may enlarge images embedded in a PDF, and of a PDF with several pages it shows only the first page.\n\n"
    "It never changes the file, and zoom and rotation made while it is on are not kept. It is off whenever a "
    "file is first shown.");

inline const QString ChoosePdfViewerTitle = QStringLiteral("Choose a PDF Viewer");
inline const QString ChoosePdfViewerText = QStringLiteral(
    "Choose the program \"Open in PDF Viewer\" uses. Hold Shift when you choose the command to change it later.");
inline const QString NoPdfViewer = QStringLiteral("No program to show PDF files is installed.");
inline const QString OpenWithTitle = QStringLiteral("Open With");
inline const QString OpenWithText = QStringLiteral("Open \"%1\" with:");
inline const QString NoProgramFor = QStringLiteral("No program that opens files of this type is installed.");
inline const QString CouldNotOpen = QStringLiteral("\"%1\" could not be opened. %2");

} // namespace folivo::gui::viewermsg
