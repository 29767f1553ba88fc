#include "commands/support.h"

#include "command.h"
#include "console.h"
#include "terminalui.h"

#include "filing/importpipeline.h"
#include "store/mydocument.h"

#include <QFileInfo>

namespace folivo::cli {

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

int noItem(Console& console, const MyDocument& doc, const QString& path)
{
    console.err(QStringLiteral("There is no item \"%1\" in %2.").arg(path, doc.dbPath()));
    return 1;
}

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

int finishOperation(Invocation& call, MyDocument& doc, TerminalUi& ui, const OperationResult& r,
                    const std::function<QString()>& line)
{
    using Status = OperationResult::Status;
    Console& console = call.console;
    if (r.status == Status::Refused || r.status == Status::Failed) {
        ui.report(r.message.isEmpty() ? QStringLiteral("The change was not made.") : r.message);
        if (r.status == Status::Refused)
            return 1; // nothing changed, nothing to save
    }
    if (r.status == Status::DiskError) {
        // The interface printed the step; the log holds it too.
        console.err(QStringLiteral("The change did not complete; the index will be rebuilt the next time %1 is opened.")
                        .arg(QFileInfo(doc.dbPath()).fileName()));
        return 1;
    }
    if (r.status == Status::Done)
        console.outLine(line());
    else if (r.status == Status::Nothing)
        console.outLine(QStringLiteral("Nothing to change."));
    console.flushOut();
    const SaveOutcome saved = doc.saveChanges(false);
    if (!saved.error.isEmpty()) {
        console.err(QStringLiteral("The database was not completely saved: %1").arg(saved.error));
        console.err(QStringLiteral("The index will be rebuilt the next time %1 is opened.")
                        .arg(QFileInfo(doc.dbPath()).fileName()));
        return 1;
    }
    return r.status == Status::Failed ? 1 : 0;
}

int saveChange(Console& console, MyDocument& doc)
{
    console.flushOut();
    const SaveOutcome saved = doc.saveChanges(false);
    if (!saved.error.isEmpty()) {
        console.err(QStringLiteral("The database was not completely saved: %1").arg(saved.error));
        return 1;
    }
    return 0;
}

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

bool folderOption(Invocation& call, MyDocument& doc, QString* path)
{
    const std::optional<QString>& to = call.options.to;
    if (!to)
        return true;
    bool found = false;
    const IndexItem* target = folderArgument(doc, *to, &found);
    if (!found) {
        noItem(call.console, doc, itemPath(*to));
        return false;
    }
    if (target && !target->isPlainFolder()) {
        call.console.err(QStringLiteral("\"%1\" is not a folder that can hold items.").arg(target->path()));
        return false;
    }
    *path = target ? target->path() : QString();
    return true;
}

bool printImport(Console& console, const ImportOutcome& outcome, const QHash<QString, QString>& typed)
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
        console.outLine(line);
    }
    if (!outcome.logPath.isEmpty())
        console.outLine(QStringLiteral("Import log -> %1").arg(outcome.logPath));
    console.flushOut();
    return allIn;
}

int finishImport(Console& console, MyDocument& doc, const ImportOutcome& outcome, bool allIn)
{
    if (outcome.diskError) {
        console.err(QStringLiteral("The import did not complete; the index will be rebuilt the next time %1 is opened.")
                        .arg(QFileInfo(doc.dbPath()).fileName()));
        return 1;
    }
    const SaveOutcome saved = doc.saveChanges(false);
    if (!saved.error.isEmpty()) {
        console.err(QStringLiteral("The database was not completely saved: %1").arg(saved.error));
        return 1;
    }
    return allIn && !outcome.failed ? 0 : 1;
}

} // namespace folivo::cli
