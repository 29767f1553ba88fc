#include "loginpage.h"

#include "loginmessages.h"

#include "logins/loginedits.h"
#include "logins/loginrecord.h"
#include "logins/passwordgenerator.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "prefs/ktprefs.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {

const QString GeneratedPasswordLength = QStringLiteral("generatedPasswordLength");
const QList<int> Lengths{8, 12, 16, 20, 24, 32, 39};

QComboBox* tabMenu(QWidget* parent)
{
    auto* menu = new QComboBox(parent);
    for (int i = 1; i <= 6; ++i)
        menu->addItem(i == 1 ? QStringLiteral("1 Tab") : QStringLiteral("%1 Tabs").arg(i));
    return menu;
}

} // namespace

LoginPage::LoginPage(MyDocument& doc, const KTPrefs* prefs, platform::Platform* platform, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      prefs_(prefs),
      url_(new QLineEdit(this)),
      userID_(new QLineEdit(this)),
      userID2_(new QLineEdit(this)),
      password_(new QLineEdit(this)),
      showHide_(new QPushButton(loginmsg::ShowSecrets, this)),
      generate_(new QPushButton(loginmsg::Generate, this)),
      goTo_(new QPushButton(loginmsg::GoTo, this)),
      userIDOption_(new QComboBox(this)),
      userIDTab_(new QCheckBox(loginmsg::TabBeforeUserID, this)),
      userIDTabs_(tabMenu(this)),
      userIDReturn_(new QCheckBox(loginmsg::ReturnAfterUserID, this)),
      passwordOption_(new QComboBox(this)),
      passwordTab_(new QCheckBox(loginmsg::TabBeforePassword, this)),
      passwordTabs_(tabMenu(this)),
      passwordReturn_(new QCheckBox(loginmsg::ReturnAfterPassword, this)),
      browser_(new QComboBox(this))
{
    setObjectName(QStringLiteral("websiteLoginPage"));
    url_->setObjectName(QStringLiteral("websiteURL"));
    url_->setPlaceholderText(QStringLiteral("https://"));
    userID_->setObjectName(QStringLiteral("websiteUserID"));
    userID2_->setObjectName(QStringLiteral("websiteUserID2"));
    password_->setObjectName(QStringLiteral("websitePassword"));
    for (QLineEdit* f : {userID_, userID2_, password_}) {
        // Secrets stay out of the input method's memory and out of the selection clipboard.
        f->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    }
    userIDOption_->addItems(loginmsg::UserIDOptions);
    passwordOption_->addItems(loginmsg::PasswordOptions);
    browser_->addItem(DefaultBrowserTitle);
    browser_->addItem(BuiltInBrowserTitle);
    if (platform)
        for (const platform::Application& app : platform->desktop().webBrowsers())
            browser_->addItem(app.name, app.id);

    auto* form = new QFormLayout;
    goTo_->setObjectName(QStringLiteral("goToButton"));
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(url_, 1);
    addressRow->addWidget(goTo_);
    form->addRow(loginmsg::Address, addressRow);
    form->addRow(loginmsg::UserID, userID_);
    form->addRow(loginmsg::UserID2, userID2_);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(password_, 1);
    passwordRow->addWidget(generate_);
    form->addRow(loginmsg::Password, passwordRow);
    auto* secretsRow = new QHBoxLayout;
    secretsRow->addStretch(1);
    secretsRow->addWidget(showHide_);
    form->addRow(secretsRow);
    form->addRow(loginmsg::Browser, browser_);

    auto* options = new QGridLayout;
    options->addWidget(userIDOption_, 0, 0, 1, 2);
    options->addWidget(userIDTab_, 1, 0);
    options->addWidget(userIDTabs_, 1, 1);
    options->addWidget(userIDReturn_, 2, 0, 1, 2);
    options->addWidget(passwordOption_, 3, 0, 1, 2);
    options->addWidget(passwordTab_, 4, 0);
    options->addWidget(passwordTabs_, 4, 1);
    options->addWidget(passwordReturn_, 5, 0, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(options);
    layout->addStretch(1);

    const auto field = [this](QLineEdit* f, const QString& key) {
        connect(f, &QLineEdit::editingFinished, this, [this, f, key] { fieldEdited(f, key); });
    };
    field(url_, loginkeys::URL);
    field(userID_, loginkeys::UserID);
    field(userID2_, loginkeys::UserID2);
    field(password_, loginkeys::Password);
    connect(showHide_, &QPushButton::clicked, this, [this] { setMasked(!masked_); });
    connect(generate_, &QPushButton::clicked, this, &LoginPage::runGenerator);
    // Go To opens what the field holds: it stores a typed address first.
    connect(url_, &QLineEdit::textChanged, this,
            [this](const QString& text) { goTo_->setEnabled(!folder_.isEmpty() && !text.trimmed().isEmpty()); });
    connect(goTo_, &QPushButton::clicked, this, [this] {
        if (!folder_.isEmpty())
            emit goToRequested(folder_);
    });
    connect(userIDOption_, &QComboBox::activated, this, [this](int k) {
        edit([k](IndexItem& f) {
            setUserIDOption(f, k);
            return true;
        });
    });
    connect(userIDTab_, &QCheckBox::clicked, this, [this](bool on) {
        edit([this, on](IndexItem& f) {
            setUserIDTab(f, on, userIDTabs_->currentIndex());
            return true;
        });
    });
    connect(userIDTabs_, &QComboBox::activated, this, [this](int index) {
        edit([index](IndexItem& f) {
            setUserIDTab(f, true, index);
            return true;
        });
    });
    connect(userIDReturn_, &QCheckBox::clicked, this, [this](bool on) {
        edit([on](IndexItem& f) {
            setUserIDReturn(f, on);
            return true;
        });
    });
    connect(passwordOption_, &QComboBox::activated, this, [this](int k) {
        edit([k](IndexItem& f) {
            setPasswordOption(f, k);
            return true;
        });
    });
    connect(passwordTab_, &QCheckBox::clicked, this, [this](bool on) {
        edit([this, on](IndexItem& f) {
            setPasswordTab(f, on, passwordTabs_->currentIndex());
            return true;
        });
    });
    connect(passwordTabs_, &QComboBox::activated, this, [this](int index) {
        edit([index](IndexItem& f) {
            setPasswordTab(f, true, index);
            return true;
        });
    });
    connect(passwordReturn_, &QCheckBox::clicked, this, [this](bool on) {
        edit([on](IndexItem& f) {
            setPasswordReturn(f, on);
            return true;
        });
    });
    connect(browser_, &QComboBox::activated, this, [this](int index) {
        const QString title = browser_->itemText(index);
        const QString id = browser_->itemData(index).toString();
        edit([title, id](IndexItem& f) {
            setLoginBrowser(f, title, id);
            return true;
        });
    });
    showFolder({}, false);
}

bool LoginPage::edit(const std::function<bool(IndexItem&)>& change)
{
    if (loading_ || folder_.isEmpty() || !editable_)
        return false;
    const bool written = editLogin(doc_, folder_, change);
    load();
    return written;
}

void LoginPage::fieldEdited(QLineEdit* field, const QString& key)
{
    const QString value = field->text();
    edit([&](IndexItem& f) { return setLoginField(f, key, value); });
}

void LoginPage::commitPending()
{
    if (loading_ || folder_.isEmpty() || !editable_)
        return;
    // Only what was typed since the page was filled: a field the person did not touch must
    // not write its old text over a change made elsewhere (another window, the command line).
    const struct {
        QLineEdit* field;
        const QString& key;
    } fields[] = {{url_, loginkeys::URL}, {userID_, loginkeys::UserID}, {userID2_, loginkeys::UserID2},
                  {password_, loginkeys::Password}};
    for (const auto& x : fields)
        if (x.field->isModified())
            fieldEdited(x.field, x.key);
}

void LoginPage::showFolder(const QString& path, bool editable)
{
    commitPending();
    if (path != folder_)
        masked_ = true;
    folder_ = path;
    editable_ = editable;
    load();
    emit folderShown(folder_);
}

void LoginPage::load()
{
    loading_ = true;
    IndexItem* f = folder_.isEmpty() ? nullptr : doc_.tree().itemForPath(folder_);
    // Older records are shown in the present form; their keys are written with the next change.
    // A folder without any login is left as it is.
    if (f && hasAnyLoginKey(*f))
        migrateLogin(*f);
    const LoginRecord r = f ? LoginRecord::of(*f) : LoginRecord{};
    url_->setText(r.url);
    userID_->setText(r.userID);
    userID2_->setText(r.userID2);
    password_->setText(r.password);
    const bool anySecret = !r.userID.isEmpty() || !r.userID2.isEmpty() || !r.password.isEmpty();
    setMasked(masked_ && anySecret);

    userIDOption_->setCurrentIndex(std::clamp(r.userIDOption, 0, 1));
    int browser = r.useBuiltInBrowser ? 1 : std::max(0, browser_->findText(r.browser));
    if (!r.useBuiltInBrowser && r.browser.isEmpty())
        browser = 0;
    browser_->setCurrentIndex(browser);
    passwordOption_->setCurrentIndex(r.passwordOption);
    for (QWidget* w : std::initializer_list<QWidget*>{url_, userID_, userID2_, password_})
        static_cast<QLineEdit*>(w)->setReadOnly(!editable_ || !f);
    for (QWidget* w : std::initializer_list<QWidget*>{userIDOption_, passwordOption_, browser_, generate_})
        w->setEnabled(editable_ && f);
    showHide_->setEnabled(f != nullptr);
    goTo_->setEnabled(f && !url_->text().trimmed().isEmpty());
    showOptions();
    loading_ = false;
}

void LoginPage::showOptions()
{
    IndexItem* f = folder_.isEmpty() ? nullptr : doc_.tree().itemForPath(folder_);
    const bool live = editable_ && f;
    UserIDOptionView u;
    PasswordOptionView p;
    if (f && hasAnyLoginKey(*f)) {
        u = userIDOptionView(*f);
        // What the rules of the password option derive is written with the next change.
        p = applyPasswordOption(*f);
    } else {
        // What an empty login shows, without giving a folder that has none any keys.
        IndexItem empty(plist::Dict{}, true);
        u = userIDOptionView(empty);
        p = applyPasswordOption(empty);
    }
    userIDTab_->setChecked(u.tabSwitchOn);
    userIDTab_->setEnabled(live && u.tabSwitchEnabled);
    userIDTabs_->setCurrentIndex(std::min(u.tabMenuIndex, userIDTabs_->count() - 1));
    userIDTabs_->setEnabled(live && u.tabMenuEnabled);
    userIDReturn_->setChecked(p.userIDReturnOn);
    userIDReturn_->setEnabled(live && p.userIDReturnEnabled);
    passwordTab_->setChecked(p.tabSwitchOn);
    passwordTab_->setEnabled(live && p.tabSwitchEnabled);
    passwordTabs_->setCurrentIndex(std::min(p.tabMenuIndex, passwordTabs_->count() - 1));
    passwordTabs_->setEnabled(live && p.tabMenuEnabled);
    passwordReturn_->setChecked(p.returnSwitchOn);
    passwordReturn_->setEnabled(live && p.returnSwitchEnabled);
}

void LoginPage::setMasked(bool masked)
{
    masked_ = masked;
    for (QLineEdit* f : {userID_, userID2_, password_})
        f->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    showHide_->setText(masked ? loginmsg::ShowSecrets : loginmsg::HideSecrets);
}

QString LoginPage::generate(qint64 length, bool includeSpecials)
{
    if (folder_.isEmpty() || !editable_)
        return {};
    commitPending();
    const QString password = generateLoginPassword(doc_, folder_, length, includeSpecials);
    if (password.isEmpty())
        return {};
    masked_ = false; // the new password is shown, so that it can be read and noted
    load();
    emit notesChanged(folder_);
    return password;
}

void LoginPage::runGenerator()
{
    const IndexItem* f = folder_.isEmpty() ? nullptr : doc_.tree().itemForPath(folder_);
    if (!f || !editable_)
        return;
    const plist::Value* kept = f->value(loginkeys::PasswordLength);
    const qint64 fallback = prefs_ ? prefs_->integerForKey(GeneratedPasswordLength) : 0;
    const int length = clampedPasswordLength(kept ? kept->toInt(0) : (fallback ? fallback : 16), true);
    const plist::Value* specials = f->value(loginkeys::IncludeSpecials);

    QPointer<QDialog> dialog = new QDialog(window());
    dialog->setObjectName(QStringLiteral("passwordGenerator"));
    dialog->setWindowTitle(loginmsg::GeneratorTitle);
    auto* lengths = new QComboBox(dialog);
    lengths->setObjectName(QStringLiteral("passwordLengthPopup"));
    QList<int> offered = Lengths;
    if (!offered.contains(length))
        offered << length;
    std::sort(offered.begin(), offered.end());
    for (int n : offered)
        lengths->addItem(QString::number(n), n);
    lengths->setCurrentIndex(int(offered.indexOf(length)));
    auto* include = new QCheckBox(loginmsg::IncludeSpecials, dialog);
    include->setObjectName(QStringLiteral("includeSpecialsSwitch"));
    include->setChecked(specials ? specials->toBool(true) : true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* form = new QFormLayout(dialog);
    form->addRow(loginmsg::Length, lengths);
    form->addRow(include);
    form->addRow(new QLabel(loginmsg::GeneratorNote, dialog));
    form->addRow(buttons);
    const int answer = dialog->exec();
    if (!dialog)
        return;
    const int chosen = lengths->currentData().toInt();
    const bool withSpecials = include->isChecked();
    delete dialog;
    if (answer == QDialog::Accepted)
        generate(chosen, withSpecials);
}

} // namespace folivo::gui
