// store DB FILE: a file or folder from disk stored as it is, without filing.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

#include <QFileInfo>

namespace folivo::cli {
namespace {

class StoreCommand : public DatabaseCommand {
public:
    StoreCommand()
        : DatabaseCommand({"store", UsageGroup::Changing, 70,
                           {{"store DB FILE [--to FOLDER] [--start-date YYYY-MM-DD] [--end-date YYYY-MM-DD]",
                             {"store a file or folder from disk in FOLDER (\"Unfiled\" without",
                              "--to); with an ending date it goes into FOLDER's year and month",
                              "folders; dates are taken as local midnight"}}},
                           2, {"--to", "--start-date", "--end-date"}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const Options& o = call.options;
        const QString& file = call.arguments[1];
        const QFileInfo info(file);
        // A link that leads nowhere is no file either.
        if (!info.exists()) {
            call.console.err(QStringLiteral("There is no file \"%1\".").arg(file));
            return 1;
        }
        QString folder;
        if (o.to) {
            bool found = false;
            const IndexItem* target = folderArgument(doc, *o.to, &found);
            if (!found)
                return noItem(call.console, doc, itemPath(*o.to));
            // The database would quietly store into the folder above a file or smart folder;
            // naming one here is much more likely a slip.
            if (target && (!target->hasChildren() || target->isSmartFolder())) {
                call.console.err(QStringLiteral("\"%1\" is not a folder that can hold items.").arg(target->path()));
                return 1;
            }
            folder = target ? target->path() : QString();
        }
        const OperationResult r =
            doc.recordImport(info.absoluteFilePath(), std::nullopt, folder, -1, o.startDate, o.endDate);
        return finishOperation(call, doc, ui, r,
                               [&] { return QStringLiteral("Stored %1 -> %2").arg(file, r.resultPath); });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(StoreCommand);
} // namespace folivo::cli
