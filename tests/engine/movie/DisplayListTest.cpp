// The display list as frames play and jump: place, move, replace, remove, nested
// sprites, looping and backward gotos.

#include "tests/engine/movie/MovieFixture.h"

#include <gtest/gtest.h>

namespace swf::movie {
namespace {

using namespace testing;
using test::SwfWriter;
using test::TagStream;

SwfWriter withShapes(std::initializer_list<uint16_t> ids)
{
    SwfWriter w;
    for (uint16_t id : ids)
        defineEmptyShape(w, id);
    return w;
}

TEST(DisplayList, PlaceMoveReplaceRemove)
{
    SwfWriter w = withShapes({1, 2});
    w.placeObject2(placeAt(1, 1, 20)).showFrame();
    w.placeObject2(moveTo(1, 40)).showFrame();
    test::Place replace;
    replace.depth = 1;
    replace.move = true;
    replace.characterId = 2;
    w.placeObject2(replace).showFrame();
    w.removeObject2(1).showFrame();
    Running run(w);

    run.step();
    ASSERT_EQ(listOf(run.root), "1:1");
    EXPECT_EQ(run.root.find(1)->matrix.tx, 20);
    run.step();
    EXPECT_EQ(listOf(run.root), "1:1");
    EXPECT_EQ(run.root.find(1)->matrix.tx, 40);
    run.step();
    EXPECT_EQ(listOf(run.root), "1:2");
    EXPECT_EQ(run.root.find(1)->matrix.tx, 40) << "replacing keeps the transform";
    run.step();
    EXPECT_EQ(listOf(run.root), "");
}

TEST(DisplayList, KeepsDepthOrderAndIgnoresPlacingOnAnOccupiedDepth)
{
    SwfWriter w = withShapes({1, 2, 3});
    w.placeObject2(placeAt(5, 1)).placeObject2(placeAt(2, 2)).placeObject(3, 9).placeObject2(placeAt(5, 3)).showFrame();
    w.removeObject(2, 2).showFrame();
    Running run(w);
    run.step();
    EXPECT_EQ(listOf(run.root), "2:2 5:1 9:3");
    run.step();
    EXPECT_EQ(listOf(run.root), "5:1 9:3");
}

TEST(DisplayList, PlacedFieldsReachTheObject)
{
    SwfWriter w = withShapes({1});
    test::Place p = placeAt(3, 1, 60);
    p.colorTransform = ColorTransform{1, 1, 1, 0.5f, 0, 0, 0, 0};
    p.ratio = 32768;
    p.name = "thing";
    p.clipDepth = 7;
    w.placeObject2(p).showFrame();
    Running run(w);
    run.step();
    const DisplayObject* o = run.root.find(3);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->name, "thing");
    EXPECT_EQ(o->clipDepth, 7);
    EXPECT_EQ(o->ratio, 32768);
    EXPECT_FLOAT_EQ(o->colorTransform.aMul, 0.5f);
    EXPECT_NE(o->character, nullptr);
}

// A sprite whose three frames put shapes 1, 2, 3 at its depth 1.
SwfWriter withCountingSprite(uint16_t spriteId = 10)
{
    SwfWriter w = withShapes({1, 2, 3});
    TagStream sprite;
    sprite.placeObject2(placeAt(1, 1)).showFrame();
    sprite.removeObject2(1).placeObject2(placeAt(1, 2)).showFrame();
    sprite.removeObject2(1).placeObject2(placeAt(1, 3)).showFrame();
    w.defineSprite(spriteId, 3, sprite);
    return w;
}

TEST(DisplayList, NestedSpriteStartsAtItsFirstFrameAndLoopsWithItsParent)
{
    SwfWriter w = withCountingSprite();
    w.placeObject2(placeAt(1, 10)).showFrame();
    for (int i = 0; i < 5; ++i)
        w.showFrame();
    Running run(w);
    std::string seen;
    for (int i = 0; i < 6; ++i) {
        run.step();
        const DisplayObject* sprite = run.root.find(1);
        ASSERT_TRUE(sprite && sprite->clip);
        seen += std::to_string(sprite->clip->frame) + "=" + listOf(*sprite->clip) + " ";
    }
    EXPECT_EQ(seen, "1=1:1 2=1:2 3=1:3 1=1:1 2=1:2 3=1:3 ");
}

TEST(DisplayList, MainTimelineLoopsOrStopsAtItsEnd)
{
    SwfWriter w = withShapes({1});
    w.placeObject2(placeAt(1, 1)).showFrame();
    w.removeObject2(1).showFrame();
    Running looping(w);
    looping.step(3);
    EXPECT_EQ(looping.root.frame, 1);
    EXPECT_EQ(listOf(looping.root), "1:1");

    Running once(w);
    once.player->setLoop(false);
    once.step(3);
    EXPECT_EQ(once.root.frame, 2);
    EXPECT_FALSE(once.root.playing);
    EXPECT_EQ(listOf(once.root), "");
}

TEST(DisplayList, DeclaredFramesBeyondTheLastShowFrameExistButNeverLoad)
{
    // The header's count stands, but the stream ended: the playhead waits on the last
    // frame it holds rather than going on, or round to replay frame 1's scripts.
    test::MovieOptions options;
    options.frameCount = 4;
    SwfWriter w(options);
    defineEmptyShape(w, 1);
    w.placeObject2(placeAt(1, 1)).showFrame();
    Running run(w);
    EXPECT_EQ(run.movie->root.frameCount(), 4);
    EXPECT_EQ(run.movie->root.framesLoaded(), 1);
    run.step(4);
    EXPECT_EQ(run.root.frame, 1);
    EXPECT_EQ(listOf(run.root), "1:1");
}

TEST(DisplayList, TagsAfterTheLastShowFrameFormAFinalFrame)
{
    SwfWriter w = withShapes({1});
    w.showFrame().placeObject2(placeAt(1, 1));
    Running run(w);
    EXPECT_EQ(run.movie->root.frameCount(), 2);
}

// Frames: 1 places A at 1 and B at 2; 2 moves A; 3 removes B and places C at 3;
// 4 replaces A with B.
SwfWriter fourFrames()
{
    SwfWriter w = withShapes({1, 2, 3});
    w.placeObject2(placeAt(1, 1, 10)).placeObject2(placeAt(2, 2, 10)).showFrame();
    w.placeObject2(moveTo(1, 99)).showFrame();
    w.removeObject2(2).placeObject2(placeAt(3, 3)).showFrame();
    test::Place replace;
    replace.depth = 1;
    replace.move = true;
    replace.characterId = 2;
    w.placeObject2(replace).showFrame();
    return w;
}

TEST(DisplayList, BackwardGotoRebuildsAsIfPlayedFromTheStart)
{
    for (int target = 1; target <= 4; ++target) {
        Running jumped(fourFrames());
        jumped.step(4);
        jumped.gotoFrame(target);

        Running played(fourFrames());
        played.step(target);
        EXPECT_EQ(listOf(jumped.root), listOf(played.root)) << "goto " << target;
        EXPECT_EQ(dump(jumped.root), dump(played.root)) << "goto " << target;
    }
}

TEST(DisplayList, ForwardGotoAppliesTheSkippedFrames)
{
    Running run(fourFrames());
    run.step();
    run.gotoFrame(3);
    EXPECT_EQ(listOf(run.root), "1:1 3:3");
    EXPECT_EQ(run.root.find(1)->matrix.tx, 99);
}

TEST(DisplayList, BackwardGotoKeepsAClipThatStaysAndResetsOnesThatReturn)
{
    SwfWriter w = withCountingSprite();
    w.placeObject2(placeAt(1, 10)).showFrame();
    w.placeObject2(placeAt(2, 10)).showFrame();
    w.showFrame();
    Running run(w);
    run.step(3);
    ASSERT_EQ(run.root.find(1)->clip->frame, 3);
    run.gotoFrame(1);
    EXPECT_EQ(listOf(run.root), "1:10");
    EXPECT_EQ(run.root.find(1)->clip->frame, 3) << "the instance placed in frame 1 lives on";
    run.gotoFrame(2);
    ASSERT_NE(run.root.find(2), nullptr);
    EXPECT_EQ(run.root.find(2)->clip->frame, 1) << "a new instance starts at its first frame";
    EXPECT_EQ(listOf(*run.root.find(2)->clip), "1:1");
}

TEST(DisplayList, FrameScriptsRunAfterTheFramesDisplayListChanges)
{
    // Frame 2's script comes before its PlaceObject in the stream and jumps back to
    // frame 1: run after the changes, the rebuilt list no longer holds depth 3.
    SwfWriter w = withShapes({1});
    w.placeObject2(placeAt(1, 1)).showFrame();
    w.doAction(test::ActionBuilder().gotoFrame(0).stop()).placeObject2(placeAt(3, 1)).showFrame();
    Running run(w);
    run.step(2);
    EXPECT_EQ(run.root.frame, 1);
    EXPECT_FALSE(run.root.playing);
    EXPECT_EQ(listOf(run.root), "1:1");
}

TEST(DisplayList, ScriptsInANestedClipDriveThatClip)
{
    SwfWriter w = withShapes({1, 2});
    TagStream sprite;
    sprite.placeObject2(placeAt(1, 1)).showFrame();
    sprite.removeObject2(1).placeObject2(placeAt(1, 2)).doAction(test::ActionBuilder().stop().trace("child stops")).showFrame();
    sprite.showFrame();
    w.defineSprite(9, 3, sprite);
    w.placeObject2(placeAt(4, 9)).showFrame();
    w.showFrame().showFrame().showFrame();
    Running run(w);
    run.step(4);
    EXPECT_EQ(run.root.frame, 4);
    EXPECT_EQ(run.root.find(4)->clip->frame, 2);
    EXPECT_EQ(listOf(*run.root.find(4)->clip), "1:2");
    EXPECT_EQ(run.traces, (std::vector<std::string>{"child stops"}));
}

TEST(DisplayList, LabelsAreFoundWithoutRegardToCase)
{
    SwfWriter w;
    w.showFrame().frameLabel("Middle").showFrame().showFrame();
    auto movie = load(w);
    EXPECT_EQ(movie->root.frameOfLabel("middle"), 2);
    EXPECT_EQ(movie->root.frameOfLabel("MIDDLE"), 2);
    EXPECT_FALSE(movie->root.frameOfLabel("end"));
}

TEST(DisplayList, PlacingAnUndefinedCharacterKeepsTheDepthWithNothingToDraw)
{
    SwfWriter w;
    w.placeObject2(placeAt(1, 77)).showFrame();
    Running run(w);
    run.step();
    ASSERT_NE(run.root.find(1), nullptr);
    EXPECT_EQ(run.root.find(1)->character, nullptr);
}

} // namespace
} // namespace swf::movie
