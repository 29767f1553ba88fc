#pragma once
// The auto-tagging dialog: the database's tag prefixes in a table (Add, Delete, edit in
// place), the separator, and the error line for a repeated prefix. Done hands back the
// settings; the dialog edits a copy, so closing it any other way changes nothing.

#include "attributes/tags.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace folivo::gui {

class AutoTagDialog : public QDialog {
    Q_OBJECT
public:
    AutoTagDialog(const AutoTagSettings& settings, QWidget* parent = nullptr);

    // The prefixes and separator as the dialog shows them; empty rows dropped.
    AutoTagSettings settings() const;

    void addPrefix();
    void deleteSelected();

    QTableWidget* table() const { return table_; }
    QPushButton* deleteButton() const { return delete_; }
    QComboBox* separatorMenu() const { return separator_; }
    QLabel* errorLine() const { return error_; }
    const QStringList& prefixes() const { return prefixes_; }

private:
    void reload();
    void edited(QTableWidgetItem* item);
    QList<int> selectedRows() const;
    void showError(const QString& text);

    AutoTagSettings settings_;
    QStringList prefixes_;
    QTableWidget* table_;
    QPushButton* add_;
    QPushButton* delete_;
    QComboBox* separator_;
    QLabel* error_;
    bool loading_ = false;
};

} // namespace folivo::gui
