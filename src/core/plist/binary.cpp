#include "plist/binary.h"

#include <QHashFunctions>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

// Layout of a binary property list:
//   "bplist00"                          8-byte header
//   objects                             each a marker byte (type in the high nibble, size
//                                       or count in the low one) and its payload
//   offset table                        the offset of every object, big-endian, each
//                                       `offsetIntSize` bytes wide
//   trailer                             32 bytes: 6 unused, offsetIntSize, objectRefSize,
//                                       object count, top object, offset-table offset
//                                       (the last three 8-byte big-endian)
// Containers refer to their members by object index, `objectRefSize` bytes wide. A count
// of 15 or more is written as the nibble 0xF followed by an integer object.

namespace folivo::plist {

namespace {

constexpr char kMagic[8] = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
constexpr std::size_t kHeaderSize = sizeof(kMagic);
constexpr std::size_t kTrailerSize = 32;

enum Marker : std::uint8_t {
    kFalse = 0x08,
    kTrue = 0x09,
    kInt = 0x10,
    kReal = 0x20,
    kDate = 0x33,
    kData = 0x40,
    kAsciiString = 0x50,
    kUtf16String = 0x60,
    kUtf8String = 0x70,
    kUid = 0x80,
    kArray = 0xA0,
    kSet = 0xC0,
    kDict = 0xD0,
};
constexpr std::uint8_t kCountFollows = 0x0F;

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

void writeBigEndian(std::uint8_t* p, std::uint64_t v, unsigned n)
{
    switch (n) {
    case 1: *p = std::uint8_t(v); return;
    case 2: qToBigEndian(std::uint16_t(v), p); return;
    case 4: qToBigEndian(std::uint32_t(v), p); return;
    case 8: qToBigEndian(v, p); return;
    default:
        for (unsigned i = n; i-- > 0; v >>= 8)
            p[i] = std::uint8_t(v);
    }
}

// Smallest of 1, 2, 4 and 8 bytes that holds `v`.
unsigned byteWidth(std::uint64_t v)
{
    if (v <= 0xFF)
        return 1;
    if (v <= 0xFFFF)
        return 2;
    if (v <= 0xFFFFFFFF)
        return 4;
    return 8;
}

// log2 of byteWidth(v): the low nibble of an integer marker.
std::uint8_t widthNibble(unsigned width)
{
    return std::uint8_t(std::countr_zero(width));
}

// ---------------------------------------------------------------------------------------
// Reading a Value tree

// Materialises the whole tree under the top object, within the nesting limit and the value
// budget, refusing cycles.
class TreeReader {
public:
    TreeReader(BinaryReader& reader, std::size_t inputSize)
        : r_(reader), budget_(valueBudget(inputSize)), onStack_(reader.objectCount(), 0)
    {
    }

    bool read(std::uint64_t index, int depth, Value& out)
    {
        if (depth > kMaxNesting || budget_ == 0)
            return false;
        --budget_;
        BinaryReader::Container c;
        const BinaryReader::Kind kind = r_.inspect(index, c);
        switch (kind) {
        case BinaryReader::Kind::Invalid:
            return false;
        case BinaryReader::Kind::Scalar:
            return r_.scalar(index, out);
        case BinaryReader::Kind::Array:
        case BinaryReader::Kind::Dict:
            break;
        }
        // Every member costs at least one value of the budget, which also keeps the
        // reservations below proportional to the input.
        if (c.count > budget_ || onStack_[index])
            return false; // over budget, or a container that reaches itself
        onStack_[index] = 1;
        const bool ok = kind == BinaryReader::Kind::Dict ? readDict(c, depth, out) : readArray(c, depth, out);
        onStack_[index] = 0;
        return ok;
    }

private:
    bool readArray(const BinaryReader::Container& c, int depth, Value& out)
    {
        Array items(c.count);
        for (std::uint64_t i = 0; i < c.count; ++i) {
            std::uint64_t ref = 0;
            if (!r_.member(c, i, ref) || !read(ref, depth + 1, items[i]))
                return false;
        }
        out = Value(std::move(items));
        return true;
    }

