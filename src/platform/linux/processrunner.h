#pragma once
// How the desktop backend starts other programs. Tests put in one that records instead.

#include <QString>
#include <QStringList>

namespace folivo::platform {

class ProcessRunner {
public:
    virtual ~ProcessRunner();
    // Starts the program on its own with exactly these arguments (no shell reads them) and
    // does not wait for it. False when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};

// Starts programs for real, in the home folder: wherever this program was started, the other
// one should not hold that folder (a database's package, a removable disk) as its own.
class DetachedProcessRunner final : public ProcessRunner {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override;
};

} // namespace folivo::platform
