#pragma once
// Keyed archives: the NSKeyedArchiver form of binary property lists ("$archiver",
// "$version" 100000, "$top" with "root", "$objects" with "$null" first, UID references,
// class records). This is the format of every archive file in a database package.

#include "plist/value.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace folivo::plist {

// Decodes a keyed archive into plain values: dictionaries, arrays, strings, numbers,
// booleans, dates and data. Any malformed archive yields std::nullopt.
std::optional<Value> decodeKeyedArchive(QByteArrayView bytes);

// Encodes a value tree as a keyed archive that the macOS edition reads back with
// NSKeyedUnarchiver: dictionaries as NSMutableDictionary, arrays as NSMutableArray, dates
// as NSDate, strings, numbers, booleans and data stored directly.
QByteArray encodeKeyedArchive(const Value& root);

// File helpers. Reading a missing or unreadable file yields std::nullopt.
std::optional<Value> readKeyedArchiveFile(const QString& path);

} // namespace folivo::plist
