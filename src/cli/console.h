#pragma once
// Where a command's output goes and its input comes from: the process's own standard
// streams and terminal, or buffers when a test runs a command inside its own process.

#include <QByteArray>
#include <QString>

#include <optional>

namespace folivo::cli {

class Console {
public:
    virtual ~Console() = default;

    // Raw bytes to standard output (an item's content); false when they could not be written.
    virtual bool writeOut(const char* data, qsizetype size) = 0;
    virtual bool writeErr(const char* data, qsizetype size) = 0;
    // Pushes out what standard output holds; false when that failed (a full disk, a closed pipe).
    virtual bool flushOut() = 0;
    // The first line of standard input without its line end; nullopt at once at its end.
    virtual std::optional<QByteArray> readInputLine() = 0;
    // Asks the terminal itself (not standard input, which may carry data) with echo off;
    // nullopt when there is no terminal or nothing was typed.
    virtual std::optional<QByteArray> askHidden(const QString& prompt) = 0;
    // Whether standard input, and standard error, are a terminal.
    virtual bool inputIsTerminal() const = 0;
    virtual bool errIsTerminal() const = 0;

    // Text in the locale's encoding, as it is written; `err` ends the line.
    void out(const QString& text);
    void outLine(const QString& text) { out(text + QLatin1Char('\n')); }
    void err(const QString& line);
};

// The process's standard streams (through stdio, so that the order of what is written holds).
class ProcessConsole : public Console {
public:
    bool writeOut(const char* data, qsizetype size) override;
    bool writeErr(const char* data, qsizetype size) override;
    bool flushOut() override;
    std::optional<QByteArray> readInputLine() override;
    std::optional<QByteArray> askHidden(const QString& prompt) override;
    bool inputIsTerminal() const override;
    bool errIsTerminal() const override;
};

// Buffers for a command run inside a test: standard input is `input`, there is no terminal.
class BufferConsole : public Console {
public:
    explicit BufferConsole(QByteArray input = {}) : input_(std::move(input)) {}
    QByteArray out;
    QByteArray err;

    bool writeOut(const char* data, qsizetype size) override;
    bool writeErr(const char* data, qsizetype size) override;
    bool flushOut() override { return true; }
    std::optional<QByteArray> readInputLine() override;
    std::optional<QByteArray> askHidden(const QString&) override { return std::nullopt; }
    bool inputIsTerminal() const override { return false; }
    bool errIsTerminal() const override { return false; }

private:
    QByteArray input_;
    qsizetype read_ = 0;
};

} // namespace folivo::cli
