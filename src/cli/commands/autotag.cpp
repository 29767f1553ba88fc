// autotag DB [ITEMPATH]...: tags files from the lines of their text that begin with one of
// the database's auto-tagging prefixes.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "attributes/tags.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QFileInfo>

namespace folivo::cli {
namespace {

class AutotagCommand : public DatabaseCommand {
public:
    AutotagCommand()
        : DatabaseCommand({"autotag", UsageGroup::Changing, 81,
                           {{"autotag DB [ITEMPATH]...",
                             {"auto-tag the files given (folders: every file beneath them), or every file",
                              "of the database, by its auto-tagging prefixes; prints each file tagged"}}},
                           -1, {}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const AutoTagSettings settings = autoTagSettingsOf(doc);
        if (!settings.specified()) {
            call.console.err(QStringLiteral("%1 has no auto-tagging prefixes; set them in the window's Auto Tagging "
                                            "dialog.")
                                 .arg(QFileInfo(doc.dbPath()).fileName()));
            return 1;
        }
        std::vector<IndexItem*> items;
        if (call.arguments.size() == 1) {
            for (const auto& top : doc.tree().categoriesArray())
                items.push_back(top.get());
        } else {
            for (qsizetype i = 1; i < call.arguments.size(); ++i) {
                IndexItem* item = doc.tree().itemForPath(itemPath(call.arguments[i]));
                if (!item)
                    return noItem(call.console, doc, call.arguments[i]);
                items.push_back(item);
            }
        }
        int tagged = 0;
        OperationResult r;
        for (const QString& path : filesToAutoTag(items)) {
            IndexItem* file = doc.tree().itemForPath(path);
            if (!file)
                continue;
            const AutoTagOutcome outcome = autoTagItem(doc, *file, settings);
            if (outcome == AutoTagOutcome::Tagged) {
                ++tagged;
                call.console.outLine(QStringLiteral("%1: %2").arg(path, tagsOf(*file).join(QStringLiteral(", "))));
            } else if (outcome == AutoTagOutcome::Refused) {
                r.status = OperationResult::Status::DiskError;
                break;
            }
        }
        if (r.status != OperationResult::Status::DiskError && tagged > 0)
            r.status = OperationResult::Status::Done;
        return finishOperation(call, doc, ui, r, [&] {
            return tagged == 1 ? QStringLiteral("1 file tagged") : QStringLiteral("%1 files tagged").arg(tagged);
        });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(AutotagCommand);
} // namespace folivo::cli
