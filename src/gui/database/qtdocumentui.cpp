#include "qtdocumentui.h"

#include "database/passwordsheet.h"
#include "browser/treemodel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace folivo::gui {

QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace('\r', '\n');
    return text;
}

namespace {

// Rich text built from plain parts, so that a path or a name with "<" or "&" in it shows
// as written instead of being read as markup.
QString html(const QString& plain)
{
    return displayText(plain).toHtmlEscaped().replace('\n', QStringLiteral("<br>"));
}

QString messageHtml(const QString& heading, const QString& body)
{
    QString out;
    if (!heading.isEmpty())
        out += QStringLiteral("<p><b>%1</b></p>").arg(html(heading));
    if (!body.isEmpty())
        out += QStringLiteral("<p>%1</p>").arg(html(body));
    return out;
}

// Counts a wait on the person or the clock for the length of a scope.
class Waiting {
public:
    explicit Waiting(int& count) : count_(count) { ++count_; }
    ~Waiting() { --count_; }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    int& count_;
};

} // namespace

QList<QAbstractButton*> setUpQuestion(QMessageBox& box, const Prompt& prompt)
{
    box.setWindowTitle(prompt.title.isEmpty() ? QApplication::applicationName() : prompt.title);
    box.setTextFormat(Qt::RichText);
    box.setText(messageHtml(prompt.title, prompt.text));
    box.setIcon(prompt.buttons.size() > 1 ? QMessageBox::Question : QMessageBox::Warning);

    const QStringList labels = prompt.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : prompt.buttons;
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        if (i == 0)
            role = QMessageBox::AcceptRole;
        else if (i == labels.size() - 1)
            role = QMessageBox::RejectRole;
        buttons << box.addButton(labels[i], role);
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    box.setEscapeButton(buttons.last());
    return buttons;
}

int answerOf(const QMessageBox& box, const QList<QAbstractButton*>& buttons)
{
    QAbstractButton* clicked = box.clickedButton();
    return clicked ? int(buttons.indexOf(clicked)) : -1;
}

// ---------------------------------------------------------------------------------------

