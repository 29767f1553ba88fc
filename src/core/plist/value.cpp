#include "plist/value.h"

#include <QHash>

#include <algorithm>

namespace folivo::plist {

Dict::Dict(std::initializer_list<Entry> init)
{
    entries_.reserve(init.size());
    for (const auto& e : init)
        set(e.first, e.second);
}

Dict Dict::fromEntries(std::vector<Entry> entries)
{
    // Compacts in place: `kept` entries are final, each later entry either replaces the value
    // of an earlier one with the same key or moves down to position `kept`.
    constexpr std::size_t kLinearLimit = 16;
    const std::size_t n = entries.size();
    std::size_t kept = 0;
    if (n <= kLinearLimit) {
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t j = 0;
            while (j < kept && entries[j].first != entries[i].first)
                ++j;
            if (j < kept) {
                entries[j].second = std::move(entries[i].second);
                continue;
            }
            if (kept != i)
                entries[kept] = std::move(entries[i]);
            ++kept;
        }
    } else {
        QHash<QString, std::size_t> position;
        position.reserve(qsizetype(n));
        for (std::size_t i = 0; i < n; ++i) {
            const auto it = position.constFind(entries[i].first);
            if (it != position.constEnd()) {
                entries[*it].second = std::move(entries[i].second);
                continue;
            }
            position.insert(entries[i].first, kept);
            if (kept != i)
                entries[kept] = std::move(entries[i]);
            ++kept;
        }
    }
    entries.erase(entries.begin() + std::ptrdiff_t(kept), entries.end());
    Dict d;
    d.entries_ = std::move(entries);
    return d;
}

const Value* Dict::find(const QString& key) const
{
    for (const auto& e : entries_)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

Value* Dict::find(const QString& key)
{
    for (auto& e : entries_)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

void Dict::set(const QString& key, Value value)
{
    if (Value* existing = find(key))
        *existing = std::move(value);
    else
        entries_.emplace_back(key, std::move(value));
}

bool Dict::remove(const QString& key)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.first == key; });
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

bool Dict::operator==(const Dict& other) const
{
    if (size() != other.size())
        return false;
    for (const auto& e : entries_) {
        const Value* o = other.find(e.first);
        if (!o || !(*o == e.second))
            return false;
    }
    return true;
}

const char* typeName(Type t)
{
    switch (t) {
    case Type::None: return "none";
    case Type::Bool: return "bool";
    case Type::Integer: return "integer";
    case Type::Unsigned: return "unsigned";
    case Type::Real: return "real";
    case Type::String: return "string";
    case Type::Date: return "date";
    case Type::Data: return "data";
    case Type::Array: return "array";
    case Type::Dict: return "dict";
    case Type::Uid: return "uid";
    }
    return "none";
}

bool Value::toBool(bool fallback) const
{
    switch (type()) {
    case Type::Bool: return boolValue();
    case Type::Integer: return intValue() != 0;
    case Type::Unsigned: return unsignedValue() != 0;
    case Type::Real: return realValue() != 0.0;
    default: return fallback;
    }
}

std::int64_t Value::toInt(std::int64_t fallback) const
{
    switch (type()) {
    case Type::Bool: return boolValue() ? 1 : 0;
    case Type::Integer: return intValue();
    case Type::Unsigned: return std::int64_t(unsignedValue());
    case Type::Real: {
        const double d = realValue();
        if (!(d == d) || d >= 9.2e18 || d <= -9.2e18)
            return fallback;
        return std::int64_t(d);
    }
    default: return fallback;
    }
}

double Value::toReal(double fallback) const
{
    switch (type()) {
    case Type::Bool: return boolValue() ? 1.0 : 0.0;
    case Type::Integer: return double(intValue());
    case Type::Unsigned: return double(unsignedValue());
    case Type::Real: return realValue();
    default: return fallback;
    }
}

} // namespace folivo::plist
