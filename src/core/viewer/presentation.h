#pragma once
// What the viewer shows a file as, and the text it shows of a file that is text.

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace folivo {

// The line above the viewer: the item's path and the file's size, bytes below 1000, then
// kilobytes and megabytes of 1000 with two decimals, always with a decimal point.
QString pathLineFor(const QString& itemPath, qint64 size);

// The two extension lists of the program, lower case without the dot.
struct ViewerExtensions {
    QSet<QString> movies;    // shown in a movie player when one plays them
    QSet<QString> noDisplay; // never shown: the notice says so
    // The lists compiled into the program.
    static const ViewerExtensions& builtIn();
    // Lists from JSON {"movies": [...], "noDisplay": [...]}; nullopt when it is not that.
    static std::optional<ViewerExtensions> fromJson(const QByteArray& json);
};

enum class Presentation { Movie, Unsupported, Pdf, Image, Text };

// Asks whether the file opens as each kind; each is asked only when the ones before it in
// the order did not match.
struct PresentationProbes {
    std::function<bool()> opensAsPdf;
    std::function<bool()> opensAsImage;
    std::function<bool()> readsAsText;
};

// The first match of: a movie extension (unless `movieFailed`: the player could not play
// it), a never-shown extension, a PDF, an image, text, else the notice. Whether a player
// plays a file is only known later, so a caller shows a movie, and when that fails asks
// again with `movieFailed`.
Presentation choosePresentation(const QString& fileName, const ViewerExtensions& lists,
                                const PresentationProbes& probes, bool movieFailed = false);

// How much of a text file is shown, and how far its start is looked at for zero bytes.
inline constexpr qsizetype MaxShownTextBytes = 16 * 1024 * 1024;
inline constexpr qsizetype TextSniffBytes = 64 * 1024;

// Whether bytes that begin a file are text the viewer shows: UTF-8 (a sequence cut off at
// the end allowed) or UTF-16 with its byte-order mark, and no zero character in the first
// 64 KiB; other bytes only under a name that says text (read as Latin-1 then).
bool readsAsPlainText(const QString& fileName, QByteArrayView head);

// The text shown of a plain text file: at most 16 MiB of `bytes` (a longer file gives its
// start, `truncated` set, and a last line saying the rest is not shown). nullopt when the
// bytes are not text by readsAsPlainText.
struct ShownText {
    QString text;
    bool truncated = false;
};
std::optional<ShownText> plainTextForDisplay(const QString& fileName, QByteArrayView bytes, bool moreFollows = false);

} // namespace folivo
