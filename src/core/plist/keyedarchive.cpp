#include "plist/keyedarchive.h"

#include "util/fs.h"

#include "plist/binary.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace folivo::plist {

namespace {

const QString kArchiverKey = QStringLiteral("$archiver");
const QString kVersionKey = QStringLiteral("$version");
const QString kTopKey = QStringLiteral("$top");
const QString kObjectsKey = QStringLiteral("$objects");
const QString kRootKey = QStringLiteral("root");
const QString kNullObject = QStringLiteral("$null");
const QString kClassKey = QStringLiteral("$class");
const QString kClassNameKey = QStringLiteral("$classname");
const QString kClassesKey = QStringLiteral("$classes");
const QString kKeysKey = QStringLiteral("NS.keys");
const QString kMembersKey = QStringLiteral("NS.objects");
const QString kTimeKey = QStringLiteral("NS.time");

constexpr std::int64_t kArchiveVersion = 100000;

// ---------------------------------------------------------------------------------------
// Decoding
//
// The decoder reads the archive's objects straight from the binary property list through
// BinaryReader, following UIDs itself, so the raw object graph is never built as a tree.

enum class Kind { Dictionary, Array, String, Date, Data, Number, Other };

Kind kindOfClass(const QString& name)
{
    static const QHash<QString, Kind> known = {
        {QStringLiteral("NSDictionary"), Kind::Dictionary},
        {QStringLiteral("NSMutableDictionary"), Kind::Dictionary},
        {QStringLiteral("NSArray"), Kind::Array},
        {QStringLiteral("NSMutableArray"), Kind::Array},
        {QStringLiteral("NSSet"), Kind::Array},
        {QStringLiteral("NSMutableSet"), Kind::Array},
        {QStringLiteral("NSOrderedSet"), Kind::Array},
        {QStringLiteral("NSMutableOrderedSet"), Kind::Array},
        {QStringLiteral("NSString"), Kind::String},
        {QStringLiteral("NSMutableString"), Kind::String},
        {QStringLiteral("NSDate"), Kind::Date},
        {QStringLiteral("NSData"), Kind::Data},
        {QStringLiteral("NSMutableData"), Kind::Data},
        {QStringLiteral("NSNumber"), Kind::Number},
    };
    return known.value(name, Kind::Other);
}

// The member names the decoder looks for, in the order of kKnownKeys.
enum KeyId : std::uint8_t {
    kUnclassified, // not looked at yet
    kClass,
    kClassName,
    kClasses,
    kKeys,
    kMembers,
    kString,
    kTime,
    kData,
    kIntValue,
    kDoubleValue,
    kOtherKey,
    kKeyIdCount = kOtherKey,
};
constexpr QLatin1StringView kKnownKeys[] = {
    QLatin1StringView("$class"), QLatin1StringView("$classname"), QLatin1StringView("$classes"),
    QLatin1StringView("NS.keys"), QLatin1StringView("NS.objects"), QLatin1StringView("NS.string"),
    QLatin1StringView("NS.time"), QLatin1StringView("NS.data"), QLatin1StringView("NS.intval"),
    QLatin1StringView("NS.dblval"),
};
static_assert(std::size(kKnownKeys) == kKeyIdCount - 1);

constexpr std::uint64_t kAbsent = ~std::uint64_t(0);

// The kind of a class by its name, or else by the first known name in its chain of
// superclasses (`exact` tells which).
Kind kindOfClass(const QString& name, const Array& chain, bool& exact)
{
    Kind kind = kindOfClass(name);
    exact = kind != Kind::Other;
    for (auto it = chain.begin(); kind == Kind::Other && it != chain.end(); ++it)
        kind = kindOfClass(it->string());
    return kind;
}

// Whether an object of a known kind has the members that kind is decoded from. Without
// them, an object of a subclass is kept as an object of its own class (see
// Decoder::decodeObject()). `has(id)` says whether the member named by `id` is there.
template <typename Has>
bool hasKnownForm(Kind kind, Has has)
{
    switch (kind) {
    case Kind::Dictionary: return has(kKeys) && has(kMembers);
    case Kind::Array: return has(kMembers);
    case Kind::String: return has(kString);
    case Kind::Date: return has(kTime);
    case Kind::Data: return has(kData);
    case Kind::Number: return has(kIntValue) || has(kDoubleValue);
    case Kind::Other: break;
    }
    return false;
}

struct ClassInfo {
    Kind kind = Kind::Other;
    bool exact = false; // kind comes from $classname itself, not from a superclass
    QString name;
    Value classes; // the $classes array
};

class Decoder {
public:
    Decoder(BinaryReader& reader, const BinaryReader::Container& objects, std::size_t budget)
        : r_(reader), objects_(objects), budget_(budget), active_(objects.count, 0),
          keyIds_(reader.objectCount(), kUnclassified)
    {
    }

