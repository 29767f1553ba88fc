#include "util/trash.h"

#include "util/fs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace folivo::trash {

namespace {

const QString InfoSuffix = QStringLiteral(".trashinfo");

struct Found {
    QString file;
    QString info;
};

// The top of the file system that holds `path`: the last folder above it on the same device.
QString topOf(const QString& path)
{
    struct stat st {};
    QString dir = QDir::cleanPath(path);
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0)
        return {};
    const dev_t device = st.st_dev;
    while (dir != QStringLiteral("/")) {
        const QString up = QFileInfo(dir).path();
        struct stat above {};
        if (::stat(QFile::encodeName(up).constData(), &above) != 0 || above.st_dev != device)
            break;
        dir = up;
    }
    return dir;
}

// Each Trash that may hold a file from `folder`, with the folder its relative "Path=" values
// start from (none for the home Trash, whose values are absolute).
QList<std::pair<QString, QString>> trashesFor(const QString& folder)
{
    QList<std::pair<QString, QString>> out;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        out.append({data + QStringLiteral("/Trash"), QString()});
    const QString top = topOf(folder);
    if (!top.isEmpty()) {
        const QString uid = QString::number(::getuid());
        const QString base = top == QStringLiteral("/") ? QString() : top;
        out.append({base + QStringLiteral("/.Trash/") + uid, top});
        out.append({base + QStringLiteral("/.Trash-") + uid, top});
    }
    return out;
}

std::optional<QString> pathInRecord(const QString& infoFile, const QString& relativeTo)
{
    const std::optional<QByteArray> text = fs::readFile(infoFile, 64 * 1024);
    if (!text)
        return std::nullopt;
    for (const QByteArray& line : text->split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith("Path="))
            continue;
        QString path = QUrl::fromPercentEncoding(trimmed.mid(5));
        if (!path.startsWith(QLatin1Char('/'))) {
            if (relativeTo.isEmpty())
                return std::nullopt;
            path = relativeTo + QLatin1Char('/') + path;
        }
        return QDir::cleanPath(path);
    }
    return std::nullopt;
}

std::optional<Found> find(const QString& originalPath, const QDateTime& since)
{
    const QString wanted = QDir::cleanPath(QFileInfo(originalPath).absoluteFilePath());
    const QFileInfo where(wanted);
    // The folder it was in may be known under another name (a link on the way).
    const QString wantedCanonical = where.dir().canonicalPath().isEmpty()
                                        ? wanted
                                        : where.dir().canonicalPath() + QLatin1Char('/') + where.fileName();
    // Records are written as the file is moved; a little slack for clocks of the second.
    const QDateTime earliest = since.addSecs(-2);
    for (const auto& [trash, relativeTo] : trashesFor(where.path())) {
        const QDir info(trash + QStringLiteral("/info"));
        if (!info.exists())
            continue;
        // Newest first: only the records written since the drag need reading.
        const QFileInfoList records =
            info.entryInfoList({QStringLiteral("*") + InfoSuffix}, QDir::Files | QDir::Hidden, QDir::Time);
        for (const QFileInfo& record : records) {
            if (record.lastModified() < earliest)
                break;
            const std::optional<QString> path = pathInRecord(record.filePath(), relativeTo);
            if (!path || (*path != wanted && *path != wantedCanonical))
                continue;
            const QString name = record.fileName().chopped(InfoSuffix.size());
            const QString file = trash + QStringLiteral("/files/") + name;
            if (fs::exists(file))
                return Found{file, record.filePath()};
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> trashedFrom(const QString& originalPath, const QDateTime& since)
{
    if (fs::exists(originalPath))
        return std::nullopt;
    const std::optional<Found> found = find(originalPath, since);
    return found ? std::optional<QString>(found->file) : std::nullopt;
}

bool removeTrashed(const QString& originalPath, const QDateTime& since)
{
    const std::optional<Found> found = find(originalPath, since);
    if (!found)
        return false;
    const bool removed = fs::isDirectory(found->file) ? fs::deleteTree(found->file) : fs::removeFile(found->file);
    return removed && fs::removeFile(found->info);
}

} // namespace folivo::trash
