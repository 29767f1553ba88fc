#pragma once
// The programs installed for the desktop, from the .desktop files under the "applications"
// folders of $XDG_DATA_HOME and $XDG_DATA_DIRS. A file of the person's own folder, or of an
// earlier folder of the list, stands for every file of the same name further on: that is how
// a person renames a program or hides it ("Hidden=true") without touching the system's files.

#include "platform/desktop.h"
#include "platform/linux/desktopentry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace folivo::platform {

struct InstalledApplication {
    QString id;   // "kde4-konqbrowser.desktop" for applications/kde4/konqbrowser.desktop
    QString path; // the .desktop file
    DesktopEntry entry;
};

class ApplicationCatalogue {
public:
    // `applicationFolders` in order of precedence, the person's own first. `locale` picks
    // the names' translations; `currentDesktops` are the desktop's names for itself
    // ("GNOME", "KDE"), against which OnlyShowIn and NotShowIn are read.
    ApplicationCatalogue(QStringList applicationFolders, QString locale, QStringList currentDesktops);
    // The folders, locale and desktop of this session: $XDG_DATA_HOME (or ~/.local/share),
    // $XDG_DATA_DIRS (or /usr/local/share and /usr/share), $LC_ALL, $LC_MESSAGES or $LANG,
    // $XDG_CURRENT_DESKTOP.
    static ApplicationCatalogue fromEnvironment();

    const QStringList& folders() const { return folders_; }
    const QString& locale() const { return locale_; }
    const QStringList& currentDesktops() const { return currentDesktops_; }

    // The program with the id that can be started, shown in menus or not; none when it is
    // not installed, hidden (deleted), not a program or its command is missing.
    std::optional<InstalledApplication> find(const QString& id) const;
    // The programs for the MIME type (or URL scheme, "x-scheme-handler/http") that menus
    // show, sorted by name.
    QList<Application> applicationsFor(const QString& mimeType) const;
    // The name of the installed program as menus show it.
    QString nameOf(const InstalledApplication& app) const;

private:
    // Every .desktop file of the folders, the first of each id only.
    QList<InstalledApplication> all() const;
    bool startable(const DesktopEntry& entry) const;
    bool shownHere(const DesktopEntry& entry) const;

    QStringList folders_;
    QString locale_;
    QStringList currentDesktops_;
};

// The program of a command line: an absolute path that is executable, or a name found in
// $PATH; empty when there is none.
QString findProgram(const QString& program);

} // namespace folivo::platform
