#include "find/smartfoldername.h"

#include "find/messages.h"
#include "store/keys.h"
#include "store/packagepath.h"
#include "store/tree.h"

namespace folivo {

std::optional<QString> smartFolderNameProblem(const QString& typed, const IndexTree& tree, const QString& beingEdited)
{
    if (typed.isEmpty())
        return findmsg::MissingSmartFolderName;
    if (typed.contains('/') || typed.startsWith('.'))
        return findmsg::BadSmartFolderName;
    // Names are kept composed, as they are typed and shown on Linux.
    const QString name = typed.normalized(QString::NormalizationForm_C);
    // The store's own rule decides the rest: no control characters, and short enough for the
    // attributes file and the enciphered forms beside it.
    if (const NameProblem p = checkName(name); p != NameProblem::None)
        return nameProblemMessage(p);
    const bool editing = !beingEdited.isEmpty() && name == beingEdited.normalized(QString::NormalizationForm_C);
    if (editing)
        return std::nullopt;
    // The system's own folder keeps its name even while it does not exist.
    if (name == pkg::LastImport || tree.itemForPath(name) || tree.itemForPath(typed))
        return findmsg::NameInUse;
    return std::nullopt;
}

} // namespace folivo
