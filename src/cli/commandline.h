#pragma once
// folivo-cli's command line: the options, the command and its arguments, checked against
// the registered commands, then the command run. Everything goes through `console`, so
// that a test can run a command inside its own process.
//
// Exit codes: 0 success, 1 the database said no (not found, invalid, refused), 2 usage,
// 3 check found something that does not agree.

#include <QStringList>

namespace folivo::cli {

class Console;

// `args` without the program's name.
int runCommandLine(const QStringList& args, Console& console);

} // namespace folivo::cli
