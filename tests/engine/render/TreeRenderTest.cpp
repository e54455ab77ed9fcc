// The render tree walk: nested matrices and colour transforms, visibility, masks by
// clip depth, quality, and bitmap fills through a bitmap source.

#include "RenderFixture.h"
#include "tests/support/ShapeWriter.h"

#include <QSemaphore>
#include <QThreadPool>

#include <set>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

const QColor kWhite(255, 255, 255);

std::shared_ptr<const ShapeDef> box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgba color)
{
    StyleArrays styles(32);
    uint32_t fill = styles.solid(color);
    RecordWriter w;
    w.fill0(fill).rect(x0, y0, x1, y1);
    return buildShape(32, {x0, x1, y0, y1}, styles, w);
}

RenderNode sprite(uint16_t depth, std::vector<RenderNode> children)
{
    RenderNode node;
    node.depth = depth;
    node.children = std::move(children);
    return node;
}

TEST(TreeRender, ChildMatrixAppliesBeforeParentMatrix)
{
    RenderNode child = shapeNode(box(0, 0, 800, 800, {255, 0, 0, 255}));
    child.matrix = scale(0.5, 0.5);
    RenderNode parent = sprite(1, {child});
    parent.matrix = translate(1000, 0);
    Canvas c(100, 100);
    c.draw(rootOf({parent}));
    // Scaled to 0..400 twips, then moved to 1000..1400: pixels 50..70.
    EXPECT_TRUE(near(c.at(60, 10), QColor(255, 0, 0)));
    EXPECT_TRUE(near(c.at(45, 10), kWhite));
    EXPECT_TRUE(near(c.at(72, 10), kWhite));
}

TEST(TreeRender, ColourTransformsMultiplyAlphaAndComposeChildFirst)
{
    RenderNode child = shapeNode(box(0, 0, 2000, 1000, {100, 0, 0, 255}));
    child.colorTransform.rMul = 2;
    RenderNode parent = sprite(1, {child});
    parent.colorTransform.rAdd = -50;
    RenderNode faded = shapeNode(box(0, 1000, 2000, 2000, {255, 0, 0, 255}), 2);
    faded.colorTransform.aMul = 0.5;
    Canvas c(100, 100);
    c.draw(rootOf({parent, faded}));
    EXPECT_TRUE(near(c.at(50, 20), QColor(150, 0, 0)));  // (100 * 2) - 50
    EXPECT_TRUE(near(c.at(50, 70), QColor(255, 128, 128), 4));
}

// Frames are drawn on a thread of Qt's global pool. A caller already on one (here a pool
// of one thread, which a second task would wait on for ever) draws in place, and gets
// the same picture as a caller elsewhere.
TEST(TreeRender, DrawsTheSameFromInsideAndOutsideQtsThreadPool)
{
    RenderNode faded = shapeNode(box(0, 0, 1200, 1000, {0, 0, 255, 255}), 2);
    faded.colorTransform.aMul = 0.5;
    const RenderNode root = rootOf({shapeNode(box(400, 400, 2000, 2000, {255, 0, 0, 255})), faded});
    Canvas outside(100, 100);
    outside.draw(root);
    EXPECT_TRUE(near(outside.at(50, 50), QColor(255, 0, 0)));
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    Canvas inside(100, 100);
    QSemaphore done;
    pool->start([&] {
        inside.draw(root);
        done.release();
    });
    done.acquire();
    pool->setMaxThreadCount(threads);
    EXPECT_EQ(inside.image(), outside.image());
}

TEST(TreeRender, InvisibleNodesAndTheirChildrenAreSkipped)
{
    RenderNode hidden = sprite(1, {shapeNode(box(0, 0, 2000, 2000, {255, 0, 0, 255}))});
    hidden.visible = false;
    Canvas c(100, 100);
    c.draw(rootOf({hidden}));
    EXPECT_TRUE(near(c.at(50, 50), kWhite));
}

