// Stroke widths (scaled, non-scaling, the one-pixel minimum) and caps.

#include "RenderFixture.h"
#include "engine/render/StylePaint.h"
#include "tests/support/ShapeWriter.h"

#include <cmath>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

// A horizontal line through the middle of pixel row 50 (y = 1010 twips).
std::shared_ptr<const ShapeDef> horizontalLine(const LineStyle& style, bool lineStyle2)
{
    StyleArrays styles(lineStyle2 ? 83 : 32);
    uint32_t line = lineStyle2 ? styles.line2(style) : styles.line(style.width, style.color);
    RecordWriter w;
    w.moveTo(400, 1010).line(line).lineTo(1600, 1010);
    ShapeFlags flags;
    flags.edgeBounds = {0, 2000, 0, 2000};
    return buildShape(lineStyle2 ? 83 : 32, {0, 2000, 0, 2000}, styles, w, flags);
}

LineStyle black(uint16_t width)
{
    LineStyle s;
    s.width = width;
    s.color = {0, 0, 0, 255};
    return s;
}

TEST(StrokeRender, ThinAndZeroWidthLinesAreAtLeastOnePixel)
{
    for (uint16_t width : {0, 1, 10}) {
        Canvas c(100, 100);
        c.draw(rootOf({shapeNode(horizontalLine(black(width), false))}));
        EXPECT_TRUE(near(c.at(50, 50), kBlack, 8)) << width;
        EXPECT_TRUE(near(c.at(50, 48), kWhite)) << width;
    }
    // Still one pixel when the whole stage is drawn at a tenth of its size.
    Canvas c(100, 100);
    RenderNode node = shapeNode(horizontalLine(black(20), false));
    c.draw(rootOf({node}), scale(1 / 200.0, 1 / 200.0));
    // The line lies across rows 4.55..5.55, so row 5 gets a little over half of it.
    EXPECT_LT(c.at(5, 5).red(), 160);
}

TEST(StrokeRender, PixelHintedLinesCoverWholePixels)
{
    // A one-pixel line at y = 50.3 px: unhinted it straddles rows 49 and 50; hinted it
    // moves onto the centre of row 50 and covers that row alone.
    auto line = [](bool hinted) {
        LineStyle style = black(20);
        style.pixelHinting = hinted;
        StyleArrays styles(83);
        uint32_t id = styles.line2(style);
        RecordWriter w;
        w.moveTo(400, 1006).line(id).lineTo(1600, 1006);
        ShapeFlags flags;
        flags.edgeBounds = {0, 2000, 0, 2000};
        return buildShape(83, {0, 2000, 0, 2000}, styles, w, flags);
    };
    Canvas hinted(100, 100);
    hinted.draw(rootOf({shapeNode(line(true))}));
    EXPECT_TRUE(near(hinted.at(50, 50), kBlack, 2));
    EXPECT_TRUE(near(hinted.at(50, 49), kWhite, 2));
    EXPECT_TRUE(near(hinted.at(50, 51), kWhite, 2));
    Canvas plain(100, 100);
    plain.draw(rootOf({shapeNode(line(false))}));
    EXPECT_GT(plain.at(50, 50).red(), 20) << "an unhinted line shares its ink between two rows";
    EXPECT_LT(plain.at(50, 49).red(), 250);
}

TEST(StrokeRender, WidthScalesWithTheMatrixUnlessTheStyleSaysNot)
{
    // 200 twips = 10 px around row 50.5: rows 46..55 are covered, 57 is not.
    Canvas plain(100, 100);
    plain.draw(rootOf({shapeNode(horizontalLine(black(200), false))}));
    EXPECT_TRUE(near(plain.at(50, 47), kBlack));
    EXPECT_TRUE(near(plain.at(50, 57), kWhite));

    // The same line scaled by 2 about the canvas centre is 20 px wide.
    const Matrix atCentre{2, 0, 0, 2, -1000, -1010};
    RenderNode scaled = shapeNode(horizontalLine(black(200), false));
    scaled.matrix = atCentre;
    Canvas wide(100, 100);
    wide.draw(rootOf({scaled}));
    EXPECT_TRUE(near(wide.at(50, 42), kBlack));

    LineStyle fixed = black(200);
    fixed.noHScale = true;
    fixed.noVScale = true;
    RenderNode unscaled = shapeNode(horizontalLine(fixed, true));
    unscaled.matrix = atCentre;
    Canvas narrow(100, 100);
    narrow.draw(rootOf({unscaled}));
    EXPECT_TRUE(near(narrow.at(50, 47), kBlack));
    EXPECT_TRUE(near(narrow.at(50, 42), kWhite));
}

