#pragma once
// The names of the custom attributes of a database (".customAttributeNames", an array of
// strings in a keyed archive): read after every open, where a database without the file
// gets an empty one, and written by a save once they changed. A file that is there but
// holds no list is never written over: it is moved aside, the person is told, and an empty
// list starts.

#include "store/documenthooks.h"
#include "store/promptid.h"

#include <QStringList>

namespace folivo {

// The message that an unreadable names file was moved aside (or could not be).
inline constexpr PromptId DamagedNamesPrompt{"custom-attribute-names-damaged"};

class CustomAttributeNames : public DocumentPart {
public:
    const QStringList& names() const { return names_; }
    // Replaces the names and marks the database changed, so that the next save writes them.
    void setNames(MyDocument& doc, const QStringList& names);

    QString partName() const override { return QStringLiteral("custom attribute names"); }
    void read(MyDocument& doc) override;
    bool create(MyDocument& doc) override;
    bool changed(const MyDocument&) const override { return changed_; }
    bool write(MyDocument& doc) override;
    void clear() override;
    // An unreadable names file that could not be moved aside stays as it is: nothing is
    // written over it, and a failed save of the names costs nothing else.
    bool essential() const override { return !mustNotWrite_; }
    // Where the unreadable names file of this open went; empty when there was none.
    const QString& damagedCopy() const { return damagedCopy_; }

private:
    QStringList names_;
    bool changed_ = false;
    bool mustNotWrite_ = false;
    QString damagedCopy_;
};

} // namespace folivo
