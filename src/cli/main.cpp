// folivo-cli: the Folivo core from a terminal.
//
// Exit codes: 0 success, 1 the database said no (not found, invalid, refused), 2 usage.

#include "filing/filingrules.h"
#include "filing/importfolder.h"
#include "filing/importpipeline.h"
#include "filing/ktdate.h"
#include "find/filetext.h"
#include "plist/typedjson.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/messages.h"
#include "store/months.h"
#include "store/mydocument.h"
#include "store/repair.h"
#include "util/tempfolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace folivo;

namespace {

const char* kUsage =
    "Usage: folivo-cli [OPTIONS] COMMAND ARGS\n"
    "\n"
    "Reading:\n"
    "  create DB              create a new database (\".fvdb\" is added when missing)\n"
    "  tree DB                print the tree, one item a line, indented, kinds marked\n"
    "  show DB ITEMPATH       print every key of one item with its type, as JSON\n"
    "  dump DB                print the whole tree with every key and type, as JSON\n"
    "  cat DB ITEMPATH        write an item's content to standard output; for a folder item\n"
    "                         (a document bundle) name a file inside it: Notes/Report.rtfd/TXT.rtf\n"
    "\n"
    "Changing (each is saved at once; paths are inside the database, \"\" or \"/\" is the top level):\n"
    "  mkdir DB PATH [--index N]          make a folder; its parent is the folder part of PATH\n"
    "  mv DB PATH FOLDER [--index N]      move an item into FOLDER\n"
    "  rename DB PATH NEWNAME             give an item a new name in the same folder\n"
    "  rm DB PATH                         delete an item with everything inside it\n"
    "  dup DB PATH                        duplicate a file into \"Unfiled\"\n"
    "  cp DB PATH --from OTHERDB [--to FOLDER] [--index N]\n"
    "                                     copy an item of OTHERDB into DB (top level without --to)\n"
    "  store DB FILE [--to FOLDER] [--start-date YYYY-MM-DD] [--end-date YYYY-MM-DD]\n"
    "                                     store a file or folder from disk in FOLDER (\"Unfiled\" without\n"
    "                                     --to); with an ending date it goes into FOLDER's year and month\n"
    "                                     folders; dates are taken as local midnight\n"
    "  import DB FILE... [--to FOLDER] [--no-autofile]\n"
    "                                     import files and folders and file them by the filing rules, as\n"
    "                                     the window does with FOLDER selected in the browser; prints where\n"
    "                                     each one went and its dates; a folder is imported as a hierarchy\n"
    "  drain DB [--settle SECONDS]        empty the database's import folder once: files that did not\n"
    "                                     change for SECONDS (default 2) are imported, filed, and deleted\n"
    "                                     from the folder once their stored copies read back the same\n"
    "  save DB                            bring the index and settings of the package up to date\n"
    "  backup DB [--to DIR] [--keep K]    copy the package into DIR as \"1<name>\", shifting older copies\n"
    "                                     up and keeping K+1; DIR and K default to the preferences\n"
    "\n"
    "Trying filing rules (nothing is changed):\n"
    "  parse-date TEXT [--european] [--trailing]\n"
    "                                     show the date (or quarter) TEXT is read as\n"
    "  file-as DB NAME [--text-file F] [--to FOLDER]\n"
    "                                     show where a file named NAME would be filed and with which\n"
    "                                     dates; F gives the file's text (a PDF, RTF or text file)\n"
    "\n"
    "Checking (every open compares the tree with the files; other commands only report):\n"
    "  check DB                           print what does not agree; exit 3 when something does not\n"
    "  check DB --repair=delete           remove items without files and delete files without items\n"
    "  check DB --repair=recover DIR      copy files without items into the new folder DIR first, then\n"
    "                                     delete the ones copied; items without files are removed\n"
    "\n"
    "Options:\n"
    "  --rebuild              rebuild the index from the attributes files while opening DB\n"
    "  --password-file FILE   read the password of an encrypted DB from the first line of FILE\n"
    "  --password-stdin       read the password of DB from the first line of standard input\n"
    "  --from-password-file FILE, --from-password-stdin\n"
    "                         the same for OTHERDB of cp (only one database can read standard input)\n"
    "  --index N              place in the folder's list, counted from 0; -1 (the default) lets the\n"
    "                         database choose\n"
    "  --                     everything after it is an argument, even when it starts with \"--\"\n"
    "  -h, --help             show this help\n"
    "\n"
    "Without a password option the password is asked for on the terminal, without echo.\n"
    "A password is never taken from the command line itself: other users could read it there.\n"
    "\n"
    "Exit status: 0 done, 1 the database said no (the reason is on standard error), 2 usage,\n"
    "3 check found something that does not agree.\n";

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
    // The consistency report of an open: decided only when `check --repair` says how;
    // otherwise it is shown and nothing is changed.
    QStringList repairButtons;
    QString recoverInto;
    bool reportShown = false;
    bool reportQuiet = false; // check prints the report itself
    QString reportText;
    int ask(const Prompt& prompt) override
    {
        if (prompt.title == msg::RepairTitle) {
            reportShown = true;
            reportText = prompt.text;
            reportText.replace('\r', '\n');
            for (const QString& b : repairButtons)
                if (const qsizetype i = prompt.buttons.indexOf(b); i >= 0)
                    return int(i);
            if (!reportQuiet)
                err(reportText + QStringLiteral("\n(Nothing was changed: \"folivo-cli check --repair=delete\" or \"--repair=recover DIR\" repairs it.)"));
            return -1;
        }
        const int chosen = preset.isEmpty() ? 0 : std::max<int>(0, int(prompt.buttons.indexOf(preset)));
        if (prompt.buttons.size() > 1 || !prompt.title.isEmpty() || !prompt.text.isEmpty()) {
            QString text = prompt.text;
            text.replace('\r', '\n');
            shown_ << prompt.text;
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
        // The core has logged it already; the step reads "Moving item to", so the path follows.
        err(QStringLiteral("Disk error: %1 %2: %3").arg(step, path, detail));
    }

    // Prints a message of the database unless an alert just said the same thing (a failed
    // import alerts and also answers with its message).
    void report(const QString& message)
    {
        if (!message.isEmpty() && !shown_.contains(message)) {
            QString text = message;
            text.replace('\r', '\n');
            err(text);
        }
    }

private:
    QStringList shown_;

public:
    std::optional<QString> chooseRecoveryFolder(const QString&) override
    {
        if (recoverInto.isEmpty())
            return std::nullopt;
        return recoverInto;
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

// What an open for reading left undone, one line each.
void printPendingRepairs(QTextStream& to, const MyDocument& doc)
{
    if (doc.pendingRepairs().isEmpty())
        return;
    to << msg::PendingRepairsIntro << '\n';
    for (const QString& what : doc.pendingRepairs())
        to << "  - " << what << '\n';
    to.flush();
}

// A database that another program has open is refused (exit 1, the reason on standard
// error): a command that reads it could see a half-written index, one that changes it
// would have its change overwritten by the other program's next save.
int openOrFail(MyDocument& doc, const QString& path, OpenOptions options)
{
    const OpenResult r = doc.openDatabase(path, options);
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

// ---- Changing a database --------------------------------------------------------

// Everything the command line said besides the command and its arguments.
struct Options {
    bool rebuild = false;
    PasswordSource passwordSource = PasswordSource::Terminal;
    QString passwordFile;
    PasswordSource fromPasswordSource = PasswordSource::Terminal;
    QString fromPasswordFile;
    std::optional<int> index;
    std::optional<QString> from; // cp: the other database
    std::optional<QString> to;   // cp, store: a folder in the database; backup: a folder on disk
    std::optional<int> keep;
    std::optional<QDateTime> startDate, endDate;
    QString repair; // check: "delete" or "recover"
    bool noAutofile = false;
    bool european = false;
    bool trailing = false;
    std::optional<QString> textFile;
    std::optional<int> settle;
};

// A path inside the database as people type it: "/Bank/Visa/" and "Bank/Visa" are the same,
// and "" or "/" is the top level. `tree` prints folders with a slash after them, so a
// pasted line works too.
QString itemPath(const QString& typed)
{
    qsizetype from = 0, to = typed.size();
    while (from < to && typed[from] == '/')
        ++from;
    while (to > from && typed[to - 1] == '/')
        --to;
    return typed.mid(from, to - from);
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash);
}

int noItem(const MyDocument& doc, const QString& path)
{
    err(QStringLiteral("There is no item \"%1\" in %2.").arg(path, doc.dbPath()));
    return 1;
}

// Resolves a folder argument; nullptr with `*found` true is the top level.
IndexItem* folderArgument(MyDocument& doc, const QString& typed, bool* found)
{
    const QString path = itemPath(typed);
    *found = true;
    if (path.isEmpty())
        return nullptr;
    IndexItem* item = doc.tree().itemForPath(path);
    *found = item != nullptr;
    return item;
}

// Saves what the operation left, as the GUI's save timer does a moment after a change.
// After a disk error nothing is saved: the change marker stays so that the next open
// rebuilds the index from the attributes files, which are what reached the disk.
int finishOperation(MyDocument& doc, TerminalUi& ui, const OperationResult& r, const std::function<QString()>& line)
{
    using Status = OperationResult::Status;
    if (r.status == Status::Refused || r.status == Status::Failed) {
        ui.report(r.message.isEmpty() ? QStringLiteral("The change was not made.") : r.message);
        if (r.status == Status::Refused)
            return 1; // nothing changed, nothing to save
    }
    if (r.status == Status::DiskError) {
        // The interface printed the step; the log holds it too.
        err(QStringLiteral("The change did not complete; the index will be rebuilt the next time %1 is opened.")
                .arg(QFileInfo(doc.dbPath()).fileName()));
        return 1;
    }
    if (r.status == Status::Done)
        std::printf("%s\n", line().toLocal8Bit().constData());
    else if (r.status == Status::Nothing)
        std::printf("Nothing to change.\n");
    std::fflush(stdout);
    const SaveOutcome saved = doc.saveChanges(false);
    if (!saved.error.isEmpty()) {
        err(QStringLiteral("The database was not completely saved: %1").arg(saved.error));
        err(QStringLiteral("The index will be rebuilt the next time %1 is opened.").arg(QFileInfo(doc.dbPath()).fileName()));
        return 1;
    }
    return r.status == Status::Failed ? 1 : 0;
}

int mkdirCommand(MyDocument& doc, TerminalUi& ui, const QString& typed, const Options& o)
{
    const QString path = itemPath(typed);
    if (path.isEmpty()) {
        err(QStringLiteral("A folder needs a name."));
        return 1;
    }
    bool found = false;
    const IndexItem* parent = folderArgument(doc, folderOf(path), &found);
    if (!found)
        return noItem(doc, folderOf(path));
    const OperationResult r = doc.recordNewCategory(path, parent, o.index.value_or(-1));
    return finishOperation(doc, ui, r, [&] { return QStringLiteral("Created folder %1").arg(r.resultPath); });
}

int mvCommand(MyDocument& doc, TerminalUi& ui, const QString& typed, const QString& folder, const Options& o)
{
    const QString path = itemPath(typed);
    bool found = false;
    const IndexItem* parent = folderArgument(doc, folder, &found);
    if (!found)
        return noItem(doc, itemPath(folder));
    const OperationResult r = doc.recordMovePath(path, parent, o.index.value_or(-1));
    return finishOperation(doc, ui, r, [&] {
        return r.resultPath == path ? QStringLiteral("Moved %1 to another place in its folder").arg(path)
                                    : QStringLiteral("Moved %1 -> %2").arg(path, r.resultPath);
    });
}

int renameCommand(MyDocument& doc, TerminalUi& ui, const QString& typed, const QString& newName)
{
    const QString path = itemPath(typed);
    const QString folder = folderOf(path);
    const QString newPath = folder.isEmpty() ? newName : folder + '/' + newName;
    const OperationResult r = doc.recordRename(path, newPath);
    return finishOperation(doc, ui, r, [&] { return QStringLiteral("Renamed %1 -> %2").arg(path, r.resultPath); });
}

int rmCommand(MyDocument& doc, TerminalUi& ui, const QString& typed)
{
    const QString path = itemPath(typed);
    const OperationResult r = doc.recordDelete(path);
    return finishOperation(doc, ui, r, [&] { return QStringLiteral("Deleted %1").arg(path); });
}

int dupCommand(MyDocument& doc, TerminalUi& ui, const QString& typed)
{
    const QString path = itemPath(typed);
    const OperationResult r = doc.recordDuplicate(path, QStringLiteral("Unfiled"));
    return finishOperation(doc, ui, r, [&] { return QStringLiteral("Duplicated %1 -> %2").arg(path, r.resultPath); });
}

// `source` is the database the item comes from: another open document, or `doc` itself.
int cpCommand(MyDocument& doc, TerminalUi& ui, MyDocument& source, const QString& typed, const Options& o)
{
    const QString path = itemPath(typed);
    bool found = false;
    const IndexItem* parent = folderArgument(doc, o.to.value_or(QString()), &found);
    if (!found)
        return noItem(doc, itemPath(*o.to));
    const OperationResult r = doc.recordCopyPath(path, source.dbPath(), parent, o.index.value_or(-1));
    return finishOperation(doc, ui, r, [&] {
        return QStringLiteral("Copied %1 from %2 -> %3").arg(path, source.dbPath(), r.resultPath);
    });
}

int storeCommand(MyDocument& doc, TerminalUi& ui, const QString& file, const Options& o)
{
    const QFileInfo info(file);
    // A link that leads nowhere is no file either.
    if (!info.exists()) {
        err(QStringLiteral("There is no file \"%1\".").arg(file));
        return 1;
    }
    QString folder;
    if (o.to) {
        bool found = false;
        const IndexItem* target = folderArgument(doc, *o.to, &found);
        if (!found)
            return noItem(doc, itemPath(*o.to));
        // The database would quietly store into the folder above a file or smart folder;
        // naming one here is much more likely a slip.
        if (target && (!target->hasChildren() || target->isSmartFolder())) {
            err(QStringLiteral("\"%1\" is not a folder that can hold items.").arg(target->path()));
            return 1;
        }
        folder = target ? target->path() : QString();
    }
    const OperationResult r =
        doc.recordImport(info.absoluteFilePath(), std::nullopt, folder, -1, o.startDate, o.endDate);
    return finishOperation(doc, ui, r, [&] { return QStringLiteral("Stored %1 -> %2").arg(file, r.resultPath); });
}

int saveCommand(MyDocument& doc)
{
    const SaveOutcome out = doc.saveChanges(false);
    if (!out.error.isEmpty()) {
        err(QStringLiteral("%1 was not completely saved: %2").arg(doc.dbPath(), out.error));
        return 1;
    }
    std::printf("%s\n", (out.saved ? QStringLiteral("Saved %1") : QStringLiteral("Nothing to save in %1"))
                            .arg(doc.dbPath()).toLocal8Bit().constData());
    return 0;
}

// The application's preferences, shared with the GUI; read only, never written from here,
// so that a running GUI's own changes to them are not overwritten.
const QString kApplicationId = folivo::prefkeys::ApplicationId;

int backupCommand(MyDocument& doc, TerminalUi& ui, const Options& o)
{
    BackupSettings settings;
    if (!o.to || !o.keep) {
        const KTPrefs prefs(kApplicationId);
        settings = BackupSettings::from(&prefs);
    }
    if (o.to)
        settings.folder = QFileInfo(*o.to).absoluteFilePath();
    if (o.keep)
        settings.keep = *o.keep;
    if (settings.folder.isEmpty()) {
        err(QStringLiteral("No backup folder is set in the preferences; name one with --to DIR."));
        return 1;
    }
    const BackupOutcome out = doc.backupDatabase(settings);
    if (!out.ok) {
        ui.report(out.error.isEmpty() ? QStringLiteral("The backup was not made.") : out.error);
        return 1;
    }
    std::printf("Backed up %s -> %s\n", doc.dbPath().toLocal8Bit().constData(), out.path.toLocal8Bit().constData());
    return 0;
}

// ---- Arguments ---------------------------------------------------------------------

struct CommandSpec {
    int arguments;
    QStringList options; // options of this command besides the common ones
};

const QHash<QString, CommandSpec>& commands()
{
    static const QHash<QString, CommandSpec> table{
        {"create", {1, {}}},
        {"tree", {1, {}}},
        {"show", {2, {}}},
        {"dump", {1, {}}},
        {"cat", {2, {}}},
        {"mkdir", {2, {"--index"}}},
        {"mv", {3, {"--index"}}},
        {"rename", {3, {}}},
        {"rm", {2, {}}},
        {"dup", {2, {}}},
        {"cp", {2, {"--from", "--to", "--index", "--from-password-file", "--from-password-stdin"}}},
        {"store", {2, {"--to", "--start-date", "--end-date"}}},
        {"save", {1, {}}},
        {"backup", {1, {"--to", "--keep"}}},
        {"check", {1, {"--repair"}}},
        {"import", {-2, {"--to", "--no-autofile"}}},
        {"drain", {1, {"--settle"}}},
        {"parse-date", {1, {"--european", "--trailing"}}},
        {"file-as", {2, {"--text-file", "--to"}}},
    };
    return table;
}

// A date as YYYY-MM-DD, taken as the start of that day in local time (which is midnight
// except where a clock change skips midnight).
std::optional<QDateTime> parseIsoDate(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return std::nullopt;
    return date.startOfDay();
}

std::optional<int> parseInt(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < lowest || n > highest)
        return std::nullopt;
    return n;
}

// The check itself ran while the database was opened; this reports what it found and,
// after a repair, whether the database now agrees.
int checkCommand(MyDocument& doc, TerminalUi& ui, const Options& o)
{
    QTextStream out(stdout);
    if (!ui.reportShown) {
        out << "The database is consistent.\n";
        printPendingRepairs(out, doc);
        return 0;
    }
    out << ui.reportText << '\n';
    if (o.repair.isEmpty()) {
        printPendingRepairs(out, doc);
        return 3;
    }
    out.flush();
    const ConsistencyReport after = checkConsistency(doc);
    if (after.needsDecision()) {
        err(QStringLiteral("Not everything could be repaired; what is left:\n") + QString(after.text).replace('\r', '\n'));
        return 3;
    }
    if (!ui.recoverInto.isEmpty())
        out << "Recovered files are in " << ui.recoverInto << '\n';
    out << "Repaired.\n";
    return doc.saveChanges(false).error.isEmpty() ? 0 : 1;
}

// ---- Importing and filing ---------------------------------------------------------

QString isoDay(const std::optional<QDate>& d)
{
    return d ? d->toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString datesText(const std::optional<QDate>& start, const std::optional<QDate>& end)
{
    if (!start && !end)
        return QString();
    return QStringLiteral(" [%1 \u2013 %2]").arg(isoDay(start), isoDay(end));
}

// Preferences of the application, read only (see kApplicationId).
KTPrefs& applicationPrefs()
{
    static KTPrefs prefs(kApplicationId);
    return prefs;
}

// Resolves --to for the filing commands: a folder that can hold files.
bool folderOption(MyDocument& doc, const Options& o, QString* path)
{
    if (!o.to)
        return true;
    bool found = false;
    const IndexItem* target = folderArgument(doc, *o.to, &found);
    if (!found) {
        noItem(doc, itemPath(*o.to));
        return false;
    }
    if (target && !target->isPlainFolder()) {
        err(QStringLiteral("\"%1\" is not a folder that can hold items.").arg(target->path()));
        return false;
    }
    *path = target ? target->path() : QString();
    return true;
}

// Prints one line per entry of an import; answers whether everything went in.
bool printImport(const ImportOutcome& outcome, const QHash<QString, QString>& typed)
{
    bool allIn = true;
    for (const ImportedEntry& e : outcome.entries) {
        // Entries inside a folder argument are shown below the folder as it was typed.
        QString source = typed.value(e.source, e.source);
        if (!typed.contains(e.source))
            for (auto it = typed.cbegin(); it != typed.cend(); ++it)
                if (e.source.startsWith(it.key() + '/')) {
                    QString base = it.value();
                    while (base.size() > 1 && base.endsWith('/'))
                        base.chop(1);
                    source = base + e.source.mid(it.key().size());
                    break;
                }
        QString line;
        if (e.skipped) {
            line = QStringLiteral("%1: skipped (a Folivo database, a linked folder, or part of this database)").arg(source);
            allIn = false;
        } else if (e.failed || e.storedPath.isEmpty()) {
            line = QStringLiteral("%1: not imported").arg(source);
            allIn = false;
        } else {
            line = QStringLiteral("%1 -> %2%3").arg(source, e.storedPath + (e.folder ? QStringLiteral("/") : QString()),
                                                   datesText(e.start, e.end));
        }
        std::printf("%s\n", line.toLocal8Bit().constData());
    }
    if (!outcome.logPath.isEmpty())
        std::printf("Import log -> %s\n", outcome.logPath.toLocal8Bit().constData());
    std::fflush(stdout);
    return allIn;
}

int finishImport(MyDocument& doc, const ImportOutcome& outcome, bool allIn)
{
    if (outcome.diskError) {
        err(QStringLiteral("The import did not complete; the index will be rebuilt the next time %1 is opened.")
                .arg(QFileInfo(doc.dbPath()).fileName()));
        return 1;
    }
    const SaveOutcome saved = doc.saveChanges(false);
    if (!saved.error.isEmpty()) {
        err(QStringLiteral("The database was not completely saved: %1").arg(saved.error));
        return 1;
    }
    return allIn && !outcome.failed ? 0 : 1;
}

int importCommand(MyDocument& doc, TerminalUi& ui, const QStringList& files, const Options& o)
{
    (void)ui;
    ImportContext context;
    if (!folderOption(doc, o, &context.browserSelection))
        return 1;
    QStringList paths;
    QHash<QString, QString> typed;
    for (const QString& f : files) {
        const QFileInfo info(f);
        if (!info.exists() && !info.isSymLink()) {
            err(QStringLiteral("There is no file \"%1\".").arg(f));
            return 1;
        }
        const QString abs = QDir::cleanPath(info.absoluteFilePath());
        paths << abs;
        typed.insert(abs, f);
    }
    doc.setApplicationPreferences(&applicationPrefs());
    ImportPipeline pipeline(doc, &applicationPrefs());
    ImportRequest request;
    request.paths = paths;
    request.autoFile = !o.noAutofile;
    const ImportOutcome outcome = pipeline.doImport(request, context);
    if (!outcome.ran) {
        err(QStringLiteral("%1 does not take imports (it is read-only).").arg(doc.dbPath()));
        return 1;
    }
    return finishImport(doc, outcome, printImport(outcome, typed));
}

int drainCommand(MyDocument& doc, TerminalUi& ui, const Options& o)
{
    (void)ui;
    const DatabaseSettings& settings = doc.settings();
    if (!settings.importFolderEnabled || settings.importFolderPath.isEmpty()) {
        err(QStringLiteral("%1 has no import folder switched on.").arg(doc.dbPath()));
        return 1;
    }
    doc.setApplicationPreferences(&applicationPrefs());
    DrainOptions options;
    options.settleMs = o.settle.value_or(2) * 1000;
    const DrainOutcome out = importFromImportFolder(doc, &applicationPrefs(), {}, options);
    if (out.notFound || out.notWritable || out.declined)
        return 1;
    const bool allIn = printImport(out.import, {});
    for (const QString& p : out.deleted)
        std::printf("Deleted %s from the import folder\n", p.toLocal8Bit().constData());
    for (const QString& p : out.kept)
        std::printf("Kept %s: it could not be deleted (it will not be imported again)\n", p.toLocal8Bit().constData());
    for (const QString& p : out.unconfirmed)
        std::printf("Kept %s: its stored copy did not read back the same\n", p.toLocal8Bit().constData());
    for (const QString& p : out.waiting)
        std::printf("Waiting for %s: it is still being written\n", p.toLocal8Bit().constData());
    if (!out.ran) {
        std::printf("Nothing to import.\n");
        return doc.saveChanges(false).error.isEmpty() ? 0 : 1;
    }
    (void)allIn;
    return finishImport(doc, out.import, true);
}

int parseDateCommand(const QString& text, const Options& o)
{
    int m = 0, d = 0, y = 0;
    const int n = parseDate(text, m, d, y, o.european, o.trailing);
    if (n > 0) {
        std::printf("%s (%d characters)\n", QDate(y, m, d).toString(QStringLiteral("yyyy-MM-dd")).toLocal8Bit().constData(), n);
        return 0;
    }
    if (const auto q = parseQuarterYearFromString(text)) {
        std::printf("quarter %s \u2013 %s\n", isoDay(q->start).toLocal8Bit().constData(),
                    isoDay(q->end).toLocal8Bit().constData());
        return 0;
    }
    err(QStringLiteral("\"%1\" is not a date.").arg(text));
    return 1;
}

int fileAsCommand(MyDocument& doc, const QString& name, const Options& o)
{
    QString selection;
    if (!folderOption(doc, o, &selection))
        return 1;
    std::optional<QString> text;
    if (o.textFile) {
        if (!QFileInfo::exists(*o.textFile)) {
            err(QStringLiteral("There is no file \"%1\".").arg(*o.textFile));
            return 1;
        }
        text = textOfFile(QFileInfo(*o.textFile).absoluteFilePath());
        if (!text)
            err(QStringLiteral("(\"%1\" has no text that can be read.)").arg(*o.textFile));
    }
    FilingInput input;
    input.fileName = name;
    input.target = selection.isEmpty() ? doc.tree().itemForPath(QStringLiteral("Unfiled")) : doc.tree().itemForPath(selection);
    input.text = [&] { return text; };
    const FilingDecision d = fileOne(doc.tree(), input, FilingPreferences::from(&applicationPrefs()));
    QString where = d.folder ? d.folder->path() : QStringLiteral("Unfiled");
    if (d.end && where != QStringLiteral("Unfiled"))
        where += QStringLiteral("/%1/%2").arg(d.end->year()).arg(KTMonths::nameOf(d.end->month()));
    QString how = d.rule.isEmpty() ? QStringLiteral("no rule chose a folder") : QStringLiteral("by %1").arg(d.rule);
    if (d.datesFromText)
        how += QStringLiteral(", dates from the text");
    std::printf("%s -> %s/%s%s (%s)\n", name.toLocal8Bit().constData(), where.toLocal8Bit().constData(),
                name.toLocal8Bit().constData(), datesText(d.start, d.end).toLocal8Bit().constData(),
                how.toLocal8Bit().constData());
    return 0;
}

int usageError(const QString& text)
{
    err(text);
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Folivo"));
    const QStringList args = app.arguments().mid(1);
    Options o;
    QStringList positional;
    QStringList given; // options used, checked against the command once it is known
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || !a.startsWith("-") || a == "-") {
            positional << a;
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--password" || a == "--from-password") {
            err(QStringLiteral("A password is not taken from the command line; use %1-file or %1-stdin.").arg(a));
            return 2;
        }
        if (a.startsWith(QStringLiteral("--repair"))) {
            const QString how = a.startsWith(QStringLiteral("--repair=")) ? a.mid(9)
                                : (i + 1 < args.size() ? args[++i] : QString());
            if (how != "delete" && how != "recover")
                return usageError(QStringLiteral("--repair is delete or recover, not \"%1\".").arg(how));
            o.repair = how;
            given << QStringLiteral("--repair");
            continue;
        }
        static const QStringList flags{"--rebuild",     "--password-stdin", "--from-password-stdin",
                                       "--no-autofile", "--european",       "--trailing"};
        static const QStringList valued{"--password-file", "--from-password-file", "--index",      "--from",
                                        "--to",            "--keep",               "--start-date", "--end-date",
                                        "--text-file",     "--settle"};
        if (!flags.contains(a) && !valued.contains(a))
            return usageError(QStringLiteral("Unknown option %1.").arg(a));
        given << a;
        if (a == "--rebuild") {
            o.rebuild = true;
            continue;
        }
        if (a == "--password-stdin") {
            o.passwordSource = PasswordSource::Stdin;
            continue;
        }
        if (a == "--no-autofile" || a == "--european" || a == "--trailing") {
            (a == "--no-autofile" ? o.noAutofile : a == "--european" ? o.european : o.trailing) = true;
            continue;
        }
        if (a == "--from-password-stdin") {
            o.fromPasswordSource = PasswordSource::Stdin;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError(QStringLiteral("%1 needs a value.").arg(a));
        const QString value = args[++i];
        if (a == "--password-file") {
            o.passwordSource = PasswordSource::File;
            o.passwordFile = value;
        } else if (a == "--from-password-file") {
            o.fromPasswordSource = PasswordSource::File;
            o.fromPasswordFile = value;
        } else if (a == "--index") {
            o.index = parseInt(value, -1, std::numeric_limits<int>::max());
            if (!o.index)
                return usageError(QStringLiteral("--index needs a number from -1 up, not \"%1\".").arg(value));
        } else if (a == "--keep") {
            o.keep = parseInt(value, 0, 255);
            if (!o.keep)
                return usageError(QStringLiteral("--keep needs a number from 0 to 255, not \"%1\".").arg(value));
        } else if (a == "--start-date" || a == "--end-date") {
            const auto date = parseIsoDate(value);
            if (!date)
                return usageError(QStringLiteral("%1 needs a date as YYYY-MM-DD, not \"%2\".").arg(a, value));
            (a == "--start-date" ? o.startDate : o.endDate) = date;
        } else if (a == "--settle") {
            o.settle = parseInt(value, 0, 3600);
            if (!o.settle)
                return usageError(QStringLiteral("--settle needs a number of seconds from 0 to 3600, not \"%1\".").arg(value));
        } else if (a == "--text-file") {
            o.textFile = value;
        } else if (a == "--from") {
            o.from = value;
        } else if (a == "--to") {
            o.to = value;
        }
    }
    if (positional.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = positional.takeFirst();
    if (!commands().contains(command))
        return usageError(QStringLiteral("Unknown command %1.").arg(command));
    const CommandSpec& spec = commands().value(command);
    // check --repair=recover takes the folder for the recovered files.
    QString recoverInto;
    if (command == "check" && o.repair == "recover") {
        if (positional.size() != 2)
            return usageError(QStringLiteral("check --repair=recover needs the folder DIR for the recovered files."));
        recoverInto = QFileInfo(positional.takeLast()).absoluteFilePath();
    }
    if (spec.arguments >= 0 ? positional.size() != spec.arguments : positional.size() < -spec.arguments)
        return usageError(QStringLiteral("Wrong number of arguments for %1.").arg(command));
    static const QStringList common{"--rebuild", "--password-file", "--password-stdin"};
    for (const QString& option : given)
        if (!common.contains(option) && !spec.options.contains(option))
            return usageError(QStringLiteral("%1 does not take %2.").arg(command, option));
    if (command == "cp" && !o.from)
        return usageError(QStringLiteral("cp needs --from OTHERDB."));
    if (command == "rename" && (positional[2].isEmpty() || positional[2].contains('/')))
        return usageError(QStringLiteral("NEWNAME is a name, not a path: use mv to put an item elsewhere."));

    sweepStaleTempFolders();
    TerminalUi ui;
    ui.passwordSource = o.passwordSource;
    ui.passwordFile = o.passwordFile;
    if (o.rebuild)
        ui.preset = QStringLiteral("Rebuild Index");
    if (command == "check") {
        ui.reportQuiet = true;
        if (o.repair == "delete")
            ui.repairButtons = {QStringLiteral("Delete"), QStringLiteral("OK"), QStringLiteral("No")};
        else if (o.repair == "recover")
            ui.repairButtons = {QStringLiteral("Recover"), QStringLiteral("Yes"), QStringLiteral("OK")};
        ui.recoverInto = recoverInto;
    }
    QTextStream out(stdout);

    if (command == "parse-date")
        return parseDateCommand(positional[0], o);
    if (command == "create") {
        MyDocument doc(ui);
        const OpenResult r = doc.createDatabase(positional[0]);
        if (!r.ok()) {
            err(r.message);
            return 1;
        }
        out << doc.dbPath() << '\n';
        return 0;
    }

    // cp opens the database it reads from first, as the GUI has it open before anything
    // is dropped from it. The same package is never opened twice: one process, one
    // document per database.
    TerminalUi fromUi;
    fromUi.passwordSource = o.fromPasswordSource;
    fromUi.passwordFile = o.fromPasswordFile;
    std::unique_ptr<MyDocument> source;
    if (command == "cp") {
        const QString a = QFileInfo(positional[0]).canonicalFilePath();
        const QString b = QFileInfo(*o.from).canonicalFilePath();
        if (a.isEmpty() || a != b) {
            if (o.passwordSource == PasswordSource::Stdin && o.fromPasswordSource == PasswordSource::Stdin) {
                err(QStringLiteral("Only one of the two databases can read its password from standard input."));
                return 2;
            }
            source = std::make_unique<MyDocument>(fromUi);
            OpenOptions reading;
            reading.forReading = true; // the source is only read
            if (int rc = openOrFail(*source, *o.from, reading))
                return rc;
        }
    }

    // Commands that only read open the database for reading: a shared lock, and nothing in
    // the package changes; what an open for writing would repair is said instead. The
    // others hold the database for themselves until they end.
    static const QStringList readingCommands{"tree", "show", "dump", "cat", "file-as"};
    OpenOptions options;
    options.rebuildRequested = o.rebuild;
    options.forReading = readingCommands.contains(command) || (command == "check" && o.repair.isEmpty());
    MyDocument doc(ui);
    if (int rc = openOrFail(doc, positional[0], options))
        return rc;
    if (options.forReading && command != "check") {
        QTextStream notes(stderr);
        printPendingRepairs(notes, doc);
    }
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
    } else if (command == "mkdir") {
        return mkdirCommand(doc, ui, positional[1], o);
    } else if (command == "mv") {
        return mvCommand(doc, ui, positional[1], positional[2], o);
    } else if (command == "rename") {
        return renameCommand(doc, ui, positional[1], positional[2]);
    } else if (command == "rm") {
        return rmCommand(doc, ui, positional[1]);
    } else if (command == "dup") {
        return dupCommand(doc, ui, positional[1]);
    } else if (command == "cp") {
        return cpCommand(doc, ui, source ? *source : doc, positional[1], o);
    } else if (command == "store") {
        return storeCommand(doc, ui, positional[1], o);
    } else if (command == "save") {
        return saveCommand(doc);
    } else if (command == "backup") {
        return backupCommand(doc, ui, o);
    } else if (command == "check") {
        return checkCommand(doc, ui, o);
    } else if (command == "import") {
        return importCommand(doc, ui, positional.mid(1), o);
    } else if (command == "drain") {
        return drainCommand(doc, ui, o);
    } else if (command == "file-as") {
        return fileAsCommand(doc, positional[1], o);
    }
    return 0;
}