TEST(StrokeRender, RoundCapsByDefaultAndNoneWhenAsked)
{
    // The line ends at x = 20 px; a 10 px cap reaches 5 px past it.
    Canvas round(100, 100);
    round.draw(rootOf({shapeNode(horizontalLine(black(200), false))}));
    EXPECT_TRUE(near(round.at(17, 50), kBlack, 8));

    LineStyle flat = black(200);
    flat.startCap = CapStyle::None;
    flat.endCap = CapStyle::None;
    Canvas none(100, 100);
    none.draw(rootOf({shapeNode(horizontalLine(flat, true))}));
    EXPECT_TRUE(near(none.at(17, 50), kWhite));
    EXPECT_TRUE(near(none.at(22, 50), kBlack));
}

TEST(StrokeRender, StrokeColourTakesTheColourTransform)
{
    LineStyle s = black(200);
    RenderNode node = shapeNode(horizontalLine(s, false));
    node.colorTransform.bAdd = 255;
    Canvas c(100, 100);
    c.draw(rootOf({node}));
    EXPECT_TRUE(near(c.at(50, 50), QColor(0, 0, 255)));
}

// Line styles by scale mode: both axes, only vertical scaling (no horizontal), only
// horizontal scaling (no vertical), neither.
enum class ScaleMode { Normal, VerticalOnly, HorizontalOnly, None };

LineStyle scaled(uint16_t width, ScaleMode mode)
{
    LineStyle s = black(width);
    s.noHScale = mode == ScaleMode::VerticalOnly || mode == ScaleMode::None;
    s.noVScale = mode == ScaleMode::HorizontalOnly || mode == ScaleMode::None;
    return s;
}

struct WidthCase {
    const char* what;
    Matrix matrix;  // the shape's matrix, in pixels per pixel (the stage is 1/20 on top)
    ScaleMode mode;
    uint16_t width;   // twips
    double expected;  // device pixels
};

