#pragma once
// The text that finding and auto-tagging test in a stored file: the file's text in Unicode
// normalisation form C, so that a name or a needle typed on Linux meets text written by
// systems that store decomposed characters.

#include <QString>
#include <optional>

namespace folivo {

class MyDocument;

// The searchable text of a stored file of an open database (its stored path); nullopt when
// it has none or cannot be read. An encrypted database's file is deciphered in memory only;
// the database's text cache answers for files read before.
std::optional<QString> searchTextOfItem(MyDocument& doc, const QString& storedPath);

} // namespace folivo
