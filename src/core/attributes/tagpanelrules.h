#pragma once
// The rules of the panel that makes and edits a tag smart folder: the folder holds a list
// of tags and date tags ("<March>", "<2024>") and contains every file that carries all of
// them. The panel shows one toggle button a title; each toggle narrows the offered titles
// to those that still occur together with the selection, proposes a name and makes the
// folder follow. Everything here runs without a display; the window only draws it.

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace folivo {

class IndexItem;
class IndexTree;
class MyDocument;

// ---- Names ---------------------------------------------------------------------------

// The longest prefix of `text` that fits in `maxBytes` of UTF-8, cut between two
// characters as a person sees them (never inside a surrogate pair or before a combining
// mark).
QString cutToUtf8Bytes(const QString& text, int maxBytes);

// "Files With" and the titles joined by spaces, or "Selected Tags and or Date" when none,
// made fit for a name in the package: "/" and control characters replaced, but not cut.
QString tagFolderBaseName(const QStringList& titles);

// The name proposed for a folder of `titles`: the base name, cut so that it fits the
// package's name limit with room for the number that makes it unique ("…2", "…3").
// `ownPath` is the folder being named, whose own name counts as free.
QString proposedTagFolderName(const QStringList& titles, const IndexTree& tree, const QString& ownPath = {});

// ---- The button view -----------------------------------------------------------------

// Selected titles first, in the order they were selected, then the other offered titles
// in their order. A selected title that no file carries any more still shows.
QStringList buttonTitleOrder(const QStringList& selected, const QStringList& offered);

// Where the buttons go in a view `viewWidth` wide, for buttons whose titles are
// `textWidths` wide: each button is its title's width plus 14 and 20 high; buttons flow
// left to right 4 apart and wrap to a row 22 lower when the next would pass the width
// less 20 (a button wider than that gets a row of its own). The view is the last row's
// top plus 22 high.
struct SelectButtonLayout {
    QList<QRect> frames;
    int height = 0;
};
SelectButtonLayout layoutSelectButtons(const QList<int>& textWidths, int viewWidth);

// ---- The panel -----------------------------------------------------------------------

// What the panel needs of the smart folders themselves.
class TagFolderMaker {
public:
    virtual ~TagFolderMaker() = default;
    // A new tag folder with the list and name at the top of the tree, its attributes files
    // written; nullptr when it could not be made.
    virtual IndexItem* createTagFolder(const QStringList& titles, const QString& name) = 0;
    // Gives a tag folder its list and marks it for loading.
    virtual void setTagFolderTitles(IndexItem& folder, const QStringList& titles) = 0;
};

// One run of the panel, for a new folder or an existing one. The folder is held by its
// path, so an operation that runs while the panel is open cannot leave a dangling item:
// a folder that went makes the panel's steps do nothing.
class TagPanelSession {
public:
    // Opens the panel. Nothing when no file carries a tag or a date, or when `path` is no
    // tag smart folder; `problem` then holds the text to show.
    static std::unique_ptr<TagPanelSession> openNew(MyDocument& doc, TagFolderMaker& maker, QString* problem);
    static std::unique_ptr<TagPanelSession> openExisting(MyDocument& doc, TagFolderMaker& maker, const QString& path,
                                                         QString* problem);
    // The same with the database's own smart folders.
    static std::unique_ptr<TagPanelSession> openNew(MyDocument& doc, QString* problem);
    static std::unique_ptr<TagPanelSession> openExisting(MyDocument& doc, const QString& path, QString* problem);

    bool isNew() const { return isNew_; }
    // "Create a smart folder named:" or "Modify smart folder:".
    QString message() const;
    // The folder's path, which changes only when OK renames it.
    const QString& folderPath() const { return path_; }
    const QString& nameField() const { return name_; }
    // Selected titles in toggle order.
    const QStringList& selected() const { return selected_; }
    // The titles to show, selected first.
    QStringList titles() const { return buttonTitleOrder(selected_, offered_); }
    // The name error to show under the field; empty hides it.
    const QString& nameError() const { return nameError_; }
    bool userSetName() const { return userSetName_; }

    // A button was toggled: the selection, the proposed name, the folder's list and the
    // offered titles follow.
    void toggle(const QString& title);
    // The person typed in the name field: from now on the name stays what they typed.
    void nameTyped(const QString& text);
    // OK. True when the panel may close (the name accepted, a rename recorded); false when
    // it stays with nameError() set.
    bool ok();
    // Cancel: an existing folder gets back its list and naming; a new one is deleted.
    void cancel();
    // OK or Cancel has run.
    bool finished() const { return finished_; }

private:
    TagPanelSession(MyDocument& doc, TagFolderMaker& maker) : doc_(doc), maker_(maker) {}
    TagPanelSession(MyDocument& doc, std::unique_ptr<TagFolderMaker> maker)
        : doc_(doc), ownMaker_(std::move(maker)), maker_(*ownMaker_)
    {
    }
    static std::unique_ptr<TagPanelSession> open(std::unique_ptr<TagPanelSession> s, const QString& path,
                                                 QString* problem);
    IndexItem* folder() const;
    void setUserSetNameKey(IndexItem& folder, bool on);

    MyDocument& doc_;
    std::unique_ptr<TagFolderMaker> ownMaker_;
    TagFolderMaker& maker_;
    bool isNew_ = false;
    QString path_;
    QString nameBeingEdited_;
    QStringList listAtOpen_;
    bool userSetNameAtOpen_ = false;
    QString name_;
    QStringList selected_;
    QStringList offered_;
    QString nameError_;
    bool userSetName_ = false;
    bool finished_ = false;
};

// The titles (tags and date tags) of a tag smart folder's list, in its order; empty for
// anything else.
QStringList tagFolderTitles(const IndexItem& folder);
bool isTagSmartFolder(const IndexItem& item);

} // namespace folivo
