#pragma once
// Running folivo-cli commands: inside the test's own process (most tests: the same command
// line, standard input from a buffer, output and exit status collected), or as a program
// of its own where the process matters (exit status, terminal, locks held by another
// process, the time zone).

#include "commandline.h"
#include "console.h"
#include "support/testsupport.h"

namespace folivo::test {

inline ProcessResult runCli(const QStringList& args, const QByteArray& input = {})
{
    cli::BufferConsole console(input);
    ProcessResult r;
    r.exitCode = cli::runCommandLine(args, console);
    r.out = console.out;
    r.err = console.err;
    return r;
}

inline ProcessResult runCliProcess(const QStringList& args, const QByteArray& input = {})
{
    return run(QStringLiteral(FOLIVO_CLI), args, input);
}

} // namespace folivo::test
