#pragma once
// The navigation history's file in the package (".history", enciphered in an encrypted
// database): read after every open without showing anything, written by a save only when
// it differs from what the package holds. It is stored only while the application
// preference "HistoryRestore" asks for it; with the preference off an empty history is
// stored, while the session keeps its own.

#include "history/history.h"
#include "plist/value.h"
#include "store/documenthooks.h"

#include <optional>

namespace folivo {

class HistoryFile : public DocumentPart {
public:
    explicit HistoryFile(History& history) : history_(history) {}

    QString partName() const override { return QStringLiteral("navigation history"); }
    void read(MyDocument& doc) override;
    bool changed(const MyDocument& doc) const override;
    bool write(MyDocument& doc) override;
    // Losing it costs only Back and Forward, never the save.
    bool essential() const override { return false; }
    void clear() override;

private:
    // What the history stores now, under the preference; nullopt when nobody said whether
    // to keep it (no application preferences: the file is left as it is).
    std::optional<plist::Value> valueToStore(const MyDocument& doc) const;

    History& history_;
    std::optional<plist::Value> stored_; // what ".history" holds, when known
};

} // namespace folivo
