#include "passwordsheet.h"

#include "database/qtdocumentui.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace folivo::gui {

namespace {

// QPalette has no role for errors; this is the red desktop themes use for them, lighter
// on a dark window so that it stays readable.
QColor errorColor(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0xff, 0x7b, 0x63) : QColor(0xc0, 0x1c, 0x28);
}

} // namespace

PasswordSheet::PasswordSheet(const PasswordRequest& request, PasswordCheck check, QWidget* parent)
    : QDialog(parent),
      check_(std::move(check)),
      heading_(new QLabel(this)),
      text_(new QLabel(this)),
      field_(new QLineEdit(this)),
      error_(new QLabel(this))
{
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    const QString title = displayText(request.title).trimmed();
    setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);

    // What the store says is shown as written: a database name may contain "<" or "&".
    QFont bold = heading_->font();
    bold.setBold(true);
    heading_->setFont(bold);
    heading_->setTextFormat(Qt::PlainText);
    heading_->setText(displayText(request.title));
    heading_->setVisible(!request.title.isEmpty());
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setText(displayText(request.text));
    text_->setVisible(!request.text.isEmpty());

    field_->setEchoMode(QLineEdit::Password);
    field_->setCompleter(nullptr);
    field_->setDragEnabled(false);
    field_->setInputMethodHints(field_->inputMethodHints() | Qt::ImhHiddenText | Qt::ImhSensitiveData
                                | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    field_->setMinimumWidth(260);
    auto* fieldLabel = new QLabel(tr("&Password:"), this);
    fieldLabel->setBuddy(field_);

    error_->setTextFormat(Qt::PlainText);
    error_->setWordWrap(true);
    error_->setText(request.errorText.isEmpty() ? tr("The password is not correct.") : displayText(request.errorText));
    QPalette errorPalette = error_->palette();
    errorPalette.setColor(QPalette::WindowText, errorColor(errorPalette));
    error_->setPalette(errorPalette);
    // The line keeps its room while hidden, so the dialog does not jump when it appears.
    QSizePolicy keepRoom = error_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    error_->setSizePolicy(keepRoom);
    error_->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    ok_->setDefault(true);
    // An empty password is an attempt like any other; the check refuses it.
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PasswordSheet::reject);

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    const QIcon lock = QIcon::fromTheme(QStringLiteral("dialog-password"),
                                        style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this));
    icon->setPixmap(lock.pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(12);
    layout->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    layout->addWidget(heading_, 0, 1, 1, 2);
    layout->addWidget(text_, 1, 1, 1, 2);
    layout->addWidget(fieldLabel, 2, 1);
    layout->addWidget(field_, 2, 2);
    layout->addWidget(error_, 3, 2);
    layout->addWidget(buttons, 4, 0, 1, 3);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(3, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    text_->setMinimumWidth(360);

    field_->setFocus(Qt::OtherFocusReason);
}

PasswordSheet::~PasswordSheet()
{
    QString typed = field_->text();
    forget(typed);
}

QString PasswordSheet::heading() const
{
    return heading_->text();
}

QString PasswordSheet::text() const
{
    return text_->text();
}

void PasswordSheet::accept()
{
    // A check that lets events through must not see a second OK, nor the dialog end
    // under it.
    if (checking_)
        return;
    QString typed = field_->text();
    checking_ = true;
    const bool accepted = check_ && check_(std::as_const(typed));
    checking_ = false;
    forget(typed);
    if (accepted) {
        done(Accepted);
        return;
    }
    error_->show();
    field_->setFocus(Qt::OtherFocusReason);
}

void PasswordSheet::done(int result)
{
    if (checking_)
        return;
    QString typed = field_->text();
    forget(typed);
    QDialog::done(result);
}

// `typed` shares the field's buffer. Once the field has let go of it, `typed` owns the
// buffer alone and filling it overwrites the characters in place instead of a copy; the
// field's own replacement text and its undo history go with setText and clear().
void PasswordSheet::forget(QString& typed)
{
    if (!field_->text().isEmpty()) {
        field_->setText(QString(field_->text().size(), QLatin1Char(' ')));
        field_->clear();
    }
    typed.fill(QLatin1Char(' '));
    typed.clear();
}

} // namespace folivo::gui
