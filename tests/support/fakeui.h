#pragma once
// A DocumentUi for tests: records everything shown and answers questions from a script.

#include "store/documentui.h"
#include "store/repair.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace folivo::test {

class FakeUi : public DocumentUi {
public:
    // Answers by question: the answer chosen; questions without one get their default.
    QHash<PromptId, PromptId> answers;
    // The decision on the consistency report of an open; without one, its default button.
    std::optional<RepairChoice> repairChoice;
    bool closeRepairReport = false; // the report is closed without a decision
    QList<Prompt> asked;
    QStringList progressTitles;
    QList<int> progressMinimums;
    QStringList diskErrors;
    int reloads = 0;
    // Passwords typed into the sheet, in order; when they run out the sheet is cancelled.
    QStringList passwords;
    QList<PasswordRequest> passwordSheets; // each sheet shown
    int passwordAttempts = 0;
    int passwordErrorsShown = 0;
    // Recovery: the folder chosen in the save dialog (none: cancelled) and the passwords
    // typed into the recovery password panel, in order (when they run out: Cancel).
    std::optional<QString> recoveryFolder;
    QStringList recoveryFolderProposals;
    QStringList recoveryPasswords;
    QStringList recoveryPrompts;
    QStringList progressTexts;

    int ask(const Prompt& prompt) override
    {
        // Every question the store asks can be told apart from the others without its words.
        if (prompt.id.isNull())
            ADD_FAILURE() << "a question without an identity: " << prompt.title.toStdString() << " / "
                          << prompt.text.left(60).toStdString();
        asked << prompt;
        const auto it = answers.find(prompt.id);
        if (it == answers.end())
            return 0;
        if (prompt.buttonFor(*it) < 0)
            ADD_FAILURE() << "question " << std::string(prompt.id.name()) << " has no answer "
                          << std::string(it->name());
        return prompt.buttonFor(*it);
    }
    std::optional<RepairChoice> decideRepair(const Prompt& report, const QList<RepairChoice>& choices) override
    {
        asked << report;
        if (closeRepairReport)
            return std::nullopt;
        if (!repairChoice)
            return choices.value(0);
        if (!choices.contains(*repairChoice))
            return std::nullopt;
        return repairChoice;
    }
    bool askPassword(const PasswordRequest& request, const PasswordCheck& check) override
    {
        passwordSheets << request;
        while (!passwords.isEmpty()) {
            ++passwordAttempts;
            if (check(passwords.takeFirst()))
                return true;
            ++passwordErrorsShown;
        }
        return false;
    }
    void progressStart(const QString& title, const QString& text, int minimumMs) override
    {
        progressTitles << (text.isEmpty() ? title : title + " | " + text);
        progressMinimums << minimumMs;
    }
    void progressSetText(const QString& text) override { progressTexts << text; }
    std::optional<QString> chooseRecoveryFolder(const QString& proposedName) override
    {
        recoveryFolderProposals << proposedName;
        return recoveryFolder;
    }
    std::optional<QString> askRecoveryPassword(const QString& prompt) override
    {
        recoveryPrompts << prompt;
        if (recoveryPasswords.isEmpty())
            return std::nullopt;
        return recoveryPasswords.takeFirst();
    }
    void progressStop() override {}
    void diskError(const QString& step, const QString& path, const QString&) override
    {
        diskErrors << step + ": " + path;
    }
    void reloadBrowser() override { ++reloads; }

    QStringList titles() const
    {
        QStringList t;
        for (const Prompt& p : asked)
            t << (p.title.isEmpty() ? p.text.left(40) : p.title);
        return t;
    }
};

} // namespace folivo::test
