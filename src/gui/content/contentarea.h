#pragma once
// The right side of a database window: the path line (what is shown, or what the selection
// is) over a stack of pages. Each subsystem registers its pages by name (the viewer, the
// report view, notices) and brings its page forward; until then the hint page shows.

#include <QHash>
#include <QString>
#include <QWidget>

class QLabel;
class QStackedWidget;

namespace folivo::gui {

class ShownFile;

class ContentArea : public QWidget {
    Q_OBJECT
public:
    // The page shown when nothing else is: how to bring files in.
    static inline const QString HintPage = QStringLiteral("hint");

    explicit ContentArea(QWidget* parent = nullptr);

    QString pathLineText() const;
    void setPathLineText(const QString& text);

    // Adds `page` under `name` (the area takes it); a name already taken keeps its page.
    bool addPage(const QString& name, QWidget* page);
    QWidget* page(const QString& name) const { return pages_.value(name); }
    // Brings the named page forward; false when there is none of that name.
    bool showPage(const QString& name);
    QString currentPage() const;

    // The page that shows files says what it shows (nullptr: none does).
    void setShownFile(ShownFile* shown) { shownFile_ = shown; }
    ShownFile* shownFile() const { return shownFile_; }
    // The page that shows files tells of a new file shown (or none) and of its text selection.
    void notifyShownFileChanged() { emit shownFileChanged(); }
    void notifyShownSelectionChanged(bool hasSelection) { emit shownSelectionChanged(hasSelection); }

signals:
    void shownFileChanged();
    void shownSelectionChanged(bool hasSelection);

private:
    QLabel* pathLine_;
    QStackedWidget* stack_;
    QHash<QString, QWidget*> pages_;
    ShownFile* shownFile_ = nullptr;
};

} // namespace folivo::gui
