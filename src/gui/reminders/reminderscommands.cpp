#include "reminderscommands.h"

#include "attributes/attributesarea.h"
#include "attributes/attributescommands.h"
#include "app/appcontroller.h"
#include "browser/browserpane.h"
#include "browser/browserdrops.h"
#include "reminderscheduler.h"
#include "reminderlist.h"

#include "reminders/reminders.h"
#include "store/mydocument.h"
#include "util/debuglog.h"

#include <QTableWidget>

#include <QPointer>
#include <QSplitter>

namespace folivo::gui {

RemindersCommands::RemindersCommands(WindowContext& window, AttributesCommands* attributes)
    : CommandModule(window), attributes_(attributes), list_(new ReminderList(window))
{
    window_.rightColumn().insertWidget(0, list_);
    window_.rightColumn().setStretchFactor(0, 0);
    window_.rightColumn().setStretchFactor(1, 1);
    connect(list_, &ReminderList::folderActivated, this, &RemindersCommands::revealFolder);
}

RemindersCommands::~RemindersCommands()
{
    window_.document().reminders().onChanged = nullptr;
}

void RemindersCommands::databaseOpened()
{
    QPointer<RemindersCommands> self = this;
    window_.document().reminders().onChanged = [self] {
        if (self)
            self->changed();
    };
    changed();
}

void RemindersCommands::changed()
{
    list_->refresh();
    if (AppController* app = window_.app(); app && app->reminderScheduler())
        app->reminderScheduler()->databaseChanged(window_.document());
    emit remindersChanged();
}

void RemindersCommands::windowActivated()
{
    MyDocument& doc = window_.document();
    if (doc.dbOpen() && !window_.inTheMiddleOfAStep())
        doc.reminders().update();
}

void RemindersCommands::windowClosing()
{
    window_.document().reminders().onChanged = nullptr;
    window_.setSelectedReminder({});
}

void RemindersCommands::revealFolder(const QString& folderPath)
{
    const IndexItem* folder = window_.document().tree().itemForPath(folderPath);
    if (!folder)
        return;
    BrowserPane& browser = window_.browser();
    browser.selectItems({folderPath});
    browser.toggleExpandedWithChildren(folderPath);
    if (browser.view())
        browser.view()->setFocus(Qt::OtherFocusReason);
    if (attributes_) {
        if (!attributes_->shown())
            attributes_->toggleShown();
        attributes_->area()->showReminderPage();
    }
}

void RemindersCommands::gotReminderNotification(const QString& folderPath)
{
    MyDocument& doc = window_.document();
    appendDebugInfo(QStringLiteral("\n\nWhile OPEN, got notification: %1").arg(folderPath));
    if (doc.dbOpen() && !window_.inTheMiddleOfAStep())
        doc.reminders().update();
    AppController* app = window_.app();
    ReminderScheduler* scheduler = app ? app->reminderScheduler() : nullptr;
    const int handling = scheduler ? scheduler->handling() : 1;
    if (!scheduler || !scheduler->enabled() || handling <= 0)
        return;
    // The shown list is searched from its last row up, as the folder may be listed once.
    const QStringList rows = list_->rowFolders();
    const qsizetype row = rows.lastIndexOf(folderPath);
    if (row < 0)
        return; // not listed any more: the refresh is all
    list_->table()->selectRow(int(row));
    revealFolder(folderPath);
    appendDebugInfo(QStringLiteral("\n\nEdit Attributes Button state: %1").arg(attributes_ && attributes_->shown() ? 1 : 0));
    if (handling >= 2 && openWebsite)
        openWebsite(folderPath);
}

} // namespace folivo::gui
