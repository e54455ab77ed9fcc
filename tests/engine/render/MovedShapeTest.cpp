// Shapes that only move between frames are filled from their flattened device paths:
// the picture must be the one drawing from scratch gives, for a gradient fill with a
// hole under a stroke, and after the shape's size changes and changes back.

#include "RenderFixture.h"
#include "engine/render/ShapeCache.h"
#include "tests/support/ShapeWriter.h"

#include <cmath>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

std::shared_ptr<const ShapeDef> curvedShape()
{
    StyleArrays styles(32);
    GradientSpec g;
    g.matrix = {1000 / 32768.0, 0, 0, 1000 / 32768.0, 0, 0};
    g.stops = {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 255}}};
    const uint32_t gradient = styles.radial(g);
    const uint32_t stroke = styles.line(100, {0, 128, 0, 255});  // 5 px at scale 1
    RecordWriter w;
    w.moveTo(600, 0).fill0(gradient).line(stroke);
    for (int i = 0; i < 6; ++i) {
        const double a = (i + 0.5) * M_PI / 3, b = (i + 1) * M_PI / 3;
        w.curveTo(static_cast<int32_t>(1000 * std::cos(a)), static_cast<int32_t>(1000 * std::sin(a)),
                  static_cast<int32_t>(600 * std::cos(b)), static_cast<int32_t>(600 * std::sin(b)));
    }
    w.moveTo(-150, -150).fill0(0).fill1(gradient).line(0);
    w.lineTo(150, -150).lineTo(150, 150).lineTo(-150, 150).lineTo(-150, -150);
    return buildShape(32, {-1100, 1100, -1100, 1100}, styles, w);
}

int differingPixels(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8
                || std::abs(qBlue(p) - qBlue(q)) > 8;
        }
    }
    return n;
}

TEST(MovedShape, DrawingFromKeptDevicePathsMatchesDrawingAfresh)
{
    const auto shape = curvedShape();
    Renderer kept;  // one renderer across frames, as a playing movie has
    struct Frame {
        Matrix matrix;
    } frames[] = {
        {{1, 0, 0, 1, 1500, 1500}},
        {{1, 0, 0, 1, 1530.5, 1490.25}},   // moved: from the kept paths
        {{1, 0, 0, 1, 1700, 1300}},
        {{0.7, 0.3, -0.3, 0.7, 1500, 1500}},  // turned and shrunk: drawn afresh once
        {{0.7, 0.3, -0.3, 0.7, 1400, 1600}},  // then kept again
        {{1, 0, 0, 1, 1650.75, 1400}},    // back to the first size
    };
    for (const Frame& f : frames) {
        SCOPED_TRACE(f.matrix.tx);
        RenderNode node = shapeNode(shape);
        node.matrix = f.matrix;
        Canvas viaKept(160, 160);
        viaKept.draw(kept, rootOf({node}));
        Canvas fresh(160, 160);
        fresh.draw(rootOf({node}));
        EXPECT_LE(differingPixels(viaKept.image(), fresh.image()), 4);
        // The shape is there at all: its stroke's green at the outline's right end.
        EXPECT_GT(qGreen(viaKept.image().pixel(static_cast<int>(f.matrix.tx / 20 + 30 * f.matrix.a), static_cast<int>(f.matrix.ty / 20 + 30 * f.matrix.b))), 60);
    }
}

TEST(MovedShape, DevicePathsAreBuiltOnTheSecondSightingAndKeptForAFewSizes)
{
    ShapeCache cache;
    CachedShape& cached = cache.shape(curvedShape());
    const Matrix a{0.05, 0, 0, 0.05, 10, 10};
    EXPECT_EQ(cached.device(a), nullptr);  // first sight: drawn the usual way
    const KeptPaths* built = cached.device(Matrix{0.05, 0, 0, 0.05, 99, -3});
    ASSERT_NE(built, nullptr);
    ASSERT_EQ(built->paths.size(), cached.paths.paths.size());
    for (const auto& path : built->paths) {
        ASSERT_TRUE(path) << "fills and strokes are both kept";
        for (int i = 0; i < path->elementCount(); ++i)
            EXPECT_NE(path->elementAt(i).type, QPainterPath::CurveToElement);
    }
    // More sizes than it keeps push the oldest out.
    for (int i = 1; i <= static_cast<int>(CachedShape::kDeviceShapes); ++i) {
        const Matrix other{0.05 + i * 0.01, 0, 0, 0.05, 0, 0};
        cached.device(other);
        EXPECT_NE(cached.device(other), nullptr);
    }
    EXPECT_EQ(cached.device(a), nullptr);
    // A matrix gone bad is never kept.
    const Matrix bad{std::nan(""), 0, 0, 1, 0, 0};
    cached.device(bad);
    EXPECT_EQ(cached.device(bad), nullptr);
}

} // namespace

