// Script drawings (MovieClip.moveTo, lineTo, beginFill ...): the commands as a shape,
// fills closed the way the player closes them, bounds, the command cap, gradient boxes,
// and how the renderer shows a drawing beneath a clip's children.

#include "RenderFixture.h"
#include "engine/format/Bitmap.h"
#include "engine/format/Drawing.h"
#include "engine/render/ShapePaths.h"

#include <cmath>
#include <numbers>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

constexpr double kPx = 20;  // twips per pixel

FillStyle solid(Rgba color)
{
    FillStyle fill;
    fill.color = color;
    return fill;
}

LineStyle line(double pixels, Rgba color)
{
    LineStyle style;
    style.width = static_cast<uint16_t>(pixels * kPx);
    style.color = color;
    return style;
}

// A filled rectangle in pixels, left open for the drawing to close.
void openRect(Drawing& d, double x0, double y0, double x1, double y1)
{
    d.moveTo({x0 * kPx, y0 * kPx});
    d.lineTo({x1 * kPx, y0 * kPx});
    d.lineTo({x1 * kPx, y1 * kPx});
    d.lineTo({x0 * kPx, y1 * kPx});
}

size_t countPaths(const ShapePaths& paths, PathRole role)
{
    return static_cast<size_t>(
        std::count_if(paths.paths.begin(), paths.paths.end(), [role](const StylePath& p) { return p.role == role; }));
}

TEST(Drawing, OpenFillsCloseBackToTheirStartWithAStroke)
{
    Drawing d;
    d.setLineStyle(line(2, {0, 0, 0, 255}));
    d.beginFill(solid({255, 0, 0, 255}));
    d.moveTo({0, 0});
    d.lineTo({100 * kPx, 0});
    d.lineTo({100 * kPx, 100 * kPx});
    d.endFill();
    EXPECT_EQ(d.pen(), (Point{0, 0})) << "the closing edge leaves the pen at the outline's start";

    const ShapePaths paths = buildShapePaths(*d.shape());
    ASSERT_EQ(countPaths(paths, PathRole::Fill), 1u);
    ASSERT_EQ(countPaths(paths, PathRole::Stroke), 1u);
    const QPainterPath& fill = paths.paths[0].path;
    EXPECT_TRUE(fill.contains(QPointF(80 * kPx, 20 * kPx)));
    EXPECT_FALSE(fill.contains(QPointF(20 * kPx, 80 * kPx)));
    // Three stroked edges: the two lineTos and the closing diagonal.
    const QPainterPath& stroke = paths.paths[1].path;
    EXPECT_EQ(stroke.elementCount(), 4);

    // A moveTo inside a fill closes the outline so far and starts another one; both
    // are filled.
    Drawing two;
    two.beginFill(solid({255, 0, 0, 255}));
    openRect(two, 0, 0, 10, 10);
    openRect(two, 20, 0, 30, 10);
    const QPainterPath area = filledArea(buildShapePaths(*two.shape()));
    EXPECT_TRUE(area.contains(QPointF(5 * kPx, 5 * kPx)));
    EXPECT_TRUE(area.contains(QPointF(25 * kPx, 5 * kPx)));
    EXPECT_FALSE(area.contains(QPointF(15 * kPx, 5 * kPx)));

    // A beginFill while a fill is open closes it too, but the next fill starts at the
    // pen: here it only goes up and down one side, so it covers nothing.
    Drawing three;
    three.beginFill(solid({255, 0, 0, 255}));
    three.moveTo({0, 0});
    three.lineTo({0, 100 * kPx});
    three.lineTo({100 * kPx, 100 * kPx});
    three.beginFill(solid({0, 0, 255, 255}));
    EXPECT_EQ(three.pen(), (Point{100 * kPx, 100 * kPx}));
    three.lineTo({100 * kPx, 0});
    three.lineTo({100 * kPx, 100 * kPx});
    three.endFill();
    const QPainterPath both = filledArea(buildShapePaths(*three.shape()));
    EXPECT_TRUE(both.contains(QPointF(20 * kPx, 80 * kPx)));
    EXPECT_FALSE(both.contains(QPointF(80 * kPx, 20 * kPx)));
}

TEST(Drawing, LineStylesChangeAndEndWhileClearForgetsEverything)
{
    Drawing d;
    d.setLineStyle(line(1, {255, 0, 0, 255}));
    d.lineTo({10 * kPx, 0});
    d.setLineStyle(line(1, {0, 255, 0, 255}));
    d.lineTo({20 * kPx, 0});
    d.setLineStyle(std::nullopt);
    d.lineTo({30 * kPx, 0});  // no style: the pen only moves
    d.setLineStyle(line(0, {0, 0, 255, 255}));  // a hairline
    d.lineTo({30 * kPx, 10 * kPx});

    std::shared_ptr<const ShapeDef> shape = d.shape();
    ASSERT_EQ(shape->lineStyles.size(), 3u);
    EXPECT_EQ(shape->lineStyles[2].width, 0);
    const ShapePaths paths = buildShapePaths(*shape);
    ASSERT_EQ(countPaths(paths, PathRole::Stroke), 3u);
    EXPECT_EQ(paths.paths[0].path.boundingRect(), QRectF(0, 0, 10 * kPx, 0));
    EXPECT_EQ(paths.paths[1].path.boundingRect(), QRectF(10 * kPx, 0, 10 * kPx, 0));
    EXPECT_EQ(paths.paths[2].path.boundingRect(), QRectF(30 * kPx, 0, 0, 10 * kPx));

    EXPECT_EQ(d.shape(), shape) << "unchanged drawings keep their shape object";
    d.clear();
    EXPECT_TRUE(d.empty());
    EXPECT_EQ(d.pen(), (Point{0, 0}));
    EXPECT_EQ(d.bounds(), Rect{});
    d.lineTo({5 * kPx, 5 * kPx});
    EXPECT_TRUE(d.empty()) << "clear also drops the line style";
}

