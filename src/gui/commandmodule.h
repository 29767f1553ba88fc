#pragma once
// The window's commands come in modules, one per subsystem: a module registers its rows of
// the menus and the toolbar, fills its share of the snapshot the menu rules read, and hears
// of the frame's moments (a database opened, the window activated or closing). The frame
// only loops over its modules; the core's menuState() stays the one rule of what is enabled.

#include "browser/menuvalidation.h"

#include <QAction>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QSplitter;
class QWidget;

namespace folivo {
class KTPrefs;
class MyDocument;
class PlainCopy;
} // namespace folivo

namespace folivo::platform {
class Platform;
}

namespace folivo::gui {

class AppController;
class BrowserPane;
class BusyMode;
class ContentArea;
class QtDocumentUi;

// The menus of the menu bar, in their order.
enum class MenuId { File, Edit, View, Go, Help };

// One row of a menu: a command, its place, its looks and what it runs.
struct CommandRow {
    // Unique in the window: the command's name for a row of a menu command, a name of its
    // own for a row without one.
    QString id;
    // The menu command the row is (at most one row each); its rule enables, checks and
    // retitles the row.
    std::optional<MenuCommand> command;
    // For a row that is no command of its own: the command whose rule enables it ("Import
    // Folder…" follows "Import Files…"). Neither: always enabled.
    std::optional<MenuCommand> enabledLike;
    MenuId menu = MenuId::File;
    // Rows of a menu are grouped by section, in rising order, with separators between.
    int section = 0;
    QString submenu; // the title of a submenu of `menu` the row goes into
    QString text;
    QKeySequence shortcut;
    QString icon; // names in the icon theme, "a|b": a, else b
    QString iconText;
    int toolbarPosition = -1; // on the toolbar when >= 0; a new tens starts a new group
    bool checkable = false;
    QAction::MenuRole role = QAction::NoRole;
    std::function<void()> run;
};

// The rows every module registered, in the order of registration, with the module each
// came from (so that a row registered twice shows up instead of silently winning).
class CommandRegistry {
public:
    struct Entry {
        QString module;
        CommandRow row;
    };
    void setModule(const QString& module) { module_ = module; }
    void add(CommandRow row) { entries_.push_back({module_, std::move(row)}); }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    QString module_;
    std::vector<Entry> entries_;
};

// What a module may use of its window.
class WindowContext {
public:
    virtual ~WindowContext() = default;
    virtual QWidget* window() = 0;
    virtual MyDocument& document() = 0;
    virtual KTPrefs* preferences() const = 0;
    virtual AppController* app() const = 0;
    // The desktop services (opening files in other programs); none in some tests.
    virtual platform::Platform* platform() const = 0;
    virtual QtDocumentUi& documentUi() = 0;
    virtual BrowserPane& browser() = 0;
    virtual ContentArea& content() = 0;
    // The window's left column: the browser's tree on top; panes below it (the attributes
    // area) are added by their modules, and their heights are kept with the database.
    virtual QSplitter& leftColumn() = 0;
    // The window's right column: the content area; panes above it (the reminders due) are
    // put there by their modules.
    virtual QSplitter& rightColumn() = 0;
    // The folder selected in the list of reminders, if any: an import files into it first.
    virtual QString selectedReminder() const = 0;
    virtual void setSelectedReminder(const QString& folderPath) = 0;
    // The busy mode of the long step that runs (an import, several deletes), if any.
    virtual BusyMode* busyMode() const = 0;
    virtual void setBusyMode(BusyMode* busy) = 0;
    // A step waits on a question, an operation, an import or a drain: nothing else may start.
    virtual bool inTheMiddleOfAStep() const = 0;
    virtual MenuState commandState(MenuCommand command) const = 0;
    virtual void refreshActions() = 0;
    virtual void updateStatus() = 0;
    // The preferences changed: everything the window shows by them follows.
    virtual void preferencesChanged() = 0;
    // A plain copy handed to another program, which reads it later: kept until the window closes.
    virtual void keepCopy(PlainCopy copy) = 0;
};

// Marks a long step's busy mode for its lifetime.
class BusyMark {
public:
    BusyMark(WindowContext& window, BusyMode* busy) : window_(window), previous_(window.busyMode())
    {
        window_.setBusyMode(busy);
    }
    ~BusyMark() { window_.setBusyMode(previous_); }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

private:
    WindowContext& window_;
    BusyMode* previous_;
};

class CommandModule : public QObject {
    Q_OBJECT
public:
    explicit CommandModule(WindowContext& window) : window_(window) {}
    virtual QString name() const = 0;
    virtual void registerCommands(CommandRegistry& registry) = 0;
    // Its share of what the menu rules read.
    virtual void fillMenuContext(MenuContext&) const {}
    virtual void databaseOpened() {}
    // A round of activation that does the module's work (the frame decides which rounds do).
    virtual void windowActivated() {}
    virtual void windowClosing() {}
    // The browser's selection changed to `paths` (empty: nothing), in the tree's order.
    // Items are looked up by path: none is kept across turns of the event loop.
    virtual void selectionChanged(const QStringList& paths) { (void)paths; }
    // The one selected file passed its check on disk: the moment to show it.
    virtual void fileReady(const QString& path) { (void)path; }
    virtual bool inTheMiddleOfAStep() const { return false; }

protected:
    WindowContext& window_;
};

} // namespace folivo::gui
