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
    const DeviceShape* built = cached.device(Matrix{0.05, 0, 0, 0.05, 99, -3});
    ASSERT_NE(built, nullptr);
    ASSERT_EQ(built->paths.size(), cached.paths.paths.size());
    for (const auto& path : built->paths) {
        if (!path)
            continue;  // the stroke, left to the painter
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
    EXPECT_EQ(cached.flat(0.05), nullptr);  // first sight: drawn the usual way
    const FlatShape* flat = cached.flat(0.049);  // the same quarter-octave step
    ASSERT_NE(flat, nullptr);
    ASSERT_EQ(flat->paths.size(), cached.paths.paths.size());
    for (size_t i = 0; i < flat->paths.size(); ++i) {
        const bool fill = cached.paths.paths[i].role == PathRole::Fill;
        EXPECT_EQ(flat->paths[i].has_value(), fill) << "fills are kept, strokes are not";
        if (fill) {
            for (int e = 0; e < flat->paths[i]->elementCount(); ++e)
                EXPECT_NE(flat->paths[i]->elementAt(e).type, QPainterPath::CurveToElement) << "flattened";
        }
    }
    EXPECT_EQ(cached.flat(0.03), nullptr) << "another step is built on its own second sighting";
    EXPECT_EQ(cached.flat(0), nullptr);
    EXPECT_EQ(cached.flat(std::nan("")), nullptr);
}

} // namespace
