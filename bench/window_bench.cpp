// How the database window copes with a large database: showing the tree, Expand All, and
// renaming an item deep in the tree, with the memory the process needs.
//
//   window_bench [--items N] [--dir D] [--keep] [--repeat R]
//
// Builds (or reuses) the same database of N items as open_bench, then measures with warm
// caches, each case in a fresh process (this program started again with an internal
// --measure-* flag) so that its peak resident size (VmHWM) belongs to that case alone:
//   core open      a document opens the package without any window: the anchor;
//   tree shown     from constructing the window, through opening the database, to the
//                  window shown with the tree laid out and painted once;
//   Expand All     the window's command, then the view laid out and painted again;
//   rename         a file four folders deep is selected and renamed through the model
//                  (as the in-place editor does), until the item exists under its new
//                  name, is selected again and the view has painted; once with the tree
//                  as it opened and once after Expand All, where anything that makes the
//                  view lay out every row again (a model reset, a layout change) shows.
// A rename child puts the old name back afterwards and saves, so the package is the same
// for the next case (and for a later run with --dir).
//
// The window runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. The
// exit status is 0 whether or not the targets are met; it is 1 only when something broke
// (the database could not be built, an open or a rename failed, a wait timed out).

#include "browser/itemicons.h"
#include "mainwindow.h"
#include "browser/treemodel.h"

#include "plist/keyedarchive.h"
#include "store/documentui.h"
#include "store/keys.h"
#include "store/months.h"
#include "store/mydocument.h"
#include "util/fs.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace folivo;
using folivo::gui::MainWindow;

