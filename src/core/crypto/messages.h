#pragma once
// The texts the encryption of a database shows to people (through a result's error, which
// the window and the command line print), kept verbatim in one place.

#include <QString>

namespace folivo::cryptomsg {

inline const QString CannotEncipherHere = QStringLiteral("\"%1\" cannot be enciphered here.");
inline const QString CannotDecipherHere = QStringLiteral("\"%1\" cannot be deciphered here.");
inline const QString CannotChange = QStringLiteral("The database cannot be changed.");
inline const QString NoKeyFromPassword = QStringLiteral("No key could be made from the password.");
inline const QString NotInsideDatabase = QStringLiteral("\"%1\" is not a path inside the database.");
inline const QString NotInDatabase = QStringLiteral("\"%1\" is not in the database.");
inline const QString NoSuchInnerFile = QStringLiteral("\"%1\" has no file \"%2\".");
inline const QString IsAFolder = QStringLiteral("\"%1\" is a folder; name a file inside it.");
inline const QString CannotRead = QStringLiteral("\"%1\" cannot be read: %2");
inline const QString CannotWriteOut = QStringLiteral("The content of \"%1\" could not be written out.");
inline const QString NoPrivateFolder = QStringLiteral("No private temporary folder.");
inline const QString NoPrivateFolderBecause = QStringLiteral("No private temporary folder: %1");
inline const QString CannotCopy = QStringLiteral("\"%1\" could not be copied: %2");

} // namespace folivo::cryptomsg
