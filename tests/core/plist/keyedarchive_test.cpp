#include "plist/binary.h"
#include "plist/keyedarchive.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <limits>

using namespace folivo::plist;

namespace {

// Hand-built archives: an $objects array written around the usual envelope.
QByteArray archive(Array objects, Value root = Value(Uid{1}))
{
    return writeBinary(Value(Dict{
        {"$version", 100000},
        {"$archiver", "NSKeyedArchiver"},
        {"$top", Dict{{"root", std::move(root)}}},
        {"$objects", std::move(objects)},
    }));
}

Value classRecord(std::initializer_list<const char*> chain)
{
    Array names;
    for (const char* c : chain)
        names.push_back(Value(c));
    return Value(Dict{{"$classname", names.front()}, {"$classes", std::move(names)}});
}

Value uids(std::initializer_list<std::uint64_t> list)
{
    Array out;
    for (std::uint64_t u : list)
        out.push_back(Value(Uid{u}));
    return Value(std::move(out));
}

// An object of class `cls` (a UID) with the given members.
Value object(std::uint64_t cls, Dict members)
{
    members.set("$class", Uid{cls});
    return Value(std::move(members));
}

Value sampleRecord(int i)
{
    return Value(Dict{
        {"uuid", QString("6F9619FF-8B86-D011-B42D-%1").arg(i, 12, 10, QChar('0'))},
        {"title", QString("Document %1").arg(i)},
        {"created", Date{694224000.0 + i}},
        {"size", std::int64_t(i) * 1024},
        {"flagged", i % 3 == 0},
        {"tags", Array{Value(QString("tag%1").arg(i % 10)), Value(QString("inbox"))}},
    });
}

Value everyType()
{
    return Value(Dict{
        {"true", true},
        {"false", false},
        {"zero", 0},
        {"255", 255},
        {"256", 256},
        {"65535", 65535},
        {"2^32", std::int64_t(1) << 32},
        {"max", std::numeric_limits<std::int64_t>::max()},
        {"min", std::numeric_limits<std::int64_t>::min()},
        {"minus one", -1},
        {"unsigned max", UnsignedInt{std::numeric_limits<std::uint64_t>::max()}},
        {"unsigned five", UnsignedInt{5}},
        {"real", 0.1},
        {"whole real", 315.0},
        {"text", QString("Grüße – 日本")},
        {"empty", QString()},
        {"dollar null", QString("$null")},
        {"data", QByteArray("\0\xff", 2)},
        {"no data", QByteArray()},
        {"date", Date{694224000.0}},
        {"before 2001", Date{-43200.0}},
        {"list", Array{Value(1), Value(QString("two")), Value(Array{}), Value(Dict{})}},
        {"nested", Dict{{"a", Dict{{"b", Array{Value(Array{Value(true)})}}}}}},
    });
}

} // namespace

// ----------------------------------------------------------------------------- encoding

TEST(KeyedArchive, RoundTripsEveryType)
{
    const Value v = everyType();
    const QByteArray bytes = encodeKeyedArchive(v);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(decodeKeyedArchive(bytes), v);
}

TEST(KeyedArchive, RoundTripsScalarAndEmptyRoots)
{
    const Value roots[] = {Value(QString("plain")), Value(7), Value(UnsignedInt{9}), Value(2.5), Value(true),
                           Value(Date{1.0}), Value(QByteArray("x")), Value(QString("$null")), Value(Array{}),
                           Value(Dict{})};
    for (const Value& root : roots)
        EXPECT_EQ(decodeKeyedArchive(encodeKeyedArchive(root)), root) << typeName(root.type());
}

TEST(KeyedArchive, CannotEncodeNoneOrUids)
{
    EXPECT_TRUE(encodeKeyedArchive(Value()).isEmpty());
    EXPECT_TRUE(encodeKeyedArchive(Value(Array{Value(1), Value()})).isEmpty());
    EXPECT_TRUE(encodeKeyedArchive(Value(Dict{{"u", Uid{1}}})).isEmpty());
}

