#pragma once
// The application's global preference store: one dictionary of preference keys and values,
// loaded once at launch from a private file and written back as a whole only when asked.
// Setters change memory only; nothing reaches the disk before synchronize().

#include "plist/value.h"
#include "store/dbsettings.h"

#include <QString>
#include <optional>

namespace folivo {

class KTPrefs : public PrefsSource {
public:
    // Keys the store itself writes into the dictionary. Nothing else reads them; they stay
    // in the file as a record of what happened to it.
    static inline const QString ConvertedFromPlistKey = QStringLiteral("convertedFromPlist");
    static inline const QString ReconstructedAfterCorruptionKey = QStringLiteral("reconstructedAfterCorruption");

    // Loads the preferences of `applicationId`. When `newApplicationId` is given, every
    // later write goes to that identifier's file instead, and the file that was read is
    // never written, moved or deleted; this is how settings are carried over from another
    // identifier.
    //
    // A file that exists but yields no dictionary starts an empty store marked
    // "reconstructedAfterCorruption". If that file is the one synchronize() would write, it
    // is first moved aside to "<file>.corrupt-<yyyyMMdd-HHmmss>" (then "-2", "-3" … when
    // the name is taken) so that the next write cannot destroy it; if it cannot be moved,
    // synchronize() refuses to write for the life of this store.
    explicit KTPrefs(const QString& applicationId, const QString& newApplicationId = {});

    // $XDG_CONFIG_HOME/folivo/<id>.prefs; $HOME/.config stands in for an unset, empty or
    // relative $XDG_CONFIG_HOME.
    static QString prefsFileFor(const QString& id);

    // The stored value itself, or nullptr when the key is missing. The pointer is valid
    // until the next change to the store.
    const plist::Value* objectForKey(const QString& key) const;
    const plist::Value* value(const QString& key) const override { return objectForKey(key); }

    // Typed readings, converted the way a number or a string answers them: a number
    // converts (booleans as 0/1, reals truncated toward zero for the integer readings), a
    // string reads its leading number (boolForKey: true for a leading Y, y, T, t or non-zero
    // digit). A missing key, data, an array, a dictionary or a date read as false / 0.
    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    quint32 uInt32ForKey(const QString& key) const;
    float floatForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;

    // Stores a copy of `value`; std::nullopt (or a None value) removes the key instead.
    // A value that could not be archived (a None or Uid inside it, or nested too deeply)
    // is refused and the store is left unchanged: answers false. Storing it would make
    // every later synchronize() fail.
    bool setObject(std::optional<plist::Value> value, const QString& key);
    void setBool(bool value, const QString& key);
    void setInteger(qint64 value, const QString& key);
    void setUInt32(quint32 value, const QString& key); // kept as an ordinary integer
    void setFloat(float value, const QString& key);
    void setDouble(double value, const QString& key);
    void removeObjectForKey(const QString& key);

    bool empty() const { return prefs_.empty(); }
    // The dictionary as readable text (typed JSON), for diagnostics.
    QString description() const;
    // A copy of the whole dictionary; changing it does not change the store.
    plist::Dict prefsMutableDictionary() const { return prefs_; }
    // The file that synchronize() writes.
    const QString& prefsPath() const { return prefsPath_; }
    // Where a damaged preference file was moved at load; empty when none was.
    QString corruptCopy() const { return corruptCopy_; }

    // Writes the whole dictionary as the root of one keyed archive, atomically, mode 0600,
    // creating the folder (0700) when it is missing. Answers false when nothing was written;
    // the settings in memory stay as they are either way.
    bool synchronize();

private:
    void keepDamagedFile(const QString& path);

    QString prefsPath_;
    plist::Dict prefs_;
    QString corruptCopy_;
    // Set when a damaged file could not be moved aside: writing would overwrite it.
    bool mustNotWrite_ = false;
};

} // namespace folivo
