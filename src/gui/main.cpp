// folivo: the desktop application.
//
//   folivo [--rebuild] [PATH]
//
// Opens the database folder PATH in a window, or shows the start dialog. Setting
// FOLIVO_SCREENSHOT=FILE.png makes the run save a picture of the first window it opens,
// fully expanded, and end (FOLIVO_SCREENSHOT_SELECT=ITEMPATH picks the item selected in
// it); that is how the picture in the documentation is made.

#include "appcontroller.h"
#include "detailspane.h"
#include "itemicons.h"
#include "mainwindow.h"
#include "treemodel.h"

#include "util/tempfolder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

#ifndef FOLIVO_VERSION
#define FOLIVO_VERSION "0"
#endif

using namespace folivo::gui;

namespace {

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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Folivo"));
    QApplication::setOrganizationName(QStringLiteral("folivo"));
    QApplication::setDesktopFileName(QStringLiteral("folivo"));
    QApplication::setApplicationVersion(QStringLiteral(FOLIVO_VERSION));
    // Alerts shown before any window exists (a database that would not open) are windows
    // too; the controller decides when the run is over.
    QApplication::setQuitOnLastWindowClosed(false);
    ItemIcons::ensureIconTheme();
    const QIcon appIcon = QIcon::fromTheme(QStringLiteral("folder-documents"));
    if (!appIcon.isNull())
        QApplication::setWindowIcon(appIcon);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Folivo document organiser"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption rebuild(QStringLiteral("rebuild"),
                               QStringLiteral("Offer to rebuild the index from the attributes files while opening."));
    parser.addOption(rebuild);
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("The database (a .fvdb folder) to open."),
                                 QStringLiteral("[PATH]"));
    parser.process(app);

    // Private temporary folders of runs that ended without cleaning up.
    folivo::sweepStaleTempFolders();

    AppController controller;
    // exit(), not quit(): quit() would first ask every window to close, and the windows
    // that are left (a start dialog on its way out) need not agree to anything.
    QObject::connect(
        &controller, &AppController::finished, &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);

    const QString screenshot = qEnvironmentVariable("FOLIVO_SCREENSHOT");
    if (!screenshot.isEmpty())
        arrangeScreenshot(controller, screenshot);

    const QStringList args = parser.positionalArguments();
    MainWindow* opened = nullptr;
    if (!args.isEmpty()) {
        folivo::OpenOptions options;
        options.rebuildRequested = parser.isSet(rebuild) || rebuildModifierHeld();
        opened = controller.openDatabase(args.first(), options);
    }
    if (!opened) {
        if (!screenshot.isEmpty())
            return 1;
        controller.showStartDialog();
    }
    return app.exec();
}
