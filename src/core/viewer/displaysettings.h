#pragma once
// How a file is shown: its zoom factor and rotation, kept in its item ("Scale",
// "Rotation") and brought back the next time it is shown. The values come from files
// another program may have written, so every reading and every step keeps them in bounds.

#include <QPointF>
#include <QString>

namespace folivo {

class IndexItem;
class MyDocument;

namespace viewerkeys {
inline const QString Scale = QStringLiteral("Scale");
inline const QString Rotation = QStringLiteral("Rotation");
// Global preferences: enhance mode was explained once; the program chosen for "Open in
// PDF Viewer" (a desktop application id).
inline const QString EnhanceExplained = QStringLiteral("enhanceExplained");
inline const QString AdobeName = QStringLiteral("AdobeName");
} // namespace viewerkeys

// Both are 32-bit reals, as the records keep them. Rotation counts counter-clockwise in
// whole degrees, a multiple of 90 strictly between -360 and 360.
struct DisplaySettings {
    float scale = 1.0f;
    float rotation = 0.0f;
    friend bool operator==(const DisplaySettings&, const DisplaySettings&) = default;
};

inline constexpr float MinScale = 1.0f / 32;
inline constexpr float MaxScale = 32.0f;
inline constexpr float ZoomInFactor = 1.2f;
inline constexpr float ZoomOutFactor = 0.91287093f; // two steps out undo one step in

// A scale to show with: non-finite or not positive gives 1, anything else is held to
// [1/32, 32].
float boundedScale(double scale);
// A rotation to show with: truncated to whole degrees, reduced modulo 360 keeping its
// sign, and snapped to the nearest multiple of 90 (a view cannot show 45 degrees, and a
// stored 89.5 means a quarter turn). Non-finite gives 0.
float boundedRotation(double rotation);
DisplaySettings bounded(DisplaySettings s);

// The item's settings; absent or unreadable values give the defaults.
DisplaySettings displaySettingsOf(const IndexItem& item);

enum class DisplayStep { ZoomIn, ZoomOut, Reset, RotateLeft, RotateRight };
DisplaySettings applyStep(DisplaySettings s, DisplayStep step);

// Where to scroll after zooming by `factor` so that the top-left corner of what was
// visible stays where it was (the view's origin is its top-left).
QPointF scrollAfterZoom(QPointF topLeft, double factor);

// Stores a step's result in the item at `path`: the key the step changes ("Scale",
// "Rotation", both for a reset). When the database can change, the item's attributes
// file is written and the database marked changed; a read-only database writes nothing.
// False when no item was changed (none at `path`) or the disk refused the write.
bool storeDisplaySettings(MyDocument& doc, const QString& path, DisplaySettings s, DisplayStep step);

} // namespace folivo
