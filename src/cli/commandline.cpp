#include "commandline.h"

#include "console.h"
#include "registry.h"

#include "folivo-config.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "util/tempfolder.h"

#include <QDate>
#include <QRegularExpression>

#include <limits>
#include <optional>

namespace folivo::cli {

Invocation::Invocation(Console& c, Options o, QStringList a)
    : console(c), options(std::move(o)), arguments(std::move(a))
{
}

Invocation::~Invocation() = default;

KTPrefs& Invocation::applicationPrefs()
{
    if (!prefs_)
        prefs_ = std::make_unique<KTPrefs>(prefkeys::ApplicationId);
    return *prefs_;
}

namespace {

// A date as YYYY-MM-DD, taken as the start of that day in local time (which is midnight
// except where a clock change skips midnight).
std::optional<QDateTime> parseIsoDate(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return std::nullopt;
    return date.startOfDay();
}

std::optional<int> parseInt(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < lowest || n > highest)
        return std::nullopt;
    return n;
}

void writeText(Console& console, const QString& text, bool toErr)
{
    const QByteArray bytes = text.toLocal8Bit();
    if (toErr)
        console.writeErr(bytes.constData(), bytes.size());
    else
        console.writeOut(bytes.constData(), bytes.size());
}

int usageError(Console& console, const QString& text)
{
    console.err(text);
    writeText(console, usageText(), true);
    return 2;
}

} // namespace

int runCommandLine(const QStringList& args, Console& console)
{
    Options o;
    QStringList positional;
    QStringList given; // options used, checked against the command once it is known
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || !a.startsWith("-") || a == "-") {
            positional << a;
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            writeText(console, usageText(), false);
            return 0;
        }
        if (a == "--version") {
            console.outLine(QStringLiteral("folivo-cli %1").arg(QStringLiteral(FOLIVO_VERSION_STRING)));
            return 0;
        }
        if (a == "--password" || a == "--from-password") {
            console.err(QStringLiteral("A password is not taken from the command line; use %1-file or %1-stdin.").arg(a));
            return 2;
        }
        if (a.startsWith(QStringLiteral("--repair"))) {
            const QString how = a.startsWith(QStringLiteral("--repair=")) ? a.mid(9)
                                : (i + 1 < args.size() ? args[++i] : QString());
            if (how != "delete" && how != "recover")
                return usageError(console, QStringLiteral("--repair is delete or recover, not \"%1\".").arg(how));
            o.repair = how;
            given << QStringLiteral("--repair");
            continue;
        }
        if (a == "--rename") {
            if (i + 2 >= args.size())
                return usageError(console, QStringLiteral("--rename needs the old and the new name."));
            o.renameName = std::make_pair(args[i + 1], args[i + 2]);
            i += 2;
            given << a;
            continue;
        }
        static const QStringList flags{"--rebuild",     "--password-stdin", "--from-password-stdin",
                                       "--no-autofile", "--european",       "--trailing"};
        static const QStringList valued{"--password-file", "--from-password-file", "--index",      "--from",
                                        "--to",            "--keep",               "--start-date", "--end-date",
                                        "--text-file",     "--settle",             "--add",        "--remove",
                                        "--delete"};
        if (!flags.contains(a) && !valued.contains(a)) {
            // An option of the command named so far.
            const Command* command = positional.isEmpty() ? nullptr : CommandRegistry::instance().find(positional.first());
            const CommandSpec::OwnOption* own = nullptr;
            if (command)
                for (const CommandSpec::OwnOption& candidate : command->spec().ownOptions)
                    if (candidate.name == a)
                        own = &candidate;
            if (!own)
                return usageError(console, QStringLiteral("Unknown option %1.").arg(a));
            if (i + own->values >= args.size())
                return usageError(console, QStringLiteral("%1 needs %2.").arg(own->form, own->values == 1 ? QStringLiteral("a value") : QStringLiteral("%1 values").arg(own->values)));
            o.own.append({a, args.mid(i + 1, own->values)});
            i += own->values;
            continue;
        }
        given << a;
        if (a == "--rebuild") {
            o.rebuild = true;
            continue;
        }
        if (a == "--password-stdin") {
            o.password.source = PasswordSource::Stdin;
            continue;
        }
        if (a == "--no-autofile" || a == "--european" || a == "--trailing") {
            (a == "--no-autofile" ? o.noAutofile : a == "--european" ? o.european : o.trailing) = true;
            continue;
        }
        if (a == "--from-password-stdin") {
            o.fromPassword.source = PasswordSource::Stdin;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError(console, QStringLiteral("%1 needs a value.").arg(a));
        const QString value = args[++i];
        if (a == "--password-file") {
            o.password = {PasswordSource::File, value};
        } else if (a == "--from-password-file") {
            o.fromPassword = {PasswordSource::File, value};
        } else if (a == "--index") {
            o.index = parseInt(value, -1, std::numeric_limits<int>::max());
            if (!o.index)
                return usageError(console, QStringLiteral("--index needs a number from -1 up, not \"%1\".").arg(value));
        } else if (a == "--keep") {
            o.keep = parseInt(value, 0, 255);
            if (!o.keep)
                return usageError(console, QStringLiteral("--keep needs a number from 0 to 255, not \"%1\".").arg(value));
        } else if (a == "--start-date" || a == "--end-date") {
            const auto date = parseIsoDate(value);
            if (!date)
                return usageError(console, QStringLiteral("%1 needs a date as YYYY-MM-DD, not \"%2\".").arg(a, value));
            (a == "--start-date" ? o.startDate : o.endDate) = date;
        } else if (a == "--settle") {
            o.settle = parseInt(value, 0, 3600);
            if (!o.settle)
                return usageError(
                    console, QStringLiteral("--settle needs a number of seconds from 0 to 3600, not \"%1\".").arg(value));
        } else if (a == "--add") {
            o.addTags << value;
        } else if (a == "--remove") {
            o.removeTags << value;
        } else if (a == "--delete") {
            o.deleteName = value;
        } else if (a == "--text-file") {
            o.textFile = value;
        } else if (a == "--from") {
            o.from = value;
        } else if (a == "--to") {
            o.to = value;
        }
    }
    if (positional.isEmpty()) {
        writeText(console, usageText(), true);
        return 2;
    }
    const QString name = positional.takeFirst();
    const Command* command = CommandRegistry::instance().find(name);
    if (!command)
        return usageError(console, QStringLiteral("Unknown command %1.").arg(name));
    Invocation call(console, o, positional);
    if (const QString problem = command->takeArguments(call); !problem.isEmpty())
        return usageError(console, problem);
    const int arguments = command->spec().arguments;
    if (arguments >= 0 ? call.arguments.size() != arguments : call.arguments.size() < -arguments)
        return usageError(console, QStringLiteral("Wrong number of arguments for %1.").arg(name));
    // How to open the database is taken by every command, as it always was, even by those
    // that open none.
    static const QStringList opening{"--rebuild", "--password-file", "--password-stdin"};
    const QStringList allowed = opening + command->spec().options;
    for (const QString& option : given)
        if (!allowed.contains(option))
            return usageError(console, QStringLiteral("%1 does not take %2.").arg(name, option));
    if (const QString problem = command->checkUsage(call); !problem.isEmpty())
        return usageError(console, problem);

    sweepStaleTempFolders();
    return command->run(call);
}

} // namespace folivo::cli
