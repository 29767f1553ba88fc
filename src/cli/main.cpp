// folivo-cli: the Folivo core from a terminal. The commands are in commands/, one file each;
// commandline.cpp reads the command line and runs the one named.

#include "commandline.h"
#include "console.h"

#include "debuginfo/debuginfo.h"
#include "debuginfo/runlog.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Folivo"));
    // What Qt and Folivo say goes to the run log too, for the debugging information. No
    // command logs a password, a user ID or deciphered text, so none reaches the file.
    folivo::installRunLog(folivo::folivoLogsFolder());
    folivo::cli::ProcessConsole console;
    const int status = folivo::cli::runCommandLine(app.arguments().mid(1), console);
    console.flushOut();
    return status;
}
