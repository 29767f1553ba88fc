// cp DB PATH --from OTHERDB: an item of another database copied in.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"
#include "terminalui.h"

#include "store/mydocument.h"

#include <QFileInfo>

#include <memory>

namespace folivo::cli {
namespace {

class CpCommand : public DatabaseCommand {
public:
    CpCommand()
        : DatabaseCommand({"cp", UsageGroup::Changing, 60,
                           {{"cp DB PATH --from OTHERDB [--to FOLDER] [--index N]",
                             {"copy an item of OTHERDB into DB (top level without --to)"}}},
                           2, {"--from", "--to", "--index", "--from-password-file", "--from-password-stdin"}},
                          Access::Writing)
    {
    }
    QString checkUsage(const Invocation& call) const override
    {
        return call.options.from ? QString() : QStringLiteral("cp needs --from OTHERDB.");
    }
    // The database it reads from is opened first, as the window has it open before anything
    // is dropped from it. The same package is never opened twice: one process, one document
    // per database.
    int run(Invocation& call) const override
    {
        const Options& o = call.options;
        TerminalUi fromUi(call.console);
        fromUi.password = o.fromPassword;
        std::unique_ptr<MyDocument> source;
        const QString a = QFileInfo(call.arguments[0]).canonicalFilePath();
        const QString b = QFileInfo(*o.from).canonicalFilePath();
        if (a.isEmpty() || a != b) {
            if (o.password.source == PasswordSource::Stdin && o.fromPassword.source == PasswordSource::Stdin) {
                call.console.err(QStringLiteral("Only one of the two databases can read its password from standard input."));
                return 2;
            }
            source = std::make_unique<MyDocument>(fromUi);
            OpenOptions reading;
            reading.forReading = true; // the source is only read
            if (const int rc = openOrFail(call.console, *source, *o.from, reading))
                return rc;
        }
        return withDatabase(call, [&](MyDocument& doc, TerminalUi& ui) { return copy(call, doc, ui, source ? *source : doc); });
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override { return copy(call, doc, ui, doc); }

private:
    // `source` is the database the item comes from: another open document, or `doc` itself.
    static int copy(Invocation& call, MyDocument& doc, TerminalUi& ui, MyDocument& source)
    {
        const QString path = itemPath(call.arguments[1]);
        const std::optional<QString>& to = call.options.to;
        bool found = false;
        const IndexItem* parent = folderArgument(doc, to.value_or(QString()), &found);
        if (!found)
            return noItem(call.console, doc, itemPath(*to));
        const OperationResult r = doc.recordCopyPath(path, source.dbPath(), parent, call.options.index.value_or(-1));
        return finishOperation(call, doc, ui, r, [&] {
            return QStringLiteral("Copied %1 from %2 -> %3").arg(path, source.dbPath(), r.resultPath);
        });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(CpCommand);
} // namespace folivo::cli
