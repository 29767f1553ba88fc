#pragma once
// The page of the preferences dialog for logins: how a login is entered into another
// program (typed key by key at a chosen speed, or pasted), how long to wait for a page,
// the length of generated passwords, and the two hot keys.

#include <QKeyCombination>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

namespace folivo {
class KTPrefs;
}

namespace folivo::gui {

class HotKeyRecorder;

class LoginPreferencesPage : public QWidget {
    Q_OBJECT
public:
    explicit LoginPreferencesPage(QWidget* parent = nullptr);

    void fillFrom(const KTPrefs& prefs);
    // Writes the page's keys (memory only: the dialog saves the store).
    void storeTo(KTPrefs& prefs) const;

    // Tells whether a combination could be grabbed now; the lines beside the recorders
    // say which is held by another program. Checked at once and after every recording.
    void setHotKeyCheck(std::function<bool(QKeyCombination)> available);
    // Empty when the page can be accepted; otherwise why not (shown on the page).
    QString problem() const;

    QCheckBox* typingSwitch() const { return typing_; }
    QSlider* speedSlider() const { return speed_; }
    QSpinBox* pageLoadDelayField() const { return pageLoadDelay_; }
    QComboBox* passwordLengthMenu() const { return passwordLength_; }
    HotKeyRecorder* userIDRecorder() const { return userIDKey_; }
    HotKeyRecorder* passwordRecorder() const { return passwordKey_; }
    QLabel* userIDKeyLine() const { return userIDLine_; }
    QLabel* passwordKeyLine() const { return passwordLine_; }

private:
    void checkHotKeys();

    QCheckBox* typing_;
    QSlider* speed_;
    QSpinBox* pageLoadDelay_;
    QComboBox* passwordLength_;
    HotKeyRecorder* userIDKey_;
    HotKeyRecorder* passwordKey_;
    QLabel* userIDLine_;
    QLabel* passwordLine_;
    std::function<bool(QKeyCombination)> available_;
    // The stored speed, kept when the slider was not moved (it may lie beyond the slider).
    qint64 storedSpeed_ = 0;
    QKeyCombination loadedUserIDKey_{Qt::Key_unknown};
    QKeyCombination loadedPasswordKey_{Qt::Key_unknown};
};

} // namespace folivo::gui
