#include "find/matcher.h"

#include "filing/filedates.h"
#include "filing/filingrules.h"
#include "store/indexitem.h"
#include "store/keys.h"

#include <charconv>
#include <limits>
#include <string>

namespace folivo {

namespace {

using namespace findbits;

enum class Outcome { False, True, NotTested };

bool hasBits(int tag, int bits)
{
    return (tag & bits) != 0;
}

std::optional<QString> stringKey(const IndexItem& item, const QString& key)
{
    const plist::Value* v = item.value(key);
    if (v && v->isString())
        return v->string();
    return std::nullopt;
}

// The last component of a path without its extension, as a view into the path.
QStringView nameWithoutExtension(QStringView path)
{
    const QStringView last = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = last.lastIndexOf(u'.');
    // A leading dot starts no extension; a trailing dot ends an empty one, which is none.
    if (dot <= 0 || dot == last.size() - 1)
        return last;
    return last.left(dot);
}

bool needsComposing(QStringView text)
{
    for (QChar ch : text)
        if (ch.unicode() >= 0x300)
            return true;
    return false;
}

// The search of a text condition on one text.
bool textMatches(QStringView text, const QString& needle, int tag)
{
    if (needle.isEmpty())
        return false;
    const Qt::CaseSensitivity cs = hasBits(tag, IgnoreCase) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (hasBits(tag, Is))
        return text.compare(needle, cs) == 0;
    // Anchored at the end wins over anchored at the start, as an anchored backward search does.
    if (hasBits(tag, EndsWith))
        return text.endsWith(needle, cs);
    if (hasBits(tag, BeginsWith))
        return text.startsWith(needle, cs);
    return text.contains(needle, cs);
}

bool textCondition(const IndexItem& item, const FindCondition& c, MatchContext& ctx)
{
    if (!c.name || c.name->isEmpty())
        return false;
    const QString& needle = ctx.normalized(*c.name);
    const int tag = c.tag;

    if (hasBits(tag, Tags)) {
        const plist::Value* tags = item.value(keys::Tags);
        if (!tags || !tags->isArray())
            return false;
        const Qt::CaseSensitivity cs = hasBits(tag, IgnoreCase) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        for (const plist::Value& t : tags->array())
            if (t.isString() && nfcText(t.string()).contains(needle, cs))
                return true;
        return false;
    }

    std::optional<QString> text = item.path();
    if (hasBits(tag, Contents)) {
        if (!ctx.textMayContain(item, needle, hasBits(tag, IgnoreCase)))
            return false;
        text = ctx.fileText(item);
    } else if (hasBits(tag, Notes)) {
        text = stringKey(item, keys::Notes);
    }
    if (!text)
        return false;
    const QStringView subject = hasBits(tag, Name) ? nameWithoutExtension(*text) : QStringView(*text);
    if (needsComposing(subject))
        return textMatches(subject.toString().normalized(QString::NormalizationForm_C), needle, tag);
    return textMatches(subject, needle, tag);
}

bool customCondition(const IndexItem& item, const FindCondition& c, MatchContext& ctx)
{
    if (!c.customAttribute || !c.customMatch || c.customMatch->isEmpty() || !c.customMatchType)
        return false;
    const std::int64_t type = *c.customMatchType;
    if (type < 0 || type > 4)
        return false;
    const plist::Value* list = item.value(keys::CustomAttributes);
    if (!list || !list->isArray())
        return false;
    const QString& attribute = ctx.normalized(*c.customAttribute);
    const QString& match = ctx.normalized(*c.customMatch);
    const double matchNumber = leadingNumber(match);
    for (const plist::Value& entry : list->array()) {
        if (!entry.isDict())
            continue;
        const plist::Value* a = entry.dict().find(QStringLiteral("Attribute"));
        const plist::Value* v = entry.dict().find(QStringLiteral("Value"));
        if (!a || !a->isString() || !v || !v->isString() || nfcText(a->string()) != attribute)
            continue;
        const QString value = nfcText(v->string());
        bool ok = false;
        switch (CustomMatchType(type)) {
        case CustomMatchType::Contains:
            ok = value.contains(match, Qt::CaseSensitive);
            break;
        case CustomMatchType::ContainsIgnoringCase:
            ok = value.contains(match, Qt::CaseInsensitive);
            break;
        case CustomMatchType::EqualNumber:
            ok = leadingNumber(value) == matchNumber;
            break;
        case CustomMatchType::GreaterNumber:
            ok = leadingNumber(value) > matchNumber;
            break;
        case CustomMatchType::LessNumber:
            ok = leadingNumber(value) < matchNumber;
            break;
        }
        if (ok)
            return true;
    }
    return false;
}

std::optional<QDate> conditionDate(const std::optional<QString>& text, MatchContext& ctx)
{
    if (!text)
        return std::nullopt;
    return ctx.parseDate(*text);
}

Outcome dateCondition(const IndexItem& item, const FindCondition& c, MatchContext& ctx)
{
    const int tag = c.tag;
    const bool itemDates = hasBits(tag, ItemDates);
    const bool fileDate = !itemDates && hasBits(tag, FileDate);
    // A folder has no stored file of its own: it is judged on its other conditions.
    if (fileDate && item.hasChildren())
        return Outcome::NotTested;

    // The condition's own dates first: a condition whose dates are missing or unreadable
    // matches nothing, whatever the item holds.
    std::optional<QDate> from, to, on;
    if (hasBits(tag, Between)) {
        from = conditionDate(c.fromDate, ctx);
        to = conditionDate(c.toDate, ctx);
        if (!from || !to)
            return Outcome::False;
    } else {
        on = conditionDate(c.date, ctx);
        if (!on)
            return Outcome::False;
    }

    std::optional<QDate> s, e, f;
    if (itemDates) {
        s = itemStartDate(item);
        e = itemEndDate(item);
        if (s && !e)
            e = defaultEndDateForStartDate(*s);
        else if (e && !s)
            s = ctx.startDateForEndDate(item, *e);
    } else if (fileDate) {
        f = ctx.fileModificationDay(item);
        if (!f)
            return Outcome::False;
    }

    auto result = [](bool b) { return b ? Outcome::True : Outcome::False; };
    if (hasBits(tag, Between)) {
        if (fileDate)
            return result(*from <= *f && *f <= *to);
        if (!s || !e)
            return Outcome::False;
        return result(*from <= *s && *e <= *to);
    }
    const QDate d = *on;
    if (fileDate)
        return result((hasBits(tag, OnOrAfter) && *f >= d) || (hasBits(tag, OnOrBefore) && *f <= d)
                      || (hasBits(tag, Is) && *f == d));
    if (itemDates)
        return result((hasBits(tag, OnOrBefore) && e && *e <= d) || (hasBits(tag, OnOrAfter) && s && *s >= d)
                      || (hasBits(tag, Contains) && s && e && *s <= d && d <= *e));
    return Outcome::False;
}

Outcome conditionOutcome(const IndexItem& item, const FindCondition& c, MatchContext& ctx)
{
    switch (c.kind()) {
    case ConditionKind::CustomAttribute:
        return customCondition(item, c, ctx) ? Outcome::True : Outcome::False;
    case ConditionKind::Text:
        return textCondition(item, c, ctx) ? Outcome::True : Outcome::False;
    case ConditionKind::DateRange:
    case ConditionKind::SingleDate:
        return dateCondition(item, c, ctx);
    }
    return Outcome::False;
}

} // namespace

std::optional<QDate> MatchContext::parseDate(const QString& text)
{
    const bool european = europeanDates();
    if (european != datesEuropean_) {
        dates_.clear();
        datesEuropean_ = european;
    }
    auto it = dates_.constFind(text);
    if (it != dates_.constEnd())
        return *it;
    const std::optional<QDate> day = parseConditionDate(text, european, today());
    dates_.insert(text, day);
    return day;
}

QDate MatchContext::startDateForEndDate(const IndexItem& item, QDate end)
{
    return defaultStartDateForEndDate(end, item.parent());
}

const QString& MatchContext::normalized(const QString& text)
{
    auto it = normalized_.find(text);
    if (it == normalized_.end())
        it = normalized_.insert(text, nfcText(text));
    return *it;
}

bool matches(const IndexItem& item, const FindCriteria& criteria, MatchContext& context)
{
    bool result = false;
    for (const FindCondition& c : criteria.conditions) {
        const Outcome o = conditionOutcome(item, c, context);
        if (o == Outcome::NotTested)
            continue;
        result = o == Outcome::True;
        if (result != criteria.all)
            return result;
    }
    return result;
}

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    std::string s;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            s.push_back('-');
        ++i;
    }
    auto digit = [&](qsizetype at) { return at < n && text[at] >= u'0' && text[at] <= u'9'; };
    bool digits = false;
    while (digit(i)) {
        s.push_back(char(text[i++].unicode()));
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        const qsizetype dot = i++;
        bool fraction = false;
        std::string part = ".";
        while (digit(i)) {
            part.push_back(char(text[i++].unicode()));
            fraction = true;
        }
        if (fraction || digits)
            s += part;
        else
            i = dot;
        digits = digits || fraction;
    }
    if (!digits)
        return 0.0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exp = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exp.push_back(char(text[j++].unicode()));
        if (digit(j)) {
            while (digit(j))
                exp.push_back(char(text[j++].unicode()));
            s += exp;
        }
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the sign of infinity, or zero.
        const bool negative = s.front() == '-';
        const auto e = s.find('e');
        const bool tiny = e != std::string::npos && s.find('-', e) != std::string::npos;
        return tiny ? (negative ? -0.0 : 0.0)
                    : (negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity());
    }
    return value;
}

QString nfcText(const QString& text)
{
    return needsComposing(text) ? text.normalized(QString::NormalizationForm_C) : text;
}

} // namespace folivo
