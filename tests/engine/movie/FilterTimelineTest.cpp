// Filters, cached-bitmap flags and opaque backgrounds on the timeline: PlaceObject3
// sets them, moves that do not give them keep them, an empty list clears the filters,
// and all of it reaches the render tree and survives a backward goto.

#include "engine/movie/RenderTreeBuilder.h"
#include "tests/engine/movie/MovieFixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace swf::movie {
namespace {

using namespace testing;
using test::SwfWriter;

// PlaceObject3's extras: a filter list holding one blur of `size` (or an empty list
// for size 0), then optionally cache-as-bitmap and a background colour.
std::vector<uint8_t> extras(int blurSize, bool cache = false, bool background = false)
{
    std::vector<uint8_t> out;
    uint8_t flags = 0x01;  // a filter list
    if (cache)
        flags |= 0x04;
    if (background)
        flags |= 0x40;
    out.push_back(flags);
    if (blurSize == 0) {
        out.push_back(0);
    } else {
        out.push_back(1);
        out.push_back(1);  // blur
        for (int i = 0; i < 2; ++i)
            out.insert(out.end(), {0, 0, static_cast<uint8_t>(blurSize), 0});  // 16.16
        out.push_back(2 << 3);  // two passes
    }
    if (cache)
        out.push_back(1);
    if (background)
        out.insert(out.end(), {0x10, 0x20, 0x30, 0xff});  // RGBA
    return out;
}

double blurOf(const DisplayObject& o)
{
    return o.filters && !o.filters->empty() ? o.filters->front().blurX : 0;
}

TEST(FilterTimeline, FiltersAreKeptByMovesWithoutThemAndReplacedOrClearedByMovesWithThem)
{
    SwfWriter w;
    defineEmptyShape(w, 1);
    w.placeObject3(placeAt(1, 1, 20), extras(4, true, true)).showFrame();
    w.placeObject3(moveTo(1, 40)).showFrame();
    w.placeObject2(moveTo(1, 60)).showFrame();
    w.placeObject3(moveTo(1, 80), extras(9)).showFrame();
    w.placeObject3(moveTo(1, 100), extras(0)).showFrame();
    Running run(w);

    const double blurs[] = {4, 4, 4, 9, 0};
    for (size_t frame = 0; frame < std::size(blurs); ++frame) {
        SCOPED_TRACE(frame + 1);
        run.step();
        const DisplayObject* o = run.root.find(1);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(blurOf(*o), blurs[frame]);
        EXPECT_TRUE(o->cacheAsBitmap) << "kept by moves that do not say";
        ASSERT_TRUE(o->opaqueBackground);
        EXPECT_EQ(*o->opaqueBackground, (Rgba{0x10, 0x20, 0x30, 0xff}));
    }
}

TEST(FilterTimeline, FiltersReachTheRenderTreeAndSurviveABackwardGoto)
{
    SwfWriter w;
    defineEmptyShape(w, 1);
    w.placeObject3(placeAt(1, 1), extras(6, true)).showFrame();
    w.placeObject3(moveTo(1, 40), extras(12)).showFrame();
    Running run(w);

    run.step();
    render::RenderNode tree = buildRenderTree(run.root);
    ASSERT_EQ(tree.children.size(), 1u);
    ASSERT_TRUE(tree.children[0].filters);
    ASSERT_EQ(tree.children[0].filters->size(), 1u);
    EXPECT_EQ(tree.children[0].filters->front().kind, FilterKind::Blur);
    EXPECT_EQ(tree.children[0].filters->front().passes, 2);
    EXPECT_TRUE(tree.children[0].cacheAsBitmap);
    EXPECT_FALSE(tree.children[0].opaqueBackground);

    run.step();
    EXPECT_EQ(buildRenderTree(run.root).children[0].filters->front().blurX, 12);
    run.gotoFrame(1);
    EXPECT_EQ(buildRenderTree(run.root).children[0].filters->front().blurX, 6) << "rebuilt from frame 1";
}

} // namespace
} // namespace swf::movie
