#pragma once
// The desktop's Trash as freedesktop.org desktops lay it out: the home
// Trash ($XDG_DATA_HOME/Trash) and, for a file on another file system, the Trash folders at
// the top of that one ($topdir/.Trash/$uid, $topdir/.Trash-$uid). Each file in a Trash has
// a record "info/NAME.trashinfo" that says where it was ("Path=").

#include <QDateTime>
#include <QString>
#include <optional>

namespace folivo::trash {

// Where the file that was at `originalPath` lies now, when a file manager moved it into a
// Trash at `since` or later; none when it did not.
std::optional<QString> trashedFrom(const QString& originalPath, const QDateTime& since);

// Takes that file out of the Trash for good, with its record; false when it is not there
// or cannot be removed.
bool removeTrashed(const QString& originalPath, const QDateTime& since);

} // namespace folivo::trash
