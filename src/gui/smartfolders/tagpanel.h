#pragma once
// The panel that makes or edits a tag smart folder: a message, the folder's name with its
// error line, and the toggle buttons of the tags and date tags. Each toggle changes the
// folder at once, so its contents follow the selection while the panel is open; OK keeps
// the folder (renamed when the name changed), Cancel puts it back or deletes a new one.

#include <QDialog>
#include <memory>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QScrollArea;

namespace folivo {
class TagPanelSession;
}

namespace folivo::gui {

class ButtonSelectView;

class TagPanel : public QDialog {
    Q_OBJECT
public:
    TagPanel(std::unique_ptr<TagPanelSession> session, QWidget* parent = nullptr);
    ~TagPanel() override;

    TagPanelSession& session() const { return *session_; }
    ButtonSelectView* buttons() const { return view_; }
    QLineEdit* nameField() const { return name_; }
    // The error line under the name; hidden while there is none.
    QLabel* nameError() const { return error_; }
    // Presses the title's button as a person would.
    void toggle(const QString& title);
    // The tallest the panel may grow: the window's content height.
    void setMaximumPanelHeight(int height);

    void accept() override;
    void reject() override;

signals:
    // The folder's list changed: it is to be loaded again.
    void folderChanged(const QString& path);

private:
    void showSession();
    void fitHeight(int viewHeight);

    std::unique_ptr<TagPanelSession> session_;
    QLabel* message_;
    QLineEdit* name_;
    QLabel* error_;
    QScrollArea* scroll_;
    QDialogButtonBox* box_;
    ButtonSelectView* view_;
    int maxHeight_ = 0;
};

} // namespace folivo::gui
