#pragma once
// Importing logins exported by another password keeper: the file's lines in a table under a
// row of column titles. The titles are dragged over the columns they belong to and ticked to
// be imported; the separator is chosen above. Each line with a name becomes a new folder with
// its login; the lines that could not be imported are shown again afterwards.

#include "logins/loginimport.h"

#include <QDialog>
#include <QList>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace folivo::gui {

class LoginImportDialog : public QDialog {
    Q_OBJECT
public:
    // `import` makes the folders of the rows with the columns and answers what it left.
    using Importer = std::function<LoginImportOutcome(const QList<QStringList>& rows, const QList<LoginColumn>& columns)>;
    LoginImportDialog(QString text, Importer import, QWidget* parent = nullptr);

    // The titles the columns can get, in their first order; the empty ones fill nothing.
    static QStringList titles();

    void setSeparator(LoginSeparator separator);
    LoginSeparator separator() const { return separator_; }
    // What each position of the rows fills, as the titles stand and are ticked now.
    QList<LoginColumn> columns() const;
    const QList<QStringList>& rows() const { return rows_; }
    // Moves the title to the position and ticks it (tests; the person drags and ticks).
    void placeTitle(const QString& title, int position, bool ticked = true);
    QTableWidget* titleTable() const { return header_; }
    QTableWidget* dataTable() const { return data_; }
    QPushButton* importButton() const { return ok_; }
    QLabel* errorLabel() const { return error_; }
    int imported() const { return imported_; }

    void accept() override;

private:
    void parse();
    void fillData();
    QCheckBox* tickOf(int logical) const;

    QString text_;
    Importer import_;
    LoginSeparator separator_ = LoginSeparator::Tab;
    QList<QStringList> rows_;
    QButtonGroup* separators_;
    QTableWidget* header_;
    QTableWidget* data_;
    QLabel* note_;
    QLabel* error_;
    QPushButton* ok_;
    QPushButton* cancel_;
    bool showingLeft_ = false;
    int imported_ = 0;
};

} // namespace folivo::gui
