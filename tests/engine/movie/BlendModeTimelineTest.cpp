// Blend modes on the timeline: PlaceObject3 sets a placed object's mode, moves that do
// not give one keep it, out-of-range bytes mean normal, and the mode reaches the render
// tree, nested sprites included.

#include "engine/movie/RenderTreeBuilder.h"
#include "tests/engine/movie/MovieFixture.h"

#include <gtest/gtest.h>

#include <array>

namespace swf::movie {
namespace {

using namespace testing;
using test::SwfWriter;
using test::TagStream;

// PlaceObject3's second flag byte announcing a blend mode, and the mode byte.
std::array<uint8_t, 2> withBlend(uint8_t mode)
{
    return {0x02, mode};
}

TEST(BlendModeTimeline, ModeIsKeptByMovesWithoutOneAndReplacedByMovesWithOne)
{
    SwfWriter w;
    defineEmptyShape(w, 1);
    w.placeObject3(placeAt(1, 1, 20), withBlend(3)).showFrame();  // multiply
    w.placeObject3(moveTo(1, 40)).showFrame();
    w.placeObject2(moveTo(1, 60)).showFrame();
    w.placeObject3(moveTo(1, 80), withBlend(14)).showFrame();  // hard light
    w.placeObject3(moveTo(1, 100), withBlend(0)).showFrame();
    w.placeObject3(moveTo(1, 120), withBlend(9)).showFrame();
    w.placeObject3(moveTo(1, 140), withBlend(200)).showFrame();
    Running run(w);

    const BlendMode expected[] = {BlendMode::Multiply, BlendMode::Multiply, BlendMode::Multiply, BlendMode::HardLight,
                                  BlendMode::Normal,   BlendMode::Subtract, BlendMode::Normal};
    for (size_t frame = 0; frame < std::size(expected); ++frame) {
        SCOPED_TRACE(frame + 1);
        run.step();
        const DisplayObject* o = run.root.find(1);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->matrix.tx, 20.0 * (frame + 1)) << "the move itself applied";
        EXPECT_EQ(o->blendMode, expected[frame]);
    }
}

TEST(BlendModeTimeline, ModeReachesTheRenderTreeAndSurvivesABackwardGoto)
{
    SwfWriter w;
    defineEmptyShape(w, 1);
    TagStream inner;
    inner.placeObject3(placeAt(1, 1), withBlend(2)).showFrame();  // layer
    w.defineSprite(2, 1, inner);
    w.placeObject3(placeAt(1, 2), withBlend(11)).placeObject2(placeAt(2, 1)).showFrame();  // alpha
    w.placeObject3(moveTo(1, 40), withBlend(12)).showFrame();  // erase
    Running run(w);

    run.step();
    render::RenderNode tree = buildRenderTree(run.root);
    ASSERT_EQ(tree.children.size(), 2u);
    EXPECT_EQ(tree.children[0].blendMode, BlendMode::Alpha);
    ASSERT_EQ(tree.children[0].children.size(), 1u);
    EXPECT_EQ(tree.children[0].children[0].blendMode, BlendMode::Layer);
    EXPECT_EQ(tree.children[1].blendMode, BlendMode::Normal) << "PlaceObject2 has no mode";

    run.step();
    EXPECT_EQ(buildRenderTree(run.root).children[0].blendMode, BlendMode::Erase);
    run.gotoFrame(1);
    EXPECT_EQ(buildRenderTree(run.root).children[0].blendMode, BlendMode::Alpha) << "rebuilt from frame 1";
}

} // namespace
} // namespace swf::movie
