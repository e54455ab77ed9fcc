// Filtered and cached nodes through the renderer: effects that reach past the object's
// own bounds, filters that grow with the stage, colour transforms and blend modes over
// a filtered surface, the kept surfaces of unchanged objects, opaque backgrounds, and
// objects past the bitmap limits.

#include "RenderFixture.h"
#include "engine/render/CachedBitmap.h"
#include "tests/support/ShapeWriter.h"

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

std::shared_ptr<const ShapeDef> box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgba color)
{
    StyleArrays styles(32);
    uint32_t fill = styles.solid(color);
    RecordWriter w;
    w.fill0(fill).rect(x0, y0, x1, y1);
    return buildShape(32, {x0, x1, y0, y1}, styles, w);
}

std::shared_ptr<const std::vector<Filter>> filters(std::vector<Filter> list)
{
    return std::make_shared<const std::vector<Filter>>(std::move(list));
}

Filter glow(Rgba color, double blur)
{
    Filter f;
    f.kind = FilterKind::Glow;
    f.color = color;
    f.blurX = f.blurY = blur;
    return f;
}

// A sprite holding a blue square at pixels [10, 20) x [10, 20).
RenderNode blueSquare(std::shared_ptr<const std::vector<Filter>> list = nullptr)
{
    RenderNode sprite;
    sprite.depth = 1;
    sprite.children.push_back(shapeNode(box(200, 200, 400, 400, {0, 0, 255, 255})));
    sprite.filters = std::move(list);
    return sprite;
}

TEST(FilterRender, GlowReachesPastTheObjectOnTheStage)
{
    Canvas canvas(30, 30);
    canvas.draw(rootOf({blueSquare(filters({glow({255, 0, 0, 255}, 5)}))}));
    EXPECT_TRUE(near(canvas.at(15, 15), QColor(0, 0, 255)));
    // Two of the five pixels across are covered just outside the left edge: 102/255
    // red over white.
    EXPECT_TRUE(near(canvas.at(9, 15), QColor(255, 153, 153), 1));
    EXPECT_TRUE(near(canvas.at(8, 15), QColor(255, 204, 204), 1));
    EXPECT_TRUE(near(canvas.at(7, 15), QColor(255, 255, 255), 0));
}

TEST(FilterRender, FiltersGrowWithTheStageNotWithTheObject)
{
    // The stage drawn twice as large: the glow reaches twice as far.
    Canvas stage(60, 60);
    stage.draw(rootOf({blueSquare(filters({glow({255, 0, 0, 255}, 5)}))}), scale(2 / 20.0, 2 / 20.0));
    // Blur 9 device pixels (the box's centre pixel stays one pixel): the glow reaches
    // four pixels out.
    EXPECT_TRUE(near(stage.at(15, 30), QColor(255, 255, 255), 0));
    EXPECT_FALSE(near(stage.at(16, 30), QColor(255, 255, 255), 2));

    // The object scaled instead: the glow keeps its size in pixels.
    RenderNode scaled = blueSquare(filters({glow({255, 0, 0, 255}, 5)}));
    scaled.matrix = scale(2, 2);
    Canvas object(60, 60);
    object.draw(rootOf({scaled}));
    EXPECT_TRUE(near(object.at(17, 30), QColor(255, 255, 255), 0));
    EXPECT_FALSE(near(object.at(18, 30), QColor(255, 255, 255), 2));
}

TEST(FilterRender, ColourTransformAndBlendModeApplyToTheFilteredWhole)
{
    RenderNode faded = blueSquare(filters({glow({255, 0, 0, 255}, 5)}));
    faded.colorTransform.aMul = 0.5f;
    Canvas canvas(30, 30);
    canvas.draw(rootOf({faded}));
    EXPECT_TRUE(near(canvas.at(15, 15), QColor(127, 127, 255), 2));
    EXPECT_TRUE(near(canvas.at(9, 15), QColor(255, 204, 204), 2));  // the glow fades too

    RenderNode backdrop = shapeNode(box(0, 0, 600, 600, {100, 200, 250, 255}), 1);
    RenderNode multiplied = blueSquare(filters({glow({255, 0, 0, 255}, 5)}));
    multiplied.depth = 2;
    multiplied.blendMode = BlendMode::Multiply;
    Canvas blended(30, 30);
    blended.draw(rootOf({backdrop, multiplied}));
    EXPECT_TRUE(near(blended.at(15, 15), QColor(0, 0, 250), 2));
    EXPECT_TRUE(near(blended.at(2, 2), QColor(100, 200, 250), 0));
}

