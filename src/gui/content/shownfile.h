#pragma once
// What other parts of the window read of the file shown in the content area, whichever page
// shows it: the filing tools of the attributes area take the selected text as a match string
// or a date phrase, and look for dates in the whole text.

#include "find/highlight.h"

#include <QString>
#include <vector>

namespace folivo::gui {

class ShownFile {
public:
    virtual ~ShownFile() = default;
    // The stored path of the item shown; empty when no file is shown.
    virtual QString shownItemPath() const = 0;
    // The file is shown as text (plain, RTF, RTFD) or as a PDF: the filing tools work on those.
    virtual bool showsTextOrPdf() const = 0;
    // The text selected in the shown file; empty when none is.
    virtual QString selectedText() const = 0;
    // The whole text of the shown file: the text view's, or for a PDF the document's text.
    virtual QString fullText() const = 0;
    // Marks every place where the needles stand in the file at `path` once it is shown (at
    // once when it is shown already): a found file shows why it was found. Showing another
    // file drops the marks.
    virtual void markContents(const QString& path, std::vector<ContentsNeedle> needles)
    {
        (void)path, (void)needles;
    }
};

} // namespace folivo::gui
