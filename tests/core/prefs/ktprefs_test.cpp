#include "prefs/ktprefs.h"

#include "plist/binary.h"
#include "plist/keyedarchive.h"
#include "plist/typedjson.h"
#include "util/fs.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cmath>
#include <limits>

using namespace folivo;
using plist::Array;
using plist::Dict;
using plist::Value;

namespace {

// Sets an environment variable for one scope and gives back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value) : name_(name)
    {
        if (qEnvironmentVariableIsSet(name))
            previous_ = qgetenv(name);
        apply(value);
    }
    ~ScopedEnv() { apply(previous_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void apply(const std::optional<QByteArray>& v)
    {
        if (v)
            qputenv(name_, *v);
        else
            qunsetenv(name_);
    }
    const char* name_;
    std::optional<QByteArray> previous_;
};

const QString kApp = QStringLiteral("org.folivo.Folivo");
const QString kLegacy = QStringLiteral("org.folivo.FolivoLegacy");

Dict markersOnly()
{
    return Dict{{KTPrefs::ReconstructedAfterCorruptionKey, true}, {KTPrefs::ConvertedFromPlistKey, true}};
}

bool pythonAvailable()
{
    return folivo::test::run("python3", {"-c", "pass"}).exitCode == 0;
}

class KTPrefsTest : public ::testing::Test {
protected:
    KTPrefsTest() : env_("XDG_CONFIG_HOME", scratch_.path().toLocal8Bit()) {}

    QString folder() const { return scratch_.file("folivo"); }
    QString prefsFile(const QString& id) const { return folder() + "/" + id + ".prefs"; }
    void writeRaw(const QString& id, const QByteArray& bytes) const
    {
        ASSERT_TRUE(QDir().mkpath(folder()));
        ASSERT_TRUE(folivo::test::writeAll(prefsFile(id), bytes));
    }

    folivo::test::Scratch scratch_;
    ScopedEnv env_;
};

} // namespace

TEST(KTPrefsPath, FollowsXdgConfigHomeElseHomeConfig)
{
    ScopedEnv home("HOME", QByteArray("/home/someone"));
    struct Case {
        std::optional<QByteArray> xdg;
        QString expected;
    };
    const Case cases[] = {
        {QByteArray("/etc/xdg-user"), "/etc/xdg-user/folivo/a.b.prefs"},
        {QByteArray("/etc/xdg-user/"), "/etc/xdg-user/folivo/a.b.prefs"},
        {std::nullopt, "/home/someone/.config/folivo/a.b.prefs"},
        {QByteArray(""), "/home/someone/.config/folivo/a.b.prefs"},
        {QByteArray("relative/config"), "/home/someone/.config/folivo/a.b.prefs"},
    };
    for (const Case& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(KTPrefs::prefsFileFor("a.b"), c.expected) << (c.xdg ? c.xdg->constData() : "(unset)");
    }
}

TEST_F(KTPrefsTest, EveryValueTypeSurvivesAWriteAndARead)
{
    KTPrefs prefs(kApp);
    EXPECT_EQ(prefs.prefsPath(), prefsFile(kApp));
    // A fresh store holds only the take-over marker, and nothing is on disk yet.
    EXPECT_EQ(prefs.prefsMutableDictionary(), (Dict{{KTPrefs::ConvertedFromPlistKey, true}}));
    EXPECT_FALSE(prefs.empty());

    prefs.setBool(true, "flag");
    prefs.setBool(false, "off");
    prefs.setInteger(-9'000'000'000, "negative");
    prefs.setUInt32(0xFFFFFFFFu, "u32");
    prefs.setFloat(0.1f, "float");
    prefs.setDouble(-2.5e-300, "double");
    ASSERT_TRUE(prefs.setObject(Value(plist::UnsignedInt{std::numeric_limits<std::uint64_t>::max()}), "big"));
    ASSERT_TRUE(prefs.setObject(Value(QString::fromUtf8("Grüße ✓ 日本\n\"x\"")), "text"));
    ASSERT_TRUE(prefs.setObject(Value(QByteArray("\0\x01\xff", 3)), "blob"));
    ASSERT_TRUE(prefs.setObject(Value(plist::Date{694224000.5}), "when"));
    ASSERT_TRUE(prefs.setObject(Value(Array{Value("a"), Value(7), Value(true), Value(Array{})}), "list"));
    ASSERT_TRUE(prefs.setObject(Value(Dict{{"inner", Dict{{"n", 1}, {"s", ""}}}, {"empty", Dict{}}}), "nested"));
    EXPECT_FALSE(QFile::exists(prefsFile(kApp)));

    ASSERT_TRUE(prefs.synchronize());
    EXPECT_EQ(fs::mode(folder()), 0700u);
    EXPECT_EQ(fs::mode(prefsFile(kApp)), 0600u);
    EXPECT_EQ(folivo::test::temporaryNamesBelow(folder()), QStringList());

    const KTPrefs again(kApp);
    EXPECT_TRUE(again.corruptCopy().isEmpty());
    EXPECT_EQ(again.prefsMutableDictionary(), prefs.prefsMutableDictionary()); // exact types included
    EXPECT_TRUE(again.objectForKey("flag")->isBool());
    EXPECT_TRUE(again.objectForKey("off")->isBool());
    EXPECT_EQ(*again.objectForKey("u32"), Value(std::int64_t(0xFFFFFFFF)));
    EXPECT_TRUE(again.objectForKey("big")->isUnsigned());
    EXPECT_EQ(again.floatForKey("float"), 0.1f);
    EXPECT_EQ(again.uInt32ForKey("u32"), 0xFFFFFFFFu);
    EXPECT_TRUE(QJsonDocument::fromJson(again.description().toUtf8()).isObject());

    if (!pythonAvailable())
        GTEST_SKIP() << "python3 is not available";
    const QString script = QStringLiteral(FOLIVO_SOURCE_DIR "/tests/fixtures/plistdump.py");
    const auto check = folivo::test::run("python3", {script, "--check-keyed", prefsFile(kApp)});
    EXPECT_EQ(check.exitCode, 0) << check.out.constData();
    // The independent reader sees the same keys, values and types.
    const auto dump = folivo::test::run("python3", {script, prefsFile(kApp)});
    ASSERT_EQ(dump.exitCode, 0) << dump.err.constData();
    EXPECT_EQ(QJsonDocument::fromJson(dump.out),
              QJsonDocument::fromJson(plist::toTypedJson(Value(prefs.prefsMutableDictionary()))));
}

TEST_F(KTPrefsTest, TypedGettersConvertTheWayNumbersAndStringsDo)
{
    const double inf = std::numeric_limits<double>::infinity();
    const qint64 i64max = std::numeric_limits<qint64>::max();
    const qint64 i64min = std::numeric_limits<qint64>::min();
    struct Case {
        std::optional<Value> stored;
        bool b;
        qint64 i;
        quint32 u;
        double d;
    };
    const Case cases[] = {
        {std::nullopt, false, 0, 0, 0.0},
        {Value(true), true, 1, 1, 1.0},
        {Value(false), false, 0, 0, 0.0},
        {Value(-3), true, -3, 4294967293u, -3.0},
        {Value(std::int64_t(5'000'000'000)), true, 5'000'000'000, 705032704u, 5e9},
        {Value(plist::UnsignedInt{std::numeric_limits<std::uint64_t>::max()}), true, -1, 0xFFFFFFFFu, 18446744073709551615.0},
        {Value(2.9), true, 2, 2, 2.9},
        {Value(-2.9), true, -2, 4294967294u, -2.9},
        {Value(0.25), true, 0, 0, 0.25},
        // Strings read their leading number; the rest of the text is ignored.
        {Value("  42abc"), true, 42, 42, 42.0},
        {Value("\t+3"), true, 3, 3, 3.0},
        {Value("-7.5e1x"), true, -7, 4294967289u, -75.0},
        {Value("3.5"), true, 3, 3, 3.5},
        {Value("0.5"), false, 0, 0, 0.5},
        {Value("007"), true, 7, 7, 7.0},
        {Value("1e"), true, 1, 1, 1.0},
        {Value(".5"), false, 0, 0, 0.5},
        {Value("YES"), true, 0, 0, 0.0},
        {Value("true"), true, 0, 0, 0.0},
        {Value("no"), false, 0, 0, 0.0},
        {Value(""), false, 0, 0, 0.0},
        {Value("inf"), false, 0, 0, 0.0},
        {Value("0x10"), false, 0, 0, 0.0},
        {Value("99999999999999999999"), true, i64max, 0xFFFFFFFFu, 1e20},
        {Value("-99999999999999999999"), true, i64min, 0, -1e20},
        {Value("1e999"), true, 1, 1, inf},
        // Types without a numeric reading.
        {Value(QByteArray("1")), false, 0, 0, 0.0},
        {Value(Array{Value(1)}), false, 0, 0, 0.0},
        {Value(Dict{{"a", 1}}), false, 0, 0, 0.0},
        {Value(plist::Date{100.0}), false, 0, 0, 0.0},
    };
    KTPrefs prefs(kApp);
    for (const Case& c : cases) {
        prefs.setObject(c.stored, "k");
        const QString shown = c.stored ? QString::fromUtf8(plist::toTypedJson(*c.stored, -1)) : "(missing)";
        SCOPED_TRACE(shown.toStdString());
        EXPECT_EQ(prefs.objectForKey("k") == nullptr, !c.stored);
        EXPECT_EQ(prefs.boolForKey("k"), c.b);
        EXPECT_EQ(prefs.integerForKey("k"), c.i);
        EXPECT_EQ(prefs.uInt32ForKey("k"), c.u);
        EXPECT_EQ(prefs.doubleForKey("k"), c.d);
        EXPECT_EQ(prefs.floatForKey("k"), float(c.d));
    }
    EXPECT_EQ(prefs.value("k"), prefs.objectForKey("k"));
}

TEST_F(KTPrefsTest, RemovalRefusalAndCopiesLeaveTheStoreAsItShouldBe)
{
    KTPrefs prefs(kApp);
    prefs.setBool(true, "gone");
    prefs.setBool(true, "alsoGone");
    prefs.setInteger(3, "kept");
    EXPECT_TRUE(prefs.setObject(std::nullopt, "gone"));
    EXPECT_TRUE(prefs.setObject(Value(), "alsoGone")); // "no object" removes too
    prefs.removeObjectForKey("neverThere");
    EXPECT_EQ(prefs.objectForKey("gone"), nullptr);
    EXPECT_FALSE(prefs.boolForKey("gone"));
    EXPECT_EQ(prefs.objectForKey("alsoGone"), nullptr);

    // A value the archive cannot hold is refused rather than stored, so the store can
    // still be written afterwards.
    Value deep = Value(1);
    for (int i = 0; i < plist::kMaxNesting + 1; ++i)
        deep = Value(Array{std::move(deep)});
    for (const Value& bad : {Value(Array{Value(1), Value()}), Value(plist::Uid{1}), deep}) {
        EXPECT_FALSE(prefs.setObject(bad, "bad"));
        EXPECT_EQ(prefs.objectForKey("bad"), nullptr);
    }
    prefs.setInteger(4, "kept");
    EXPECT_FALSE(prefs.setObject(Value(Dict{{"x", Value()}}), "kept"));
    EXPECT_EQ(prefs.integerForKey("kept"), 4);

    // Changing the copy changes neither the store nor what it writes.
    Dict copy = prefs.prefsMutableDictionary();
    copy.set("kept", 99);
    copy.set("extra", true);
    ASSERT_TRUE(prefs.synchronize());
    const KTPrefs again(kApp);
    EXPECT_EQ(again.prefsMutableDictionary(),
              (Dict{{KTPrefs::ConvertedFromPlistKey, true}, {"kept", 4}}));
}

TEST_F(KTPrefsTest, DamagedFileIsKeptAsideAndTheStoreStartsOver)
{
    const QByteArray good = plist::encodeKeyedArchive(Value(Dict{{"a", 1}, {"b", "text"}}));
    ASSERT_FALSE(good.isEmpty());
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"garbage", QByteArray("not a property list at all\n")},
        {"no bytes", QByteArray()},
        {"truncated", good.left(good.size() - 12)},
        {"array root", plist::encodeKeyedArchive(Value(Array{Value(1)}))},
        {"string root", plist::encodeKeyedArchive(Value("prefs"))},
        {"object root", plist::encodeKeyedArchive(Value(Dict{{"$classname", "NSURL"},
                                                             {"$classes", Array{Value("NSURL"), Value("NSObject")}},
                                                             {"NS.relative", "file:///"}}))},
        {"plain plist", plist::writeBinary(Value(Dict{{"a", 1}}))},
    };
    const QRegularExpression copyName("^" + QRegularExpression::escape(prefsFile(kApp))
                                      + R"(\.corrupt-\d{8}-\d{6}(-\d+)?$)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeRaw(kApp, c.bytes);
        KTPrefs prefs(kApp);
        EXPECT_EQ(prefs.prefsMutableDictionary(), markersOnly());
        ASSERT_TRUE(copyName.match(prefs.corruptCopy()).hasMatch()) << prefs.corruptCopy().toStdString();
        EXPECT_EQ(folivo::test::readAll(prefs.corruptCopy()), c.bytes);
        EXPECT_FALSE(QFile::exists(prefsFile(kApp)));

        // The next write makes a good file and leaves the kept copy alone.
        prefs.setBool(true, "written");
        ASSERT_TRUE(prefs.synchronize());
        EXPECT_EQ(folivo::test::readAll(prefs.corruptCopy()), c.bytes);
        EXPECT_TRUE(KTPrefs(kApp).boolForKey("written"));
        QFile::remove(prefs.corruptCopy());
    }
}

TEST_F(KTPrefsTest, ASecondDamagedFileDoesNotReplaceTheFirstCopy)
{
    writeRaw(kApp, "first damage");
    const KTPrefs first(kApp);
    writeRaw(kApp, "second damage");
    const KTPrefs second(kApp);
    ASSERT_FALSE(first.corruptCopy().isEmpty());
    ASSERT_FALSE(second.corruptCopy().isEmpty());
    EXPECT_NE(first.corruptCopy(), second.corruptCopy());
    EXPECT_EQ(folivo::test::readAll(first.corruptCopy()), "first damage");
    EXPECT_EQ(folivo::test::readAll(second.corruptCopy()), "second damage");
    if (second.corruptCopy().startsWith(first.corruptCopy())) { // both in the same second
        EXPECT_EQ(second.corruptCopy(), first.corruptCopy() + "-2");
    }
}

TEST_F(KTPrefsTest, ADamagedFileThatCannotBeMovedIsNeverWrittenOver)
{
    writeRaw(kApp, "damaged");
    const QString path = prefsFile(kApp);
    std::optional<KTPrefs> prefs;
    {
        fs::ScopedFault fault([&](fs::Op op, const QString& p) { return op == fs::Op::Rename && p == path; });
        prefs.emplace(kApp);
    }
    EXPECT_TRUE(prefs->corruptCopy().isEmpty());
    EXPECT_EQ(prefs->prefsMutableDictionary(), markersOnly());
    prefs->setBool(true, "x");
    EXPECT_FALSE(prefs->synchronize());
    EXPECT_EQ(folivo::test::readAll(path), "damaged");
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{kApp + ".prefs"});
    EXPECT_TRUE(prefs->boolForKey("x")); // memory keeps working
}

TEST_F(KTPrefsTest, SettingsTakenOverFromAnotherIdentifierAreWrittenToTheNewFileOnly)
{
    // An older file, written before the take-over marker existed.
    const QByteArray legacyBytes = plist::encodeKeyedArchive(Value(Dict{{"sortingKeepSorted", true}, {"count", 12}}));
    writeRaw(kLegacy, legacyBytes);

    KTPrefs prefs(kLegacy, kApp);
    EXPECT_EQ(prefs.prefsPath(), prefsFile(kApp));
    EXPECT_TRUE(prefs.corruptCopy().isEmpty());
    EXPECT_EQ(prefs.prefsMutableDictionary(),
              (Dict{{"sortingKeepSorted", true}, {"count", 12}, {KTPrefs::ConvertedFromPlistKey, true}}));
    EXPECT_FALSE(QFile::exists(prefsFile(kApp)));

    prefs.setInteger(13, "count");
    ASSERT_TRUE(prefs.synchronize());
    EXPECT_EQ(folivo::test::readAll(prefsFile(kLegacy)), legacyBytes);
    EXPECT_EQ(KTPrefs(kApp).prefsMutableDictionary(), prefs.prefsMutableDictionary());

    // A damaged file of the other identifier is not ours to move: it stays as it is.
    writeRaw(kLegacy, "damaged legacy");
    KTPrefs fromDamaged(kLegacy, kApp);
    EXPECT_EQ(fromDamaged.prefsMutableDictionary(), markersOnly());
    EXPECT_TRUE(fromDamaged.corruptCopy().isEmpty());
    ASSERT_TRUE(fromDamaged.synchronize());
    EXPECT_EQ(folivo::test::readAll(prefsFile(kLegacy)), "damaged legacy");
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), 2);

    // No file for the old identifier: an ordinary fresh start.
    EXPECT_EQ(KTPrefs("org.folivo.Missing", kApp).prefsMutableDictionary(),
              (Dict{{KTPrefs::ConvertedFromPlistKey, true}}));
}

TEST_F(KTPrefsTest, AFailedWriteAnswersFalseAndChangesNothing)
{
    {
        KTPrefs prefs(kApp);
        prefs.setInteger(1, "n");
        ASSERT_TRUE(prefs.synchronize());
    }
    const QByteArray before = folivo::test::readAll(prefsFile(kApp));
    for (const fs::Op failing : {fs::Op::Write, fs::Op::Rename}) {
        KTPrefs prefs(kApp);
        prefs.setInteger(2, "n");
        fs::ScopedFault fault([&](fs::Op op, const QString&) { return op == failing; });
        EXPECT_FALSE(prefs.synchronize());
        EXPECT_EQ(prefs.integerForKey("n"), 2);
        EXPECT_EQ(folivo::test::readAll(prefsFile(kApp)), before);
        EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{kApp + ".prefs"});
    }

    // The folder cannot be made.
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    KTPrefs prefs(kApp);
    {
        fs::ScopedFault fault([](fs::Op op, const QString&) { return op == fs::Op::MakeDir; });
        EXPECT_FALSE(prefs.synchronize());
    }
    EXPECT_FALSE(QFile::exists(folder()));
    EXPECT_TRUE(prefs.synchronize());
}
