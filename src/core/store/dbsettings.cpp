#include "store/dbsettings.h"

namespace folivo {

namespace {

const plist::Value* pref(const PrefsSource* prefs, const char* key)
{
    return prefs ? prefs->value(QString::fromLatin1(key)) : nullptr;
}

bool prefBool(const PrefsSource* prefs, const char* key)
{
    const plist::Value* v = pref(prefs, key);
    return v && v->toBool();
}

// Sorting flags carried over from the global keys of older versions.
void applyLegacySorting(DatabaseSettings& s, const PrefsSource* prefs)
{
    s.sorting.yearDescending = prefBool(prefs, "YearCategorySort");
    s.sorting.keepSorted = prefBool(prefs, "KeepSorted");
    s.sorting.monthDescending = prefBool(prefs, "MonthCategorySort");
    s.sorting.ignoreCase = false;
}

plist::Dict defaultTagSettings()
{
    return plist::Dict{{QStringLiteral("autoTaggingPrefixes"), plist::Array{}},
                       {QStringLiteral("autoTaggingScanImported"), false},
                       {QStringLiteral("autoTaggingSeparator"), 0}};
}

} // namespace

DatabaseSettings DatabaseSettings::forNewDatabase(const PrefsSource* prefs)
{
    DatabaseSettings s;
    if (pref(prefs, "YearCategorySort"))
        applyLegacySorting(s, prefs);
    s.tagSettings = defaultTagSettings();
    return s;
}

DatabaseSettings DatabaseSettings::fromAttributesState(const std::optional<plist::Value>& state,
                                                       const PrefsSource* prefs)
{
    if (!state || !state->isDict()) {
        DatabaseSettings s;
        s.tagSettings = defaultTagSettings();
        return s;
    }
    const plist::Dict& d = state->dict();
    auto get = [&](const char* key) { return d.find(QString::fromLatin1(key)); };
    DatabaseSettings s;
    if (const auto* v = get("attributesViewState"))
        s.attributesViewState = v->toBool();
    if (const auto* v = get("notesHeight"); v && v->isNumber())
        s.notesHeight = v->toReal();
    if (const auto* v = get("paneSizesLinux"); v && v->isArray()) {
        for (const plist::Value& size : v->array())
            if (size.isNumber() && s.paneSizes.size() < 3)
                s.paneSizes << int(std::clamp<std::int64_t>(size.toInt(), 0, 100000));
    }
    if (get("sortingKeepSorted")) {
        auto flag = [&](const char* key, bool fallback) {
            const auto* v = get(key);
            return v ? v->toBool(fallback) : fallback;
        };
        s.sorting.keepSorted = flag("sortingKeepSorted", false);
        s.sorting.yearDescending = flag("sortingYearDescending", false);
        s.sorting.monthDescending = flag("sortingMonthDescending", false);
        s.sorting.ignoreCase = flag("sortingIgnoreCase", false);
    } else if (pref(prefs, "YearCategorySort")) {
        applyLegacySorting(s, prefs);
    } else {
        // Neither per-database nor legacy flags: everything off.
        s.sorting = SortFlags{false, false, false, false};
    }
    if (const auto* v = get("ImportFolder")) {
        s.importFolderEnabled = v->toBool();
        if (const auto* p = get("ImportFolderPath"); p && p->isString())
            s.importFolderPath = p->string();
        if (const auto* p = get("ImportFolderPackagePath"); p && p->isString())
            s.importFolderSetFor = p->string();
        if (const auto* k = get("ImportFolderKept"); k && k->isArray())
            s.importFolderKept = k->array();
    } else {
        s.importFolderEnabled = prefBool(prefs, "ImportFolder");
        if (pref(prefs, "ImportFolderPath"))
            if (const auto* p = pref(prefs, "gImportFolderPath"); p && p->isString())
                s.importFolderPath = p->string();
    }
    s.tagSettings = defaultTagSettings();
    // A missing imported-files switch stays missing: older databases with prefixes tagged
    // every import, and the tag settings read that absence as on.
    if (!get("autoTaggingScanImported"))
        s.tagSettings.remove(QStringLiteral("autoTaggingScanImported"));
    for (const char* key : {"autoTaggingPrefixes", "autoTaggingScanImported", "autoTaggingSeparator"})
        if (const auto* v = get(key))
            s.tagSettings.set(QString::fromLatin1(key), *v);
    if (const auto* v = get("gotoRecentWebsiteMenuTitles"); v && v->isArray())
        for (const auto& t : v->array())
            if (t.isString())
                s.recentWebsiteTitles << t.string();
    if (const auto* v = get("attributesMoveable")) {
        s.attributesMoveable = v->toBool();
        if (const auto* x = get("attributesX"); x && x->isNumber())
            s.attributesX = x->toReal();
        if (const auto* y = get("attributesY"); y && y->isNumber())
            s.attributesY = y->toReal();
    }
    return s;
}

plist::Dict drawerOpenReplacementState()
{
    return plist::Dict{{QStringLiteral("attributesViewState"), true},
                       {QStringLiteral("leftHandSplitViewWidth"), 315.0},
                       {QStringLiteral("leftHandSplitViewAttributesWidth"), 315.0},
                       {QStringLiteral("notesHeight"), 24.0},
                       {QStringLiteral("ImportFolder"), false}};
}

} // namespace folivo
