#pragma once
// Exact property-list values. Every type the archives can hold is kept distinct through
// reading and writing: a boolean never turns into the integer 1, an unsigned integer
// never into a signed one, a date never into a real.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

namespace folivo::plist {

class Value;

using Array = std::vector<Value>;

// Dictionary with string keys that keeps the order in which keys were first inserted, so
// that what we write is stable and what we read is written back in the same order.
// Records are small (a few dozen keys), so lookups are linear.
class Dict {
public:
    using Entry = std::pair<QString, Value>;

    Dict() = default;
    Dict(std::initializer_list<Entry> init);
    // Builds a dictionary from entries in linear time (set() is linear per call, so a
    // reader filling a large dictionary that way would be quadratic). A repeated key keeps
    // its first position and its last value, as repeated set() calls would give.
    static Dict fromEntries(std::vector<Entry> entries);

    bool contains(const QString& key) const { return find(key) != nullptr; }
    const Value* find(const QString& key) const;
    Value* find(const QString& key);
    // Replaces the value of an existing key in place, or appends a new entry.
    void set(const QString& key, Value value);
    bool remove(const QString& key);

    // Defined below Value: with Value still incomplete here, clang would instantiate the
    // vector's (constexpr) members too early and fail to compile.
    std::size_t size() const;
    bool empty() const;
    void reserve(std::size_t n);

    using iterator = std::vector<Entry>::iterator;
    using const_iterator = std::vector<Entry>::const_iterator;
    iterator begin();
    iterator end();
    const_iterator begin() const;
    const_iterator end() const;

    bool operator==(const Dict& other) const; // order-insensitive

private:
    std::vector<Entry> entries_;
};

// A date: seconds since 2001-01-01 00:00:00 UTC, as stored in binary property lists.
struct Date {
    double secondsSince2001 = 0.0;
    bool operator==(const Date&) const = default;
};

// An object reference inside a keyed archive. Never appears in decoded archive content.
struct Uid {
    std::uint64_t index = 0;
    bool operator==(const Uid&) const = default;
};

struct UnsignedInt {
    std::uint64_t value = 0;
    bool operator==(const UnsignedInt&) const = default;
};

enum class Type { None, Bool, Integer, Unsigned, Real, String, Date, Data, Array, Dict, Uid };

const char* typeName(Type t); // "bool", "integer", "unsigned", "real", "string", "date", "data", ...

class Value {
public:
    Value() = default; // None: "no object"
    Value(bool b) : v_(b) {}
    Value(int i) : v_(std::int64_t(i)) {}
    Value(std::int64_t i) : v_(i) {}
    Value(UnsignedInt u) : v_(u) {}
    Value(double d) : v_(d) {}
    Value(const char* s) : v_(QString::fromUtf8(s)) {}
    Value(QString s) : v_(std::move(s)) {}
    Value(Date d) : v_(d) {}
    Value(QByteArray data) : v_(std::move(data)) {}
    Value(Array a) : v_(std::move(a)) {}
    Value(Dict d) : v_(std::move(d)) {}
    Value(Uid u) : v_(u) {}

    Type type() const { return Type(v_.index()); }
    bool isNone() const { return type() == Type::None; }
    bool isBool() const { return type() == Type::Bool; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isUnsigned() const { return type() == Type::Unsigned; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isBool() || isInteger() || isUnsigned() || isReal(); }
    bool isString() const { return type() == Type::String; }
    bool isDate() const { return type() == Type::Date; }
    bool isData() const { return type() == Type::Data; }
    bool isArray() const { return type() == Type::Array; }
    bool isDict() const { return type() == Type::Dict; }
    bool isUid() const { return type() == Type::Uid; }

    // Exact accessors: call only when the type matches.
    bool boolValue() const { return std::get<bool>(v_); }
    std::int64_t intValue() const { return std::get<std::int64_t>(v_); }
    std::uint64_t unsignedValue() const { return std::get<UnsignedInt>(v_).value; }
    double realValue() const { return std::get<double>(v_); }
    const QString& string() const { return std::get<QString>(v_); }
    Date date() const { return std::get<Date>(v_); }
    const QByteArray& data() const { return std::get<QByteArray>(v_); }
    const Array& array() const { return std::get<Array>(v_); }
    Array& array() { return std::get<Array>(v_); }
    const Dict& dict() const { return std::get<Dict>(v_); }
    Dict& dict() { return std::get<Dict>(v_); }
    Uid uid() const { return std::get<Uid>(v_); }

    // Lenient readings, the way stored records are used: a number counts as true when not
    // zero; anything else gives the fallback.
    bool toBool(bool fallback = false) const;
    std::int64_t toInt(std::int64_t fallback = 0) const;
    double toReal(double fallback = 0.0) const;

    bool operator==(const Value& other) const { return v_ == other.v_; }

private:
    std::variant<std::monostate, bool, std::int64_t, UnsignedInt, double, QString, Date, QByteArray,
                 Array, Dict, Uid>
        v_;
};

inline std::size_t Dict::size() const { return entries_.size(); }
inline bool Dict::empty() const { return entries_.empty(); }
inline void Dict::reserve(std::size_t n) { entries_.reserve(n); }
inline Dict::iterator Dict::begin() { return entries_.begin(); }
inline Dict::iterator Dict::end() { return entries_.end(); }
inline Dict::const_iterator Dict::begin() const { return entries_.begin(); }
inline Dict::const_iterator Dict::end() const { return entries_.end(); }

} // namespace folivo::plist