TEST(Drawing, EachFillIsDrawnAboveTheFillsAndStrokesBeforeIt)
{
    Drawing d;
    d.setLineStyle(line(6, {0, 0, 0, 255}));
    d.beginFill(solid({255, 0, 0, 255}));
    openRect(d, 10, 10, 50, 50);
    // The next beginFill closes the red square; the blue one covers its right edge.
    d.beginFill(solid({0, 0, 255, 255}));
    openRect(d, 40, 20, 80, 40);
    d.endFill();
    RenderNode root;
    root.drawing = d.shape();
    Canvas canvas(100, 60);
    canvas.draw(root);
    EXPECT_TRUE(near(canvas.at(25, 30), QColor(255, 0, 0)));
    EXPECT_TRUE(near(canvas.at(50, 30), QColor(0, 0, 255))) << "red square's stroke lies beneath the blue fill";
    EXPECT_TRUE(near(canvas.at(50, 15), QColor(0, 0, 0)));
    EXPECT_TRUE(near(canvas.at(80, 30), QColor(0, 0, 0))) << "the second fill's outline is stroked too";
}

TEST(Drawing, BoundsTakeCurvesControlPointsAndTheWholeLineWidth)
{
    // As the reference player's getBounds reports drawn edges.
    Drawing d;
    d.beginFill(solid({255, 0, 0, 255}));
    d.moveTo({0, 0});
    // Its turning point is at y = 50 px, short of the control point at 100: the
    // control point counts.
    d.curveTo({50 * kPx, 100 * kPx}, {100 * kPx, 0});
    d.endFill();
    EXPECT_EQ(d.bounds(), (Rect{0, 2000, 0, 2000}));

    d.setLineStyle(line(10, {0, 0, 0, 255}));
    d.moveTo({0, -100 * kPx});
    d.lineTo({0, -50 * kPx});
    EXPECT_EQ(d.bounds(), (Rect{-200, 2000, -2200, 2000}));
    EXPECT_EQ(d.shape()->bounds, d.bounds());
}

