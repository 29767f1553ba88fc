#pragma once
// A message shown beside a browser row, for example why a typed name was refused. It stays
// until the person dismisses it with a click or a key, so it cannot be missed.

#include <QFrame>
#include <QModelIndex>
#include <QPointer>

class QLabel;
class QTreeView;

namespace folivo::gui {

class Callout : public QFrame {
    Q_OBJECT
public:
    explicit Callout(const QString& message, QWidget* parent = nullptr);

    QString message() const;
    // Places the callout to the right of `rect` (in global coordinates), kept on the screen.
    void showBeside(const QRect& globalRect);

signals:
    void dismissed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* label_;
    bool done_ = false;
};

// Shows `message` in a callout beside the row of `index` in `view` (or its top when the row
// is not shown); any callout the view still shows goes first. Answers the callout, which
// deletes itself once dismissed.
Callout* showCallout(QTreeView* view, const QModelIndex& index, const QString& message);

} // namespace folivo::gui
