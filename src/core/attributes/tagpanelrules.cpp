#include "attributes/tagpanelrules.h"

#include "attributes/tagpanelmessages.h"
#include "attributes/tags.h"
#include "find/smartfoldername.h"
#include "smartfolders/smartfolders.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "store/tree.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace folivo {

// ---- Names ---------------------------------------------------------------------------

QString cutToUtf8Bytes(const QString& text, int maxBytes)
{
    if (text.toUtf8().size() <= maxBytes)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype keep = 0;
    qsizetype bytes = 0;
    qsizetype from = 0;
    for (qsizetype to = finder.toNextBoundary(); to > 0; to = finder.toNextBoundary()) {
        const qsizetype piece = QStringView(text).sliced(from, to - from).toUtf8().size();
        if (bytes + piece > maxBytes)
            break;
        bytes += piece;
        keep = to;
        from = to;
    }
    return text.left(keep);
}

QString tagFolderBaseName(const QStringList& titles)
{
    const QString filled =
        tagpanelmsg::FilesWith.arg(titles.isEmpty() ? tagpanelmsg::NoTitlesSelected : titles.join(u' '));
    // A tag is any text a person typed or a file contained: a "/" in it would make the
    // folder's name a path, and a line break a name no file can have.
    QString name;
    name.reserve(filled.size());
    for (const QChar c : filled) {
        if (c == u'/')
            name.append(u'-');
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            name.append(u' ');
        else
            name.append(c);
    }
    return name;
}

QString proposedTagFolderName(const QStringList& titles, const IndexTree& tree, const QString& ownPath)
{
    const QString base = tagFolderBaseName(titles);
    auto isFree = [&](const QString& candidate) {
        return candidate == ownPath || (!tree.itemForPath(candidate) && candidate != pkg::LastImport);
    };
    for (qint64 n = 1;; ++n) {
        const QString suffix = n == 1 ? QString() : QString::number(n);
        // The number goes after the cut, so that the unique name still fits.
        const QString candidate = cutToUtf8Bytes(base, MaxNameBytes - int(suffix.size())).trimmed() + suffix;
        if (isFree(candidate))
            return candidate;
    }
}

// ---- The button view -----------------------------------------------------------------

QStringList buttonTitleOrder(const QStringList& selected, const QStringList& offered)
{
    QStringList out = selected;
    for (const QString& t : offered)
        if (!selected.contains(t))
            out << t;
    return out;
}

SelectButtonLayout layoutSelectButtons(const QList<int>& textWidths, int viewWidth)
{
    constexpr int Pad = 14, Height = 20, Gap = 4, RowStep = 22, RightMargin = 20;
    SelectButtonLayout layout;
    int x = Gap, y = 0;
    for (const int textWidth : textWidths) {
        const int w = std::max(0, textWidth) + Pad;
        if (x > Gap && x + w > viewWidth - RightMargin) {
            x = Gap;
            y += RowStep;
        }
        layout.frames << QRect(x, y, w, Height);
        x += w + Gap;
    }
    layout.height = y + RowStep;
    return layout;
}

// ---- The panel -----------------------------------------------------------------------

bool isTagSmartFolder(const IndexItem& item)
{
    const plist::Value* type = item.value(keys::SmartFolderType);
    return item.isSmartFolder() && item.parent() == nullptr && type && type->toInt(-1) == 1;
}

QStringList tagFolderTitles(const IndexItem& folder)
{
    QStringList out;
    const plist::Value* list = folder.value(keys::SmartFolder);
    if (!isTagSmartFolder(folder) || !list || !list->isArray())
        return out;
    for (const plist::Value& v : list->array())
        if (v.isString() && !v.string().isEmpty() && !out.contains(v.string()))
            out << v.string();
    return out;
}

namespace {

// The titles that still occur together with `selected`; the selection itself stays on
// offer even when no file carries all of it any more, so that it can be taken back.
QStringList offeredFor(MyDocument& doc, const QStringList& selected)
{
    return buttonTitleOrder(selected, tagsForAllFilesWithTags(doc, selected)).mid(selected.size());
}

} // namespace

namespace {

class SmartFoldersMaker : public TagFolderMaker {
public:
    explicit SmartFoldersMaker(SmartFolders& folders) : folders_(folders) {}
    IndexItem* createTagFolder(const QStringList& titles, const QString& name) override
    {
        return folders_.createTagFolder(titles, name);
    }
    void setTagFolderTitles(IndexItem& folder, const QStringList& titles) override
    {
        folders_.setTagFolderTitles(folder, titles);
    }

private:
    SmartFolders& folders_;
};

} // namespace

std::unique_ptr<TagPanelSession> TagPanelSession::openNew(MyDocument& doc, QString* problem)
{
    return open(std::unique_ptr<TagPanelSession>(
                    new TagPanelSession(doc, std::make_unique<SmartFoldersMaker>(doc.smartFolders()))),
                QString(), problem);
}

std::unique_ptr<TagPanelSession> TagPanelSession::openExisting(MyDocument& doc, const QString& path, QString* problem)
{
    return open(std::unique_ptr<TagPanelSession>(
                    new TagPanelSession(doc, std::make_unique<SmartFoldersMaker>(doc.smartFolders()))),
                path, problem);
}

std::unique_ptr<TagPanelSession> TagPanelSession::openNew(MyDocument& doc, TagFolderMaker& maker, QString* problem)
{
    return open(std::unique_ptr<TagPanelSession>(new TagPanelSession(doc, maker)), QString(), problem);
}

