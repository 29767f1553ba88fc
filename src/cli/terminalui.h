#pragma once
// The terminal's side of a document: alerts and questions go to standard error; a question
// takes its default answer unless the command line decided it beforehand, by the question's
// identity.

#include "password.h"

#include "store/documentui.h"
#include "store/repair.h"

#include <QHash>
#include <QStringList>

#include <optional>

namespace folivo::cli {

class Console;

class TerminalUi : public DocumentUi {
public:
    explicit TerminalUi(Console& console) : console_(console) {}

    // Answers decided beforehand: question -> answer (`--rebuild` answers the rebuild question).
    QHash<PromptId, PromptId> answers;
    // The consistency report of an open is decided only when `check --repair` says how;
    // otherwise it is shown and nothing is changed.
    std::optional<RepairChoice> repairChoice;
    QString recoverInto;
    bool reportQuiet = false; // check prints the report itself
    bool reportShown = false;
    QString reportText;
    PasswordOrigin password;

    int ask(const Prompt& prompt) override;
    std::optional<RepairChoice> decideRepair(const Prompt& report, const QList<RepairChoice>& choices) override;
    bool askPassword(const PasswordRequest& request, const PasswordCheck& check) override;
    void progressStart(const QString& title, const QString& text, int minimumMs) override;
    void progressSetText(const QString&) override {}
    void progressStop() override {}
    void diskError(const QString& step, const QString& path, const QString& detail) override;
    std::optional<QString> chooseRecoveryFolder(const QString& proposedName) override;

    // Prints a message of the database unless an alert just said the same thing (a failed
    // import alerts and also answers with its message).
    void report(const QString& message);

private:
    Console& console_;
    QStringList shown_;
};

} // namespace folivo::cli
