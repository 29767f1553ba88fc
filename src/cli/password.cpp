#include "password.h"

#include "console.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace folivo::cli {

std::optional<QByteArray> readPassword(Console& console, const PasswordOrigin& origin, const QString& prompt)
{
    switch (origin.source) {
    case PasswordSource::File: {
        const int fd = ::open(QFile::encodeName(origin.file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            console.err(QStringLiteral("The password file \"%1\" cannot be read: %2")
                            .arg(origin.file, QString::fromLocal8Bit(std::strerror(errno))));
            return std::nullopt;
        }
        auto line = readLine(fd);
        ::close(fd);
        return line;
    }
    case PasswordSource::Stdin:
        return console.readInputLine();
    case PasswordSource::Terminal:
        break;
    }
    auto typed = console.askHidden(prompt);
    if (!typed && !console.inputIsTerminal())
        console.err(QStringLiteral("No terminal to ask for the password on: use --password-file or --password-stdin."));
    return typed;
}

void wipe(QByteArray& bytes)
{
    volatile char* p = bytes.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        p[i] = 0;
    bytes.clear();
}

std::optional<QByteArray> readLine(int fd)
{
    QByteArray line;
    char c = 0;
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        any = true;
        if (c == '\n')
            break;
        line.append(c);
    }
    if (!any)
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

namespace {

// The terminal's settings while a password is typed, put back by a signal that ends the
// program at the prompt (Ctrl-C, a hang-up, kill): otherwise the shell is left without echo.
int gQuietTty = -1;
termios gSavedTerminal {};
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreTerminalAndEnd(int sig)
{
    if (gQuietTty >= 0) {
        ::tcsetattr(gQuietTty, TCSAFLUSH, &gSavedTerminal);
        [[maybe_unused]] ssize_t w = ::write(gQuietTty, "\n", 1);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

std::optional<QByteArray> askTerminal(const QString& prompt)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0)
        return std::nullopt;
    termios saved {};
    const bool isTerminal = ::tcgetattr(tty, &saved) == 0;
    struct sigaction previous[std::size(kEndingSignals)] {};
    if (isTerminal) {
        gSavedTerminal = saved;
        gQuietTty = tty;
        struct sigaction restore {};
        restore.sa_handler = restoreTerminalAndEnd;
        sigemptyset(&restore.sa_mask);
        for (size_t i = 0; i < std::size(kEndingSignals); ++i)
            ::sigaction(kEndingSignals[i], &restore, &previous[i]);
        // Echo goes off before the prompt shows, so that nothing typed after it is echoed.
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    const QByteArray text = prompt.toLocal8Bit() + ' ';
    [[maybe_unused]] ssize_t w = ::write(tty, text.constData(), size_t(text.size()));
    auto line = readLine(tty);
    if (isTerminal) {
        ::tcsetattr(tty, TCSAFLUSH, &saved);
        gQuietTty = -1;
        for (size_t i = 0; i < std::size(kEndingSignals); ++i)
            ::sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
    if (!line)
        w = ::write(tty, "\n", 1);
    ::close(tty);
    return line;
}

} // namespace folivo::cli
