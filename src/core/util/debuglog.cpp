#include "util/debuglog.h"

#include <QMutex>

namespace folivo {

namespace {
QMutex gMutex;
QString gDebugInfo;
} // namespace

void appendDebugInfo(const QString& entry)
{
    QMutexLocker lock(&gMutex);
    gDebugInfo += entry;
}

QString debugInfo()
{
    QMutexLocker lock(&gMutex);
    return gDebugInfo;
}

} // namespace folivo