std::unique_ptr<TagPanelSession> TagPanelSession::openExisting(MyDocument& doc, TagFolderMaker& maker,
                                                               const QString& path, QString* problem)
{
    if (path.isEmpty()) {
        if (problem)
            *problem = tagpanelmsg::FolderGone;
        return nullptr;
    }
    return open(std::unique_ptr<TagPanelSession>(new TagPanelSession(doc, maker)), path, problem);
}

// An empty `path` makes a new folder.
std::unique_ptr<TagPanelSession> TagPanelSession::open(std::unique_ptr<TagPanelSession> s, const QString& path,
                                                       QString* problem)
{
    auto refuse = [&](const QString& why) -> std::unique_ptr<TagPanelSession> {
        if (problem)
            *problem = why;
        return nullptr;
    };
    MyDocument& doc = s->doc_;
    IndexItem* folder = nullptr;
    if (!path.isEmpty()) {
        folder = doc.tree().itemForPath(path);
        if (!folder || !isTagSmartFolder(*folder))
            return refuse(tagpanelmsg::FolderGone);
    }
    if (!doc.canChange())
        return refuse(QString());
    if (tagsForAllFilesWithTags(doc, {}).isEmpty())
        return refuse(tagpanelmsg::NothingToSelect);
    if (!folder) {
        s->isNew_ = true;
        folder = s->maker_.createTagFolder({}, proposedTagFolderName({}, doc.tree()));
        if (!folder)
            return refuse(QString());
        // A new folder shows at the top while it is being made, beside the panel; OK puts
        // it where it belongs.
        if (!doc.tree().sorting.keepSorted && doc.tree().indexOf(folder) != 0) {
            doc.tree().moveItem(folder, nullptr, 0);
            doc.writeAttributesFileForItem(nullptr);
        }
    }
    s->path_ = folder->path();
    s->nameBeingEdited_ = s->path_;
    s->name_ = s->path_;
    s->listAtOpen_ = tagFolderTitles(*folder);
    s->selected_ = s->listAtOpen_;
    s->userSetNameAtOpen_ = folder->flag(keys::UserSetName);
    s->userSetName_ = s->userSetNameAtOpen_;
    s->offered_ = offeredFor(doc, s->selected_);
    return s;
}

QString TagPanelSession::message() const
{
    return isNew_ ? tagpanelmsg::CreateMessage : tagpanelmsg::ModifyMessage;
}

IndexItem* TagPanelSession::folder() const
{
    IndexItem* item = doc_.tree().itemForPath(path_);
    return item && isTagSmartFolder(*item) ? item : nullptr;
}

void TagPanelSession::setUserSetNameKey(IndexItem& folder, bool on)
{
    if (on)
        folder.setValue(keys::UserSetName, plist::Value(true));
    else
        folder.removeValue(keys::UserSetName);
}

void TagPanelSession::toggle(const QString& title)
{
    if (finished_ || title.isEmpty())
        return;
    if (selected_.contains(title))
        selected_.removeAll(title);
    else
        selected_ << title;
    if (!userSetName_)
        name_ = selected_ == listAtOpen_ ? nameBeingEdited_ : proposedTagFolderName(selected_, doc_.tree(), path_);
    if (IndexItem* f = folder())
        maker_.setTagFolderTitles(*f, selected_);
    offered_ = offeredFor(doc_, selected_);
}

void TagPanelSession::nameTyped(const QString& text)
{
    if (finished_)
        return;
    name_ = text;
    userSetName_ = true;
    nameError_.clear();
    if (IndexItem* f = folder())
        setUserSetNameKey(*f, true);
}

bool TagPanelSession::ok()
{
    if (finished_)
        return true;
    IndexItem* f = folder();
    if (!f) {
        nameError_ = tagpanelmsg::FolderGone;
        return false;
    }
    if (name_ != nameBeingEdited_) {
        if (const std::optional<QString> problem = smartFolderNameProblem(name_, doc_.tree(), nameBeingEdited_)) {
            nameError_ = *problem;
            return false;
        }
        const QString newPath = name_.normalized(QString::NormalizationForm_C);
        if (newPath != path_) {
            const OperationResult r = doc_.recordRename(path_, newPath);
            if (!r.ok() || !doc_.tree().itemForPath(newPath)) {
                nameError_ = r.message.isEmpty() ? tagpanelmsg::FolderGone : r.message;
                return false;
            }
            path_ = newPath;
            f = folder();
            if (!f) {
                nameError_ = tagpanelmsg::FolderGone;
                return false;
            }
        }
    }
    if (isNew_) {
        if (doc_.tree().sorting.keepSorted)
            doc_.tree().sortByName(nullptr);
        else
            doc_.tree().moveItem(f, nullptr, -1);
        doc_.writeAttributesFileForItem(nullptr);
    }
    doc_.writeAttributesFileForItem(f);
    doc_.changed();
    nameError_.clear();
    finished_ = true;
    return true;
}

void TagPanelSession::cancel()
{
    if (finished_)
        return;
    finished_ = true;
    IndexItem* f = folder();
    if (!f)
        return;
    if (isNew_) {
        doc_.recordDelete(path_);
        return;
    }
    setUserSetNameKey(*f, userSetNameAtOpen_);
    maker_.setTagFolderTitles(*f, listAtOpen_);
    doc_.writeAttributesFileForItem(f);
}

} // namespace folivo