namespace {

constexpr char kBenchName[] = "window_bench";

#include "benchcommon.inc"
#include "benchprocess.inc"


double mb(long kb)
{
    return kb < 0 ? -1.0 : double(kb) / 1024.0;
}

#include "syntheticdb.inc"

// ---------------------------------------------------------------------------------------
// The measuring processes. Each prints one line: "result" and name=value pairs.

void printResult(const std::vector<std::pair<const char*, double>>& values)
{
    std::printf("result");
    for (const auto& [name, value] : values)
        std::printf(" %s=%.6f", name, value);
    std::printf(" hwm=%ld\n", statusKb("VmHWM"));
    std::fflush(stdout);
}

int measureCoreOpen(const QString& pkgPath)
{
    SilentUi ui;
    MyDocument doc(ui);
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    const OpenResult r = doc.openDatabase(pkgPath);
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpu0;
    if (!r.ok())
        die(QStringLiteral("cannot open %1: %2").arg(pkgPath, r.message));
    printResult({{"open", seconds}, {"cpu", cpu}, {"items", double(doc.tree().size())}});
    return 0;
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Runs the event loop until `done` holds; dies after `what` took a minute. The condition
// is checked after each batch of events, so a paint seen by a PaintCounter has finished.
void waitUntil(const std::function<bool()>& done, const char* what)
{
    // Something to wake the loop, so that waiting for more events cannot sleep for good.
    QTimer tick;
    tick.start(1);
    const auto start = Clock::now();
    while (!done()) {
        if (secondsSince(start) > 60)
            die(QStringLiteral("timed out waiting for %1").arg(QLatin1String(what)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

// Handles every event already posted (the window's deferred restore, the history), without
// waiting for timers that are not due.
void drainEvents()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// The rows the view shows: every item whose folders above are all expanded.
long visibleRows(const QTreeView* view, const QAbstractItemModel* model, const QModelIndex& parent = {})
{
    long rows = 0;
    const int n = model->rowCount(parent);
    for (int r = 0; r < n; ++r) {
        ++rows;
        const QModelIndex child = model->index(r, 0, parent);
        if (view->isExpanded(child))
            rows += visibleRows(view, model, child);
    }
    return rows;
}

struct Shown {
    double construct = 0; // the MainWindow constructor
    double open = 0;      // openDatabase: the document's open and the window taking it up
    double paint = 0;     // show() until the tree has painted
    double total = 0;
    double cpu = 0;
    double sheetGone = 0; // the open's progress sheet went (it stays up for its minimum time)
};

// Constructs the window, opens the package and shows it, timing each step; the window
// stays in `holder`.
Shown showWindow(const QString& pkgPath, std::unique_ptr<MainWindow>& holder)
{
    Shown s;
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    holder = std::make_unique<MainWindow>();
    MainWindow& w = *holder;
    s.construct = secondsSince(start);
    const OpenResult r = w.openDatabase(pkgPath);
    s.open = secondsSince(start) - s.construct;
    if (!r.ok())
        die(QStringLiteral("the window cannot open %1: %2").arg(pkgPath, r.message));
    if (!w.document().indexProblems().empty())
        die(QStringLiteral("the open left %1 entries of the index out").arg(w.document().indexProblems().size()));
    PaintCounter painted(w.treeView()->viewport());
    w.show();
    waitUntil([&] { return painted.count > 0; }, "the tree to paint");
    s.total = secondsSince(start);
    s.paint = s.total - s.construct - s.open;
    s.cpu = cpuSeconds() - cpu0;
    // Not part of the time to the tree: the person sees the tree as soon as the sheet goes,
    // and the cases that follow start without it.
    waitUntil([&] { return w.documentUi().progressSheet() == nullptr; }, "the progress sheet to go");
    s.sheetGone = secondsSince(start);
    drainEvents();
    return s;
}

QApplication* makeApplication(int& argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says for every window that it cannot do what a window manager
    // does; that is expected and would bury what matters.
    static QtMessageHandler defaultHandler = nullptr;
    defaultHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.startsWith(QLatin1String("This plugin does not support")))
            defaultHandler(type, context, message);
    });
    auto* app = new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Folivo"));
    QApplication::setOrganizationName(QStringLiteral("folivo"));
    QApplication::setQuitOnLastWindowClosed(false);
    gui::ItemIcons::ensureIconTheme();
    return app;
}

int measureShow(const QString& pkgPath)
{
    const long hwmApp = statusKb("VmHWM");
    std::unique_ptr<MainWindow> w;
    const Shown s = showWindow(pkgPath, w);
    printResult({{"construct", s.construct}, {"open", s.open}, {"paint", s.paint}, {"total", s.total}, {"cpu", s.cpu},
                 {"sheet", s.sheetGone}, {"hwmapp", double(hwmApp)}, {"rows", double(visibleRows(w->treeView(), w->model()))}});
    return 0;
}

// Expand All and the layout and paint that follow.
struct Expanded {
    double command = 0; // MainWindow::expandAll
    double total = 0;   // ... and the view laid out and painted
    double cpu = 0;
};

Expanded expandAll(MainWindow& w)
{
    Expanded e;
    QWidget* viewport = w.treeView()->viewport();
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    w.expandAll();
    e.command = secondsSince(start);
    viewport->repaint(); // lays out whatever is still pending, then paints
    drainEvents();
    e.total = secondsSince(start);
    e.cpu = cpuSeconds() - cpu0;
    return e;
}

int measureExpand(const QString& pkgPath)
{
    std::unique_ptr<MainWindow> w;
    showWindow(pkgPath, w);
    const long rowsBefore = visibleRows(w->treeView(), w->model());
    const Expanded e = expandAll(*w);
    const long rows = visibleRows(w->treeView(), w->model());
    if (rows <= rowsBefore)
        die(QStringLiteral("Expand All showed no more rows (%1)").arg(rows));
    printResult({{"command", e.command}, {"total", e.total}, {"cpu", e.cpu}, {"rows", double(rows)}});
    return 0;
}

// The first file four folders deep (a folder inside a folder, a year, a month), in tree order.
QString deepFile(const IndexTree& tree)
{
    QString found;
    tree.forEach([&](IndexItem& item) {
        if (found.isEmpty() && item.isFile() && item.path().count(QLatin1Char('/')) == 4)
            found = item.path();
    });
    if (found.isEmpty())
        die(QStringLiteral("the database has no file four folders deep"));
    return found;
}

struct Renamed {
    double select = 0;  // selectPath
    double exists = 0;  // ... setData, until the item exists under its new name
    double total = 0;   // ... until it is selected again and the view has painted
    double cpu = 0;
    QString newPath;
    // Where the time after setData goes, from the signals on the way:
    double told = 0;     // seconds from start until the model asks for the selection: the
                         // rename in the store and the model telling the views are done
    double inModel = 0;  // seconds inside the model's resets and layout changes (from the
                         // signal before to the signal after), views included
    int resets = 0;      // how the model told the views
    int layouts = 0;
    int dataChanges = 0;
};

// Selects `path` and renames it to `name` the way the in-place editor does.
Renamed selectAndRename(MainWindow& w, const QString& path, const QString& name)
{
    Renamed r;
    gui::TreeModel* model = w.model();
    QStringList requested;
    const QMetaObject::Connection c = QObject::connect(model, &gui::TreeModel::selectRequested, model,
                                                       [&](const QStringList& paths, const QString&) { requested = paths; });
    PaintCounter painted(w.treeView()->viewport());
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    QObject guard; // the connections below end with it
    double changeBegan = 0;
    auto begin = [&] { changeBegan = secondsSince(start); };
    auto end = [&] { r.inModel += secondsSince(start) - changeBegan; };
    QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, &guard, begin);
    QObject::connect(model, &QAbstractItemModel::modelReset, &guard, [&] { end(), ++r.resets; });
    QObject::connect(model, &QAbstractItemModel::layoutAboutToBeChanged, &guard, begin);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, &guard, [&] { end(), ++r.layouts; });
    QObject::connect(model, &QAbstractItemModel::dataChanged, &guard, [&] { ++r.dataChanges; });
    // The paint that counts comes after the model has told the view (it may come before the
    // wait below sees the new name).
    QObject::connect(model, &gui::TreeModel::selectRequested, &guard, [&] {
        r.told = secondsSince(start);
        painted.count = 0;
    });
    if (!w.selectPath(path))
        die(QStringLiteral("cannot select %1").arg(path));
    r.select = secondsSince(start);
    r.inModel = 0;
    r.resets = r.layouts = r.dataChanges = 0;
    const QModelIndex index = model->indexForItem(w.document().tree().itemForPath(path));
    if (!model->setData(index, name))
        die(QStringLiteral("the model refused to rename %1 to %2").arg(path, name));
    waitUntil([&] { return !requested.isEmpty() && w.document().tree().itemForPath(requested.front()); },
              "the renamed item");
    r.exists = secondsSince(start);
    r.newPath = requested.front();
    waitUntil([&] { return w.selectedPaths() == QStringList{r.newPath} && painted.count > 0; },
              "the renamed item to be selected and painted");
    r.total = secondsSince(start);
    r.cpu = cpuSeconds() - cpu0;
    QObject::disconnect(c);
    if (w.document().tree().itemForPath(path))
        die(QStringLiteral("%1 is still there after the rename").arg(path));
    drainEvents();
    return r;
}

int measureRename(const QString& pkgPath, bool expandFirst)
{
    std::unique_ptr<MainWindow> w;
    showWindow(pkgPath, w);
    if (expandFirst)
        expandAll(*w);
    const QString path = deepFile(w->document().tree());
    const Renamed r = selectAndRename(*w, path, QStringLiteral("New name"));

    // The old name back, and the index saved, so the package is as it was.
    const Renamed back = selectAndRename(*w, r.newPath, QFileInfo(path).completeBaseName()); // the extension stays
    if (back.newPath != path)
        die(QStringLiteral("renaming back gave %1, not %2").arg(back.newPath, path));
    // The save that follows is the window's regular work too, but not part of the rename.
    const long hwmRename = statusKb("VmHWM");
    const SaveOutcome saved = w->saveNow(false);
    if (!saved.error.isEmpty())
        die(QStringLiteral("cannot save after the rename: %1").arg(saved.error));
    if (fs::exists(pkgPath + '/' + pkg::Changed))
        die(QStringLiteral("the save after the rename left %1 behind").arg(pkg::Changed));
    printResult({{"select", r.select}, {"exists", r.exists}, {"total", r.total}, {"cpu", r.cpu},
                 {"back", back.total}, {"rows", double(visibleRows(w->treeView(), w->model()))},
                 {"told", r.told}, {"inmodel", r.inModel}, {"resets", double(r.resets)},
                 {"layouts", double(r.layouts)}, {"datachanges", double(r.dataChanges)},
                 {"hwmrename", double(hwmRename)}});
    return 0;
}

// ---------------------------------------------------------------------------------------
// The driving process


// One child's "result" line as name → value ("hwm" in kB).
using Measure = std::map<std::string, double>;

Measure measureInChild(const QString& exe, const char* flag, const QString& pkgPath)
{
    const auto [status, out] = run({native(exe), flag, native(pkgPath)});
    Measure m;
    const int at = out.lastIndexOf("result ");
    if (status == 0 && at >= 0) {
        const QList<QByteArray> fields = out.mid(at + 7).trimmed().split(' ');
        for (const QByteArray& field : fields) {
            const int eq = field.indexOf('=');
            if (eq > 0)
                m[field.left(eq).toStdString()] = field.mid(eq + 1).toDouble();
        }
    }
    if (status != 0 || !m.count("hwm"))
        die(QStringLiteral("%1 failed (status %2): %3").arg(flag).arg(status).arg(QString::fromUtf8(out).trimmed()));
    return m;
}

// The median of one field over the runs of a case.
double mid(const std::vector<Measure>& runs, const char* field)
{
    std::vector<double> v;
    for (const Measure& m : runs)
        v.push_back(m.at(field));
    return median(v);
}

double most(const std::vector<Measure>& runs, const char* field)
{
    double v = 0;
    for (const Measure& m : runs)
        v = std::max(v, m.at(field));
    return v;
}

struct Options {
    qint64 items = 100000;
    QString dir;
    bool keep = false;
    int repeat = 3;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: window_bench [--items N] [--dir D] [--keep] [--repeat R]\n"
                         "  --items N     items in the database (default 100000, at least 100)\n"
                         "  --dir D       build in D (a database already at D/Bench.fvdb is reused)\n"
                         "  --keep        leave the database behind\n"
                         "  --repeat R    measure each case R times (default 3)\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--items")
            o.items = args.number(100);
        else if (a == "--dir")
            o.dir = QString::fromLocal8Bit(args.value());
        else if (a == "--keep")
            o.keep = true;
        else if (a == "--repeat")
            o.repeat = int(args.number(1, 1000));
        else
            usage();
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--measure-core") == 0)
        return measureCoreOpen(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strncmp(argv[1], "--measure-", 10) == 0) {
        const std::string what = argv[1] + 10;
        const QString pkgPath = QString::fromLocal8Bit(argv[2]);
        std::unique_ptr<QApplication> app(makeApplication(argc, argv));
        if (what == "show")
            return measureShow(pkgPath);
        if (what == "expand")
            return measureExpand(pkgPath);
        if (what == "rename")
            return measureRename(pkgPath, false);
        if (what == "rename-expanded")
            return measureRename(pkgPath, true);
        usage();
    }