    // Decodes the object with UID `uid` (not $null) at nesting depth `depth`.
    bool resolve(std::uint64_t uid, int depth, Value& out)
    {
        std::uint64_t index = 0;
        if (uid == 0 || uid >= objects_.count || depth > kMaxNesting || !spend(1) || !r_.member(objects_, uid, index))
            return false;
        BinaryReader::Container c;
        switch (r_.inspect(index, c)) {
        case BinaryReader::Kind::Scalar:
            // A string, number, date or data object is itself; a UID is not an object.
            return r_.scalar(index, out) && !out.isUid();
        case BinaryReader::Kind::Dict: {
            // The decode stack: an object inside itself is a cycle, never a finite value.
            if (active_[uid])
                return false;
            active_[uid] = 1;
            const bool ok = decodeObject(c, depth, out);
            active_[uid] = 0;
            return ok;
        }
        case BinaryReader::Kind::Array: // only ever inside objects, never one itself
        case BinaryReader::Kind::Invalid:
            break;
        }
        return false;
    }

private:
    enum class Outcome { Ok, Missing, Failed };

    // An object's members by name, as object indexes in the property list (or kAbsent).
    using Members = std::array<std::uint64_t, kKeyIdCount>;

    bool spend(std::size_t n)
    {
        if (budget_ < n)
            return false;
        budget_ -= n;
        return true;
    }

    // Which known member name the string object `index` is. Archives store each distinct
    // key string once, so this is worked out once per key, not once per object.
    KeyId keyId(std::uint64_t index)
    {
        std::uint8_t& id = keyIds_[index];
        if (id == kUnclassified) {
            id = kOtherKey;
            for (std::size_t k = 0; k < std::size(kKnownKeys); ++k) {
                if (r_.isString(index, kKnownKeys[k])) {
                    id = std::uint8_t(k + 1);
                    break;
                }
            }
        }
        return KeyId(id);
    }

    // Collects the known members of a dictionary; a repeated key counts with its last value,
    // as when the property list is read as a plain dictionary.
    bool members(const BinaryReader::Container& dict, Members& out)
    {
        out.fill(kAbsent);
        for (std::uint64_t i = 0; i < dict.count; ++i) {
            std::uint64_t key = 0;
            std::uint64_t value = 0;
            if (!r_.key(dict, i, key) || !r_.value(dict, i, value))
                return false;
            const KeyId id = keyId(key);
            if (id != kOtherKey)
                out[id] = value;
        }
        return true;
    }

    // The class record object `$class` points to, or null when it is malformed.
    const ClassInfo* classOf(std::uint64_t classRef)
    {
        std::uint64_t uid = 0;
        if (classRef == kAbsent || !r_.uid(classRef, uid))
            return nullptr;
        // unordered_map: references stay valid while decoding adds further records.
        if (auto it = classes_.find(uid); it != classes_.end())
            return it->second ? &*it->second : nullptr;
        std::optional<ClassInfo>& slot = classes_[uid];
        std::uint64_t index = 0;
        BinaryReader::Container record;
        Members m;
        if (uid == 0 || uid >= objects_.count || !r_.member(objects_, uid, index)
            || r_.inspect(index, record) != BinaryReader::Kind::Dict || !members(record, m))
            return nullptr;
        ClassInfo info;
        Value name;
        BinaryReader::Container chain;
        if (m[kClassName] == kAbsent || !r_.scalar(m[kClassName], name) || !name.isString())
            return nullptr;
        if (m[kClasses] == kAbsent || r_.inspect(m[kClasses], chain) != BinaryReader::Kind::Array)
            return nullptr;
        Array names;
        names.reserve(chain.count);
        for (std::uint64_t i = 0; i < chain.count; ++i) {
            std::uint64_t ref = 0;
            Value c;
            if (!r_.member(chain, i, ref) || !r_.scalar(ref, c) || !c.isString())
                return nullptr;
            names.push_back(std::move(c));
        }
        info.name = name.string();
        info.kind = kindOfClass(info.name, names, info.exact);
        info.classes = Value(std::move(names));
        slot = std::move(info);
        return &*slot;
    }

