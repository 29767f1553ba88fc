// file-as DB NAME: where the filing rules would put a file, without changing anything.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "filing/filingrules.h"
#include "find/filetext.h"
#include "store/months.h"
#include "store/mydocument.h"

#include <QFileInfo>

namespace folivo::cli {
namespace {

class FileAsCommand : public DatabaseCommand {
public:
    FileAsCommand()
        : DatabaseCommand({"file-as", UsageGroup::Filing, 20,
                           {{"file-as DB NAME [--text-file F] [--to FOLDER]",
                             {"show where a file named NAME would be filed and with which",
                              "dates; F gives the file's text (a PDF, RTF or text file)"}}},
                           2, {"--text-file", "--to"}},
                          Access::Reading)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        const Options& o = call.options;
        const QString& name = call.arguments[1];
        QString selection;
        if (!folderOption(call, doc, &selection))
            return 1;
        std::optional<QString> text;
        if (o.textFile) {
            if (!QFileInfo::exists(*o.textFile)) {
                call.console.err(QStringLiteral("There is no file \"%1\".").arg(*o.textFile));
                return 1;
            }
            text = textOfFile(QFileInfo(*o.textFile).absoluteFilePath());
            if (!text)
                call.console.err(QStringLiteral("(\"%1\" has no text that can be read.)").arg(*o.textFile));
        }
        FilingInput input;
        input.fileName = name;
        input.target = selection.isEmpty() ? doc.tree().itemForPath(QStringLiteral("Unfiled"))
                                           : doc.tree().itemForPath(selection);
        input.text = [&] { return text; };
        const FilingDecision d = fileOne(doc.tree(), input, FilingPreferences::from(&call.applicationPrefs()));
        QString where = d.folder ? d.folder->path() : QStringLiteral("Unfiled");
        if (d.end && where != QStringLiteral("Unfiled"))
            where += QStringLiteral("/%1/%2").arg(d.end->year()).arg(KTMonths::nameOf(d.end->month()));
        QString how = d.rule.isEmpty() ? QStringLiteral("no rule chose a folder") : QStringLiteral("by %1").arg(d.rule);
        if (d.datesFromText)
            how += QStringLiteral(", dates from the text");
        call.console.outLine(QStringLiteral("%1 -> %2/%3%4 (%5)").arg(name, where, name, datesText(d.start, d.end), how));
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(FileAsCommand);
} // namespace folivo::cli
