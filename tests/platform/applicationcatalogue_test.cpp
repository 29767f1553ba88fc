// The installed programs from the .desktop files of the data folders: which ones a menu of
// web browsers or of programs for a type shows, in which order and under which name, and
// which folders a session's environment names.

#include "platform/linux/applicationcatalogue.h"
#include "platformtest.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace folivo::platform;
using namespace folivo::platform::test;

namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_.emplace(ScopedEnvironment::Values{{"PATH", (bin("") + ":" + qEnvironmentVariable("PATH")).toUtf8()}});
        for (const char* program : {"firefox-esr", "chromium", "konqueror", "epiphany", "opera", "w3m", "midori",
                                    "abrowser", "evince", "okular"})
            ASSERT_TRUE(writeFile(bin(program), "#!/bin/sh\nexit 0\n", true));
        // The system's folders.
        app("sys", "firefox-esr.desktop", "Name=Firefox ESR\nName[de]=Firefox-Webbrowser\n"
                                          "Exec=" + bin("firefox-esr") + " %u\n"
                                          "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n");
        // Found through $PATH.
        app("sys", "chromium.desktop", "Name=Chromium\nTryExec=chromium\nExec=chromium %U\n"
                                       "MimeType=x-scheme-handler/http;\n");
        app("sys", "kde4/konqbrowser.desktop", "Name=Konqueror\nExec=" + bin("konqueror") + " %u\n"
                                               "MimeType=x-scheme-handler/http;\nOnlyShowIn=KDE;\n");
        app("sys", "midori.desktop", "Name=midori\nExec=" + bin("midori") + " %u\n"
                                     "MimeType=x-scheme-handler/http;\nNotShowIn=GNOME;XFCE;\n");
        app("sys", "epiphany.desktop", "Name=Web\nExec=" + bin("epiphany") + " %u\n"
                                       "MimeType=x-scheme-handler/http;\nNoDisplay=true\n");
        app("sys", "opera.desktop", "Name=Opera\nExec=" + bin("opera") + " %u\nMimeType=x-scheme-handler/http;\n");
        app("sys", "w3m.desktop", "Name=W3M\nExec=" + bin("w3m") + " %u\nMimeType=x-scheme-handler/http;\n"
                                  "Terminal=true\n");
        app("sys", "uninstalled.desktop", "Name=Uninstalled\nTryExec=" + bin("gone") + "\nExec=" + bin("firefox-esr") +
                                              " %u\nMimeType=x-scheme-handler/http;\n");
        app("sys", "no-program.desktop", "Name=No Program\nExec=" + bin("gone") + " %u\n"
                                         "MimeType=x-scheme-handler/http;\n");
        app("sys", "secure-only.desktop", "Name=Secure Only\nExec=" + bin("firefox-esr") + " %u\n"
                                          "MimeType=text/html;x-scheme-handler/https;\n");
        app("sys", "bookmark.desktop", "Name=Bookmark\nURL=https://example.com/\nMimeType=x-scheme-handler/http;\n",
            "Link");
        app("sys", "evince.desktop", "Name=Document Viewer\nExec=" + bin("evince") + " %U\n"
                                     "MimeType=application/x-pdf;image/tiff;\n"); // an alias of application/pdf
        app("sys", "okular.desktop", "Name=Okular\nExec=" + bin("okular") + " %U\nMimeType=application/pdf;\n");
        // A later folder: the same name in an earlier folder wins.
        app("later", "firefox-esr.desktop", "Name=Old Firefox\nExec=" + bin("firefox-esr") + " %u\n"
                                            "MimeType=x-scheme-handler/http;\n");
        app("later", "abrowser.desktop", "Name=abrowser\nExec=" + bin("abrowser") + " %u\n"
                                         "MimeType=x-scheme-handler/http;\n");
        // The person's own folder: a browser of their own, and the system's Opera deleted.
        app("home", "my-browser.desktop", "Name=Zeta Browser\nExec=" + bin("chromium") +
                                              " --profile-directory=\"Zeta\" %U\nMimeType=x-scheme-handler/http;\n");
        app("home", "opera.desktop", "Name=Opera\nHidden=true\n");
    }
    QString bin(const QString& name) const { return dir_.filePath("bin/" + name); }
    void app(const QString& folder, const QString& rel, const QString& keys, const QString& type = "Application")
    {
        ASSERT_TRUE(writeFile(dir_.filePath(folder + "/applications/" + rel),
                              ("[Desktop Entry]\nType=" + type + "\n" + keys).toUtf8()));
    }
    ApplicationCatalogue catalogue(const QString& locale, const QStringList& desktops) const
    {
        return ApplicationCatalogue({dir_.filePath("home/applications"), dir_.filePath("sys/applications"),
                                     dir_.filePath("later/applications")},
                                    locale, desktops);
    }
    static QStringList ids(const QList<Application>& apps)
    {
        QStringList out;
        for (const Application& a : apps)
            out << a.id + " " + a.name;
        return out;
    }

    QTemporaryDir dir_;
    std::optional<ScopedEnvironment> path_;
};

} // namespace

