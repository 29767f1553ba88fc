#include "plist/binary.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cmath>
#include <limits>
#include <string>

using namespace folivo::plist;

namespace {

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::uint64_t kUint64Max = std::numeric_limits<std::uint64_t>::max();

QByteArray bigEndian(std::uint64_t v, int width)
{
    QByteArray out(width, '\0');
    for (int i = width - 1; i >= 0; --i, v >>= 8)
        out[i] = char(v & 0xFF);
    return out;
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// Lays hand-made objects (marker and payload, references `refSize` bytes wide) out as a
// complete file with 8-byte offsets, so that tests can say exactly what is inside.
QByteArray assemble(const std::vector<QByteArray>& objects, std::uint64_t top = 0, int refSize = 1)
{
    QByteArray out("bplist00");
    std::vector<std::uint64_t> offsets;
    for (const QByteArray& o : objects) {
        offsets.push_back(std::uint64_t(out.size()));
        out += o;
    }
    const auto tableOffset = std::uint64_t(out.size());
    for (std::uint64_t off : offsets)
        out += bigEndian(off, 8);
    out += QByteArray(6, '\0');
    out += char(8);
    out += char(refSize);
    out += bigEndian(objects.size(), 8);
    out += bigEndian(top, 8);
    out += bigEndian(tableOffset, 8);
    return out;
}

QByteArray ref(std::uint64_t index, int refSize = 1)
{
    return bigEndian(index, refSize);
}

// The reader's view of the trailer of a file we wrote.
struct Trailer {
    int offsetSize;
    int refSize;
    std::uint64_t count;
    std::uint64_t top;
    std::uint64_t tableOffset;
};

Trailer trailerOf(const QByteArray& file)
{
    const auto* t = reinterpret_cast<const unsigned char*>(file.constData() + file.size() - 32);
    auto be8 = [](const unsigned char* p) {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | p[i];
        return v;
    };
    return {t[6], t[7], be8(t + 8), be8(t + 16), be8(t + 24)};
}

Value roundTrip(const Value& v)
{
    const QByteArray file = writeBinary(v);
    EXPECT_FALSE(file.isEmpty());
    const std::optional<Value> back = readBinary(file);
    EXPECT_TRUE(back.has_value());
    return back.value_or(Value());
}

Value nested(int depth)
{
    Value v(QString("leaf"));
    for (int i = 0; i < depth; ++i)
        v = Value(Array{std::move(v)});
    return v;
}

} // namespace

// --------------------------------------------------------------------------- round trips

class PlistBinaryRoundTrip : public testing::TestWithParam<Value> {};

TEST_P(PlistBinaryRoundTrip, AsRootAndInsideContainers)
{
    const Value& v = GetParam();
    EXPECT_EQ(roundTrip(v), v);
    const Value inArray(Array{v, Value(QString("after"))});
    EXPECT_EQ(roundTrip(inArray), inArray);
    const Value inDict(Dict{{"k", v}});
    EXPECT_EQ(roundTrip(inDict), inDict);
}

INSTANTIATE_TEST_SUITE_P(
    PlistScalars, PlistBinaryRoundTrip,
    testing::Values(
        Value(true), Value(false),
        Value(0), Value(1), Value(255), Value(256), Value(65535), Value(65536),
        Value(std::int64_t(0xFFFFFFFF)), Value(std::int64_t(1) << 32), Value(kInt64Max), Value(kInt64Min),
        Value(-1), Value(-256),
        Value(UnsignedInt{0}), Value(UnsignedInt{5}), Value(UnsignedInt{std::uint64_t(kInt64Max) + 1}),
        Value(UnsignedInt{kUint64Max}),
        Value(0.0), Value(-1.5), Value(0.1), Value(1e300), Value(5e-324),
        Value(std::numeric_limits<double>::infinity()),
        Value(Date{0.0}), Value(Date{694224000.5}), Value(Date{-31622400.0}),
        Value(QString()), Value(QString("hello")), Value(QString("fourteen chars")),
        Value(QString("fifteen chars!!")), Value(QString("Grüße – 日本")), Value(QString("\U0001F600 emoji")),
        Value(QString(1000, QChar('x'))), Value(QString(70000, QChar(0x00E9))),
        Value(QByteArray()), Value(QByteArray("\0\x01\xff", 3)), Value(QByteArray(300, '\x7f')),
        Value(Uid{0}), Value(Uid{255}), Value(Uid{256}), Value(Uid{std::uint64_t(1) << 32}), Value(Uid{kUint64Max}),
        Value(Array{}), Value(Dict{})));

TEST(PlistBinary, KeepsTypesDistinct)
{
    const Value mixed(Array{Value(true), Value(1), Value(UnsignedInt{1}), Value(1.0), Value(Date{1.0}),
                            Value(QString("1")), Value(QByteArray("1")), Value(Uid{1})});
    const Value back = roundTrip(mixed);
    ASSERT_TRUE(back.isArray());
    std::vector<Type> types;
    for (const Value& v : back.array())
        types.push_back(v.type());
    EXPECT_EQ(types, (std::vector<Type>{Type::Bool, Type::Integer, Type::Unsigned, Type::Real, Type::Date,
                                        Type::String, Type::Data, Type::Uid}));
}

TEST(PlistBinary, NaNSurvives)
{
    const Value back = roundTrip(Value(std::nan("")));
    ASSERT_TRUE(back.isReal());
    EXPECT_TRUE(std::isnan(back.realValue()));
}

TEST(PlistBinary, IntegerEncodings)
{
    // The object right after the header is the root scalar.
    struct Case {
        Value value;
        QByteArray encoded;
    };
    const Case cases[] = {
        {Value(0), bytes({0x10, 0x00})},
        {Value(255), bytes({0x10, 0xFF})},
        {Value(256), bytes({0x11, 0x01, 0x00})},
        {Value(65536), bytes({0x12, 0x00, 0x01, 0x00, 0x00})},
        {Value(std::int64_t(1) << 32), bytes({0x13, 0, 0, 0, 1, 0, 0, 0, 0})},
        {Value(-1), bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {Value(UnsignedInt{5}), bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5})},
        {Value(QString("ab")), bytes({0x52, 'a', 'b'})},
        {Value(QString("é")), bytes({0x61, 0x00, 0xE9})},
        {Value(1.5), bytes({0x23, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0})},
        {Value(Uid{300}), bytes({0x81, 0x01, 0x2C})},
    };
    for (const Case& c : cases) {
        const QByteArray file = writeBinary(c.value);
        EXPECT_EQ(file.mid(8, c.encoded.size()).toHex(), c.encoded.toHex()) << file.toHex().constData();
    }
}

