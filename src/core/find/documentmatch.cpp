#include "find/documentmatch.h"
#include "find/textcache.h"

#include "find/searchtext.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QFileInfo>

namespace folivo {

DocumentMatchContext::DocumentMatchContext(MyDocument& doc) : DocumentMatchContext(doc, europeanDatesOf(doc)) {}

DocumentMatchContext::DocumentMatchContext(MyDocument& doc, bool european) : doc_(doc), european_(european) {}

bool DocumentMatchContext::europeanDatesOf(const MyDocument& doc)
{
    const KTPrefs* prefs = doc.applicationPreferences();
    return prefs && prefs->boolForKey(prefkeys::EuropeanDates);
}

bool DocumentMatchContext::textMayContain(const IndexItem& item, const QString& needle, bool ignoreCase)
{
    return doc_.textCache().mayContain(item.path(), needle, ignoreCase);
}

std::optional<QString> DocumentMatchContext::fileText(const IndexItem& item)
{
    if (item.hasChildren() || item.isSmartFile())
        return std::nullopt;
    return searchTextOfItem(doc_, item.path());
}

std::optional<QDate> DocumentMatchContext::fileModificationDay(const IndexItem& item)
{
    if (item.hasChildren() || item.isSmartFile())
        return std::nullopt;
    const std::optional<QString> stored = doc_.pathOrEncryptedPath(item.path());
    if (!stored)
        return std::nullopt;
    const QString abs = doc_.absolutePath(*stored);
    if (abs.isEmpty())
        return std::nullopt;
    const QDateTime modified = QFileInfo(abs).lastModified();
    if (!modified.isValid())
        return std::nullopt;
    // The day in local time: a file changed today at 15:00 was changed today.
    return modified.toLocalTime().date();
}

} // namespace folivo