TEST_F(Catalogue, WebBrowsersAreTheShownProgramsForHttpByName)
{
    const struct {
        const char* locale;
        QStringList desktops;
        QStringList expected;
    } cases[] = {
        // Capitals sort before small letters; the person's own browser is among them.
        {"de_DE.UTF-8",
         {"GNOME"},
         {"chromium.desktop Chromium", "firefox-esr.desktop Firefox-Webbrowser", "my-browser.desktop Zeta Browser",
          "abrowser.desktop abrowser"}},
        // Under KDE its own browser shows, with an id from its subfolder, and the one kept
        // from GNOME and XFCE too.
        {"C",
         {"KDE"},
         {"chromium.desktop Chromium", "firefox-esr.desktop Firefox ESR", "kde4-konqbrowser.desktop Konqueror",
          "my-browser.desktop Zeta Browser", "abrowser.desktop abrowser", "midori.desktop midori"}},
        // A desktop that names itself twice: either name counts.
        {"", {"ubuntu", "GNOME"},
         {"chromium.desktop Chromium", "firefox-esr.desktop Firefox ESR", "my-browser.desktop Zeta Browser",
          "abrowser.desktop abrowser"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ids(catalogue(c.locale, c.desktops).applicationsFor("x-scheme-handler/http")), c.expected)
            << c.locale;
    }
    const QList<Application> browsers = catalogue("C", {}).applicationsFor("x-scheme-handler/http");
    ASSERT_FALSE(browsers.isEmpty());
    EXPECT_EQ(browsers.front().filePath, dir_.filePath("sys/applications/chromium.desktop"));
}

TEST_F(Catalogue, ProgramsForAFileTypeByItsCanonicalName)
{
    EXPECT_EQ(ids(catalogue("C", {}).applicationsFor("application/pdf")),
              QStringList({"evince.desktop Document Viewer", "okular.desktop Okular"}));
    EXPECT_EQ(ids(catalogue("C", {}).applicationsFor("application/x-pdf")),
              QStringList({"evince.desktop Document Viewer", "okular.desktop Okular"}));
    EXPECT_TRUE(catalogue("C", {}).applicationsFor("image/png").isEmpty());
}

TEST_F(Catalogue, FindsStartableProgramsShownOrNot)
{
    const ApplicationCatalogue apps = catalogue("C", {"GNOME"});
    // Not in menus, or not on this desktop, but there to be started by name.
    EXPECT_TRUE(apps.find("epiphany.desktop"));
    EXPECT_TRUE(apps.find("kde4-konqbrowser.desktop"));
    ASSERT_TRUE(apps.find("firefox-esr.desktop"));
    EXPECT_EQ(apps.nameOf(*apps.find("firefox-esr.desktop")), "Firefox ESR");
    for (const char* gone : {"opera.desktop", "uninstalled.desktop", "no-program.desktop", "w3m.desktop",
                             "bookmark.desktop", "konqbrowser.desktop", "nothing.desktop"})
        EXPECT_FALSE(apps.find(gone)) << gone;
}

TEST(CatalogueEnvironment, FoldersLocaleAndDesktopOfTheSession)
{
    const auto folders = [](const char* dataHome, const char* dataDirs) {
        const auto value = [](const char* v) { return v ? std::optional<QByteArray>(v) : std::nullopt; };
        ScopedEnvironment env({{"XDG_DATA_HOME", value(dataHome)}, {"XDG_DATA_DIRS", value(dataDirs)}});
        return ApplicationCatalogue::fromEnvironment().folders();
    };
    const QString home = QDir::homePath();
    EXPECT_EQ(folders(nullptr, nullptr), QStringList({home + "/.local/share/applications",
                                                      "/usr/local/share/applications", "/usr/share/applications"}));
    // Relative and empty entries are not folders of anything; a repeated one counts once.
    EXPECT_EQ(folders("relative/share", "/opt/share/::rel/dir:/usr/share/:/opt/share"),
              QStringList({home + "/.local/share/applications", "/opt/share/applications",
                           "/usr/share/applications"}));
    EXPECT_EQ(folders("/data/home", ""), QStringList({"/data/home/applications", "/usr/local/share/applications",
                                                      "/usr/share/applications"}));

    {
        ScopedEnvironment env(
            {{"LC_ALL", std::nullopt}, {"LC_MESSAGES", "pt_BR.UTF-8"}, {"LANG", "de_DE.UTF-8"},
             {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}});
        EXPECT_EQ(ApplicationCatalogue::fromEnvironment().locale(), "pt_BR.UTF-8");
        EXPECT_EQ(ApplicationCatalogue::fromEnvironment().currentDesktops(), QStringList({"ubuntu", "GNOME"}));
    }
    {
        ScopedEnvironment env({{"LC_ALL", std::nullopt}, {"LC_MESSAGES", ""}, {"LANG", "de_DE.UTF-8"}});
        EXPECT_EQ(ApplicationCatalogue::fromEnvironment().locale(), "de_DE.UTF-8");
    }
}