TEST(PlistBinary, SixteenByteIntegers)
{
    const QByteArray sixteen = bytes({0x14});
    auto file = [&](std::uint64_t high, std::uint64_t low) {
        return assemble({sixteen + bigEndian(high, 8) + bigEndian(low, 8)});
    };
    EXPECT_EQ(readBinary(file(0, 7)), Value(UnsignedInt{7}));
    EXPECT_EQ(readBinary(file(0, kUint64Max)), Value(UnsignedInt{kUint64Max}));
    EXPECT_EQ(readBinary(file(kUint64Max, std::uint64_t(-2))), Value(-2));
    EXPECT_EQ(readBinary(file(kUint64Max, std::uint64_t(kInt64Min))), Value(kInt64Min));
    EXPECT_FALSE(readBinary(file(1, 0)));                  // beyond 64 bits
    EXPECT_FALSE(readBinary(file(kUint64Max, 5)));         // below INT64_MIN
}

TEST(PlistBinary, OtherEncodingsThePlatformWrites)
{
    // A set reads as an array; 4-byte reals, UTF-8 strings and 3-byte UIDs are read too.
    const std::optional<Value> v = readBinary(assemble({
        bytes({0xC3, 1, 2, 3}),
        bytes({0x22, 0x3F, 0xC0, 0x00, 0x00}),
        bytes({0x73}) + QByteArray("\xC3\xA9z"),
        bytes({0x82, 0x01, 0x00, 0x00}),
    }));
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, Value(Array{Value(1.5), Value(QString("éz")), Value(Uid{0x10000})}));
}

