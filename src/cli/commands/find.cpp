// find DB CONDITIONS: the items that meet conditions of the Find dialog, in the browser's
// order, one path a line or as JSON.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "attributes/tags.h"
#include "filing/filedates.h"
#include "find/criteria.h"
#include "find/documentmatch.h"
#include "store/mydocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace folivo::cli {
namespace {

using namespace findbits;

const char* kindName(const IndexItem& item)
{
    switch (item.kind()) {
    case ItemKind::Folder: return "folder";
    case ItemKind::DateFolder: return "date folder";
    case ItemKind::SmartFolder: return "smart folder";
    case ItemKind::SmartFile: return "smart file";
    case ItemKind::File: return "file";
    }
    return "file";
}

std::optional<int> matchTypeOf(const QString& op)
{
    static const QStringList ops{"contains", "icontains", "=", ">", "<"};
    const qsizetype i = ops.indexOf(op);
    return i < 0 ? std::nullopt : std::optional<int>(int(i));
}

class FindCommand : public DatabaseCommand {
public:
    FindCommand()
        : DatabaseCommand(
              {"find",
               UsageGroup::Reading,
               60,
               {{"find DB CONDITION...",
                 {"print the items that meet every condition (--any: one), one path a line,",
                  "in the browser's order; exit 1 when none does"}}},
               1,
               {"--from", "--to", "--european"},
               {{"--name", 1, "--name TEXT", {"the name (without its extension) contains TEXT"}},
                {"--path", 1, "--path TEXT", {"the path inside the database contains TEXT"}},
                {"--notes", 1, "--notes TEXT", {"the notes contain TEXT"}},
                {"--contents", 1, "--contents TEXT", {"the stored file's text contains TEXT"}},
                {"--tag", 1, "--tag TEXT", {"a tag contains TEXT"}},
                {"--attr", 3, "--attr NAME OP VALUE",
                 {"the custom attribute NAME: OP is contains, icontains, =, > or <", "(numbers for the last three)"}},
                {"--any", 0, "--any", {"an item needs to meet one condition only"}},
                {"--ignore-case", 0, "--ignore-case", {"text conditions ignore case"}},
                {"--json", 0, "--json", {"print an array of {path, kind, startDate, endDate, tags}"}},
                {"--from", 0, "--from DATE, --to DATE",
                 {"the item's dates lie within DATE to DATE; one alone: starting on or",
                  "after --from, ending on or before --to (--european: day first)"}}}},
              Access::Reading)
    {
    }

    QString checkUsage(const Invocation& call) const override
    {
        FindCriteria criteria;
        return build(call, criteria);
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        FindCriteria criteria;
        build(call, criteria);
        const bool european = call.options.european;
        DocumentMatchContext context(doc, european);
        bool json = false;
        for (const auto& [name, values] : call.options.own)
            json = json || name == QLatin1String("--json");

        doc.tree().rebuildCategoriesFlatArrayIfNeeded();
        QString lines;
        QJsonArray array;
        for (const IndexItem* item : doc.tree().flatArray()) {
            if (!matches(*item, criteria, context))
                continue;
            if (!json) {
                lines += item->path() + '\n';
                continue;
            }
            const auto start = itemStartDate(*item), end = itemEndDate(*item);
            QJsonObject o{{"path", item->path()},
                          {"kind", QString::fromLatin1(kindName(*item))},
                          {"startDate", start ? QJsonValue(isoDay(start)) : QJsonValue()},
                          {"endDate", end ? QJsonValue(isoDay(end)) : QJsonValue()},
                          {"tags", QJsonArray::fromStringList(tagsOf(*item))}};
            array.append(o);
        }
        if (json)
            call.console.out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
        else
            call.console.out(lines);
        return (json ? array.isEmpty() : lines.isEmpty()) ? 1 : 0;
    }

private:
    // The criteria the options describe; a usage error's message, or empty.
    static QString build(const Invocation& call, FindCriteria& criteria)
    {
        criteria.type = int(FindType::SelectAll);
        bool ignoreCase = false;
        for (const auto& [name, values] : call.options.own) {
            if (name == QLatin1String("--any"))
                criteria.all = false;
            else if (name == QLatin1String("--ignore-case"))
                ignoreCase = true;
        }
        const int caseBit = ignoreCase ? IgnoreCase : 0;
        for (const auto& [name, values] : call.options.own) {
            static const QList<std::pair<QString, int>> textOptions{
                {"--name", Name | Contains}, {"--path", Path | Contains},     {"--notes", Notes | Contains},
                {"--contents", Contents | Contains}, {"--tag", Tags | Contains}};
            for (const auto& [option, tag] : textOptions)
                if (name == option) {
                    if (values.first().isEmpty())
                        return QStringLiteral("%1 needs a text to look for.").arg(name);
                    FindCondition c;
                    c.tag = tag | caseBit;
                    c.name = values.first();
                    criteria.conditions.push_back(c);
                }
            if (name == QLatin1String("--attr")) {
                const std::optional<int> type = matchTypeOf(values[1]);
                if (!type)
                    return QStringLiteral("--attr takes contains, icontains, =, > or <, not \"%1\".").arg(values[1]);
                if (values[0].isEmpty() || values[2].isEmpty())
                    return QStringLiteral("--attr needs an attribute name and a value.");
                FindCondition c;
                c.tag = Custom;
                c.customAttribute = values[0];
                c.customMatchType = ignoreCase && *type == 0 ? 1 : *type;
                c.customMatch = values[2];
                criteria.conditions.push_back(c);
            }
        }
        const bool european = call.options.european;
        std::optional<QDate> from, to;
        for (const auto& [option, text, day] :
             {std::tuple{QStringLiteral("--from"), call.options.from, &from},
              std::tuple{QStringLiteral("--to"), call.options.to, &to}}) {
            if (!text)
                continue;
            *day = parseConditionDate(text->trimmed(), european);
            if (!*day)
                return QStringLiteral("%1 needs a date, not \"%2\".").arg(option, *text);
        }
        if (from || to) {
            FindCondition c;
            if (from && to) {
                if (*from > *to)
                    return QStringLiteral("--from must be on or before --to.");
                c.tag = ItemDates | Between;
                c.fromDate = conditionDateString(*from, european);
                c.toDate = conditionDateString(*to, european);
            } else {
                c.tag = ItemDates | (from ? OnOrAfter : OnOrBefore);
                c.date = conditionDateString(from ? *from : *to, european);
            }
            criteria.conditions.push_back(c);
        }
        if (criteria.conditions.empty())
            return QStringLiteral("find needs at least one condition.");
        return {};
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(FindCommand);
} // namespace folivo::cli
