#pragma once
// The .desktop files by which installed programs describe themselves to the desktop: their
// names in each language, the command line that starts them, the types they open. QSettings
// cannot read them: it takes the "%U" of a command line for an escape, splits values at
// commas and mixes the keys of the [Desktop Action …] groups into the main one. This reader
// follows the file format: only the "[Desktop Entry]" group, the string escapes, lists
// separated by ";", translations by locale, and the quoting and field codes of "Exec".

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace folivo::platform {

class DesktopEntry {
public:
    // The "[Desktop Entry]" group of a .desktop file's text; nullopt when it has none.
    static std::optional<DesktopEntry> parse(QByteArrayView text);
    static std::optional<DesktopEntry> read(const QString& path);

    bool has(const QString& key) const { return values_.contains(key); }
    // The value with its escapes (\s \n \t \r \\) undone; empty when absent.
    QString string(const QString& key) const;
    // The translation of the value that suits `locale`, a POSIX locale name such as
    // "sr_RS.UTF-8@latin" (tried as sr_RS@latin, sr_RS, sr@latin, sr), else the value itself.
    QString localeString(const QString& key, const QString& locale) const;
    // Only "true" is true.
    bool boolean(const QString& key) const;
    // The elements of a list separated by ";" ("\;" is a semicolon inside one); empty ones
    // are dropped.
    QStringList list(const QString& key) const;

    // The "Exec" line split into arguments by its quoting rules, the field codes ("%u") still
    // in them; nullopt when there is none or its quoting is broken.
    std::optional<QStringList> execArguments() const;
    // The argument vectors that open `urls` with the "Exec" line, the program first: one for
    // all of them when it takes a list (%F, %U), one per item when it takes one (%f, %u).
    // `name` fills %c and `entryPath` %k. nullopt when the line is broken, has an unknown
    // field code, takes only files (%f, %F) and is given a remote address, or takes nothing
    // and is given something to open.
    std::optional<QList<QStringList>> commandLines(const QList<QUrl>& urls, const QString& name,
                                                   const QString& entryPath) const;

private:
    QHash<QString, QString> values_; // as written, the keys with their "[locale]"
};

} // namespace folivo::platform
