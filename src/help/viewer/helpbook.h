#pragma once
// The help book as the viewer reads it: a folder of HTML pages, the anchors they define, and
// what a request (a page path and an anchor) resolves to. Nothing resolves outside the folder:
// the settings file that carries the request may be written by any program of the person.

#include <QList>
#include <QString>

namespace folivo::help {

class HelpBook {
public:
    struct Anchor {
        QString name;
        QString page;  // absolute path of the page
        QString title; // the heading's text, empty for an anchor that is no heading
        int level = 0; // the heading's level, 1 for a page's title
    };
    struct Target {
        QString page; // absolute path, empty when the book has no page to show
        QString anchor;
    };
    struct Hit {
        QString page;
        QString title;
        QString excerpt;
    };

    // The page shown when a request names none, or one the book does not have.
    static inline const QString StartPage = QStringLiteral("index.html");

    explicit HelpBook(const QString& folder);
    bool valid() const { return !root_.isEmpty(); }
    const QString& root() const { return root_; }

    // The page at `path` (relative to the folder, or absolute) when it is an existing file
    // inside the folder, after following links; empty otherwise.
    QString pagePath(const QString& path) const;
    // A file URL or path as a place inside the book: true when `file` lies inside it.
    bool contains(const QString& file) const;

    const QList<Anchor>& anchors() const { return anchors_; }
    const Anchor* findAnchor(const QString& name) const;
    // The page and anchor to show. An anchor the book does not define is dropped; a path that
    // leaves the folder is refused and the anchor's page, or the start page, shown instead.
    Target resolve(const QString& path, const QString& anchor) const;

    // Pages whose text holds `text` (case ignored), in the order of the contents.
    QList<Hit> search(const QString& text) const;

private:
    struct Page {
        QString path;
        QString title;
        QString text;
    };
    void scan();

    QString root_;
    QList<Page> pages_;
    QList<Anchor> anchors_;
};

} // namespace folivo::help
