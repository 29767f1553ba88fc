#pragma once
// Binary property-list ("bplist00") reader and writer.

#include "plist/value.h"

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace folivo::plist {

// Parses a binary property list. Hostile input (truncation, bad offsets, reference cycles,
// absurd nesting or sizes) yields std::nullopt, never a crash or unbounded memory.
std::optional<Value> readBinary(QByteArrayView bytes);

// Serialises a value as a binary property list. Value::None cannot be written: the result
// is then empty. So is a tree nested deeper than kMaxNesting, which no reader here would
// accept back.
QByteArray writeBinary(const Value& root);

// Limits shared by the binary and keyed-archive codecs.
//
// The root is at depth 0 and every value inside a container is one deeper; a value deeper
// than this is refused, by readers and writers alike.
inline constexpr int kMaxNesting = 512;

// How many values a reader may materialise from an input of `inputSize` bytes. Every
// reference costs at least one byte, so a tree never comes near this; only shared
// references (one object reached along many paths, the "billion laughs" shape) can, and
// they then fail instead of taking exponential memory and time.
std::size_t valueBudget(std::size_t inputSize);

// How big a tree is: its values, its dictionary keys, and the characters and bytes of its
// strings and data. Writers use it to reserve memory up front; nesting beyond kMaxNesting,
// which no writer accepts, is not visited.
struct TreeSize {
    std::size_t values = 0;
    std::size_t keys = 0;
    std::size_t payload = 0;
};
TreeSize measureTree(const Value& root);

// Random access to the objects of a binary property list, read on demand instead of as one
// tree: the keyed-archive decoder follows its own references through it and never builds
// the intermediate tree of the archive's raw objects. Every offset, count and reference is
// checked against the buffer; a failed check makes the accessor return false (or
// Kind::Invalid). Nesting, cycles and budgets are the caller's business.
class BinaryReader {
public:
    enum class Kind { Invalid, Scalar, Array, Dict }; // a set counts as an array

    // Where a container's references are. A dictionary has `count` keys, then `count` values.
    struct Container {
        std::uint64_t count = 0;
        std::size_t refs = 0;
    };

    // Checks the header and trailer. The reader keeps a view: `bytes` must outlive it.
    bool open(QByteArrayView bytes);

    std::uint64_t objectCount() const { return count_; }
    std::uint64_t topObject() const { return top_; }

    // The kind of object `index` (< objectCount()), and for containers where its members are.
    Kind inspect(std::uint64_t index, Container& container) const;
    // The object index of member `i` of an array, or of key or value `i` of a dict, from a
    // Container that inspect() filled in; false when `i` or the reference is out of range.
    bool member(const Container& c, std::uint64_t i, std::uint64_t& ref) const
    {
        return i < c.count && refAt(c, i, ref);
    }
    bool key(const Container& c, std::uint64_t i, std::uint64_t& ref) const { return member(c, i, ref); }
    bool value(const Container& c, std::uint64_t i, std::uint64_t& ref) const
    {
        return i < c.count && refAt(c, c.count + i, ref);
    }

    // The value of a scalar object; false for containers and anything unreadable. A string
    // or data object read a second time is kept, so that further reads share its buffer
    // (Qt's implicit sharing) instead of costing its length again: an object referenced a
    // million times takes its length in memory twice, not a million times.
    bool scalar(std::uint64_t index, Value& out);
    // The index held by a UID object, without building a Value.
    bool uid(std::uint64_t index, std::uint64_t& out) const;
    // Whether object `index` is a string equal to `s` (ASCII), without building a QString.
    bool isString(std::uint64_t index, QLatin1StringView s) const;

private:
    bool refAt(const Container& c, std::uint64_t i, std::uint64_t& ref) const;
    bool locate(std::uint64_t index, std::size_t& pos) const;
    bool readCount(std::uint8_t low, std::size_t& pos, std::uint64_t& count) const;
    std::size_t room(std::size_t pos) const { return std::size_t(tableOffset_) - pos; }

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t top_ = 0;
    std::uint64_t tableOffset_ = 0;
    static constexpr std::uint32_t kSeenOnce = ~std::uint32_t(0);
    std::vector<std::uint32_t> cacheSlot_; // per object: 1 + index into cached_, 0, or kSeenOnce
    std::vector<Value> cached_;
};

// Writes a binary property list object by object, bottom-up: a container is added after
// its members, from their references, and every object goes straight to the output. Scalars
// (everything but arrays and dictionaries) are stored once per distinct encoding: adding an
// equal scalar again returns the same reference. Used by writeBinary() and by the
// keyed-archive encoder, which lays out its object graph directly instead of building an
// intermediate Value tree.
//
// References have a fixed width, and how many objects there will be is only known at the
// end; so build() runs the producer with 1-byte references, and again with 2 or 4 when the
// objects outgrow them. The producer stops early once overflowed() (its objects are thrown
// away), which keeps the repeated work to the first 65 536 objects at most.
class BinaryWriter {
public:
    using Ref = std::uint32_t;
    using Producer = std::function<std::optional<Ref>(BinaryWriter&)>;

    // The property list whose top object `produce` returns, or an empty array when it
    // returns std::nullopt.
    static QByteArray build(const Producer& produce);

    ~BinaryWriter();
    BinaryWriter(const BinaryWriter&) = delete;
    BinaryWriter& operator=(const BinaryWriter&) = delete;

    // More objects than the references can count: nothing more is worth adding.
    bool overflowed() const;
    std::size_t objectCount() const;
    // Room for this much output, so that growing does not copy. Room is only address space
    // until written, so a generous guess costs little.
    void reserve(std::size_t bytes, std::size_t objects);

    Ref addBool(bool b);
    Ref addInteger(std::int64_t i);
    Ref addUnsigned(std::uint64_t u);
    Ref addReal(double d);
    Ref addDate(Date d);
    Ref addString(QStringView s);
    Ref addData(QByteArrayView data);
    Ref addUid(std::uint64_t index);
    // A UID object for a caller that adds each index only once (and so needs no lookup).
    Ref addDistinctUid(std::uint64_t index);
    // Any value that is not a container; std::nullopt for None, Array and Dict.
    std::optional<Ref> addScalar(const Value& v);

    Ref addArray(std::span<const Ref> items);
    // `keys` and `values` have the same length; every key must refer to a string.
    Ref addDict(std::span<const Ref> keys, std::span<const Ref> values);

private:
    explicit BinaryWriter(unsigned refSize);
    QByteArray finish(Ref top);

    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace folivo::plist