TEST(PlistBinary, ReadsWhatPythonWrites)
{
    // plistlib.dumps({'name': 'Grüße', 'n': [1, -2, 300, 2**63, 1.5], 'ok': True,
    //                 'blob': b'\x00\x01', 'uid': plistlib.UID(7)}, fmt=FMT_BINARY, sort_keys=False)
    const QByteArray file = QByteArray::fromHex(
        "62706c6973743030d5010203040506070d0e0f546e616d65516e526f6b54626c"
        "6f6253756964650047007200fc00df0065a508090a0b0c100113ffffffffffff"
        "fffe11012c1400000000000000008000000000000000233ff800000000000009"
        "42000180070813181a1d22263137394245565f60630000000000000101000000"
        "000000001000000000000000000000000000000065");
    const std::optional<Value> v = readBinary(file);
    ASSERT_TRUE(v);
    const Value want(Dict{
        {"name", QString("Grüße")},
        {"n", Array{Value(1), Value(-2), Value(300), Value(UnsignedInt{std::uint64_t(1) << 63}), Value(1.5)}},
        {"ok", true},
        {"blob", QByteArray("\0\x01", 2)},
        {"uid", Uid{7}},
    });
    EXPECT_EQ(*v, want);
}

TEST(PlistBinary, DeduplicatesScalarsButNotContainers)
{
    const Value v(Array{Value(QString("same")), Value(QString("same")), Value(7), Value(7), Value(Array{}),
                        Value(Array{})});
    const QByteArray file = writeBinary(v);
    // root, "same", 7 and two empty arrays.
    EXPECT_EQ(trailerOf(file).count, 5u);
    EXPECT_EQ(readBinary(file), v);
}

TEST(PlistBinary, WidensReferencesAndCountsWithSize)
{
    Array small;
    for (int i = 0; i < 20; ++i)
        small.push_back(Value(i));
    const QByteArray smallFile = writeBinary(Value(small));
    EXPECT_EQ(trailerOf(smallFile).refSize, 1);
    EXPECT_EQ(readBinary(smallFile), Value(small));

    Array large;
    for (int i = 0; i < 70000; ++i)
        large.push_back(Value(i));
    const QByteArray largeFile = writeBinary(Value(large));
    EXPECT_EQ(trailerOf(largeFile).refSize, 4);
    EXPECT_EQ(trailerOf(largeFile).offsetSize, 4);
    EXPECT_EQ(trailerOf(largeFile).count, 70001u);
    EXPECT_EQ(readBinary(largeFile), Value(large));

    Dict many;
    for (int i = 0; i < 300; ++i)
        many.set(QString("key %1").arg(i), Value(i));
    const QByteArray dictFile = writeBinary(Value(many));
    EXPECT_EQ(trailerOf(dictFile).refSize, 2);
    const std::optional<Value> back = readBinary(dictFile);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, Value(many));
    // Order is kept.
    auto it = back->dict().begin();
    for (int i = 0; i < 300; ++i, ++it)
        EXPECT_EQ(it->first, QString("key %1").arg(i));
}

TEST(PlistBinary, NestingUpToTheLimit)
{
    const Value deepest = nested(kMaxNesting);
    EXPECT_EQ(roundTrip(deepest), deepest);
    EXPECT_TRUE(writeBinary(nested(kMaxNesting + 1)).isEmpty());
    EXPECT_TRUE(writeBinary(Value()).isEmpty());
    EXPECT_TRUE(writeBinary(Value(Array{Value(1), Value()})).isEmpty());
}

TEST(PlistBinary, SharedStringsShareStorage)
{
    // One 10 000-character string referenced 5 000 times: fine, and in memory twice at most
    // (the first read is not kept; from the second on, reads share one buffer).
    std::vector<QByteArray> objects{bytes({0xAF, 0x11}) + bigEndian(5000, 2)};
    for (int i = 0; i < 5000; ++i)
        objects[0] += ref(1, 2);
    objects.push_back(bytes({0x5F, 0x11}) + bigEndian(10000, 2) + QByteArray(10000, 'a'));
    const std::optional<Value> v = readBinary(assemble(objects, 0, 2));
    ASSERT_TRUE(v);
    ASSERT_EQ(v->array().size(), 5000u);
    EXPECT_EQ(v->array()[1].string().constData(), v->array().back().string().constData());
}

