#include "attributescommands.h"

#include "attributesarea.h"
#include "attributesmessages.h"
#include "customattributesdialog.h"
#include "content/contentarea.h"

#include "store/mydocument.h"

#include <QSplitter>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {

// The area's height below the tree when the database has none kept yet.
constexpr int kDefaultHeight = 340;

} // namespace

AttributesCommands::AttributesCommands(WindowContext& window) : CommandModule(window), area_(new AttributesArea(window))
{
    QSplitter& column = window_.leftColumn();
    column.addWidget(area_);
    column.setStretchFactor(0, 3);
    column.setStretchFactor(1, 1);
    area_->hide();
    ContentArea& content = window_.content();
    connect(&content, &ContentArea::shownFileChanged, area_, &AttributesArea::shownFileChanged);
    connect(&content, &ContentArea::shownSelectionChanged, area_, &AttributesArea::shownSelectionChanged);
}

AttributesCommands::~AttributesCommands() = default;

void AttributesCommands::registerCommands(CommandRegistry& registry)
{
    {
        CommandRow r;
        r.command = MenuCommand::ShowAttributes;
        r.menu = MenuId::View;
        r.section = 30;
        r.text = attrmsg::ShowAttributes;
        r.shortcut = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A);
        r.icon = QStringLiteral("document-properties|document-edit");
        r.iconText = attrmsg::AttributesIconText;
        r.toolbarPosition = 30;
        r.checkable = true;
        r.run = [this] { toggleShown(); };
        registry.add(std::move(r));
    }
    {
        CommandRow r;
        r.command = MenuCommand::MoveableAttributesPanel;
        r.menu = MenuId::View;
        r.section = 30;
        r.text = attrmsg::MoveableAttributesPanel;
        r.checkable = true;
        r.run = [this] { toggleMoveable(); };
        registry.add(std::move(r));
    }
    {
        CommandRow r;
        r.command = MenuCommand::CustomAttributes;
        r.menu = MenuId::Edit;
        r.section = 60;
        r.text = attrmsg::CustomAttributesCommand;
        r.run = [this] { editCustomAttributeNames(); };
        registry.add(std::move(r));
    }
}

void AttributesCommands::editCustomAttributeNames()
{
    if (!window_.document().canChange() || window_.inTheMiddleOfAStep())
        return;
    area_->commitPending();
    CustomAttributesDialog::run(window_);
    // The names and what a rename or deletion changed show at once.
    area_->refresh();
}

void AttributesCommands::fillMenuContext(MenuContext& context) const
{
    context.attributesShown = shown_;
    context.moveableAttributesPanel = window_.document().dbOpen() && window_.document().settings().attributesMoveable;
}

void AttributesCommands::databaseOpened()
{
    shown_ = window_.document().settings().attributesViewState;
    place();
    area_->refresh();
}

void AttributesCommands::windowClosing()
{
    area_->commitPending();
    keepPanelPosition();
    area_->clear();
}

void AttributesCommands::selectionChanged(const QStringList& paths)
{
    area_->showSelection(paths);
}

void AttributesCommands::toggleShown()
{
    area_->commitPending();
    shown_ = !shown_;
    window_.document().settings().attributesViewState = shown_;
    place();
}

void AttributesCommands::toggleMoveable()
{
    area_->commitPending();
    keepPanelPosition();
    DatabaseSettings& settings = window_.document().settings();
    settings.attributesMoveable = !settings.attributesMoveable;
    // Choosing where the area goes is a wish to see it.
    shown_ = true;
    settings.attributesViewState = true;
    place();
}

void AttributesCommands::keepPanelPosition()
{
    if (!panel_ || !panel_->isVisible())
        return;
    DatabaseSettings& settings = window_.document().settings();
    settings.attributesX = panel_->x();
    settings.attributesY = panel_->y();
}

void AttributesCommands::place()
{
    DatabaseSettings& settings = window_.document().settings();
    QSplitter& column = window_.leftColumn();
    if (settings.attributesMoveable) {
        if (!panel_) {
            panel_ = new QWidget(window_.window(), Qt::Tool);
            panel_->setObjectName(QStringLiteral("attributesPanel"));
            panel_->setWindowTitle(attrmsg::PanelTitle);
            auto* layout = new QVBoxLayout(panel_);
            layout->setContentsMargins(0, 0, 0, 0);
            panel_->resize(360, 480);
            if (settings.attributesX && settings.attributesY)
                panel_->move(int(*settings.attributesX), int(*settings.attributesY));
        }
        if (area_->parentWidget() != panel_)
            panel_->layout()->addWidget(area_);
        area_->show();
        panel_->setVisible(shown_);
        if (shown_)
            panel_->raise();
        return;
    }
    if (panel_) {
        panel_->hide();
        if (area_->parentWidget() == panel_)
            panel_->layout()->removeWidget(area_);
    }
    if (area_->parentWidget() != &column) {
        column.addWidget(area_);
        column.setStretchFactor(1, 1);
    }
    area_->setVisible(shown_);
    if (shown_) {
        // The height the area had when this database was last open here.
        const QList<int>& sizes = settings.paneSizes;
        const int below = sizes.size() >= 3 && sizes[2] > 0 ? sizes[2] : kDefaultHeight;
        const int total = std::max(column.height(), below + 200);
        column.setSizes({total - below, below});
    }
}

} // namespace folivo::gui