TEST(Drawing, HostileCommandsAreCappedAndBadPointsIgnored)
{
    Drawing d;
    d.setLineStyle(line(1, {0, 0, 0, 255}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    d.lineTo({nan, 10});
    d.lineTo({10, inf});
    d.curveTo({nan, 0}, {10, 10});
    EXPECT_TRUE(d.empty());
    EXPECT_EQ(d.pen(), (Point{0, 0}));

    for (size_t i = 0; i < Drawing::kMaxCommands + 1000; ++i)
        d.lineTo({double(i % 200), double(i % 7)});
    EXPECT_EQ(d.commandCount(), Drawing::kMaxCommands);
    const size_t records = d.shape()->records.size();
    d.beginFill(solid({255, 0, 0, 255}));
    d.lineTo({5000, 5000});
    EXPECT_EQ(d.shape()->records.size(), records) << "commands past the cap change nothing";

    d.clear();
    d.setLineStyle(line(1, {0, 0, 0, 255}));
    d.lineTo({20, 20});
    EXPECT_FALSE(d.empty()) << "clear starts the count again";
}

TEST(Drawing, GradientBoxScalesRotatesAndCentresTheGradientSquare)
{
    // A 200 x 100 px box at (100, 50), turned a quarter: the square's right edge ends
    // up below the box's centre, its bottom edge to the left of it.
    const Matrix m = gradientBoxMatrix(100, 50, 200, 100, std::numbers::pi / 2);
    const Point centre = m.apply({0, 0});
    EXPECT_NEAR(centre.x, 200 * kPx, 1e-6);
    EXPECT_NEAR(centre.y, 100 * kPx, 1e-6);
    const Point right = m.apply({16384, 0});
    EXPECT_NEAR(right.x, 200 * kPx, 1e-6);
    EXPECT_NEAR(right.y, (100 + 100) * kPx, 1e-6);
    const Point bottom = m.apply({0, 16384});
    EXPECT_NEAR(bottom.x, (200 - 50) * kPx, 1e-6);
    EXPECT_NEAR(bottom.y, 100 * kPx, 1e-6);

    const Matrix unturned = gradientBoxMatrix(0, 0, 100, 40, 0);
    const Point corner = unturned.apply({-16384, -16384});
    EXPECT_NEAR(corner.x, 0, 1e-6);
    EXPECT_NEAR(corner.y, 0, 1e-6);
}

// A script bitmap whose picture the test swaps.
class SwappableBitmap final : public LiveBitmap {
public:
    std::shared_ptr<const BitmapData> picture;
    std::shared_ptr<const BitmapData> current() const override { return picture; }
};

std::shared_ptr<const BitmapData> pictureOf(uint32_t argb)
{
    return std::make_shared<const BitmapData>(BitmapData{1, 1, {argb}});
}

TEST(Drawing, AShapeShowingAScriptBitmapIsANewObjectOnlyWhenThePictureChanges)
{
    auto bitmap = std::make_shared<SwappableBitmap>();
    bitmap->picture = pictureOf(0xFFFF0000u);
    Drawing d;
    FillStyle fill;
    fill.kind = FillKind::Bitmap;
    fill.scriptBitmap = bitmap;
    fill.bitmapMatrix = {kPx, 0, 0, kPx, 0, 0};  // one bitmap pixel a stage pixel, repeated
    d.beginFill(fill);
    openRect(d, 0, 0, 10, 10);
    d.endFill();
    const auto first = d.shape();
    EXPECT_EQ(d.shape(), first) << "nothing changed";
    bitmap->picture = pictureOf(0xFF00FF00u);
    const auto second = d.shape();
    EXPECT_NE(second, first) << "other pixels: another shape, so caches and frame comparisons see the change";
    EXPECT_EQ(second->fillStyles, first->fillStyles) << "the same fill, still pointing at the live bitmap";
    EXPECT_EQ(d.shape(), second);
    bitmap->picture = nullptr;  // disposed
    EXPECT_NE(d.shape(), second);

    // The renderer paints the picture the bitmap has when it paints.
    bitmap->picture = pictureOf(0xFF0000FFu);
    RenderNode clip;
    clip.depth = 1;
    clip.drawing = d.shape();
    Canvas canvas(20, 20);
    canvas.draw(rootOf({clip}));
    EXPECT_TRUE(near(canvas.at(5, 5), QColor(0, 0, 255)));
    EXPECT_TRUE(near(canvas.at(15, 15), QColor(255, 255, 255)));
}

TEST(DrawingRender, DrawingShowsUnderTheClipsTransformBeneathItsChildren)
{
    Drawing d;
    d.beginFill(solid({255, 0, 0, 255}));
    openRect(d, 0, 0, 20, 20);
    d.endFill();

    RenderNode child;
    child.depth = 1;
    Drawing childDrawing;
    childDrawing.beginFill(solid({0, 0, 255, 255}));
    openRect(childDrawing, 0, 0, 10, 10);
    child.drawing = childDrawing.shape();

    RenderNode clip;
    clip.depth = 1;
    clip.matrix = {2, 0, 0, 2, 10 * kPx, 10 * kPx};  // doubled, at (10, 10)
    clip.colorTransform.gMul = 0;
    clip.colorTransform.gAdd = 255;  // red turns yellow, blue cyan
    clip.drawing = d.shape();
    clip.children.push_back(child);

    Renderer renderer;
    Canvas canvas(80, 80);
    canvas.draw(renderer, rootOf({clip}));
    EXPECT_TRUE(near(canvas.at(5, 5), QColor(255, 255, 255)));
    EXPECT_TRUE(near(canvas.at(20, 20), QColor(0, 255, 255))) << "the child covers the drawing";
    EXPECT_TRUE(near(canvas.at(40, 40), QColor(255, 255, 0)));
    EXPECT_TRUE(near(canvas.at(52, 52), QColor(255, 255, 255)));

    // Drawing more gives a new shape; the same renderer shows it, not its cached paths.
    d.beginFill(solid({0, 0, 0, 255}));
    openRect(d, 20, 20, 30, 30);
    clip.drawing = d.shape();
    Canvas again(80, 80);
    again.draw(renderer, rootOf({clip}));
    EXPECT_TRUE(near(again.at(40, 40), QColor(255, 255, 0)));
    EXPECT_TRUE(near(again.at(60, 60), QColor(0, 255, 0)));
}

TEST(DrawingRender, DrawingsMaskWhatTheirClipMasks)
{
    Drawing maskDrawing;
    maskDrawing.beginFill(solid({0, 0, 0, 255}));
    openRect(maskDrawing, 0, 0, 30, 30);
    RenderNode mask;
    mask.depth = 1;
    mask.clipDepth = 2;
    mask.drawing = maskDrawing.shape();

    Drawing content;
    content.beginFill(solid({0, 128, 0, 255}));
    openRect(content, 0, 0, 60, 60);
    RenderNode masked;
    masked.depth = 2;
    masked.drawing = content.shape();

    Canvas canvas(60, 60);
    canvas.draw(rootOf({mask, masked}));
    EXPECT_TRUE(near(canvas.at(15, 15), QColor(0, 128, 0)));
    EXPECT_TRUE(near(canvas.at(45, 45), QColor(255, 255, 255)));
}

} // namespace
