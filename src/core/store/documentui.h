#pragma once
// How a document reaches the person using it. The core never shows anything itself: the
// GUI answers with window-modal dialogs, the command line with its terminal, tests with
// a scripted fake that records what was shown.

#include <QString>
#include <QStringList>
#include <optional>

namespace folivo {

class IndexItem;

struct Prompt {
    QString title;
    QString text;
    QStringList buttons; // the first is the default button; never empty
};

class DocumentUi {
public:
    virtual ~DocumentUi() = default;

    // Shows a modal question and answers the index of the button chosen, or -1 when the
    // question was dismissed without a choice (treated like the last button, "Cancel").
    virtual int ask(const Prompt& prompt) = 0;
    void alert(const QString& title, const QString& text) { ask({title, text, {QStringLiteral("OK")}}); }

    // The progress sheet: a title, a line of text, an indeterminate indicator. The sheet
    // stays at least `minimumMs` from its start; progressStop waits out the rest.
    virtual void progressStart(const QString& title, const QString& text, int minimumMs) = 0;
    virtual void progressSetText(const QString& text) = 0;
    virtual void progressStop() = 0;

    // A disk error stopped an operation; the GUI shows the disk-error panel.
    virtual void diskError(const QString& step, const QString& path, const QString& detail) = 0;

    // Browser updates; a window without a browser ignores them.
    virtual void reloadBrowser() {}
    virtual void revealItem(const IndexItem* item, bool expand) { (void)item, (void)expand; }
};

// A user interface that shows nothing and answers every question with its default button.
class SilentUi : public DocumentUi {
public:
    int ask(const Prompt&) override { return 0; }
    void progressStart(const QString&, const QString&, int) override {}
    void progressSetText(const QString&) override {}
    void progressStop() override {}
    void diskError(const QString&, const QString&, const QString&) override {}
};

} // namespace folivo
