#include "helpbook.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace folivo::help {

namespace {

QString plainText(QString html)
{
    static const QRegularExpression dropped(QStringLiteral("<(head|script|style)[^>]*>.*?</\\1>"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    html.remove(dropped);
    html.replace(tags, QStringLiteral(" "));
    html.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&nbsp;"), QStringLiteral(" "))
        .replace(QStringLiteral("&hellip;"), QStringLiteral("…"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return html.replace(spaces, QStringLiteral(" ")).trimmed();
}

// Anchor names are words: a name that looks like a path or a URL is never one.
bool plausibleName(const QString& name)
{
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_-]*$"));
    return word.match(name).hasMatch();
}

} // namespace

HelpBook::HelpBook(const QString& folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return;
    root_ = info.canonicalFilePath();
    scan();
}

bool HelpBook::contains(const QString& file) const
{
    if (root_.isEmpty())
        return false;
    QString local = file;
    if (file.startsWith(QStringLiteral("file:")))
        local = QUrl(file).toLocalFile();
    const QFileInfo info(QDir(root_).absoluteFilePath(local));
    const QString canonical = info.canonicalFilePath();
    return !canonical.isEmpty() && canonical.startsWith(root_ + QLatin1Char('/'));
}

QString HelpBook::pagePath(const QString& path) const
{
    if (root_.isEmpty() || path.isEmpty() || path.contains(QChar(0)))
        return {};
    const QFileInfo info(QDir(root_).absoluteFilePath(path));
    if (!info.isFile() || !contains(info.absoluteFilePath()))
        return {};
    return info.canonicalFilePath();
}

void HelpBook::scan()
{
    QStringList files;
    QDirIterator it(root_, {QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (contains(file))
            files << QFileInfo(file).canonicalFilePath();
    }
    files.sort();
    // The contents follow the start page: it first, then the pages in the order it links
    // them, then any others.
    const QString start = root_ + QLatin1Char('/') + StartPage;
    QStringList ordered;
    if (files.removeOne(start)) {
        ordered << start;
        QFile f(start);
        if (f.open(QIODevice::ReadOnly)) {
            static const QRegularExpression href(QStringLiteral("href=\"([^\"#]+)"));
            for (auto m = href.globalMatch(QString::fromUtf8(f.readAll())); m.hasNext();) {
                const QString linked = pagePath(m.next().captured(1));
                if (files.removeOne(linked))
                    ordered << linked;
            }
        }
    }
    files = ordered + files;

    static const QRegularExpression titleTag(QStringLiteral("<title>(.*?)</title>"),
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression heading(
        QStringLiteral("<h([1-3])[^>]*\\bid=\"([^\"]+)\"[^>]*>(.*?)</h\\1>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression named(QStringLiteral("<a\\s[^>]*\\bname=\"([^\"]+)\""),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression anyId(QStringLiteral("\\bid=\"([^\"]+)\""));

    for (const QString& file : files) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString html = QString::fromUtf8(f.readAll());
        Page page{file, plainText(titleTag.match(html).captured(1)), plainText(html)};
        pages_ << page;
        QStringList seen;
        auto add = [&](const QString& name, const QString& title, int level) {
            if (!plausibleName(name) || seen.contains(name) || findAnchor(name))
                return;
            seen << name;
            anchors_ << Anchor{name, file, title, level};
        };
        for (auto m = heading.globalMatch(html); m.hasNext();) {
            const auto h = m.next();
            add(h.captured(2), plainText(h.captured(3)), h.captured(1).toInt());
        }
        for (auto m = named.globalMatch(html); m.hasNext();)
            add(m.next().captured(1), {}, 0);
        for (auto m = anyId.globalMatch(html); m.hasNext();)
            add(m.next().captured(1), {}, 0);
    }
}

const HelpBook::Anchor* HelpBook::findAnchor(const QString& name) const
{
    for (const Anchor& a : anchors_)
        if (a.name == name)
            return &a;
    return nullptr;
}

HelpBook::Target HelpBook::resolve(const QString& path, const QString& anchor) const
{
    Target t;
    // Anchor names are unique in the book, so a known anchor names its page as well.
    if (const Anchor* a = plausibleName(anchor) ? findAnchor(anchor) : nullptr)
        return Target{a->page, a->name};
    t.page = pagePath(path);
    if (t.page.isEmpty())
        t.page = pagePath(StartPage);
    return t;
}

QList<HelpBook::Hit> HelpBook::search(const QString& text) const
{
    QList<Hit> hits;
    const QString needle = text.simplified();
    if (needle.isEmpty())
        return hits;
    for (const Page& p : pages_) {
        const qsizetype at = p.text.indexOf(needle, 0, Qt::CaseInsensitive);
        if (at < 0)
            continue;
        const qsizetype from = std::max<qsizetype>(0, at - 40);
        QString excerpt = p.text.mid(from, needle.size() + 80);
        if (from > 0)
            excerpt.prepend(QStringLiteral("…"));
        hits << Hit{p.path, p.title, excerpt};
    }
    return hits;
}

} // namespace folivo::help
