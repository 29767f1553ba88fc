// folivo-cli: the Folivo core from a terminal.
//
// Exit codes: 0 success, 1 the database said no (not found, invalid, refused), 2 usage.

#include "plist/typedjson.h"
#include "store/mydocument.h"
#include "util/tempfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace folivo;

namespace {

const char* kUsage =
    "Usage: folivo-cli [--rebuild] COMMAND ARGS\n"
    "\n"
    "Commands:\n"
    "  create PATH            create a new database (\".fvdb\" is added when missing)\n"
    "  tree PATH              print the tree, one item a line, indented, kinds marked\n"
    "  show PATH ITEMPATH     print every key of one item with its type, as JSON\n"
    "  dump PATH              print the whole tree with every key and type, as JSON\n"
    "  cat PATH ITEMPATH      write an item's content to standard output; for a folder item\n"
    "                         (a document bundle) name a file inside it: Notes/Report.rtfd/TXT.rtf\n"
    "\n"
    "Options:\n"
    "  --rebuild              rebuild the index from the attributes files while opening\n"
    "  --password-file FILE   read the password of an encrypted database from the first line of FILE\n"
    "  --password-stdin       read the password from the first line of standard input\n"
    "  -h, --help             show this help\n"
    "\n"
    "Without either password option the password is asked for on the terminal, without echo.\n"
    "A password is never taken from the command line itself: other users could read it there.\n";

void err(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Overwrites a buffer that held a password before it is freed.
void wipe(QByteArray& bytes)
{
    volatile char* p = bytes.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        p[i] = 0;
    bytes.clear();
}

// The first line of `fd`, without its line end; nullopt at once at the end of input.
std::optional<QByteArray> readLine(int fd)
{
    QByteArray line;
    char c = 0;
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        any = true;
        if (c == '\n')
            break;
        line.append(c);
    }
    if (!any)
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

enum class PasswordSource { Terminal, File, Stdin };

// Asks the terminal itself (not standard input, which may carry data) with echo off.
std::optional<QByteArray> askTerminal(const QString& prompt)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0)
        return std::nullopt;
    const QByteArray text = prompt.toLocal8Bit() + ' ';
    [[maybe_unused]] ssize_t w = ::write(tty, text.constData(), size_t(text.size()));
    termios saved {};
    const bool isTerminal = ::tcgetattr(tty, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    auto line = readLine(tty);
    if (isTerminal)
        ::tcsetattr(tty, TCSAFLUSH, &saved);
    if (!line)
        w = ::write(tty, "\n", 1);
    ::close(tty);
    return line;
}

// The terminal's side of a document: alerts and questions go to stderr; questions take
// their default answer unless the caller decided the answer beforehand.
class TerminalUi : public DocumentUi {
public:
    QString preset; // button to choose for any question that offers it
    int ask(const Prompt& prompt) override
    {
        const int chosen = preset.isEmpty() ? 0 : std::max<int>(0, int(prompt.buttons.indexOf(preset)));
        if (prompt.buttons.size() > 1 || !prompt.title.isEmpty() || !prompt.text.isEmpty()) {
            QString text = prompt.text;
            text.replace('\r', '\n');
            err((prompt.title.isEmpty() ? QString() : prompt.title + ": ") + text);
            if (prompt.buttons.size() > 1)
                err(QStringLiteral("(answered \"%1\")").arg(prompt.buttons.value(chosen)));
        }
        return chosen;
    }
    PasswordSource passwordSource = PasswordSource::Terminal;
    QString passwordFile;
    bool askPassword(const PasswordRequest& request, const PasswordCheck& check) override
    {
        for (;;) {
            std::optional<QByteArray> typed;
            if (passwordSource == PasswordSource::File) {
                const int fd = ::open(QFile::encodeName(passwordFile).constData(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) {
                    err(QStringLiteral("The password file \"%1\" cannot be read: %2")
                            .arg(passwordFile, QString::fromLocal8Bit(std::strerror(errno))));
                    return false;
                }
                typed = readLine(fd);
                ::close(fd);
            } else if (passwordSource == PasswordSource::Stdin) {
                typed = readLine(0);
            } else {
                typed = askTerminal(request.text);
                if (!typed && !::isatty(0))
                    err(QStringLiteral("No terminal to ask for the password on: use --password-file or --password-stdin."));
            }
            if (!typed)
                return false;
            const bool accepted = check(QString::fromUtf8(*typed));
            wipe(*typed);
            if (accepted)
                return true;
            err(request.errorText);
            // A password from a file or a pipe will not be different the next time.
            if (passwordSource != PasswordSource::Terminal)
                return false;
        }
    }
    void progressStart(const QString& title, const QString&, int) override
    {
        if (::isatty(2))
            err(title);
    }
    void progressSetText(const QString&) override {}
    void progressStop() override {}
    void diskError(const QString& step, const QString& path, const QString& detail) override
    {
        err(QStringLiteral("Disk error while %1: %2 (%3)").arg(step.toLower(), path, detail));
    }
};

const char* marker(const IndexItem& item)
{
    switch (item.kind()) {
    case ItemKind::Folder: return "/";
    case ItemKind::DateFolder: return "/ [date]";
    case ItemKind::SmartFolder: return " [smart folder]";
    case ItemKind::SmartFile: return " [smart file]";
    case ItemKind::File: return "";
    }
    return "";
}

void printTree(QTextStream& out, const ItemList& items, int level)
{
    for (const auto& item : items) {
        out << QString(level * 2, ' ') << item->name() << marker(*item) << '\n';
        if (item->hasChildren() && !item->isSmartFolder())
            printTree(out, item->children(), level + 1);
    }
}

int openOrFail(MyDocument& doc, const QString& path, bool rebuild)
{
    const OpenResult r = doc.openDatabase(path, {rebuild});
    if (!r.ok()) {
        err(r.message);
        return 1;
    }
    for (const IndexProblem& p : doc.indexProblems())
        err(QStringLiteral("warning: index entry \"%1\" skipped: %2").arg(p.path, p.reason));
    return 0;
}

// Writes an item's plain content to standard output. The path may go on inside a folder
// item: the longest leading part that is a file item names the item.
int catItem(MyDocument& doc, const QString& path)
{
    const QStringList parts = path.split('/');
    for (qsizetype n = parts.size(); n > 0; --n) {
        const QString itemPath = parts.mid(0, n).join('/');
        const IndexItem* item = doc.tree().itemForPath(itemPath);
        if (!item)
            continue;
        if (!item->isFile()) {
            err(QStringLiteral("\"%1\" is a folder, not a file.").arg(itemPath));
            return 1;
        }
        QString error;
        const bool ok = doc.readItemContent(itemPath, parts.mid(n).join('/'), [](const char* data, qsizetype size) {
            return std::fwrite(data, 1, size_t(size), stdout) == size_t(size);
        }, &error);
        if (std::fflush(stdout) != 0 && ok) {
            err(QStringLiteral("The content could not be written out."));
            return 1;
        }
        if (!ok) {
            err(error);
            return 1;
        }
        return 0;
    }
    err(QStringLiteral("There is no item \"%1\" in %2.").arg(path, doc.dbPath()));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Folivo"));
    QStringList args = app.arguments().mid(1);
    bool rebuild = false;
    QStringList positional;
    PasswordSource passwordSource = PasswordSource::Terminal;
    QString passwordFile;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--rebuild")
            rebuild = true;
        else if (a == "--password-stdin")
            passwordSource = PasswordSource::Stdin;
        else if (a == "--password-file") {
            if (i + 1 >= args.size()) {
                err(QStringLiteral("--password-file needs a file name."));
                return 2;
            }
            passwordSource = PasswordSource::File;
            passwordFile = args[++i];
        } else if (a == "--password") {
            err(QStringLiteral("A password is not taken from the command line; use --password-file or --password-stdin."));
            return 2;
        }
        else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a.startsWith("--")) {
            err(QStringLiteral("Unknown option %1.").arg(a));
            std::fputs(kUsage, stderr);
            return 2;
        } else
            positional << a;
    }
    if (positional.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = positional.takeFirst();
    const QHash<QString, int> arity{{"create", 1}, {"tree", 1}, {"show", 2}, {"dump", 1}, {"cat", 2}};
    if (!arity.contains(command) || positional.size() != arity.value(command)) {
        err(arity.contains(command) ? QStringLiteral("Wrong number of arguments for %1.").arg(command)
                                    : QStringLiteral("Unknown command %1.").arg(command));
        std::fputs(kUsage, stderr);
        return 2;
    }

    sweepStaleTempFolders();
    TerminalUi ui;
    ui.passwordSource = passwordSource;
    ui.passwordFile = passwordFile;
    if (rebuild)
        ui.preset = QStringLiteral("Rebuild Index");
    MyDocument doc(ui);
    QTextStream out(stdout);

    if (command == "create") {
        const OpenResult r = doc.createDatabase(positional[0]);
        if (!r.ok()) {
            err(r.message);
            return 1;
        }
        out << doc.dbPath() << '\n';
        return 0;
    }
    if (int rc = openOrFail(doc, positional[0], rebuild))
        return rc;
    if (command == "tree") {
        printTree(out, doc.tree().categoriesArray(), 0);
    } else if (command == "dump") {
        plist::Array top;
        for (const auto& item : doc.tree().categoriesArray())
            top.push_back(item->toValue());
        out.flush();
        const QByteArray json = plist::toTypedJson(top);
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fputc('\n', stdout);
    } else if (command == "cat") {
        return catItem(doc, positional[1]);
    } else if (command == "show") {
        const IndexItem* item = doc.tree().itemForPath(positional[1]);
        if (!item) {
            err(QStringLiteral("There is no item \"%1\" in %2.").arg(positional[1], doc.dbPath()));
            return 1;
        }
        const QByteArray json = plist::toTypedJson(item->keys());
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
