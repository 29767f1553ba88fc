#pragma once
// How a document reaches the person using it. The core never shows anything itself: the
// GUI answers with window-modal dialogs, the command line with its terminal, tests with
// a scripted fake that records what was shown.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace folivo {

class IndexItem;

struct Prompt {
    QString title;
    QString text;
    QStringList buttons; // the first is the default button; never empty
};

// The password sheet: a line of text over a hidden-entry field, an error line that appears
// after a refused attempt, and OK / Cancel.
struct PasswordRequest {
    QString title;
    QString text;
    QString errorText;
};
// Tries one typed password; true when it was accepted (the sheet then closes).
using PasswordCheck = std::function<bool(const QString& password)>;

class DocumentUi {
public:
    virtual ~DocumentUi() = default;

    // Shows a modal question and answers the index of the button chosen, or -1 when the
    // question was dismissed without a choice (treated like the last button, "Cancel").
    virtual int ask(const Prompt& prompt) = 0;
    void alert(const QString& title, const QString& text) { ask({title, text, {QStringLiteral("OK")}}); }

    // The progress sheet: a title, a line of text, an indeterminate indicator. The sheet
    // stays at least `minimumMs` from its start. progressStop does not wait for that: the
    // sheet may stay up over the finished work for the rest of the time.
    virtual void progressStart(const QString& title, const QString& text, int minimumMs) = 0;
    virtual void progressSetText(const QString& text) = 0;
    virtual void progressStop() = 0;

    // A disk error stopped an operation; the GUI shows the disk-error panel.
    virtual void diskError(const QString& step, const QString& path, const QString& detail) = 0;

    // Shows the password sheet and hands every attempt to `check`; a refused attempt shows
    // the error line and leaves the sheet up. Answers true once an attempt was accepted,
    // false when the person cancelled. The interface keeps no copy of what was typed.
    virtual bool askPassword(const PasswordRequest& request, const PasswordCheck& check) = 0;

    // Recovery of files found in the package without an item: a save dialog for a new
    // folder (button "Create", `proposedName` filled in); nullopt when cancelled.
    virtual std::optional<QString> chooseRecoveryFolder(const QString& proposedName)
    {
        (void)proposedName;
        return std::nullopt;
    }
    // The password panel of recovery for a file the current key cannot decipher; nullopt
    // when the person chose Cancel (the file is then skipped).
    virtual std::optional<QString> askRecoveryPassword(const QString& prompt)
    {
        (void)prompt;
        return std::nullopt;
    }

    // Browser updates; a window without a browser ignores them.
    virtual void reloadBrowser() {}
    virtual void revealItem(const IndexItem* item, bool expand) { (void)item, (void)expand; }
};

// A user interface that shows nothing and answers every question with its default button.
class SilentUi : public DocumentUi {
public:
    int ask(const Prompt&) override { return 0; }
    bool askPassword(const PasswordRequest&, const PasswordCheck&) override { return false; }
    void progressStart(const QString&, const QString&, int) override {}
    void progressSetText(const QString&) override {}
    void progressStop() override {}
    void diskError(const QString&, const QString&, const QString&) override {}
};

} // namespace folivo
