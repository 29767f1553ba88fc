#include "prefs/ktprefs.h"

#include "plist/keyedarchive.h"
#include "plist/typedjson.h"
#include "util/debuglog.h"
#include "util/fs.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>
#include <charconv>
#include <limits>
#include <locale.h>

namespace folivo {

namespace {

qsizetype skipSpace(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i].isSpace())
        ++i;
    return i;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A string's truth: leading whitespace, an optional sign and zeros are skipped; then a
// Y, y, T, t or a digit 1-9 makes it true ("YES", "true", "007", "-1"), anything else false.
bool stringBool(const QString& s)
{
    qsizetype i = skipSpace(s);
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    while (i < s.size() && s[i] == u'0')
        ++i;
    if (i == s.size())
        return false;
    const QChar c = s[i];
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

// The leading decimal integer of a string ("  -42abc" → -42), saturated at the 64-bit
// limits; 0 when the string does not start with one.
qint64 stringInteger(const QString& s)
{
    qsizetype i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 n = 0;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        const unsigned d = unsigned(s[i].unicode() - u'0');
        if (n > (limit - d) / 10) {
            n = limit;
            break;
        }
        n = n * 10 + d;
    }
    if (negative)
        return n == limit ? std::numeric_limits<qint64>::min() : -qint64(n);
    return qint64(n);
}

// The leading decimal real of a string ("3.5kg" → 3.5, "-1e3" → -1000), with "." as the
// decimal point whatever the locale; ±infinity on overflow, 0 when there is none. Only the
// plain decimal form is taken: "inf", "nan" and hexadecimal reals read as 0.
double stringReal(const QString& s)
{
    qsizetype i = skipSpace(s);
    QByteArray text;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        text += char(s[i++].unicode());
    bool digits = false;
    for (; i < s.size() && isDigit(s[i]); ++i, digits = true)
        text += char(s[i].unicode());
    if (i < s.size() && s[i] == u'.') {
        text += '.';
        for (++i; i < s.size() && isDigit(s[i]); ++i, digits = true)
            text += char(s[i].unicode());
    }
    if (!digits)
        return 0.0;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            for (; i < j; ++i)
                text += char(s[i].unicode());
            for (; i < s.size() && isDigit(s[i]); ++i)
                text += char(s[i].unicode());
        }
    }
    // from_chars ignores the process locale (a decimal comma in many), so "." stays the
    // decimal point. Out of range it leaves the value alone: then the sign of the exponent
    // tells an overflow (infinity) from an underflow (zero).
    const char* begin = text.constData();
    const bool negative = text.startsWith('-');
    if (text.startsWith('+') || negative)
        ++begin;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(begin, text.constData() + text.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        long double wide = 0.0L;
        bool overflow;
        if (std::from_chars(begin, text.constData() + text.size(), wide).ec == std::errc())
            overflow = wide > 1.0L;
        else {
            const qsizetype e = std::max(text.indexOf('e'), text.indexOf('E'));
            overflow = e >= 0 && (e + 1 >= text.size() || text.at(e + 1) != '-');
        }
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

bool asBool(const plist::Value* v)
{
    if (!v)
        return false;
    if (v->isString())
        return stringBool(v->string());
    return v->toBool();
}

qint64 asInteger(const plist::Value* v)
{
    if (!v)
        return 0;
    if (v->isString())
        return stringInteger(v->string());
    return v->toInt();
}

double asReal(const plist::Value* v)
{
    if (!v)
        return 0.0;
    if (v->isString())
        return stringReal(v->string());
    return v->toReal();
}

// The dictionary stored in a preference file, or nullopt when the file cannot be read or
// holds anything else (garbage, a truncated archive, no bytes, another root type).
std::optional<plist::Dict> readPrefsFile(const QString& path)
{
    std::optional<plist::Value> root = plist::readKeyedArchiveFile(path);
    if (!root || !root->isDict())
        return std::nullopt;
    // An object of some other class decodes as a Dict carrying its class record.
    const plist::Value* className = root->dict().find(QStringLiteral("$classname"));
    const plist::Value* classes = root->dict().find(QStringLiteral("$classes"));
    if (className && className->isString() && classes && classes->isArray())
        return std::nullopt;
    return std::move(root->dict());
}

} // namespace

QString KTPrefs::prefsFileFor(const QString& id)
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            home = QDir::homePath();
        base = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(base) + QStringLiteral("/folivo/") + id + QStringLiteral(".prefs");
}

