#pragma once
// A command on a database: opens the database named by its first argument (with --rebuild,
// --password-file, --password-stdin), for reading or for changing as the command says,
// then runs on it.

#include "command.h"

#include <functional>

namespace folivo {
class MyDocument;
struct OpenOptions;
}

namespace folivo::cli {

class TerminalUi;

class DatabaseCommand : public Command {
public:
    enum class Access {
        Reading, // a shared hold, nothing in the package changes; what a change would repair is said instead
        Writing, // the database is held for this command alone until it ends
    };
    DatabaseCommand(CommandSpec spec, Access access) : Command(std::move(spec)), access_(access) {}

    QStringList commonOptions() const override;
    int run(Invocation& call) const override;

protected:
    virtual Access access(const Invocation&) const { return access_; }
    // Decides beforehand what the terminal answers while the database opens.
    virtual void prepare(const Invocation&, TerminalUi&) const {}
    // Whether an open for reading lists on standard error what it left undone.
    virtual bool listsPendingRepairs() const { return true; }
    virtual int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const = 0;

    // Opens the database and runs `body` on it (cp opens its source first, then this).
    int withDatabase(Invocation& call, const std::function<int(MyDocument&, TerminalUi&)>& body) const;

private:
    Access access_;
};

// Opens `path`; a refusal is said on standard error and answers 1. A database that another
// program has open is refused: a command that reads it could see a half-written index, one
// that changes it would have its change overwritten by the other program's next save.
int openOrFail(Console& console, MyDocument& doc, const QString& path, const OpenOptions& options);

// What an open for reading left undone, one line each; empty when nothing was.
QString pendingRepairs(const MyDocument& doc);

} // namespace folivo::cli