TEST(KeyedArchive, LayoutIsTheArchiversOwn)
{
    const Value v(Dict{{"a", QString("x")}, {"b", QString("x")}, {"when", Date{5.0}},
                       {"list", Array{Value(QString("a"))}}, {"more", Array{}}});
    const std::optional<Value> raw = readBinary(encodeKeyedArchive(v));
    ASSERT_TRUE(raw && raw->isDict());
    const Dict& top = raw->dict();
    std::vector<QString> keys;
    for (const auto& e : top)
        keys.push_back(e.first);
    EXPECT_EQ(keys, (std::vector<QString>{"$version", "$archiver", "$top", "$objects"}));
    EXPECT_EQ(*top.find("$version"), Value(100000));
    EXPECT_EQ(*top.find("$archiver"), Value("NSKeyedArchiver"));
    EXPECT_EQ(*top.find("$top"), Value(Dict{{"root", Uid{1}}}));

    const Array& objects = top.find("$objects")->array();
    ASSERT_GE(objects.size(), 2u);
    EXPECT_EQ(objects[0], Value("$null"));
    const Dict& root = objects[1].dict();
    const Array& keyUids = root.find("NS.keys")->array();
    const Array& valueUids = root.find("NS.objects")->array();
    ASSERT_EQ(keyUids.size(), 5u);
    // Keys are archived first, in order, then the values.
    EXPECT_EQ(keyUids[0], Value(Uid{2}));
    EXPECT_EQ(objects[2], Value("a"));
    EXPECT_EQ(objects[3], Value("b"));
    // Equal strings are one object: "a" the key and "a" inside the list too.
    EXPECT_EQ(valueUids[0], valueUids[1]);
    const Dict& list = objects[valueUids[3].uid().index].dict();
    EXPECT_EQ(list.find("NS.objects")->array()[0], keyUids[0]);

    // Each class record is written once and shared.
    int records = 0;
    for (const Value& o : objects) {
        if (o.isDict() && o.dict().contains("$classname"))
            ++records;
    }
    EXPECT_EQ(records, 3); // dictionary, date, array
    const Value& dictClass = objects[root.find("$class")->uid().index];
    EXPECT_EQ(dictClass, classRecord({"NSMutableDictionary", "NSDictionary", "NSObject"}));
    const Dict& date = objects[valueUids[2].uid().index].dict();
    EXPECT_EQ(*date.find("NS.time"), Value(5.0));
    EXPECT_EQ(objects[date.find("$class")->uid().index], classRecord({"NSDate", "NSObject"}));
    EXPECT_EQ(objects[list.find("$class")->uid().index], classRecord({"NSMutableArray", "NSArray", "NSObject"}));
    EXPECT_EQ(list.find("$class")->uid(), objects[valueUids[4].uid().index].dict().find("$class")->uid());
}

TEST(KeyedArchive, NullStringIsNotNil)
{
    const std::optional<Value> raw = readBinary(encodeKeyedArchive(Value(Array{Value(QString("$null"))})));
    ASSERT_TRUE(raw);
    const Array& objects = raw->dict().find("$objects")->array();
    const Value& member = objects[1].dict().find("NS.objects")->array()[0];
    EXPECT_NE(member, Value(Uid{0}));
    EXPECT_EQ(objects[member.uid().index], Value("$null"));
}

TEST(KeyedArchive, LargeArchiveRoundTrips)
{
    // 20 000 records as the database index holds them: some 300 000 objects, so 4-byte
    // references. Speed (100 000 records) is measured in release builds; here, under
    // sanitizers and without optimisation, only a loose bound.
    Array records;
    records.reserve(20000);
    for (int i = 0; i < 20000; ++i)
        records.push_back(sampleRecord(i));
    const Value root(std::move(records));
    QElapsedTimer timer;
    timer.start();
    const QByteArray bytes = encodeKeyedArchive(root);
    const std::optional<Value> back = decodeKeyedArchive(bytes);
    const qint64 ms = timer.elapsed();
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, root);
    EXPECT_LT(ms, 20000);
    EXPECT_EQ(bytes.at(bytes.size() - 32 + 7), 4); // reference size in the trailer
}

// ----------------------------------------------------------------------------- decoding

