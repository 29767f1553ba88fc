#pragma once
// The window side of a document: questions, alerts, the progress sheet, the password
// dialog and the disk-error panel as window-modal dialogs over the document's window, and
// the browser updates.

#include "store/documentui.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <functional>

class QAbstractButton;
class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace folivo::gui {

class TreeModel;

// Texts from the store mark line breaks with "\r"; widgets want "\n".
QString displayText(QString text);

// Fills `box` with the prompt: its buttons in order, the first the default, the last the
// one Escape chooses. Answers the buttons in prompt order.
QList<QAbstractButton*> setUpQuestion(QMessageBox& box, const Prompt& prompt);
// The prompt's answer for the box after it was shown: the index of the button clicked,
// or -1 when it was closed without one.
int answerOf(const QMessageBox& box, const QList<QAbstractButton*>& buttons);

// An indeterminate progress bar under a title and a line of text; no buttons.
class ProgressSheet : public QDialog {
    Q_OBJECT
public:
    explicit ProgressSheet(QWidget* parent);
    void setTitle(const QString& title);
    void setText(const QString& text);
    QString title() const;
    QString text() const;
    // Long work that can be stopped shows a Stop button; Escape stops it too.
    void setStopHandler(std::function<void()> stop);
    QPushButton* stopButton() const { return stopButton_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* title_;
    QLabel* text_;
    QProgressBar* bar_;
    QPushButton* stopButton_;
    std::function<void()> stop_;
};

class QtDocumentUi : public DocumentUi {
public:
    // `window` is the document's window; dialogs are modal to it once it is visible, and
    // to the whole application before (while a database is still being checked).
    explicit QtDocumentUi(QWidget* window = nullptr);
    ~QtDocumentUi() override;

    void attachBrowser(TreeModel* model, QTreeView* view);

    int ask(const Prompt& prompt) override;
    bool askPassword(const PasswordRequest& request, const PasswordCheck& check) override;
    void progressStart(const QString& title, const QString& text, int minimumMs) override;
    void progressSetText(const QString& text) override;
    void progressStop() override;
    void diskError(const QString& step, const QString& path, const QString& detail) override;
    std::optional<QString> chooseRecoveryFolder(const QString& proposedName) override;
    std::optional<QString> askRecoveryPassword(const QString& prompt) override;
    void reloadBrowser() override;
    void revealItem(const IndexItem* item, bool expand) override;

    ProgressSheet* progressSheet() const { return sheet_; }
    // While set, progress sheets offer to stop the work through `stop`.
    void setStopHandler(std::function<void()> stop);
    // Whether the store is waiting on this interface (a question, a panel, the password):
    // its document is in the middle of a step then. A sheet staying up for the rest of
    // its minimum time after its work is done does not count.
    bool busy() const { return waiting_ > 0; }

private:
    QWidget* dialogParent() const;
    static void paintNow();
    // A sheet whose work is done but whose minimum time is not over goes now: something
    // else is about to be shown over the window.
    void dismissStoppedSheet();

    QPointer<QWidget> window_;
    QPointer<TreeModel> model_;
    QPointer<QTreeView> view_;
    QPointer<ProgressSheet> sheet_;
    QElapsedTimer sheetClock_;
    qint64 sheetMinimumMs_ = 0;
    // Set between progressStop and the end of the sheet's minimum time.
    bool sheetStopped_ = false;
    // Counts the stops, so that the end of an earlier stop's minimum time does not take
    // away a sheet that was started again since.
    int sheetStops_ = 0;
    bool modelSuspended_ = false;
    int waiting_ = 0;
    std::function<void()> stop_;
};

} // namespace folivo::gui
