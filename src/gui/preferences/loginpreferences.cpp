#include "preferences/loginpreferences.h"

#include "logins/loginhotkeys.h"
#include "preferences/preferencesmessages.h"
#include "prefs/hotkeyprefs.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "prefs/prefkeys.h"
#include "widgets/hotkeyrecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>
#include <iterator>
#include <limits>

namespace folivo::gui {

namespace {

constexpr int MinSpeed = 1, MaxSpeed = 100, SpeedWhenSwitchedOn = 50;
// What the field shows before a delay was chosen: the waits of the typing read an absent
// delay the same way.
constexpr int DefaultPageLoadDelay = 10;
constexpr int MaxPageLoadDelay = 3600;
const int Lengths[] = {8, 12, 16, 20, 24};

void styleLine(QLabel* line)
{
    QPalette palette = line->palette();
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    palette.setColor(QPalette::WindowText, dark ? QColor(0xff, 0x7b, 0x63) : QColor(0xc0, 0x1c, 0x28));
    line->setPalette(palette);
    line->setTextFormat(Qt::PlainText);
    line->setWordWrap(true);
    line->hide();
}

} // namespace

LoginPreferencesPage::LoginPreferencesPage(QWidget* parent)
    : QWidget(parent),
      typing_(new QCheckBox(prefsmsg::TypeLogin, this)),
      speed_(new QSlider(Qt::Horizontal, this)),
      pageLoadDelay_(new QSpinBox(this)),
      passwordLength_(new QComboBox(this)),
      userIDKey_(new HotKeyRecorder(this)),
      passwordKey_(new HotKeyRecorder(this)),
      userIDLine_(new QLabel(this)),
      passwordLine_(new QLabel(this))
{
    setObjectName(QStringLiteral("loginPreferences"));
    speed_->setRange(MinSpeed, MaxSpeed);
    speed_->setValue(SpeedWhenSwitchedOn);
    speed_->setMinimumWidth(200);
    // The person turning typing on starts from a middle speed; filling the page does not.
    connect(typing_, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            speed_->setValue(SpeedWhenSwitchedOn);
    });
    connect(typing_, &QCheckBox::toggled, speed_, &QWidget::setEnabled);
    auto* speedRow = new QHBoxLayout;
    speedRow->addWidget(new QLabel(prefsmsg::Slow, this));
    speedRow->addWidget(speed_, 1);
    speedRow->addWidget(new QLabel(prefsmsg::Fast, this));

    pageLoadDelay_->setRange(0, MaxPageLoadDelay);
    pageLoadDelay_->setSuffix(prefsmsg::SecondsSuffix);

    for (const int length : Lengths)
        passwordLength_->addItem(QString::number(length), length);

    styleLine(userIDLine_);
    styleLine(passwordLine_);
    userIDKey_->setObjectName(QStringLiteral("userIDHotKey"));
    passwordKey_->setObjectName(QStringLiteral("passwordHotKey"));
    connect(userIDKey_, &HotKeyRecorder::changed, this, &LoginPreferencesPage::checkHotKeys);
    connect(passwordKey_, &HotKeyRecorder::changed, this, &LoginPreferencesPage::checkHotKeys);
    auto recorderRow = [this](HotKeyRecorder* recorder, QLabel* line) {
        auto* row = new QHBoxLayout;
        row->addWidget(recorder);
        row->addWidget(line, 1);
        return row;
    };

    auto* form = new QFormLayout(this);
    form->addRow(typing_);
    form->addRow(prefsmsg::TypingSpeed, speedRow);
    form->addRow(prefsmsg::PageLoadDelay, pageLoadDelay_);
    form->addRow(prefsmsg::GeneratedLength, passwordLength_);
    form->addRow(prefsmsg::UserIDHotKey, recorderRow(userIDKey_, userIDLine_));
    form->addRow(prefsmsg::PasswordHotKey, recorderRow(passwordKey_, passwordLine_));
    auto* note = new QLabel(prefsmsg::HotKeysNote, this);
    note->setWordWrap(true);
    form->addRow(note);
}

