// folivo-cli: the Folivo core from a terminal.
//
// Exit codes: 0 success, 1 the database said no (not found, invalid, refused), 2 usage.

#include "plist/typedjson.h"
#include "store/mydocument.h"
#include "util/tempfolder.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

using namespace folivo;

namespace {

const char* kUsage =
    "Usage: folivo-cli [--rebuild] COMMAND ARGS\n"
    "\n"
    "Commands:\n"
    "  create PATH            create a new database (\".fvdb\" is added when missing)\n"
    "  tree PATH              print the tree, one item a line, indented, kinds marked\n"
    "  show PATH ITEMPATH     print every key of one item with its type, as JSON\n"
    "  dump PATH              print the whole tree with every key and type, as JSON\n"
    "\n"
    "Options:\n"
    "  --rebuild              rebuild the index from the attributes files while opening\n"
    "  -h, --help             show this help\n";

void err(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// The terminal's side of a document: alerts and questions go to stderr; questions take
// their default answer unless the caller decided the answer beforehand.
class TerminalUi : public DocumentUi {
public:
    QString preset; // button to choose for any question that offers it
    int ask(const Prompt& prompt) override
    {
        const int chosen = preset.isEmpty() ? 0 : std::max<int>(0, int(prompt.buttons.indexOf(preset)));
        if (prompt.buttons.size() > 1 || !prompt.title.isEmpty() || !prompt.text.isEmpty()) {
            QString text = prompt.text;
            text.replace('\r', '\n');
            err((prompt.title.isEmpty() ? QString() : prompt.title + ": ") + text);
            if (prompt.buttons.size() > 1)
                err(QStringLiteral("(answered \"%1\")").arg(prompt.buttons.value(chosen)));
        }
        return chosen;
    }
    bool askPassword(const PasswordRequest&, const PasswordCheck&) override { return false; }
    void progressStart(const QString& title, const QString&, int) override
    {
        if (::isatty(2))
            err(title);
    }
    void progressSetText(const QString&) override {}
    void progressStop() override {}
    void diskError(const QString& step, const QString& path, const QString& detail) override
    {
        err(QStringLiteral("Disk error while %1: %2 (%3)").arg(step.toLower(), path, detail));
    }
};

const char* marker(const IndexItem& item)
{
    switch (item.kind()) {
    case ItemKind::Folder: return "/";
    case ItemKind::DateFolder: return "/ [date]";
    case ItemKind::SmartFolder: return " [smart folder]";
    case ItemKind::SmartFile: return " [smart file]";
    case ItemKind::File: return "";
    }
    return "";
}

void printTree(QTextStream& out, const ItemList& items, int level)
{
    for (const auto& item : items) {
        out << QString(level * 2, ' ') << item->name() << marker(*item) << '\n';
        if (item->hasChildren() && !item->isSmartFolder())
            printTree(out, item->children(), level + 1);
    }
}

int openOrFail(MyDocument& doc, const QString& path, bool rebuild)
{
    const OpenResult r = doc.openDatabase(path, {rebuild});
    if (!r.ok()) {
        err(r.message);
        return 1;
    }
    for (const IndexProblem& p : doc.indexProblems())
        err(QStringLiteral("warning: index entry \"%1\" skipped: %2").arg(p.path, p.reason));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Folivo"));
    QStringList args = app.arguments().mid(1);
    bool rebuild = false;
    QStringList positional;
    for (const QString& a : args) {
        if (a == "--rebuild")
            rebuild = true;
        else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a.startsWith("--")) {
            err(QStringLiteral("Unknown option %1.").arg(a));
            std::fputs(kUsage, stderr);
            return 2;
        } else
            positional << a;
    }
    if (positional.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = positional.takeFirst();
    const QHash<QString, int> arity{{"create", 1}, {"tree", 1}, {"show", 2}, {"dump", 1}};
    if (!arity.contains(command) || positional.size() != arity.value(command)) {
        err(arity.contains(command) ? QStringLiteral("Wrong number of arguments for %1.").arg(command)
                                    : QStringLiteral("Unknown command %1.").arg(command));
        std::fputs(kUsage, stderr);
        return 2;
    }

    sweepStaleTempFolders();
    TerminalUi ui;
    if (rebuild)
        ui.preset = QStringLiteral("Rebuild Index");
    MyDocument doc(ui);
    QTextStream out(stdout);

    if (command == "create") {
        const OpenResult r = doc.createDatabase(positional[0]);
        if (!r.ok()) {
            err(r.message);
            return 1;
        }
        out << doc.dbPath() << '\n';
        return 0;
    }
    if (int rc = openOrFail(doc, positional[0], rebuild))
        return rc;
    if (command == "tree") {
        printTree(out, doc.tree().categoriesArray(), 0);
    } else if (command == "dump") {
        plist::Array top;
        for (const auto& item : doc.tree().categoriesArray())
            top.push_back(item->toValue());
        out.flush();
        const QByteArray json = plist::toTypedJson(top);
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fputc('\n', stdout);
    } else if (command == "show") {
        const IndexItem* item = doc.tree().itemForPath(positional[1]);
        if (!item) {
            err(QStringLiteral("There is no item \"%1\" in %2.").arg(positional[1], doc.dbPath()));
            return 1;
        }
        const QByteArray json = plist::toTypedJson(item->keys());
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