TEST(TreeRender, MaskClipsSiblingsUpToItsClipDepthAndIsNotDrawn)
{
    RenderNode mask = shapeNode(box(0, 0, 1000, 2000, {0, 255, 0, 255}), 1);
    mask.clipDepth = 3;
    RenderNode under = shapeNode(box(0, 0, 2000, 1000, {255, 0, 0, 255}), 2);
    RenderNode alsoUnder = shapeNode(box(0, 1000, 2000, 2000, {0, 0, 255, 255}), 3);
    RenderNode above = shapeNode(box(1500, 1500, 2000, 2000, {0, 0, 0, 255}), 4);
    Canvas c(100, 100);
    c.draw(rootOf({mask, under, alsoUnder, above}));
    EXPECT_TRUE(near(c.at(20, 20), QColor(255, 0, 0)));
    EXPECT_TRUE(near(c.at(80, 20), kWhite));  // red clipped away
    EXPECT_TRUE(near(c.at(20, 70), QColor(0, 0, 255)));
    EXPECT_TRUE(near(c.at(60, 70), kWhite));
    EXPECT_TRUE(near(c.at(90, 90), QColor(0, 0, 0)));  // depth 4 is past the mask
}

// Masked objects are drawn into a layer the mask then cuts. Inside the mask every
// case must look as the same objects do unmasked; outside it, nothing of them shows.
// The cases are what a layer could get wrong: objects overlapping in it, a glow
// reaching past its object's bounds, a scroll window showing shifted content, and a
// blend mode that must still meet the stage below.
TEST(TreeRender, MaskedObjectsLookAsUnmaskedInsideTheMask)
{
    const std::shared_ptr<const std::vector<Filter>> glow = [] {
        Filter f;
        f.kind = FilterKind::Glow;
        f.color = {255, 0, 0, 255};
        f.blurX = f.blurY = 5;
        return std::make_shared<const std::vector<Filter>>(std::vector<Filter>{f});
    }();
    auto translucent = [](RenderNode node) {
        node.colorTransform.aMul = 0.5;
        return node;
    };
    struct Case {
        const char* name;
        std::vector<RenderNode> masked;
    };
    std::vector<Case> cases;
    cases.push_back({"overlapping translucent shapes",
                     {translucent(shapeNode(box(0, 0, 1200, 1200, {255, 0, 0, 255}), 2)),
                      translucent(shapeNode(box(600, 600, 2000, 2000, {0, 0, 255, 255}), 3))}});
    {
        RenderNode glowing = sprite(2, {shapeNode(box(600, 600, 1000, 1000, {0, 0, 255, 255}))});
        glowing.filters = glow;
        cases.push_back({"a glow past its bounds", {glowing}});
    }
    {
        RenderNode scrolled = sprite(2, {shapeNode(box(1000, 1000, 1600, 1600, {0, 160, 0, 255}))});
        scrolled.scrollRect = Rect{600, 1600, 600, 1600};
        scrolled.matrix = translate(200, 200);
        cases.push_back({"a scroll window", {scrolled}});
    }
    {
        RenderNode multiplied = sprite(2, {shapeNode(box(0, 0, 2000, 2000, {255, 255, 0, 255}))});
        multiplied.blendMode = BlendMode::Multiply;
        cases.push_back({"a blend mode", {shapeNode(box(0, 1000, 2000, 2000, {0, 0, 255, 255}), 1), multiplied}});
    }
    // The mask: a triangle over the top left, so its edge crosses every case.
    StyleArrays styles(32);
    const uint32_t fill = styles.solid({0, 0, 0, 255});
    RecordWriter w;
    w.moveTo(0, 0).fill0(fill).lineTo(2000, 0).lineTo(0, 2000).lineTo(0, 0);
    RenderNode mask = shapeNode(buildShape(32, {0, 2000, 0, 2000}, styles, w), 1);
    mask.clipDepth = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RenderNode> withMask{mask};
        for (RenderNode node : c.masked) {
            node.depth = static_cast<uint16_t>(node.depth + 1);
            withMask.push_back(node);
        }
        Canvas masked(100, 100, QColor(90, 140, 200));
        masked.draw(rootOf(withMask));
        Canvas plain(100, 100, QColor(90, 140, 200));
        plain.draw(rootOf(c.masked));
        int inside = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                // Well inside or well outside the triangle's edge x + y = 100.
                if (x + y < 97) {
                    ++inside;
                    ASSERT_TRUE(near(masked.at(x, y), plain.at(x, y), 1)) << x << "," << y;
                } else if (x + y > 103) {
                    ASSERT_TRUE(near(masked.at(x, y), QColor(90, 140, 200), 0)) << x << "," << y;
                }
            }
        }
        EXPECT_GT(inside, 4000);
    }
}