TEST(PlistBinary, DuplicateDictionaryKeysKeepTheLastValue)
{
    const QByteArray file = assemble({bytes({0xD2, 1, 1, 2, 3}), bytes({0x51, 'k'}), bytes({0x10, 1}),
                                      bytes({0x10, 2})});
    EXPECT_EQ(readBinary(file), Value(Dict{{"k", 2}}));
}

// ------------------------------------------------------------------------- hostile input

TEST(PlistBinaryHostile, EveryTruncationFails)
{
    const QByteArray file = writeBinary(Value(Dict{
        {"a", Array{Value(1), Value(QString("two")), Value(Date{3.0})}}, {"b", QByteArray("xyz")}}));
    ASSERT_TRUE(readBinary(file));
    for (qsizetype n = 0; n < file.size(); ++n)
        EXPECT_FALSE(readBinary(file.left(n))) << "prefix of " << n << " bytes";
}

TEST(PlistBinaryHostile, EveryCorruptedByteIsHarmless)
{
    // Not every single-byte change is detectable; none may crash (run under sanitizers).
    const QByteArray file = writeBinary(Value(Dict{{"a", Array{Value(1), Value(QString("two"))}}}));
    for (qsizetype i = 0; i < file.size(); ++i) {
        for (int b : {0x00, 0x0F, 0x7F, 0x80, 0xFF}) {
            QByteArray bad = file;
            bad[i] = char(b);
            (void)readBinary(bad);
        }
    }
}

