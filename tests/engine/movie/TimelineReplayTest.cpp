// How playheads move through what a sprite's tag stream holds (closed frames, a last
// frame no ShowFrame closes, a missing End tag), what a backward goto plays over again
// on its way, and what the frame actions under a tellTarget to nowhere do.

#include "MovieFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint16_t kSprite = 2;
constexpr uint8_t kSetTarget = 0x8B;

// One sprite's stream: `closed` frames each tracing its number and ending in a
// ShowFrame, then (when `open`) one more traced frame with no ShowFrame, then an End
// tag when `ended`. `declared` is the count the sprite's header gives.
struct StreamCase {
    const char* what;
    uint16_t declared;
    int closed;
    bool open;
    bool ended;
    Lines traces;  // over six frame steps of a root that shows the sprite throughout
};

const StreamCase kStreamCases[] = {
    {"two closed frames loop", 2, 2, false, true, {"1", "2", "1", "2", "1", "2"}},
    {"the declared count plays no part", 3, 2, false, true, {"1", "2", "1", "2", "1", "2"}},
    {"a frame beyond the closed ones is never entered", 2, 1, false, true, {"1"}},
    {"without End the playhead waits on the last frame", 2, 2, false, false, {"1", "2"}},
    {"an open last frame runs once and sends no one round", 0, 1, true, true, {"1", "2"}},
    {"an open last frame without End runs once too", 3, 1, true, false, {"1", "2"}},
    {"an open frame alone is the first frame", 1, 0, true, true, {"1"}},
};

class SpriteStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(SpriteStream, PlaysAsTheStreamReads)
{
    const StreamCase& c = GetParam();
    test::TagStream sprite;
    int number = 1;
    for (; number <= c.closed; ++number)
        sprite.doAction(ActionBuilder().trace(std::to_string(number))).showFrame();
    if (c.open)
        sprite.doAction(ActionBuilder().trace(std::to_string(number)));
    if (c.ended)
        sprite.end();
    test::BitWriter body;
    body.u16(kSprite);
    body.u16(c.declared);
    body.bytes(sprite.bytes());

    test::SwfWriter movie;
    movie.tag(39, body.data());
    movie.placeObject2(placeAt(1, kSprite)).doAction(ActionBuilder().stop()).showFrame();
    Running run(movie);
    run.step(6);
    EXPECT_EQ(run.traces, c.traces) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Timeline, SpriteStream, ::testing::ValuesIn(kStreamCases));

// Frame 2 places "a" (load and unload handlers) and "b" (a load handler only), frame 3
// removes both, frame 4 goes back to frame 3. Going back plays frames 1 to 3 again:
// "a" comes and goes once more, its load and unload handlers running; "b", with no
// unload handler to wait for, is gone before its load event's turn.
TEST(BackwardGoto, ClipsPlacedAndRemovedOnTheWayComeAndGoAgain)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    movie.showFrame();
    test::Place a = placeAt(5, kSprite), b = placeAt(6, kSprite);
    a.name = "a";
    a.clipEvents.emplace_back(0x1, ActionBuilder().trace("load a"));
    a.clipEvents.emplace_back(0x4, ActionBuilder().trace("unload a"));
    b.name = "b";
    b.clipEvents.emplace_back(0x1, ActionBuilder().trace("load b"));
    movie.placeObject2(a).placeObject2(b).showFrame();
    movie.removeObject2(5).removeObject2(6).showFrame();
    movie.doAction(ActionBuilder().gotoFrame(2)).showFrame();
    Running run(movie);
    run.step(4);
    EXPECT_EQ(run.traces, (Lines{"load a", "load b", "unload a", "load a", "unload a"}));
    // "a" waits at its parting depth until the next frame step.
    EXPECT_EQ(listOf(run.root), "-6:2");
    run.step();
    EXPECT_EQ(listOf(run.root), "");
}

// Each placement a rewind plays over takes the next "instanceN" number, also one that
// finds its instance still there: the sprite frame 2 places anew after the root went
// round is the fourth, not the third.
TEST(BackwardGoto, PlacementsOnTheWayTakeInstanceNumbers)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1,
                       test::TagStream().doAction(ActionBuilder().getVariable("_name").trace()).showFrame());
    movie.placeObject2(placeAt(1, kSprite)).showFrame();
    movie.placeObject2(placeAt(2, kSprite)).showFrame();
    Running run(movie);
    run.step(4);
    EXPECT_EQ(run.traces, (Lines{"instance1", "instance2", "instance4"}));
}

