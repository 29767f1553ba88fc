#pragma once
// The one check of a smart folder's name, for the Find dialog, renames and the tag panel.

#include <QString>
#include <optional>

namespace folivo {

class IndexTree;

// What is wrong with `name` as the name of a new or renamed smart folder, ready to show;
// nothing when it may be used. `beingEdited` is the name of the smart folder being edited,
// which may keep its own name.
std::optional<QString> smartFolderNameProblem(const QString& name, const IndexTree& tree,
                                              const QString& beingEdited = QString());

} // namespace folivo
