#pragma once
// Custom attributes: the database's list of names (letters only, compared exactly, kept in
// case-insensitive order), the editor's edits of that list, the completion of a typed name,
// the table of name and value pairs of one file or folder ("CustomAttributes"), and the
// rename or deletion of a name through every item, smart folder and the last search.

#include "plist/value.h"
#include "store/documentui.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace folivo {

class IndexItem;
class KTPrefs;
class MyDocument;

// ---- Names ---------------------------------------------------------------------------------

// At least one letter, and only the letters a-z and A-Z.
bool isValidAttributeName(const QString& name);

// Inserts `name` before the first name that sorts after it, ignoring case ("beta" goes
// between "Alpha" and "Gamma"). Answers the index where the name stands (also when it was
// there already); -1 for an empty name, which is not inserted.
int addAttributeName(QStringList& names, const QString& name);
void deleteBlankAttributeNames(QStringList& names);
// The first name, or an empty string when there is none.
QString defaultAttributeName(const QStringList& names);

// What an edit of one row of the names editor did to the list, and what the document must do
// about it.
struct NameEdit {
    enum class Action {
        None,      // the list is as it was, or only lost a new row (see `error`)
        Inserted,  // a new name took the place of a new (empty) row
        Renamed,   // `from` became `to`: the items, smart folders and last search follow
        DeleteRow, // the row was emptied: delete `from` as a deletion of the name (asking first)
    };
    Action action = Action::None;
    QString error; // the editor's error line; empty hides it
    QString from;
    QString to;
    int row = -1; // where the edited name stands now; -1 when its row went
};
// Stores `text` in row `row` of `names`. A name already in the list, or one with anything
// but letters, is refused: a new (empty) row then goes, an existing one keeps its name. An
// empty text leaves the list alone and asks for the row's deletion (a new row is simply
// removed). Otherwise the row's old name leaves the list and the new one is inserted in
// order.
NameEdit editAttributeNameRow(QStringList& names, int row, const QString& text);

// The delete question for a name in use, whose answers are "No" (the default) and "Yes".
inline constexpr PromptId DeleteAttributeNamePrompt{"delete-custom-attribute-name"};
inline constexpr PromptId NoAnswer{"no"};
inline constexpr PromptId YesAnswer{"yes"};
Prompt deleteAttributeNameQuestion(const QString& name);

// Completion of a name typed into a name field: an empty text is accepted as it is;
// otherwise the first name in list order that begins with the text exactly, else the first
// that begins with it ignoring case. Nothing: no name begins with the text, it is refused.
std::optional<QString> completeAttributeName(const QStringList& names, const QString& typed);

// ---- The table of one item -------------------------------------------------------------------

inline const QString AttributeKey = QStringLiteral("Attribute");
inline const QString ValueKey = QStringLiteral("Value");

struct AttributeEntry {
    QString name;
    QString value;
    bool operator==(const AttributeEntry&) const = default;
};

// Files and the folders the user made carry attributes; smart folders, smart files and date
// folders do not.
bool canCarryCustomAttributes(const IndexItem& item);
// The item's entries in their stored order; an entry without a string name or value shows
// an empty one.
QList<AttributeEntry> customAttributesOf(const IndexItem& item);
// The value of the entry named `name`, if the item has one.
std::optional<QString> customAttributeValue(const IndexItem& item, const QString& name);

// Each edit below changes the item's "CustomAttributes", writes its attributes file once and
// marks the database changed. Nothing changes in a database that cannot, on an item that
// carries no attributes, or for a row that is not there; a disk error is reported.

// Appends an entry with an empty name and value; answers its row, or -1.
int addCustomAttributeRow(MyDocument& doc, const QString& path);
// Removes the rows, whatever their order; rows that are not there are ignored. False when
// none went.
bool deleteCustomAttributeRows(MyDocument& doc, const QString& path, QList<int> rows);

enum class AttributeNameEdit {
    Stored,    // the entry has the name now
    Unchanged, // it had it already
    Deleted,   // an empty name: the rows went
    Duplicate, // another entry of the item has the name: the alert was shown and the rows went
    Refused,   // not a name of the database, no such row or item, or a database that cannot change
};
inline constexpr PromptId AttributeExistsPrompt{"custom-attribute-exists"};
// Gives row `row` the name `name`. The rows deleted by an empty or repeated name are the
// selected rows and always the edited one.
AttributeNameEdit setCustomAttributeName(MyDocument& doc, const QString& path, int row, const QString& name,
                                         const QList<int>& selectedRows = {});
// Stores `text` under `key` ("Value", or another column's identifier, never "Attribute") of
// row `row`. False when nothing was stored.
bool setCustomAttributeValue(MyDocument& doc, const QString& path, int row, const QString& text,
                             const QString& key = ValueKey);
// Sets the value of the entry named `name`, appending an entry when the item has none. The
// name must be one of the database's names. False when nothing was stored.
bool setCustomAttribute(MyDocument& doc, const QString& path, const QString& name, const QString& value);
// Removes the entry named `name`; false when the item had none.
bool removeCustomAttribute(MyDocument& doc, const QString& path, const QString& name);

// ---- Rename and deletion through the database --------------------------------------------------

// Told how many of the changed items have had their attributes file written, of how many.
using AttributeProgress = std::function<void(int written, int total)>;

// Walks every item of the tree for entries named `name`. Only asking (no deletion, no new
// name): answers whether any item uses the name, and changes nothing. Otherwise the entries
// are removed (`deleteIt`) or renamed to `*renameTo`, and every smart folder's conditions
// ("CustomAttribute") and report lines ("attribute1", "attribute2") naming it, and those of
// the last search in `prefs` ("find"), get the new name (an empty one for a deletion). Every
// item and smart folder that changed has its attributes file written again, so that an
// index rebuilt from them after a crash keeps the change. Answers whether anything changed.
bool customAttributeAccess(MyDocument& doc, const QString& name, bool deleteIt, const std::optional<QString>& renameTo,
                           KTPrefs* prefs, const AttributeProgress& progress = {});
bool customAttributeNameInUse(MyDocument& doc, const QString& name);
bool customAttributeNameDelete(MyDocument& doc, const QString& name, KTPrefs* prefs,
                               const AttributeProgress& progress = {});
bool customAttributeRename(MyDocument& doc, const QString& from, const QString& to, KTPrefs* prefs,
                           const AttributeProgress& progress = {});

// Replaces `name` by `replacement` in the "Conditions" of a find record and in the "values"
// lines of a report definition; answers whether anything changed.
bool renameInFindCriteria(plist::Dict& criteria, const QString& name, const QString& replacement);
bool renameInReportCriteria(plist::Dict& report, const QString& name, const QString& replacement);

} // namespace folivo
