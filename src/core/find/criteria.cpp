#include "find/criteria.h"

#include "filing/ktdate.h"

namespace folivo {

namespace {

std::optional<QString> stringAt(const plist::Dict& d, const QString& key)
{
    const plist::Value* v = d.find(key);
    if (v && v->isString())
        return v->string();
    return std::nullopt;
}

// Writes a field back only when it is set, so that what could not be read stays as it was.
void put(plist::Dict& d, const QString& key, const std::optional<QString>& value)
{
    if (value)
        d.set(key, *value);
}

// A switch or number written back in the type it was read in when its meaning did not
// change (the macOS edition may have written 1 for true).
void putBool(plist::Dict& d, const QString& key, bool value)
{
    const plist::Value* old = d.find(key);
    if (old && old->isNumber() && old->toBool() == value)
        return;
    d.set(key, value);
}

void putInt(plist::Dict& d, const QString& key, std::int64_t value)
{
    const plist::Value* old = d.find(key);
    if (old && (old->isInteger() || old->isUnsigned() || old->isReal()) && old->toInt() == value)
        return;
    d.set(key, value);
}

} // namespace

int conditionTag(std::int64_t storedTag)
{
    return int(storedTag & 0xFFFF);
}

ConditionKind conditionKindForTag(int tag)
{
    if (tag & findbits::Custom)
        return ConditionKind::CustomAttribute;
    if (tag & findbits::TextMask)
        return ConditionKind::Text;
    if (tag & findbits::Between)
        return ConditionKind::DateRange;
    return ConditionKind::SingleDate;
}

FindCondition FindCondition::fromValue(const plist::Value& value)
{
    FindCondition c;
    c.stored = value;
    if (!value.isDict())
        return c;
    const plist::Dict& d = value.dict();
    if (const plist::Value* tag = d.find(findkeys::Tag); tag && tag->isNumber())
        c.tag = conditionTag(tag->toInt());
    c.name = stringAt(d, findkeys::Name);
    c.date = stringAt(d, findkeys::Date);
    c.fromDate = stringAt(d, findkeys::FromDate);
    c.toDate = stringAt(d, findkeys::ToDate);
    c.customAttribute = stringAt(d, findkeys::CustomAttribute);
    c.customMatch = stringAt(d, findkeys::CustomMatch);
    if (const plist::Value* t = d.find(findkeys::CustomMatchType); t && t->isNumber())
        c.customMatchType = t->toInt();
    return c;
}

plist::Value FindCondition::toValue() const
{
    // Something that was never a condition record (an entry of a selected-items smart
    // folder, say) goes back unchanged.
    if (!stored.isNone() && !stored.isDict())
        return stored;
    plist::Dict d = stored.isDict() ? stored.dict() : plist::Dict{};
    const plist::Value* oldTag = d.find(findkeys::Tag);
    if (!(oldTag && oldTag->isNumber() && conditionTag(oldTag->toInt()) == tag))
        d.set(findkeys::Tag, std::int64_t(tag));
    put(d, findkeys::Name, name);
    put(d, findkeys::Date, date);
    put(d, findkeys::FromDate, fromDate);
    put(d, findkeys::ToDate, toDate);
    put(d, findkeys::CustomAttribute, customAttribute);
    put(d, findkeys::CustomMatch, customMatch);
    if (customMatchType)
        putInt(d, findkeys::CustomMatchType, *customMatchType);
    return plist::Value(std::move(d));
}

bool FindCriteria::anyContentsCondition() const
{
    for (const FindCondition& c : conditions)
        if (c.has(findbits::Contents) && c.kind() == ConditionKind::Text)
            return true;
    return false;
}

FindCriteria FindCriteria::fromValue(const plist::Value& value)
{
    FindCriteria f;
    if (!value.isDict()) {
        f.all = false;
        return f;
    }
    f.stored = value.dict();
    const plist::Dict& d = f.stored;
    if (const plist::Value* list = d.find(findkeys::Conditions); list && list->isArray()) {
        f.conditions.reserve(list->array().size());
        for (const plist::Value& c : list->array())
            f.conditions.push_back(FindCondition::fromValue(c));
    }
    // A missing switch is off, as the macOS edition reads it.
    const plist::Value* all = d.find(findkeys::All);
    f.all = all && all->toBool();
    const plist::Value* expand = d.find(findkeys::Expand);
    f.expand = expand && expand->toBool();
    if (const plist::Value* t = d.find(findkeys::Type); t && t->isNumber())
        f.type = t->toInt();
    f.smartFolderName = stringAt(d, findkeys::SmartFolderName).value_or(QString());
    return f;
}

plist::Dict FindCriteria::toDict() const
{
    plist::Dict d = stored;
    plist::Array list;
    list.reserve(conditions.size());
    for (const FindCondition& c : conditions)
        list.push_back(c.toValue());
    d.set(findkeys::Conditions, std::move(list));
    putBool(d, findkeys::All, all);
    putBool(d, findkeys::Expand, expand);
    putInt(d, findkeys::Type, type);
    d.set(findkeys::SmartFolderName, smartFolderName);
    return d;
}

QString conditionDateString(QDate day, bool european)
{
    return day.toString(DateFormats::forEuropean(european).displayFormat);
}

std::optional<QDate> parseConditionDate(const QString& text, bool european, QDate today)
{
    int month = 0, day = 0, year = 0;
    if (parseDate(text, month, day, year, european, false, DateTables::shared(), today) <= 0)
        return std::nullopt;
    const QDate d(year, month, day);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

} // namespace folivo
