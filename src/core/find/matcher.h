#pragma once
// The one test of an item against find criteria. The matcher itself is pure: whatever it
// needs beyond the item's own record (a stored file's text and modification day, how dates
// are read, the start date an item without one is given) it asks its context for, so the
// same rules serve the window, the command line, smart folders and tests.

#include "find/criteria.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringView>
#include <optional>

namespace folivo {

class IndexItem;

class MatchContext {
public:
    virtual ~MatchContext() = default;

    // The searchable text of the item's stored file (normalisation form C); nothing when it
    // has none or it cannot be read.
    virtual std::optional<QString> fileText(const IndexItem& item) = 0;
    // The day the item's stored file (plain or enciphered) was last modified.
    virtual std::optional<QDate> fileModificationDay(const IndexItem& item) = 0;
    // Whether condition dates are written day first ("EuropeanDates").
    virtual bool europeanDates() const = 0;
    // The day that gives dates written without a year their year.
    virtual QDate today() const { return QDate::currentDate(); }
    // Reads a condition's date. The default reads it with the one date parser, once per text.
    virtual std::optional<QDate> parseDate(const QString& text);
    // The start date of an item that has only an ending date: its own folder's rule.
    virtual QDate startDateForEndDate(const IndexItem& item, QDate end);
    // Asked before the text of a stored file is fetched for a contents condition: false when
    // the text surely does not hold the needle, so the file need not be read at all.
    virtual bool textMayContain(const IndexItem& item, const QString& needle, bool ignoreCase)
    {
        (void)item, (void)needle, (void)ignoreCase;
        return true;
    }

    // Normalisation form C of a needle or a name of the criteria, kept across items.
    const QString& normalized(const QString& text);

private:
    QHash<QString, std::optional<QDate>> dates_;
    bool datesEuropean_ = false;
    QHash<QString, QString> normalized_;
};

bool matches(const IndexItem& item, const FindCriteria& criteria, MatchContext& context);

// The leading number of a text, the way a custom attribute's value and match text are
// compared: white space skipped, then an optional sign, digits with an optional decimal point
// and exponent. "12abc" is 12, "abc" is 0. The same whatever the process's locale says.
double leadingNumber(QStringView text);

// Normalisation form C, skipping the work for text that has nothing to compose.
QString nfcText(const QString& text);

} // namespace folivo
