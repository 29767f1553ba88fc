#include "find/searchtext.h"

#include "find/textcache.h"
#include "store/mydocument.h"

namespace folivo {

std::optional<QString> searchTextOfItem(MyDocument& doc, const QString& storedPath)
{
    return doc.textCache().text(storedPath);
}

} // namespace folivo
