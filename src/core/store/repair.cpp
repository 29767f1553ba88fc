// The consistency check run at every open: the report, the person's decision between,
// and the repairs (store/repair/).

#include "store/repair.h"

#include "store/messages.h"
#include "store/mydocument.h"
#include "store/repair/consistencycheck.h"
#include "util/debuglog.h"

#include <QDateTime>
#include <QLocale>

namespace folivo {

QStringList ConsistencyReport::buttons() const
{
    if (!foundOrphanedFile)
        return {msg::OK};
    return writable ? QStringList{msg::Recover, msg::Delete} : QStringList{msg::Yes, msg::No};
}

QList<RepairChoice> ConsistencyReport::choices() const
{
    if (!foundOrphanedFile)
        return {RepairChoice::Delete};
    return {RepairChoice::Recover, RepairChoice::Delete};
}

Prompt ConsistencyReport::prompt(const QString& time) const
{
    Prompt p(msg::RepairTitle, msg::RepairHeader.arg(time) + text, buttons());
    p.id = msg::RepairReportPrompt;
    return p;
}

ConsistencyReport checkConsistency(MyDocument& doc)
{
    return ConsistencyCheck(doc).check();
}

void applySilentRepairs(MyDocument& doc, const ConsistencyReport& report, RepairOutcome* outcome)
{
    RepairOutcome ignored;
    ConsistencyCheck(doc).silentRepairs(report, outcome ? *outcome : ignored);
}

RepairOutcome applyConsistencyReport(MyDocument& doc, const ConsistencyReport& report, RepairChoice choice)
{
    MyDocument::BusyScope busy(doc);
    return ConsistencyCheck(doc).apply(report, choice);
}

bool MyDocument::repairDBandFindReminders()
{
    if (!dbOpen_)
        return false;
    BusyScope busy(*this);
    ConsistencyCheck repair(*this);
    repair.noticeOnce();

    const ConsistencyReport report = repair.check();
    remindersFound_ = report.remindersFound;
    if (forReading_) {
        // Shown, so that the reader learns of it, and never acted on.
        repair.notePending(report);
        if (!report.needsDecision())
            return false;
        const QString time = QLocale::c().toString(QDateTime::currentDateTime(), logDateFormat());
        ui_.progressStop();
        ui_.decideRepair(report.prompt(time), report.choices());
        return true;
    }
    RepairOutcome silent;
    repair.silentRepairs(report, silent);
    if (!silent.deleted.isEmpty() || !silent.adopted.isEmpty())
        appendDebugInfo(QStringLiteral("\n\nCheck of %1: %2 plain copies deleted, %3 plain items enciphered")
                            .arg(dbPath_)
                            .arg(silent.deleted.size())
                            .arg(silent.adopted.size()));
    if (!report.needsDecision())
        return false;

    const QString time = QLocale::c().toString(QDateTime::currentDateTime(), logDateFormat());
    ui_.progressStop();
    const std::optional<RepairChoice> choice = ui_.decideRepair(report.prompt(time), report.choices());
    // Closing the report without choosing decides nothing: the same report comes back at
    // the next open, and nothing is deleted meanwhile.
    if (!choice)
        return true;
    repair.apply(report, *choice);
    return true;
}

} // namespace folivo
