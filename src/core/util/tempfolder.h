#pragma once
// Private temporary folders, one per open database: a unique folder with mode 0700 under
// $XDG_RUNTIME_DIR/folivo (or a private folder under the system's temporary folder when
// there is no runtime folder). Plain copies of an encrypted database's files may land in
// it, so nobody else may read it and it must not outlive the run.

#include <QString>

namespace folivo {

// The folder that holds every temporary folder of this user, created 0700 when needed.
// Empty when no private place can be had (then nothing may be written).
QString privateTempBase();

// Creates a new private temporary folder for the package `packageName`; empty on failure.
QString createPrivateTempFolder(const QString& packageName);

// Removes temporary folders left behind by runs that have ended (their process is gone).
// Answers how many were removed.
int sweepStaleTempFolders();

} // namespace folivo
