#pragma once
// The per-database preferences kept in ".attributesState", with the defaults a database
// gets when the file is missing or unreadable.

#include "plist/value.h"
#include "store/tree.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace folivo {

// Read access to the global preference store, for the few legacy keys that seed the
// per-database settings. The preference store implements it.
class PrefsSource {
public:
    virtual ~PrefsSource() = default;
    virtual const plist::Value* value(const QString& key) const = 0;
};

struct DatabaseSettings {
    bool attributesViewState = false;
    double notesHeight = 24.0;
    double leftPaneWidth = 315.0;
    // The window's pane sizes on this system ("paneSizesLinux": the tree's width, then the
    // heights of the tree and of the attributes area below it); empty until a window kept them.
    // The widths above are what the macOS edition stores and always 315.
    QList<int> paneSizes;
    SortFlags sorting;
    bool importFolderEnabled = false;
    QString importFolderPath;
    // The package the import folder was set for ("ImportFolderPackagePath"): a copy of the
    // package elsewhere (a backup, a deciphered copy) does not empty the folder unasked.
    QString importFolderSetFor;
    // Files of the import folder that were imported but could not be deleted
    // ("ImportFolderKept": name, size, modification time), so they are not imported again.
    plist::Array importFolderKept;
    plist::Dict tagSettings; // "autoTaggingPrefixes", "autoTaggingScanImported", "autoTaggingSeparator"
    QStringList recentWebsiteTitles;
    bool attributesMoveable = false;
    std::optional<double> attributesX, attributesY; // only when the panel floats

    // Settings of a database created now.
    static DatabaseSettings forNewDatabase(const PrefsSource* prefs);
    // Settings read from ".attributesState" (nullopt when it could not be read).
    static DatabaseSettings fromAttributesState(const std::optional<plist::Value>& state, const PrefsSource* prefs);
};

// The ".attributesState" written when an old ".drawerOpen" marker is found.
plist::Dict drawerOpenReplacementState();

} // namespace folivo
