#include "platform/linux/desktopentry.h"

#include <QFile>

namespace folivo::platform {

namespace {

// Undoes the escapes of a string value. A "\;" stays as it is for the list splitter.
QString unescape(QStringView raw)
{
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != u'\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const QChar next = raw[++i];
        switch (next.unicode()) {
        case 's': out += u' '; break;
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case 'r': out += u'\r'; break;
        case '\\': out += u'\\'; break;
        default:
            out += c;
            out += next;
        }
    }
    return out;
}

bool isKeyCharacter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-';
}

// "Name" or "Name[de_CH@euro]".
bool isKey(QStringView key)
{
    const qsizetype bracket = key.indexOf(u'[');
    const QStringView base = bracket < 0 ? key : key.left(bracket);
    if (base.isEmpty())
        return false;
    for (QChar c : base) {
        if (!isKeyCharacter(c))
            return false;
    }
    return bracket < 0 || (key.endsWith(u']') && key.size() > bracket + 2);
}

// The locale names to look for, best first: lang_COUNTRY@MODIFIER, lang_COUNTRY,
// lang@MODIFIER, lang. The encoding (".UTF-8") plays no part.
QStringList localeCandidates(QStringView locale)
{
    QString modifier;
    QStringView rest = locale;
    if (const qsizetype at = rest.indexOf(u'@'); at >= 0) {
        modifier = rest.mid(at + 1).toString();
        rest = rest.left(at);
    }
    if (const qsizetype dot = rest.indexOf(u'.'); dot >= 0)
        rest = rest.left(dot);
    QString country;
    QStringView lang = rest;
    if (const qsizetype underscore = rest.indexOf(u'_'); underscore >= 0) {
        country = rest.mid(underscore + 1).toString();
        lang = rest.left(underscore);
    }
    if (lang.isEmpty() || lang == u"C" || lang == u"POSIX")
        return {};
    const QString l = lang.toString();
    QStringList out;
    if (!country.isEmpty() && !modifier.isEmpty())
        out << l + u'_' + country + u'@' + modifier;
    if (!country.isEmpty())
        out << l + u'_' + country;
    if (!modifier.isEmpty())
        out << l + u'@' + modifier;
    out << l;
    return out;
}

// Splits a command line as the desktop's own launchers do: words separated by blanks; in
// double quotes a backslash escapes `"`, `` ` ``, `$` and `\`; single quotes take everything
// literally; outside quotes a backslash takes the next character literally.
std::optional<QStringList> splitCommandLine(QStringView line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == u'"') {
            for (++i;; ++i) {
                if (i == line.size())
                    return std::nullopt; // unterminated
                const QChar q = line[i];
                if (q == u'"')
                    break;
                if (q == u'\\' && i + 1 < line.size() &&
                    QStringView(u"\"`$\\").contains(line[i + 1])) {
                    word += line[++i];
                    continue;
                }
                word += q;
            }
        } else if (c == u'\'') {
            const qsizetype end = line.indexOf(u'\'', i + 1);
            if (end < 0)
                return std::nullopt;
            word += line.mid(i + 1, end - i - 1);
            i = end;
        } else if (c == u'\\') {
            if (i + 1 == line.size())
                return std::nullopt;
            word += line[++i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words << word;
    return words;
}

enum class Takes { Nothing, OneFile, Files, OneUrl, Urls };

// What the command line takes: the first of %f, %F, %u, %U in it decides.
Takes whatItTakes(const QStringList& words)
{
    for (const QString& w : words) {
        for (qsizetype i = 0; i + 1 < w.size(); ++i) {
            if (w[i] != u'%')
                continue;
            switch (w[i + 1].unicode()) {
            case 'f': return Takes::OneFile;
            case 'F': return Takes::Files;
            case 'u': return Takes::OneUrl;
            case 'U': return Takes::Urls;
            default: ++i; // "%%" and the others take nothing
            }
        }
    }
    return Takes::Nothing;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::parse(QByteArrayView text)
{
    DesktopEntry entry;
    bool seen = false;
    bool inMain = false;
    const QString all = QString::fromUtf8(text);
    qsizetype start = 0;
    while (start <= all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        if (end < 0)
            end = all.size();
        QStringView line = QStringView(all).mid(start, end - start);
        start = end + 1;
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        if (trimmed.startsWith(u'[')) {
            // Only the first main group counts; the action groups have keys of the same names.
            inMain = !seen && trimmed == u"[Desktop Entry]";
            seen = seen || inMain;
            continue;
        }
        if (!inMain)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QStringView key = line.left(eq).trimmed();
        if (!isKey(key))
            continue;
        // A later line of the same key replaces an earlier one, as the desktop's own readers do.
        entry.values_.insert(key.toString(), line.mid(eq + 1).trimmed().toString());
    }
    if (!seen)
        return std::nullopt;
    return entry;
}

std::optional<DesktopEntry> DesktopEntry::read(const QString& path)
{
    QFile file(path);
    // Descriptions are small; anything large is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return std::nullopt;
    return parse(file.readAll());
}

QString DesktopEntry::string(const QString& key) const
{
    return unescape(values_.value(key));
}

QString DesktopEntry::localeString(const QString& key, const QString& locale) const
{
    for (const QString& candidate : localeCandidates(locale)) {
        const auto found = values_.constFind(key + u'[' + candidate + u']');
        if (found != values_.constEnd() && !found->isEmpty())
            return unescape(*found);
    }
    return string(key);
}

bool DesktopEntry::boolean(const QString& key) const
{
    return values_.value(key) == u"true";
}

QStringList DesktopEntry::list(const QString& key) const
{
    const QString raw = values_.value(key);
    QStringList out;
    QString element;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == u'\\' && i + 1 < raw.size()) {
            if (raw[i + 1] == u';')
                element += u';';
            else
                element += unescape(QStringView(raw).mid(i, 2));
            ++i;
        } else if (c == u';') {
            if (!element.isEmpty())
                out << element;
            element.clear();
        } else {
            element += c;
        }
    }
    if (!element.isEmpty())
        out << element;
    return out;
}