    const Options opt = parseOptions(argc, argv);
    const QString exe = selfExe();

    bool ownDir = false;
    const QString dir = databaseDir(opt.dir, &ownDir);
    const QString pkgPath = dir + QStringLiteral("/Bench.fvdb");
    // die() removes what this run made.
    if (ownDir)
        g_workDir = dir;

    bool built = false;
    if (fs::exists(pkgPath)) {
        std::printf("Reusing %s\n", qPrintable(pkgPath));
    } else {
        std::printf("Building %lld items in %s ...\n", static_cast<long long>(opt.items), qPrintable(pkgPath));
        std::fflush(stdout);
        const BuildStats stats = buildDatabase(pkgPath, opt.items);
        built = true;
        std::printf("Built %lld items (%lld folders, %lld date folders, %lld files) in %.1f s\n",
                    static_cast<long long>(stats.items), static_cast<long long>(stats.folders),
                    static_cast<long long>(stats.dateFolders), static_cast<long long>(stats.files), stats.seconds);
    }
    // A leftover marker would make every open a rebuild.
    const QString changedMarker = pkgPath + '/' + pkg::Changed;
    if (fs::exists(changedMarker))
        fs::removeFile(changedMarker);
    std::fflush(stdout);

    // Warm the caches: every file of the package once.
    run({"/bin/sh", "-c", "find \"$1\" -type f -print0 | xargs -0 cat > /dev/null", "sh", native(pkgPath)});

