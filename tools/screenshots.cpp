// Takes the documentation's pictures of the window: an empty database, a tree with date
// folders, the delete question, the viewer showing a PDF, an image and a text file, the
// attributes of a folder and a file, the window showing a statement with its attributes, and
// the preferences. Run it under an X server (see
// scripts/screenshots.sh); it writes PNG files into the folder given.
//
//   folivo-screenshots OUTDIR

#include "attributes/attributesarea.h"
#include "browser/browserpane.h"
#include "attributes/customattributesdialog.h"
#include "browser/itemicons.h"
#include "find/finddialog.h"
#include "logins/loginpage.h"
#include "logins/loginpanels.h"
#include "mainwindow.h"
#include "reminders/reminderpage.h"
#include "reminders/reminderscheduler.h"
#include "platform/linux/linuxnotifications.h"
#include "filing/ktdate.h"
#include "smartfolders/tagpanel.h"
#include "reports/reportcriteria.h"
#include "smartfolders/smartfolders.h"

#include "logins/loginedits.h"
#include "logins/loginrecord.h"
#include "reminders/reminders.h"
#include "store/indexitem.h"

#include "find/documentmatch.h"
#include "find/messages.h"
#include "find/selectall.h"
#include "preferences/loginpreferences.h"
#include "preferences/preferencesdialog.h"
#include "browser/treemodel.h"

#include "browser/menuvalidation.h"
#include "attributes/customattributes.h"
#include "attributes/notes.h"
#include "attributes/tagpanelmessages.h"
#include "attributes/tags.h"
#include "filing/filedates.h"
#include "filing/filingrules.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
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

// A one-page statement as a bank would send it.
QByteArray statementPdf()
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setResolution(144);
    QPainter p(&writer);
    QFont title(QStringLiteral("Sans"), 20, QFont::Bold);
    QFont body(QStringLiteral("Sans"), 10);
    p.setFont(title);
    p.drawText(100, 140, QStringLiteral("Visa Card Statement"));
    p.setFont(body);
    p.drawText(100, 190, QStringLiteral("Statement date: March 31, 2024        Account ending 4821"));
    p.drawLine(100, 220, 1124, 220);
    const char* rows[][3] = {{"03/02", "Corner Grocery", "54.20"}, {"03/05", "City Electric", "88.10"},
                             {"03/09", "Book Shop", "23.95"},      {"03/14", "Pharmacy", "12.40"},
                             {"03/18", "Fuel Station", "61.00"},   {"03/22", "Restaurant Alba", "47.80"},
                             {"03/27", "Hardware Store", "32.15"}, {"03/30", "Payment - thank you", "-300.00"}};
    int y = 270;
    for (const auto& row : rows) {
        p.drawText(100, y, QString::fromLatin1(row[0]));
        p.drawText(260, y, QString::fromLatin1(row[1]));
        p.drawText(QRect(900, y - 24, 224, 30), Qt::AlignRight, QString::fromLatin1(row[2]));
        y += 40;
    }
    p.drawLine(100, y, 1124, y);
    p.setFont(QFont(QStringLiteral("Sans"), 10, QFont::Bold));
    p.drawText(QRect(600, y + 16, 524, 30), Qt::AlignRight, QStringLiteral("New balance: 19.60"));
    p.end();
    return out;
}

