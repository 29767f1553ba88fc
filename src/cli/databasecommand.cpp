#include "databasecommand.h"

#include "console.h"
#include "terminalui.h"

#include "logins/recentwebsitelist.h"
#include "store/messages.h"
#include "store/mydocument.h"

namespace folivo::cli {

QStringList DatabaseCommand::commonOptions() const
{
    return {QStringLiteral("--rebuild"), QStringLiteral("--password-file"), QStringLiteral("--password-stdin")};
}

int DatabaseCommand::run(Invocation& call) const
{
    return withDatabase(call, [&](MyDocument& doc, TerminalUi& ui) { return runOn(call, doc, ui); });
}

int DatabaseCommand::withDatabase(Invocation& call, const std::function<int(MyDocument&, TerminalUi&)>& body) const
{
    TerminalUi ui(call.console);
    ui.password = call.options.password;
    if (call.options.rebuild)
        ui.answers.insert(msg::RebuildIndexPrompt, msg::RebuildIndexAnswer);
    prepare(call, ui);

    // Commands that only read open the database for reading: a shared lock, and nothing in
    // the package changes; what an open for writing would repair is said instead. The
    // others hold the database for themselves until they end.
    OpenOptions options;
    options.rebuildRequested = call.options.rebuild;
    options.forReading = access(call) == Access::Reading;
    MyDocument doc(ui);
    if (const int rc = openOrFail(call.console, doc, call.arguments.value(0), options))
        return rc;
    // The window's menu of recent websites follows its folders here too.
    RecentWebsiteList recentWebsites(doc);
    if (options.forReading && listsPendingRepairs()) {
        const QByteArray notes = pendingRepairs(doc).toLocal8Bit();
        call.console.writeErr(notes.constData(), notes.size());
    }
    return body(doc, ui);
}

int openOrFail(Console& console, MyDocument& doc, const QString& path, const OpenOptions& options)
{
    const OpenResult r = doc.openDatabase(path, options);
    if (!r.ok()) {
        console.err(r.message);
        return 1;
    }
    for (const IndexProblem& p : doc.indexProblems())
        console.err(QStringLiteral("warning: index entry \"%1\" skipped: %2").arg(p.path, p.reason));
    return 0;
}

QString pendingRepairs(const MyDocument& doc)
{
    if (doc.pendingRepairs().isEmpty())
        return {};
    QString text = msg::PendingRepairsIntro + '\n';
    for (const QString& what : doc.pendingRepairs())
        text += QStringLiteral("  - ") + what + '\n';
    return text;
}

} // namespace folivo::cli
