#pragma once
// The window's way into the help book: opens it at an anchor in the help viewer, and closes
// the viewer at the end of the run if it still shows Folivo's help.

#include <QString>

namespace folivo::gui {

void gotoHelpAnchor(const QString& anchor);
void terminateHelp();

} // namespace folivo::gui
