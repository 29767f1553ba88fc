#include "reminderscommands.h"

#include "attributes/attributesarea.h"
#include "attributes/attributescommands.h"
#include "browser/browserpane.h"
#include "reminderlist.h"

#include "reminders/reminders.h"
#include "store/mydocument.h"

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
    QPointer<ReminderList> list = list_;
    window_.document().reminders().onChanged = [list] {
        if (list)
            list->refresh();
    };
    list_->refresh();
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
    if (!window_.document().tree().itemForPath(folderPath))
        return;
    window_.browser().selectItems({folderPath});
    if (attributes_) {
        if (!attributes_->shown())
            attributes_->toggleShown();
        attributes_->area()->showReminderPage();
    }
}

} // namespace folivo::gui
