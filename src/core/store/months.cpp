#include "store/months.h"

namespace folivo {

const std::array<QString, 12>& KTMonths::names()
{
    static const std::array<QString, 12> kNames = {
        QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
        QStringLiteral("April"),   QStringLiteral("May"),      QStringLiteral("June"),
        QStringLiteral("July"),    QStringLiteral("August"),   QStringLiteral("September"),
        QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")};
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