TEST(KeyedArchive, DecodesStringDataAndDateObjects)
{
    const Array objects{
        Value("$null"),
        object(7, Dict{{"NS.keys", uids({2, 3, 4, 5, 6})}, {"NS.objects", uids({8, 10, 12, 14, 15})}}),
        Value("string"), Value("data"), Value("date"), Value("int date"), Value("mdata"),
        classRecord({"NSDictionary", "NSObject"}),
        object(9, Dict{{"NS.string", "mutable"}}),
        classRecord({"NSMutableString", "NSString", "NSObject"}),
        object(11, Dict{{"NS.data", QByteArray("\x01\x02")}}),
        classRecord({"NSData", "NSObject"}),
        object(13, Dict{{"NS.time", 1.5}}),
        classRecord({"NSDate", "NSObject"}),
        object(13, Dict{{"NS.time", 100}}),
        object(16, Dict{{"NS.data", QByteArray("m")}}),
        classRecord({"NSMutableData", "NSData", "NSObject"}),
    };
    EXPECT_EQ(decodeKeyedArchive(archive(objects)), Value(Dict{
                                                        {"string", "mutable"},
                                                        {"data", QByteArray("\x01\x02")},
                                                        {"date", Date{1.5}},
                                                        {"int date", Date{100.0}},
                                                        {"mdata", QByteArray("m")},
                                                    }));
}

TEST(KeyedArchive, DecodesSetsOrderedSetsAndNumbers)
{
    const Array objects{
        Value("$null"),
        object(2, Dict{{"NS.objects", uids({3, 5, 7, 8})}}),
        classRecord({"NSSet", "NSObject"}),
        object(4, Dict{{"NS.objects", uids({9})}}),
        classRecord({"NSOrderedSet", "NSObject"}),
        object(6, Dict{{"NS.intval", 42}}),
        classRecord({"NSNumber", "NSValue", "NSObject"}),
        object(6, Dict{{"NS.dblval", 0.5}}),
        Value(UnsignedInt{3}),
        Value(QString("member")),
    };
    EXPECT_EQ(decodeKeyedArchive(archive(objects)),
              Value(Array{Value(Array{Value("member")}), Value(42), Value(0.5), Value(UnsignedInt{3})}));
}

TEST(KeyedArchive, ObjectReferencedTwiceIsCopied)
{
    const Array objects{
        Value("$null"),
        object(2, Dict{{"NS.objects", uids({3, 3})}}),
        classRecord({"NSArray", "NSObject"}),
        object(2, Dict{{"NS.objects", uids({4})}}),
        Value("shared"),
    };
    const Value shared(Array{Value("shared")});
    EXPECT_EQ(decodeKeyedArchive(archive(objects)), Value(Array{shared, shared}));
}

TEST(KeyedArchive, NilMembersAreLeftOut)
{
    const Array objects{
        Value("$null"),
        object(2, Dict{{"NS.keys", uids({3, 4})}, {"NS.objects", uids({0, 5})}}),
        classRecord({"NSMutableDictionary", "NSDictionary", "NSObject"}),
        Value("gone"), Value("list"),
        object(6, Dict{{"NS.objects", uids({0, 3, 0})}}),
        classRecord({"NSMutableArray", "NSArray", "NSObject"}),
    };
    EXPECT_EQ(decodeKeyedArchive(archive(objects)), Value(Dict{{"list", Array{Value("gone")}}}));
}

