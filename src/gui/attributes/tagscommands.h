#pragma once
// The auto-tagging commands of the window: the dialog of prefixes, the switch that tags
// imported files, and tagging the selected files (one file per turn of the event loop,
// with Stop).

#include "commandmodule.h"

namespace folivo::gui {

class AttributesArea;

class TagsCommands : public CommandModule {
    Q_OBJECT
public:
    // `area` shows the tags of the shown file; it is refreshed after tagging.
    TagsCommands(WindowContext& window, AttributesArea* area);
    QString name() const override { return QStringLiteral("tags"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;

    void specifyAutoTagging();
    void toggleAutoTagImported();
    // Answers how many files were tagged.
    int autoTagSelectedFiles();

private:
    AttributesArea* area_;
};

} // namespace folivo::gui