    bool readDict(const BinaryReader::Container& c, int depth, Value& out)
    {
        std::vector<Dict::Entry> entries(c.count);
        for (std::uint64_t i = 0; i < c.count; ++i) {
            std::uint64_t keyRef = 0;
            std::uint64_t valueRef = 0;
            Value key;
            if (!r_.key(c, i, keyRef) || !r_.value(c, i, valueRef))
                return false;
            if (!read(keyRef, depth + 1, key) || !key.isString())
                return false;
            entries[i].first = key.string();
            if (!read(valueRef, depth + 1, entries[i].second))
                return false;
        }
        out = Value(Dict::fromEntries(std::move(entries)));
        return true;
    }

    BinaryReader& r_;
    std::size_t budget_;
    std::vector<std::uint8_t> onStack_;
};

// ---------------------------------------------------------------------------------------
// Writing a Value tree

using Ref = BinaryWriter::Ref;

// `members` is a stack shared by all levels: a container's member references are pushed
// above those of its ancestors and popped once the container is added, so building a tree
// allocates nothing per container.
bool addTree(BinaryWriter& w, const Value& v, int depth, std::vector<Ref>& members, Ref& out)
{
    if (depth > kMaxNesting || w.overflowed())
        return false;
    switch (v.type()) {
    case Type::None:
        return false;
    case Type::Array: {
        const std::size_t base = members.size();
        for (const Value& item : v.array()) {
            Ref r = 0;
            if (!addTree(w, item, depth + 1, members, r))
                return false;
            members.push_back(r);
        }
        out = w.addArray(std::span<const Ref>(members.data() + base, members.size() - base));
        members.resize(base);
        return true;
    }
    case Type::Dict: {
        const Dict& d = v.dict();
        const std::size_t base = members.size();
        for (const auto& [key, value] : d)
            members.push_back(w.addString(key));
        for (const auto& [key, value] : d) {
            Ref r = 0;
            if (!addTree(w, value, depth + 1, members, r))
                return false;
            members.push_back(r);
        }
        const Ref* keys = members.data() + base;
        out = w.addDict(std::span<const Ref>(keys, d.size()), std::span<const Ref>(keys + d.size(), d.size()));
        members.resize(base);
        return true;
    }
    default:
        out = *w.addScalar(v);
        return true;
    }
}

} // namespace

namespace {

void measure(const Value& v, int depth, TreeSize& size)
{
    ++size.values;
    switch (v.type()) {
    case Type::String: size.payload += std::size_t(v.string().size()); break;
    case Type::Data: size.payload += std::size_t(v.data().size()); break;
    case Type::Array:
        if (depth < kMaxNesting) {
            for (const Value& item : v.array())
                measure(item, depth + 1, size);
        }
        break;
    case Type::Dict:
        size.keys += v.dict().size();
        if (depth < kMaxNesting) {
            for (const auto& [key, value] : v.dict()) {
                size.payload += std::size_t(key.size());
                measure(value, depth + 1, size);
            }
        }
        break;
    default: break;
    }
}

} // namespace

TreeSize measureTree(const Value& root)
{
    TreeSize size;
    measure(root, 0, size);
    return size;
}

std::size_t valueBudget(std::size_t inputSize)
{
    // A reference costs at least a byte, so a tree (the usual archive, where objects are
    // referenced once) stays well under kPerByte values a byte; the floor leaves room for
    // modest sharing in small inputs.
    constexpr std::size_t kFloor = std::size_t(1) << 18;
    constexpr std::size_t kPerByte = 4;
    if (inputSize > std::numeric_limits<std::size_t>::max() / kPerByte)
        return std::numeric_limits<std::size_t>::max();
    return std::max(kFloor, inputSize * kPerByte);
}

std::optional<Value> readBinary(QByteArrayView bytes)
{
    BinaryReader reader;
    if (!reader.open(bytes))
        return std::nullopt;
    Value top;
    if (!TreeReader(reader, std::size_t(bytes.size())).read(reader.topObject(), 0, top))
        return std::nullopt;
    return top;
}

// ---------------------------------------------------------------------------------------
// BinaryReader

bool BinaryReader::open(QByteArrayView bytes)
{
    data_ = reinterpret_cast<const std::uint8_t*>(bytes.data());
    size_ = std::size_t(bytes.size());
    count_ = 0;
    if (size_ < kHeaderSize + kTrailerSize || std::memcmp(data_, kMagic, kHeaderSize) != 0)
        return false;
    const std::uint8_t* t = data_ + size_ - kTrailerSize;
    offsetSize_ = t[6];
    refSize_ = t[7];
    const std::uint64_t count = readBigEndian(t + 8, 8);
    top_ = readBigEndian(t + 16, 8);
    tableOffset_ = readBigEndian(t + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
        return false;
    if (count == 0 || top_ >= count)
        return false;
    // Objects lie between the header and the offset table, which ends at the trailer.
    if (tableOffset_ < kHeaderSize || tableOffset_ > size_ - kTrailerSize)
        return false;
    // This also bounds the object count (and every per-object vector) by the input size.
    if (count > (size_ - kTrailerSize - tableOffset_) / offsetSize_)
        return false;
    count_ = count;
    cacheSlot_.assign(count_, 0);
    cached_.clear();
    return true;
}

bool BinaryReader::refAt(const Container& c, std::uint64_t i, std::uint64_t& ref) const
{
    // inspect() checked that all of the container's references (`count` of them, twice
    // that for a dict) lie in the object area.
    ref = readBigEndian(data_ + c.refs + i * refSize_, refSize_);
    return ref < count_;
}

// Position of the marker of object `index`.
bool BinaryReader::locate(std::uint64_t index, std::size_t& pos) const
{
    if (index >= count_)
        return false;
    const std::uint64_t offset = readBigEndian(data_ + tableOffset_ + index * offsetSize_, offsetSize_);
    if (offset < kHeaderSize || offset >= tableOffset_)
        return false;
    pos = std::size_t(offset);
    return true;
}

// Reads the count that follows a marker whose low nibble is `low`; `pos` is just past the
// marker and ends up at the payload.
bool BinaryReader::readCount(std::uint8_t low, std::size_t& pos, std::uint64_t& count) const
{
    if (low != kCountFollows) {
        count = low;
        return true;
    }
    if (room(pos) < 1)
        return false;
    const std::uint8_t m = data_[pos];
    if ((m & 0xF0) != kInt || (m & 0x0F) > 3)
        return false;
    const std::size_t width = std::size_t(1) << (m & 0x0F);
    if (room(pos) - 1 < width)
        return false;
    count = readBigEndian(data_ + pos + 1, width);
    if (width == 8 && count > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
        return false; // a negative count
    pos += 1 + width;
    return true;
}

BinaryReader::Kind BinaryReader::inspect(std::uint64_t index, Container& container) const
{
    std::size_t pos = 0;
    if (!locate(index, pos))
        return Kind::Invalid;
    const std::uint8_t marker = data_[pos++];
    switch (marker & 0xF0) {
    case kArray:
    case kSet: // read as an array: Value has no set, and order is all a set can lose
    case kDict: {
        const bool isDict = (marker & 0xF0) == kDict;
        std::uint64_t count = 0;
        if (!readCount(marker & 0x0F, pos, count))
            return Kind::Invalid;
        if (count > room(pos) / refSize_ / (isDict ? 2 : 1))
            return Kind::Invalid;
        container.count = count;
        container.refs = pos;
        return isDict ? Kind::Dict : Kind::Array;
    }
    default:
        return Kind::Scalar; // or junk, which scalar() reports
    }
}

bool BinaryReader::scalar(std::uint64_t index, Value& out)
{
    std::size_t pos = 0;
    if (!locate(index, pos))
        return false;
    const std::uint32_t slot = cacheSlot_[index];
    if (slot != 0 && slot != kSeenOnce) {
        out = cached_[slot - 1];
        return true;
    }
    const std::uint8_t marker = data_[pos++];
    const std::uint8_t low = marker & 0x0F;
    std::uint64_t count = 0;
    switch (marker & 0xF0) {
    case 0x00:
        // 0x00 (null) and 0x0F (fill) have no Value counterpart and are never written by the
        // platform's writer, so they make the file unreadable like any other junk.
        if (marker != kFalse && marker != kTrue)
            return false;
        out = Value(marker == kTrue);
        return true;

    case kInt: {
        if (low > 4)
            return false;
        const std::size_t width = std::size_t(1) << low;
        if (room(pos) < width)
            return false;
        if (width <= 4) { // 1, 2 and 4 bytes are unsigned
            out = Value(std::int64_t(readBigEndian(data_ + pos, width)));
        } else if (width == 8) { // 8 bytes are signed
            out = Value(std::int64_t(readBigEndian(data_ + pos, 8)));
        } else { // 16 bytes: see BinaryWriter::addUnsigned()
            const std::uint64_t high = readBigEndian(data_ + pos, 8);
            const std::uint64_t lowBits = readBigEndian(data_ + pos + 8, 8);
            if (high == 0)
                out = Value(UnsignedInt{lowBits});
            else if (high == ~std::uint64_t(0) && (lowBits >> 63) != 0)
                out = Value(std::int64_t(lowBits)); // a negative value that fits 64 bits
            else
                return false;
        }
        return true;
    }

    case kReal:
        if (low == 2 && room(pos) >= 4) {
            out = Value(double(std::bit_cast<float>(std::uint32_t(readBigEndian(data_ + pos, 4)))));
            return true;
        }
        if (low == 3 && room(pos) >= 8) {
            out = Value(std::bit_cast<double>(readBigEndian(data_ + pos, 8)));
            return true;
        }
        return false;

    case 0x30:
        if (marker != kDate || room(pos) < 8)
            return false;
        out = Value(Date{std::bit_cast<double>(readBigEndian(data_ + pos, 8))});
        return true;

    case kUid: {
        std::uint64_t v = 0;
        if (!uid(index, v))
            return false;
        out = Value(Uid{v});
        return true;
    }

    case kData:
        if (!readCount(low, pos, count) || count > room(pos))
            return false;
        out = Value(QByteArray(reinterpret_cast<const char*>(data_ + pos), qsizetype(count)));
        break;

    case kAsciiString:
        if (!readCount(low, pos, count) || count > room(pos))
            return false;
        // Latin-1 rather than strict ASCII: a stray high byte still reads as something.
        out = Value(QString::fromLatin1(reinterpret_cast<const char*>(data_ + pos), qsizetype(count)));
        break;

    case kUtf16String: {
        if (!readCount(low, pos, count) || count > room(pos) / 2)
            return false;
        QString s(qsizetype(count), Qt::Uninitialized);
        qFromBigEndian<char16_t>(data_ + pos, qsizetype(count), s.data());
        out = Value(std::move(s));
        break;
    }

    case kUtf8String:
        if (!readCount(low, pos, count) || count > room(pos))
            return false;
        out = Value(QString::fromUtf8(reinterpret_cast<const char*>(data_ + pos), qsizetype(count)));
        break;

    default: // containers and unknown markers
        return false;
    }
    // Strings and data only. Most are read once, so they are kept from the second read on.
    if (slot == 0)
        cacheSlot_[index] = kSeenOnce;
    else if (cached_.size() < kSeenOnce - 1) {
        cached_.push_back(out);
        cacheSlot_[index] = std::uint32_t(cached_.size());
    }
    return true;
}

bool BinaryReader::uid(std::uint64_t index, std::uint64_t& out) const
{
    std::size_t pos = 0;
    if (!locate(index, pos) || (data_[pos] & 0xF0) != kUid)
        return false;
    const std::size_t width = std::size_t(data_[pos] & 0x0F) + 1;
    if (width > 8 || room(pos + 1) < width)
        return false;
    out = readBigEndian(data_ + pos + 1, width);
    return true;
}

bool BinaryReader::isString(std::uint64_t index, QLatin1StringView s) const
{
    std::size_t pos = 0;
    if (!locate(index, pos))
        return false;
    const std::uint8_t marker = data_[pos++];
    const std::uint8_t type = marker & 0xF0;
    if (type != kAsciiString && type != kUtf8String && type != kUtf16String)
        return false;
    const auto n = std::uint64_t(s.size());
    std::uint64_t count = 0;
    if (!readCount(marker & 0x0F, pos, count) || count != n)
        return false;
    switch (type) {
    case kAsciiString:
    case kUtf8String: // the same bytes when `s` is ASCII
        return n <= room(pos) && std::memcmp(data_ + pos, s.data(), n) == 0;
    case kUtf16String:
        if (n > room(pos) / 2)
            return false;
        for (std::uint64_t i = 0; i < n; ++i) {
            if (data_[pos + 2 * i] != 0 || data_[pos + 2 * i + 1] != std::uint8_t(s[qsizetype(i)].unicode()))
                return false;
        }
        return true;
    default:
        return false;
    }
}

QByteArray writeBinary(const Value& root)
{
    const TreeSize size = measureTree(root);
    return BinaryWriter::build([&](BinaryWriter& w) -> std::optional<Ref> {
        // Every value and key an object of 10 bytes or so, strings and data apart, and an
        // offset of 4; equal scalars are stored once, so this is generous.
        const std::size_t objects = size.values + size.keys;
        w.reserve(size.payload + objects * 14 + 64, objects);
        std::vector<Ref> members;
        Ref top = 0;
        if (!addTree(w, root, 0, members, top))
            return std::nullopt;
        return top;
    });
}

// ---------------------------------------------------------------------------------------
// BinaryWriter

struct BinaryWriter::Impl {
    struct Slot {
        std::uint32_t hash;
        Ref refPlusOne; // 0: empty
    };

    unsigned refSize;
    std::uint64_t capacity; // objects that references of refSize bytes can count
    // Header and objects so far: the first `used` bytes of `out`, whose size is kept at its
    // capacity so that writing a byte is a store, not a call.
    QByteArray out;
    std::size_t used = 0;
    // Object offsets, in 32 bits each to halve their memory: offsets only grow, so the high
    // halves are kept as the objects from which they change (all zero below 4 GiB).
    std::vector<std::uint32_t> offsets;
    std::vector<std::pair<Ref, std::uint64_t>> highParts;
    std::vector<Slot> table; // open addressing over the scalars, by encoded bytes
    std::size_t scalars = 0;
    bool overflow = false;

    std::uint8_t* base() { return reinterpret_cast<std::uint8_t*>(out.data()); }

    std::uint8_t* grow(std::size_t n)
    {
        if (std::size_t(out.size()) - used < n)
            reserve(std::max(used + n, 2 * std::size_t(out.size())));
        used += n;
        return base() + (used - n);
    }

    void reserve(std::size_t bytes)
    {
        if (bytes > std::size_t(out.size()))
            out.resize(qsizetype(bytes)); // new bytes are not cleared
    }

    void put(std::uint8_t b) { *grow(1) = b; }

    void putBigEndian(std::uint64_t v, unsigned width) { writeBigEndian(grow(width), v, width); }

    // A non-negative integer in the smallest of 1, 2, 4 and 8 bytes (8-byte form is signed,
    // so this is for values up to INT64_MAX).
    void putInteger(std::uint64_t v)
    {
        const unsigned width = byteWidth(v);
        put(kInt | widthNibble(width));
        putBigEndian(v, width);
    }

    void putMarker(std::uint8_t type, std::uint64_t count)
    {
        if (count < kCountFollows) {
            put(type | std::uint8_t(count));
        } else {
            put(type | kCountFollows);
            putInteger(count);
        }
    }

    void putUid(std::uint64_t index)
    {
        const unsigned width = byteWidth(index);
        put(kUid | std::uint8_t(width - 1));
        putBigEndian(index, width);
    }

    void putRefs(std::span<const Ref> refs)
    {
        std::uint8_t* p = grow(refs.size() * refSize);
        for (Ref r : refs) {
            writeBigEndian(p, r, refSize);
            p += refSize;
        }
    }

    // The object written from `start` to the end of the output.
    Ref newObject(std::size_t start)
    {
        if (offsets.size() >= capacity)
            overflow = true;
        const Ref ref = Ref(offsets.size());
        const std::uint64_t high = start >> 32;
        if (high != (highParts.empty() ? 0 : highParts.back().second))
            highParts.emplace_back(ref, high);
        offsets.push_back(std::uint32_t(start));
        return ref;
    }

    std::uint64_t offsetOf(Ref ref) const
    {
        std::uint64_t high = 0;
        for (auto it = highParts.rbegin(); it != highParts.rend(); ++it) {
            if (it->first <= ref) {
                high = it->second;
                break;
            }
        }
        return (high << 32) | offsets[ref];
    }

    // Makes the scalar written from `start` an object, unless an equal one exists, in which
    // case the new bytes are dropped again.
    Ref intern(std::size_t start)
    {
        const std::uint8_t* bytes = base();
        const std::size_t len = used - start;
        const auto hash = std::uint32_t(qHashBits(bytes + start, len, 0));
        if ((scalars + 1) * 2 > table.size())
            rehash();
        const std::size_t mask = table.size() - 1;
        std::size_t i = hash & mask;
        for (; table[i].refPlusOne != 0; i = (i + 1) & mask) {
            if (table[i].hash != hash)
                continue;
            // Encodings are self-delimiting (marker and count give the length), so when the
            // earlier object's first `len` bytes match, it is the same encoding. It starts
            // before `start`, so those bytes are all in the output.
            const Ref ref = table[i].refPlusOne - 1;
            if (std::memcmp(bytes + offsetOf(ref), bytes + start, len) == 0) {
                used = start;
                return ref;
            }
        }
        const Ref ref = newObject(start);
        table[i] = Slot{hash, ref + 1};
        ++scalars;
        return ref;
    }

    void rehash()
    {
        std::vector<Slot> old = std::move(table);
        table.assign(std::max<std::size_t>(1024, old.size() * 2), Slot{0, 0});
        const std::size_t mask = table.size() - 1;
        for (const Slot& s : old) {
            if (s.refPlusOne == 0)
                continue;
            std::size_t i = s.hash & mask;
            while (table[i].refPlusOne != 0)
                i = (i + 1) & mask;
            table[i] = s;
        }
    }
};

QByteArray BinaryWriter::build(const Producer& produce)
{
    for (unsigned refSize = 1; refSize <= 4; refSize *= 2) {
        BinaryWriter w(refSize);
        const std::optional<Ref> top = produce(w);
        if (w.overflowed())
            continue; // start again with wider references
        return top ? w.finish(*top) : QByteArray();
    }
    return {}; // 2^32 objects or more
}

BinaryWriter::BinaryWriter(unsigned refSize) : d_(std::make_unique<Impl>())
{
    d_->refSize = refSize;
    // References must be able to count the objects (the platform's reader checks this),
    // and Ref is 32 bits wide.
    d_->capacity = refSize >= 4 ? std::numeric_limits<Ref>::max() : std::uint64_t(1) << (8 * refSize);
    std::memcpy(d_->grow(kHeaderSize), kMagic, kHeaderSize);
}

BinaryWriter::~BinaryWriter() = default;

bool BinaryWriter::overflowed() const
{
    return d_->overflow;
}

std::size_t BinaryWriter::objectCount() const
{
    return d_->offsets.size();
}

void BinaryWriter::reserve(std::size_t bytes, std::size_t objects)
{
    d_->reserve(bytes);
    d_->offsets.reserve(objects);
}

BinaryWriter::Ref BinaryWriter::addBool(bool b)
{
    const std::size_t start = d_->used;
    d_->put(b ? kTrue : kFalse);
    return d_->intern(start);
}

// Signed integers: non-negative ones in the smallest unsigned 1-, 2- or 4-byte form that
// holds them, otherwise (large or negative) in the signed 8-byte form.
BinaryWriter::Ref BinaryWriter::addInteger(std::int64_t i)
{
    const std::size_t start = d_->used;
    if (i >= 0) {
        d_->putInteger(std::uint64_t(i));
    } else {
        d_->put(kInt | 3);
        d_->putBigEndian(std::uint64_t(i), 8);
    }
    return d_->intern(start);
}

// Unsigned integers always take the 16-byte form with the high 8 bytes zero, even when the
// value is small. The shorter forms read back as signed integers, so this is the only way
// an UnsignedInt stays an UnsignedInt through writing and reading. The platform's reader
// takes 16-byte integers as 128-bit numbers, which hold every such value exactly.
BinaryWriter::Ref BinaryWriter::addUnsigned(std::uint64_t u)
{
    const std::size_t start = d_->used;
    d_->put(kInt | 4);
    d_->putBigEndian(0, 8);
    d_->putBigEndian(u, 8);
    return d_->intern(start);
}

BinaryWriter::Ref BinaryWriter::addReal(double d)
{
    const std::size_t start = d_->used;
    d_->put(kReal | 3);
    d_->putBigEndian(std::bit_cast<std::uint64_t>(d), 8);
    return d_->intern(start);
}

BinaryWriter::Ref BinaryWriter::addDate(Date d)
{
    const std::size_t start = d_->used;
    d_->put(kDate);
    d_->putBigEndian(std::bit_cast<std::uint64_t>(d.secondsSince2001), 8);
    return d_->intern(start);
}

// ASCII when every character is below 0x80, otherwise UTF-16 big-endian, as the platform
// writes them.
BinaryWriter::Ref BinaryWriter::addString(QStringView s)
{
    const std::size_t start = d_->used;
    const char16_t* units = s.utf16();
    const std::size_t n = std::size_t(s.size());
    const bool ascii = std::all_of(units, units + n, [](char16_t c) { return c < 0x80; });
    if (ascii) {
        d_->putMarker(kAsciiString, n);
        std::uint8_t* out = d_->grow(n);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = std::uint8_t(units[i]);
    } else {
        d_->putMarker(kUtf16String, n);
        qToBigEndian<char16_t>(units, qsizetype(n), d_->grow(2 * n));
    }
    return d_->intern(start);
}

BinaryWriter::Ref BinaryWriter::addData(QByteArrayView data)
{
    const std::size_t start = d_->used;
    const std::size_t n = std::size_t(data.size());
    d_->putMarker(kData, n);
    if (n != 0)
        std::memcpy(d_->grow(n), data.data(), n);
    return d_->intern(start);
}

BinaryWriter::Ref BinaryWriter::addUid(std::uint64_t index)
{
    const std::size_t start = d_->used;
    d_->putUid(index);
    return d_->intern(start);
}

BinaryWriter::Ref BinaryWriter::addDistinctUid(std::uint64_t index)
{
    const std::size_t start = d_->used;
    d_->putUid(index);
    return d_->newObject(start);
}

std::optional<BinaryWriter::Ref> BinaryWriter::addScalar(const Value& v)
{
    switch (v.type()) {
    case Type::Bool: return addBool(v.boolValue());
    case Type::Integer: return addInteger(v.intValue());
    case Type::Unsigned: return addUnsigned(v.unsignedValue());
    case Type::Real: return addReal(v.realValue());
    case Type::String: return addString(v.string());
    case Type::Date: return addDate(v.date());
    case Type::Data: return addData(v.data());
    case Type::Uid: return addUid(v.uid().index);
    case Type::None:
    case Type::Array:
    case Type::Dict: break;
    }
    return std::nullopt;
}

BinaryWriter::Ref BinaryWriter::addArray(std::span<const Ref> items)
{
    const std::size_t start = d_->used;
    d_->putMarker(kArray, items.size());
    d_->putRefs(items);
    return d_->newObject(start);
}

BinaryWriter::Ref BinaryWriter::addDict(std::span<const Ref> keys, std::span<const Ref> values)
{
    Q_ASSERT(keys.size() == values.size());
    const std::size_t start = d_->used;
    d_->putMarker(kDict, keys.size());
    d_->putRefs(keys);
    d_->putRefs(values);
    return d_->newObject(start);
}

QByteArray BinaryWriter::finish(Ref top)
{
    Impl& d = *d_;
    Q_ASSERT(top < d.offsets.size() && !d.overflow);
    // Offsets must be able to reach the offset table (the platform's reader checks this).
    const std::uint64_t tableOffset = d.used;
    const unsigned offsetSize = byteWidth(tableOffset);
    std::uint8_t* table = d.grow(d.offsets.size() * offsetSize + kTrailerSize);
    for (std::size_t i = 0, high = 0, next = 0; i < d.offsets.size(); ++i) {
        if (next < d.highParts.size() && d.highParts[next].first == i)
            high = d.highParts[next++].second;
        writeBigEndian(table, (std::uint64_t(high) << 32) | d.offsets[i], offsetSize);
        table += offsetSize;
    }
    std::uint8_t* trailer = table;
    std::memset(trailer, 0, 6);
    trailer[6] = std::uint8_t(offsetSize);
    trailer[7] = std::uint8_t(d.refSize);
    writeBigEndian(trailer + 8, d.offsets.size(), 8);
    writeBigEndian(trailer + 16, top, 8);
    writeBigEndian(trailer + 24, tableOffset, 8);
    d.out.truncate(qsizetype(d.used));
    d.out.squeeze(); // shrinks in place: no copy
    return std::move(d.out);
}

} // namespace folivo::plist