TEST(KeyedArchive, UnknownClassesRoundTrip)
{
    // An NSURL and an NSColor as the archiver writes them: references, inline numbers and
    // data, and a nil member.
    const Array objects{
        Value("$null"),
        object(6, Dict{{"NS.keys", uids({2, 3})}, {"NS.objects", uids({4, 7})}}),
        Value("link"), Value("color"),
        object(5, Dict{{"NS.base", Uid{0}}, {"NS.relative", Uid{9}}}),
        classRecord({"NSURL", "NSObject"}),
        classRecord({"NSDictionary", "NSObject"}),
        object(8, Dict{{"NSColorSpace", 1}, {"NSRGB", QByteArray("0 0 1")}, {"NSAlpha", 0.5},
                       {"NSComponents", Array{Value(Uid{9}), Value(Uid{0})}}}),
        classRecord({"NSColor", "NSObject"}),
        Value("https://example.org/"),
    };
    const Value want(Dict{
        {"link", Dict{{"NS.relative", "https://example.org/"},
                      {"$classname", "NSURL"},
                      {"$classes", Array{Value("NSURL"), Value("NSObject")}}}},
        {"color", Dict{{"NSColorSpace", 1},
                       {"NSRGB", QByteArray("0 0 1")},
                       {"NSAlpha", 0.5},
                       {"NSComponents", Array{Value("https://example.org/")}},
                       {"$classname", "NSColor"},
                       {"$classes", Array{Value("NSColor"), Value("NSObject")}}}},
    });
    const std::optional<Value> decoded = decodeKeyedArchive(archive(objects));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, want);

    // Written back as objects of those classes, with inline numbers and data.
    const QByteArray again = encodeKeyedArchive(*decoded);
    EXPECT_EQ(decodeKeyedArchive(again), want);
    const std::optional<Value> raw = readBinary(again);
    ASSERT_TRUE(raw);
    const Array& out = raw->dict().find("$objects")->array();
    bool sawColor = false;
    for (const Value& o : out) {
        if (!o.isDict() || !o.dict().contains("NSRGB"))
            continue;
        sawColor = true;
        EXPECT_EQ(*o.dict().find("NSColorSpace"), Value(1));
        EXPECT_EQ(*o.dict().find("NSRGB"), Value(QByteArray("0 0 1")));
        EXPECT_EQ(out[o.dict().find("$class")->uid().index], classRecord({"NSColor", "NSObject"}));
    }
    EXPECT_TRUE(sawColor);
}

TEST(KeyedArchive, DictionariesThatOnlyLookLikeObjectsStayDictionaries)
{
    // Written as objects of these classes they would decode as a string or an array, so
    // they are written as the dictionaries they are.
    const Value cases[] = {
        Value(Dict{{"$classname", "NSString"}, {"$classes", Array{Value("NSString")}}}),
        Value(Dict{{"$classname", "FVList"},
                   {"$classes", Array{Value("FVList"), Value("NSArray")}},
                   {"NS.objects", Array{Value(1)}}}),
        Value(Dict{{"$classname", "X"}, {"$classes", Array{}}, {"$class", 1}}),
    };
    for (const Value& v : cases)
        EXPECT_EQ(decodeKeyedArchive(encodeKeyedArchive(v)), v);
}

TEST(KeyedArchive, SubclassesFallBackToKnownSuperclass)
{
    const Array objects{
        Value("$null"),
        object(2, Dict{{"NS.objects", uids({3, 4})}}),
        classRecord({"FVTagList", "NSMutableArray", "NSArray", "NSObject"}),
        Value("a"),
        // A subclass that archives itself without the superclass's keys stays an object.
        object(5, Dict{{"name", Uid{3}}}),
        classRecord({"FVLabel", "NSString", "NSObject"}),
    };
    EXPECT_EQ(decodeKeyedArchive(archive(objects)),
              Value(Array{Value("a"), Value(Dict{{"name", "a"},
                                                 {"$classname", "FVLabel"},
                                                 {"$classes", Array{Value("FVLabel"), Value("NSString"),
                                                                    Value("NSObject")}}})}));
}

TEST(KeyedArchive, ToleratesOtherVersionsAndArchivers)
{
    const QByteArray bytes = writeBinary(Value(Dict{
        {"$version", 99999},
        {"$archiver", "SomethingElse"},
        {"$top", Dict{{"root", Uid{1}}}},
        {"$objects", Array{Value("$null"), Value("x")}},
    }));
    EXPECT_EQ(decodeKeyedArchive(bytes), Value("x"));
}

TEST(KeyedArchive, ReadsFiles)
{
    folivo::test::Scratch scratch;
    const Value v = everyType();
    ASSERT_TRUE(folivo::test::writeAll(scratch.file("a.archive"), encodeKeyedArchive(v)));
    EXPECT_EQ(readKeyedArchiveFile(scratch.file("a.archive")), v);
    EXPECT_FALSE(readKeyedArchiveFile(scratch.file("missing.archive")));
    EXPECT_FALSE(readKeyedArchiveFile(scratch.path()));
    ASSERT_TRUE(folivo::test::writeAll(scratch.file("junk"), QByteArray("junk")));
    EXPECT_FALSE(readKeyedArchiveFile(scratch.file("junk")));
}

