#include "platform/linux/processrunner.h"

#include <QDir>
#include <QProcess>

namespace folivo::platform {

ProcessRunner::~ProcessRunner() = default;

bool DetachedProcessRunner::startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments, QDir::homePath());
}

} // namespace folivo::platform
