// Reading .desktop files: the main group only, translations by locale, escapes and lists,
// and the command lines that open files and addresses with a program.

#include "platform/linux/desktopentry.h"
#include "platformtest.h"

#include <gtest/gtest.h>

using namespace folivo::platform;

namespace {

// Shaped like the description a browser package installs.
const QByteArray kBrowser = R"([Desktop Entry]
Version=1.0
Name=Firefox ESR
GenericName=Web Browser
GenericName[de]=Webbrowser
GenericName[pt]=Navegador da Internet
GenericName[pt_BR]=Navegador Web
GenericName[sr]=Веб прегледач
GenericName[sr@latin]=Veb pregledač
Comment=Browse the World Wide Web
Comment[fr]=Naviguer sur le Web
Exec=/usr/lib/firefox-esr/firefox-esr %u
Icon=firefox-esr
Terminal=false
Type=Application
MimeType=text/html;text/xml;application/xhtml+xml;x-scheme-handler/http;x-scheme-handler/https;
Categories=Network;WebBrowser;
Actions=new-window;new-private-window;

[Desktop Action new-window]
Name=New Window
Name[de]=Neues Fenster
Exec=/usr/lib/firefox-esr/firefox-esr --new-window %u

[Desktop Action new-private-window]
Name=New Private Window
Exec=/usr/lib/firefox-esr/firefox-esr --private-window %u
)";

} // namespace

TEST(DesktopEntry, ReadsTheMainGroupAndNotTheActions)
{
    const std::optional<DesktopEntry> entry = DesktopEntry::parse(kBrowser);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->string("Name"), "Firefox ESR");
    EXPECT_EQ(entry->localeString("Name", "de_DE.UTF-8"), "Firefox ESR");
    EXPECT_EQ(entry->string("Exec"), "/usr/lib/firefox-esr/firefox-esr %u");
    EXPECT_EQ(entry->list("MimeType"), QStringList({"text/html", "text/xml", "application/xhtml+xml",
                                                    "x-scheme-handler/http", "x-scheme-handler/https"}));
    EXPECT_EQ(entry->list("Actions"), QStringList({"new-window", "new-private-window"}));
    EXPECT_FALSE(entry->boolean("Terminal"));
}

TEST(DesktopEntry, PicksTheTranslationForTheLocale)
{
    const std::optional<DesktopEntry> entry = DesktopEntry::parse(kBrowser);
    ASSERT_TRUE(entry);
    const struct {
        const char* locale;
        const char* genericName;
    } cases[] = {
        {"de_DE.UTF-8", "Webbrowser"},              // language only
        {"de_AT@euro", "Webbrowser"},               // modifier without a translation of its own
        {"pt_BR.UTF-8", "Navegador Web"},           // country first
        {"pt_PT", "Navegador da Internet"},         // then the language
        {"sr_RS.UTF-8@latin", "Veb pregledač"},     // language with the modifier before the language
        {"sr_RS", "Веб прегледач"},
        {"fr_FR.UTF-8", "Web Browser"},             // no translation: the value itself
        {"C", "Web Browser"},
        {"", "Web Browser"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entry->localeString("GenericName", c.locale), QString::fromUtf8(c.genericName)) << c.locale;
    EXPECT_EQ(entry->localeString("Comment", "fr_CA"), "Naviguer sur le Web");
}

TEST(DesktopEntry, EscapesListsAndTheLinesAroundThem)
{
    // Windows line ends, blanks around "=", comments, a key before any group, a second main
    // group, and values that an INI reader would mangle.
    const QByteArray text = "Name=Before any group\r\n"
                            "# A comment = with an equals sign\r\n"
                            "[Desktop Entry]\r\n"
                            "Type = Application\r\n"
                            "Name=Scan\\sTool\r\n"
                            "Comment=First line\\nSecond\\tline with a \\\\ backslash\r\n"
                            "Keywords=scan;paper\\;ink;;archive;\r\n"
                            "X-Ratio=50%,60%\r\n"
                            "Exec=scan-tool --title=\"Scan, Print & Mail\" %F\r\n"
                            "Hidden=True\r\n"
                            "NoDisplay=true\r\n"
                            "Bad Key=ignored\r\n"
                            "\r\n"
                            "[Desktop Entry]\r\n"
                            "Name=A second main group\r\n";
    const std::optional<DesktopEntry> entry = DesktopEntry::parse(text);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->string("Type"), "Application");
    EXPECT_EQ(entry->string("Name"), "Scan Tool");
    EXPECT_EQ(entry->string("Comment"), "First line\nSecond\tline with a \\ backslash");
    EXPECT_EQ(entry->list("Keywords"), QStringList({"scan", "paper;ink", "archive"}));
    EXPECT_EQ(entry->string("X-Ratio"), "50%,60%");
    EXPECT_EQ(entry->execArguments(), QStringList({"scan-tool", "--title=Scan, Print & Mail", "%F"}));
    EXPECT_FALSE(entry->boolean("Hidden")); // only "true" is true
    EXPECT_TRUE(entry->boolean("NoDisplay"));
    EXPECT_FALSE(entry->has("Bad Key"));

    EXPECT_FALSE(DesktopEntry::parse("[Desktop Action new]\nName=No main group\n"));
    EXPECT_FALSE(DesktopEntry::parse(""));
}

