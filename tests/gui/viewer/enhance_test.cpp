// Sharpening for enhance mode: flat areas stay as they are, edges get steeper, and the
// picture keeps its size and transparency.

#include "viewer/enhance.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace folivo::gui;

TEST(ViewerEnhance, SharpensEdgesAndLeavesFlatAreas)
{
    QImage flat(40, 30, QImage::Format_RGB32);
    flat.fill(qRgb(120, 60, 200));
    const QImage same = unsharpMask(flat);
    ASSERT_EQ(same.size(), flat.size());
    EXPECT_EQ(same.convertToFormat(QImage::Format_RGB32), flat);

    // Grey text on a light page: a step from 160 to 100 at x = 20.
    QImage step(40, 10, QImage::Format_ARGB32);
    for (int y = 0; y < step.height(); ++y)
        for (int x = 0; x < step.width(); ++x)
            step.setPixel(x, y, x < 20 ? qRgba(160, 160, 160, 255) : qRgba(100, 100, 100, 128));
    const QImage sharp = unsharpMask(step, 3.0, 4.0);
    // Overshoot on both sides of the edge, nothing far from it.
    EXPECT_GT(qRed(sharp.pixel(19, 5)), 160);
    EXPECT_LT(qRed(sharp.pixel(20, 5)), 100);
    EXPECT_EQ(qRed(sharp.pixel(2, 5)), 160);
    EXPECT_EQ(qRed(sharp.pixel(38, 5)), 100);
    EXPECT_EQ(qAlpha(sharp.pixel(30, 5)), 128);
    EXPECT_EQ(qAlpha(sharp.pixel(5, 5)), 255);
    EXPECT_TRUE(unsharpMask(QImage()).isNull());
}
