#pragma once
// The right-hand pane: what the selected item is and every key it holds, each with its
// property-list type and value, read-only. It renders a copy and keeps no pointer to the
// item, so an item leaving the tree can never leave the pane pointing at freed memory.

#include <QWidget>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace folivo {
class IndexItem;
namespace plist {
class Value;
}
} // namespace folivo

namespace folivo::gui {

QString kindName(const IndexItem& item);
// One line for a value: a scalar as written, a container by its size.
QString valueSummary(const plist::Value& value);

class DetailsPane : public QWidget {
    Q_OBJECT
public:
    explicit DetailsPane(QWidget* parent = nullptr);

    void showItem(const IndexItem* item); // nullptr clears the pane
    QTreeWidget* keysView() const { return keys_; }
    QString shownPath() const { return shownPath_; }

private:
    void addValue(QTreeWidgetItem* parent, const QString& key, const plist::Value& value, int depth);

    QLabel* heading_;
    QLabel* path_;
    QLabel* kind_;
    QTreeWidget* keys_;
    QString shownPath_;
};

} // namespace folivo::gui
