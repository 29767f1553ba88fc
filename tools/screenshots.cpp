// Takes the documentation's pictures of the window: an empty database, a tree with date
// folders, the delete question, the preferences and the attributes of a folder and a file. Run it under an X server (see
// scripts/screenshots.sh); it writes PNG files into the folder given.
//
//   folivo-screenshots OUTDIR

#include "attributes/attributesarea.h"
#include "browser/itemicons.h"
#include "mainwindow.h"
#include "preferences/preferencesdialog.h"
#include "browser/treemodel.h"

#include "browser/menuvalidation.h"
#include "attributes/notes.h"
#include "filing/filedates.h"
#include "filing/filingrules.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <functional>

using namespace folivo;
using namespace folivo::gui;

namespace {

void settle(int ms = 400)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(const QPixmap& picture, const QString& file)
{
    if (picture.isNull() || !picture.save(file)) {
        std::fprintf(stderr, "folivo-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// The screen where the window is, with whatever dialogs are over it.
QPixmap screenAround(QWidget* window)
{
    const QRect frame = window->frameGeometry();
    return window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Folivo"));
    ItemIcons::ensureIconTheme();
    if (argc < 2) {
        std::fprintf(stderr, "usage: folivo-screenshots OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath("config")));
    KTPrefs prefs(QStringLiteral("org.folivo.FolivoScreenshots"));
    applyLaunchDefaults(prefs);
    prefs.setBool(true, QStringLiteral("NotifyOpenIndexCheck"));
    bool ok = true;

    MainWindow window(nullptr, &prefs);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    if (!window.createDatabase(work.filePath("Household.fvdb")).ok())
        return 1;
    window.resize(1000, 720);
    window.move(0, 0);
    window.show();
    settle();
    ok &= save(window.grab(), out + "/empty-database.png");

    // A small household: folders, and statements filed into year and month folders.
    MyDocument& doc = window.document();
    for (const char* path : {"Bank", "Bank/Visa", "Bank/Savings", "Car", "Car/Insurance", "Health", "House",
                             "House/Electricity", "Taxes"}) {
        const QString p = QString::fromLatin1(path);
        const qsizetype slash = p.lastIndexOf('/');
        doc.recordNewCategory(p, slash < 0 ? nullptr : doc.tree().itemForPath(p.left(slash)), -1);
    }
    QStringList files;
    for (const char* name : {"Visa+1-31-2024.txt", "Visa+2-29-2024.txt", "Visa+3-31-2024.txt", "Savings+q1-2024.txt",
                             "Insurance+6-30-2024.txt", "Electricity+4-30-2024.txt", "Electricity+5-31-2024.txt",
                             "Taxes+12-31-2023.txt"}) {
        const QString path = work.filePath(QStringLiteral("in/") + QString::fromLatin1(name));
        writeFile(path, QByteArray("Statement\n"));
        files << path;
    }
    window.importPaths(files);
    settle();
    window.expandAll();
    window.selectItems({QStringLiteral("Bank/Visa/2024/January/Visa+1-31-2024.txt")});
    window.treeView()->scrollToTop();
    settle();
    ok &= save(window.grab(), out + "/tree-with-date-folders.png");

    // The delete question over the window.
    window.selectItems({QStringLiteral("Bank/Visa/2024/January/Visa+1-31-2024.txt"),
                        QStringLiteral("Bank/Visa/2024/February/Visa+2-29-2024.txt")});
    settle(200);
    QTimer::singleShot(700, [&] {
        ok &= save(screenAround(&window), out + "/delete-question.png");
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == QLatin1String("No"))
                    b->click();
        }
    });
    window.runCommand(MenuCommand::Delete);

    // The preferences.
    PreferencesDialog preferences(prefs, &window);
    preferences.show();
    settle();
    ok &= save(preferences.grab(), out + "/preferences.png");
    preferences.reject();

    // The attributes: a folder's auto-filing tools, then a file's dates and notes.
    if (!doc.settings().attributesViewState)
        window.runCommand(MenuCommand::ShowAttributes);
    setFolderFilingText(doc, QStringLiteral("Bank/Visa"), filingkeys::CategoryMatch, QStringLiteral("VISA PLATINUM"));
    setFolderFilingText(doc, QStringLiteral("Bank/Visa"), filingkeys::StartingDateMatch,
                        QStringLiteral("Statement period from"));
    setFolderFilingText(doc, QStringLiteral("Bank/Visa"), filingkeys::EndingDateMatch, QStringLiteral("through"));
    saveNotes(doc, QStringLiteral("Bank/Visa/2024/March/Visa+3-31-2024.txt"), QStringLiteral("Paid in full on April 12."));
    auto* area = window.findChild<AttributesArea*>();
    window.selectItems({QStringLiteral("Bank/Visa")});
    settle(200);
    if (area) {
        area->tabs()->setCurrentWidget(area->folderPage());
        area->folderTabs()->setCurrentWidget(area->autoFilingPage());
    }
    settle();
    ok &= save(window.grab(), out + "/attributes-folder-autofiling.png");
    window.selectItems({QStringLiteral("Bank/Visa/2024/March/Visa+3-31-2024.txt")});
    settle(200);
    if (area)
        area->tabs()->setCurrentWidget(area->filePage());
    settle();
    ok &= save(window.grab(), out + "/attributes-file.png");

    window.close();
    return ok ? 0 : 1;
}
