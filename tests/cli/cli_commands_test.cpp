// The commands as the registry knows them: the usage text and `help` come from it, and
// `--version` from the build's configuration. The terminal answers questions by identity.

#include "runcli.h"

#include "console.h"
#include "folivo-config.h"
#include "registry.h"
#include "terminalui.h"

#include "store/messages.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ProcessResult;
using folivo::test::runCli;

namespace {

// The names of the commands the usage text lists: the first word of each entry.
QSet<QString> commandsInUsage(const QString& usage)
{
    QSet<QString> names;
    bool inOptions = false;
    for (const QString& line : usage.split('\n')) {
        if (line == QLatin1String("Options:"))
            inOptions = true;
        else if (!line.startsWith(' ') && line.endsWith(':'))
            inOptions = false;
        static const QRegularExpression entry(QStringLiteral("^  ([a-z][a-z-]*)( |$)"));
        if (const auto m = entry.match(line); m.hasMatch() && !inOptions)
            names << m.captured(1);
    }
    return names;
}

} // namespace

TEST(CliCommands, TheUsageListsExactlyTheRegisteredCommandsAndHelpExplainsEach)
{
    const ProcessResult usage = runCli({"--help"});
    ASSERT_EQ(usage.exitCode, 0);
    const QString text = QString::fromUtf8(usage.out);

    QSet<QString> registered;
    for (const cli::Command* c : cli::CommandRegistry::instance().commands())
        registered << c->name();
    EXPECT_EQ(commandsInUsage(text), registered) << text.toStdString();
    for (const char* name : {"create", "tree", "show", "dump", "cat", "mkdir", "mv", "rename", "rm", "dup", "cp",
                             "store", "import", "drain", "save", "backup", "check", "parse-date", "file-as", "help"})
        EXPECT_TRUE(registered.contains(name)) << name;

    for (const cli::Command* c : cli::CommandRegistry::instance().commands()) {
        SCOPED_TRACE(c->name().toStdString());
        const ProcessResult help = runCli({"help", c->name()});
        EXPECT_EQ(help.exitCode, 0) << help.err.constData();
        const QString helpText = QString::fromUtf8(help.out);
        for (const cli::UsageLine& line : c->spec().usage) {
            EXPECT_TRUE(text.contains("  " + line.form)) << line.form.toStdString();
            EXPECT_TRUE(helpText.contains("  " + line.form)) << helpText.toStdString();
            for (const QString& words : line.summary)
                EXPECT_TRUE(helpText.contains(words)) << words.toStdString();
        }
        // The options of opening a database are explained where they apply.
        EXPECT_EQ(helpText.contains("--password-stdin"), c->commonOptions().contains("--password-stdin"));
        if (c->spec().options.contains("--index"))
            EXPECT_TRUE(helpText.contains("--index N")) << helpText.toStdString();
    }

    const ProcessResult unknown = runCli({"help", "frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("Unknown command frobnicate.")) << unknown.err.constData();
    EXPECT_TRUE(unknown.out.isEmpty());
}

TEST(CliCommands, VersionIsTheOneTheBuildWasConfiguredWith)
{
    // The project's version as CMakeLists.txt declares it.
    const QByteArray lists = folivo::test::readAll(FOLIVO_SOURCE_DIR "/CMakeLists.txt");
    const QRegularExpression declared(QStringLiteral("project\\(Folivo VERSION ([0-9.]+)"));
    const auto m = declared.match(QString::fromUtf8(lists));
    ASSERT_TRUE(m.hasMatch());
    EXPECT_EQ(QStringLiteral(FOLIVO_VERSION_STRING), m.captured(1));
    EXPECT_STRNE(FOLIVO_BUILD_TYPE, "");

    const QByteArray expected = "folivo-cli " + m.captured(1).toUtf8() + "\n";
    EXPECT_EQ(runCli({"--version"}).out, expected);
    // And the program itself, which is what people run.
    const ProcessResult program = folivo::test::runCliProcess({"--version"});
    EXPECT_EQ(program.exitCode, 0);
    EXPECT_EQ(program.out, expected);
}

// Questions are recognised by their identity and answered by the answer's identity: the
// words on the buttons may change, and a question that only looks like another one is not
// answered for it.
TEST(CliCommands, TheTerminalAnswersByIdentityNotByWords)
{
    cli::BufferConsole console;
    cli::TerminalUi ui(console);
    ui.answers.insert(msg::RebuildIndexPrompt, msg::RebuildIndexAnswer);

    // Reworded, reordered buttons: still the rebuild.
    const Prompt reworded(msg::RebuildIndexPrompt, "Rebuild?", "Rebuild the index now?",
                          {{msg::CancelAnswer, "Not now"}, {msg::RebuildIndexAnswer, "Yes, rebuild"},
                           {msg::OpenNormallyAnswer, "Open"}});
    EXPECT_EQ(ui.ask(reworded), 1);
    EXPECT_TRUE(console.err.contains("(answered \"Yes, rebuild\")")) << console.err.constData();

    // Another question with a button of the same words keeps its default.
    const Prompt lookalike(PromptId("some-other-question"), msg::RebuildIndexTitle, "Something else",
                           {{PromptId("keep"), "Keep"}, {PromptId("rebuild"), msg::RebuildIndexButton}});
    EXPECT_EQ(ui.ask(lookalike), 0);

    // The report of an open: decided by the choice, whatever its buttons say.
    ConsistencyReport report;
    report.text = "Extra file: Stray.txt";
    report.foundOrphanedFile = true;
    report.writable = false; // "Yes" / "No"
    const QList<RepairChoice> both{RepairChoice::Recover, RepairChoice::Delete};
    EXPECT_EQ(ui.decideRepair(report.prompt("now"), both), std::nullopt) << "nothing decided: nothing changes";
    EXPECT_TRUE(ui.reportShown);
    EXPECT_TRUE(console.err.contains("Nothing was changed")) << console.err.constData();
    ui.repairChoice = RepairChoice::Delete;
    EXPECT_EQ(ui.decideRepair(report.prompt("now"), both), RepairChoice::Delete);
    ui.repairChoice = RepairChoice::Recover;
    EXPECT_EQ(ui.decideRepair(report.prompt("now"), both), RepairChoice::Recover);
    // With nothing to recover the only decision is to remove the items without files.
    EXPECT_EQ(ui.decideRepair(report.prompt("now"), {RepairChoice::Delete}), RepairChoice::Delete);
}
