#pragma once
// A command of folivo-cli: its name, the lines of the usage text that describe it, how many
// arguments and which options it takes, and what it does. Each lives in a file of its own
// under commands/ and registers itself there (registry.h).

#include "password.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>

namespace folivo {
class KTPrefs;
}

namespace folivo::cli {

class Console;

// Everything the command line said besides the command and its arguments.
struct Options {
    bool rebuild = false;
    PasswordOrigin password;
    PasswordOrigin fromPassword; // cp: the other database
    std::optional<int> index;
    std::optional<QString> from; // cp: the other database
    std::optional<QString> to;   // cp, store: a folder in the database; backup: a folder on disk
    std::optional<int> keep;
    std::optional<QDateTime> startDate, endDate;
    QString repair;      // check: "delete" or "recover"
    QString recoverInto; // check --repair=recover: the folder for the recovered files
    bool noAutofile = false;
    bool european = false;
    bool trailing = false;
    std::optional<QString> textFile;
    std::optional<int> settle;
    QStringList addTags, removeTags; // tag: --add and --remove, each as often as wanted; attr-names: --add NAME
    // attr, attr-names: the custom attribute name to remove, and a rename (old, new).
    std::optional<QString> deleteName;
    std::optional<std::pair<QString, QString>> renameName;
    // The options only one command knows, in the order given, each with its values.
    QList<std::pair<QString, QStringList>> own;
};

// One run of a command.
class Invocation {
public:
    Invocation(Console& console, Options options, QStringList arguments);
    ~Invocation();

    Console& console;
    Options options;
    QStringList arguments;

    // The application's preferences, shared with the window; read only, never written
    // from here, so that a running window's own changes to them are not overwritten.
    KTPrefs& applicationPrefs();

private:
    std::unique_ptr<KTPrefs> prefs_;
};

// Where a command is listed in the usage text.
enum class UsageGroup { Help, Reading, Changing, Filing, Checking };

// One way of calling a command and what it does, as the usage text shows them.
struct UsageLine {
    QString form;        // "mkdir DB PATH [--index N]"
    QStringList summary; // the lines of its description
};

struct CommandSpec {
    QString name;
    UsageGroup group = UsageGroup::Reading;
    int order = 0; // place in its group
    QList<UsageLine> usage;
    int arguments = 0; // how many; negative: at least that many (-2: two or more)
    QStringList options; // the options it takes besides the common ones of its kind
    // Options of this command alone (they follow the command's name on the line).
    struct OwnOption {
        QString name;   // "--attr"
        int values = 0; // how many arguments follow it
        QString form;   // "--attr NAME OP VALUE"
        QStringList summary;
    };
    QList<OwnOption> ownOptions;
};

class Command {
public:
    explicit Command(CommandSpec spec) : spec_(std::move(spec)) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    const CommandSpec& spec() const { return spec_; }
    const QString& name() const { return spec_.name; }
    // The options every command of this kind takes (a database command: how to open it).
    virtual QStringList commonOptions() const { return {}; }

    // Takes what the options add to the arguments before they are counted (check
    // --repair=recover DIR); a usage error's message, or empty.
    virtual QString takeArguments(Invocation&) const { return {}; }
    // What the count and the options cannot say about a call; a usage error's message, or empty.
    virtual QString checkUsage(const Invocation&) const { return {}; }
    // Exit status: 0 done, 1 the database said no, 3 check found something.
    virtual int run(Invocation& call) const = 0;

private:
    CommandSpec spec_;
};

} // namespace folivo::cli
