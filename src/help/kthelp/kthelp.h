#pragma once
// Opens the application's help book in the help viewer (folivo-help) at an anchor, and closes
// that viewer when the application ends, if it still shows this application's help.
//
// The viewer takes its parameters from its own settings file, which is written and synced
// here before the viewer is started (with an argument list, never through a shell) or, when
// it already runs, told through its single-instance socket to read them again.
//
// QtCore and QtNetwork only, so that any program of the system may link it.

#include <QByteArray>
#include <QString>

#if defined(KTHELP_LIBRARY)
#define KTHELP_EXPORT __attribute__((visibility("default")))
#else
#define KTHELP_EXPORT
#endif

extern "C" {
KTHELP_EXPORT extern const char KTHelpVersionString[];
KTHELP_EXPORT extern const double KTHelpVersionNumber;
}

class KTHELP_EXPORT KTHelp {
public:
    // The keys of the viewer's settings file.
    static inline const QString HelpFolderPathKey = QStringLiteral("Help Folder Path");
    static inline const QString PathKey = QStringLiteral("Path");
    static inline const QString AnchorKey = QStringLiteral("Anchor");
    static inline const QString IconKey = QStringLiteral("Icon");
    static inline const QString HelpBookFolderKey = QStringLiteral("Help Book Folder");

    // The one instance of the process.
    static KTHelp& sharedHelp();

    // A separate instance: for tests that play two programs sharing one viewer.
    KTHelp();
    KTHelp(const KTHelp&) = delete;
    KTHelp& operator=(const KTHelp&) = delete;

    // Where the book lies: `resourceDir` joined with `bookFolder` is the help folder. Unset,
    // the book is <program folder>/../share/folivo/help, as installed.
    void setHelpBook(const QString& resourceDir, const QString& bookFolder);
    // The viewer program; unset, folivo-help beside the running program, else the one built
    // with this library.
    void setViewerProgram(const QString& program);
    // The application's icon as image data, for the viewer's window.
    void setIcon(const QByteArray& imageData);

    // Shows the book at `anchor` (the page `path` inside the book when not empty). Nothing is
    // reported: without a book or a viewer, help is simply not shown.
    void showHelp(const QString& path, const QString& anchor);
    // Closes the viewer when it was last asked to show this application's help during this
    // run; a viewer serving another program, or any viewer when help was never shown, stays.
    void terminate();

    // The full path of the help folder this instance shows (empty before the first showHelp).
    const QString& helpFolderPath() const { return ourHelpFolderPath_; }

    // Shared with the viewer: its settings file under $XDG_CONFIG_HOME, and the name of its
    // single-instance socket (under $XDG_RUNTIME_DIR when set).
    static QString settingsFilePath();
    static QString socketName();
    // The socket's requests, one line each.
    static inline const QByteArray ShowRequest = QByteArrayLiteral("show");
    static inline const QByteArray QuitRequest = QByteArrayLiteral("quit");
    // Answered with "<pid>\t<page file>\t<anchor>".
    static inline const QByteArray StatusRequest = QByteArrayLiteral("status");
    // Sends one request to a running viewer and waits for its answer (a line, given without
    // its end in `answer`). A viewer that took the connection but has not answered in time
    // is busy (starting up), not absent.
    enum class Delivery { NoViewer, Answered, NoAnswer };
    static Delivery deliver(const QByteArray& request, QByteArray* answer = nullptr, int timeoutMs = 5000);
    // True when a viewer answered.
    static bool sendRequest(const QByteArray& request, QByteArray* answer = nullptr, int timeoutMs = 5000)
    {
        return deliver(request, answer, timeoutMs) == Delivery::Answered;
    }

private:
    QString resourceDir_;
    QString bookFolder_;
    QString viewerProgram_;
    QByteArray icon_;
    QString ourHelpBookFolder_;
    QString ourHelpFolderPath_;
};
