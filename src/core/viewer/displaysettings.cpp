#include "viewer/displaysettings.h"

#include "store/indexitem.h"
#include "store/mydocument.h"

#include <cmath>

namespace folivo {

float boundedScale(double scale)
{
    if (!std::isfinite(scale) || scale <= 0)
        return 1.0f;
    return std::clamp(float(scale), MinScale, MaxScale);
}

float boundedRotation(double rotation)
{
    if (!std::isfinite(rotation))
        return 0.0f;
    double r = std::fmod(std::trunc(rotation), 360.0);
    r = std::round(r / 90.0) * 90.0;
    if (std::fabs(r) >= 360.0)
        r = 0.0;
    return r == 0.0 ? 0.0f : float(r); // never a negative zero
}

DisplaySettings bounded(DisplaySettings s)
{
    return {boundedScale(s.scale), boundedRotation(s.rotation)};
}

DisplaySettings displaySettingsOf(const IndexItem& item)
{
    DisplaySettings s;
    if (const plist::Value* v = item.value(viewerkeys::Scale); v && v->isNumber() && !v->isBool())
        s.scale = boundedScale(v->toReal(1.0));
    if (const plist::Value* v = item.value(viewerkeys::Rotation); v && v->isNumber() && !v->isBool())
        s.rotation = boundedRotation(v->toReal(0.0));
    return s;
}

DisplaySettings applyStep(DisplaySettings s, DisplayStep step)
{
    s = bounded(s);
    switch (step) {
    case DisplayStep::ZoomIn:
        s.scale = boundedScale(double(s.scale) * double(ZoomInFactor));
        break;
    case DisplayStep::ZoomOut:
        s.scale = boundedScale(double(s.scale) * double(ZoomOutFactor));
        break;
    case DisplayStep::Reset:
        s = {};
        break;
    case DisplayStep::RotateLeft:
        s.rotation = boundedRotation(double(s.rotation) + 90.0);
        break;
    case DisplayStep::RotateRight:
        s.rotation = boundedRotation(double(s.rotation) - 90.0);
        break;
    }
    return s;
}

QPointF scrollAfterZoom(QPointF topLeft, double factor)
{
    return {topLeft.x() * factor, topLeft.y() * factor};
}

bool storeDisplaySettings(MyDocument& doc, const QString& path, DisplaySettings s, DisplayStep step)
{
    IndexItem* item = doc.tree().itemForPath(path);
    if (!item)
        return false;
    s = bounded(s);
    const bool scale = step == DisplayStep::ZoomIn || step == DisplayStep::ZoomOut || step == DisplayStep::Reset;
    const bool rotation =
        step == DisplayStep::RotateLeft || step == DisplayStep::RotateRight || step == DisplayStep::Reset;
    // Kept as 32-bit reals, the precision the records have always had.
    if (scale)
        item->setValue(viewerkeys::Scale, plist::Value(double(s.scale)));
    if (rotation)
        item->setValue(viewerkeys::Rotation, plist::Value(double(s.rotation)));
    if (!doc.canChange())
        return true;
    if (!doc.writeAttributesFileForItem(item)) {
        doc.diskError(QStringLiteral("Writing attributes file of"), item->path());
        return false;
    }
    doc.changed();
    return true;
}

} // namespace folivo
