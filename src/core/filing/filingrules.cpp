#include "filing/filingrules.h"

#include "filing/messages.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/tree.h"

namespace folivo {

namespace {

QString stringKey(const IndexItem& item, const QString& key)
{
    const plist::Value* v = item.value(key);
    return v && v->isString() ? v->string() : QString();
}

bool isLetterOrDigit(QChar c)
{
    return c.isLetterOrNumber();
}

// A name without its extension. An extension of digits only is part of a date written
// with dots ("Visa+1.5.24"), not a kind of file, so it stays.
QString withoutExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return name;
    const QStringView ext = QStringView(name).mid(dot + 1);
    bool digitsOnly = !ext.isEmpty();
    for (QChar c : ext)
        digitsOnly = digitsOnly && c.isDigit();
    return digitsOnly ? name : name.left(dot);
}

// A date of a name part, read whole.
std::optional<QDate> readWholeDate(QStringView text, bool european, QDate today)
{
    int m = 0, d = 0, y = 0;
    if (parseDate(text, m, d, y, european, false, DateTables::shared(), today) <= 0)
        return std::nullopt;
    return KTDate::dayWithYearMonthDay(y, m, d);
}

// Reads "%d" the way a scanner does: white space skipped, an optional sign, digits.
bool scanInt(QStringView s, qsizetype& pos, int& out)
{
    qsizetype p = pos;
    while (p < s.size() && s[p].isSpace())
        ++p;
    bool negative = false;
    if (p < s.size() && (s[p] == QLatin1Char('+') || s[p] == QLatin1Char('-'))) {
        negative = s[p] == QLatin1Char('-');
        ++p;
    }
    const qsizetype digits = p;
    qint64 v = 0;
    while (p < s.size() && s[p] >= QLatin1Char('0') && s[p] <= QLatin1Char('9')) {
        v = v * 10 + (s[p].unicode() - '0');
        if (v > 1000000000)
            return false;
        ++p;
    }
    if (p == digits)
        return false;
    out = int(negative ? -v : v);
    pos = p;
    return true;
}

} // namespace

FilingPreferences FilingPreferences::from(const KTPrefs* prefs)
{
    FilingPreferences f;
    if (!prefs)
        return f;
    if (const plist::Value* v = prefs->objectForKey(prefkeys::AutofilePriorities); v && v->isArray()) {
        QStringList list;
        for (const plist::Value& e : v->array())
            if (e.isString())
                list << e.string();
        // The list always names the four rules; anything else keeps the default order.
        if (list.size() >= 4)
            f.priorities = list.mid(0, 4);
    }
    f.matchType = int(std::clamp<qint64>(prefs->integerForKey(prefkeys::MatchType), 0, 3));
    f.ignoreCase = prefs->boolForKey(prefkeys::IgnoreCase);
    f.ignoreDateAtBeginning = prefs->boolForKey(prefkeys::IgnoreDateAtBeginning);
    f.europeanDates = prefs->boolForKey(prefkeys::EuropeanDates);
    return f;
}

bool folderMatches(const IndexItem& item, QStringView text, qsizetype location, qsizetype length, bool wholeWord,
                   bool ignoreCase)
{
    // This runs for every folder of the tree for each file: the name is looked at in place
    // and the cheap tests come first; what kind of item it is (a search of its keys) last.
    if (text.isEmpty() || !item.hasChildren())
        return false;
    const QStringView path(item.path());
    const QStringView name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if ((length >= 0 && name.size() != length) || name.size() < text.size())
        return false;
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (location == 0 && !wholeWord)
        return name.startsWith(text, cs) && item.isPlainFolder();
    const qsizetype at = name.indexOf(text, 0, cs);
    if (at < 0)
        return false;
    if (location >= 0 && at != location)
        return false;
    if (length >= 0 && name.size() != length)
        return false;
    if (wholeWord) {
        if (at > 0 && isLetterOrDigit(name[at - 1]))
            return false;
        const qsizetype after = at + text.size();
        if (after < name.size() && isLetterOrDigit(name[after]))
            return false;
    }
    return item.isPlainFolder();
}

IndexItem* matchCategory(QStringView text, const ItemList& items, int matchType, bool ignoreCase)
{
    const qsizetype location = matchType <= 1 ? 0 : -1;
    const qsizetype length = matchType == 0 ? text.size() : -1;
    const bool wholeWord = matchType == 3;
    for (const auto& item : items)
        if (folderMatches(*item, text, location, length, wholeWord, ignoreCase))
            return item.get();
    for (const auto& item : items)
        if (item->hasChildren() && !item->isDateFolder())
            if (IndexItem* found = matchCategory(text, item->children(), matchType, ignoreCase))
                return found;
    return nullptr;
}

