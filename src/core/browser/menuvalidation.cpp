#include "browser/menuvalidation.h"

namespace folivo {

namespace {

// Commands that work without a database window.
bool isApplicationCommand(MenuCommand command)
{
    switch (command) {
    case MenuCommand::NewDatabase:
    case MenuCommand::OpenDatabase:
    case MenuCommand::OpenAndRebuild:
    case MenuCommand::Preferences:
    case MenuCommand::Quit:
        return true;
    default:
        return false;
    }
}

// Whether the one selected item may get a new name: date folders are named by their dates,
// "Unfiled" is the system's own, a smart file mirrors a file elsewhere.
bool singleNameEditable(const MenuContext& c)
{
    if (c.selectedRowCount != 1 || c.singleIsMaintainedLastImport)
        return false;
    switch (c.singleKind) {
    case BrowserItemKind::File:
    case BrowserItemKind::Folder:
    case BrowserItemKind::SmartFolder:
        return true;
    case BrowserItemKind::DateFolder:
    case BrowserItemKind::Unfiled:
    case BrowserItemKind::SmartFile:
        break;
    }
    return false;
}

} // namespace

MenuState menuState(MenuCommand command, const MenuContext& c)
{
    MenuState state;

    // Check marks and titles show the state even while the command cannot be chosen.
    switch (command) {
    case MenuCommand::KeepSorted:
        state.checked = c.sortingKeepSorted;
        break;
    case MenuCommand::SortYearsDescending:
        state.checked = c.sortingYearDescending;
        break;
    case MenuCommand::SortMonthsDescending:
        state.checked = c.sortingMonthDescending;
        break;
    case MenuCommand::IgnoreCase:
        state.checked = c.sortingIgnoreCase;
        break;
    case MenuCommand::EncryptDatabase:
        state.checked = c.dbEncrypted;
        break;
    case MenuCommand::AutoTagImportedFiles:
        state.checked = c.autoTagImported;
        break;
    case MenuCommand::MoveableAttributesPanel:
        state.checked = c.moveableAttributesPanel;
        break;
    case MenuCommand::ShowAttributes:
        state.checked = c.attributesShown;
        break;
    case MenuCommand::Print:
        state.title = PrintFileTitle;
        break;
    case MenuCommand::ToggleEnhance:
        state.checked = c.viewerEnhanced;
        break;
    case MenuCommand::ShowPdfAsText:
        state.checked = c.viewerPdfAsText;
        break;
    default:
        break;
    }

    if (c.userInteractionDisabled)
        return state;
    if (isApplicationCommand(command)) {
        state.enabled = true;
        return state;
    }
    if (!c.dbOpen)
        return state;

    const bool writeable = c.dbWriteable;
    const bool anySelected = c.selectedRowCount > 0;
    bool enabled = true;
    switch (command) {
    // Everything that imports into, or changes the set-up of, the database needs to write.
    case MenuCommand::ImportFromClipboard:
        enabled = writeable && c.clipboardHasData;
        break;
    case MenuCommand::Import:
    case MenuCommand::ImportFolderSettings:
    case MenuCommand::CustomAttributes:
    case MenuCommand::SpecifyAutoTagging:
    case MenuCommand::MoveableAttributesPanel:
    case MenuCommand::EncryptDatabase:
    case MenuCommand::KeepSorted:
    case MenuCommand::SortYearsDescending:
    case MenuCommand::SortMonthsDescending:
    case MenuCommand::IgnoreCase:
        enabled = writeable;
        break;
    case MenuCommand::Duplicate:
        enabled = writeable && c.counts.singleFileSelected;
        break;
    case MenuCommand::AutoTagImportedFiles:
        enabled = writeable && c.autoTaggingSpecified;
        break;
    case MenuCommand::AutoTagSelectedFiles:
        enabled = writeable && c.autoTaggingSpecified && anySelected;
        break;

    // Browser changes.
    case MenuCommand::NewFolder:
        enabled = newButtonEnabled(writeable, c.selectedRowCount, c.singleKind, c.singleExpanded);
        break;
    case MenuCommand::Delete:
        enabled = writeable && anySelected;
        break;
    case MenuCommand::Sort:
        // Only folders have children to sort; a smart folder's follow its search.
        enabled = writeable && c.counts.selectedFolderCount > 0;
        break;
    case MenuCommand::EditName:
        enabled = writeable && singleNameEditable(c);
        break;
    case MenuCommand::NewSmartFolderFromSelection:
        // References to files and folders; a smart folder or smart file has no place of its own.
        enabled = writeable && c.counts.selectedFileCount + c.counts.selectedFolderCount > 0
                  && c.counts.selectedSmartFileCount == 0 && c.counts.selectedSmartFolderCount == 0;
        break;

    case MenuCommand::ExportReport:
        // Writing a report changes nothing in the database: also when it is read-only.
        enabled = c.displayingReport;
        break;
    case MenuCommand::Copy:
        enabled = c.displayingReport || c.canCopySelectedFile;
        break;
    case MenuCommand::GoToUrl:
        enabled = c.websiteUrlAvailable;
        break;
    case MenuCommand::MakeUnencryptedCopy:
        enabled = c.dbEncrypted;
        break;
    case MenuCommand::Print:
    case MenuCommand::Export:
    case MenuCommand::Send:
        enabled = anySelected;
        break;
    case MenuCommand::Backup:
        enabled = c.needsBackup && c.backupFolderSet;
        break;
    case MenuCommand::FindNext:
    case MenuCommand::FindPrevious:
        // Types 2 and 3 select all matches or make a smart folder: there is no next one.
        enabled = c.findType < 2;
        break;
    case MenuCommand::Back:
        enabled = c.historyCanGoBack;
        break;
    case MenuCommand::Forward:
        enabled = c.historyCanGoForward;
        break;

    // The viewer's commands follow what it shows; none changes the package beyond the
    // item's own zoom and rotation, which a read-only database keeps for the session.
    case MenuCommand::ZoomIn:
    case MenuCommand::ZoomOut:
    case MenuCommand::ZoomReset:
    case MenuCommand::RotateLeft:
    case MenuCommand::RotateRight:
        enabled = c.viewerCanZoom;
        break;
    case MenuCommand::ToggleEnhance:
        enabled = c.viewerCanZoom || c.viewerEnhanced;
        break;
    case MenuCommand::ShowPdfAsText:
        enabled = c.viewerShowsPdf;
        break;
    case MenuCommand::OpenShownFile:
    case MenuCommand::OpenShownFileWith:
        enabled = c.viewerShowsFile;
        break;
    case MenuCommand::OpenInPdfViewer:
        enabled = c.viewerShowsPdf && !c.viewerPdfAsText;
        break;

    case MenuCommand::Close:
    case MenuCommand::ExpandAll:
    case MenuCommand::CollapseAll:
    case MenuCommand::Find:
    case MenuCommand::ClearHistory:
    case MenuCommand::NewDatabase:
    case MenuCommand::OpenDatabase:
    case MenuCommand::OpenAndRebuild:
    case MenuCommand::Preferences:
    case MenuCommand::Quit:
        break;
    }
    state.enabled = enabled;
    return state;
}

} // namespace folivo
