// Pixels worked out once and kept for shapes that stay put (or move by whole pixels):
// the span fill's coverage runs, and the low-quality fills' and thin level lines'
// pixel runs. Drawing from what was kept must give exactly the pixels of drawing
// afresh, frame after frame, and what is kept must be counted in the shapes' budget.

#include "RenderFixture.h"
#include "engine/render/ShapeCache.h"
#include "engine/render/SpanFill.h"
#include "engine/render/StylePaint.h"
#include "tests/support/ShapeWriter.h"

#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

QImage background(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qPremultiply(qRgba(x * 3, y * 4, 200 - x, 128 + (x + y) % 128)));
    return image;
}

// A self-crossing star (its middle is inside by the winding rule, outside by
// even-odd) round a ring of many short edges, as flattened curves have.
QPainterPath starAndRing(Qt::FillRule rule)
{
    QPainterPath path;
    path.setFillRule(rule);
    QPolygonF star;
    for (int i = 0; i < 5; ++i)
        star << QPointF(20 + 16 * std::cos(4 * M_PI * i / 5 - M_PI / 2), 20 + 16 * std::sin(4 * M_PI * i / 5 - M_PI / 2));
    path.addPolygon(star);
    path.closeSubpath();
    QPolygonF ring;
    for (int i = 0; i < 96; ++i)
        ring << QPointF(20 + 19 * std::cos(2 * M_PI * i / 96), 20 + 19 * std::sin(2 * M_PI * i / 96));
    path.addPolygon(ring);
    path.closeSubpath();
    return path;
}

TEST(KeptRuns, SpanFillFromKeptRunsGivesThePixelsOfSummingAfresh)
{
    struct Step {
        const char* what;
        double dx, dy;
        Qt::FillRule rule;
        size_t placements;  // kept after this fill
        int height = 56;    // the image's
    } steps[] = {
        {"first sight: only fingerprinted", 10.3, 5.7, Qt::WindingFill, 0},
        {"second sight: kept", 10.3, 5.7, Qt::WindingFill, 1},
        {"third: drawn from the kept runs", 10.3, 5.7, Qt::WindingFill, 1},
        {"whole pixels away: the same runs", 13.3, 2.7, Qt::WindingFill, 1},
        {"a fraction away: other points", 10.55, 5.7, Qt::WindingFill, 1},
        {"the same points by the other rule", 10.3, 5.7, Qt::OddEvenFill, 1},
        {"and again by that rule: kept apart", 10.3, 5.7, Qt::OddEvenFill, 2},
        {"cut by the left side", -9.4, 5.7, Qt::WindingFill, 2},
        {"cut by the left side again", -9.4, 5.7, Qt::WindingFill, 3},
        {"cut by the bottom", 10.3, 37.2, Qt::WindingFill, 3},
        {"cut by the bottom again", 10.3, 37.2, Qt::WindingFill, 4},
        {"whole pixels away while cut: cut otherwise", -8.4, 5.7, Qt::WindingFill, 4},
        {"back to the first", 10.3, 5.7, Qt::WindingFill, 4},
        {"the same transform on a shorter image: cut otherwise", 10.3, 37.2, Qt::WindingFill, 4, 48},
        {"and on it again", 10.3, 37.2, Qt::WindingFill, 4, 48},
    };
    SpanRuns runs;
    const uint32_t colours[] = {0xff2060a0u, 0x80402010u};  // opaque, and half transparent
    int step = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const QTransform toDevice = QTransform::fromTranslate(s.dx, s.dy);
        const QPainterPath path = starAndRing(s.rule);
        const uint32_t colour = colours[step++ % 2];
        QImage kept = background(64, s.height), fresh = background(64, s.height);
        {
            QPainter p(&kept);
            p.setRenderHint(QPainter::Antialiasing);
            ASSERT_TRUE(spanFill(p, path, toDevice, colour, &runs));
        }
        {
            QPainter p(&fresh);
            p.setRenderHint(QPainter::Antialiasing);
            ASSERT_TRUE(spanFill(p, path, toDevice, colour));
        }
        EXPECT_TRUE(kept == fresh);
        EXPECT_FALSE(kept == background(64, s.height)) << "something is drawn";
        EXPECT_EQ(runs.placements(), s.placements);
    }
    EXPECT_LE(runs.placements(), SpanRuns::kPlacements);
    EXPECT_GT(runs.bytes(), sizeof(SpanRuns));
}

