#pragma once
// Texts the viewer's rules put into what is shown.

#include <QString>

namespace folivo::viewermsg {

// The path line of a shown file: its path and its size.
inline const QString PathLineBytes = QStringLiteral("%1 (%2 bytes)");
inline const QString PathLineKB = QStringLiteral("%1 (%2 KB)");
inline const QString PathLineMB = QStringLiteral("%1 (%2 MB)");

// Ends a text cut to what the viewer shows.
inline const QString TextCut =
    QStringLiteral("[The rest of this file is not shown: it is longer than the viewer shows.]");

} // namespace folivo::viewermsg
