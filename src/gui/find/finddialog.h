#pragma once
// The Find dialog: rows of conditions joined by all or any, and what the Find button does.
// It is filled from a criteria record and answers a new one, checked: a row without its text
// or with a date that does not read keeps the dialog open with the reason on its warning line.

#include "find/criteria.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace folivo {
class IndexTree;
}

namespace folivo::gui {

class FindConditionRow : public QWidget {
    Q_OBJECT
public:
    FindConditionRow(const QStringList& attributeNames, QWidget* parent);

    // The entries of the condition menu with the tag each carries.
    static const std::vector<std::pair<QString, int>>& menuEntries();

    void load(const FindCondition& condition);
    int tag() const;
    void setTag(int tag);
    QComboBox* menu() const { return menu_; }
    QLineEdit* textField() const { return text_; }
    QLineEdit* dateField() const { return date_; }
    QLineEdit* fromField() const { return from_; }
    QLineEdit* toField() const { return to_; }
    QComboBox* attributeMenu() const { return attribute_; }
    QComboBox* matchTypeMenu() const { return matchType_; }
    QLineEdit* matchField() const { return match_; }
    QToolButton* addButton() const { return add_; }
    QToolButton* removeButton() const { return remove_; }
    // The condition as read: keys this version does not know stay with it.
    const FindCondition& base() const { return base_; }

signals:
    void addRequested(FindConditionRow* row);
    void removeRequested(FindConditionRow* row);
    void edited();

private:
    void kindChanged();

    QComboBox* menu_;
    QLineEdit* text_;
    QLineEdit* date_;
    QLineEdit* from_;
    QLabel* toLabel_;
    QLineEdit* to_;
    QWidget* customLine_;
    QComboBox* attribute_;
    QComboBox* matchType_;
    QLineEdit* match_;
    QToolButton* add_;
    QToolButton* remove_;
    FindCondition base_;
    bool loading_ = false;
};

class FindDialog : public QDialog {
    Q_OBJECT
public:
    FindDialog(const QStringList& attributeNames, bool european, QWidget* parent);

    // Fills the dialog from a record (findSetupDialogFor); a record without conditions gets
    // one empty name row. With `beingEdited`, the dialog edits that condition smart folder:
    // its button says "Save", the type is fixed and the folder may keep its own name.
    void setup(const FindCriteria& criteria, const QString& beingEdited = QString());
    // The tree whose names a new smart folder's name must not take.
    void setTree(const IndexTree* tree) { tree_ = tree; }
    QLineEdit* smartFolderNameField() const { return smartName_; }
    QWidget* smartFolderArea() const { return smartArea_; }
    QPushButton* findButton() const { return ok_; }
    // The record the dialog describes, or nothing with the reason on the warning line.
    std::optional<FindCriteria> criteriaFromDialog();
    // What the confirmed dialog answered.
    const FindCriteria& accepted() const { return accepted_; }

    QString warning() const;
    bool warningShown() const;
    int rowCount() const { return int(rows_.size()); }
    FindConditionRow* row(int i) const { return rows_.at(std::size_t(i)); }
    QComboBox* allMenu() const { return all_; }
    QComboBox* typeMenu() const { return type_; }
    QCheckBox* expandSwitch() const { return expand_; }
    FindConditionRow* addRow(FindConditionRow* after);
    void removeRow(FindConditionRow* row);

    // How the contents warning is shown; tests replace it.
    std::function<void(QWidget*, const QString&)> alert;

    // Clears the warned-once flag: a new run of the dialog warns again.
    int exec() override;
    void accept() override;

private:
    void showWarning(const QString& text);
    void relinkRows();
    void typeChanged();

    QStringList attributeNames_;
    bool european_;
    QVBoxLayout* rowsLayout_;
    std::vector<FindConditionRow*> rows_;
    QComboBox* all_;
    QComboBox* type_;
    QCheckBox* expand_;
    QLabel* warning_;
    QLabel* typeLead_ = nullptr;
    QWidget* smartArea_ = nullptr;
    QLineEdit* smartName_ = nullptr;
    QLabel* editMessage_ = nullptr;
    QPushButton* ok_ = nullptr;
    const IndexTree* tree_ = nullptr;
    QString beingEdited_;
    FindCriteria base_;
    FindCriteria accepted_;
    bool warnedOnce_ = false;
};

} // namespace folivo::gui
