#include "itemicons.h"

#include "filing/messages.h"
#include "store/indexitem.h"
#include "filing/importpipeline.h"
#include "store/keys.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>

namespace folivo::gui {

namespace {

const int kSizes[] = {16, 22, 24, 32, 48, 64};

QIcon themeIcon(const char* name, const QIcon& fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), fallback);
}

// `base` with `color` laid over its opaque parts, so the shape and shading stay visible.
QIcon tinted(const QIcon& base, const QColor& color)
{
    QIcon out;
    for (int size : kSizes) {
        const QPixmap pm = base.pixmap(size, size);
        if (pm.isNull())
            continue;
        QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        p.fillRect(img.rect(), color);
        p.end();
        out.addPixmap(QPixmap::fromImage(img));
    }
    return out.isNull() ? base : out;
}

// `base` with `badge` small in its lower right corner.
QIcon badged(const QIcon& base, const QIcon& badge)
{
    if (badge.isNull())
        return base;
    QIcon out;
    for (int size : kSizes) {
        const QPixmap pm = base.pixmap(size, size);
        if (pm.isNull())
            continue;
        QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const qreal dpr = img.devicePixelRatio();
        const int logical = int(img.width() / dpr);
        const int badgeSize = std::max(8, logical * 5 / 8);
        QPainter p(&img);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        badge.paint(&p, QRect(logical - badgeSize, logical - badgeSize, badgeSize, badgeSize));
        p.end();
        out.addPixmap(QPixmap::fromImage(img));
    }
    return out.isNull() ? base : out;
}

} // namespace

void ItemIcons::ensureIconTheme()
{
    // Without a desktop (a bare X session, the offscreen platform) Qt may search no icon
    // folder at all and name no theme; the icons of the platform's data folders are then
    // as good as on any desktop.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = QDir(data).filePath(QStringLiteral("icons"));
        if (!paths.contains(icons) && QFileInfo(icons).isDir())
            paths << icons;
    }
    QIcon::setThemeSearchPaths(paths);

    const QString adwaita = QStringLiteral("Adwaita");
    const bool haveAdwaita = std::any_of(paths.cbegin(), paths.cend(), [&](const QString& dir) {
        return QFileInfo::exists(dir + '/' + adwaita + QStringLiteral("/index.theme"));
    });
    if (!haveAdwaita)
        return;
    // "hicolor" is only the base every theme inherits: no theme was chosen. A chosen
    // theme stays and gets Adwaita only for the icons it lacks.
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == QLatin1String("hicolor"))
        QIcon::setThemeName(adwaita);
    else if (QIcon::fromTheme(QStringLiteral("x-office-calendar")).isNull())
        QIcon::setFallbackThemeName(adwaita);
}

ItemIcons::ItemIcons()
{
    QStyle* style = QApplication::style();
    folder_ = themeIcon("folder", style->standardIcon(QStyle::SP_DirIcon));
    genericFile_ = themeIcon("text-x-generic", style->standardIcon(QStyle::SP_FileIcon));
    // Unfiled is where everything lands that has no place yet: it must stand out.
    unfiled_ = tinted(folder_, QColor(220, 40, 30, 150));
    dateFolder_ = badged(folder_, themeIcon("x-office-calendar", QIcon()));
    smartFolder_ = themeIcon("folder-saved-search", badged(folder_, themeIcon("edit-find", QIcon())));
    // The folder the system keeps of the last import: a smart folder marked as new arrivals.
    lastImport_ = badged(folder_, themeIcon("document-open-recent", themeIcon("emblem-new", themeIcon("go-down", QIcon()))));
    if (lastImport_.cacheKey() == folder_.cacheKey())
        lastImport_ = tinted(smartFolder_, QColor(40, 120, 220, 110));
}

QIcon ItemIcons::fileIcon(const QString& name) const
{
    const qsizetype dot = name.lastIndexOf('.');
    const QString suffix = dot > 0 ? name.mid(dot + 1).toLower() : QString();
    auto it = bySuffix_.constFind(suffix);
    if (it != bySuffix_.constEnd())
        return *it;
    QIcon icon = genericFile_;
    if (!suffix.isEmpty()) {
        const QMimeType type = mime_.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        if (type.isValid() && !type.isDefault())
            icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), genericFile_));
    }
    bySuffix_.insert(suffix, icon);
    return icon;
}

QIcon ItemIcons::iconFor(const IndexItem& item, bool importLogOn) const
{
    switch (item.kind()) {
    case ItemKind::Folder:
        // Only the top-level folders are special; a folder of the same name deeper down is
        // an ordinary folder.
        if (item.path() == pkg::Unfiled || (importLogOn && item.path() == importmsg::ImportLogsFolder))
            return unfiled_;
        return folder_;
    case ItemKind::DateFolder:
        return dateFolder_;
    case ItemKind::SmartFolder:
        return item.has(keys::SystemLastImportFolder) ? lastImport_ : smartFolder_;
    case ItemKind::SmartFile:
        // A smart file looks like the file it stands for.
        if (const plist::Value* real = item.value(keys::SmartFile); real && real->isString())
            return fileIcon(real->string().section('/', -1));
        break;
    case ItemKind::File:
        break;
    }
    return fileIcon(item.name());
}

} // namespace folivo::gui
