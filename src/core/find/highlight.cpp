#include "find/highlight.h"

#include "store/indexitem.h"
#include "store/keys.h"

#include <algorithm>

namespace folivo {

std::vector<ContentsNeedle> contentsNeedles(const FindCriteria& criteria)
{
    std::vector<ContentsNeedle> needles;
    for (const FindCondition& c : criteria.conditions) {
        if (c.kind() != ConditionKind::Text || !c.has(findbits::Contents) || !c.name || c.name->isEmpty())
            continue;
        needles.push_back({*c.name, c.has(findbits::IgnoreCase)});
    }
    return needles;
}

std::vector<ContentsNeedle> contentsNeedlesForSmartFile(const IndexItem& smartFile)
{
    const IndexItem* folder = smartFile.parent();
    if (!smartFile.isSmartFile() || !folder || !folder->isSmartFolder())
        return {};
    // Type 0 (or none) keeps find criteria; tag and selected-items folders have no needles.
    if (const plist::Value* type = folder->value(keys::SmartFolderType); type && type->toInt(0) != 0)
        return {};
    const plist::Value* criteria = folder->value(keys::SmartFolder);
    return criteria ? contentsNeedles(FindCriteria::fromValue(*criteria)) : std::vector<ContentsNeedle>{};
}

std::vector<TextRange> contentsMatchRanges(QStringView text, const std::vector<ContentsNeedle>& needles)
{
    std::vector<TextRange> ranges;
    for (const ContentsNeedle& needle : needles) {
        const Qt::CaseSensitivity cs = needle.ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
        QStringList forms{needle.text.normalized(QString::NormalizationForm_C)};
        if (const QString d = needle.text.normalized(QString::NormalizationForm_D); d != forms.front())
            forms << d;
        for (const QString& form : forms) {
            if (form.isEmpty())
                continue;
            for (qsizetype at = text.indexOf(form, 0, cs); at >= 0; at = text.indexOf(form, at + form.size(), cs))
                ranges.push_back({at, form.size()});
        }
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const TextRange& a, const TextRange& b) { return a.start < b.start || (a.start == b.start && a.length > b.length); });
    std::vector<TextRange> joined;
    for (const TextRange& r : ranges) {
        if (!joined.empty() && r.start < joined.back().end()) {
            TextRange& last = joined.back();
            last.length = std::max(last.end(), r.end()) - last.start;
        } else {
            joined.push_back(r);
        }
    }
    return joined;
}

} // namespace folivo
