#pragma once
// Keyed archives: the NSKeyedArchiver form of binary property lists ("$archiver",
// "$version" 100000, "$top" with "root", "$objects" with "$null" first, UID references,
// class records). This is the format of every archive file in a database package.

#include "plist/value.h"
#include "util/fs.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace folivo::plist {

// Decodes a keyed archive into plain values: dictionaries, arrays, strings, numbers,
// booleans, dates and data. Any malformed archive yields std::nullopt.
//
// NSDictionary, NSArray, NSSet, NSOrderedSet, NSString, NSDate, NSData and NSNumber objects
// (and their mutable forms) become the matching plain values; a nil ($null) member of a
// collection or object is left out. An object of any other class (an NSURL, an NSColor) is
// kept rather than dropped: it becomes a Dict of its own members, each decoded the same
// way, plus "$classname" (a string) and "$classes" (an array of strings) copied from its
// class record. encodeKeyedArchive() writes such a Dict back as an object of that class.
// An object reached through several references is decoded once per reference.
std::optional<Value> decodeKeyedArchive(QByteArrayView bytes);

// Encodes a value tree as a keyed archive that the macOS edition reads back with
// NSKeyedUnarchiver: dictionaries as NSMutableDictionary, arrays as NSMutableArray, dates
// as NSDate, strings, numbers, booleans and data stored directly.
//
// A Dict holding a string "$classname", an array of strings "$classes" and no "$class" is
// the decoded form of an object of another class and is written back as one: its other
// members are written the way NSCoder's encodeInt/encodeDouble/encodeBool/encodeBytes
// store them (booleans, numbers and data inline in the object) or encodeObject does
// (everything else, by reference).
//
// The result is empty when the tree cannot be archived: it holds Value::None or a Uid, or
// is nested deeper than kMaxNesting (see binary.h).
QByteArray encodeKeyedArchive(const Value& root);

// File helpers. Reading a missing or unreadable file, or one larger than
// kMaxKeyedArchiveFileSize, yields std::nullopt.
inline constexpr qint64 kMaxKeyedArchiveFileSize = qint64(1) << 30;
std::optional<Value> readKeyedArchiveFile(const QString& path);
// Writes the archive of `root` to a fresh sibling of `abs` and renames it over `abs` (mode
// 0644); false when the tree cannot be archived or the disk refused. Nothing beside the file
// is removed: "X.old" is the name of another item's file as much as of a copy an interrupted
// write left.
bool writeKeyedArchiveFile(const QString& abs, const Value& root, fs::Durability durability = fs::Durability::Flush);

} // namespace folivo::plist
