// tag DB ITEMPATH [--add TAG]... [--remove TAG]...: a file's tags, listed or changed.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "attributes/tags.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class TagCommand : public DatabaseCommand {
public:
    TagCommand()
        : DatabaseCommand({"tag", UsageGroup::Changing, 80,
                           {{"tag DB ITEMPATH [--add TAG]... [--remove TAG]...",
                             {"list a file's tags, one per line, or add and remove some; a tag the file",
                              "has already is not added twice"}}},
                           2, {"--add", "--remove"}},
                          Access::Writing)
    {
    }
    QString checkUsage(const Invocation& call) const override
    {
        for (const QString& t : call.options.addTags)
            if (t.trimmed().isEmpty())
                return QStringLiteral("--add needs a tag, not an empty text.");
        return {};
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const QString path = itemPath(call.arguments[1]);
        const IndexItem* item = doc.tree().itemForPath(path);
        if (!item)
            return noItem(call.console, doc, call.arguments[1]);
        if (!item->isFile() || item->isSmartFile()) {
            call.console.err(QStringLiteral("%1 is not a file: only files carry tags.").arg(path));
            return 1;
        }
        const QStringList before = tagsOf(*item);
        if (!changes(call)) {
            for (const QString& t : before)
                call.console.outLine(t);
            return 0;
        }
        QStringList after = before;
        for (const QString& t : call.options.removeTags)
            after.removeAll(t);
        for (const QString& typed : call.options.addTags) {
            const QString t = typed.trimmed();
            if (!after.contains(t))
                after << t;
        }
        OperationResult r;
        if (after != before) {
            r.status = setTags(doc, path, after) ? OperationResult::Status::Done : OperationResult::Status::DiskError;
        }
        return finishOperation(call, doc, ui, r, [&] {
            return after.isEmpty() ? QStringLiteral("%1 has no tags").arg(path)
                                   : QStringLiteral("%1: %2").arg(path, after.join(QStringLiteral(", ")));
        });
    }

protected:
    Access access(const Invocation& call) const override { return changes(call) ? Access::Writing : Access::Reading; }

private:
    static bool changes(const Invocation& call)
    {
        return !call.options.addTags.isEmpty() || !call.options.removeTags.isEmpty();
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(TagCommand);
} // namespace folivo::cli
