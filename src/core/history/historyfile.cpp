#include "history/historyfile.h"

#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "util/debuglog.h"

namespace folivo {

namespace {

// The history is stored only while the application preference asks for it.
bool historyRestoreOn(const MyDocument& doc)
{
    const KTPrefs* prefs = doc.applicationPreferences();
    return prefs && prefs->boolForKey(prefkeys::HistoryRestore);
}

} // namespace

void HistoryFile::read(MyDocument& doc)
{
    // Entries stay paths until they are shown; nothing is selected here, as no window
    // shows this database yet.
    const QString file = doc.dbPath() + '/' + pkg::History;
    const bool plainCopy = fs::exists(file);
    const bool present = plainCopy || fs::exists(file + '.' + pkg::EncFile);
    const std::optional<plist::Value> stored = present ? doc.crypto().readStoredArchive(file) : std::nullopt;
    // What the package holds, so that a save writes only a history that changed (a missing
    // file holds the empty one). A plain copy in an encrypted package must be rewritten.
    stored_.reset();
    if (!present)
        stored_ = history_.archiveValue(false);
    else if (!(doc.dbEncrypted() && plainCopy))
        stored_ = stored;

    // Without application preferences (a command that does not load them) the stored
    // history is kept as it is; a save then leaves it alone.
    if (doc.applicationPreferences() && !historyRestoreOn(doc)) {
        history_.clear();
        return;
    }
    if (!history_.restore(stored) && present)
        appendDebugInfo(QStringLiteral("\n\nThe navigation history of %1 could not be read; it starts empty").arg(doc.dbPath()));
}

std::optional<plist::Value> HistoryFile::valueToStore(const MyDocument& doc) const
{
    // Without application preferences nobody said whether to keep it: the file stays.
    if (!doc.applicationPreferences())
        return std::nullopt;
    return history_.archiveValue(historyRestoreOn(doc));
}

bool HistoryFile::changed(const MyDocument& doc) const
{
    const std::optional<plist::Value> value = valueToStore(doc);
    return value && !(stored_ && *stored_ == *value);
}

bool HistoryFile::write(MyDocument& doc)
{
    std::optional<plist::Value> value = valueToStore(doc);
    if (!value)
        return true;
    // Enciphered in memory in an encrypted database, like the index.
    if (!doc.crypto().writeStoredArchive(doc.dbPath() + '/' + pkg::History, *value, fs::Durability::NoFlush))
        return false;
    stored_ = std::move(value);
    return true;
}

void HistoryFile::clear()
{
    history_.clear();
    stored_.reset();
}

} // namespace folivo
