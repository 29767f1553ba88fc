#pragma once
// The names of the custom attributes of a database (".customAttributeNames", an array of
// strings in a keyed archive): read after every open, where a database without the file
// gets an empty one, and written by a save once they changed.

#include "store/documenthooks.h"

#include <QStringList>

namespace folivo {

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

private:
    QStringList names_;
    bool changed_ = false;
};

} // namespace folivo