std::optional<QStringList> DesktopEntry::execArguments() const
{
    if (!has(QStringLiteral("Exec")))
        return std::nullopt;
    // The string escapes come first, then the quoting: "\\\\" in the file is one backslash
    // inside quotes.
    std::optional<QStringList> words = splitCommandLine(string(QStringLiteral("Exec")));
    if (!words || words->isEmpty())
        return std::nullopt;
    return words;
}

std::optional<QList<QStringList>> DesktopEntry::commandLines(const QList<QUrl>& urls, const QString& name,
                                                             const QString& entryPath) const
{
    const std::optional<QStringList> words = execArguments();
    if (!words)
        return std::nullopt;
    const Takes takes = whatItTakes(*words);
    const bool filesOnly = takes == Takes::OneFile || takes == Takes::Files;
    if (takes == Takes::Nothing && !urls.isEmpty())
        return std::nullopt;
    QStringList items;
    for (const QUrl& url : urls) {
        if (filesOnly && !url.isLocalFile())
            return std::nullopt;
        items << (filesOnly ? url.toLocalFile() : url.toString(QUrl::FullyEncoded));
    }
    // One start for all, or one per item (and one with nothing when there is nothing).
    QList<QStringList> groups;
    if (takes == Takes::OneFile || takes == Takes::OneUrl) {
        for (const QString& item : items)
            groups << QStringList{item};
    }
    if (groups.isEmpty())
        groups << items;

    const QString icon = string(QStringLiteral("Icon"));
    QList<QStringList> out;
    for (const QStringList& group : groups) {
        QStringList argv;
        for (const QString& w : *words) {
            // A list field code standing alone is one argument per item; so is %i.
            if (w == u"%F" || w == u"%U" || w == u"%f" || w == u"%u") {
                argv << group;
                continue;
            }
            if (w == u"%i") {
                if (!icon.isEmpty())
                    argv << QStringLiteral("--icon") << icon;
                continue;
            }
            QString expanded;
            bool literal = w.isEmpty(); // the word has more than field codes ("" is an argument)
            for (qsizetype i = 0; i < w.size(); ++i) {
                if (w[i] != u'%') {
                    expanded += w[i];
                    literal = true;
                    continue;
                }
                if (i + 1 == w.size())
                    return std::nullopt;
                switch (w[++i].unicode()) {
                case '%':
                    expanded += u'%';
                    literal = true;
                    break;
                case 'f':
                case 'u':
                case 'F':
                case 'U': expanded += group.join(u' '); break;
                case 'i': expanded += icon; break;
                case 'c': expanded += name; break;
                case 'k': expanded += entryPath; break;
                case 'd':
                case 'D':
                case 'n':
                case 'N':
                case 'v':
                case 'm': break; // retired codes: nothing
                default: return std::nullopt;
                }
            }
            // A word of codes that gave nothing (a retired code, no name) is no argument.
            if (!expanded.isEmpty() || literal)
                argv << expanded;
        }
        if (argv.isEmpty() || argv.front().isEmpty())
            return std::nullopt;
        out << argv;
    }
    return out;
}

} // namespace folivo::platform
