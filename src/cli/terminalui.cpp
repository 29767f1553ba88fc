#include "terminalui.h"

#include "console.h"

namespace folivo::cli {

int TerminalUi::ask(const Prompt& prompt)
{
    int chosen = 0;
    if (const auto it = answers.constFind(prompt.id); it != answers.cend())
        chosen = std::max(0, prompt.buttonFor(*it));
    if (prompt.buttons.size() > 1 || !prompt.title.isEmpty() || !prompt.text.isEmpty()) {
        QString text = prompt.text;
        text.replace('\r', '\n');
        shown_ << prompt.text;
        console_.err((prompt.title.isEmpty() ? QString() : prompt.title + ": ") + text);
        if (prompt.buttons.size() > 1)
            console_.err(QStringLiteral("(answered \"%1\")").arg(prompt.buttons.value(chosen)));
    }
    return chosen;
}

std::optional<RepairChoice> TerminalUi::decideRepair(const Prompt& report, const QList<RepairChoice>& choices)
{
    reportShown = true;
    reportText = report.text;
    reportText.replace('\r', '\n');
    if (repairChoice) {
        if (choices.contains(*repairChoice))
            return repairChoice;
        // With no file to recover, recovering is the same as deleting: the items without
        // files are removed.
        if (*repairChoice == RepairChoice::Recover && choices == QList<RepairChoice>{RepairChoice::Delete})
            return RepairChoice::Delete;
    }
    if (!reportQuiet)
        console_.err(reportText
                     + QStringLiteral("\n(Nothing was changed: \"folivo-cli check --repair=delete\" or "
                                      "\"--repair=recover DIR\" repairs it.)"));
    return std::nullopt;
}

bool TerminalUi::askPassword(const PasswordRequest& request, const PasswordCheck& check)
{
    for (;;) {
        std::optional<QByteArray> typed = readPassword(console_, password, request.text);
        if (!typed)
            return false;
        const bool accepted = check(QString::fromUtf8(*typed));
        wipe(*typed);
        if (accepted)
            return true;
        console_.err(request.errorText);
        // A password from a file or a pipe will not be different the next time.
        if (password.source != PasswordSource::Terminal)
            return false;
    }
}

void TerminalUi::progressStart(const QString& title, const QString&, int)
{
    if (console_.errIsTerminal())
        console_.err(title);
}

void TerminalUi::diskError(const QString& step, const QString& path, const QString& detail)
{
    // The core has logged it already; the step reads "Moving item to", so the path follows.
    console_.err(QStringLiteral("Disk error: %1 %2: %3").arg(step, path, detail));
}

std::optional<QString> TerminalUi::chooseRecoveryFolder(const QString&)
{
    if (recoverInto.isEmpty())
        return std::nullopt;
    return recoverInto;
}

void TerminalUi::report(const QString& message)
{
    if (!message.isEmpty() && !shown_.contains(message)) {
        QString text = message;
        text.replace('\r', '\n');
        console_.err(text);
    }
}

} // namespace folivo::cli
