#include "store/months.h"

#include "filing/ktdate.h"

namespace folivo {

const std::array<QString, 12>& KTMonths::names()
{
    // The names come from the date vocabulary so that date folders and the date parser read
    // the same words. Folders must get twelve usable names whatever happens to that resource,
    // so a short or damaged list gives way to the English names.
    static const std::array<QString, 12> kNames = [] {
        std::array<QString, 12> names = {
            QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
            QStringLiteral("April"),   QStringLiteral("May"),      QStringLiteral("June"),
            QStringLiteral("July"),    QStringLiteral("August"),   QStringLiteral("September"),
            QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")};
        const QStringList& fromTables = DateTables::shared().months;
        if (fromTables.size() < 12)
            return names;
        for (int i = 0; i < 12; ++i)
            if (fromTables[i].isEmpty())
                return names;
        for (int i = 0; i < 12; ++i)
            names[std::size_t(i)] = fromTables[i];
        return names;
    }();
    return kNames;
}

int KTMonths::position(const QString& name)
{
    const auto& n = names();
    for (int i = 0; i < 12; ++i)
        if (n[std::size_t(i)] == name)
            return i;
    return -1;
}

const QString& KTMonths::nameOf(int month)
{
    return names()[std::size_t(month < 1 ? 0 : month > 12 ? 11 : month - 1)];
}

} // namespace folivo
