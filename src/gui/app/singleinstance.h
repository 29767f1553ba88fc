#pragma once
// One running program per person: a later launch hands the files it was given to the
// program already running, which opens or imports them and comes forward, and then ends.
// Two programs over one database would each write its index over the other's.

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace folivo::gui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` is the socket's name: a path, or a name Qt places in its temporary folder.
    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The person's own socket: "folivo-<uid>" under $XDG_RUNTIME_DIR when that is set
    // (a folder only its owner may enter), else SocketName inside the private temporary
    // folder (privateTempBase). Empty when there is no private place for it: every launch
    // then runs on its own.
    static QString defaultName();
    static inline const QString SocketName = QStringLiteral("instance.socket");
    // Set to anything but "0" or empty, every launch runs on its own (tests, scripts).
    static inline const char* DisableVariable = "FOLIVO_SEPARATE_INSTANCE";
    static bool disabledByEnvironment();

    // Hands `paths` (made absolute here) to a program listening on the name; true when one
    // took them. An empty list asks the running program only to come forward.
    bool handOver(const QStringList& paths, int timeoutMs = 3000);
    // Hands a clicked reminder notification (its identifier) to the running program.
    bool handOverReminder(const QString& identifier, int timeoutMs = 3000);

    // Listens for later launches. A socket left by a run that crashed is removed first (the
    // caller tried handOver, which no one answered). False when it could not listen.
    bool listen();
    bool listening() const;
    const QString& name() const { return name_; }

signals:
    // A later launch handed these paths over (possibly none).
    void pathsReceived(const QStringList& paths);
    // A later launch was started by a click on a reminder notification.
    void reminderReceived(const QString& identifier);

private:
    bool send(const QStringList& paths, const QString& reminder, int timeoutMs);
    void readFrom(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace folivo::gui
