#pragma once
// The in-memory diagnostic text of the run (`gDebugInfo`). Each entry starts with two
// line feeds; the debugging information includes the whole text.

#include <QString>

namespace folivo {

void appendDebugInfo(const QString& entry);
QString debugInfo();

} // namespace folivo
