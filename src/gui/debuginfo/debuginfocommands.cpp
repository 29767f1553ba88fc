#include "debuginfo/debuginfocommands.h"

#include "browser/browserpane.h"
#include "debuginfo/debuginfo.h"
#include "debuginfo/mailto.h"
#include "debuginfo/messages.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "prefs/ktprefs.h"
#include "reminders/noticestore.h"
#include "store/indexitem.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace folivo::gui {

namespace msg = debuginfo::msg;

void DebugInfoCommands::registerCommands(CommandRegistry& registry)
{
    CommandRow r;
    r.id = QStringLiteral("EmailTheAuthor");
    r.menu = MenuId::Help;
    r.section = 5;
    r.text = tr("Send &Debugging Information…");
    r.run = [this] { emailTheAuthor(); };
    registry.add(std::move(r));
}

QString DebugInfoCommands::debugInfoText() const
{
    DebugInfoEnvironment env = systemDebugInfoEnvironment();
    if (const KTPrefs* prefs = window_.preferences())
        env.preferences = prefs->description();
    const std::vector<const IndexItem*> selected = window_.browser().selectedItems();
    if (selected.size() == 1 && selected.front())
        env.selectedItem = itemDescriptionForDiagnostics(*selected.front());
    env.notices = NoticeStore().future(QDateTime::currentDateTime());
    return buildDebugInfo(env);
}

void DebugInfoCommands::emailTheAuthor()
{
    QMessageBox box(QMessageBox::Question, msg::SheetTitle, msg::SheetTitle, QMessageBox::NoButton, window_.window());
    box.setInformativeText(msg::SheetText.arg(msg::SupportAddress));
    box.setWindowModality(Qt::WindowModal);
    QPushButton* mail = box.addButton(msg::MailProgram, QMessageBox::AcceptRole);
    QPushButton* web = box.addButton(msg::WebMail, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(msg::Cancel, QMessageBox::RejectRole);
    box.setDefaultButton(mail);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() != mail && box.clickedButton() != web)
        return; // Cancel: nothing is gathered, sent or put on the clipboard

    QString text;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        text = debugInfoText();
        QGuiApplication::restoreOverrideCursor();
    }
    if (box.clickedButton() == mail)
        sendByMailProgram(text);
    else
        putOnClipboard(text);
}

void DebugInfoCommands::sendByMailProgram(const QString& text)
{
    const MailtoAddress address = mailtoAddress(msg::SupportAddress, msg::MailSubject, QStringLiteral("\n\n") + text);
    platform::Platform* platform = window_.platform();
    const bool opened = platform && platform->desktop().openUrl(address.url);
    if (!opened) {
        // No mail program took it: the clipboard way still gets the text to the person.
        putOnClipboard(text);
        return;
    }
    // The message holds the beginning only; its last line says that the whole is here.
    if (address.bodyCut)
        QGuiApplication::clipboard()->setText(text);
}

void DebugInfoCommands::putOnClipboard(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    QMessageBox box(QMessageBox::Information, msg::SheetTitle, msg::SheetTitle, QMessageBox::Ok, window_.window());
    box.setInformativeText(msg::OnClipboard.arg(msg::SupportAddress));
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

} // namespace folivo::gui
