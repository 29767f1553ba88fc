#pragma once
// A JSON form of property-list values that keeps every type visible: each value is an
// object with one key naming its type ({"integer": "-5"}, {"date": "694224000"} …).
// Numbers are written as strings so that 64-bit integers and reals survive exactly.

#include "plist/value.h"

#include <QByteArray>

namespace folivo::plist {

// `indent` < 0 writes one line; otherwise nested values are indented by that many spaces
// per level. Dictionary keys keep their order.
QByteArray toTypedJson(const Value& value, int indent = 2);

} // namespace folivo::plist