    bool decodeObject(const BinaryReader::Container& obj, int depth, Value& out)
    {
        Members m;
        if (!members(obj, m))
            return false;
        const ClassInfo* info = classOf(m[kClass]); // no $class: a class record, or junk
        if (!info)
            return false;
        if (info->kind != Kind::Other) {
            const Outcome r = decodeKnown(info->kind, m, depth, out);
            if (r == Outcome::Ok)
                return true;
            // A subclass of a known class that archives itself in its own way is kept as
            // an object of its own class; the known class itself must be well-formed.
            if (r == Outcome::Failed || info->exact)
                return false;
        }
        return decodeOther(obj, *info, depth, out);
    }

    // An array of UIDs, as in NS.keys and NS.objects.
    bool uidList(std::uint64_t ref, BinaryReader::Container& list)
    {
        return r_.inspect(ref, list) == BinaryReader::Kind::Array && list.count <= budget_;
    }

    bool uidAt(const BinaryReader::Container& list, std::uint64_t i, std::uint64_t& uid)
    {
        std::uint64_t ref = 0;
        return r_.member(list, i, ref) && r_.uid(ref, uid);
    }

    Outcome decodeKnown(Kind kind, const Members& m, int depth, Value& out)
    {
        if (!hasKnownForm(kind, [&m](KeyId id) { return m[id] != kAbsent; }))
            return Outcome::Missing;
        switch (kind) {
        case Kind::Dictionary: {
            BinaryReader::Container keys;
            BinaryReader::Container values;
            if (!uidList(m[kKeys], keys) || !uidList(m[kMembers], values) || keys.count != values.count)
                return Outcome::Failed;
            std::vector<Dict::Entry> entries;
            entries.reserve(keys.count);
            for (std::uint64_t i = 0; i < keys.count; ++i) {
                std::uint64_t keyUid = 0;
                std::uint64_t valueUid = 0;
                Value key;
                if (!uidAt(keys, i, keyUid) || !uidAt(values, i, valueUid))
                    return Outcome::Failed;
                if (!resolve(keyUid, depth + 1, key) || !key.isString())
                    return Outcome::Failed;
                if (valueUid == 0)
                    continue; // nil
                entries.emplace_back(key.string(), Value());
                if (!resolve(valueUid, depth + 1, entries.back().second))
                    return Outcome::Failed;
            }
            const std::size_t count = entries.size();
            Dict dict = Dict::fromEntries(std::move(entries));
            if (dict.size() != count)
                return Outcome::Failed; // a repeated key: no NSDictionary holds one
            out = Value(std::move(dict));
            return Outcome::Ok;
        }
        case Kind::Array: {
            BinaryReader::Container list;
            if (!uidList(m[kMembers], list))
                return Outcome::Failed;
            Array items;
            items.reserve(list.count);
            for (std::uint64_t i = 0; i < list.count; ++i) {
                std::uint64_t uid = 0;
                if (!uidAt(list, i, uid))
                    return Outcome::Failed;
                if (uid == 0)
                    continue; // nil
                items.emplace_back();
                if (!resolve(uid, depth + 1, items.back()))
                    return Outcome::Failed;
            }
            out = Value(std::move(items));
            return Outcome::Ok;
        }
        case Kind::String:
            return scalarMember(m[kString], out, [](const Value& v) { return v.isString(); });
        case Kind::Data:
            return scalarMember(m[kData], out, [](const Value& v) { return v.isData(); });
        case Kind::Date: {
            Value time;
            const Outcome r =
                scalarMember(m[kTime], time, [](const Value& v) { return v.isReal() || v.isInteger(); });
            if (r == Outcome::Ok)
                out = Value(Date{time.toReal()});
            return r;
        }
        case Kind::Number: {
            const Outcome r =
                scalarMember(m[kIntValue], out, [](const Value& v) { return v.isInteger() || v.isUnsigned(); });
            if (r != Outcome::Missing)
                return r;
            return scalarMember(m[kDoubleValue], out, [](const Value& v) { return v.isReal(); });
        }
        case Kind::Other:
            break;
        }
        return Outcome::Failed;
    }

