#include "registry.h"

#include <algorithm>

namespace folivo::cli {

namespace {

struct Group {
    UsageGroup group;
    const char* heading;
    int column; // where the descriptions start
};

const Group kGroups[] = {
    {UsageGroup::Help, "Help:", 25},
    {UsageGroup::Reading, "Reading:", 25},
    {UsageGroup::Changing,
     "Changing (each is saved at once; paths are inside the database, \"\" or \"/\" is the top level):", 37},
    {UsageGroup::Filing, "Trying filing rules (nothing is changed):", 37},
    {UsageGroup::Checking,
     "Checking (every open compares the tree with the files; other commands only report):", 37},
};

// The options, as the usage text describes them; a command's help lists those it takes.
struct OptionText {
    QStringList names; // the options the entry describes
    QString form;
    QStringList summary;
};

const QList<OptionText>& optionTexts()
{
    static const QList<OptionText> texts{
        {{"--rebuild"}, "--rebuild", {"rebuild the index from the attributes files while opening DB"}},
        {{"--password-file"}, "--password-file FILE", {"read the password of an encrypted DB from the first line of FILE"}},
        {{"--password-stdin"}, "--password-stdin", {"read the password of DB from the first line of standard input"}},
        {{"--from-password-file", "--from-password-stdin"},
         "--from-password-file FILE, --from-password-stdin",
         {"the same for OTHERDB of cp (only one database can read standard input)"}},
        {{"--index"},
         "--index N",
         {"place in the folder's list, counted from 0; -1 (the default) lets the", "database choose"}},
        {{"--"}, "--", {"everything after it is an argument, even when it starts with \"--\""}},
        {{"--help"}, "-h, --help", {"show this help"}},
        {{"--version"}, "--version", {"print the version of folivo-cli"}},
    };
    return texts;
}

void appendEntry(QString& text, const QString& form, const QStringList& summary, int column)
{
    const QString lead = QStringLiteral("  ") + form;
    const QString indent(column, ' ');
    qsizetype first = 0;
    if (lead.size() + 2 <= column && !summary.isEmpty()) {
        text += lead.leftJustified(column, ' ') + summary.first() + '\n';
        first = 1;
    } else {
        text += lead + '\n';
    }
    for (qsizetype i = first; i < summary.size(); ++i)
        text += indent + summary[i] + '\n';
}

void appendOptions(QString& text, const QStringList& wanted)
{
    for (const OptionText& o : optionTexts())
        if (std::any_of(o.names.begin(), o.names.end(), [&](const QString& n) { return wanted.contains(n); }))
            appendEntry(text, o.form, o.summary, 25);
}

const char* kPasswords =
    "Without a password option the password is asked for on the terminal, without echo.\n"
    "A password is never taken from the command line itself: other users could read it there.\n";

const char* kExitStatus =
    "Exit status: 0 done, 1 the database said no (the reason is on standard error), 2 usage,\n"
    "3 check found something that does not agree.\n";

} // namespace

CommandRegistry& CommandRegistry::instance()
{
    static CommandRegistry registry;
    return registry;
}

void CommandRegistry::add(std::unique_ptr<Command> command)
{
    commands_.push_back(std::move(command));
}

const Command* CommandRegistry::find(const QString& name) const
{
    for (const auto& c : commands_)
        if (c->name() == name)
            return c.get();
    return nullptr;
}

QList<const Command*> CommandRegistry::commands() const
{
    QList<const Command*> all;
    for (const auto& c : commands_)
        all << c.get();
    std::stable_sort(all.begin(), all.end(), [](const Command* a, const Command* b) {
        if (a->spec().group != b->spec().group)
            return a->spec().group < b->spec().group;
        if (a->spec().order != b->spec().order)
            return a->spec().order < b->spec().order;
        return a->name() < b->name();
    });
    return all;
}

QString usageText()
{
    QString text = QStringLiteral("Usage: folivo-cli [OPTIONS] COMMAND ARGS\n");
    const QList<const Command*> all = CommandRegistry::instance().commands();
    for (const Group& g : kGroups) {
        QString entries;
        for (const Command* c : all)
            if (c->spec().group == g.group)
                for (const UsageLine& line : c->spec().usage)
                    appendEntry(entries, line.form, line.summary, g.column);
        if (!entries.isEmpty())
            text += QStringLiteral("\n") + QString::fromUtf8(g.heading) + '\n' + entries;
    }
    text += QStringLiteral("\nOptions:\n");
    QStringList every;
    for (const OptionText& o : optionTexts())
        every += o.names;
    appendOptions(text, every);
    text += QStringLiteral("\n") + QString::fromUtf8(kPasswords) + QStringLiteral("\n") + QString::fromUtf8(kExitStatus);
    return text;
}

QString commandHelp(const Command& command)
{
    QString text = QStringLiteral("Usage: folivo-cli [OPTIONS] %1\n\n").arg(command.spec().usage.value(0).form);
    for (const Group& g : kGroups)
        if (g.group == command.spec().group)
            for (const UsageLine& line : command.spec().usage)
                appendEntry(text, line.form, line.summary, g.column);
    const QStringList options = command.commonOptions() + command.spec().options;
    QString described;
    for (const CommandSpec::OwnOption& own : command.spec().ownOptions)
        appendEntry(described, own.form, own.summary, 25);
    appendOptions(described, options);
    if (!described.isEmpty())
        text += QStringLiteral("\nOptions:\n") + described;
    if (command.commonOptions().contains(QStringLiteral("--password-file")))
        text += QStringLiteral("\n") + QString::fromUtf8(kPasswords);
    return text;
}

} // namespace folivo::cli
