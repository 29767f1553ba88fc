#pragma once
// The month names of date folders. One table serves creating, recognising and sorting
// month folders, so the three can never disagree.

#include <QString>
#include <array>

namespace folivo {

struct KTMonths {
    static const std::array<QString, 12>& names();
    // 0 for January … 11 for December; -1 for a name that is not a month.
    static int position(const QString& name);
    // month is 1…12.
    static const QString& nameOf(int month);
};

} // namespace folivo
