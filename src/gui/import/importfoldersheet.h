#pragma once
// The import folder settings of one database: the switch, the folder, and the buttons that
// choose or create it. Every folder that reaches the settings has passed the import
// folder checks, because its files will be imported and then deleted.

#include "widgets/folderchooser.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace folivo {
class MyDocument;
}

namespace folivo::gui {

class ImportFolderSheet : public QDialog {
    Q_OBJECT
public:
    ImportFolderSheet(MyDocument& doc, QWidget* parent);

    // The file dialogs and alerts the sheet uses; tests replace them.
    FolderDialogs dialogs = FolderDialogs::standard();

    // OK: checks the folder when the switch is on, then stores and saves the settings;
    // stays open with the reason on the error line when the folder cannot be used.
    void accept() override;

    QCheckBox* enabledSwitch() const { return switch_; }
    QLineEdit* pathField() const { return path_; }
    QLabel* errorLine() const { return error_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* createButton() const { return create_; }

    // The switch's action when the person turns it on or off.
    void enableImportFolder(bool on);
    void importFolderBrowse();
    void importFolderCreate();

private:
    void refuse(const QString& text);
    void afterCancel();
    void showError(const QString& text);

    MyDocument& doc_;
    QString storedPath_;
    QCheckBox* switch_;
    QLineEdit* path_;
    QLabel* error_;
    QPushButton* choose_;
    QPushButton* create_;
};

} // namespace folivo::gui