TEST(FilterRender, UnchangedObjectsKeepTheirSurface)
{
    Renderer renderer;
    SurfaceCache cache;
    RenderNode node = blueSquare(filters({glow({255, 0, 0, 255}, 5)}));
    const SurfacePlacement at{Matrix{1, 0, 0, 1, 10.25, 0}, QPoint(3, 0), QSize(20, 20)};
    QImage surface(20, 20, QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::red);
    cache.store(node, at, surface);
    EXPECT_NE(cache.find(node, at), nullptr);

    // Moved by whole pixels with its surface: the same surface.
    const SurfacePlacement moved{Matrix{1, 0, 0, 1, 15.25, 2}, QPoint(8, 2), QSize(20, 20)};
    EXPECT_NE(cache.find(node, moved), nullptr);
    // Moved by part of a pixel, scaled, or changed: drawn afresh.
    const SurfacePlacement shifted{Matrix{1, 0, 0, 1, 10.5, 0}, QPoint(3, 0), QSize(20, 20)};
    EXPECT_EQ(cache.find(node, shifted), nullptr);
    RenderNode changed = node;
    changed.children[0].colorTransform.rMul = 0.5f;
    EXPECT_EQ(cache.find(changed, at), nullptr);
    RenderNode otherFilter = node;
    otherFilter.filters = filters({glow({255, 0, 0, 255}, 6)});
    EXPECT_EQ(cache.find(otherFilter, at), nullptr);
    // The same filters in another list are still the same.
    RenderNode sameFilter = node;
    sameFilter.filters = filters({glow({255, 0, 0, 255}, 5)});
    EXPECT_NE(cache.find(sameFilter, at), nullptr);

    // A frame that does not use a surface lets it go.
    cache.endFrame();
    EXPECT_EQ(cache.size(), 1u);
    cache.endFrame();
    EXPECT_EQ(cache.size(), 0u);
}

TEST(FilterRender, CachedObjectDrawsTheSameFromItsKeptSurface)
{
    Renderer renderer;
    RenderNode cached = blueSquare(filters({glow({255, 0, 0, 255}, 5)}));
    cached.cacheAsBitmap = true;
    Canvas first(30, 30), second(30, 30);
    first.draw(renderer, rootOf({cached}));
    second.draw(renderer, rootOf({cached}));
    EXPECT_EQ(first.image(), second.image());

    // Moved by a pixel, drawn from the kept surface, in its new place.
    RenderNode moved = cached;
    moved.matrix = translate(20, 0);
    Canvas third(30, 30);
    third.draw(renderer, rootOf({moved}));
    EXPECT_EQ(third.image().pixel(16, 15), first.image().pixel(15, 15));
    EXPECT_EQ(third.image().pixel(10, 15), first.image().pixel(9, 15));
}

TEST(FilterRender, OpaqueBackgroundFillsTheBoundsBeneath)
{
    RenderNode sprite;
    sprite.depth = 1;
    sprite.children.push_back(shapeNode(box(200, 200, 300, 300, {0, 0, 255, 128})));
    sprite.opaqueBackground = Rgba{0, 255, 0, 255};
    Canvas canvas(30, 30);
    canvas.draw(rootOf({sprite}));
    EXPECT_TRUE(near(canvas.at(12, 12), QColor(0, 127, 128), 2));
    EXPECT_TRUE(near(canvas.at(5, 5), QColor(255, 255, 255), 0));
}

TEST(FilterRender, ObjectsPastTheBitmapLimitsAreDrawnWithoutFilters)
{
    // 10,000 pixels wide: no surface can hold it; the square is drawn, the glow is not.
    RenderNode wide;
    wide.depth = 1;
    wide.children.push_back(shapeNode(box(0, 200, 20, 400, {0, 0, 255, 255})));
    wide.children[0].matrix = scale(10000, 1);
    wide.filters = filters({glow({255, 0, 0, 255}, 5)});
    wide.cacheAsBitmap = true;
    Canvas canvas(30, 30);
    canvas.draw(rootOf({wide}));
    EXPECT_TRUE(near(canvas.at(15, 15), QColor(0, 0, 255)));
    EXPECT_TRUE(near(canvas.at(15, 8), QColor(255, 255, 255), 0));

    // The same filtered but not cached: only what can be seen needs a surface.
    wide.cacheAsBitmap = false;
    Canvas visible(30, 30);
    visible.draw(rootOf({wide}));
    EXPECT_TRUE(near(visible.at(15, 9), QColor(255, 153, 153), 1));
}

} // namespace

namespace {

TEST(ScrollRectRender, ShowsOnlyTheWindowWithItsCornerAtTheOrigin)
{
    // A sprite at (5, 5) px holding a red square at [0, 10) and a blue one at [10, 20)
    // px; its window is [10, 20) x [0, 10): the blue square, shown at the sprite's origin.
    RenderNode sprite;
    sprite.depth = 1;
    sprite.matrix = translate(100, 100);
    sprite.children.push_back(shapeNode(box(0, 0, 200, 200, {255, 0, 0, 255}), 1));
    sprite.children.push_back(shapeNode(box(200, 0, 400, 200, {0, 0, 255, 255}), 2));
    sprite.scrollRect = Rect{200, 400, 0, 200};
    Canvas canvas(30, 30);
    canvas.draw(rootOf({sprite}));
    EXPECT_TRUE(near(canvas.at(6, 6), QColor(0, 0, 255)));
    EXPECT_TRUE(near(canvas.at(14, 14), QColor(0, 0, 255)));
    EXPECT_TRUE(near(canvas.at(16, 10), QColor(255, 255, 255), 0));  // right of the window
    EXPECT_TRUE(near(canvas.at(3, 10), QColor(255, 255, 255), 0));   // the red square is cut away

    // An empty window shows nothing.
    sprite.scrollRect = Rect{0, 0, 0, 200};
    Canvas empty(30, 30);
    empty.draw(rootOf({sprite}));
    EXPECT_TRUE(near(empty.at(6, 6), QColor(255, 255, 255), 0));
}

} // namespace