TEST(TreeRender, NestedMasksIntersectAndSpriteMasksUseTheirChildren)
{
    // Outer mask: a sprite whose child covers the left half, moved by the sprite's matrix.
    RenderNode outer = sprite(1, {shapeNode(box(0, 0, 1000, 2000, {0, 0, 0, 255}))});
    outer.matrix = translate(0, 0);
    outer.clipDepth = 5;
    // Inner mask: the top half.
    RenderNode inner = shapeNode(box(0, 0, 2000, 1000, {0, 0, 0, 255}), 2);
    inner.clipDepth = 3;
    RenderNode content = shapeNode(box(0, 0, 2000, 2000, {255, 0, 0, 255}), 3);
    RenderNode onlyOuter = shapeNode(box(0, 1500, 2000, 2000, {0, 0, 255, 255}), 4);
    Canvas c(100, 100);
    c.draw(rootOf({outer, inner, content, onlyOuter}));
    EXPECT_TRUE(near(c.at(20, 20), QColor(255, 0, 0)));
    EXPECT_TRUE(near(c.at(70, 20), kWhite));
    EXPECT_TRUE(near(c.at(20, 60), kWhite));
    EXPECT_TRUE(near(c.at(20, 90), QColor(0, 0, 255)));
    EXPECT_TRUE(near(c.at(70, 90), kWhite));
}

TEST(TreeRender, LowQualityDrawsWithoutAntiAliasing)
{
    StyleArrays styles(32);
    uint32_t fill = styles.solid({0, 0, 0, 255});
    RecordWriter w;
    w.moveTo(0, 0).fill0(fill).lineTo(2000, 700).lineTo(0, 2000).lineTo(0, 0);
    auto triangle = buildShape(32, {0, 2000, 0, 2000}, styles, w);
    auto colours = [&](Quality quality) {
        Canvas c(100, 100);
        c.draw(rootOf({shapeNode(triangle)}), kTwipsToPixels, quality);
        std::set<QRgb> seen;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                seen.insert(c.image().pixel(x, y));
        return seen.size();
    };
    EXPECT_EQ(colours(Quality::Low), 2u);
    EXPECT_GT(colours(Quality::High), 10u);
}

// A one-pixel line at low quality centred on a pixel edge lights the column left of
// it and the row above it on the stage and in blend layers, and ends without a cap;
// a cached surface lies half a pixel over (the corner of the lines' bounds on a pixel
// edge), where the lines light the pixels they run through, last pixel included.
TEST(TreeRender, LowQualityHairlinesOnPixelEdgesPickTheirSide)
{
    StyleArrays styles(32);
    uint32_t pen = styles.line(20, {0, 0, 0, 255});
    RecordWriter w;
    w.line(pen).moveTo(200, 100).lineTo(200, 500).moveTo(300, 200).lineTo(700, 200);
    auto lines = buildShape(32, {190, 710, 90, 510}, styles, w);
    struct Row {
        const char* where;
        void (*place)(RenderNode&);
        int column;  // lit by the vertical line at x = 10
        int row;     // lit by the horizontal line at y = 10
        int end;     // the vertical line's last lit row; it runs from y = 5 to 25
    };
    const Row rows[] = {
        {"stage", [](RenderNode&) {}, 9, 9, 24},
        {"blend layer", [](RenderNode& n) { n.blendMode = BlendMode::Multiply; }, 9, 9, 24},
        {"cached surface", [](RenderNode& n) { n.cacheAsBitmap = true; }, 10, 10, 25},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.where);
        RenderNode node = shapeNode(lines);
        r.place(node);
        Canvas c(40, 40);
        c.draw(rootOf({node}), kTwipsToPixels, Quality::Low);
        const int other = r.column == 9 ? 10 : 9;
        EXPECT_EQ(c.at(r.column, 15), QColor(0, 0, 0));
        EXPECT_EQ(c.at(other, 15), kWhite);
        EXPECT_EQ(c.at(25, r.row), QColor(0, 0, 0));
        EXPECT_EQ(c.at(25, r.row == 9 ? 10 : 9), kWhite);
        EXPECT_EQ(c.at(r.column, 5), QColor(0, 0, 0));
        EXPECT_EQ(c.at(r.column, r.end), QColor(0, 0, 0));
        EXPECT_EQ(c.at(r.column, r.end + 1), kWhite);
        EXPECT_EQ(c.at(r.column, 4), kWhite);
    }
}

