#pragma once
// The website login of a folder, on the folder page of the attributes area: the address,
// the user IDs and the password (hidden behind dots until asked for), how Go To types
// them, the browser, and the password generator. A text is stored when its field is left
// or Return is pressed, each option when it is chosen: one write of the folder each.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace folivo {
class IndexItem;
class KTPrefs;
class MyDocument;
namespace platform {
class Platform;
}
} // namespace folivo

namespace folivo::gui {

class LoginPage : public QWidget {
    Q_OBJECT
public:
    LoginPage(MyDocument& doc, const KTPrefs* prefs, platform::Platform* platform, QWidget* parent = nullptr);

    // Shows the login of the folder at `path` (none: an empty, disabled page).
    void showFolder(const QString& path, bool editable);
    QString folderPath() const { return folder_; }
    // Stores what is typed and not yet stored.
    void commitPending();

    // Runs the generator with the length and specials switch given (the dialog's answer).
    QString generate(qint64 length, bool includeSpecials);

    QLineEdit* addressField() const { return url_; }
    QLineEdit* userIDField() const { return userID_; }
    QLineEdit* userID2Field() const { return userID2_; }
    QLineEdit* passwordField() const { return password_; }
    QPushButton* showHideButton() const { return showHide_; }
    QComboBox* userIDOptionMenu() const { return userIDOption_; }
    QCheckBox* userIDTabSwitch() const { return userIDTab_; }
    QComboBox* userIDTabMenu() const { return userIDTabs_; }
    QCheckBox* userIDReturnSwitch() const { return userIDReturn_; }
    QComboBox* passwordOptionMenu() const { return passwordOption_; }
    QCheckBox* passwordTabSwitch() const { return passwordTab_; }
    QComboBox* passwordTabMenu() const { return passwordTabs_; }
    QCheckBox* passwordReturnSwitch() const { return passwordReturn_; }
    QComboBox* browserMenu() const { return browser_; }
    QPushButton* generateButton() const { return generate_; }
    QPushButton* goToButton() const { return goTo_; }

signals:
    // The folder's notes changed (a generated password kept the old one there).
    void notesChanged(const QString& folderPath);
    // The page shows the folder's login now (empty: no folder).
    void folderShown(const QString& folderPath);
    // The Go To button: open the folder's website.
    void goToRequested(const QString& folderPath);

private:
    void load();
    void fieldEdited(QLineEdit* field, const QString& key);
    void setMasked(bool masked);
    void showOptions();
    void runGenerator();
    bool edit(const std::function<bool(IndexItem&)>& change);

    MyDocument& doc_;
    const KTPrefs* prefs_;
    QString folder_;
    bool editable_ = false;
    bool loading_ = false;
    bool masked_ = true;

    QLineEdit* url_;
    QLineEdit* userID_;
    QLineEdit* userID2_;
    QLineEdit* password_;
    QPushButton* showHide_;
    QPushButton* generate_;
    QPushButton* goTo_;
    QComboBox* userIDOption_;
    QCheckBox* userIDTab_;
    QComboBox* userIDTabs_;
    QCheckBox* userIDReturn_;
    QComboBox* passwordOption_;
    QCheckBox* passwordTab_;
    QComboBox* passwordTabs_;
    QCheckBox* passwordReturn_;
    QComboBox* browser_;
};

} // namespace folivo::gui