namespace {
void findCategoryMatch(QStringView text, const ItemList& items, IndexItem*& best, qsizetype& bestAt)
{
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        IndexItem* item = it->get();
        if (!item->hasChildren() || item->isDateFolder())
            continue;
        const QString match = stringKey(*item, filingkeys::CategoryMatch);
        if (!match.isEmpty()) {
            const qsizetype at = text.indexOf(match);
            if (at >= 0 && (!best || at < bestAt)) {
                best = item;
                bestAt = at;
            }
        }
        findCategoryMatch(text, item->children(), best, bestAt);
    }
}
} // namespace

CategoryMatchIndex::CategoryMatchIndex(const ItemList& items)
{
    // The folders in the order the walk visits them: later siblings first, a folder before
    // its children. On equal positions the first visited wins.
    std::function<void(const ItemList&)> visit = [&](const ItemList& list) {
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            IndexItem* item = it->get();
            if (!item->hasChildren() || item->isDateFolder())
                continue;
            const QString match = stringKey(*item, filingkeys::CategoryMatch);
            if (!match.isEmpty())
                strings_.push_back({match, item});
            visit(item->children());
        }
    };
    visit(items);
    for (std::size_t i = 0; i < strings_.size(); ++i) {
        auto& table = byLength_[strings_[i].first.size()];
        const QStringView key(strings_[i].first);
        if (!table.contains(key))
            table.insert(key, int(i));
    }
    for (auto it = byLength_.cbegin(); it != byLength_.cend(); ++it)
        lengths_ << it.key();
}

IndexItem* CategoryMatchIndex::find(QStringView text, qsizetype* location) const
{
    // One pass over the text: at each position, every length of match string is looked up.
    // The first position with any match decides; among matches there, the first visited.
    if (location)
        *location = -1;
    for (qsizetype at = 0; at < text.size(); ++at) {
        int best = -1;
        for (qsizetype len : lengths_) {
            if (at + len > text.size())
                break;
            const auto& table = byLength_[len];
            const auto hit = table.constFind(text.mid(at, len));
            if (hit != table.cend() && (best < 0 || *hit < best))
                best = *hit;
        }
        if (best >= 0) {
            if (location)
                *location = at;
            return strings_[std::size_t(best)].second;
        }
    }
    return nullptr;
}

IndexItem* findCategoryMatchIn(QStringView text, const ItemList& items, qsizetype* location)
{
    IndexItem* best = nullptr;
    qsizetype bestAt = -1;
    findCategoryMatch(text, items, best, bestAt);
    if (location)
        *location = bestAt;
    return best;
}

std::optional<DateFound> dateMatchFoundIn(QStringView text, QStringView phrase, bool european, QDate today)
{
    if (phrase.isEmpty())
        return std::nullopt;
    const qsizetype at = text.indexOf(phrase);
    if (at < 0)
        return std::nullopt;
    const qsizetype from = at + phrase.size();
    // Every start position is tried on the same window of the text: no copy of the rest of
    // a long document per position. A date is far shorter than the margin past the last start.
    constexpr qsizetype Starts = 200;
    constexpr qsizetype Margin = 128;
    const QStringView window = text.mid(from, std::min<qsizetype>(text.size() - from, Starts + Margin));
    const DateTables& tables = DateTables::shared();
    for (qsizetype p = 0; p < Starts && p < window.size(); ++p) {
        // The phrase's own last character counts too: a date never begins inside a number.
        if (!dateMayStartAt(text, from + p))
            continue;
        int m = 0, d = 0, y = 0;
        const QStringView rest = window.mid(p);
        const int n = parseDate(rest, m, d, y, european, true, tables, today);
        if (n > 0) {
            qsizetype skipped = 0;
            while (skipped < rest.size() && rest[skipped].isSpace())
                ++skipped;
            return DateFound{KTDate::dayWithYearMonthDay(y, m, d), from + p + skipped + n};
        }
    }
    return std::nullopt;
}

