#pragma once
// The help viewer's window: the book's contents (its headings) and a search on the left, the
// page on the right, with Back, Forward and the start page.

#include "helpbook.h"

#include <QMainWindow>
#include <QTextBrowser>

class QLineEdit;
class QListWidget;
class QTabWidget;

namespace folivo::help {

// A browser that stays inside the book: links and images that lead out of it are not
// followed or loaded; web and mail links go to the person's own programs.
class BookBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit BookBrowser(QWidget* parent = nullptr);
    void setBook(const HelpBook* book) { book_ = book; }
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    const HelpBook* book_ = nullptr;
};

class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Reads the request from the settings file and shows it.
    void showRequested();
    // The page file and anchor shown now.
    QString shownPage() const;
    const QString& shownAnchor() const { return anchor_; }

private:
    void showTarget(const HelpBook::Target& target);
    void fillContents();
    void runSearch();

    std::unique_ptr<HelpBook> book_;
    BookBrowser* browser_ = nullptr;
    QTabWidget* side_ = nullptr;
    QListWidget* contents_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QListWidget* results_ = nullptr;
    QString anchor_;
};

} // namespace folivo::help