namespace {

struct HostileCase {
    const char* name;
    QByteArray file;
};

QByteArray withTrailerByte(QByteArray file, int index, int value)
{
    file[file.size() - 32 + index] = char(value);
    return file;
}

QByteArray withTrailerField(QByteArray file, int at, std::uint64_t value)
{
    file.replace(file.size() - 32 + at, 8, bigEndian(value, 8));
    return file;
}

std::vector<HostileCase> hostileCases()
{
    const QByteArray valid = assemble({bytes({0xA1, 1}), bytes({0x51, 'x'})});
    std::vector<HostileCase> cases = {
        {"empty", QByteArray()},
        {"not a plist", QByteArray("hello, this is not a property list at all, really")},
        {"xml plist", QByteArray("<?xml version=\"1.0\"?><plist><dict/></plist>                ")},
        {"header only", QByteArray("bplist00")},
        {"other version", QByteArray("bplist01") + valid.mid(8)},
        {"offset size 0", withTrailerByte(valid, 6, 0)},
        {"offset size 9", withTrailerByte(valid, 6, 9)},
        {"ref size 0", withTrailerByte(valid, 7, 0)},
        {"ref size 9", withTrailerByte(valid, 7, 9)},
        {"no objects", withTrailerField(valid, 8, 0)},
        {"huge object count", withTrailerField(valid, 8, kUint64Max)},
        {"count past table", withTrailerField(valid, 8, 3)},
        {"top out of range", withTrailerField(valid, 16, 2)},
        {"table offset past end", withTrailerField(valid, 24, kUint64Max)},
        {"table offset in header", withTrailerField(valid, 24, 3)},
        {"object offset in table", [] {
             QByteArray f = assemble({bytes({0x09})});
             const auto table = trailerOf(f).tableOffset;
             f.replace(qsizetype(table), 8, bigEndian(table, 8));
             return f;
         }()},
        {"object offset in header", [] {
             QByteArray f = assemble({bytes({0x09})});
             f.replace(qsizetype(trailerOf(f).tableOffset), 8, bigEndian(2, 8));
             return f;
         }()},
        {"null object", assemble({bytes({0x00})})},
        {"fill byte", assemble({bytes({0x0F})})},
        {"unknown marker", assemble({bytes({0x90})})},
        {"unknown real size", assemble({bytes({0x21, 0, 0})})},
        {"unknown int size", assemble({bytes({0x15, 0, 0})})},
        {"int cut short", assemble({bytes({0x13, 0, 0})})},
        {"date cut short", assemble({bytes({0x33, 0, 0})})},
        {"uid of 9 bytes", assemble({bytes({0x88, 0, 0, 0, 0, 0, 0, 0, 0, 1})})},
        {"string longer than file", assemble({bytes({0x5F, 0x13}) + bigEndian(kUint64Max >> 1, 8)})},
        {"negative count", assemble({bytes({0x5F, 0x13}) + bigEndian(kUint64Max, 8)})},
        {"count marker not an int", assemble({bytes({0x5F, 0x22, 0, 0, 0, 0, 0})})},
        {"count of 16 bytes", assemble({bytes({0x5F, 0x14}) + QByteArray(16, '\0')})},
        {"utf16 odd length", assemble({bytes({0x62, 0, 'a', 0})})},
        {"array count overflows", assemble({bytes({0xAF, 0x13}) + bigEndian(kUint64Max / 2, 8) + bytes({0})})},
        {"dict count overflows", assemble({bytes({0xDF, 0x13}) + bigEndian(kUint64Max / 4, 8) + bytes({0, 0})})},
        {"ref out of range", assemble({bytes({0xA1, 5})})},
        {"self-referencing array", assemble({bytes({0xA1, 0})})},
        {"self-referencing set", assemble({bytes({0xC1, 0})})},
        {"cycle through two dicts", assemble({bytes({0xD1, 2, 1}), bytes({0xD1, 2, 0}), bytes({0x51, 'k'})})},
        {"dict key not a string", assemble({bytes({0xD1, 1, 1}), bytes({0x10, 1})})},
        {"dict key is data", assemble({bytes({0xD1, 1, 1}), bytes({0x41, 'k'})})},
    };
    // 100 000 arrays, each holding the next.
    {
        std::vector<QByteArray> objects;
        const int n = 100000;
        for (int i = 0; i < n; ++i)
            objects.push_back(bytes({0xA1}) + ref(std::uint64_t(i) + 1, 4));
        objects.push_back(bytes({0x09}));
        cases.push_back({"depth 100000", assemble(objects, 0, 4)});
    }
    // Billion laughs: level k is an array holding level k-1 twice; 2^40 leaves.
    {
        std::vector<QByteArray> objects{bytes({0x51, 'x'})};
        for (int level = 1; level <= 40; ++level)
            objects.push_back(bytes({0xA2, level - 1, level - 1}));
        cases.push_back({"billion laughs", assemble(objects, 40)});
    }
    // Wide sharing: level k is an array holding level k-1 sixty times.
    {
        std::vector<QByteArray> objects{bytes({0x51, 'x'})};
        for (int level = 1; level <= 60; ++level)
            objects.push_back(bytes({0xAF, 0x10, 60}) + QByteArray(60, char(level - 1)));
        cases.push_back({"wide shared arrays", assemble(objects, 60)});
    }
    return cases;
}

} // namespace

TEST(PlistBinaryHostile, TableOfBadFilesFails)
{
    for (const HostileCase& c : hostileCases()) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(readBinary(c.file)) << c.name;
        EXPECT_LT(timer.elapsed(), 10000) << c.name;
    }
}

TEST(PlistBinaryHostile, SharedReferencesWithinBudgetSucceed)
{
    // 10 levels of doubling: 1024 leaves, well within the budget.
    std::vector<QByteArray> objects{bytes({0x51, 'x'})};
    for (int level = 1; level <= 10; ++level)
        objects.push_back(bytes({0xA2, level - 1, level - 1}));
    const std::optional<Value> v = readBinary(assemble(objects, 10));
    ASSERT_TRUE(v);
    const Value* leaf = &*v;
    int depth = 0;
    while (leaf->isArray()) {
        ASSERT_EQ(leaf->array().size(), 2u);
        leaf = &leaf->array().front();
        ++depth;
    }
    EXPECT_EQ(depth, 10);
    EXPECT_EQ(*leaf, Value(QString("x")));
}

TEST(PlistBinaryHostile, BudgetScalesWithInput)
{
    EXPECT_GE(valueBudget(0), std::size_t(1) << 18);
    EXPECT_GE(valueBudget(std::size_t(1) << 30), std::size_t(1) << 30);
    EXPECT_EQ(valueBudget(std::numeric_limits<std::size_t>::max()), std::numeric_limits<std::size_t>::max());
}
