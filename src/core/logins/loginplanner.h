#pragma once
// What logging in to a website types, as a plan of steps: Tabs to reach a field, the user
// IDs and the password typed or pasted, Return, the waits between them, and the panels a
// person sees meanwhile. Planned from a snapshot of the login taken when the sequence
// starts, so that another folder shown meanwhile changes nothing; run by the window, one
// step at a time on its timers, into the browser the person uses or into Folivo's own.

#include "logins/loginrecord.h"

#include <QString>
#include <vector>

namespace folivo {

class KTPrefs;

struct LoginStep {
    enum class Kind {
        Tab,                // press Tab `count` times
        Return,             // press Return
        Text,               // type `text` (or paste it when `paste`)
        Wait,               // wait `millis`
        WaitForPage,        // the person's browser loads the page: wait `millis`
        ShowWarning,        // the "typing in progress" panel
        HideWarning,
        ShowPassword,       // the floating password panel, for `millis`
        SetBrowserState,    // Folivo's browser: its auto-login state becomes `count`
        WaitForOwnBrowser,  // until one of Folivo's browser windows is in front (gives up after a minute)
        ShowBrowserWarning, // the warning line of Folivo's browser window
        ClearBrowserWarning,
    };
    Kind kind = Kind::Wait;
    QString text;
    int count = 0;
    int millis = 0;
    bool paste = false;
    bool secret = false; // the password: never logged, never left on the clipboard
    friend bool operator==(const LoginStep&, const LoginStep&) = default;
};

struct LoginPlanSettings {
    bool builtInBrowser = false; // typing into Folivo's own browser: timers, no fixed sleeps
    bool hotKey = false;         // started by a hot key in the window the person chose
    int typeSpeed = 50;          // 0 pastes; 1-99 wait (100 - speed) x 2.5 ms before each character
    int pageLoadDelayMs = 10000; // "browserPageLoadDelay"

    // From the preferences: "typeSpeed" (absent is 0: pasting, as the dialog shows it), and "browserPageLoadDelay" in seconds (absent is 10,
    // as the preferences dialog shows it; negative is 0).
    static LoginPlanSettings from(const KTPrefs* prefs);
};

// The wait before each typed character, in microseconds.
int typingDelayMicros(int typeSpeed);

// The address Go To opens: "http://" goes in front of one without "http://", "https://" or
// "file://". Empty for an empty address.
QString goToAddress(const QString& url);

// The Tabs before the user ID or the password: the switch's count + 1 when it is on.
int tabsBefore(const LoginRecord& record, bool password);

std::vector<LoginStep> userIDSequence(const LoginRecord& record, const LoginPlanSettings& settings);
std::vector<LoginStep> passwordSequence(const LoginRecord& record, const LoginPlanSettings& settings);
// The user ID, then (unless the password is typed by its own hot key only) the password.
std::vector<LoginStep> combinedSequence(const LoginRecord& record, const LoginPlanSettings& settings);
// After Go To has opened the person's browser: wait for the page, then log in.
std::vector<LoginStep> goToSequence(const LoginRecord& record, const LoginPlanSettings& settings);

} // namespace folivo