namespace {

TEST(MovedShape, EvenScaleIsFoundOnlyWhereTheMatrixScalesAllWaysAlike)
{
    struct Case {
        const char* what;
        Matrix m;
        double scale;  // 0: not an even scale
    } cases[] = {
        {"identity", {1, 0, 0, 1, 5, 5}, 1},
        {"uniform", {0.05, 0, 0, 0.05, 0, 0}, 0.05},
        {"turned", {0.6, 0.8, -0.8, 0.6, 0, 0}, 1},
        {"mirrored", {-2, 0, 0, 2, 0, 0}, 2},
        {"mirrored and turned", {0.6, 0.8, 0.8, -0.6, 0, 0}, 1},
        {"wider than tall", {2, 0, 0, 1, 0, 0}, 0},
        {"skewed", {1, 0, 0.5, 1, 0, 0}, 0},
        {"equal columns, not square", {1, 0, 0.6, 0.8, 0, 0}, 0},
        {"flattened", {0, 0, 0, 0, 0, 0}, 0},
        {"not finite", {std::nan(""), 0, 0, 1, 0, 0}, 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(evenScale(c.m), c.scale, 1e-12) << c.what;
}

TEST(MovedShape, TurningAndResizingWithinAStepDrawsFromKeptShapeSpacePaths)
{
    const auto shape = curvedShape();
    Renderer kept;
    // Turned a little more and resized a little each frame, as an animated object is:
    // no two frames share a matrix, so only paths kept in shape space can be reused.
    for (int frame = 0; frame < 6; ++frame) {
        SCOPED_TRACE(frame);
        const double angle = 0.2 * frame;
        const double size = 1.0 - 0.02 * frame;
        RenderNode node = shapeNode(shape);
        node.matrix = {size * std::cos(angle), size * std::sin(angle), -size * std::sin(angle), size * std::cos(angle),
                       1600, 1600};
        Canvas viaKept(160, 160);
        viaKept.draw(kept, rootOf({node}));
        Canvas fresh(160, 160);
        fresh.draw(rootOf({node}));
        EXPECT_LE(differingPixels(viaKept.image(), fresh.image()), 4);
        EXPECT_GT(qBlue(viaKept.image().pixel(80 + 20, 80)), 100) << "the fill is drawn";
    }
    ShapeCache cache;
    CachedShape& cached = cache.shape(shape);
    auto at = [](double scale) { return Matrix{scale, 0, 0, scale, 0, 0}; };
    // Built at first sight, so that a shape's first frame looks like the ones after.
    const KeptPaths* first = cached.flat(at(0.05), 0.05);
    const KeptPaths* flat = cached.flat(at(0.049), 0.049);  // the same quarter-octave step
    EXPECT_EQ(first, flat);
    ASSERT_NE(flat, nullptr);
    ASSERT_EQ(flat->paths.size(), cached.paths.paths.size());
    for (size_t i = 0; i < flat->paths.size(); ++i) {
        const bool fill = cached.paths.paths[i].role == PathRole::Fill;
        ASSERT_TRUE(flat->paths[i].has_value()) << "fills and stroke outlines are kept";
        for (int e = 0; e < flat->paths[i]->elementCount(); ++e)
            EXPECT_NE(flat->paths[i]->elementAt(e).type, QPainterPath::CurveToElement) << "flattened";
        // The 5 px stroke scales with the shape: its outline is its width in twips.
        EXPECT_NEAR(flat->strokeWidths[i], fill ? 0.0 : 100.0, 1e-6);
    }
    const KeptPaths* other = cached.flat(at(0.03), 0.03);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, cached.flat(at(0.05), 0.05)) << "another step has its own paths";
    EXPECT_EQ(cached.flat(at(0), 0), nullptr);
    EXPECT_EQ(cached.flat(at(0.05), std::nan("")), nullptr);
}

} // namespace

namespace {

// A curved outline stroked with `line`, no fill.
std::shared_ptr<const ShapeDef> strokedCurve(const LineStyle& line)
{
    StyleArrays styles(83);
    const uint32_t stroke = styles.line2(line);
    RecordWriter w;
    w.moveTo(-800, 0).line(stroke).curveTo(0, -900, 800, 0).curveTo(0, 900, -800, 0);
    return buildShape(83, {-1000, 1000, -1000, 1000}, styles, w);
}

LineStyle lineOf(uint16_t width, bool noHScale = false, bool noVScale = false)
{
    LineStyle line;
    line.width = width;
    line.color = {200, 0, 0, 255};
    line.noHScale = noHScale;
    line.noVScale = noVScale;
    return line;
}

// Frames of one playing object, each drawn with one renderer that keeps paths between
// frames and compared with a drawing from scratch: a kept outline made for another
// frame's width, or moved wrongly, shows as a band of differing pixels.
TEST(MovedShape, KeptStrokesFollowEachFramesWidthRules)
{
    struct Case {
        const char* what;
        LineStyle line;
        std::vector<Matrix> frames;
    } cases[] = {
        {"hairline while the shape grows", lineOf(0),
         {{0.5, 0, 0, 0.5, 1600, 1600}, {0.52, 0, 0, 0.52, 1600, 1600}, {0.55, 0, 0, 0.55, 1610, 1600}, {2, 0, 0, 2, 1600, 1600}}},
        {"thin stroke that becomes a hairline", lineOf(30),
         {{1, 0, 0, 1, 1600, 1600}, {0.9, 0, 0, 0.9, 1600, 1600}, {0.6, 0, 0, 0.6, 1600, 1600}, {0.55, 0, 0, 0.55, 1600, 1600}}},
        {"unscaled stroke while the shape grows", lineOf(100, true, true),
         {{1, 0, 0, 1, 1600, 1600}, {1.05, 0, 0, 1.05, 1600, 1600}, {1.1, 0, 0, 1.1, 1600, 1600}}},
        {"stretched and moved", lineOf(80),
         {{2, 0, 0, 0.5, 1600, 1600}, {2, 0, 0, 0.5, 1650.5, 1590}, {2, 0, 0, 0.5, 1500, 1700.25}}},
        {"skewed and moved", lineOf(80),
         {{1, 0, 0.8, 1, 1600, 1600}, {1, 0, 0.8, 1, 1630, 1610}, {1, 0, 0.8, 1, 1400, 1500.5}}},
        {"only horizontal scaling, stretched", lineOf(80, false, true),
         {{2, 0, 0, 0.5, 1600, 1600}, {2, 0, 0, 0.5, 1620, 1600}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto shape = strokedCurve(c.line);
        Renderer kept;
        for (size_t i = 0; i < c.frames.size(); ++i) {
            SCOPED_TRACE(i);
            RenderNode node = shapeNode(shape);
            node.matrix = c.frames[i];
            Canvas viaKept(160, 160);
            viaKept.draw(kept, rootOf({node}));
            Canvas fresh(160, 160);
            fresh.draw(rootOf({node}));
            EXPECT_LE(differingPixels(viaKept.image(), fresh.image()), 4);
            EXPECT_GT(differingPixels(viaKept.image(), Canvas(160, 160).image()), 40) << "the stroke is drawn";
        }
    }
}

TEST(MovedShape, KeptPathsStayWithinTheirBudget)
{
    ShapeCache cache;
    std::vector<std::shared_ptr<const ShapeDef>> shapes;
    for (int i = 0; i < 6; ++i)
        shapes.push_back(curvedShape());
    const Matrix even{0.05, 0, 0, 0.05, 0, 0};
    size_t one = 0;
    for (const auto& shape : shapes) {
        CachedShape& cached = cache.shape(shape);
        ASSERT_NE(cached.flat(even, 0.05), nullptr);
        one = cached.keptBytes();
        EXPECT_GT(one, 0u);
        cache.endFrame();
    }
    EXPECT_EQ(cache.budget().bytes, 6 * one) << "every kept path is counted";

    // Room for about three: the three drawn longest ago lose theirs.
    cache.setKeptLimit(3 * one + one / 2);
    cache.endFrame();
    EXPECT_LE(cache.budget().bytes, (3 * one + one / 2) / 4 * 3);
    EXPECT_EQ(cache.shape(shapes[0]).keptBytes(), 0u) << "drawn first, dropped first";
    EXPECT_GT(cache.shape(shapes[5]).keptBytes(), 0u) << "drawn last, kept";

    // A dropped shape builds its paths again when drawn, and counts them again.
    const size_t before = cache.budget().bytes;
    EXPECT_NE(cache.shape(shapes[0]).flat(even, 0.05), nullptr);
    EXPECT_EQ(cache.budget().bytes, before + one);

    // Shapes that go away take their count with them.
    cache.clear();
    EXPECT_EQ(cache.budget().bytes, 0u);
}

TEST(MovedShape, KeptDeviceEntriesPushedOutAreUncounted)
{
    ShapeCache cache;
    CachedShape& cached = cache.shape(curvedShape());
    for (int i = 0; i < 3 * static_cast<int>(CachedShape::kDeviceShapes); ++i) {
        const Matrix stretched{0.05 + i * 0.01, 0, 0, 0.04, 0, 0};
        cached.device(stretched);
        ASSERT_NE(cached.device(stretched), nullptr);
        EXPECT_EQ(cache.budget().bytes, cached.keptBytes());
    }
    EXPECT_LE(cached.keptBytes(), CachedShape::kDeviceShapes * cached.keptBytes() / std::min<size_t>(CachedShape::kDeviceShapes, 4) + 1);
}

} // namespace
