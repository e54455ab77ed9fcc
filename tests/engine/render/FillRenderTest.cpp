// Fills built from fill0/fill1 edges: holes, shared edges between styles, edge order,
// and the fill rule DefineShape4 can switch.

#include "RenderFixture.h"
#include "tests/support/ShapeWriter.h"

namespace {

using namespace swf;
using namespace lanfan::test;

const Rect kBounds{0, 2000, 0, 2000};
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

// Edges of an axis-aligned rectangle, clockwise on screen, with the given fills.
void rectEdges(RecordWriter& w, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t fill0, uint32_t fill1)
{
    w.moveTo(x0, y0).fill0(fill0).fill1(fill1);
    w.lineTo(x1, y0).lineTo(x1, y1).lineTo(x0, y1).lineTo(x0, y0);
}

// Same rectangle, counter-clockwise.
void rectEdgesReversed(RecordWriter& w, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t fill0, uint32_t fill1)
{
    w.moveTo(x0, y0).fill0(fill0).fill1(fill1);
    w.lineTo(x0, y1).lineTo(x1, y1).lineTo(x1, y0).lineTo(x0, y0);
}

Canvas render(std::shared_ptr<const ShapeDef> shape)
{
    Canvas canvas(100, 100);
    canvas.draw(rootOf({shapeNode(std::move(shape))}));
    return canvas;
}

TEST(FillRender, SimpleRectangleFillsWhicheverSideCarriesTheStyle)
{
    for (bool onFill0 : {true, false}) {
        StyleArrays styles(22);
        uint32_t red = styles.solid({255, 0, 0, 255});
        RecordWriter w;
        rectEdges(w, 200, 200, 1800, 1800, onFill0 ? red : 0, onFill0 ? 0 : red);
        Canvas c = render(buildShape(22, kBounds, styles, w));
        EXPECT_TRUE(near(c.at(50, 50), kRed)) << onFill0;
        EXPECT_TRUE(near(c.at(11, 11), kRed)) << onFill0;
        EXPECT_TRUE(near(c.at(5, 5), kWhite)) << onFill0;
        EXPECT_TRUE(near(c.at(95, 50), kWhite)) << onFill0;
    }
}

TEST(FillRender, HolesFromEitherFillSideUnderBothFillRules)
{
    // The inner square is drawn in the same direction as the outer one but carries the
    // style on its other side, so only turning fill0 edges round makes it a hole under
    // the non-zero rule.
    for (bool nonZero : {false, true}) {
        StyleArrays styles(83);
        uint32_t red = styles.solid({255, 0, 0, 255});
        RecordWriter w;
        rectEdges(w, 200, 200, 1800, 1800, 0, red);
        rectEdges(w, 600, 600, 1400, 1400, red, 0);
        ShapeFlags flags;
        flags.edgeBounds = kBounds;
        flags.nonZeroWinding = nonZero;
        Canvas c = render(buildShape(83, kBounds, styles, w, flags));
        EXPECT_TRUE(near(c.at(50, 50), kWhite)) << "hole, nonZero=" << nonZero;
        EXPECT_TRUE(near(c.at(20, 50), kRed)) << "ring, nonZero=" << nonZero;
        EXPECT_TRUE(near(c.at(5, 50), kWhite)) << "outside, nonZero=" << nonZero;
    }
}

TEST(FillRender, TwoStylesShareAnEdgeWithoutSeamOrGap)
{
    StyleArrays styles(22);
    uint32_t red = styles.solid({255, 0, 0, 255});
    uint32_t blue = styles.solid({0, 0, 255, 255});
    RecordWriter w;
    // Outline clockwise: red inside on the right of the left half's edges.
    w.moveTo(200, 200).fill0(red).fill1(0).lineTo(1000, 200);
    w.fill0(blue).lineTo(1800, 200).lineTo(1800, 1800).lineTo(1000, 1800);
    w.fill0(red).lineTo(200, 1800).lineTo(200, 200);
    // The shared edge, going down: red on its right (screen left), blue on its left.
    w.moveTo(1000, 200).fill0(red).fill1(blue).lineTo(1000, 1800);
    Canvas c = render(buildShape(22, kBounds, styles, w));
    EXPECT_TRUE(near(c.at(30, 50), kRed));
    EXPECT_TRUE(near(c.at(70, 50), kBlue));
    EXPECT_TRUE(near(c.at(49, 50), kRed));
    EXPECT_TRUE(near(c.at(50, 50), kBlue));
    EXPECT_TRUE(near(c.at(5, 50), kWhite));
}

TEST(FillRender, IslandOfOneStyleInsideAnother)
{
    StyleArrays styles(22);
    uint32_t red = styles.solid({255, 0, 0, 255});
    uint32_t blue = styles.solid({0, 0, 255, 255});
    RecordWriter w;
    rectEdges(w, 200, 200, 1800, 1800, red, 0);
    // Counter-clockwise: its right side is outside (red), its left side inside (blue).
    rectEdgesReversed(w, 600, 600, 1400, 1400, red, blue);
    Canvas c = render(buildShape(22, kBounds, styles, w));
    EXPECT_TRUE(near(c.at(50, 50), kBlue));
    EXPECT_TRUE(near(c.at(20, 20), kRed));
    EXPECT_TRUE(near(c.at(25, 50), kRed));
}

TEST(FillRender, EdgesWrittenOutOfOrderStillCloseIntoOneContour)
{
    StyleArrays styles(22);
    uint32_t red = styles.solid({255, 0, 0, 255});
    RecordWriter w;
    // The four sides of a square, each starting with a move, in a scrambled order.
    w.moveTo(1800, 1800).fill0(red).lineTo(200, 1800);
    w.moveTo(200, 200).lineTo(1800, 200);
    w.moveTo(200, 1800).lineTo(200, 200);
    w.moveTo(1800, 200).lineTo(1800, 1800);
    Canvas c = render(buildShape(22, kBounds, styles, w));
    EXPECT_TRUE(near(c.at(50, 50), kRed));
    EXPECT_TRUE(near(c.at(15, 85), kRed));
    EXPECT_TRUE(near(c.at(85, 15), kRed));
}

TEST(FillRender, OverlapWithinOneStyleFollowsTheShapesFillRule)
{
    // Two overlapping squares of one style, both clockwise: even-odd leaves the overlap
    // empty, DefineShape4's winding rule fills it.
    for (bool nonZero : {false, true}) {
        StyleArrays styles(83);
        uint32_t red = styles.solid({255, 0, 0, 255});
        RecordWriter w;
        rectEdges(w, 200, 200, 1200, 1200, red, 0);
        rectEdges(w, 800, 800, 1800, 1800, red, 0);
        ShapeFlags flags;
        flags.edgeBounds = kBounds;
        flags.nonZeroWinding = nonZero;
        Canvas c = render(buildShape(83, kBounds, styles, w, flags));
        EXPECT_TRUE(near(c.at(20, 20), kRed));
        EXPECT_TRUE(near(c.at(80, 80), kRed));
        EXPECT_TRUE(near(c.at(50, 50), nonZero ? kRed : kWhite)) << nonZero;
    }
}

TEST(FillRender, SameStyleOnBothSidesOfAnEdgeLeavesNoLine)
{
    StyleArrays styles(22);
    uint32_t red = styles.solid({255, 0, 0, 255});
    RecordWriter w;
    rectEdges(w, 200, 200, 1800, 1800, red, 0);
    w.moveTo(1000, 200).fill0(red).fill1(red).lineTo(1000, 1800);
    Canvas c = render(buildShape(22, kBounds, styles, w));
    EXPECT_TRUE(near(c.at(50, 50), kRed));
    EXPECT_TRUE(near(c.at(49, 50), kRed));
}

TEST(FillRender, CurvedEdgesBulgeTowardsTheirControlPoint)
{
    StyleArrays styles(22);
    uint32_t red = styles.solid({255, 0, 0, 255});
    RecordWriter w;
    w.moveTo(200, 1000).fill0(red);
    w.curveTo(1000, -600, 1800, 1000);  // peak of the curve at y = 200
    w.lineTo(200, 1000);
    Canvas c = render(buildShape(22, kBounds, styles, w));
    EXPECT_TRUE(near(c.at(50, 20), kRed));
    EXPECT_TRUE(near(c.at(50, 8), kWhite));
    EXPECT_TRUE(near(c.at(14, 20), kWhite));
    EXPECT_TRUE(near(c.at(50, 60), kWhite));
}

TEST(FillRender, LaterStyleLayersDrawOverEarlierOnes)
{
    StyleArrays first(22);
    uint32_t red = first.solid({255, 0, 0, 255});
    StyleArrays second(22);
    second.solid({0, 0, 255, 255});
    RecordWriter w;
    rectEdges(w, 200, 200, 1800, 1800, red, 0);
    w.newStyles(second);
    rectEdges(w, 600, 600, 1400, 1400, 1, 0);  // overlaps the red square without a hole
    Canvas c = render(buildShape(22, kBounds, first, w));
    EXPECT_TRUE(near(c.at(50, 50), kBlue));
    EXPECT_TRUE(near(c.at(20, 20), kRed));
}

} // namespace
