#pragma once
// The two places where a subsystem joins an open database without changing the document's
// own code: it hears the end of every recorded operation, and it keeps a part of its own in
// the package that the document reads after every open and writes at every save.

#include <QString>

namespace folivo {

class MyDocument;
struct DBOperation;
struct OperationResult;

// Told once at the common end of every recorded operation, whatever its kind and however
// it ended (done, nothing to do, refused, failed or stopped by a disk error), after the
// tree and the package reached their final state and before the browser reloads.
// Observers are told in the order they subscribed.
class OperationObserver {
public:
    virtual ~OperationObserver() = default;
    virtual void operationFinished(const DBOperation& operation, const OperationResult& result) = 0;
};

// A part of the document stored in the package on its own (a hidden file beside the
// index), such as the navigation history. The document keeps the list of its parts.
class DocumentPart {
public:
    virtual ~DocumentPart() = default;

    // What the part is, in words for the log ("navigation history").
    virtual QString partName() const = 0;

    // After every open, once the tree is loaded or rebuilt and the document is open. An
    // open for reading changes nothing: what reading would repair is noted instead
    // (MyDocument::notePendingRepair).
    virtual void read(MyDocument& doc) = 0;
    // A new database: writes what the part keeps in an empty one; false fails the creation.
    virtual bool create(MyDocument& doc)
    {
        (void)doc;
        return true;
    }
    // Whether the package holds something else than the part has now; asked at every
    // save of a database that can change.
    virtual bool changed(const MyDocument& doc) const = 0;
    // Writes the part; false when the disk refused. The document then keeps ".changed"
    // and saves again at the next tick, unless the part is not essential.
    virtual bool write(MyDocument& doc) = 0;
    // A part whose loss costs nothing else (the navigation history costs only Back and
    // Forward): a failed write is logged and the save is complete without it.
    virtual bool essential() const { return true; }
    // At close: forgets everything of the database that was open.
    virtual void clear() = 0;
};

} // namespace folivo