const WidthCase kWidthCases[] = {
    {"unscaled", {1, 0, 0, 1, 0, 0}, ScaleMode::Normal, 200, 10},
    {"uniform x2", {2, 0, 0, 2, 0, 0}, ScaleMode::Normal, 200, 20},
    {"x3 wide", {3, 0, 0, 1, 0, 0}, ScaleMode::Normal, 200, 10 * std::sqrt(3.0)},
    {"x3 tall", {1, 0, 0, 3, 0, 0}, ScaleMode::Normal, 200, 10 * std::sqrt(3.0)},
    {"x2 wide, half tall", {2, 0, 0, 0.5, 0, 0}, ScaleMode::Normal, 200, 10},
    {"skewed along x", {1, 0, 1, 1, 0, 0}, ScaleMode::Normal, 200, 10},
    {"skewed along y", {1, 1, 0, 1, 0, 0}, ScaleMode::Normal, 200, 10},
    {"skewed and x2", {2, 0, 2, 2, 0, 0}, ScaleMode::Normal, 200, 20},
    {"rotated 30 degrees", {0.8660254, 0.5, -0.5, 0.8660254, 0, 0}, ScaleMode::Normal, 200, 10},
    {"mirrored", {-1, 0, 0, 1, 0, 0}, ScaleMode::Normal, 200, 10},
    {"vertical only, x3 wide", {3, 0, 0, 1, 0, 0}, ScaleMode::VerticalOnly, 200, 10},
    {"vertical only, x3 tall", {1, 0, 0, 3, 0, 0}, ScaleMode::VerticalOnly, 200, 30},
    {"vertical only, skewed", {1, 0, 1, 1, 0, 0}, ScaleMode::VerticalOnly, 200, 10},
    {"horizontal only, x3 wide", {3, 0, 0, 1, 0, 0}, ScaleMode::HorizontalOnly, 200, 30},
    {"horizontal only, x3 tall", {1, 0, 0, 3, 0, 0}, ScaleMode::HorizontalOnly, 200, 10},
    {"horizontal only, skewed", {1, 0, 1, 1, 0, 0}, ScaleMode::HorizontalOnly, 200, 10},
    {"x2 wide, x3 tall", {2, 0, 0, 3, 0, 0}, ScaleMode::Normal, 200, 10 * std::sqrt(6.0)},
    {"vertical only, x2 wide, x3 tall", {2, 0, 0, 3, 0, 0}, ScaleMode::VerticalOnly, 200, 30},
    {"horizontal only, x2 wide, x3 tall", {2, 0, 0, 3, 0, 0}, ScaleMode::HorizontalOnly, 200, 20},
    {"none, x2 wide, x3 tall", {2, 0, 0, 3, 0, 0}, ScaleMode::None, 200, 10},
    // The shape's own axes count, not the screen's: turned a quarter, its x axis
    // (stretched 2) runs down the screen.
    {"horizontal only, x2 wide, x3 tall, turned", {0, 2, -3, 0, 0, 0}, ScaleMode::HorizontalOnly, 200, 20},
    {"vertical only, x2 wide, x3 tall, turned", {0, 2, -3, 0, 0, 0}, ScaleMode::VerticalOnly, 200, 30},
    {"none, x3", {3, 0, 0, 3, 0, 0}, ScaleMode::None, 200, 10},
    {"none, skewed", {1, 0, 2, 1, 0, 0}, ScaleMode::None, 200, 10},
    {"hairline", {1, 0, 0, 1, 0, 0}, ScaleMode::Normal, 0, 1},
    {"hairline scaled up", {5, 0, 0, 5, 0, 0}, ScaleMode::Normal, 0, 1},
    {"scaled below a pixel", {0.05, 0, 0, 0.05, 0, 0}, ScaleMode::Normal, 200, 1},
    {"flattened to nothing", {1, 0, 0, 0, 0, 0}, ScaleMode::Normal, 200, 1},
};

TEST(StrokeRender, WidthFollowsTheMatrixByScaleMode)
{
    for (const WidthCase& c : kWidthCases) {
        const Matrix toDevice = kTwipsToPixels * c.matrix;
        EXPECT_NEAR(strokeWidth(scaled(c.width, c.mode), toDevice), c.expected, 1e-6) << c.what;
    }
}

// The ink of one pixel column: how many pixels' worth of black it holds.
double inkInColumn(const Canvas& canvas, int x)
{
    double ink = 0;
    for (int y = 0; y < canvas.image().height(); ++y)
        ink += (255 - canvas.at(x, y).red()) / 255.0;
    return ink;
}

TEST(StrokeRender, DrawnWidthUnderScaleAndSkew)
{
    // A horizontal line stays horizontal under these matrices (they keep y), so the ink
    // in a column across it is the stroke's width in pixels.
    for (const WidthCase& c : kWidthCases) {
        if (c.matrix.b != 0 || c.matrix.d == 0 || c.matrix.a <= 0 || c.expected > 40)
            continue;
        // About the middle of the line (1000, 1010 twips) so it stays on the canvas.
        Matrix placed = c.matrix;
        placed.tx = 1000 - (c.matrix.a * 1000 + c.matrix.c * 1010);
        placed.ty = 1010 - c.matrix.d * 1010;
        RenderNode node = shapeNode(horizontalLine(scaled(c.width, c.mode), true));
        node.matrix = placed;
        Canvas canvas(100, 100);
        canvas.draw(rootOf({node}));
        EXPECT_NEAR(inkInColumn(canvas, 50), c.expected, 0.15) << c.what;
    }
}

} // namespace
