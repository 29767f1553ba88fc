// KTHelp with the real viewer (offscreen): the settings it leaves, one viewer per person, and
// which viewer terminate closes.

#include "kthelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// The viewers started from this test: those whose settings live in our scratch folder.
QList<int> viewers(const QString& configHome)
{
    QList<int> pids;
    const QString program = QFileInfo(QStringLiteral(FOLIVO_HELP_VIEWER)).canonicalFilePath();
    const QByteArray mark = "XDG_CONFIG_HOME=" + configHome.toLocal8Bit();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number || QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() != program)
            continue;
        QFile env(QStringLiteral("/proc/%1/environ").arg(pid));
        if (env.open(QIODevice::ReadOnly) && env.readAll().split('\0').contains(mark))
            pids << pid;
    }
    return pids;
}

struct Status {
    QString page;
    QString anchor;
};

std::optional<Status> status()
{
    QByteArray answer;
    if (!KTHelp::sendRequest(KTHelp::StatusRequest, &answer))
        return std::nullopt;
    const QList<QByteArray> parts = answer.split('\t');
    if (parts.size() != 3)
        return std::nullopt;
    return Status{QString::fromUtf8(parts[1]), QString::fromUtf8(parts[2])};
}

template <typename F>
bool waitFor(F condition, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

class KTHelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.isValid());
        configHome = scratch.filePath("config");
        runtime = scratch.filePath("runtime");
        QDir().mkpath(configHome);
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_CONFIG_HOME", configHome.toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Two programs whose books are both called "help".
        for (const char* app : {"ours", "other"}) {
            const QString book = scratch.filePath(QStringLiteral("%1/share/help").arg(app));
            writeFile(book + "/index.html", "<h1 id=\"Contents\">Contents</h1>");
            writeFile(book + "/import.html", "<h1 id=\"Importing\">Importing</h1><h2 id=\"Rules\">Rules</h2>");
            writeFile(book + "/preferences.html", "<h1 id=\"Preferences\">Preferences</h1>");
        }
        writeFile(scratch.filePath("ours/share/secret.html"), "<h1 id=\"Secret\">Secret</h1>");
        ours.setHelpBook(scratch.filePath("ours/share"), "help");
        ours.setViewerProgram(FOLIVO_HELP_VIEWER);
        other.setHelpBook(scratch.filePath("other/share"), "help");
        other.setViewerProgram(FOLIVO_HELP_VIEWER);
    }
    void TearDown() override
    {
        KTHelp::sendRequest(KTHelp::QuitRequest);
        EXPECT_TRUE(waitFor([&] { return viewers(configHome).isEmpty(); }));
    }
    QString canonical(const QString& path) const { return QFileInfo(scratch.filePath(path)).canonicalFilePath(); }
    QVariant setting(const QString& key) const
    {
        return QSettings(KTHelp::settingsFilePath(), QSettings::IniFormat).value(key);
    }

    QTemporaryDir scratch;
    QString configHome, runtime;
    KTHelp ours, other;
};

TEST_F(KTHelpTest, TwoCallsLeaveTheSecondAnchorAndOneViewer)
{
    ours.showHelp({}, "Rules");
    ours.showHelp({}, "Preferences");
    EXPECT_TRUE(KTHelp::settingsFilePath().startsWith(configHome));
    EXPECT_EQ(setting(KTHelp::AnchorKey).toString(), "Preferences");
    EXPECT_EQ(setting(KTHelp::HelpFolderPathKey).toString(), QDir::cleanPath(scratch.filePath("ours/share/help")));
    EXPECT_EQ(setting(KTHelp::HelpBookFolderKey).toString(), "help");
    EXPECT_FALSE(setting(KTHelp::PathKey).isValid());

    ASSERT_TRUE(waitFor([] {
        const auto s = status();
        return s && s->anchor == "Preferences";
    })) << "the viewer does not show the second anchor";
    EXPECT_EQ(status()->page, canonical("ours/share/help/preferences.html"));
    // A viewer started by the first call and one by the second settle on one.
    EXPECT_TRUE(waitFor([&] { return viewers(configHome).size() == 1; }));
    QThread::msleep(500);
    EXPECT_EQ(viewers(configHome).size(), 1);

    // A page path is handed on, and a call without one removes it again.
    ours.showHelp("import.html", {});
    EXPECT_EQ(setting(KTHelp::PathKey).toString(), "import.html");
    ASSERT_TRUE(waitFor([&] { const auto s = status(); return s && s->page == canonical("ours/share/help/import.html"); }));
    ours.showHelp({}, "Contents");
    EXPECT_FALSE(setting(KTHelp::PathKey).isValid());
}

TEST_F(KTHelpTest, TerminateClosesOnlyAViewerShowingOurBook)
{
    ours.showHelp({}, "Importing");
    ASSERT_TRUE(waitFor([] { const auto s = status(); return s && s->anchor == "Importing"; }));
    // Another program with a book of the same folder name now uses the viewer.
    other.showHelp({}, "Preferences");
    ASSERT_TRUE(waitFor([&] { const auto s = status(); return s && s->page == canonical("other/share/help/preferences.html"); }));

    ours.terminate();
    KTHelp neverShown;
    neverShown.setHelpBook(scratch.filePath("ours/share"), "help");
    neverShown.terminate();
    QThread::msleep(500);
    EXPECT_TRUE(status().has_value()) << "a viewer serving another program was closed";
    EXPECT_EQ(viewers(configHome).size(), 1);

    // Without the keys in the settings file, a program that never showed help closes nothing.
    QSettings(KTHelp::settingsFilePath(), QSettings::IniFormat).clear();
    neverShown.terminate();
    QThread::msleep(300);
    EXPECT_TRUE(status().has_value());

    other.showHelp({}, "Contents");
    other.terminate();
    EXPECT_TRUE(waitFor([&] { return viewers(configHome).isEmpty(); })) << "our own viewer stayed";
}

TEST_F(KTHelpTest, TheViewerKeepsPathAndAnchorInsideTheBook)
{
    ours.showHelp("../secret.html", "Secret");
    ASSERT_TRUE(waitFor([] { return status().has_value(); }));
    EXPECT_EQ(status()->page, canonical("ours/share/help/index.html"));
    EXPECT_EQ(status()->anchor, "");
    ours.showHelp(scratch.filePath("ours/share/secret.html"), "../../secret");
    ASSERT_TRUE(waitFor([] { return status().has_value(); }));
    EXPECT_EQ(status()->page, canonical("ours/share/help/index.html"));
}

TEST(KTHelpLibrary, ExportsItsVersionUnderItsSoname)
{
    void* lib = dlopen(FOLIVO_KTHELP_SONAME_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_STREQ(static_cast<const char*>(dlsym(lib, "KTHelpVersionString")),
                 "@(#)PROGRAM:KTHelp  PROJECT:KTHelp-1\n");
    const auto* number = static_cast<const double*>(dlsym(lib, "KTHelpVersionNumber"));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(*number, 1.0);
    EXPECT_TRUE(QString(FOLIVO_KTHELP_SONAME_FILE).endsWith("libkthelp.so.1"));
    dlclose(lib);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