// A box of one-pixel lines at low quality, its sides on pixel edges and its bottom
// inside a row: each side lights the pixels whose centres lie between its ends, so
// the two left corners stay dark where the reference player leaves them dark.
TEST(TreeRender, LowQualityBoxLeavesItsLeftCornersDark)
{
    StyleArrays styles(32);
    uint32_t pen = styles.line(20, {0, 0, 0, 255});
    RecordWriter w;
    w.line(pen).moveTo(200, 100).lineTo(400, 100).lineTo(400, 309).lineTo(200, 309).lineTo(200, 100);
    auto box = buildShape(32, {190, 410, 90, 320}, styles, w);
    for (BlendMode mode : {BlendMode::Normal, BlendMode::Multiply}) {
        SCOPED_TRACE(int(mode));
        RenderNode node = shapeNode(box);
        node.blendMode = mode;
        Canvas c(30, 30);
        c.draw(rootOf({node}), kTwipsToPixels, Quality::Low);
        const struct {
            int x, y;
            bool lit;
        } pixels[] = {
            {9, 4, false},  {10, 4, true},  {9, 5, true},    // top left
            {19, 4, true},  {20, 4, false}, {19, 5, true},   // top right
            {9, 15, false}, {9, 14, true},  {10, 15, true},  // bottom left
            {19, 15, true}, {19, 16, false}, {20, 15, false}, // bottom right
        };
        for (const auto& p : pixels)
            EXPECT_EQ(c.at(p.x, p.y), p.lit ? QColor(0, 0, 0) : kWhite) << p.x << "," << p.y;
    }
}

// In a cached surface, which lies with the corner of the box's bounds on the nearest
// pixel edge, the same kind of box lights the pixels its lines run through, ends and
// corners included: a bottom at 15.95 px (16.45 once placed) lights row 16, where the
// painter's own choice would be row 15.
TEST(TreeRender, LowQualityBoxInACachedSurfaceSnapsToTheNearestPixel)
{
    StyleArrays styles(32);
    uint32_t pen = styles.line(20, {0, 0, 0, 255});
    RecordWriter w;
    w.line(pen).moveTo(200, 100).lineTo(400, 100).lineTo(400, 319).lineTo(200, 319).lineTo(200, 100);
    auto box = buildShape(32, {190, 410, 90, 330}, styles, w);
    RenderNode node = shapeNode(box);
    node.cacheAsBitmap = true;
    Canvas c(30, 30);
    c.draw(rootOf({node}), kTwipsToPixels, Quality::Low);
    const struct {
        int x, y;
        bool lit;
    } pixels[] = {
        {10, 5, true},   {9, 5, false},   {10, 4, false},  // top left
        {20, 5, true},   {21, 5, false},  {20, 4, false},  // top right
        {10, 16, true},  {10, 17, false}, {9, 16, false},  // bottom left
        {20, 16, true},  {21, 16, false}, {20, 17, false}, // bottom right
        {15, 16, true},  {15, 15, false}, {10, 11, true},  {11, 11, false},
    };
    for (const auto& p : pixels)
        EXPECT_EQ(c.at(p.x, p.y), p.lit ? QColor(0, 0, 0) : kWhite) << p.x << "," << p.y;
}

// A cached, filtered or scrolled object at low quality, placed between pixels: a
// cached or filtered one is drawn with the corner of its bounds moved to the nearest
// pixel edge (halves right and down), then filled by pixel centres; a scroll window
// alone only clips, showing the pixels whose centres it covers.
TEST(TreeRender, LowQualitySurfacesSitOnThePixelGrid)
{
    auto square = box(0, 0, 200, 200, {0, 0, 255, 255});
    auto blurOfOne = std::make_shared<std::vector<Filter>>(1);
    (*blurOfOne)[0].kind = FilterKind::Blur;  // sizes of 1 change nothing
    (*blurOfOne)[0].blurX = (*blurOfOne)[0].blurY = 1;
    (*blurOfOne)[0].passes = 1;
    struct Row {
        const char* what;
        int offsetTwips;  // from pixel 20 on both axes
        void (*make)(RenderNode&, std::shared_ptr<std::vector<Filter>>);
        int first;  // first lit column and row
    };
    auto cached = [](RenderNode& n, std::shared_ptr<std::vector<Filter>>) { n.cacheAsBitmap = true; };
    auto filtered = [](RenderNode& n, std::shared_ptr<std::vector<Filter>> f) { n.filters = f; };
    auto scrolled = [](RenderNode& n, std::shared_ptr<std::vector<Filter>>) { n.scrollRect = Rect{0, 200, 0, 200}; };
    const Row rows[] = {
        {"cached, a quarter past", 5, cached, 20},   {"cached, half past", 10, cached, 21},
        {"cached, 0.55 past", 11, cached, 21},       {"cached, 0.45 past", 9, cached, 20},
        {"filtered, half past", 10, filtered, 21},   {"filtered, 0.7 past", 14, filtered, 21},
        {"scrolled, 0.45 past", 9, scrolled, 20},    {"scrolled, 0.55 past", 11, scrolled, 21},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        RenderNode inner = shapeNode(square);
        RenderNode node = sprite(1, {inner});
        node.matrix = translate(400 + r.offsetTwips, 400 + r.offsetTwips);
        r.make(node, blurOfOne);
        Canvas c(40, 40);
        c.draw(rootOf({node}), kTwipsToPixels, Quality::Low);
        const QColor blue(0, 0, 255);
        EXPECT_EQ(c.at(r.first, r.first), blue);
        EXPECT_EQ(c.at(r.first + 9, r.first + 9), blue);
        EXPECT_EQ(c.at(r.first - 1, r.first + 4), kWhite);
        EXPECT_EQ(c.at(r.first + 4, r.first - 1), kWhite);
        EXPECT_EQ(c.at(r.first + 10, r.first + 4), kWhite);
        EXPECT_EQ(c.at(r.first + 4, r.first + 10), kWhite);
    }
}

