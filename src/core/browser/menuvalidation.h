#pragma once
// Which commands of a database window are available, checked or retitled right now. One
// pure function over a snapshot of the window's state, so the menus, the toolbar and the
// shortcuts all agree and the rules can be checked without a display.

#include "browser/commands.h"

#include <QString>
#include <optional>

namespace folivo {

enum class MenuCommand {
    // Application
    NewDatabase,
    OpenDatabase,
    OpenAndRebuild,
    Preferences,
    ImportFolderSettings,
    Quit,
    // Database
    Close,
    Backup,
    Duplicate,
    MakeUnencryptedCopy,
    EncryptDatabase,
    Import,
    ImportFromClipboard,
    Export,
    Send,
    Print,
    CustomAttributes,
    SpecifyAutoTagging,
    AutoTagImportedFiles,
    AutoTagSelectedFiles,
    MoveableAttributesPanel,
    ShowAttributes,
    GoToUrl,
    // Browser
    NewFolder,
    Delete,
    ExpandAll,
    CollapseAll,
    Sort,
    EditName,
    Copy,
    KeepSorted,
    SortYearsDescending,
    SortMonthsDescending,
    IgnoreCase,
    // Smart folders
    NewSmartFolderFromSelection,
    // Reports
    ExportReport,
    // Find and history
    Find,
    FindNext,
    FindPrevious,
    Back,
    Forward,
    ClearHistory,
    // Viewer
    ZoomIn,
    ZoomOut,
    ZoomReset,
    RotateLeft,
    RotateRight,
    ToggleEnhance,
    ShowPdfAsText,
    OpenShownFile,
    OpenShownFileWith,
    OpenInPdfViewer,
};

struct MenuContext {
    bool userInteractionDisabled = false; // a long operation runs: nothing may start
    bool dbOpen = false;
    bool dbWriteable = false;
    bool dbEncrypted = false;

    SelectionCounts counts;
    int selectedRowCount = 0;
    // The selected item when exactly one row is selected.
    BrowserItemKind singleKind = BrowserItemKind::File;
    bool singleExpanded = false;
    // The selected item is the smart folder "Last Import" kept by the "MaintainLastImport"
    // preference, whose name is fixed.
    bool singleIsMaintainedLastImport = false;

    bool canCopySelectedFile = false;
    bool displayingReport = false;
    bool clipboardHasData = false;
    bool needsBackup = false;
    bool backupFolderSet = false; // the "backupFolderPath" preference is not empty
    bool historyCanGoBack = false;
    bool historyCanGoForward = false;
    bool websiteUrlAvailable = false; // an auto-login database is set and its login manager has a URL
    bool autoTaggingSpecified = false;
    bool autoTagImported = false;     // the scan-imported switch of the tags
    bool moveableAttributesPanel = false;
    bool attributesShown = false; // the attributes area is shown (in the window or floating)

    bool sortingKeepSorted = false;
    bool sortingYearDescending = false;
    bool sortingMonthDescending = false;
    bool sortingIgnoreCase = false;

    int findType = 0; // "Type" of the current find criteria

    // The viewer: a file is shown; it can be zoomed and turned (a PDF as pages, an image);
    // it is a PDF; enhance mode and the PDF-as-text switch are on.
    bool viewerShowsFile = false;
    bool viewerCanZoom = false;
    bool viewerShowsPdf = false;
    bool viewerEnhanced = false;
    bool viewerPdfAsText = false;
};

struct MenuState {
    bool enabled = false;
    std::optional<bool> checked;  // set for commands that show a check mark
    std::optional<QString> title; // set when the command's title changes
};

MenuState menuState(MenuCommand command, const MenuContext& context);

// Retitled commands.
inline const QString PrintFileTitle = QStringLiteral("Print File...");

} // namespace folivo
