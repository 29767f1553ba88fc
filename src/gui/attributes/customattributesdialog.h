#pragma once
// The editor of a database's custom attribute names ("Custom Attributes"): a table of the
// names in case-insensitive order, New and Delete, and an error line. A rename or a deletion
// reaches every item, smart folder and the last search at once (behind the progress sheet);
// deleting a name some item uses asks first. The list is written when it changes and when
// the editor closes, without the blank names of rows left empty.

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace folivo::gui {

class WindowContext;

class CustomAttributesDialog : public QDialog {
    Q_OBJECT
public:
    explicit CustomAttributesDialog(WindowContext& window, QWidget* parent = nullptr);

    // Runs the editor modally over the window.
    static void run(WindowContext& window);

    // What the table's edits and buttons do.
    void newAttributeName();
    void editRow(int row, const QString& text);
    void deleteSelectedAttributeNames();

    const QStringList& names() const { return names_; }
    QTableWidget* table() const { return table_; }
    QLabel* errorLine() const { return error_; }
    QPushButton* newButton() const { return new_; }
    QPushButton* deleteButton() const { return delete_; }

    void done(int result) override;

private:
    void reload(int selectRow);
    void cellChanged(QTableWidgetItem* item);
    // Deletes the names of `rows`, asking first for each one in use; answers whether any went.
    void deleteRows(QList<int> rows);
    void showError(const QString& text);
    // Hands the list without blank names to the database and writes it.
    void store();

    WindowContext& window_;
    QStringList names_;
    QTableWidget* table_;
    QPushButton* new_;
    QPushButton* delete_;
    QLabel* error_;
    bool loading_ = false;
    bool closing_ = false;
};

} // namespace folivo::gui