// A slanted one-pixel line at low quality in a cached surface lights every pixel whose
// centre lies within half a pixel of it: two in a column where the line passes midway
// between two centres, one where it runs through a centre.
TEST(TreeRender, LowQualitySlantedHairlineInACachedSurfaceLightsCentresWithinHalfAPixel)
{
    StyleArrays styles(32);
    uint32_t pen = styles.line(20, {0, 0, 0, 255});
    RecordWriter w;
    // From (2, 2) to (22, 12) px; the surface puts it half a pixel right and down.
    w.line(pen).moveTo(40, 40).lineTo(440, 240);
    auto slope = buildShape(32, {30, 450, 30, 250}, styles, w);
    RenderNode node = shapeNode(slope);
    node.cacheAsBitmap = true;
    Canvas c(30, 20);
    c.draw(rootOf({node}), kTwipsToPixels, Quality::Low);
    const QColor black(0, 0, 0);
    // Column 7: the line is at y = 5.0 there, midway between the centres of rows 4 and 5.
    EXPECT_EQ(c.at(7, 4), black);
    EXPECT_EQ(c.at(7, 5), black);
    // Column 8: it runs through the centre of row 5.
    EXPECT_EQ(c.at(8, 5), black);
    EXPECT_EQ(c.at(8, 4), kWhite);
    EXPECT_EQ(c.at(8, 6), kWhite);
}

class TwoByTwo : public BitmapSource {
public:
    TwoByTwo() : image_(2, 2, QImage::Format_ARGB32_Premultiplied)
    {
        image_.setPixel(0, 0, qRgb(255, 0, 0));
        image_.setPixel(1, 0, qRgb(0, 255, 0));
        image_.setPixel(0, 1, qRgb(0, 0, 255));
        image_.setPixel(1, 1, qRgb(0, 0, 0));
    }
    const QImage* bitmap(uint16_t id) const override { return id == 9 ? &image_ : nullptr; }

private:
    QImage image_;
};

TEST(TreeRender, RepeatingBitmapFillUsesItsMatrix)
{
    StyleArrays styles(32);
    // Each bitmap pixel becomes 10 device pixels (200 twips); the bitmap repeats.
    uint32_t fill = styles.bitmap(9, {200, 0, 0, 200, 0, 0}, true, false);
    RecordWriter w;
    w.fill0(fill).rect(0, 0, 2000, 2000);
    auto shape = buildShape(32, {0, 2000, 0, 2000}, styles, w);
    TwoByTwo bitmaps;
    Renderer renderer;
    renderer.setBitmapSource(&bitmaps);
    Canvas c(100, 100);
    c.draw(renderer, rootOf({shapeNode(shape)}));
    EXPECT_TRUE(near(c.at(5, 5), QColor(255, 0, 0)));
    EXPECT_TRUE(near(c.at(15, 5), QColor(0, 255, 0)));
    EXPECT_TRUE(near(c.at(5, 15), QColor(0, 0, 255)));
    EXPECT_TRUE(near(c.at(25, 25), QColor(255, 0, 0)));  // repeated
}

