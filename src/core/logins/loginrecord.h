#pragma once
// A folder's website login: the "website…" keys of its item, the migration of records kept
// in the older form, the rules that keep the typing options consistent (each rule may store
// keys), and what editing a field stores. The item is changed in memory only; whoever edits
// (LoginEditor) writes the attributes file once per change.

#include "plist/value.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace folivo {

class IndexItem;

namespace loginkeys {
inline const QString URL = QStringLiteral("websiteURL");
inline const QString UserID = QStringLiteral("websiteUserID");
inline const QString UserID2 = QStringLiteral("websiteUserID2");
inline const QString Password = QStringLiteral("websitePassword");
inline const QString NewUserIDOptions = QStringLiteral("websiteNewUserIDOptions");
inline const QString UserIDTabSwitch = QStringLiteral("websiteUserIDTabSwitch");
inline const QString UserIDTabCount = QStringLiteral("websiteUserIDTabCount");
inline const QString UserIDReturnSwitch = QStringLiteral("websiteUserIDReturnSwitch");
inline const QString PasswordOptions = QStringLiteral("websitePasswordOptions");
inline const QString PasswordTabSwitch = QStringLiteral("websitePasswordTabSwitch");
inline const QString PasswordTabCount = QStringLiteral("websitePasswordTabCount");
inline const QString PasswordEnter = QStringLiteral("websitePasswordEnter");
inline const QString Browser = QStringLiteral("websiteBrowser");
inline const QString BrowserBundleID = QStringLiteral("websiteBrowserBundleID");
inline const QString UseFVBrowser = QStringLiteral("websiteUseFVBrowser");
inline const QString PasswordLength = QStringLiteral("websitePasswordLength");
inline const QString IncludeSpecials = QStringLiteral("websiteIncludeSpecials");
inline const QString OldUserIDOptions = QStringLiteral("websiteUserIDOptions");
} // namespace loginkeys

// How the password is entered.
enum class PasswordEntry {
    SamePage = 0,  // after Tabs on the page of the user ID
    NextPage = 1,  // Return after the user ID, wait for the page, then type
    NotTyped = 2,  // the user ID only
    ShownInPanel = 3, // shown for ten seconds in a floating panel
};

// The login as typing reads it: a snapshot taken when a sequence starts, so that another
// folder shown meanwhile changes nothing.
struct LoginRecord {
    QString url, userID, userID2, password;
    int userIDOption = 0; // 0: Go To only opens the page
    bool userIDTab = false;
    int userIDTabCount = 0; // menu index: Tabs pressed = index + 1
    bool userIDReturn = false;
    int passwordOption = 0;
    bool passwordTab = false;
    int passwordTabCount = 0;
    bool passwordReturn = false;
    QString browser, browserBundleID;
    bool useBuiltInBrowser = false;

    static LoginRecord of(const IndexItem& folder);
    bool logsIn() const { return userIDOption != 0; }
};

// The item has any login key: an address, a user ID or a password.
bool hasLogin(const IndexItem& folder);

// The item has any key of a login record, options included.
bool hasAnyLoginKey(const IndexItem& folder);

// A record from before the user-ID option menu had its present meaning: true when it
// lacks "websiteNewUserIDOptions".
bool loginNeedsMigration(const IndexItem& folder);
// Brings such a record to the present form, in memory: the keys reach the attributes file
// with the next change of the login.
void migrateLogin(IndexItem& folder);

// What the user-ID option shows; option 0 turns the user-ID Tab off (storing false when
// `store`), any other enables the switch and the menu with it.
struct UserIDOptionView {
    bool tabSwitchEnabled = false;
    bool tabSwitchOn = false;
    bool tabMenuEnabled = false;
    int tabMenuIndex = 0;
};
UserIDOptionView userIDOptionView(const IndexItem& folder);
// The user chose option `k`: stored, with its rule.
UserIDOptionView setUserIDOption(IndexItem& folder, int k);

// What the password option shows, after its rules have stored what they derive.
struct PasswordOptionView {
    bool tabSwitchEnabled = false;
    bool tabSwitchOn = false;
    bool tabMenuEnabled = false;
    int tabMenuIndex = 0;
    bool returnSwitchEnabled = false;
    bool returnSwitchOn = false;
    bool userIDReturnEnabled = false;
    bool userIDReturnOn = false;
};
// Applies the rules of the stored password option (storing the keys they derive).
PasswordOptionView applyPasswordOption(IndexItem& folder);
// The user chose option `k` (0 removes the key): stored, with its rules.
PasswordOptionView setPasswordOption(IndexItem& folder, int k);

// The Tab switches and menus, and the Return switches: on stores true, off removes the key
// (and for a Tab switch resets the count to the first item).
void setUserIDTab(IndexItem& folder, bool on, int menuIndex);
void setPasswordTab(IndexItem& folder, bool on, int menuIndex);
void setUserIDReturn(IndexItem& folder, bool on);
void setPasswordReturn(IndexItem& folder, bool on);

// The browser menu's choice: "Folivo" is the built-in browser; "Default Browser" forgets
// the chosen one; any other stores its title and identifier.
inline const QString DefaultBrowserTitle = QStringLiteral("Default Browser");
inline const QString BuiltInBrowserTitle = QStringLiteral("Folivo");
void setLoginBrowser(IndexItem& folder, const QString& title, const QString& identifier);

// A text field was edited (finished, not per keystroke): a non-empty value is stored, an
// empty one removes the key. False when nothing needs writing (an emptied field whose key
// was absent already).
bool setLoginField(IndexItem& folder, const QString& key, const QString& value);

// The notes with the line that keeps an replaced password: on a new line of its own,
// "<dd/MM/yyyy h:mm AM>: Password was: <old>". The notes unchanged when there was none.
QString notesWithPasswordHistory(const QString& notes, const QString& oldPassword, const QDateTime& now);

// The record for diagnostics: user IDs and the password by their length only.
QString loginDescriptionForDiagnostics(const IndexItem& folder);

} // namespace folivo
