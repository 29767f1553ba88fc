#pragma once
// Sharpening of scanned pages: an unsharp mask, the image plus `amount` times its
// difference from a blurred copy (a Gaussian of `radius` pixels, approximated by three
// box blurs). The result has the image's size; the image itself is not changed.

#include <QImage>

namespace folivo::gui {

QImage unsharpMask(const QImage& image, double radius = 3.0, double amount = 4.0);

} // namespace folivo::gui
