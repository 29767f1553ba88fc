// folivo-cli: the Folivo core from a terminal. The commands are in commands/, one file each;
// commandline.cpp reads the command line and runs the one named.

#include "commandline.h"
#include "console.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Folivo"));
    folivo::cli::ProcessConsole console;
    const int status = folivo::cli::runCommandLine(app.arguments().mid(1), console);
    console.flushOut();
    return status;
}
