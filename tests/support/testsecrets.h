#pragma once
// The passwords and user IDs the tests type, paste, import and store. Every secret a test
// uses comes from here: after the suite has run, scripts/check-test-logs.sh looks for each
// of them in the suite's output and logs, and fails when one shows up there.
//
// Each is written on a line of its own as FOLIVO_TEST_SECRET("...") so that the script can
// read them from this file; keep them distinctive (no word that a log could hold by chance).

#include <QString>

#define FOLIVO_TEST_SECRET(text) QStringLiteral(text)

namespace folivo::test::secrets {

inline const QString Password = FOLIVO_TEST_SECRET("Kq7#vR2!mZp9");
inline const QString Password2 = FOLIVO_TEST_SECRET("Xw4$uN8&tYe3");
inline const QString UserID = FOLIVO_TEST_SECRET("jq.marlowe-77");
inline const QString UserID2 = FOLIVO_TEST_SECRET("acct-4471-9902");
// Characters beyond ASCII and beyond the basic plane, for typing into other programs.
inline const QString Accented = FOLIVO_TEST_SECRET("Zé€😀qW9");
// ASCII specials that need Shift on most layouts.
inline const QString Specials = FOLIVO_TEST_SECRET("!@#$%^&*()_+{}|:\"<>?~Qz");

} // namespace folivo::test::secrets
