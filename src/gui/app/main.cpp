// folivo: the desktop application.
//
//   folivo [--rebuild] [FILE...]
//   folivo --reminder ID
//
// A FILE ending in ".fvdb" is a database to open; any other is imported into the database
// in front. Without files the database used last is opened, else the start dialog shown.
// While Folivo runs, a later "folivo FILE..." hands its files to the running program and
// ends (FOLIVO_SEPARATE_INSTANCE=1 runs it on its own instead). "--reminder ID" is how a
// clicked reminder notification reaches Folivo when `folivo-cli notify-due` showed it: the
// database of the notification opens at its folder, if the schedule holds the identifier.
//
// Setting FOLIVO_SCREENSHOT=FILE.png makes the run save a picture of the first window it
// opens, fully expanded, and end (FOLIVO_SCREENSHOT_SELECT=ITEMPATH picks the item selected
// in it); that is how the picture in the documentation is made. Such a run is always a
// program of its own.

#include "app/appcontroller.h"
#include "browser/itemicons.h"
#include "mainwindow.h"
#include "app/singleinstance.h"
#include "app/help.h"
#include "browser/treemodel.h"

#include "debuginfo/debuginfo.h"
#include "debuginfo/runlog.h"
#include "prefs/ktprefs.h"
#include "prefs/messages.h"
#include "prefs/prefkeys.h"
#include "prefs/launchdefaults.h"
#include "util/tempfolder.h"
#include "folivo-config.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <memory>
#include <optional>


using namespace folivo::gui;

namespace {

// The store's identifier: the same file the command-line program reads.
const QString kApplicationId = folivo::prefkeys::ApplicationId;

void arrangeScreenshot(AppController& controller, const QString& file)
{
    QObject::connect(&controller, &AppController::windowOpened, &controller, [&controller, file](MainWindow* window) {
        window->resize(1000, 650);
        window->expandAll();
        const QString select = qEnvironmentVariable("FOLIVO_SCREENSHOT_SELECT");
        const auto& top = window->document().tree().categoriesArray();
        if (!window->selectPath(select) && !top.empty())
            window->selectPath(top.front()->path());
        // Let the window settle (layout, icons, the status bar) before taking the picture.
        QTimer::singleShot(600, window, [&controller, window, file] {
            const bool saved = window->grab().save(file);
            if (!saved)
                std::fprintf(stderr, "folivo: cannot write %s\n", qPrintable(file));
            controller.quit();
        });
    });
}

} // namespace

int main(int argc, char** argv)
{
    // Before the application object, so that what Qt says while starting is kept too. The
    // run log holds no secrets: nothing in Folivo logs a password, a user ID or deciphered
    // text.
    folivo::installRunLog(folivo::folivoLogsFolder());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Folivo"));
    QApplication::setOrganizationName(QStringLiteral("folivo"));
    QApplication::setDesktopFileName(QStringLiteral("folivo"));
    QApplication::setApplicationVersion(QStringLiteral(FOLIVO_VERSION_STRING));
    // Alerts shown before any window exists (a database that would not open) are windows
    // too; the controller decides when the run is over.
    QApplication::setQuitOnLastWindowClosed(false);
    ItemIcons::ensureIconTheme();
    // The installed icon of the package (hicolor), else the theme's document folder.
    const QIcon appIcon = QIcon::fromTheme(QStringLiteral("folivo"), QIcon::fromTheme(QStringLiteral("folder-documents")));
    if (!appIcon.isNull())
        QApplication::setWindowIcon(appIcon);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Folivo document organiser"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption rebuild(QStringLiteral("rebuild"),
                               QStringLiteral("Offer to rebuild the index from the attributes files while opening."));
    parser.addOption(rebuild);
    QCommandLineOption reminder(QStringLiteral("reminder"),
                                QStringLiteral("Show the folder of a clicked reminder notification."),
                                QStringLiteral("ID"));
    parser.addOption(reminder);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A database (a .fvdb folder) to open, or files to import."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);

    const QString screenshot = qEnvironmentVariable("FOLIVO_SCREENSHOT");
    const QStringList args = parser.positionalArguments();

    // A program is running already: it takes the files (or just comes forward) and this
    // launch ends before it touches anything.
    std::unique_ptr<SingleInstance> instance;
    if (screenshot.isEmpty() && !SingleInstance::disabledByEnvironment()) {
        instance = std::make_unique<SingleInstance>();
        if (parser.isSet(reminder) ? instance->handOverReminder(parser.value(reminder)) : instance->handOver(args))
            return 0;
        if (!instance->listen())
            std::fprintf(stderr, "folivo: cannot listen for later launches at %s\n", qPrintable(instance->name()));
    }

    // Private temporary folders of runs that ended without cleaning up.
    folivo::sweepStaleTempFolders();

    // A picture for the documentation leaves the person's preferences as they were (no
    // launch defaults, no "Last DB File").
    std::optional<QString> firstRun;
    std::optional<folivo::KTPrefs> prefs;
    if (screenshot.isEmpty()) {
        // Whether this is the first run is decided before anything writes the store.
        firstRun = folivo::firstRunPrompt(kApplicationId);
        prefs.emplace(kApplicationId);
        folivo::applyLaunchDefaults(*prefs);
        if (!prefs->synchronize())
            std::fprintf(stderr, "folivo: cannot write the preferences to %s\n", qPrintable(prefs->prefsPath()));
    }

    AppController controller(prefs ? &*prefs : nullptr);
    // exit(), not quit(): quit() would first ask every window to close, and the windows
    // that are left (a start dialog on its way out) need not agree to anything.
    QObject::connect(
        &controller, &AppController::finished, &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    if (instance)
        QObject::connect(instance.get(), &SingleInstance::pathsReceived, &controller,
                         [&controller](const QStringList& paths) {
                             controller.openFiles(paths);
                             controller.bringToFront();
                         });
    if (instance)
        QObject::connect(instance.get(), &SingleInstance::reminderReceived, &controller,
                         [&controller](const QString& identifier) {
                             controller.openReminder(identifier, false);
                             controller.bringToFront();
                         });

    if (!screenshot.isEmpty())
        arrangeScreenshot(controller, screenshot);
    else {
        controller.checkBackupFolder();
        if (firstRun)
            controller.alert(folivo::launchmsg::FirstRunTitle, *firstRun);
    }

    folivo::OpenOptions options;
    options.rebuildRequested = parser.isSet(rebuild) || rebuildModifierHeld();
    if (!screenshot.isEmpty()) {
        // The picture is of the database named, never of whatever was open last.
        if (args.isEmpty() || !controller.openDatabase(args.first(), options))
            return 1;
    } else {
        controller.startReminders();
        controller.startHotKeys();
        if (parser.isSet(reminder))
            controller.openReminder(parser.value(reminder), true);
        else
            controller.launch(args, options);
    }
    const int status = app.exec();
    // Windows close through the controller; anything still open (a session that ended)
    // goes now, saving as it closes.
    controller.quit();
    // After every database has closed: the help viewer goes too, if it shows our book.
    folivo::gui::terminateHelp();
    return status;
}
