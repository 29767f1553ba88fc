#pragma once
// Reading the password of an encrypted database: from the terminal without echo, from the
// first line of a file, or from the first line of standard input; never from the command
// line itself, where other users could read it.

#include <QByteArray>
#include <QString>

#include <optional>

namespace folivo::cli {

class Console;

enum class PasswordSource { Terminal, File, Stdin };

struct PasswordOrigin {
    PasswordSource source = PasswordSource::Terminal;
    QString file; // for PasswordSource::File
};

// One password from where `origin` says; nullopt when none could be read (the reason is
// on standard error). `prompt` is what the terminal shows.
std::optional<QByteArray> readPassword(Console& console, const PasswordOrigin& origin, const QString& prompt);

// Overwrites a buffer that held a password before it is freed.
void wipe(QByteArray& bytes);

// The first line of `fd`, without its line end; nullopt at once at the end of input.
std::optional<QByteArray> readLine(int fd);

// Asks the terminal itself (/dev/tty) with echo off; nullopt without a terminal.
std::optional<QByteArray> askTerminal(const QString& prompt);

} // namespace folivo::cli