    template <typename Accept>
    Outcome scalarMember(std::uint64_t ref, Value& out, Accept accept)
    {
        if (ref == kAbsent)
            return Outcome::Missing;
        return r_.scalar(ref, out) && accept(out) ? Outcome::Ok : Outcome::Failed;
    }

    // An object of a class we do not model: its own members plus its class's names.
    bool decodeOther(const BinaryReader::Container& obj, const ClassInfo& info, int depth, Value& out)
    {
        if (!spend(2 + info.classes.array().size()))
            return false;
        std::vector<Dict::Entry> entries;
        entries.reserve(obj.count + 1);
        for (std::uint64_t i = 0; i < obj.count; ++i) {
            std::uint64_t keyRef = 0;
            std::uint64_t valueRef = 0;
            if (!r_.key(obj, i, keyRef) || !r_.value(obj, i, valueRef))
                return false;
            const KeyId id = keyId(keyRef);
            if (id == kClass)
                continue;
            // The archiver escapes member keys that begin with '$', so these two cannot be
            // members; were they, the class names would overwrite them.
            if (id == kClassName || id == kClasses)
                return false;
            Value key;
            if (!r_.scalar(keyRef, key) || !key.isString())
                return false;
            Value decoded;
            bool nil = false;
            if (!decodeMember(valueRef, depth + 1, decoded, nil))
                return false;
            if (!nil)
                entries.emplace_back(key.string(), std::move(decoded));
        }
        entries.emplace_back(kClassNameKey, Value(info.name));
        entries.emplace_back(kClassesKey, info.classes);
        out = Value(Dict::fromEntries(std::move(entries)));
        return true;
    }

    // A member of an object: a reference, or a value stored inline (what encodeInt,
    // encodeDouble, encodeBool and encodeBytes write, and arrays of references).
    bool decodeMember(std::uint64_t ref, int depth, Value& out, bool& nil)
    {
        if (depth > kMaxNesting)
            return false;
        BinaryReader::Container c;
        switch (r_.inspect(ref, c)) {
        case BinaryReader::Kind::Scalar: {
            std::uint64_t uid = 0;
            if (r_.uid(ref, uid)) {
                nil = uid == 0;
                return nil || resolve(uid, depth, out);
            }
            return spend(1) && r_.scalar(ref, out);
        }
        case BinaryReader::Kind::Array: {
            // An inline array can hold itself in a hostile file: the depth limit stops that.
            if (!spend(1) || c.count > budget_)
                return false;
            Array items;
            items.reserve(c.count);
            for (std::uint64_t i = 0; i < c.count; ++i) {
                std::uint64_t member = 0;
                Value decoded;
                bool memberNil = false;
                if (!r_.member(c, i, member) || !decodeMember(member, depth + 1, decoded, memberNil))
                    return false;
                if (!memberNil)
                    items.push_back(std::move(decoded));
            }
            out = Value(std::move(items));
            return true;
        }
        case BinaryReader::Kind::Dict: // objects are always referenced, never inline
        case BinaryReader::Kind::Invalid:
            break;
        }
        return false;
    }

    BinaryReader& r_;
    const BinaryReader::Container objects_; // $objects
    std::size_t budget_;
    std::vector<std::uint8_t> active_; // by UID: on the decode stack
    std::vector<std::uint8_t> keyIds_; // by object index: KeyId of a key string
    std::unordered_map<std::uint64_t, std::optional<ClassInfo>> classes_; // by UID
};

// ---------------------------------------------------------------------------------------
// Encoding

using Ref = BinaryWriter::Ref;

bool isStringArray(const Value* v)
{
    if (!v || !v->isArray())
        return false;
    for (const Value& item : v->array())
        if (!item.isString())
            return false;
    return true;
}

// The decoded form of an object of a class we do not model (see decodeKeyedArchive()).
bool isOtherObject(const Dict& d)
{
    const Value* name = d.find(kClassNameKey);
    const Value* chain = d.find(kClassesKey);
    if (!name || !name->isString() || !isStringArray(chain) || d.contains(kClassKey))
        return false;
    // Written as an object of that class it must decode as one again, not as the known
    // class it names or descends from; a dictionary that would is written as a dictionary.
    bool exact = false;
    const Kind kind = kindOfClass(name->string(), chain->array(), exact);
    if (kind == Kind::Other)
        return true;
    return !exact && !hasKnownForm(kind, [&d](KeyId id) { return d.contains(QString(kKnownKeys[id - 1])); });
}

// Lays the archive out directly in a BinaryWriter. UIDs are handed out the way
// NSKeyedArchiver does: an object takes the next UID before its members are archived (so
// the root is 1), a class record takes one the first time the class is needed, after the
// members of the first object of that class. Scalars are uniqued, so every equal string
// or number is one entry in $objects.
class Encoder {
public:
    explicit Encoder(BinaryWriter& w) : w_(w) {}