TEST(DesktopEntry, CommandLinesForWhatIsOpened)
{
    const QUrl spaced = QUrl::fromLocalFile("/home/me/My Papers/a b.pdf");
    const QUrl plain = QUrl::fromLocalFile("/home/me/b.pdf");
    const QUrl percent = QUrl::fromLocalFile("/tmp/100% sure.pdf");
    const QUrl web("https://example.com/x y?q=1");
    using Lines = std::optional<QList<QStringList>>;
    // Spelled out: a braced pair of strings would pass for a range of characters.
    const auto lines = [](std::initializer_list<QStringList> l) { return Lines(QList<QStringList>(l)); };
    const struct {
        const char* exec;
        QList<QUrl> urls;
        Lines expected;
    } cases[] = {
        // A list code: one start with everything; addresses stay encoded.
        {"viewer %U", {spaced, web},
         lines({{"viewer", "file:///home/me/My%20Papers/a%20b.pdf", "https://example.com/x%20y?q=1"}})},
        {"viewer %F", {spaced, plain}, lines({{"viewer", "/home/me/My Papers/a b.pdf", "/home/me/b.pdf"}})},
        // A single code: one start per item.
        {"viewer %f", {spaced, plain}, lines({{"viewer", "/home/me/My Papers/a b.pdf"}, {"viewer", "/home/me/b.pdf"}})},
        {"viewer --new %u", {web}, lines({{"viewer", "--new", "https://example.com/x%20y?q=1"}})},
        {"viewer %u", {}, lines({{"viewer"}})},
        // Files only, and an address from the web: it cannot take it.
        {"viewer %F", {web}, std::nullopt},
        {"viewer %f", {plain, web}, std::nullopt},
        // A program that takes nothing opens nothing, but can be started as such.
        {"viewer --new-window", {web}, std::nullopt},
        {"viewer --new-window", {}, lines({{"viewer", "--new-window"}})},
        // The other codes; a file name with "%" in it is not read again.
        {"\"/opt/My Viewer/bin/viewer\" --title=%c %i --desktop-file %k %%d %f", {percent},
         lines({{"/opt/My Viewer/bin/viewer", "--title=Viewer", "--icon", "viewer-icon", "--desktop-file",
                 "/usr/share/applications/viewer.desktop", "%d", "/tmp/100% sure.pdf"}})},
        // Retired codes vanish, an empty quoted argument stays.
        {"viewer %d %D %n %N %v %m \"\" %f", {plain}, lines({{"viewer", "", "/home/me/b.pdf"}})},
        // Quoting after the string escapes: \\" is a quote inside quotes, \\\\ one backslash.
        {R"(sh -c "a \\" b" "c:\\\\dir" 'single $x' un\\ quoted %u)", {web},
         lines({{"sh", "-c", "a \" b", "c:\\dir", "single $x", "un quoted", "https://example.com/x%20y?q=1"}})},
        // Broken lines.
        {"viewer \"unterminated %u", {web}, std::nullopt},
        {"viewer 'unterminated", {}, std::nullopt},
        {"viewer %z", {}, std::nullopt},
        {"viewer 100%", {}, std::nullopt},
        {"", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        const QByteArray text = QByteArray("[Desktop Entry]\nType=Application\nName=Viewer\nIcon=viewer-icon\nExec=") +
                                c.exec + "\n";
        const std::optional<DesktopEntry> entry = DesktopEntry::parse(text);
        ASSERT_TRUE(entry) << c.exec;
        EXPECT_EQ(entry->commandLines(c.urls, "Viewer", "/usr/share/applications/viewer.desktop"), c.expected)
            << c.exec;
    }
    const std::optional<DesktopEntry> noExec = DesktopEntry::parse("[Desktop Entry]\nType=Application\n");
    ASSERT_TRUE(noExec);
    EXPECT_EQ(noExec->commandLines({}, "Viewer", {}), std::nullopt);
}
