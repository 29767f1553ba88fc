#include "attributes/notes.h"

#include "filing/messages.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"

namespace folivo {

QString notesOf(const MyDocument& doc, const QString& path)
{
    const IndexItem* item = doc.tree().itemForPath(path);
    const plist::Value* notes = item ? item->value(keys::Notes) : nullptr;
    return notes && notes->isString() ? notes->string() : QString();
}

bool saveNotes(MyDocument& doc, const QString& path, const QString& text)
{
    IndexItem* item = doc.tree().itemForPath(path);
    if (!item || !doc.canChange() || notesOf(doc, path) == text)
        return false;
    item->setValue(keys::Notes, plist::Value(text));
    if (!doc.writeAttributesFileForItem(item)) {
        doc.diskError(filingmsg::WritingAttributesStep, item->path());
        return false;
    }
    doc.changed();
    return true;
}

} // namespace folivo