std::optional<DateSpan> parseQuarterYearFromString(QStringView text, QDate today)
{
    // The forms, each of which must take the whole text: q%d, Q%d, %dq, %dQ, %dq%d, %dQ%d.
    int quarter = 0, year = 0;
    bool read = false;
    const auto isQ = [](QChar c) { return c == QLatin1Char('q') || c == QLatin1Char('Q'); };
    if (!text.isEmpty() && isQ(text[0])) {
        qsizetype pos = 1;
        int q = 0;
        if (scanInt(text, pos, q) && pos == text.size()) {
            quarter = q;
            read = true;
        }
    }
    if (!read) {
        qsizetype pos = 0;
        int first = 0;
        if (scanInt(text, pos, first) && pos < text.size() && isQ(text[pos])) {
            ++pos;
            if (pos == text.size()) {
                quarter = first;
                read = true;
            } else {
                int second = 0;
                if (scanInt(text, pos, second) && pos == text.size()) {
                    year = first;
                    quarter = second;
                    read = true;
                }
            }
        }
    }
    if (!read)
        return std::nullopt;
    if (quarter < 1 || quarter > 4) {
        if (year < 1 || year > 4)
            return std::nullopt;
        if (quarter > 4)
            std::swap(quarter, year);
    }
    if (quarter < 1 || quarter > 4)
        return std::nullopt;
    if (year == 0) {
        year = today.year();
        if (today.month() < 3 * quarter)
            --year;
    } else if (year >= 0 && year <= 99) {
        // The same pivot as typed dates: 74 and later are the last century.
        year += year < 74 ? 2000 : 1900;
    }
    if (year < 1000 || year > 9999)
        return std::nullopt;
    const int firstMonth = 3 * quarter - 2;
    const QDate start(year, firstMonth, 1);
    const QDate end = QDate(year, 3 * quarter, 1).addMonths(1).addDays(-1);
    return DateSpan{start, end};
}

QDate defaultStartDateForEndDate(QDate end, const IndexItem* reminderFolder)
{
    int months = 1;
    if (reminderFolder) {
        if (const plist::Value* r = reminderFolder->value(keys::Reminder); r && r->isDict()) {
            if (const plist::Value* when = r->dict().find(QStringLiteral("when")); when && when->isInteger()) {
                switch (when->intValue()) {
                case 2:
                case 3:
                    months = 2;
                    break;
                case 4:
                    months = 3;
                    break;
                case 5:
                    months = 12;
                    break;
                default:
                    break;
                }
            }
        }
    }
    return end.addMonths(-months).addDays(1);
}

QDate defaultEndDateForStartDate(QDate start)
{
    return start;
}

