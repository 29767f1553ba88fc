#pragma once
// Find in a database window: the Find dialog, filled from the last search (the global
// preference "find") and kept there when confirmed, and select all, a scan over the tree in
// slices under the window's busy mode that the person can stop.

#include "commandmodule.h"

#include "find/criteria.h"

#include <QPointer>
#include <optional>

namespace folivo::gui {

class FindDialog;

class FindCommands : public CommandModule {
    Q_OBJECT
public:
    explicit FindCommands(WindowContext& window);
    ~FindCommands() override;
    QString name() const override { return QStringLiteral("find"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;
    void windowClosing() override;
    bool inTheMiddleOfAStep() const override { return scanning_; }

    // The Find command: the dialog, then the search it describes.
    void find();
    // Find Next and Find Previous: the next match of the current search from the selection,
    // selected in the browser; answers its path, or nothing.
    std::optional<QString> findNext(bool previous);
    // Selects every item that meets `criteria` in the browser; answers the paths selected.
    QStringList selectAll(const FindCriteria& criteria);
    // The dialog of this window, made on first use (tests reach it to fill it in).
    FindDialog* dialog();

    // How many items one slice of the scan tests before the window gets a turn.
    int sliceSize = 200;

private:
    // The current search: the last one confirmed, else the one kept in the preferences.
    const FindCriteria& current() const;

    mutable std::optional<FindCriteria> current_;
    QPointer<FindDialog> dialog_;
    bool scanning_ = false;
};

} // namespace folivo::gui
