#include "prefs/launchdefaults.h"

#include "filing/filingrules.h"
#include "prefs/ktprefs.h"
#include "prefs/messages.h"
#include "prefs/prefkeys.h"

#include <QFileInfo>

#include <array>

namespace folivo {

namespace {

using plist::Array;
using plist::Dict;
using plist::Value;

// Condition tags of the find record: name contains, name contains ignoring case, and the
// item's date range contains a date.
constexpr std::int64_t TagNameContains = 9;
constexpr std::int64_t TagNameContainsIgnoringCase = 521;
constexpr std::int64_t TagDateInRange = 10;

bool has(const KTPrefs& prefs, const QString& key)
{
    return prefs.objectForKey(key) != nullptr;
}

// The last find as the older versions kept it, in separate keys, made into one find record.
Dict findFromLegacyKeys(const KTPrefs& prefs)
{
    using namespace prefkeys;
    const bool byDate = has(prefs, LegacyFindByDate);
    Dict condition;
    if (byDate)
        condition.set(QStringLiteral("Tag"), TagDateInRange);
    else if (has(prefs, LegacyFindIgnoreCase))
        condition.set(QStringLiteral("Tag"), TagNameContainsIgnoringCase);
    else
        condition.set(QStringLiteral("Tag"), TagNameContains);
    const QString textKey = byDate ? LegacyFindDate : LegacyFindName;
    const Value* text = prefs.objectForKey(textKey);
    condition.set(byDate ? QStringLiteral("Date") : QStringLiteral("Name"), text ? *text : Value(QString()));

    return Dict{{QStringLiteral("All"), true},
                {QStringLiteral("Type"), std::int64_t(has(prefs, LegacyFindBackwards) ? 1 : 0)},
                {QStringLiteral("Expand"), has(prefs, LegacyFindExpandFoundCategory)},
                {QStringLiteral("SmartFolderName"), QString()},
                {QStringLiteral("Conditions"), Array{Value(std::move(condition))}}};
}

// The code of a hot key kept as a one-character string by older versions; the default
// key when that string is missing or names no usable key.
int legacyHotKeyCode(const KTPrefs& prefs, const QString& key, char fallback)
{
    const Value* v = prefs.objectForKey(key);
    if (v && v->isString())
        if (const auto code = keyCodeForKey(v->string()))
            return *code;
    return *keyCodeForKey(QString(QLatin1Char(fallback)));
}

} // namespace

std::optional<QString> firstRunPrompt(const QString& applicationId)
{
    if (QFileInfo::exists(KTPrefs::prefsFileFor(applicationId)))
        return std::nullopt;
    return launchmsg::FirstRunText;
}

qint64 normalisedPasswordLength(std::optional<qint64> stored)
{
    if (!stored || *stored == 0)
        return 24;
    for (const qint64 length : {8, 12, 16, 20, 24})
        if (*stored <= length)
            return length;
    return *stored;
}

std::optional<int> keyCodeForKey(const QString& key)
{
    const QList<uint> chars = key.toUcs4();
    if (chars.size() != 1)
        return std::nullopt;
    const char32_t c = chars.front();
    if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        return std::nullopt;
    // Qt names the key of a character by the character's upper-case form (Qt::Key_U is
    // 'U'), for letters beyond ASCII too.
    return int(QChar::toUpper(c));
}

void applyLaunchDefaults(KTPrefs& prefs)
{
    using namespace prefkeys;

    if (!has(prefs, EuropeanDates)) {
        prefs.setBool(false, EuropeanDates);
        prefs.setInteger(4, BackupKeep);
        prefs.setBool(true, NotifyOpenIndexCheck);
    }

    // There is no software-update framework on Linux (the distribution updates the
    // program), so "CheckForUpdates" and "SUEnableAutomaticChecks" are left alone.

    if (!has(prefs, Find)) {
        prefs.setObject(Value(findFromLegacyKeys(prefs)), Find);
        for (const QString& old : {LegacyFindBackwards, LegacyFindName, LegacyFindDate, LegacyFindExpandFoundCategory,
                                   LegacyFindByDate, LegacyFindIgnoreCase})
            prefs.removeObjectForKey(old);
    }

    if (!has(prefs, AutofilePriorities))
        prefs.setObject(Value(Array{filingrule::SelectedReminder, filingrule::BrowserSelection,
                                    filingrule::FilenameMatch, filingrule::TextMatch}),
                        AutofilePriorities);

    if (!has(prefs, BrowserEnablePlugins)) {
        prefs.setBool(false, BrowserEnablePlugins);
        for (const QString& key : {BrowserEnableJava, BrowserEnableJavascript, BrowserAllowJavascriptToOpenWindows,
                                   BrowserAutomaticallyLoadImages, BrowserAllowAnimatedImages,
                                   BrowserAllowAnimatedImageLooping, BrowserKeepWindowsAbove})
            prefs.setBool(true, key);
    }

    const std::optional<qint64> length = has(prefs, GeneratedPasswordLength)
                                             ? std::optional(prefs.integerForKey(GeneratedPasswordLength))
                                             : std::nullopt;
    prefs.setInteger(normalisedPasswordLength(length), GeneratedPasswordLength);

    if (!has(prefs, ConfirmDelete)) {
        prefs.setBool(false, HistoryRestore);
        prefs.setBool(true, ConfirmDelete);
    }

    if (!has(prefs, HotkeyCodeUserID)) {
        if (has(prefs, LegacyHotkeyUserID)) {
            prefs.setInteger(legacyHotKeyCode(prefs, LegacyHotkeyUserID, 'u'), HotkeyCodeUserID);
            prefs.setInteger(legacyHotKeyCode(prefs, LegacyHotkeyPassword, 'p'), HotkeyCodePassword);
            prefs.removeObjectForKey(LegacyHotkeyUserID);
            prefs.removeObjectForKey(LegacyHotkeyPassword);
            // Masks already stored are the person's; a missing one would make the hot key the
            // bare letter, which would swallow that letter in every program.
            for (const QString& mask : {HotkeyUserIDModifierFlags, HotkeyPasswordModifierFlags})
                if (!has(prefs, mask))
                    prefs.setUInt32(DefaultHotKeyModifiers, mask);
        } else {
            prefs.setInteger(*keyCodeForKey(QStringLiteral("u")), HotkeyCodeUserID);
            prefs.setInteger(*keyCodeForKey(QStringLiteral("p")), HotkeyCodePassword);
            prefs.setUInt32(DefaultHotKeyModifiers, HotkeyUserIDModifierFlags);
            prefs.setUInt32(DefaultHotKeyModifiers, HotkeyPasswordModifierFlags);
        }
    }

    if (!has(prefs, UserSetMaintainLastImport))
        prefs.setBool(false, MaintainLastImport);
}

} // namespace folivo