TEST(TreeRender, ColourTransformedBitmapFillTransformsEachChannelOnItsOwn)
{
    StyleArrays styles(32);
    uint32_t fill = styles.bitmap(9, {200, 0, 0, 200, 0, 0}, true, false);
    RecordWriter w;
    w.fill0(fill).rect(0, 0, 400, 400);
    auto shape = buildShape(32, {0, 400, 0, 400}, styles, w);
    TwoByTwo bitmaps;
    Renderer renderer;
    renderer.setBitmapSource(&bitmaps);
    RenderNode node = shapeNode(shape);
    node.colorTransform.rMul = 0.5;
    node.colorTransform.gAdd = 100;
    node.colorTransform.bMul = 0;
    node.colorTransform.bAdd = 200;
    Canvas c(20, 20);
    c.draw(renderer, rootOf({node}));
    EXPECT_TRUE(near(c.at(5, 5), QColor(127, 100, 200)));
    EXPECT_TRUE(near(c.at(15, 5), QColor(0, 255, 200)));  // green past 255 stays 255
    EXPECT_TRUE(near(c.at(5, 15), QColor(0, 100, 200)));
    // The same bitmap under another transform is transformed afresh.
    node.colorTransform = {};
    node.colorTransform.gMul = 0;
    node.colorTransform.bAdd = -100;
    Canvas again(20, 20);
    again.draw(renderer, rootOf({node}));
    EXPECT_TRUE(near(again.at(5, 5), QColor(255, 0, 0)));
    EXPECT_TRUE(near(again.at(15, 5), QColor(0, 0, 0)));
    EXPECT_TRUE(near(again.at(5, 15), QColor(0, 0, 155)));
}

TEST(TreeRender, ClippedBitmapFillDrawsItsEdgePixelsOutwards)
{
    StyleArrays styles(32);
    // The 2 x 2 bitmap covers device pixels 15..35; the shape covers 0..60. Outside the
    // bitmap its edge rows and columns go on; nothing repeats.
    uint32_t fill = styles.bitmap(9, {200, 0, 0, 200, 300, 300}, false, false);
    RecordWriter w;
    w.fill0(fill).rect(0, 0, 1200, 1200);
    auto shape = buildShape(32, {0, 1200, 0, 1200}, styles, w);
    TwoByTwo bitmaps;
    Renderer renderer;
    renderer.setBitmapSource(&bitmaps);
    for (Quality quality : {Quality::Low, Quality::High}) {
        SCOPED_TRACE(static_cast<int>(quality));
        Canvas c(80, 80);
        c.draw(renderer, rootOf({shapeNode(shape)}), kTwipsToPixels, quality);
        EXPECT_TRUE(near(c.at(20, 20), QColor(255, 0, 0)));  // the bitmap itself
        EXPECT_TRUE(near(c.at(30, 30), QColor(0, 0, 0)));
        EXPECT_TRUE(near(c.at(5, 5), QColor(255, 0, 0)));  // corners
        EXPECT_TRUE(near(c.at(50, 5), QColor(0, 255, 0)));
        EXPECT_TRUE(near(c.at(5, 50), QColor(0, 0, 255)));
        EXPECT_TRUE(near(c.at(50, 50), QColor(0, 0, 0)));
        EXPECT_TRUE(near(c.at(30, 5), QColor(0, 255, 0)));  // top edge, column 1
        EXPECT_TRUE(near(c.at(5, 30), QColor(0, 0, 255)));  // left edge, row 1
        EXPECT_TRUE(near(c.at(50, 20), QColor(0, 255, 0)));  // right edge, row 0
        EXPECT_TRUE(near(c.at(20, 50), QColor(0, 0, 255)));  // bottom edge, column 0
        EXPECT_TRUE(near(c.at(70, 70), QColor(255, 255, 255))) << "nothing outside the shape";
    }
}

TEST(TreeRender, OneRendererKeepsShapesApartInItsCache)
{
    Renderer renderer;
    auto red = box(0, 0, 2000, 2000, {255, 0, 0, 255});
    auto blue = box(0, 0, 2000, 2000, {0, 0, 255, 255});
    Canvas first(100, 100);
    first.draw(renderer, rootOf({shapeNode(red)}));
    Canvas second(100, 100);
    second.draw(renderer, rootOf({shapeNode(blue)}));
    EXPECT_TRUE(near(first.at(50, 50), QColor(255, 0, 0)));
    EXPECT_TRUE(near(second.at(50, 50), QColor(0, 0, 255)));
}

} // namespace