FilingDecision fileOne(const IndexTree& tree, const FilingInput& input, const FilingPreferences& prefs)
{
    FilingDecision out;
    out.folder = input.target;
    // Dates from the name, split at "+".
    const QString stem = withoutExtension(input.fileName);
    const QStringList parts = stem.split(QLatin1Char('+'));
    const auto endOrQuarter = [&](QStringView part) -> bool {
        if (auto end = readWholeDate(part, prefs.europeanDates, input.today)) {
            out.end = end;
            out.start = std::nullopt; // filled by the defaults once the folder is known
            return true;
        }
        if (auto q = parseQuarterYearFromString(part, input.today)) {
            out.start = q->start;
            out.end = q->end;
            return true;
        }
        return false;
    };
    if (parts.size() == 1) {
        if (!prefs.ignoreDateAtBeginning)
            out.end = readWholeDate(parts[0], prefs.europeanDates, input.today);
    } else if (parts.size() == 2) {
        out.datedName = endOrQuarter(parts[1]);
    } else if (parts.size() == 3) {
        if (auto start = readWholeDate(parts[1], prefs.europeanDates, input.today)) {
            if (endOrQuarter(parts[2])) {
                if (!out.start)
                    out.start = start; // a date, not a quarter: the name's own start
            } else {
                out.start = start;
            }
            out.datedName = true;
        }
    }

    std::optional<std::optional<QString>> text; // read once, when something needs it
    const auto fileText = [&]() -> const std::optional<QString>& {
        if (!text)
            text = input.text ? input.text() : std::nullopt;
        return *text;
    };

    // The folder, by the rules in the person's order.
    if (!input.ignoreUserSelection) {
        for (const QString& rule : prefs.priorities.mid(0, 4)) {
            IndexItem* chosen = nullptr;
            if (rule == filingrule::BrowserSelection) {
                if (input.target && input.target->path() != pkg::Unfiled)
                    chosen = input.target;
            } else if (rule == filingrule::FilenameMatch) {
                chosen = matchCategory(parts.value(0), tree.categoriesArray(), prefs.matchType, prefs.ignoreCase);
            } else if (rule == filingrule::TextMatch) {
                if (const auto& t = fileText())
                    chosen = input.matchIndex ? input.matchIndex->find(*t)
                                              : findCategoryMatchIn(*t, tree.categoriesArray());
            } else if (rule == filingrule::SelectedReminder) {
                if (input.selectedReminder && !input.selectedReminder->has(keys::ReminderChecked)) {
                    chosen = input.selectedReminder;
                    out.reminderChosen = true;
                }
            }
            if (chosen) {
                out.folder = chosen;
                out.rule = rule;
                break;
            }
        }
    }

    // Dates from the folder's phrases: when the name gave none, or when the name is not a
    // dated name and the folder has phrases (they may replace a lone date of the name).
    if (out.folder) {
        const QString s = stringKey(*out.folder, filingkeys::StartingDateMatch);
        const QString e = stringKey(*out.folder, filingkeys::EndingDateMatch);
        const bool noDates = !out.start && !out.end;
        if ((!s.isEmpty() || !e.isEmpty()) && (noDates || !out.datedName)) {
            if (const auto& t = fileText()) {
                const bool european = out.folder->flag(filingkeys::EuropeanDates);
                QStringView rest(*t);
                if (!s.isEmpty())
                    if (auto found = dateMatchFoundIn(rest, s, european, input.today)) {
                        out.start = found->date;
                        rest = rest.mid(found->end);
                        out.datesFromText = true;
                    }
                if (!e.isEmpty())
                    if (auto found = dateMatchFoundIn(rest, e, european, input.today)) {
                        out.end = found->date;
                        out.datesFromText = true;
                    }
            }
        }
    }

    // Defaults: a lone date stands for both ends of a span.
    if (out.start && !out.end)
        out.end = defaultEndDateForStartDate(*out.start);
    else if (out.end && !out.start)
        out.start = defaultStartDateForEndDate(*out.end, out.folder);
    return out;
}

DateCheck checkDatesFrom(const QString& from, const std::optional<QString>& to, bool warnAboutMissingDates,
                         bool european, QDate today)
{
    DateCheck c;
    const DateFormats formats = DateFormats::forEuropean(european);
    const auto show = [&](const std::optional<QDate>& d) {
        return d ? QLocale::c().toString(*d, formats.displayFormat) : QString();
    };
    const auto quarterFill = [&](const DateSpan& q) {
        c.start = q.start;
        c.end = q.end;
        c.fromText = show(c.start);
        c.toText = show(c.end);
        c.ok = c.warning.isEmpty();
        return c;
    };
    // One field: a date, a quarter, empty, or an error.
    enum class Read { Date, Quarter, Empty, Invalid };
    const auto readField = [&](const QString& text, std::optional<QDate>& into, std::optional<DateSpan>& quarter) {
        if (text.isEmpty()) {
            into = std::nullopt;
            return Read::Empty;
        }
        if (auto d = readWholeDate(text, european, today)) {
            into = d;
            return Read::Date;
        }
        if ((quarter = parseQuarterYearFromString(text, today)))
            return Read::Quarter;
        return Read::Invalid;
    };

    std::optional<DateSpan> quarter;
    switch (readField(from, c.start, quarter)) {
    case Read::Date:
        c.fromText = show(c.start);
        break;
    case Read::Quarter:
        return quarterFill(*quarter);
    case Read::Invalid:
        c.warning = filingmsg::InvalidDate.arg(from);
        return c;
    case Read::Empty:
        if (warnAboutMissingDates)
            c.warning = filingmsg::MissingDate;
        break;
    }
    if (to) {
        switch (readField(*to, c.end, quarter)) {
        case Read::Date:
            c.toText = show(c.end);
            break;
        case Read::Quarter:
            return quarterFill(*quarter);
        case Read::Invalid:
            c.warning = filingmsg::InvalidDate.arg(*to);
            return c;
        case Read::Empty:
            if (warnAboutMissingDates)
                c.warning = filingmsg::MissingDate;
            break;
        }
    }
    if (c.start && c.end && *c.start > *c.end) {
        c.warning = filingmsg::StartAfterEnd;
        return c;
    }
    c.ok = c.warning.isEmpty();
    return c;
}

} // namespace folivo
