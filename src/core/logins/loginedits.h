#pragma once
// Changing the login of a folder of an open database: the change is made on the folder's
// item, its attributes file written once and the database marked changed.

#include <QString>
#include <functional>

namespace folivo {

class IndexItem;
class MyDocument;

// Runs `change` on the plain folder at `folderPath` (an older record is brought to the
// present form first, so that its migrated keys are written with this change). `change`
// answers whether anything needs writing. False when nothing was written: no such folder,
// a database that cannot change, nothing to write, or a disk error (reported).
bool editLogin(MyDocument& doc, const QString& folderPath, const std::function<bool(IndexItem&)>& change);

// Replaces the password with a generated one (`length` and `includeSpecials` kept on the
// folder), writing the replaced one into the folder's notes first. Answers the new password;
// empty when nothing was stored.
QString generateLoginPassword(MyDocument& doc, const QString& folderPath, qint64 length, bool includeSpecials);

} // namespace folivo
