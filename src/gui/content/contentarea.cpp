#include "contentarea.h"

#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace folivo::gui {

ContentArea::ContentArea(QWidget* parent)
    : QWidget(parent), pathLine_(new QLabel(this)), stack_(new QStackedWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    pathLine_->setObjectName(QStringLiteral("pathLine"));
    pathLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pathLine_->setWordWrap(true);
    {
        QFont bold = pathLine_->font();
        bold.setBold(true);
        pathLine_->setFont(bold);
    }
    layout->addWidget(pathLine_);
    stack_->setObjectName(QStringLiteral("contentPages"));
    layout->addWidget(stack_, 1);

    auto* hint = new QLabel(tr("Drop files or folders here, or on a folder of the tree, to import them. Double-click "
                               "a file to open it."));
    hint->setObjectName(QStringLiteral("viewerHint"));
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignCenter);
    hint->setEnabled(false);
    addPage(HintPage, hint);
}

QString ContentArea::pathLineText() const
{
    return pathLine_->text();
}

void ContentArea::setPathLineText(const QString& text)
{
    pathLine_->setText(text);
}

bool ContentArea::addPage(const QString& name, QWidget* page)
{
    if (!page || name.isEmpty() || pages_.contains(name))
        return false;
    pages_.insert(name, page);
    stack_->addWidget(page);
    return true;
}

bool ContentArea::showPage(const QString& name)
{
    QWidget* page = pages_.value(name);
    if (!page)
        return false;
    stack_->setCurrentWidget(page);
    return true;
}

QString ContentArea::currentPage() const
{
    return pages_.key(stack_->currentWidget());
}

} // namespace folivo::gui
