#include "logins/loginedits.h"

#include "filing/messages.h"
#include "logins/loginrecord.h"
#include "logins/passwordgenerator.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"

#include <QDateTime>

namespace folivo {

bool editLogin(MyDocument& doc, const QString& folderPath, const std::function<bool(IndexItem&)>& change)
{
    IndexItem* folder = doc.tree().itemForPath(folderPath);
    if (!folder || !folder->isPlainFolder() || !doc.canChange())
        return false;
    migrateLogin(*folder);
    if (!change(*folder))
        return false;
    if (!doc.writeAttributesFileForItem(folder)) {
        doc.diskError(filingmsg::WritingAttributesStep, folder->path());
        return false;
    }
    doc.changed();
    return true;
}

QString generateLoginPassword(MyDocument& doc, const QString& folderPath, qint64 length, bool includeSpecials)
{
    QString generated;
    editLogin(doc, folderPath, [&](IndexItem& folder) {
        const LoginRecord before = LoginRecord::of(folder);
        folder.setValue(loginkeys::PasswordLength, std::int64_t(clampedPasswordLength(length, includeSpecials)));
        folder.setValue(loginkeys::IncludeSpecials, includeSpecials);
        const plist::Value* notes = folder.value(keys::Notes);
        const QString oldNotes = notes && notes->isString() ? notes->string() : QString();
        const QString newNotes = notesWithPasswordHistory(oldNotes, before.password, QDateTime::currentDateTime());
        if (newNotes != oldNotes)
            folder.setValue(keys::Notes, newNotes);
        generated = generatePassword(length, includeSpecials);
        folder.setValue(loginkeys::Password, generated);
        return true;
    });
    return generated;
}

} // namespace folivo