    // The top object of the archive, written to the writer.
    std::optional<Ref> encode(const Value& root, const TreeSize& size)
    {
        // A value takes up to four objects (a dictionary: itself, its key and value lists,
        // its UID), a key two (the string and its UID), all told some 40 bytes and the
        // payload; a little generous, as equal scalars are stored once.
        const std::size_t expected = 4 * size.values + 2 * size.keys + 64;
        w_.reserve(size.payload + 40 * size.values + 12 * size.keys + 4 * expected, expected);
        objectRefs_.reserve(size.values + size.keys + 8);
        uidRefs_.reserve(size.values + size.keys + 8);
        uidOfScalar_.reserve(expected);

        // UID 0. Deliberately not entered in uidOfScalar_: a string "$null" in the content
        // is a different object and gets a UID of its own.
        objectRefs_.push_back(w_.addString(kNullObject));
        keysKey_ = w_.addString(kKeysKey);
        membersKey_ = w_.addString(kMembersKey);
        classKey_ = w_.addString(kClassKey);

        std::uint64_t rootUid = 0;
        if (!archive(root, 0, rootUid))
            return std::nullopt;
        Q_ASSERT(rootUid == 1);

        const Ref objects = w_.addArray(objectRefs_);
        const Ref rootKey = w_.addString(kRootKey);
        const Ref rootRef = uidRef(rootUid);
        const Ref topDict = w_.addDict(std::span(&rootKey, 1), std::span(&rootRef, 1));
        const std::array<Ref, 4> keys = {w_.addString(kVersionKey), w_.addString(kArchiverKey),
                                         w_.addString(kTopKey), w_.addString(kObjectsKey)};
        const std::array<Ref, 4> values = {w_.addInteger(kArchiveVersion),
                                           w_.addString(QStringLiteral("NSKeyedArchiver")), topDict, objects};
        return w_.addDict(keys, values);
    }

private:
    std::uint64_t newUid()
    {
        objectRefs_.push_back(0);
        return objectRefs_.size() - 1;
    }

    // The UID object referring to `uid`. The writer would find it in its table of scalars;
    // UIDs are dense and referenced several times each, so a plain vector is much faster.
    Ref uidRef(std::uint64_t uid)
    {
        if (uid >= uidRefs_.size())
            uidRefs_.resize(std::max<std::size_t>(uid + 1, uidRefs_.size() * 2), 0);
        if (uidRefs_[uid] == 0)
            uidRefs_[uid] = w_.addDistinctUid(uid) + 1;
        return uidRefs_[uid] - 1;
    }

    // The UID of a scalar stored directly in $objects.
    std::uint64_t scalarUid(Ref ref)
    {
        if (ref >= uidOfScalar_.size())
            uidOfScalar_.resize(w_.objectCount(), 0);
        if (uidOfScalar_[ref] == 0) {
            uidOfScalar_[ref] = newUid();
            objectRefs_.back() = ref;
        }
        return uidOfScalar_[ref];
    }

    // The UID of the class record {"$classname": name, "$classes": chain}, written once.
    std::uint64_t classUid(const QString& name, const Array& chain)
    {
        QString key = name;
        for (const Value& c : chain)
            key += QChar(0) + c.string();
        if (auto it = classUids_.constFind(key); it != classUids_.constEnd())
            return *it;
        const std::uint64_t uid = newUid();
        const std::size_t base = members_.size();
        for (const Value& c : chain)
            members_.push_back(w_.addString(c.string()));
        const Ref chainRef = w_.addArray(std::span(members_.data() + base, chain.size()));
        members_.resize(base);
        const std::array<Ref, 2> keys = {w_.addString(kClassNameKey), w_.addString(kClassesKey)};
        const std::array<Ref, 2> values = {w_.addString(name), chainRef};
        objectRefs_[uid] = w_.addDict(keys, values);
        classUids_.insert(key, uid);
        return uid;
    }

