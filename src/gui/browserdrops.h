#pragma once
// Sets up a browser view for what its model decides: names edited in place, items dragged
// out and dropped in, and refused names explained beside their row.

class QTreeView;

namespace folivo::gui {

// Call after the view has its TreeModel. Drags carry the browser's own forms and the file
// names; whether a drop is taken, and as a copy or a move, is the model's decision (Ctrl
// asks for a copy). Editing starts with the edit key or a click on the selected row, where
// the model allows it. A callout asked for by the model appears beside its row; after a
// name already in use, the row goes back into editing once the callout is dismissed.
void setUpBrowserView(QTreeView* view);

} // namespace folivo::gui
