#pragma once
// The desktop the program runs on: opening a file or an address with the program the person
// chose for it, showing a file in the file manager, starting a mail with files attached, and
// the programs installed to open web pages or a type of file.
//
// Every call returns at once; the other program runs on its own. A true answer means the
// request was handed on, not that the other program has finished with it. Printing is not
// here: it draws pages with Qt's print support in the window's own code.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace folivo::platform {

// A program the desktop can start, as the menus list it.
struct Application {
    QString id;       // the desktop's name for it ("firefox-esr.desktop"); what openWith takes
    QString name;     // its name in the person's language
    QString icon;     // an icon name of the theme, or an icon file
    QString filePath; // where the desktop keeps its description
    friend bool operator==(const Application&, const Application&) = default;
};

struct MailMessage {
    QStringList to; // addresses; none leaves the recipient to the person
    QString subject;
    QString body;
    QStringList attachments; // paths of existing files
};

class Desktop {
public:
    virtual ~Desktop();

    // Opens the file (or folder) with the program the desktop uses for its type. False when
    // it does not exist or no program could be started.
    virtual bool openFile(const QString& path) = 0;
    // Opens an address (web page, mail address, local file) with the desktop's program for
    // its scheme. False for an address without a scheme.
    virtual bool openUrl(const QUrl& url) = 0;
    // Opens the addresses with one particular program (an Application's id). False when the
    // program is not installed or cannot take them (a program for files and a web address),
    // so that the caller can fall back to openUrl.
    virtual bool openWith(const QString& applicationId, const QList<QUrl>& urls) = 0;
    // Lets the person pick the program in the desktop's own chooser (the "Open With" dialog
    // of the desktop portal), which then opens the file. Where the desktop has no such
    // chooser (no portal on the bus, or it refused), `noChooser` runs instead, later, so that
    // the caller can offer its own list. False when there is no such file.
    virtual bool openWithChooser(const QString& path, std::function<void()> noChooser) = 0;
    // Shows the file in the file manager, selected in its folder; where the file manager
    // cannot be asked for that, opens the folder that holds it. False when there is no such
    // file.
    virtual bool reveal(const QString& path) = 0;
    // Starts a new message in the person's mail program. False when an attachment is not an
    // existing file or an address is not one, so that nothing is sent without it.
    virtual bool composeMail(const MailMessage& message) = 0;

    // The installed web browsers (programs for "https" addresses), sorted by name.
    virtual QList<Application> webBrowsers() const = 0;
    // The installed programs that open files of the MIME type, sorted by name.
    virtual QList<Application> applicationsFor(const QString& mimeType) const = 0;
};

} // namespace folivo::platform