    std::vector<Measure> cores, shows, expands, renames, renamesExpanded;
    for (int round = 0; round < opt.repeat; ++round) {
        cores.push_back(measureInChild(exe, "--measure-core", pkgPath));
        shows.push_back(measureInChild(exe, "--measure-show", pkgPath));
        expands.push_back(measureInChild(exe, "--measure-expand", pkgPath));
        renames.push_back(measureInChild(exe, "--measure-rename", pkgPath));
        renamesExpanded.push_back(measureInChild(exe, "--measure-rename-expanded", pkgPath));
        if (fs::exists(changedMarker))
            die(QStringLiteral("a run left %1 behind").arg(pkg::Changed));
        std::printf("  round %d of %d done\n", round + 1, opt.repeat);
        std::fflush(stdout);
    }

    const double core = mid(cores, "open");
    const double shown = mid(shows, "total");
    const double expand = mid(expands, "total");
    const double rename = mid(renames, "total");
    const double renameExpanded = mid(renamesExpanded, "total");
    const double peakWindow = mb(long(std::max({most(shows, "hwm"), most(expands, "hwm"), most(renames, "hwm"),
                                                 most(renamesExpanded, "hwm")})));
    const double peakCore = mb(long(most(cores, "hwm")));

    std::printf("\n%.0f items, median of %d runs each (seconds unless marked), caches warm, %s platform\n",
                cores.front().at("items"), opt.repeat, qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                                              : qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  core open, no window (anchor)   %8.3f   cpu %.3f                                   peak %6.1f MB\n",
                core, mid(cores, "cpu"), peakCore);
    std::printf("  tree shown                      %8.3f   cpu %.3f   constructor %.3f, openDatabase %.3f, show to painted %.3f\n",
                shown, mid(shows, "cpu"), mid(shows, "construct"), mid(shows, "open"), mid(shows, "paint"));
    std::printf("                                             peak %.1f MB (%.1f MB before the window), %.0f rows shown,\n"
                "                                             progress sheet gone at %.3f (it stays up at least 1 s)\n",
                mb(long(most(shows, "hwm"))), mb(long(mid(shows, "hwmapp"))), mid(shows, "rows"), mid(shows, "sheet"));
    std::printf("  Expand All                      %8.3f   cpu %.3f   expandAll() %.3f, %.0f rows shown, peak %.1f MB\n",
                expand, mid(expands, "cpu"), mid(expands, "command"), mid(expands, "rows"), mb(long(most(expands, "hwm"))));
    std::printf("  select and rename, as opened    %8.3f   cpu %.3f   selectPath %.4f, item renamed %.4f, renaming back %.4f, peak %.1f MB\n",
                rename, mid(renames, "cpu"), mid(renames, "select"), mid(renames, "exists"), mid(renames, "back"),
                mb(long(most(renames, "hwm"))));
    std::printf("  select and rename, expanded     %8.3f   cpu %.3f   selectPath %.4f, item renamed %.4f, renaming back %.4f, peak %.1f MB\n",
                renameExpanded, mid(renamesExpanded, "cpu"), mid(renamesExpanded, "select"),
                mid(renamesExpanded, "exists"), mid(renamesExpanded, "back"), mb(long(most(renamesExpanded, "hwm"))));
    // Where a rename's time goes, from the signals on the way.
    auto renameSteps = [](const char* what, const std::vector<Measure>& runs) {
        std::vector<double> op, model, rest;
        for (const Measure& m : runs) {
            op.push_back(m.at("told") - m.at("select") - m.at("inmodel"));
            model.push_back(m.at("inmodel"));
            rest.push_back(m.at("total") - m.at("told"));
        }
        std::printf("    %-18s rename in the store %.4f, model resets and layout changes %.4f (%.0f resets, %.0f layout "
                    "changes, %.0f data changes), selecting, expanding again, layout and paint %.4f\n",
                    what, median(op), median(model), mid(runs, "resets"), mid(runs, "layouts"), mid(runs, "datachanges"),
                    median(rest));
    };
    std::printf("  Steps of a rename after selectPath (medians):\n");
    renameSteps("as opened:", renames);
    renameSteps("after Expand All:", renamesExpanded);
    std::printf("  Peak memory before the save that follows a rename: %.1f MB (as opened), %.1f MB (after Expand All)\n",
                mb(long(most(renames, "hwmrename"))), mb(long(most(renamesExpanded, "hwmrename"))));
    const double peakShown = mb(long(most(shows, "hwm")));
    std::printf("Against the anchor: tree shown %.2f x core open; peak memory with the tree shown %.2f x core open's,\n"
                "  with a save after a rename (the largest of any window process) %.2f x\n",
                core > 0 ? shown / core : 0.0, peakCore > 0 ? peakShown / peakCore : 0.0,
                peakCore > 0 ? peakWindow / peakCore : 0.0);
    std::printf("Targets (medians; memory is the largest peak of any window process):\n");
    std::printf("  tree shown <= 1.5 s                   %8.3f s    %s\n", shown, verdict(shown <= 1.5));
    std::printf("  Expand All <= 2 s                     %8.3f s    %s\n", expand, verdict(expand <= 2.0));
    std::printf("  select and rename <= 100 ms           %8.1f ms   %s\n", rename * 1000, verdict(rename <= 0.1));
    std::printf("  ... after Expand All <= 100 ms        %8.1f ms   %s\n", renameExpanded * 1000,
                verdict(renameExpanded <= 0.1));
    std::printf("  peak memory <= 300 MB                 %8.1f MB   %s\n", peakWindow, verdict(peakWindow <= 300));
    std::fflush(stdout);

    g_workDir.clear();
    if (!opt.keep) {
        if (ownDir)
            fs::deleteTree(dir);
        else if (built)
            fs::deleteTree(pkgPath);
    } else {
        std::printf("\nKept %s\n", qPrintable(pkgPath));
    }
    return 0;
}