// ------------------------------------------------------------------------- hostile input

TEST(KeyedArchiveHostile, EveryTruncationFails)
{
    const QByteArray bytes =
        encodeKeyedArchive(Value(Dict{{"a", Array{Value(1), Value(QString("two")), Value(Date{3.0})}}}));
    ASSERT_TRUE(decodeKeyedArchive(bytes));
    for (qsizetype n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(decodeKeyedArchive(bytes.left(n))) << "prefix of " << n << " bytes";
}

namespace {

struct HostileCase {
    const char* name;
    QByteArray bytes;
};

const Value kArrayClass = classRecord({"NSMutableArray", "NSArray", "NSObject"});
const Value kDictClass = classRecord({"NSMutableDictionary", "NSDictionary", "NSObject"});

QByteArray withTop(const char* key, Value value)
{
    Dict top{
        {"$version", 100000},
        {"$archiver", "NSKeyedArchiver"},
        {"$top", Dict{{"root", Uid{1}}}},
        {"$objects", Array{Value("$null"), Value("x")}},
    };
    if (value.isNone())
        top.remove(key);
    else
        top.set(key, std::move(value));
    return writeBinary(Value(std::move(top)));
}

std::vector<HostileCase> hostileCases()
{
    std::vector<HostileCase> cases = {
        {"empty", QByteArray()},
        {"not a plist", QByteArray("this is not an archive, it is just some text that goes on")},
        {"plist but not an archive", writeBinary(Value(Array{Value(1)}))},
        {"no archiver", withTop("$archiver", Value())},
        {"archiver not a string", withTop("$archiver", Value(1))},
        {"no version", withTop("$version", Value())},
        {"version a string", withTop("$version", Value("100000"))},
        {"no top", withTop("$top", Value())},
        {"top not a dict", withTop("$top", Value(Uid{1}))},
        {"no root", withTop("$top", Value(Dict{{"other", Uid{1}}}))},
        {"root not a uid", withTop("$top", Value(Dict{{"root", 1}}))},
        {"root is $null", withTop("$top", Value(Dict{{"root", Uid{0}}}))},
        {"root out of range", withTop("$top", Value(Dict{{"root", Uid{2}}}))},
        {"no objects", withTop("$objects", Value())},
        {"objects empty", withTop("$objects", Value(Array{}))},
        {"objects not an array", withTop("$objects", Value(Dict{}))},
        {"first object not $null", withTop("$objects", Value(Array{Value("x"), Value("x")}))},
        {"first object data", withTop("$objects", Value(Array{Value(QByteArray("$null")), Value("x")}))},
        {"uid out of range", archive({Value("$null"), object(2, Dict{{"NS.objects", uids({9})}}), kArrayClass})},
        {"class uid out of range", archive({Value("$null"), object(7, Dict{{"NS.objects", uids({})}})})},
        {"class uid is $null", archive({Value("$null"), object(0, Dict{{"NS.objects", uids({})}})})},
        {"class not a uid", archive({Value("$null"), Value(Dict{{"NS.objects", uids({})}, {"$class", 2}}),
                                     kArrayClass})},
        {"class record is a string", archive({Value("$null"), object(2, Dict{{"NS.objects", uids({})}}),
                                              Value("NSArray")})},
        {"class record without name", archive({Value("$null"), object(2, Dict{{"NS.objects", uids({})}}),
                                               Value(Dict{{"$classes", Array{}}})})},
        {"class record without chain", archive({Value("$null"), object(2, Dict{{"NS.objects", uids({})}}),
                                                Value(Dict{{"$classname", "NSArray"}})})},
        {"class chain not strings", archive({Value("$null"), object(2, Dict{{"NS.objects", uids({})}}),
                                             Value(Dict{{"$classname", "NSArray"}, {"$classes", Array{Value(1)}}})})},
        {"object without class", archive({Value("$null"), Value(Dict{{"NS.objects", uids({})}})})},
        {"root is a class record", archive({Value("$null"), kArrayClass})},
        {"root is a bare array", archive({Value("$null"), uids({})})},
        {"root is a bare uid", archive({Value("$null"), Value(Uid{1})})},
        {"members not an array", archive({Value("$null"), object(2, Dict{{"NS.objects", Uid{0}}}), kArrayClass})},
        {"members not uids", archive({Value("$null"), object(2, Dict{{"NS.objects", Array{Value(1)}}}),
                                      kArrayClass})},
        {"array without members", archive({Value("$null"), object(2, Dict{}), kArrayClass})},
        {"self-referencing array", archive({Value("$null"), object(2, Dict{{"NS.objects", uids({1})}}),
                                            kArrayClass})},
        {"cycle through two dicts",
         archive({Value("$null"), object(2, Dict{{"NS.keys", uids({3})}, {"NS.objects", uids({4})}}), kDictClass,
                  Value("k"), object(2, Dict{{"NS.keys", uids({3})}, {"NS.objects", uids({1})}})})},
        {"keys and objects differ in length",
         archive({Value("$null"), object(2, Dict{{"NS.keys", uids({3, 3})}, {"NS.objects", uids({3})}}),
                  kDictClass, Value("k")})},
        {"keys not an array", archive({Value("$null"), object(2, Dict{{"NS.keys", Uid{3}}, {"NS.objects", uids({3})}}),
                                       kDictClass, Value("k")})},
        {"key not a string", archive({Value("$null"), object(2, Dict{{"NS.keys", uids({3})}, {"NS.objects", uids({3})}}),
                                      kDictClass, Value(1)})},
        {"key is nil", archive({Value("$null"), object(2, Dict{{"NS.keys", uids({0})}, {"NS.objects", uids({3})}}),
                                kDictClass, Value("v")})},
        {"repeated key", archive({Value("$null"),
                                  object(2, Dict{{"NS.keys", uids({3, 3})}, {"NS.objects", uids({3, 3})}}),
                                  kDictClass, Value("k")})},
        {"dictionary without keys", archive({Value("$null"), object(2, Dict{{"NS.objects", uids({})}}), kDictClass})},
        {"string member wrong type", archive({Value("$null"), object(2, Dict{{"NS.string", 1}}),
                                              classRecord({"NSMutableString", "NSString", "NSObject"})})},
        {"string without member", archive({Value("$null"), object(2, Dict{}), classRecord({"NSString", "NSObject"})})},
        {"data member wrong type", archive({Value("$null"), object(2, Dict{{"NS.data", "x"}}),
                                            classRecord({"NSData", "NSObject"})})},
        {"time a string", archive({Value("$null"), object(2, Dict{{"NS.time", "x"}}),
                                   classRecord({"NSDate", "NSObject"})})},
        {"number without value", archive({Value("$null"), object(2, Dict{}), classRecord({"NSNumber", "NSObject"})})},
        {"unknown member is an inline dict",
         archive({Value("$null"), object(2, Dict{{"x", Dict{}}}), classRecord({"NSURL", "NSObject"})})},
        {"unknown member named $classname",
         archive({Value("$null"), object(2, Dict{{"$classname", "x"}}), classRecord({"NSURL", "NSObject"})})},
        {"subclass with bad superclass member",
         archive({Value("$null"), object(2, Dict{{"NS.objects", 1}}), classRecord({"FVList", "NSArray"})})},
    };

    // 100 000 arrays, each holding the next.
    {
        Array objects{Value("$null")};
        const std::uint64_t n = 100000;
        for (std::uint64_t i = 1; i <= n; ++i)
            objects.push_back(object(n + 2, Dict{{"NS.objects", uids({i + 1})}}));
        objects.push_back(Value("bottom"));
        objects.push_back(kArrayClass);
        cases.push_back({"depth 100000", archive(std::move(objects))});
    }
    // Billion laughs: level k holds level k-1 twice; 2^40 leaves.
    {
        Array objects{Value("$null"), kArrayClass, Value("x")};
        for (std::uint64_t level = 1; level <= 40; ++level)
            objects.push_back(object(1, Dict{{"NS.objects", uids({level + 1, level + 1})}}));
        cases.push_back({"billion laughs", archive(std::move(objects), Value(Uid{42}))});
    }
    // The same through an unknown class with an inline array of references.
    {
        Array objects{Value("$null"), classRecord({"FVThing", "NSObject"}), Value("x")};
        for (std::uint64_t level = 1; level <= 40; ++level)
            objects.push_back(object(1, Dict{{"both", uids({level + 1, level + 1})}}));
        cases.push_back({"billion laughs via unknown class", archive(std::move(objects), Value(Uid{42}))});
    }
    return cases;
}

} // namespace

TEST(KeyedArchiveHostile, TableOfBadArchivesFails)
{
    for (const HostileCase& c : hostileCases()) {
        QElapsedTimer timer;
        timer.start();
        ASSERT_FALSE(c.bytes.isEmpty() && std::string(c.name) != "empty") << c.name;
        EXPECT_FALSE(decodeKeyedArchive(c.bytes)) << c.name;
        EXPECT_LT(timer.elapsed(), 10000) << c.name;
    }
}

TEST(KeyedArchiveHostile, DepthUpToTheLimitIsFine)
{
    Value v(QString("leaf"));
    for (int i = 0; i < kMaxNesting; ++i)
        v = Value(Array{std::move(v)});
    const QByteArray bytes = encodeKeyedArchive(v);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(decodeKeyedArchive(bytes), v);
    EXPECT_TRUE(encodeKeyedArchive(Value(Array{v})).isEmpty());
}

// ------------------------------------------------------------------- cross-check: Python

TEST(KeyedArchive, PythonPlistlibReadsOurArchives)
{
    if (folivo::test::run("python3", {"-c", "pass"}).exitCode != 0)
        GTEST_SKIP() << "python3 is not available";
    folivo::test::Scratch scratch;
    const Value v(Dict{
        {"title", QString("Grüße")},
        {"count", 42},
        {"flag", true},
        {"big", UnsignedInt{std::numeric_limits<std::uint64_t>::max()}},
        {"small", UnsignedInt{5}},
        {"blob", QByteArray("\0\x01", 2)},
        {"when", Date{1.5}},
        {"list", Array{Value(QString("a")), Value(7)}},
    });
    ASSERT_TRUE(folivo::test::writeAll(scratch.file("a.archive"), encodeKeyedArchive(v)));
    const char* script = R"PY(
import plistlib, sys
with open(sys.argv[1], 'rb') as f:
    d = plistlib.load(f)
assert d['$archiver'] == 'NSKeyedArchiver' and d['$version'] == 100000, d
objs = d['$objects']
assert objs[0] == '$null'
root = d['$top']['root']
assert isinstance(root, plistlib.UID) and root.data == 1
r = objs[1]
def cls(o): return objs[o['$class'].data]
assert cls(r) == {'$classname': 'NSMutableDictionary',
                  '$classes': ['NSMutableDictionary', 'NSDictionary', 'NSObject']}, cls(r)
vals = {objs[k.data]: objs[v.data] for k, v in zip(r['NS.keys'], r['NS.objects'])}
assert vals['title'] == 'Grüße' and vals['count'] == 42 and vals['flag'] is True
assert vals['big'] == 2**64 - 1 and vals['small'] == 5 and vals['blob'] == b'\x00\x01'
assert cls(vals['when'])['$classname'] == 'NSDate' and vals['when']['NS.time'] == 1.5
assert cls(vals['list'])['$classname'] == 'NSMutableArray'
assert [objs[u.data] for u in vals['list']['NS.objects']] == ['a', 7]
print('ok')
)PY";
    const folivo::test::ProcessResult r = folivo::test::run("python3", {"-c", script, scratch.file("a.archive")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.trimmed(), QByteArray("ok"));
}

TEST(KeyedArchiveFile, OnlyRegularFilesAreRead)
{
    QTemporaryDir dir;
    const QString fifo = dir.path() + "/.+planted";
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    // Opening a FIFO for reading would wait for a writer forever.
    EXPECT_FALSE(folivo::plist::readKeyedArchiveFile(fifo));
    EXPECT_FALSE(folivo::plist::readKeyedArchiveFile(dir.path()));
    EXPECT_FALSE(folivo::plist::readKeyedArchiveFile(dir.path() + "/missing"));
}