    std::uint64_t wellKnownClass(std::uint64_t& cached, std::initializer_list<const char*> chain)
    {
        if (cached == 0) {
            Array names;
            for (const char* c : chain)
                names.push_back(Value(c));
            cached = classUid(names.front().string(), names);
        }
        return cached;
    }

    bool archive(const Value& v, int depth, std::uint64_t& uid)
    {
        if (depth > kMaxNesting || w_.overflowed())
            return false;
        switch (v.type()) {
        case Type::None:
        case Type::Uid:
            return false;
        case Type::Array: {
            uid = newUid();
            const std::size_t base = members_.size();
            for (const Value& item : v.array()) {
                std::uint64_t member = 0;
                if (!archive(item, depth + 1, member))
                    return false;
                members_.push_back(uidRef(member));
            }
            const Ref list = w_.addArray(std::span(members_.data() + base, members_.size() - base));
            members_.resize(base);
            const std::uint64_t cls =
                wellKnownClass(arrayClass_, {"NSMutableArray", "NSArray", "NSObject"});
            const std::array<Ref, 2> keys = {membersKey_, classKey_};
            const std::array<Ref, 2> values = {list, uidRef(cls)};
            objectRefs_[uid] = w_.addDict(keys, values);
            return true;
        }
        case Type::Dict:
            return isOtherObject(v.dict()) ? archiveOther(v.dict(), depth, uid) : archiveDict(v.dict(), depth, uid);
        case Type::Date: {
            uid = newUid();
            const Ref time = w_.addReal(v.date().secondsSince2001);
            const std::uint64_t cls = wellKnownClass(dateClass_, {"NSDate", "NSObject"});
            const std::array<Ref, 2> keys = {w_.addString(kTimeKey), classKey_};
            const std::array<Ref, 2> values = {time, uidRef(cls)};
            objectRefs_[uid] = w_.addDict(keys, values);
            return true;
        }
        default:
            uid = scalarUid(*w_.addScalar(v));
            return true;
        }
    }

    bool archiveDict(const Dict& d, int depth, std::uint64_t& uid)
    {
        uid = newUid();
        // NSDictionary archives all its keys, then all its values.
        const std::size_t base = members_.size();
        for (const auto& [key, value] : d)
            members_.push_back(uidRef(scalarUid(w_.addString(key))));
        for (const auto& [key, value] : d) {
            std::uint64_t member = 0;
            if (!archive(value, depth + 1, member))
                return false;
            members_.push_back(uidRef(member));
        }
        const Ref* refs = members_.data() + base;
        const Ref keyList = w_.addArray(std::span(refs, d.size()));
        const Ref valueList = w_.addArray(std::span(refs + d.size(), d.size()));
        members_.resize(base);
        const std::uint64_t cls =
            wellKnownClass(dictClass_, {"NSMutableDictionary", "NSDictionary", "NSObject"});
        const std::array<Ref, 3> keys = {keysKey_, membersKey_, classKey_};
        const std::array<Ref, 3> values = {keyList, valueList, uidRef(cls)};
        objectRefs_[uid] = w_.addDict(keys, values);
        return true;
    }

    bool archiveOther(const Dict& d, int depth, std::uint64_t& uid)
    {
        uid = newUid();
        auto isOwnMember = [](const QString& key) { return key != kClassNameKey && key != kClassesKey; };
        const std::size_t base = members_.size();
        std::size_t n = 0;
        for (const auto& [key, value] : d) {
            if (isOwnMember(key)) {
                members_.push_back(w_.addString(key));
                ++n;
            }
        }
        members_.push_back(classKey_);
        for (const auto& [key, value] : d) {
            if (!isOwnMember(key))
                continue;
            switch (value.type()) {
            case Type::Bool:
            case Type::Integer:
            case Type::Unsigned:
            case Type::Real:
            case Type::Data:
                members_.push_back(*w_.addScalar(value));
                break;
            default: {
                std::uint64_t member = 0;
                if (!archive(value, depth + 1, member))
                    return false;
                members_.push_back(uidRef(member));
            }
            }
        }
        members_.push_back(uidRef(classUid(d.find(kClassNameKey)->string(), d.find(kClassesKey)->array())));
        const Ref* refs = members_.data() + base;
        objectRefs_[uid] = w_.addDict(std::span(refs, n + 1), std::span(refs + n + 1, n + 1));
        members_.resize(base);
        return true;
    }

