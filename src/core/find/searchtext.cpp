#include "find/searchtext.h"

#include "find/filetext.h"

namespace folivo {

std::optional<QString> searchTextOfItem(MyDocument& doc, const QString& storedPath)
{
    std::optional<QString> text = textOfItem(doc, storedPath);
    if (text)
        *text = text->normalized(QString::NormalizationForm_C);
    return text;
}

} // namespace folivo
