#pragma once
// Find in a database window: the Find dialog, filled from the last search (the global
// preference "find") and kept there when confirmed; find next and previous, a walk from the
// selection that presents the match it finds (revealed, selected, its contents matches
// marked in the viewer); and select all, a scan over the tree. Both run in slices under the
// window's busy mode, which the person can stop.

#include "commandmodule.h"

#include "find/criteria.h"

#include <QPointer>
#include <optional>

namespace folivo {
class IndexItem;
}

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
    // selected in the browser; answers the path selected, or nothing.
    std::optional<QString> findNext(bool previous);
    // Selects every item that meets `criteria` in the browser; answers the paths selected.
    QStringList selectAll(const FindCriteria& criteria);
    // The dialog of this window, made on first use (tests reach it to fill it in).
    FindDialog* dialog();
    // The current search: the last one confirmed, else the one kept in the preferences.
    const FindCriteria& current() const;

    // How long one slice of a walk or scan may test items before the window gets a turn.
    int sliceMs = 15;
    // The longest slice of the last walk or scan, in milliseconds (for tests and benchmarks).
    qint64 longestSliceMs() const { return longestSlice_; }

private:
    // Reveals and selects a found item the way the browser shows it, opens a found folder's
    // branch when the search says so, and marks the contents matches of a found file.
    void present(const IndexItem& item, const FindCriteria& criteria);

    mutable std::optional<FindCriteria> current_;
    QPointer<FindDialog> dialog_;
    bool scanning_ = false;
    qint64 longestSlice_ = 0;
};

} // namespace folivo::gui
