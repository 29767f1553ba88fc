#pragma once
// Icons of the browser rows, one per kind of item. Built once and cached: the tree view
// asks for an icon every time it paints a row, and a MIME look-up per paint would cost
// more than the rest of the painting.

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace folivo {
class IndexItem;
}

namespace folivo::gui {

class ItemIcons {
public:
    ItemIcons();

    // `importLogOn`: the preference "ImportLog" is on, so the top-level "Import Logs"
    // folder is marked like "Unfiled".
    QIcon iconFor(const IndexItem& item, bool importLogOn = false) const;

    const QIcon& folder() const { return folder_; }
    const QIcon& unfiled() const { return unfiled_; }
    const QIcon& dateFolder() const { return dateFolder_; }
    const QIcon& smartFolder() const { return smartFolder_; }
    const QIcon& lastImport() const { return lastImport_; }
    // The icon of a file called `name`, by the MIME type its extension names.
    QIcon fileIcon(const QString& name) const;

    // Makes sure theme icons can be found on a desktop without a configured icon theme
    // (a bare X session, a minimal container): uses Adwaita when it is installed. Call
    // once at start, before any icon is made.
    static void ensureIconTheme();

private:
    QIcon folder_;
    QIcon unfiled_;
    QIcon dateFolder_;
    QIcon smartFolder_;
    QIcon lastImport_;
    QIcon genericFile_;
    QMimeDatabase mime_;
    mutable QHash<QString, QIcon> bySuffix_;
};

} // namespace folivo::gui
