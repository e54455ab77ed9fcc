// Masks' area images kept between frames: found again only for exactly the same mask.

#include "engine/render/ShapeCache.h"

#include <gtest/gtest.h>

namespace {

using namespace swf::render;

QPainterPath triangle(double nudge = 0)
{
    QPainterPath path;
    path.moveTo(1, 1);
    path.lineTo(30 + nudge, 4);
    path.cubicTo(20, 20, 10, 25, 2, 28);
    path.closeSubpath();
    return path;
}

TEST(MaskCuts, KeepsACutOnlyForTheSameMask)
{
    MaskCuts cuts;
    int made = 0;
    auto make = [&made] {
        ++made;
        QImage image(32, 32, QImage::Format_Alpha8);
        image.fill(made);
        return image;
    };
    const QRect area(0, 0, 32, 32);
    const QImage first = cuts.cut(triangle(), area, true, make);
    EXPECT_EQ(cuts.cut(triangle(), area, true, make), first);
    EXPECT_EQ(made, 1) << "the same path, area and smoothing";

    QPainterPath winding = triangle();  // paths are even-odd unless told
    winding.setFillRule(Qt::WindingFill);
    struct Other {
        const char* what;
        QPainterPath path;
        QRect area;
        bool smooth;
    };
    const Other others[] = {
        {"a point moved by less than fuzzy comparison sees", triangle(1e-9), area, true},
        {"another fill rule", winding, area, true},
        {"another area", triangle(), QRect(1, 0, 32, 32), true},
        {"unsmoothed", triangle(), area, false},
    };
    for (const Other& other : others) {
        const int before = made;
        cuts.cut(other.path, other.area, other.smooth, make);
        EXPECT_EQ(made, before + 1) << other.what;
    }
    // Four kept (the most recently used), so the first has been dropped.
    EXPECT_EQ(cuts.size(), MaskCuts::kKept);
    const int before = made;
    cuts.cut(triangle(), area, true, make);
    EXPECT_EQ(made, before + 1);

    // A failed cut (out of memory) is not kept.
    cuts.clear();
    EXPECT_TRUE(cuts.cut(triangle(), area, true, [] { return QImage(); }).isNull());
    EXPECT_EQ(cuts.size(), 0u);
}

} // namespace
