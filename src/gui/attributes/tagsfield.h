#pragma once
// The tags of the shown file as chips in rows, with a place to type at the end. Enter, a
// comma or leaving the field adds what was typed; Backspace in the empty typing place, or a
// chip's close button, removes a tag; the typing place completes the database's tags. The
// field tells when its list changed by a committed tag, never per keystroke: each store
// rewrites the file's attributes (enciphered in an encrypted database).

#include <QStringList>
#include <QWidget>

class QCompleter;
class QLineEdit;
class QStringListModel;
class QToolButton;

namespace folivo::gui {

class FlowLayout;

class TagsField : public QWidget {
    Q_OBJECT
public:
    explicit TagsField(QWidget* parent = nullptr);

    // Shows `tags`; what was being typed is dropped.
    void setTags(const QStringList& tags);
    QStringList tags() const { return tags_; }
    // The tags the typing place offers as it completes.
    void setCompletions(const QStringList& tags);
    void setEditable(bool editable);
    bool isEditable() const { return editable_; }

    // Adds what is typed as a tag (nothing when it is empty or already there).
    void commitTyped();
    void removeTag(int index);

    QLineEdit* editor() const { return editor_; }
    QCompleter* completer() const { return completer_; }
    // The chip of tag `index`, for tests.
    QToolButton* chip(int index) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    // A tag was added or removed: `tags` is the whole new list.
    void tagsCommitted(const QStringList& tags);
    // The typing place got the focus: the moment to offer fresh completions.
    void completionsWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildChips();
    QToolButton* makeChip(const QString& tag);
    void changed();

    FlowLayout* flow_;
    QLineEdit* editor_;
    QCompleter* completer_;
    QStringListModel* completions_;
    QList<QToolButton*> chips_;
    QStringList tags_;
    bool editable_ = true;
};

} // namespace folivo::gui
