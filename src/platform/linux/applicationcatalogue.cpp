#include "platform/linux/applicationcatalogue.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>

namespace folivo::platform {

namespace {

QStringList absoluteFolders(const QString& list)
{
    QStringList out;
    for (const QString& dir : list.split(u':', Qt::SkipEmptyParts)) {
        // Relative entries are invalid and would depend on where the program was started.
        if (QDir::isAbsolutePath(dir))
            out << QDir::cleanPath(dir);
    }
    return out;
}

// MIME types are compared by their canonical names: "application/x-pdf" is
// "application/pdf". Schemes ("x-scheme-handler/http") are not in the database and are
// compared as written, ignoring case.
QString canonicalType(const QString& type)
{
    static const QMimeDatabase db;
    const QMimeType known = db.mimeTypeForName(type);
    return known.isValid() ? known.name() : type.toLower();
}

} // namespace

QString findProgram(const QString& program)
{
    if (program.isEmpty())
        return {};
    if (QDir::isAbsolutePath(program)) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? program : QString();
    }
    if (program.contains(u'/'))
        return {}; // relative to nothing in particular
    return QStandardPaths::findExecutable(program);
}

ApplicationCatalogue::ApplicationCatalogue(QStringList applicationFolders, QString locale, QStringList currentDesktops)
    : folders_(std::move(applicationFolders)), locale_(std::move(locale)), currentDesktops_(std::move(currentDesktops))
{
}

ApplicationCatalogue ApplicationCatalogue::fromEnvironment()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QStringList dataDirs = absoluteFolders(qEnvironmentVariable("XDG_DATA_DIRS"));
    if (dataDirs.isEmpty())
        dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    QStringList folders;
    for (const QString& dir : QStringList{QDir::cleanPath(dataHome)} + dataDirs) {
        const QString apps = dir + QStringLiteral("/applications");
        if (!folders.contains(apps))
            folders << apps;
    }
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(name);
        if (!locale.isEmpty())
            break;
    }
    return ApplicationCatalogue(folders, locale,
                                qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts));
}

QList<InstalledApplication> ApplicationCatalogue::all() const
{
    QList<InstalledApplication> out;
    QSet<QString> seen;
    for (const QString& folder : folders_) {
        const QString root = QDir(folder).absolutePath() + u'/';
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        QList<std::pair<QString, QString>> here; // id, path
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = path.mid(root.size());
            id.replace(u'/', u'-');
            here.append({id, path});
        }
        // The listing's order is the file system's; the same files give the same list.
        std::sort(here.begin(), here.end());
        for (const auto& [id, path] : here) {
            if (seen.contains(id))
                continue;
            seen.insert(id);
            // A file that cannot be read still stands for the ones of its name further on.
            if (std::optional<DesktopEntry> entry = DesktopEntry::read(path))
                out.append({id, path, std::move(*entry)});
        }
    }
    return out;
}

bool ApplicationCatalogue::startable(const DesktopEntry& entry) const
{
    if (entry.string(QStringLiteral("Type")) != u"Application" || entry.boolean(QStringLiteral("Hidden")))
        return false;
    // A program that needs a terminal is left out: there is no terminal to give it.
    if (entry.boolean(QStringLiteral("Terminal")))
        return false;
    const QString tryExec = entry.string(QStringLiteral("TryExec"));
    if (!tryExec.isEmpty() && findProgram(tryExec).isEmpty())
        return false;
    const std::optional<QStringList> exec = entry.execArguments();
    return exec && !findProgram(exec->front()).isEmpty();
}

bool ApplicationCatalogue::shownHere(const DesktopEntry& entry) const
{
    if (entry.boolean(QStringLiteral("NoDisplay")))
        return false;
    const auto here = [this](const QStringList& desktops) {
        return std::any_of(desktops.begin(), desktops.end(),
                           [this](const QString& d) { return currentDesktops_.contains(d); });
    };
    if (entry.has(QStringLiteral("OnlyShowIn")) && !here(entry.list(QStringLiteral("OnlyShowIn"))))
        return false;
    return !here(entry.list(QStringLiteral("NotShowIn")));
}

std::optional<InstalledApplication> ApplicationCatalogue::find(const QString& id) const
{
    for (InstalledApplication& app : all()) {
        if (app.id == id)
            return startable(app.entry) ? std::optional(std::move(app)) : std::nullopt;
    }
    return std::nullopt;
}

QString ApplicationCatalogue::nameOf(const InstalledApplication& app) const
{
    return app.entry.localeString(QStringLiteral("Name"), locale_);
}

QList<Application> ApplicationCatalogue::applicationsFor(const QString& mimeType) const
{
    const QString wanted = canonicalType(mimeType);
    QList<Application> out;
    for (const InstalledApplication& app : all()) {
        if (!startable(app.entry) || !shownHere(app.entry))
            continue;
        const QStringList types = app.entry.list(QStringLiteral("MimeType"));
        if (std::none_of(types.begin(), types.end(), [&](const QString& t) { return canonicalType(t) == wanted; }))
            continue;
        out.append({app.id, nameOf(app), app.entry.string(QStringLiteral("Icon")), app.path});
    }
    // By name as it is spelled (capitals before small letters), then by id for two of a name.
    std::sort(out.begin(), out.end(), [](const Application& a, const Application& b) {
        const int byName = QString::compare(a.name, b.name, Qt::CaseSensitive);
        return byName != 0 ? byName < 0 : a.id < b.id;
    });
    return out;
}

} // namespace folivo::platform
