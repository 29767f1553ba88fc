#pragma once
// The run log: what Qt and Folivo say while running (warnings, criticals, debug lines),
// written to "Folivo-run.log" beside the disk-error log Folivo.log, so that the debugging
// information can hold the end of it. When the file reaches its size limit it becomes
// "Folivo-run.log.1" (replacing the older one) and a new file begins.
//
// Secrets never reach it: nothing in Folivo logs a password, a user ID or the plain text
// of an encrypted database, and the handler adds nothing of its own but time and kind.

#include <QString>
#include <QtGlobal>

namespace folivo {

class RunLog {
public:
    static inline const QString FileName = QStringLiteral("Folivo-run.log");
    static constexpr qint64 kDefaultLimit = 1024 * 1024;

    explicit RunLog(QString path, qint64 limit = kDefaultLimit);
    const QString& path() const { return path_; }

    // Appends one line (the time, the kind and the message); a full file is rotated first.
    // False when the file could not be written.
    bool write(QtMsgType type, const QString& message);

private:
    QString path_;
    qint64 limit_;
};

// Installs Qt's message handler for the whole process: every message goes to the run log
// under the logs folder and on to the handler there was (the terminal). Once per process.
void installRunLog(const QString& logsFolder);

} // namespace folivo