KTPrefs::KTPrefs(const QString& applicationId, const QString& newApplicationId)
{
    const QString sourcePath = prefsFileFor(applicationId);
    prefsPath_ = newApplicationId.isEmpty() ? sourcePath : prefsFileFor(newApplicationId);

    if (fs::exists(sourcePath)) {
        if (std::optional<plist::Dict> read = readPrefsFile(sourcePath)) {
            prefs_ = std::move(*read);
        } else {
            prefs_.set(ReconstructedAfterCorruptionKey, true);
            // A damaged file that we will never write over (another identifier's) stays
            // exactly where it is.
            if (sourcePath == prefsPath_)
                keepDamagedFile(sourcePath);
        }
    }

    // There is no user-defaults domain on this platform to take settings over from; the
    // marker still records that the one-time take-over has been done for this dictionary.
    if (!prefs_.contains(ConvertedFromPlistKey))
        prefs_.set(ConvertedFromPlistKey, true);
}

void KTPrefs::keepDamagedFile(const QString& path)
{
    const QString stem = path + QStringLiteral(".corrupt-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString copy = stem;
    for (int n = 2; fs::exists(copy) && n < 1000; ++n)
        copy = stem + QLatin1Char('-') + QString::number(n);
    if (!fs::exists(copy) && fs::rename(path, copy)) {
        corruptCopy_ = copy;
        appendDebugInfo(QStringLiteral("\n\nThe preference file %1 could not be read; it was kept as %2 "
                                       "and the preferences were started anew.")
                            .arg(path, copy));
        return;
    }
    // Writing now would replace the only copy of the user's settings; a later run can
    // still try to move it aside.
    mustNotWrite_ = true;
    appendDebugInfo(QStringLiteral("\n\nThe preference file %1 could not be read or moved aside (%2); "
                                   "preferences will not be saved in this run.")
                        .arg(path, fs::lastError()));
}

const plist::Value* KTPrefs::objectForKey(const QString& key) const
{
    return prefs_.find(key);
}

bool KTPrefs::boolForKey(const QString& key) const
{
    return asBool(objectForKey(key));
}

qint64 KTPrefs::integerForKey(const QString& key) const
{
    return asInteger(objectForKey(key));
}

quint32 KTPrefs::uInt32ForKey(const QString& key) const
{
    // Keeps the low 32 bits, as converting a wider integer to unsigned does.
    return quint32(quint64(asInteger(objectForKey(key))));
}

float KTPrefs::floatForKey(const QString& key) const
{
    return float(asReal(objectForKey(key)));
}

double KTPrefs::doubleForKey(const QString& key) const
{
    return asReal(objectForKey(key));
}

bool KTPrefs::setObject(std::optional<plist::Value> value, const QString& key)
{
    if (!value || value->isNone()) {
        prefs_.remove(key);
        return true;
    }
    // Checked at the depth it will have in the file, under the root dictionary.
    if (plist::encodeKeyedArchive(plist::Value(plist::Dict{{key, *value}})).isEmpty())
        return false;
    prefs_.set(key, std::move(*value));
    return true;
}

void KTPrefs::setBool(bool value, const QString& key)
{
    prefs_.set(key, value);
}

void KTPrefs::setInteger(qint64 value, const QString& key)
{
    prefs_.set(key, std::int64_t(value));
}

void KTPrefs::setUInt32(quint32 value, const QString& key)
{
    prefs_.set(key, std::int64_t(value));
}

void KTPrefs::setFloat(float value, const QString& key)
{
    prefs_.set(key, double(value));
}

void KTPrefs::setDouble(double value, const QString& key)
{
    prefs_.set(key, value);
}

void KTPrefs::removeObjectForKey(const QString& key)
{
    prefs_.remove(key);
}

QString KTPrefs::description() const
{
    return QString::fromUtf8(plist::toTypedJson(plist::Value(prefs_)));
}

bool KTPrefs::synchronize()
{
    if (mustNotWrite_)
        return false;
    const QByteArray bytes = plist::encodeKeyedArchive(plist::Value(prefs_));
    if (bytes.isEmpty())
        return false;
    // QFileInfo follows a symbolic link, so a configuration folder linked elsewhere is used
    // as it is rather than taken for missing.
    const QString folder = QFileInfo(prefsPath_).path();
    if (!QFileInfo(folder).isDir() && !fs::makeDirectories(folder, 0700))
        return false;
    return fs::writeFileAtomic(prefsPath_, bytes, 0600);
}

} // namespace folivo
