#pragma once
// The custom attributes of the file the attributes area shows: a table of name and value
// pairs with Add and Delete. A name is chosen from the database's names, completed as it is
// typed; a name the file has already is refused with an alert and the edited row goes.
// Every edit is stored at once in the file's attributes file.

#include <QString>
#include <QStringList>
#include <QWidget>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace folivo::gui {

class WindowContext;

class CustomAttributesTable : public QWidget {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, ValueColumn = 1 };

    explicit CustomAttributesTable(WindowContext& window, QWidget* parent = nullptr);

    // Shows the attributes of `path` (none for an empty path); `editable` when they may be
    // changed here (a smart file shows its real file's, to be changed there).
    void showItem(const QString& path, bool editable);
    // Shows the item again (the names changed, the item was renamed through the database).
    void reload();

    // What a finished edit of a cell stores; the table calls these once an editor closes.
    void commitName(int row, const QString& name);
    void commitValue(int row, const QString& value);
    void addRow();
    void deleteSelectedRows();

    QTableWidget* table() const { return table_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }
    const QString& shownPath() const { return path_; }

private:
    void cellChanged(QTableWidgetItem* item);
    void updateButtons();
    QStringList names() const;

    WindowContext& window_;
    QTableWidget* table_;
    QPushButton* add_;
    QPushButton* delete_;
    QString path_;
    bool editable_ = false;
    bool loading_ = false;
};

} // namespace folivo::gui
