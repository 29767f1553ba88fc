#pragma once
// Which folders of the browser open together: Expand All from the top, and a folder's
// whole branch when the person holds Alt on its disclosure triangle.

#include <vector>

namespace folivo {

class IndexItem;
class IndexTree;

// The folders that open, in tree order: `from` itself (when it has anything to show) and
// every folder below it; from the top of the tree when `from` is none. A date folder that
// holds nothing but one file stands for that file and stays closed below the top of the
// walk; a smart folder opens, but what it shows are other folders' items and is not walked.
std::vector<const IndexItem*> foldersToExpand(const IndexTree& tree, const IndexItem* from);

} // namespace folivo
