#pragma once
// Renaming an item in place in the browser: from the name the person typed to the new
// stored path, or to the message the browser shows beside the row instead.

#include <QString>
#include <QStringList>

namespace folivo {

class IndexItem;

// The name a browser row shows and edits: a file without its extension, a smart file as the
// path of the file it stands for without the extension, anything else by its last component.
QString shownNameForItem(const IndexItem& item);
// The extension of a stored name, with its dot (".pdf"); empty when it has none.
QString extensionOfName(const QString& name);

struct RenameRequest {
    QString oldPath;
    bool keepsExtension = false; // a file: the person edits the name without its extension
    QString typed;
    // The paths of the item's siblings (the item's own may be among them).
    QStringList siblingPaths;
    bool maintainLastImport = false; // the preference "MaintainLastImport"
};

struct RenameDecision {
    enum class Kind { Rename, Unchanged, Refused };
    Kind kind = Kind::Unchanged;
    QString newPath; // Rename: the path to record
    QString message; // Refused: what to tell the person, ready to show
    bool editAgain = false; // Refused because the name is taken: the person picks another
};

// Typed names are kept in composed form (NFC), as names are typed and shown on Linux; a
// sibling whose name differs only in composition counts as the same name, since the two
// could not be told apart on the screen.
RenameDecision decideRename(const RenameRequest& request);

} // namespace folivo
