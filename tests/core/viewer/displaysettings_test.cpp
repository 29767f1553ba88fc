// Zoom and rotation of a shown file: the steps, the bounds every stored value is held to,
// the scroll that keeps the visible corner, and what storing writes in writeable and
// read-only databases.

#include "viewer/displaysettings.h"

#include "crypto/documentcrypto.h"
#include "store/indexitem.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"

#include <cmath>
#include <limits>

using namespace folivo;
using namespace folivo::test;

namespace {

DisplaySettings steps(DisplaySettings s, std::initializer_list<DisplayStep> list)
{
    for (DisplayStep step : list)
        s = applyStep(s, step);
    return s;
}

TEST(ViewerDisplay, StepsOfZoomAndRotation)
{
    using S = DisplayStep;
    struct Case {
        const char* what;
        DisplaySettings start;
        std::initializer_list<DisplayStep> list;
        DisplaySettings want;
    };
    const Case cases[] = {
        {"in", {1, 0}, {S::ZoomIn}, {1.2f, 0}},
        {"out", {1, 0}, {S::ZoomOut}, {0.91287093f, 0}},
        {"in, out, out", {1, 0}, {S::ZoomIn, S::ZoomOut, S::ZoomOut}, {1, 0}},
        {"in, out, out from 3", {3, 90}, {S::ZoomIn, S::ZoomOut, S::ZoomOut}, {3, 90}},
        {"left from 0", {1, 0}, {S::RotateLeft}, {1, 90}},
        {"right from 0", {1, 0}, {S::RotateRight}, {1, -90}},
        {"four right", {1, 0}, {S::RotateRight, S::RotateRight, S::RotateRight, S::RotateRight}, {1, 0}},
        {"three right", {1, 0}, {S::RotateRight, S::RotateRight, S::RotateRight}, {1, -270}},
        {"left of 270", {1, 270}, {S::RotateLeft}, {1, 0}},
        {"right of -270", {1, -270}, {S::RotateRight}, {1, 0}},
        {"left of -90", {1, -90}, {S::RotateLeft}, {1, 0}},
        {"reset", {4.5f, -180}, {S::Reset}, {1, 0}},
        {"in at the top", {32, 0}, {S::ZoomIn}, {32, 0}},
        {"out at the bottom", {1.0f / 32, 0}, {S::ZoomOut}, {1.0f / 32, 0}},
        // A stored value out of bounds is mended by the next step, not carried on.
        {"in from a huge stored scale", {1e9f, 0}, {S::ZoomIn}, {32, 0}},
        {"left from a stored 450", {1, 450}, {S::RotateLeft}, {1, 180}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DisplaySettings got = steps(c.start, c.list);
        EXPECT_NEAR(got.scale, c.want.scale, 1e-5);
        EXPECT_EQ(got.rotation, c.want.rotation);
    }
}

TEST(ViewerDisplay, StoredValuesAreHeldToBounds)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct ScaleCase {
        double stored;
        float shown;
    };
    for (const ScaleCase& c : {ScaleCase{1e9, 32},
                               {nan, 1},
                               {inf, 1},
                               {-inf, 1},
                               {0, 1},
                               {-2, 1},
                               {1e-9, 1.0f / 32},
                               {2.5, 2.5f},
                               {1.0 / 32, 1.0f / 32}}) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(boundedScale(c.stored), c.shown);
    }
    struct RotationCase {
        double stored;
        float shown;
    };
    for (const RotationCase& c : {RotationCase{450, 90},
                                  {-725, 0},
                                  {360, 0},
                                  {-360, 0},
                                  {720.5, 0},
                                  {89.5, 90},
                                  {44, 0},
                                  {46, 90},
                                  {-134.9, -90},
                                  {-135, -180},
                                  {nan, 0},
                                  {inf, 0},
                                  {270, 270},
                                  {-270, -270},
                                  {1e12 + 80, 0}}) {
        SCOPED_TRACE(c.stored);
        const float got = boundedRotation(c.stored);
        EXPECT_EQ(got, c.shown);
        EXPECT_FALSE(std::signbit(got) && got == 0) << "negative zero";
    }

