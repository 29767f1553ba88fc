#include "logincontext.h"

#include "loginpage.h"

#include "store/indexitem.h"
#include "store/mydocument.h"

namespace folivo::gui {

namespace {

bool isAtOrBeneath(const QString& path, const QString& folder)
{
    return path == folder || (path.size() > folder.size() && path.startsWith(folder) && path.at(folder.size()) == u'/');
}

} // namespace

void LoginContext::set(MyDocument* doc, const QString& folderPath, LoginPage* editor)
{
    if (!doc || folderPath.isEmpty() || !editor) {
        clear();
        return;
    }
    if (doc_ == doc && path_ == folderPath && editor_ == editor)
        return;
    doc_ = doc;
    path_ = folderPath;
    editor_ = editor;
    emit changed();
}

void LoginContext::clear()
{
    if (!doc_ && path_.isEmpty())
        return;
    doc_ = nullptr;
    path_.clear();
    editor_ = nullptr;
    emit changed();
}

void LoginContext::clearFor(const MyDocument* doc)
{
    if (doc && doc_ == doc)
        clear();
}

void LoginContext::folderRemoved(const MyDocument* doc, const QString& path)
{
    if (doc && doc_ == doc && !path.isEmpty() && isAtOrBeneath(path_, path))
        clear();
}

void LoginContext::folderMoved(const MyDocument* doc, const QString& oldPath, const QString& newPath)
{
    if (!doc || doc_ != doc || oldPath.isEmpty() || newPath.isEmpty() || !isAtOrBeneath(path_, oldPath))
        return;
    path_ = newPath + path_.mid(oldPath.size());
    emit changed();
}

MyDocument* LoginContext::document() const
{
    // The editor is a part of the database's window: without it, the database is gone too.
    return editor_ ? doc_ : nullptr;
}

std::optional<LoginRecord> LoginContext::record() const
{
    MyDocument* doc = document();
    if (!doc)
        return std::nullopt;
    const IndexItem* folder = doc->tree().itemForPath(path_);
    if (!folder || !hasLogin(*folder))
        return std::nullopt;
    return LoginRecord::of(*folder);
}

} // namespace folivo::gui
