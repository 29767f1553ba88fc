#pragma once
// The password dialog of an encrypted database: a heading and a line of text over a
// hidden-entry field, an error line that appears after a refused attempt, and OK / Cancel.
// Every OK hands the typed text to a check; the dialog closes only when the check accepts
// it, and forgets what was typed after each attempt.

#include "store/documentui.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace folivo::gui {

class PasswordSheet : public QDialog {
    Q_OBJECT
public:
    // Modal to `parent` when there is one, to the whole application otherwise.
    PasswordSheet(const PasswordRequest& request, PasswordCheck check, QWidget* parent = nullptr);
    ~PasswordSheet() override;

    QString heading() const;
    QString text() const;
    QLineEdit* passwordField() const { return field_; }
    QLabel* errorLine() const { return error_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // OK: tries the typed text. Accepted closes the dialog; refused shows the error line
    // and leaves the dialog up with an empty field.
    void accept() override;
    void done(int result) override;

private:
    void forget(QString& typed);

    PasswordCheck check_;
    QLabel* heading_;
    QLabel* text_;
    QLineEdit* field_;
    QLabel* error_;
    QPushButton* ok_;
    QPushButton* cancel_;
    bool checking_ = false;
};

} // namespace folivo::gui
