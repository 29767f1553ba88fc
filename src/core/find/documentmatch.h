#pragma once
// The match context of an open database: the text of its stored files, their modification
// days (plain or enciphered form), the application's date order and each folder's own rule
// for the start date of a file that has only an ending date.

#include "find/matcher.h"

namespace folivo {

class MyDocument;

class DocumentMatchContext : public MatchContext {
public:
    // The date order comes from the application's preferences ("EuropeanDates").
    explicit DocumentMatchContext(MyDocument& doc);
    DocumentMatchContext(MyDocument& doc, bool european);

    std::optional<QString> fileText(const IndexItem& item) override;
    // The database's text cache knows, for files it has read before, what they hold.
    bool textMayContain(const IndexItem& item, const QString& needle, bool ignoreCase) override;
    std::optional<QDate> fileModificationDay(const IndexItem& item) override;
    bool europeanDates() const override { return european_; }

    static bool europeanDatesOf(const MyDocument& doc);

private:
    MyDocument& doc_;
    bool european_;
};

} // namespace folivo
