#pragma once
// Names as the consistency check and the package listing see them. Only the files of
// store/repair/ include this.

#include "store/keys.h"

#include <QString>
#include <QStringList>

namespace folivo::repair {

// Directories that are one document to the person (shown, copied and deleted whole).
inline const QStringList BundleExtensions = {QStringLiteral("rtfd"), QStringLiteral("pages"), QStringLiteral("numbers"),
                                             QStringLiteral("key"),  QStringLiteral("app"),   QStringLiteral("bundle")};

inline bool ignoredName(const QString& name)
{
    // Hidden names are the package's own bookkeeping (attributes files, markers, the
    // index); "Icon\r" is a folder icon some file managers write.
    return name.startsWith('.') || name == QStringLiteral("Icon\r");
}

inline QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.mid(dot + 1) : QString();
}

inline QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

inline bool isEncipheredExtension(const QString& ext)
{
    return pkg::EncipheredSuffixes.contains(ext);
}

} // namespace folivo::repair
