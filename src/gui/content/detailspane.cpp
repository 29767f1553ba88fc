#include "detailspane.h"

#include "store/indexitem.h"

#include <QDateTime>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTimeZone>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {

// Records come from files anyone may have written: a pathological value must not make
// the pane recurse without end or build millions of rows.
constexpr int kMaxDepth = 32;
constexpr int kMaxChildren = 500;
constexpr int kMaxDataBytes = 32;
constexpr int kMaxStringChars = 2000;

QString oneLine(QString text)
{
    if (text.size() > kMaxStringChars)
        text = text.left(kMaxStringChars) + QChar(0x2026);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" \u21b5 "));
    text.replace('\r', QStringLiteral(" \u21b5 "));
    text.replace('\n', QStringLiteral(" \u21b5 "));
    return text;
}

QString dateText(const plist::Date& date)
{
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    const double ms = date.secondsSince2001 * 1000.0;
    // Far outside what QDateTime can hold: show the raw number rather than a wrong date.
    if (!(ms > -1e17 && ms < 1e17))
        return QObject::tr("%1 s since 2001").arg(date.secondsSince2001);
    return epoch.addMSecs(qint64(ms)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

QString counted(std::size_t n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

QString kindName(const IndexItem& item)
{
    switch (item.kind()) {
    case ItemKind::File:
        return QObject::tr("File");
    case ItemKind::Folder:
        return QObject::tr("Folder");
    case ItemKind::DateFolder:
        return QObject::tr("Date folder");
    case ItemKind::SmartFolder:
        return QObject::tr("Smart folder");
    case ItemKind::SmartFile:
        return QObject::tr("Smart folder entry");
    }
    return {};
}

QString valueSummary(const plist::Value& value)
{
    switch (value.type()) {
    case plist::Type::None:
        return QObject::tr("(none)");
    case plist::Type::Bool:
        return value.boolValue() ? QStringLiteral("true") : QStringLiteral("false");
    case plist::Type::Integer:
        return QString::number(value.intValue());
    case plist::Type::Unsigned:
        return QString::number(value.unsignedValue());
    case plist::Type::Real:
        return QString::number(value.realValue(), 'g', QLocale::FloatingPointShortest);
    case plist::Type::String:
        return oneLine(value.string());
    case plist::Type::Date:
        return dateText(value.date());
    case plist::Type::Data: {
        const QByteArray& bytes = value.data();
        QString hex = QString::fromLatin1(bytes.left(kMaxDataBytes).toHex(' ').toUpper());
        if (bytes.size() > kMaxDataBytes)
            hex += QStringLiteral(" \u2026");
        return counted(std::size_t(bytes.size()), "byte", "bytes") + (bytes.isEmpty() ? QString() : ": " + hex);
    }
    case plist::Type::Array:
        return counted(value.array().size(), "item", "items");
    case plist::Type::Dict:
        return counted(value.dict().size(), "key", "keys");
    case plist::Type::Uid:
        return QStringLiteral("UID %1").arg(value.uid().index);
    }
    return {};
}

DetailsPane::DetailsPane(QWidget* parent)
    : QWidget(parent),
      heading_(new QLabel(this)),
      path_(new QLabel(this)),
      kind_(new QLabel(this)),
      keys_(new QTreeWidget(this))
{
    QFont big = heading_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.25);
    heading_->setFont(big);
    heading_->setTextFormat(Qt::PlainText);
    path_->setTextFormat(Qt::PlainText);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    path_->setWordWrap(true);
    kind_->setTextFormat(Qt::PlainText);

    keys_->setColumnCount(3);
    keys_->setHeaderLabels({tr("Key"), tr("Type"), tr("Value")});
    keys_->setAlternatingRowColors(true);
    keys_->setUniformRowHeights(true);
    keys_->setSelectionMode(QAbstractItemView::SingleSelection);
    keys_->header()->setStretchLastSection(true);
    keys_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    keys_->setColumnWidth(0, 200);
    keys_->setColumnWidth(1, 80);

    auto* form = new QFormLayout;
    form->addRow(tr("Path:"), path_);
    form->addRow(tr("Kind:"), kind_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addLayout(form);
    layout->addWidget(keys_, 1);
    showItem(nullptr);
}

void DetailsPane::addValue(QTreeWidgetItem* parent, const QString& key, const plist::Value& value, int depth)
{
    auto* row = new QTreeWidgetItem(parent);
    row->setText(0, key);
    row->setText(1, QString::fromLatin1(plist::typeName(value.type())));
    const QString summary = valueSummary(value);
    row->setText(2, summary);
    row->setToolTip(2, value.isString() ? value.string().left(kMaxStringChars) : summary);
    if (depth >= kMaxDepth)
        return;
    int shown = 0;
    auto more = [&](std::size_t total) {
        auto* rest = new QTreeWidgetItem(row);
        rest->setText(0, QString(QChar(0x2026)));
        rest->setText(2, tr("%1 more not shown").arg(total - kMaxChildren));
    };
    if (value.isArray()) {
        const plist::Array& a = value.array();
        for (const plist::Value& v : a) {
            if (shown == kMaxChildren) {
                more(a.size());
                break;
            }
            addValue(row, QString::number(shown++), v, depth + 1);
        }
    } else if (value.isDict()) {
        const plist::Dict& d = value.dict();
        for (const auto& [k, v] : d) {
            if (shown++ == kMaxChildren) {
                more(d.size());
                break;
            }
            addValue(row, k, v, depth + 1);
        }
    }
}

void DetailsPane::showItem(const IndexItem* item)
{
    keys_->clear();
    if (!item) {
        shownPath_.clear();
        heading_->setText(tr("No item selected"));
        path_->clear();
        kind_->clear();
        return;
    }
    shownPath_ = item->path();
    heading_->setText(item->name());
    path_->setText(item->path());
    kind_->setText(kindName(*item));
    auto* root = keys_->invisibleRootItem();
    for (const auto& [key, value] : item->keys())
        addValue(root, key, value, 0);
    keys_->expandToDepth(0);
}

} // namespace folivo::gui