// A scanned receipt: dark print on a greyish page, slightly askew.
QByteArray receiptPng()
{
    QImage image(700, 900, QImage::Format_RGB32);
    image.fill(QColor(226, 224, 218));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(350, 450);
    p.rotate(-2.5);
    p.translate(-350, -450);
    p.fillRect(QRect(120, 60, 460, 780), QColor(246, 245, 240));
    p.setPen(QColor(60, 60, 64));
    p.setFont(QFont(QStringLiteral("Monospace"), 16, QFont::Bold));
    p.drawText(QRect(120, 100, 460, 40), Qt::AlignHCenter, QStringLiteral("HARDWARE STORE"));
    p.setFont(QFont(QStringLiteral("Monospace"), 11));
    p.drawText(QRect(120, 140, 460, 30), Qt::AlignHCenter, QStringLiteral("12 Main Street"));
    int y = 220;
    for (const auto& [item, price] : {std::pair{"Screws 4x40 (100)", "6.90"},
                                      {"Wall plugs", "3.25"},
                                      {"Paint brush 50mm", "8.50"},
                                      {"Masking tape", "4.10"},
                                      {"Sandpaper P120", "9.40"}}) {
        p.drawText(150, y, QString::fromLatin1(item));
        p.drawText(QRect(380, y - 18, 170, 24), Qt::AlignRight, QString::fromLatin1(price));
        y += 40;
    }
    p.drawLine(150, y, 550, y);
    p.setFont(QFont(QStringLiteral("Monospace"), 12, QFont::Bold));
    p.drawText(150, y + 40, QStringLiteral("TOTAL"));
    p.drawText(QRect(380, y + 22, 170, 24), Qt::AlignRight, QStringLiteral("32.15"));
    p.setFont(QFont(QStringLiteral("Monospace"), 10));
    p.drawText(QRect(120, y + 120, 460, 30), Qt::AlignHCenter, QStringLiteral("27/03/2024  14:32"));
    p.end();
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
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

    // The viewer: a statement, a scanned receipt and a letter.
    {
        const QString pdf = work.filePath(QStringLiteral("in/Statement March.pdf"));
        const QString png = work.filePath(QStringLiteral("in/Receipt.png"));
        const QString txt = work.filePath(QStringLiteral("in/Letter to the landlord.txt"));
        writeFile(pdf, statementPdf());
        writeFile(png, receiptPng());
        writeFile(txt, "Dear Mr. Hill,\n\nthe heating in the flat has not worked since Monday. Could you send someone "
                       "to look at it this week?\n\nThe meter reading on March 28 was 4 512.\n\nKind regards,\n"
                       "Anna Berg\n");
        window.importPaths({pdf, png, txt}, QStringLiteral("House"), 0, true);
        settle();
        const struct {
            const char* item;
            const char* picture;
        } shown[] = {{"House/Statement March.pdf", "/viewer-pdf.png"},
                     {"House/Receipt.png", "/viewer-image.png"},
                     {"House/Letter to the landlord.txt", "/viewer-text.png"}};
        for (const auto& s : shown) {
            window.selectItems({QString::fromUtf8(s.item)});
            settle(800);
            ok &= save(window.grab(), out + QString::fromLatin1(s.picture));
        }
    }

    // The preferences.
    PreferencesDialog preferences(prefs, &window);
    preferences.show();
    settle();
    ok &= save(preferences.grab(), out + "/preferences.png");
    preferences.reject();
    {
        // The logins page, typing at a middle speed.
        prefs.setInteger(60, QStringLiteral("typeSpeed"));
        PreferencesDialog logins(prefs, &window);
        logins.tabs()->setCurrentWidget(logins.loginsPage());
        logins.show();
        settle();
        ok &= save(logins.grab(), out + "/preferences-logins.png");
        logins.reject();
        prefs.removeObjectForKey(QStringLiteral("typeSpeed"));
    }

    // The attributes: a folder's auto-filing tools, then a file's dates and notes.
    if (!doc.settings().attributesViewState)
        window.runCommand(MenuCommand::ShowAttributes);
    setFolderFilingText(doc, QStringLiteral("Bank/Visa"), filingkeys::CategoryMatch, QStringLiteral("VISA PLATINUM"));
    setFolderFilingText(doc, QStringLiteral("Bank/Visa"), filingkeys::StartingDateMatch,
                        QStringLiteral("Statement period from"));
    setFolderFilingText(doc, QStringLiteral("Bank/Visa"), filingkeys::EndingDateMatch, QStringLiteral("through"));
    saveNotes(doc, QStringLiteral("Bank/Visa/2024/March/Visa+3-31-2024.txt"), QStringLiteral("Paid in full on April 12."));
    setTags(doc, QStringLiteral("Bank/Visa/2024/March/Visa+3-31-2024.txt"),
            {QStringLiteral("credit card"), QStringLiteral("travel"), QStringLiteral("tax 2024")});
    auto* area = window.findChild<AttributesArea*>();
    window.selectItems({QStringLiteral("Bank/Visa")});
    settle(200);
    if (area) {
        area->tabs()->setCurrentWidget(area->folderPage());
        area->folderTabs()->setCurrentWidget(area->autoFilingPage());
    }
    settle();
    ok &= save(window.grab(), out + "/attributes-folder-autofiling.png");
    const QString march = QStringLiteral("Bank/Visa/2024/March/Visa+3-31-2024.txt");
    doc.customAttributes().setNames(doc, {QStringLiteral("Account"), QStringLiteral("Amount")});
    setCustomAttribute(doc, march, QStringLiteral("Account"), QStringLiteral("Visa Platinum"));
    setCustomAttribute(doc, march, QStringLiteral("Amount"), QStringLiteral("412.80"));
    window.selectItems({march});
    settle(200);
    if (area)
        area->tabs()->setCurrentWidget(area->filePage());
    settle();
    ok &= save(window.grab(), out + "/attributes-file.png");

    // The editor of the custom attribute names.
    QTimer::singleShot(500, [&] {
        if (auto* editor = qobject_cast<CustomAttributesDialog*>(QApplication::activeModalWidget())) {
            ok &= save(screenAround(editor), out + "/custom-attribute-names.png");
            editor->accept();
        }
    });
    window.runCommand(MenuCommand::CustomAttributes);

    // The window as it is used every day: a statement shown, its dates and notes below the tree.
    saveNotes(doc, QStringLiteral("House/Statement March.pdf"), QStringLiteral("Card paid off on April 2."));
    window.selectItems({QStringLiteral("House/Statement March.pdf")});
    settle(800);
    if (area)
        area->tabs()->setCurrentWidget(area->filePage());
    settle();
    ok &= save(window.grab(), out + "/window.png");

    // The Find dialog with a name, a tag and a date range row, then what select all selected.
    {
        FindDialog find(doc.customAttributes().names(), false, &window);
        FindCriteria criteria;
        FindCondition name, tag, range;
        name.tag = findbits::LegacyNameContainsIgnoringCase;
        name.name = QStringLiteral("statement");
        tag.tag = findbits::Tags | findbits::IgnoreCase;
        tag.name = QStringLiteral("finance");
        range.tag = findbits::ItemDates | findbits::Between;
        range.fromDate = QStringLiteral("1/01/2024");
        range.toDate = QStringLiteral("12/31/2024");
        criteria.conditions = {name, tag, range};
        criteria.all = false;
        criteria.type = int(FindType::SelectAll);
        find.setup(criteria);
        find.show();
        settle();
        ok &= save(find.grab(), out + "/find-dialog.png");
        find.row(0)->textField()->clear();
        find.criteriaFromDialog();
        settle(200);
        ok &= save(find.grab(), out + "/find-dialog-warning.png");
        find.reject();
        DocumentMatchContext context(doc, false);
        FindCriteria electricity;
        FindCondition word;
        word.tag = findbits::LegacyNameContainsIgnoringCase;
        word.name = QStringLiteral("electricity");
        electricity.conditions = {word};
        const QStringList found = selectAllMatching(doc.tree(), electricity, context);
        window.browser().selectItems(found, folivo::findmsg::foundSelected(found.size()));
        settle(400);
        ok &= save(window.grab(), out + "/find-select-all.png");
    }

    // A folder's reminder and the list of those due; then the same folder's website login.
    {
        ReminderDefinition monthly;
        monthly.when = 1;
        monthly.day = QString::number(QDate::currentDate().day() + 1 > 28 ? 1 : QDate::currentDate().day() + 1);
        doc.reminders().setDefinition(*doc.tree().itemForPath(QStringLiteral("Bank/Visa")), monthly);
        ReminderDefinition yearly;
        yearly.when = 5;
        yearly.day = QString::number(QDate::currentDate().day());
        yearly.month = std::int64_t(QDate::currentDate().month() - 1); // due today
        yearly.textType = 2;
        yearly.text = QStringLiteral("Renew the car insurance");
        if (IndexItem* car = doc.tree().itemForPath(QStringLiteral("Car")))
            doc.reminders().setDefinition(*car, yearly);
        window.selectItems({QStringLiteral("Bank/Visa")});
        settle(200);
        if (area)
            area->showReminderPage();
        settle();
        ok &= save(window.grab(), out + "/reminders.png");

        // The notification of the reminder due today, as the desktop's notification daemon
        // shows it (scripts/screenshots.sh runs one on a session bus of its own).
        if (qEnvironmentVariable("FOLIVO_SCREENSHOT_NOTIFICATION") == QLatin1String("1")) {
            folivo::platform::LinuxNotifications notifications;
            for (const ReminderNotice& n : doc.reminders().noticesFrom(KTDate::atMidnight(QDate::currentDate())))
                if (n.when <= QDateTime::currentDateTime())
                    notifications.schedule(ReminderScheduler::notificationFor(n));
            settle(1500);
            window.hide();
            settle(300);
            if (QScreen* screen = QGuiApplication::primaryScreen()) {
                const QPixmap desktop = screen->grabWindow(0);
                // The corner the daemon draws in, not the whole empty screen.
                ok &= save(desktop.copy(desktop.width() - 520, 0, 520, 160), out + "/reminder-notification.png");
            }
            window.show();
            settle(300);
        }

        editLogin(doc, QStringLiteral("Bank/Visa"), [](IndexItem& f) {
            setLoginField(f, loginkeys::URL, QStringLiteral("https://bank.example/login"));
            setLoginField(f, loginkeys::UserID, QStringLiteral("jane.doe"));
            setLoginField(f, loginkeys::Password, QStringLiteral("not-a-real-one"));
            setUserIDOption(f, 1);
            return true;
        });
        window.selectItems({QStringLiteral("Bank")});
        settle(100);
        window.selectItems({QStringLiteral("Bank/Visa")});
        settle(200);
        if (area) {
            area->tabs()->setCurrentWidget(area->folderPage());
            area->folderTabs()->setCurrentWidget(area->loginPage());
        }
        settle();
        ok &= save(window.grab(), out + "/login-page.png");

        // The warning that floats above the browser while Go To types the login.
        LoginPanels panels;
        panels.showWarning();
        settle(200);
        ok &= save(panels.warningPanel()->grab(), out + "/typing-warning.png");
        panels.hideWarning();
    }

    // The tag panel making a smart folder of the files that carry a tag.
    {
        for (QAction* a : window.findChildren<QAction*>())
            if (a->text() == tagpanelmsg::NewTagSmartFolder) {
                a->trigger();
                break;
            }
        settle(300);
        if (auto* panel = window.findChild<TagPanel*>()) {
            panel->toggle(QStringLiteral("travel"));
            settle(400);
            ok &= save(panel->grab(), out + "/tag-panel.png");
            panel->reject();
            settle(200);
        }
    }

    // A smart folder of the electricity bills with a report of their amounts and fees.
    {
        doc.customAttributes().setNames(doc, {QStringLiteral("Amount"), QStringLiteral("Fees")});
        FindCriteria bills;
        FindCondition word;
        word.tag = findbits::LegacyNameContainsIgnoringCase;
        word.name = QStringLiteral("electricity");
        bills.conditions = {word};
        bills.type = 3;
        bills.smartFolderName = QStringLiteral("Electricity Bills");
        if (IndexItem* folder = doc.smartFolders().createConditionFolder(bills)) {
            DocumentMatchContext loading(doc);
            doc.smartFolders().loadToCompletion(*folder, loading);
            int n = 0;
            for (const IndexItem* member : doc.smartFolders().members(*folder)) {
                const QString path = member->path();
                setCustomAttribute(doc, path, QStringLiteral("Amount"), QString::number(61.4 + 7.25 * n, 'f', 2));
                setCustomAttribute(doc, path, QStringLiteral("Fees"), QStringLiteral("2.50"));
                ++n;
            }
            ReportCriteria report;
            report.values[0] = {QStringLiteral("Amount"), ReportOperator::None, {}};
            report.values[1] = {QStringLiteral("Fees"), ReportOperator::None, {}};
            report.values[2] = {QStringLiteral("Amount"), ReportOperator::Subtract, QStringLiteral("Fees")};
            storeReportCriteria(doc, folder->path(), report);
            window.selectItems({folder->path()});
            settle(300);
            ok &= save(window.grab(), out + "/report.png");
        }
    }

    window.close();
    return ok ? 0 : 1;
}