void LoginPreferencesPage::fillFrom(const KTPrefs& prefs)
{
    storedSpeed_ = prefs.objectForKey(prefkeys::TypeSpeed) ? prefs.integerForKey(prefkeys::TypeSpeed) : 0;
    // Zero (and anything below) pastes.
    const bool typing = storedSpeed_ > 0;
    typing_->setChecked(typing);
    speed_->setValue(typing ? int(std::clamp<qint64>(storedSpeed_, MinSpeed, MaxSpeed)) : SpeedWhenSwitchedOn);
    speed_->setEnabled(typing);

    const qint64 delay =
        prefs.objectForKey(prefkeys::BrowserPageLoadDelay) ? prefs.integerForKey(prefkeys::BrowserPageLoadDelay) : 0;
    pageLoadDelay_->setValue(delay <= 0 ? DefaultPageLoadDelay : int(std::min<qint64>(delay, MaxPageLoadDelay)));

    // Shown the way every launch puts it right, so that OK stores a length the menu offers.
    const qint64 length = normalisedPasswordLength(
        prefs.objectForKey(prefkeys::GeneratedPasswordLength)
            ? std::optional<qint64>(prefs.integerForKey(prefkeys::GeneratedPasswordLength))
            : std::nullopt);
    while (passwordLength_->count() > int(std::size(Lengths)))
        passwordLength_->removeItem(passwordLength_->count() - 1);
    int at = passwordLength_->findData(int(std::min<qint64>(length, std::numeric_limits<int>::max())));
    if (at < 0) {
        // A longer length chosen elsewhere stays on offer, so that OK keeps it.
        passwordLength_->addItem(QString::number(length), int(std::min<qint64>(length, std::numeric_limits<int>::max())));
        at = passwordLength_->count() - 1;
    }
    passwordLength_->setCurrentIndex(at);

    loadedUserIDKey_ = loginHotKey(prefs, LoginHotKey::UserID);
    loadedPasswordKey_ = loginHotKey(prefs, LoginHotKey::Password);
    userIDKey_->setKeys(loadedUserIDKey_);
    passwordKey_->setKeys(loadedPasswordKey_);
    checkHotKeys();
}

void LoginPreferencesPage::storeTo(KTPrefs& prefs) const
{
    qint64 speed = 0;
    if (typing_->isChecked()) {
        const bool untouched = storedSpeed_ > 0 && speed_->value() == std::clamp<qint64>(storedSpeed_, MinSpeed, MaxSpeed);
        speed = untouched ? storedSpeed_ : speed_->value();
    }
    prefs.setInteger(speed, prefkeys::TypeSpeed);
    prefs.setInteger(pageLoadDelay_->value(), prefkeys::BrowserPageLoadDelay);
    prefs.setInteger(passwordLength_->currentData().toInt(), prefkeys::GeneratedPasswordLength);
    // A hot key the store never held stays unwritten until the person records one: the
    // launch defaults fill in only what is missing.
    if (prefs.objectForKey(prefkeys::HotkeyCodeUserID) || userIDKey_->keys() != loadedUserIDKey_)
        setLoginHotKey(prefs, LoginHotKey::UserID, userIDKey_->keys());
    if (prefs.objectForKey(prefkeys::HotkeyCodePassword) || passwordKey_->keys() != loadedPasswordKey_)
        setLoginHotKey(prefs, LoginHotKey::Password, passwordKey_->keys());
}

void LoginPreferencesPage::setHotKeyCheck(std::function<bool(QKeyCombination)> available)
{
    available_ = std::move(available);
    checkHotKeys();
}

QString LoginPreferencesPage::problem() const
{
    // One combination cannot type both: the second grab would fail without a word.
    if (userIDKey_->hasKeys() && userIDKey_->keys() == passwordKey_->keys())
        return prefsmsg::HotKeySameAsUserID;
    return {};
}

void LoginPreferencesPage::checkHotKeys()
{
    auto show = [this](HotKeyRecorder* recorder, QLabel* line, const QString& otherProblem) {
        QString text = otherProblem;
        if (text.isEmpty() && recorder->hasKeys() && available_ && !available_(recorder->keys()))
            text = prefsmsg::HotKeyInUseHere;
        line->setText(text);
        line->setVisible(!text.isEmpty());
    };
    show(userIDKey_, userIDLine_, QString());
    show(passwordKey_, passwordLine_, problem());
}

} // namespace folivo::gui