TEST(KeptRuns, APathMovingOrTurningEveryFrameKeepsNothing)
{
    const QPainterPath path = starAndRing(Qt::WindingFill);
    for (const bool turning : {false, true}) {
        SpanRuns runs;
        for (int frame = 0; frame < 20; ++frame) {
            QImage image = background(64, 56);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            const QTransform toDevice = turning
                ? QTransform().translate(30, 28).rotate(frame * 7.0).translate(-20, -20)
                : QTransform::fromTranslate(5 + frame * 0.37, 6);
            ASSERT_TRUE(spanFill(p, path, toDevice, 0xff000000u, &runs));
        }
        EXPECT_EQ(runs.placements(), 0u) << turning;
        EXPECT_EQ(runs.bytes(), sizeof(SpanRuns)) << turning;
    }
}

// A curved solid shape under a stroke, a thin box, and a thick box stroke: each of
// the kinds of drawing that keep pixels.
std::shared_ptr<const ShapeDef> stillShape()
{
    StyleArrays styles(32);
    const uint32_t fill = styles.solid({200, 40, 40, 255});
    const uint32_t glass = styles.solid({40, 40, 200, 120});
    const uint32_t stroke = styles.line(60, {0, 120, 0, 255});
    const uint32_t thin = styles.line(20, {0, 0, 0, 200});
    RecordWriter w;
    w.moveTo(600, 0).fill0(fill).line(stroke);
    for (int i = 0; i < 6; ++i) {
        const double a = (i + 0.5) * M_PI / 3, b = (i + 1) * M_PI / 3;
        w.curveTo(static_cast<int32_t>(1000 * std::cos(a)), static_cast<int32_t>(1000 * std::sin(a)),
                  static_cast<int32_t>(600 * std::cos(b)), static_cast<int32_t>(600 * std::sin(b)));
    }
    w.moveTo(-900, -900).fill0(glass).line(thin);
    w.lineTo(-300, -900).lineTo(-300, -500).lineTo(-900, -500).lineTo(-900, -900);
    return buildShape(32, {-1100, 1100, -1100, 1100}, styles, w);
}

TEST(KeptRuns, AShapeThatStaysPutDrawsTheSamePixelsEveryFrame)
{
    const auto shape = stillShape();
    for (const Quality quality : {Quality::Low, Quality::High}) {
        Renderer kept;
        const Matrix frames[] = {
            {1, 0, 0, 1, 1500, 1500}, {1, 0, 0, 1, 1500, 1500}, {1, 0, 0, 1, 1500, 1500},
            {1, 0, 0, 1, 1540, 1480},  // two pixels right, one up
            {1, 0, 0, 1, 1540, 1480},   {1, 0, 0, 1, 1547, 1480},  // a third of a pixel on
            {0.5, 0, 0, 0.5, 1500, 1500}, {0.5, 0, 0, 0.5, 1500, 1500}, {0.5, 0, 0, 0.5, 1500, 1500},
            {1, 0, 0, 1, 1500, 1500},
        };
        int frame = 0;
        for (const Matrix& m : frames) {
            SCOPED_TRACE(::testing::Message() << "quality " << static_cast<int>(quality) << ", frame " << frame++);
            RenderNode node = shapeNode(shape);
            node.matrix = m;
            Canvas viaKept(160, 160);
            viaKept.draw(kept, rootOf({node}), kTwipsToPixels, quality);
            Canvas fresh(160, 160);
            fresh.draw(rootOf({node}), kTwipsToPixels, quality);
            EXPECT_TRUE(viaKept.image() == fresh.image());
            EXPECT_FALSE(viaKept.image() == Canvas(160, 160).image()) << "the shape is drawn";
        }
    }
}