ProgressSheet::ProgressSheet(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      title_(new QLabel(this)),
      text_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      stopButton_(new QPushButton(QObject::tr("Stop"), this))
{
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    setWindowTitle(QApplication::applicationName());
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    title_->setTextFormat(Qt::PlainText);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    bar_->setRange(0, 0); // indeterminate
    bar_->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(bar_);
    layout->addWidget(text_);
    stopButton_->setObjectName(QStringLiteral("stopButton"));
    stopButton_->setVisible(false);
    QObject::connect(stopButton_, &QPushButton::clicked, this, [this] {
        if (stop_)
            stop_();
    });
    layout->addWidget(stopButton_, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(420);
    text_->setMinimumWidth(400);
    text_->hide();
}

void ProgressSheet::setTitle(const QString& title)
{
    title_->setText(displayText(title));
    setWindowTitle(title.isEmpty() ? QApplication::applicationName() : displayText(title).trimmed());
}

void ProgressSheet::setText(const QString& text)
{
    text_->setText(displayText(text));
    text_->setVisible(!text.isEmpty());
}

QString ProgressSheet::title() const
{
    return title_->text();
}

QString ProgressSheet::text() const
{
    return text_->text();
}

void ProgressSheet::closeEvent(QCloseEvent* event)
{
    // The work behind the sheet cannot be interrupted; the sheet goes when it is done.
    event->ignore();
}

void ProgressSheet::setStopHandler(std::function<void()> stop)
{
    stop_ = std::move(stop);
    stopButton_->setVisible(bool(stop_));
}

void ProgressSheet::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (stop_)
            stop_();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------

QtDocumentUi::QtDocumentUi(QWidget* window) : window_(window) {}

QtDocumentUi::~QtDocumentUi()
{
    delete sheet_.data();
}

void QtDocumentUi::attachBrowser(TreeModel* model, QTreeView* view)
{
    model_ = model;
    view_ = view;
}

QWidget* QtDocumentUi::dialogParent() const
{
    return window_ && window_->isVisible() ? window_.data() : nullptr;
}

void QtDocumentUi::paintNow()
{
    // The store works on this thread, so the sheet paints only when events are processed.
    // Input stays queued: nothing may start while the store is in the middle of a step.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int QtDocumentUi::ask(const Prompt& prompt)
{
    dismissStoppedSheet();
    QWidget* parent = dialogParent();
    QMessageBox box(parent);
    if (parent)
        box.setWindowModality(Qt::WindowModal);
    const QList<QAbstractButton*> buttons = setUpQuestion(box, prompt);
    Waiting waiting(waiting_);
    box.exec();
    return answerOf(box, buttons);
}

void QtDocumentUi::progressStart(const QString& title, const QString& text, int minimumMs)
{
    // The checks that may refuse a package come before any progress; from here on the
    // document is opening, so its window appears under the sheet.
    if (window_ && !window_->isVisible())
        window_->show();
    if (model_ && !modelSuspended_) {
        // The store may replace the tree while the sheet is up, and the sheet lets the
        // window paint: the browser must not hold items meanwhile.
        model_->suspend();
        modelSuspended_ = true;
    }
    if (!sheet_) {
        sheet_ = new ProgressSheet(dialogParent());
        sheetClock_.start();
        sheetMinimumMs_ = 0;
    }
    // A sheet started again before it went (its work still running, or done and its
    // minimum time not over) keeps its start, and the longer minimum.
    if (sheetStopped_) {
        sheetStopped_ = false;
        ++sheetStops_;
    }
    sheetMinimumMs_ = std::max<qint64>(sheetMinimumMs_, sheetClock_.elapsed() + std::max(0, minimumMs));
    sheet_->setTitle(title);
    sheet_->setText(text);
    sheet_->setStopHandler(stop_);
    sheet_->show();
    sheet_->raise();
    paintNow();
}

void QtDocumentUi::setStopHandler(std::function<void()> stop)
{
    stop_ = std::move(stop);
    if (sheet_ && !sheetStopped_)
        sheet_->setStopHandler(stop_);
}

void QtDocumentUi::progressSetText(const QString& text)
{
    if (!sheet_)
        return;
    sheet_->setText(text);
    paintNow();
}

void QtDocumentUi::progressStop()
{
    // The tree comes back at once, so that the window lays it out under the sheet.
    if (model_ && modelSuspended_) {
        modelSuspended_ = false;
        model_->resume();
    }
    if (!sheet_ || sheetStopped_)
        return;
    const qint64 remaining = sheetMinimumMs_ - sheetClock_.elapsed();
    if (remaining <= 0) {
        sheet_->hide();
        delete sheet_.data();
        return;
    }
    // The sheet stays for the rest of its minimum time, but nothing waits for it: the
    // window takes up the database and shows its tree meanwhile, and the person sees the
    // tree as soon as the sheet goes. The sheet is modal to the window, so input to the
    // window is still held back until then.
    sheetStopped_ = true;
    sheet_->setStopHandler({}); // the work is done: nothing left to stop
    const int stop = ++sheetStops_;
    QTimer::singleShot(int(remaining), sheet_.data(), [this, stop] {
        if (stop == sheetStops_)
            dismissStoppedSheet();
    });
}

void QtDocumentUi::dismissStoppedSheet()
{
    if (!sheet_ || !sheetStopped_)
        return;
    sheetStopped_ = false;
    ++sheetStops_;
    sheet_->hide();
    delete sheet_.data();
}

void QtDocumentUi::diskError(const QString& step, const QString& path, const QString& detail)
{
    dismissStoppedSheet();
    QWidget* parent = dialogParent();
    QMessageBox box(parent);
    if (parent)
        box.setWindowModality(Qt::WindowModal);
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QObject::tr("Disk Error"));
    box.setTextFormat(Qt::RichText);
    QString body = QObject::tr("Step: %1\nPath: %2").arg(step, path);
    if (!detail.isEmpty())
        body += '\n' + detail;
    box.setText(messageHtml(QObject::tr("The disk refused an operation, so it did not finish."), body));
    box.addButton(QMessageBox::Ok);
    Waiting waiting(waiting_);
    box.exec();
}

std::optional<QString> QtDocumentUi::chooseRecoveryFolder(const QString& proposedName)
{
    dismissStoppedSheet();
    // A save dialog for the new folder that will hold the recovered files.
    QFileDialog dialog(dialogParent(), QObject::tr("Recover Files"), QDir::homePath() + '/' + proposedName);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setLabelText(QFileDialog::Accept, QObject::tr("Create"));
    if (dialogParent())
        dialog.setWindowModality(Qt::WindowModal);
    Waiting waiting(waiting_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDocumentUi::askRecoveryPassword(const QString& prompt)
{
    dismissStoppedSheet();
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(QObject::tr("Recover Files"));
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (dialogParent())
        dialog.setWindowModality(Qt::WindowModal);
    Waiting waiting(waiting_);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtDocumentUi::reloadBrowser()
{
    if (model_ && !model_->suspended())
        model_->reload();
}

void QtDocumentUi::revealItem(const IndexItem* item, bool expand)
{
    if (!model_ || !view_ || !item)
        return;
    const QModelIndex index = model_->indexForItem(item);
    if (!index.isValid())
        return;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        view_->expand(p);
    if (expand)
        view_->expand(index);
    view_->scrollTo(index);
}

bool QtDocumentUi::askPassword(const PasswordRequest& request, const PasswordCheck& check)
{
    dismissStoppedSheet();
    // On the heap: should the window go while the dialog is up, it takes the dialog with
    // it and exec() answers Rejected.
    QPointer<PasswordSheet> sheet = new PasswordSheet(request, check, dialogParent());
    Waiting waiting(waiting_);
    const int result = sheet->exec();
    delete sheet.data(); // the dialog overwrites what was typed as it goes
    return result == QDialog::Accepted;
}

} // namespace folivo::gui
