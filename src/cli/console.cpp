#include "console.h"

#include "password.h"

#include <cstdio>
#include <unistd.h>

namespace folivo::cli {

void Console::out(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    writeOut(bytes.constData(), bytes.size());
}

void Console::err(const QString& line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    writeErr(bytes.constData(), bytes.size());
}

bool ProcessConsole::writeOut(const char* data, qsizetype size)
{
    return std::fwrite(data, 1, size_t(size), stdout) == size_t(size);
}

bool ProcessConsole::writeErr(const char* data, qsizetype size)
{
    // What goes to standard error follows what was written to standard output before it.
    std::fflush(stdout);
    return std::fwrite(data, 1, size_t(size), stderr) == size_t(size);
}

bool ProcessConsole::flushOut()
{
    return std::fflush(stdout) == 0;
}

std::optional<QByteArray> ProcessConsole::readInputLine()
{
    return readLine(STDIN_FILENO);
}

std::optional<QByteArray> ProcessConsole::askHidden(const QString& prompt)
{
    return askTerminal(prompt);
}

bool ProcessConsole::inputIsTerminal() const
{
    return ::isatty(STDIN_FILENO) != 0;
}

bool ProcessConsole::errIsTerminal() const
{
    return ::isatty(STDERR_FILENO) != 0;
}

bool BufferConsole::writeOut(const char* data, qsizetype size)
{
    out.append(data, size);
    return true;
}

bool BufferConsole::writeErr(const char* data, qsizetype size)
{
    err.append(data, size);
    return true;
}

std::optional<QByteArray> BufferConsole::readInputLine()
{
    if (read_ >= input_.size())
        return std::nullopt;
    qsizetype end = input_.indexOf('\n', read_);
    const qsizetype next = end < 0 ? input_.size() : end + 1;
    if (end < 0)
        end = input_.size();
    QByteArray line = input_.mid(read_, end - read_);
    read_ = next;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace folivo::cli