    BinaryWriter& w_;
    std::vector<Ref> objectRefs_;           // $objects: the writer's reference of each UID
    std::vector<std::uint32_t> uidOfScalar_; // by writer reference: UID of that scalar, or 0
    std::vector<Ref> uidRefs_;              // by UID: 1 + reference of its UID object, or 0
    std::vector<Ref> members_;              // member references of objects being built
    QHash<QString, std::uint64_t> classUids_;
    std::uint64_t arrayClass_ = 0;
    std::uint64_t dictClass_ = 0;
    std::uint64_t dateClass_ = 0;
    Ref keysKey_ = 0;
    Ref membersKey_ = 0;
    Ref classKey_ = 0;
};

} // namespace

std::optional<Value> decodeKeyedArchive(QByteArrayView bytes)
{
    BinaryReader r;
    BinaryReader::Container top;
    if (!r.open(bytes) || r.inspect(r.topObject(), top) != BinaryReader::Kind::Dict)
        return std::nullopt;
    // The four entries of the top dictionary (a repeated key counts with its last value).
    std::uint64_t archiver = kAbsent;
    std::uint64_t version = kAbsent;
    std::uint64_t topObjects = kAbsent;
    std::uint64_t objects = kAbsent;
    for (std::uint64_t i = 0; i < top.count; ++i) {
        std::uint64_t key = 0;
        std::uint64_t value = 0;
        if (!r.key(top, i, key) || !r.value(top, i, value))
            return std::nullopt;
        if (r.isString(key, QLatin1StringView("$archiver")))
            archiver = value;
        else if (r.isString(key, QLatin1StringView("$version")))
            version = value;
        else if (r.isString(key, QLatin1StringView("$top")))
            topObjects = value;
        else if (r.isString(key, QLatin1StringView("$objects")))
            objects = value;
    }
    // Any archiver name and version number is accepted: only the layout matters here.
    Value v;
    if (archiver == kAbsent || !r.scalar(archiver, v) || !v.isString())
        return std::nullopt;
    if (version == kAbsent || !r.scalar(version, v) || !(v.isInteger() || v.isUnsigned()))
        return std::nullopt;

    BinaryReader::Container topDict;
    if (topObjects == kAbsent || r.inspect(topObjects, topDict) != BinaryReader::Kind::Dict)
        return std::nullopt;
    std::uint64_t root = kAbsent;
    for (std::uint64_t i = 0; i < topDict.count; ++i) {
        std::uint64_t key = 0;
        std::uint64_t value = 0;
        if (!r.key(topDict, i, key) || !r.value(topDict, i, value))
            return std::nullopt;
        if (r.isString(key, QLatin1StringView("root")))
            root = value;
    }
    std::uint64_t rootUid = 0;
    if (root == kAbsent || !r.uid(root, rootUid) || rootUid == 0)
        return std::nullopt; // no root, or a nil one, which has no value

    BinaryReader::Container list;
    std::uint64_t first = 0;
    if (objects == kAbsent || r.inspect(objects, list) != BinaryReader::Kind::Array || list.count == 0
        || !r.member(list, 0, first) || !r.isString(first, QLatin1StringView("$null")))
        return std::nullopt;

    Value result;
    if (!Decoder(r, list, valueBudget(std::size_t(bytes.size()))).resolve(rootUid, 0, result))
        return std::nullopt;
    return result;
}

QByteArray encodeKeyedArchive(const Value& root)
{
    const TreeSize size = measureTree(root);
    return BinaryWriter::build([&](BinaryWriter& w) { return Encoder(w).encode(root, size); });
}

std::optional<Value> readKeyedArchiveFile(const QString& path)
{
    // One open, one fstat and one read: a rebuild reads a hundred thousand of these, and
    // only regular files are read at all (a pipe or device planted in a package is not).
    const std::optional<QByteArray> bytes = fs::readFile(path, kMaxKeyedArchiveFileSize);
    if (!bytes)
        return std::nullopt;
    return decodeKeyedArchive(*bytes);
}

bool writeKeyedArchiveFile(const QString& abs, const Value& root, fs::Durability durability)
{
    const QByteArray bytes = encodeKeyedArchive(root);
    if (bytes.isEmpty())
        return false;
    return fs::writeFileAtomic(abs, bytes, 0644, durability);
}

} // namespace folivo::plist
