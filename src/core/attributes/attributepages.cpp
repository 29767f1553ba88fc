#include "attributes/attributepages.h"

#include "attributes/messages.h"
#include "browser/windowrules.h"
#include "filing/messages.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/tree.h"

namespace folivo {

bool isRedFolder(const IndexItem& item, bool importLogOn)
{
    if (item.parent() || !item.hasChildren())
        return false;
    return item.path() == pkg::Unfiled || (importLogOn && item.path() == importmsg::ImportLogsFolder);
}

namespace {

void nothingShown(AttributePagesConfig& c, const QString& how)
{
    c.pages = {AttributePage::NoAttributes};
    c.attributesToolTip = attributesmsg::NothingAttributes.arg(how);
    c.notesToolTip = attributesmsg::NothingNotes.arg(how);
}

QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

AttributePagesConfig attributePagesFor(const IndexTree& tree, const std::vector<const IndexItem*>& selection,
                                       bool importLogOn, bool writable)
{
    AttributePagesConfig c;
    const QString how = writable ? attributesmsg::ViewEdit : attributesmsg::View;
    if (selection.size() != 1 || !selection.front()) {
        nothingShown(c, how);
        return c;
    }
    const IndexItem& item = *selection.front();
    c.shownPath = item.path();

    if (item.hasChildren()) {
        c.notesPath = item.path();
        c.notesEditable = writable;
        if (isRedFolder(item, importLogOn)) {
            c.importLogsFolderSelected = item.path() == importmsg::ImportLogsFolder;
            c.pages = {AttributePage::NoAttributes};
            c.attributesToolTip = attributesmsg::NothingAttributes.arg(how);
            c.notesToolTip = attributesmsg::RedFolderNotes.arg(how);
            return c;
        }
        if (item.isSmartFolder()) {
            c.pages = {AttributePage::Report};
            c.notesToolTip = attributesmsg::SmartFolderNotes.arg(how, item.path());
            return c;
        }
        c.pages = {AttributePage::Folder};
        c.folderPath = item.path();
        c.attributesToolTip = attributesmsg::FolderAttributes.arg(how, item.path());
        c.notesToolTip = attributesmsg::FolderNotes.arg(how, item.path());
        return c;
    }

    c.pages = {AttributePage::File};
    const IndexItem* parent = item.parent();
    if (item.isSmartFile() || (parent && parent->isSmartFolder())) {
        // A smart file stands for a real file elsewhere: what shows is that file's, and it
        // is changed there.
        const plist::Value* real = item.value(keys::SmartFile);
        const IndexItem* realItem = real && real->isString() ? tree.itemForPath(real->string()) : nullptr;
        c.filePath = realItem ? realItem->path() : item.path();
        c.notesPath = c.filePath;
        c.attributesToolTip =
            attributesmsg::SmartFileAttributes.arg(writable ? attributesmsg::SmartFileAttributesHint : QString());
        c.notesToolTip = attributesmsg::SmartFileNotes.arg(writable ? attributesmsg::SmartFileNotesHint : QString());
        return c;
    }
    c.filePath = item.path();
    c.notesPath = item.path();
    c.notesEditable = writable;
    c.datesEditable = writable;
    // A file inside year and month folders belongs to the plain folder above them: that is
    // the folder whose match string and date phrases filing reads.
    const QString folder = folderTheSelectionStandsFor(parent);
    if (folder.isEmpty() || folder == pkg::Unfiled) {
        c.attributesToolTip = attributesmsg::UnfiledFileAttributes.arg(how);
        c.notesToolTip = attributesmsg::UnfiledFileNotes.arg(how);
        return c;
    }
    c.pages.push_back(AttributePage::Folder);
    c.folderPath = folder;
    c.attributesToolTip = attributesmsg::FileAttributes.arg(how, lastComponent(folder));
    c.notesToolTip = attributesmsg::FileNotes.arg(how, lastComponent(folder));
    return c;
}

} // namespace folivo
