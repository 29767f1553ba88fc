#pragma once
// The reminders of the database above the shown file: the due ones, each with a box to tick
// when done (it then moves to its next date at the next update), or all of them with their
// next dates. Selecting a row makes its folder the one an import files into first; a
// double-click reveals the folder with its reminder page.

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace folivo::gui {

class WindowContext;

class ReminderList : public QWidget {
    Q_OBJECT
public:
    explicit ReminderList(WindowContext& window, QWidget* parent = nullptr);

    // Shows the document's reminders again (hidden when it has none).
    void refresh();
    bool showingAll() const { return showAll_; }
    void setShowingAll(bool all);

    QTableWidget* table() const { return table_; }
    QPushButton* toggleButton() const { return toggle_; }
    // The folder of each row, in row order.
    QStringList rowFolders() const { return folders_; }

signals:
    void folderActivated(const QString& folderPath);

private:
    void ticked(int row, bool checked);
    void selectionChanged();
    int visibleRows() const;

    WindowContext& window_;
    QLabel* title_;
    QPushButton* toggle_;
    QTableWidget* table_;
    QStringList folders_;
    bool showAll_ = false;
    bool filling_ = false;
};

} // namespace folivo::gui
