#pragma once
// The notes of an item: free text kept as its "Notes".

#include <QString>

namespace folivo {

class MyDocument;

// Stores `text` as the item's notes when it differs from what is stored (no notes count as
// empty text), writes the item's attributes file and marks the database changed. False when
// nothing was written: no change, no such item, a database that cannot change, or a disk
// error (reported).
bool saveNotes(MyDocument& doc, const QString& path, const QString& text);

// The item's notes; empty when it has none.
QString notesOf(const MyDocument& doc, const QString& path);

} // namespace folivo
