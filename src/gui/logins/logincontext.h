#pragma once
// The login that typing uses: which database, which folder and which editor. One for the
// application, set by the login page of a database window when it shows a folder, and read
// by the hot keys, the password panel and the import of logins. It follows its folder:
// cleared when the folder is deleted or its database closes, moved along on a rename.

#include "loginpage.h"

#include "logins/loginrecord.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

namespace folivo {
class MyDocument;
}

namespace folivo::gui {

class LoginContext : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The editor belongs to the database's window; the context is empty once it has gone.
    void set(MyDocument* doc, const QString& folderPath, LoginPage* editor);
    void clear();
    // The database closes.
    void clearFor(const MyDocument* doc);
    // The folder at `path` (or one above it) of `doc` was deleted.
    void folderRemoved(const MyDocument* doc, const QString& path);
    // The folder at `oldPath` (or one above it) of `doc` is at `newPath` now.
    void folderMoved(const MyDocument* doc, const QString& oldPath, const QString& newPath);

    bool empty() const { return document() == nullptr; }
    MyDocument* document() const;
    QString folderPath() const { return empty() ? QString() : path_; }
    LoginPage* editor() const { return editor_; }
    // The login as it is stored now, when the folder has one (an address, a user ID or a
    // password).
    std::optional<LoginRecord> record() const;

signals:
    void changed();

private:
    MyDocument* doc_ = nullptr;
    QString path_;
    QPointer<LoginPage> editor_;
};

} // namespace folivo::gui
