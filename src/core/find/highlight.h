#pragma once
// Where the text of a shown file holds what the contents conditions of a search look for,
// so that the viewer can mark every place at once.

#include "find/criteria.h"

#include <QString>
#include <QStringView>
#include <vector>

namespace folivo {

class IndexItem;

// What one contents condition looks for.
struct ContentsNeedle {
    QString text;
    bool ignoreCase = false;
    bool operator==(const ContentsNeedle&) const = default;
};

// The needles of the criteria's contents conditions, in their order; a condition with an
// empty needle gives none (there is nothing to mark, and a search for it would not advance).
std::vector<ContentsNeedle> contentsNeedles(const FindCriteria& criteria);

// A smart file of a condition smart folder shows why it is in the folder: the needles of the
// folder's contents conditions. None for any other item.
std::vector<ContentsNeedle> contentsNeedlesForSmartFile(const IndexItem& smartFile);

struct TextRange {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const TextRange&) const = default;
};

// Every non-overlapping occurrence of each needle in `text`, from start to end, ignoring case
// where the condition does. A needle is looked for composed and decomposed, so text written
// either way is marked. The ranges of several needles are sorted, and ranges that overlap
// are joined into one.
std::vector<TextRange> contentsMatchRanges(QStringView text, const std::vector<ContentsNeedle>& needles);
inline std::vector<TextRange> contentsMatchRanges(QStringView text, const FindCriteria& criteria)
{
    return contentsMatchRanges(text, contentsNeedles(criteria));
}

} // namespace folivo
