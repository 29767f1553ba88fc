// check DB [--repair=delete | --repair=recover DIR]: the consistency check of an open, reported
// and, when asked, carried out.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"
#include "terminalui.h"

#include "store/mydocument.h"
#include "store/repair.h"

#include <QFileInfo>

namespace folivo::cli {
namespace {

class CheckCommand : public DatabaseCommand {
public:
    CheckCommand()
        : DatabaseCommand({"check", UsageGroup::Checking, 10,
                           {{"check DB", {"print what does not agree; exit 3 when something does not"}},
                            {"check DB --repair=delete", {"remove items without files and delete files without items"}},
                            {"check DB --repair=recover DIR",
                             {"copy files without items into the new folder DIR first, then",
                              "delete the ones copied; items without files are removed"}}},
                           1, {"--repair"}},
                          Access::Writing)
    {
    }
    QString takeArguments(Invocation& call) const override
    {
        if (call.options.repair != QLatin1String("recover"))
            return {};
        if (call.arguments.size() != 2)
            return QStringLiteral("check --repair=recover needs the folder DIR for the recovered files.");
        call.options.recoverInto = QFileInfo(call.arguments.takeLast()).absoluteFilePath();
        return {};
    }

protected:
    // Without --repair nothing changes, so the check shares the database with other readers.
    Access access(const Invocation& call) const override
    {
        return call.options.repair.isEmpty() ? Access::Reading : Access::Writing;
    }
    void prepare(const Invocation& call, TerminalUi& ui) const override
    {
        ui.reportQuiet = true;
        if (call.options.repair == QLatin1String("delete"))
            ui.repairChoice = RepairChoice::Delete;
        else if (call.options.repair == QLatin1String("recover"))
            ui.repairChoice = RepairChoice::Recover;
        ui.recoverInto = call.options.recoverInto;
    }
    bool listsPendingRepairs() const override { return false; } // in its own report

    // The check itself ran while the database was opened; this reports what it found and,
    // after a repair, whether the database now agrees.
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        Console& console = call.console;
        if (!ui.reportShown) {
            console.out(QStringLiteral("The database is consistent.\n") + pendingRepairs(doc));
            return 0;
        }
        console.out(ui.reportText + '\n');
        if (call.options.repair.isEmpty()) {
            console.out(pendingRepairs(doc));
            return 3;
        }
        console.flushOut();
        const ConsistencyReport after = checkConsistency(doc);
        if (after.needsDecision()) {
            console.err(QStringLiteral("Not everything could be repaired; what is left:\n")
                        + QString(after.text).replace('\r', '\n'));
            return 3;
        }
        if (!ui.recoverInto.isEmpty())
            console.out(QStringLiteral("Recovered files are in ") + ui.recoverInto + '\n');
        console.out(QStringLiteral("Repaired.\n"));
        return doc.saveChanges(false).error.isEmpty() ? 0 : 1;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(CheckCommand);
} // namespace folivo::cli