TEST(KeptRuns, PixelRectsAreKeptFromTheSecondFrameAtOneTransformAndCounted)
{
    ShapeCache cache;
    CachedShape& cached = cache.shape(stillShape());
    const size_t base = cached.keptBytes();
    int made = 0;
    auto make = [&made](std::vector<QRect>& out) {
        ++made;
        out.assign(40, QRect(1, 2, 3, 1));
        return true;
    };
    const QTransform at = QTransform::fromTranslate(3.25, 7);
    const QSize size(100, 80);
    ASSERT_NE(cached.pixelRects(0, at, size, make), nullptr);
    EXPECT_EQ(cached.keptBytes(), base) << "first sight: not kept";
    const std::vector<QRect>* second = cached.pixelRects(0, at, size, make);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->size(), 40u);
    EXPECT_GT(cached.keptBytes(), base);
    EXPECT_EQ(cache.budget().bytes, cached.keptBytes());
    EXPECT_EQ(cached.pixelRects(0, at, size, make), second);
    EXPECT_EQ(made, 2) << "the third frame uses what was kept";

    // Another device size or transform is another placement: made afresh, while the
    // first stays kept for when the shape is drawn there again.
    EXPECT_NE(cached.pixelRects(0, at, QSize(100, 81), make), nullptr);
    EXPECT_NE(cached.pixelRects(0, QTransform::fromTranslate(3.25, 7.0 + 1e-9), size, make), nullptr);
    EXPECT_EQ(made, 4);
    const std::vector<QRect>* again = cached.pixelRects(0, at, size, make);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size(), 40u);
    EXPECT_EQ(made, 4);
    // More placements than are kept push the least recently drawn out.
    for (size_t k = 0; k < CachedShape::kRectPlacements; ++k)
        cached.pixelRects(0, QTransform::fromTranslate(double(k), 0), size, make);
    made = 0;
    cached.pixelRects(0, at, size, make);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(cached.keptBytes(), base) << "pushed out, and only seen since";
    EXPECT_EQ(cache.budget().bytes, cached.keptBytes());

    // Nothing to keep where nothing could be made; paths past the shape's have none.
    auto fails = [](std::vector<QRect>&) { return false; };
    EXPECT_EQ(cached.pixelRects(1, at, size, fails), nullptr);
    EXPECT_EQ(cached.pixelRects(1, at, size, fails), nullptr);
    EXPECT_EQ(cached.pixelRects(cached.paths.paths.size(), at, size, make), nullptr);

    cached.pixelRects(0, at, size, make);
    cached.pixelRects(0, at, size, make);
    EXPECT_GT(cached.keptBytes(), base);
    cached.dropKept();
    EXPECT_EQ(cached.keptBytes(), 0u);
    EXPECT_EQ(cache.budget().bytes, 0u);
}

TEST(KeptRuns, SpanRunsKeptWithAShapesPathsCountInItsBudget)
{
    ShapeCache cache;
    CachedShape& cached = cache.shape(stillShape());
    const Matrix world{0.05, 0, 0, 0.05, 75.3, 75.6};
    const KeptPaths* flat = cached.flat(world, 0.05);
    ASSERT_NE(flat, nullptr);
    const size_t base = cached.keptBytes();
    ASSERT_EQ(cache.budget().bytes, base);
    for (int frame = 0; frame < 3; ++frame) {
        QImage image = background(160, 160);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const size_t before = cached.keptBytes();
        bool any = false;
        for (size_t i = 0; i < flat->paths.size(); ++i)
            any = flat->spanFill(i, p, toQTransform(world), 0xff804020u) || any;
        cached.recount(before);
        EXPECT_TRUE(any);
    }
    EXPECT_GT(cached.keptBytes(), base) << "runs kept from the second frame";
    EXPECT_EQ(cache.budget().bytes, cached.keptBytes());
    cache.clear();
    EXPECT_EQ(cache.budget().bytes, 0u);
}

} // namespace
