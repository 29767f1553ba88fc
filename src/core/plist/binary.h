#pragma once
// Binary property-list ("bplist00") reader and writer.

#include "plist/value.h"

#include <QByteArrayView>
#include <optional>

namespace folivo::plist {

// Parses a binary property list. Hostile input (truncation, bad offsets, reference cycles,
// absurd nesting or sizes) yields std::nullopt, never a crash or unbounded memory.
std::optional<Value> readBinary(QByteArrayView bytes);

// Serialises a value as a binary property list. Value::None cannot be written: the result
// is then empty.
QByteArray writeBinary(const Value& root);

} // namespace folivo::plist