// Going round to frame 1 numbers what that frame places in the order the replay makes
// it: a sprite's own children take their numbers with it, before the next placement.
TEST(BackwardGoto, ChildrenOfARebuiltClipAreNumberedBeforeTheNextPlacement)
{
    constexpr uint16_t kParent = 3;
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1,
                       test::TagStream().doAction(ActionBuilder().getVariable("_name").trace()).showFrame());
    movie.defineSprite(kParent, 1, test::TagStream().placeObject2(placeAt(1, kSprite)).showFrame());
    movie.placeObject2(placeAt(1, kParent)).placeObject2(placeAt(2, kSprite)).showFrame();
    movie.removeObject2(1).removeObject2(2).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"instance2", "instance3", "instance5", "instance6"}));
}

// A clip removed in the frame that placed it still runs the events of its coming (its
// load handler) and its unload handler, but not its first frame's actions, nor its
// enterFrame handler in the next frame.
TEST(RemovedClip, RunsItsLoadHandlerButNotItsFrameActions)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().doAction(ActionBuilder().trace("frame")).showFrame());
    movie.doAction(ActionBuilder().trace("start")).showFrame();
    test::Place a = placeAt(5, kSprite);
    a.name = "a";
    a.clipEvents.emplace_back(0x1, ActionBuilder().trace("load"));
    a.clipEvents.emplace_back(0x2, ActionBuilder().trace("enterFrame"));
    a.clipEvents.emplace_back(0x4, ActionBuilder().trace("unload"));
    movie.placeObject2(a).removeObject2(5).doAction(ActionBuilder().stop()).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"start", "load", "unload"}));
}

// Init actions for a sprite the stream has not defined yet are passed over and do not
// use up the sprite's one run; those of a frame a goto jumps over still run.
TEST(InitActions, WaitForTheirSpriteAndRunInFramesAGotoPassesOver)
{
    constexpr uint16_t kLater = 3;
    test::SwfWriter movie;
    movie.doInitAction(kSprite, ActionBuilder().trace("too early"));
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    movie.doAction(ActionBuilder().gotoFrame(2).play()).showFrame();
    movie.doInitAction(kSprite, ActionBuilder().trace("init")).doAction(ActionBuilder().trace("frame 2")).showFrame();
    movie.defineSprite(kLater, 1, test::TagStream().showFrame());
    movie.doInitAction(kLater, ActionBuilder().trace("init later")).showFrame();
    movie.doAction(ActionBuilder().trace("frame 4").stop()).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"init", "init later", "frame 4"}));
}

ActionBuilder& setTarget(ActionBuilder& a, std::string_view path)
{
    std::vector<uint8_t> name(path.begin(), path.end());
    name.push_back(0);
    return a.raw(kSetTarget, name);
}

// Under a tellTarget whose path names nothing, goto, stop and play go nowhere: the root
// that runs the script stays on its frame and plays on.
TEST(TellTarget, FrameActionsToNowhereDoNothing)
{
    test::SwfWriter movie;
    ActionBuilder first;
    setTarget(first, "nowhere").stop().gotoFrame(2);
    setTarget(first, "").getVariable("_currentframe").trace();
    movie.doAction(first).showFrame();
    movie.doAction(ActionBuilder().trace("frame 2").stop()).showFrame();
    movie.doAction(ActionBuilder().trace("frame 3")).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"1", "frame 2"}));
}

// A clip method called by its bare name under a tellTarget runs on the target: a child's
// tellTarget("/") { gotoAndStop(3); } moves the root, not the child.
TEST(TellTarget, AMethodCalledByNameRunsOnTheTarget)
{
    test::SwfWriter movie;
    ActionBuilder jump;
    setTarget(jump, "/").callFunction("gotoAndStop", {3}).pop();
    setTarget(jump, "");
    movie.defineSprite(kSprite, 1, test::TagStream().doAction(jump).showFrame());
    movie.placeObject2(placeAt(1, kSprite)).showFrame();
    movie.doAction(ActionBuilder().trace("frame 2")).showFrame();
    movie.doAction(ActionBuilder().trace("frame 3")).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"frame 3"}));
}

} // namespace
