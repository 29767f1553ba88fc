#include "prefs/launchdefaults.h"

#include "prefs/ktprefs.h"
#include "plist/typedjson.h"
#include "prefs/messages.h"
#include "prefs/prefkeys.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>

using namespace folivo;
using plist::Array;
using plist::Dict;
using plist::Value;

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace folivo::plist {
// Readable failure messages for dictionaries.
inline void PrintTo(const Dict& d, std::ostream* os)
{
    *os << toTypedJson(Value(d)).toStdString();
}
} // namespace folivo::plist

namespace {

// The store's settings, without the marker the store writes about itself.
Dict settings(const KTPrefs& prefs)
{
    Dict d = prefs.prefsMutableDictionary();
    d.remove(KTPrefs::ConvertedFromPlistKey);
    return d;
}

// Points the preference folder at a scratch folder for one test.
class LaunchDefaultsTest : public ::testing::Test {
protected:
    LaunchDefaultsTest()
    {
        if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
            previous_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", scratch_.path().toLocal8Bit());
    }
    ~LaunchDefaultsTest() override
    {
        if (previous_)
            qputenv("XDG_CONFIG_HOME", *previous_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    // A store holding `stored`, with the launch defaults applied.
    KTPrefs launched(const Dict& stored)
    {
        KTPrefs prefs(id_);
        for (const auto& [key, value] : stored)
            EXPECT_TRUE(prefs.setObject(value, key));
        applyLaunchDefaults(prefs);
        return prefs;
    }

    test::Scratch scratch_;
    std::optional<QByteArray> previous_;
    const QString id_ = QStringLiteral("org.folivo.LaunchTest");
};

TEST_F(LaunchDefaultsTest, AnEmptyStoreGetsEveryDefault)
{
    const KTPrefs prefs = launched({});
    using namespace prefkeys;
    const Dict expected{
        {EuropeanDates, false},
        {BackupKeep, 4},
        {NotifyOpenIndexCheck, true},
        {AutofilePriorities, Array{"Selected Reminder", "Browser Selection", "Filename Match", "Text Match"}},
        {BrowserEnablePlugins, false},
        {BrowserEnableJava, true},
        {BrowserEnableJavascript, true},
        {BrowserAllowJavascriptToOpenWindows, true},
        {BrowserAutomaticallyLoadImages, true},
        {BrowserAllowAnimatedImages, true},
        {BrowserAllowAnimatedImageLooping, true},
        {BrowserKeepWindowsAbove, true},
        {GeneratedPasswordLength, 24},
        {HistoryRestore, false},
        {ConfirmDelete, true},
        {HotkeyCodeUserID, int(Qt::Key_U)},
        {HotkeyCodePassword, int(Qt::Key_P)},
        {HotkeyUserIDModifierFlags, 6144},
        {HotkeyPasswordModifierFlags, 6144},
        {MaintainLastImport, false},
        {Find, Dict{{"All", true},
                    {"Type", 0},
                    {"Expand", false},
                    {"SmartFolderName", ""},
                    {"Conditions", Array{Dict{{"Tag", 9}, {"Name", ""}}}}}},
    };
    EXPECT_EQ(settings(prefs), expected);
}

TEST_F(LaunchDefaultsTest, ChosenValuesAreKept)
{
    using namespace prefkeys;
    // Each group is filled only while its test key is missing: a present test key keeps
    // the whole group as the person left it, even with keys of the group missing.
    const Dict stored{
        {EuropeanDates, true},
        {AutofilePriorities, Array{"Text Match", "Filename Match", "Browser Selection", "Selected Reminder"}},
        {BrowserEnablePlugins, true},
        {BrowserEnableJava, false},
        {ConfirmDelete, false},
        {HotkeyCodeUserID, int(Qt::Key_K)},
        {HotkeyUserIDModifierFlags, 0x0100},
        {UserSetMaintainLastImport, true},
        {MaintainLastImport, true},
        {Find, Dict{{"All", false}}},
        {LegacyFindName, "left alone"},
    };
    const KTPrefs prefs = launched(stored);
    Dict expected = stored;
    expected.set(GeneratedPasswordLength, 24);
    EXPECT_EQ(settings(prefs), expected);
}

TEST_F(LaunchDefaultsTest, MaintainLastImportIsTurnedOffUntilThePersonChoseIt)
{
    const KTPrefs prefs = launched({{prefkeys::MaintainLastImport, true}});
    EXPECT_FALSE(prefs.boolForKey(prefkeys::MaintainLastImport));
}

TEST_F(LaunchDefaultsTest, PasswordLengthIsOneOfTheMenusLengths)
{
    const struct {
        std::optional<Value> stored;
        qint64 expected;
    } cases[] = {
        {std::nullopt, 24}, {Value(0), 24},   {Value(8), 8},    {Value(12), 12}, {Value(16), 16},
        {Value(20), 20},    {Value(24), 24},  {Value(10), 12},  {Value(1), 8},   {Value(21), 24},
        {Value(30), 30},    {Value(-3), 8},   {Value("13"), 16}, {Value(true), 8},
    };
    for (const auto& c : cases) {
        Dict stored;
        if (c.stored)
            stored.set(prefkeys::GeneratedPasswordLength, *c.stored);
        const KTPrefs prefs = launched(stored);
        const Value* v = prefs.objectForKey(prefkeys::GeneratedPasswordLength);
        ASSERT_TRUE(v && v->isInteger());
        EXPECT_EQ(v->intValue(), c.expected) << (c.stored ? plist::toTypedJson(*c.stored).toStdString() : "absent");
    }
}

TEST_F(LaunchDefaultsTest, TheLastFindIsBuiltFromTheOlderKeysWhichAreRemoved)
{
    using namespace prefkeys;
    const struct {
        const char* name;
        Dict stored;
        Dict find;
    } cases[] = {
        {"by date without a date",
         {{LegacyFindByDate, false}, {LegacyFindName, "ignored"}},
         {{"All", true},
          {"Type", 0},
          {"Expand", false},
          {"SmartFolderName", ""},
          {"Conditions", Array{Dict{{"Tag", 10}, {"Date", ""}}}}}},
        {"by date, backwards, expanded",
         {{LegacyFindByDate, true},
          {LegacyFindDate, "3/4/2001"},
          {LegacyFindBackwards, false},
          {LegacyFindExpandFoundCategory, false},
          {LegacyFindIgnoreCase, true}},
         {{"All", true},
          {"Type", 1},
          {"Expand", true},
          {"SmartFolderName", ""},
          {"Conditions", Array{Dict{{"Tag", 10}, {"Date", "3/4/2001"}}}}}},
        {"name ignoring case",
         {{LegacyFindIgnoreCase, false}, {LegacyFindName, "Tax"}, {LegacyFindDate, "1/1/2000"}},
         {{"All", true},
          {"Type", 0},
          {"Expand", false},
          {"SmartFolderName", ""},
          {"Conditions", Array{Dict{{"Tag", 521}, {"Name", "Tax"}}}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const KTPrefs prefs = launched(c.stored);
        const Value* find = prefs.objectForKey(Find);
        ASSERT_TRUE(find && find->isDict());
        EXPECT_EQ(find->dict(), c.find);
        for (const QString& old : {LegacyFindBackwards, LegacyFindName, LegacyFindDate, LegacyFindExpandFoundCategory,
                                   LegacyFindByDate, LegacyFindIgnoreCase})
            EXPECT_FALSE(prefs.objectForKey(old)) << old.toStdString();
    }
}

TEST_F(LaunchDefaultsTest, OlderHotKeyLettersBecomeCodes)
{
    using namespace prefkeys;
    const struct {
        const char* name;
        Dict stored;
        Dict expected; // the hot-key keys after the launch
    } cases[] = {
        // The masks the person had are kept.
        {"letters with masks",
         {{LegacyHotkeyUserID, "k"},
          {LegacyHotkeyPassword, "j"},
          {HotkeyUserIDModifierFlags, 0x0900},
          {HotkeyPasswordModifierFlags, 0x0300}},
         {{HotkeyCodeUserID, int(Qt::Key_K)},
          {HotkeyCodePassword, int(Qt::Key_J)},
          {HotkeyUserIDModifierFlags, 0x0900},
          {HotkeyPasswordModifierFlags, 0x0300}}},
        // Without masks the keys would be bare letters, grabbed from every program.
        {"letters without masks",
         {{LegacyHotkeyUserID, "K"}, {LegacyHotkeyPassword, "7"}},
         {{HotkeyCodeUserID, int(Qt::Key_K)},
          {HotkeyCodePassword, int(Qt::Key_7)},
          {HotkeyUserIDModifierFlags, 6144},
          {HotkeyPasswordModifierFlags, 6144}}},
        // Nothing usable in a string: that key's default letter.
        {"unusable strings",
         {{LegacyHotkeyUserID, ""}, {LegacyHotkeyPassword, "ab"}},
         {{HotkeyCodeUserID, int(Qt::Key_U)},
          {HotkeyCodePassword, int(Qt::Key_P)},
          {HotkeyUserIDModifierFlags, 6144},
          {HotkeyPasswordModifierFlags, 6144}}},
        {"a letter beyond ASCII", {{LegacyHotkeyUserID, "é"}}, {{HotkeyCodeUserID, int(Qt::Key_Eacute)},
                                                                 {HotkeyCodePassword, int(Qt::Key_P)},
                                                                 {HotkeyUserIDModifierFlags, 6144},
                                                                 {HotkeyPasswordModifierFlags, 6144}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const KTPrefs prefs = launched(c.stored);
        Dict hotKeys;
        for (const QString& key : {HotkeyCodeUserID, HotkeyCodePassword, HotkeyUserIDModifierFlags,
                                   HotkeyPasswordModifierFlags, LegacyHotkeyUserID, LegacyHotkeyPassword})
            if (const Value* v = prefs.objectForKey(key))
                hotKeys.set(key, *v);
        EXPECT_EQ(hotKeys, c.expected);
    }
}

TEST_F(LaunchDefaultsTest, ALaunchTwiceChangesNothingMore)
{
    KTPrefs prefs = launched({{prefkeys::LegacyFindName, "x"}, {prefkeys::LegacyHotkeyUserID, "q"}});
    const Dict once = settings(prefs);
    applyLaunchDefaults(prefs);
    EXPECT_EQ(settings(prefs), once);
}

TEST_F(LaunchDefaultsTest, FirstRunIsWhileThePreferenceFileIsMissing)
{
    EXPECT_EQ(firstRunPrompt(id_), launchmsg::FirstRunText);
    EXPECT_EQ(launchmsg::FirstRunText,
              "Folivo is similar to, but not identical to the legacy application Stackmere.  It has an updated "
              "look, and now optionally produces user notifications for reminders.  Also, graphing of custom "
              "attributes is not supported.");
    KTPrefs prefs(id_);
    applyLaunchDefaults(prefs);
    ASSERT_TRUE(prefs.synchronize());
    EXPECT_EQ(firstRunPrompt(id_), std::nullopt);
    // A damaged file is no first run either: the person has used the program before.
    ASSERT_TRUE(test::writeAll(KTPrefs::prefsFileFor(id_), "not a keyed archive"));
    EXPECT_EQ(firstRunPrompt(id_), std::nullopt);
}

} // namespace