    // Reading an item: absent and wrongly typed keys give the defaults, numbers are bounded.
    struct ItemCase {
        const char* what;
        plist::Dict keys;
        DisplaySettings want;
    };
    const ItemCase items[] = {
        {"absent", plist::Dict{}, {1, 0}},
        {"string", plist::Dict::fromEntries({{"Scale", plist::Value("2")}, {"Rotation", plist::Value("90")}}), {1, 0}},
        {"integers", plist::Dict::fromEntries({{"Scale", plist::Value(2)}, {"Rotation", plist::Value(-90)}}), {2, -90}},
        {"out of bounds",
         plist::Dict::fromEntries({{"Scale", plist::Value(1e9)}, {"Rotation", plist::Value(-725.0)}}),
         {32, 0}},
        {"NaN", plist::Dict::fromEntries({{"Scale", plist::Value(nan)}, {"Rotation", plist::Value(nan)}}), {1, 0}},
    };
    for (const ItemCase& c : items) {
        SCOPED_TRACE(c.what);
        plist::Dict keys = c.keys;
        keys.set("Path", plist::Value("Unfiled/a.pdf"));
        const IndexItem item(std::move(keys), false);
        EXPECT_EQ(displaySettingsOf(item), c.want);
    }
}

TEST(ViewerDisplay, ZoomKeepsTheTopLeftCornerOfWhatWasVisible)
{
    EXPECT_EQ(scrollAfterZoom({100, 40}, 1.2), QPointF(120, 48));
    EXPECT_EQ(scrollAfterZoom({0, 0}, 0.5), QPointF(0, 0));
    EXPECT_EQ(scrollAfterZoom({300, 900}, 0.5), QPointF(150, 450));
}

class ViewerStore : public Fixtures {};

TEST_F(ViewerStore, AStepIsStoredInTheItemAndItsAttributesFile)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString item = QStringLiteral("Bank/Welcome Letter.pdf");
    const QString attributes = pkg + "/" + MyDocument::attributesPathForPath(item);
    {
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        QFile::remove(pkg + "/.changed");
        const QByteArray before = readAll(attributes);
        const DisplaySettings zoomed = applyStep({}, DisplayStep::ZoomIn);
        ASSERT_TRUE(storeDisplaySettings(doc, item, zoomed, DisplayStep::ZoomIn));
        EXPECT_NE(readAll(attributes), before);
        EXPECT_TRUE(QFileInfo::exists(pkg + "/.changed"));
        // Only the key the step changed.
        EXPECT_FALSE(doc.tree().itemForPath(item)->has(viewerkeys::Rotation));
        ASSERT_TRUE(
            storeDisplaySettings(doc, item, applyStep(zoomed, DisplayStep::RotateLeft), DisplayStep::RotateLeft));
        EXPECT_FALSE(storeDisplaySettings(doc, "Bank/No such.pdf", zoomed, DisplayStep::ZoomIn));
        doc.close();
    }
    // Not saved: the change marker makes the next open rebuild from the attributes files.
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_TRUE(doc.rebuiltAtOpen());
    const IndexItem* shown = doc.tree().itemForPath(item);
    ASSERT_TRUE(shown);
    EXPECT_EQ(displaySettingsOf(*shown), (DisplaySettings{1.2f, 90}));
    // As a 32-bit real, the way the records keep it.
    EXPECT_EQ(shown->value(viewerkeys::Scale)->realValue(), double(1.2f));
}

TEST_F(ViewerStore, AReadOnlyDatabaseWritesNothing)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString item = QStringLiteral("Bank/Welcome Letter.pdf");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg, OpenOptions{.forReading = true}).ok());
    ASSERT_FALSE(doc.canChange());
    const auto before = packageListing(pkg);
    ASSERT_TRUE(storeDisplaySettings(doc, item, {2, 90}, DisplayStep::Reset));
    // Shown again while the window is open, but nothing reaches the disk.
    EXPECT_EQ(displaySettingsOf(*doc.tree().itemForPath(item)), (DisplaySettings{2, 90}));
    EXPECT_EQ(listingDifferences(before, packageListing(pkg)), QString());
}

} // namespace
