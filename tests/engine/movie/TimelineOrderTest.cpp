// The order frames run in as the movie plays: clips step newest first whatever their
// nesting, a placement finds only characters defined ahead of it in the stream, a
// timeline cut short of its End tag waits on its last frame, a placement on a taken
// depth is refused aloud, and clips scripts make hear onConstruct.

#include "MovieFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kAdd2 = 0x47, kGetMember = 0x4E, kSetMember = 0x4F, kCallFunction = 0x3D,
                  kThrow = 0x2A;

// trace(this + ": " + _currentframe)
ActionBuilder traceFrame()
{
    ActionBuilder a;
    a.getVariable("this").pushString(": ").op(kAdd2).getVariable("_currentframe").op(kAdd2).op(kTrace);
    return a;
}

test::Place named(uint16_t depth, uint16_t character, std::string name)
{
    test::Place p = placeAt(depth, character);
    p.name = std::move(name);
    return p;
}

// A DefineSprite whose tag stream stops without an End tag.
void defineSpriteWithoutEnd(test::TagStream& movie, uint16_t id, uint16_t frames, const test::TagStream& sprite)
{
    test::BitWriter w;
    w.u16(id);
    w.u16(frames);
    w.bytes(sprite.bytes());
    movie.tag(39, w.data());
}

// Every frame of every clip traces itself. "outer" and "late" are placed by the main
// timeline; "outer" places "inner" on its second frame, after both were created, so
// "inner" is the newest clip from then on and steps first though it sits deepest.
TEST(TimelineOrder, ClipsStepNewestFirstWhateverTheirNesting)
{
    constexpr uint16_t kLeaf = 1, kOuter = 2;
    test::SwfWriter movie;
    test::TagStream leaf;
    for (int f = 0; f < 3; ++f)
        leaf.doAction(traceFrame()).showFrame();
    movie.defineSprite(kLeaf, 3, leaf);
    test::TagStream outer;
    outer.doAction(traceFrame()).showFrame();
    outer.doAction(traceFrame()).placeObject2(named(1, kLeaf, "inner")).showFrame();
    outer.doAction(traceFrame()).showFrame();
    movie.defineSprite(kOuter, 3, outer);
    movie.doAction(traceFrame()).placeObject2(named(1, kOuter, "outer")).placeObject2(named(2, kLeaf, "late")).showFrame();
    movie.doAction(traceFrame()).showFrame();
    movie.doAction(traceFrame().stop()).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"_level0: 1", "_level0.outer: 1", "_level0.late: 1",
                                 "_level0.late: 2", "_level0.outer: 2", "_level0.outer.inner: 1", "_level0: 2",
                                 "_level0.outer.inner: 2", "_level0.late: 3", "_level0.outer: 3", "_level0: 3"}));
}

// A clip's enterFrame handler runs just ahead of the frame it moves into, clip by clip
// in the same newest-first order.
TEST(TimelineOrder, EachClipsEnterFrameComesJustAheadOfItsFrame)
{
    constexpr uint16_t kTwoFrames = 1;
    constexpr uint32_t kEnterFrame = 0x2;
    test::SwfWriter movie;
    test::TagStream frames;
    frames.doAction(traceFrame()).showFrame().doAction(traceFrame()).showFrame();
    movie.defineSprite(kTwoFrames, 2, frames);
    test::Place a = named(1, kTwoFrames, "a");
    a.clipEvents.push_back({kEnterFrame, ActionBuilder().trace("a enters")});
    test::Place b = named(2, kTwoFrames, "b");
    b.clipEvents.push_back({kEnterFrame, ActionBuilder().trace("b enters")});
    movie.placeObject2(a).placeObject2(b).showFrame();
    Running run(movie);
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"_level0.a: 1", "_level0.b: 1", "b enters", "_level0.b: 2", "a enters",
                                 "_level0.a: 2"}));
}

// The main timeline places the sprite on frame 1 and again (at another depth) on
// frame 3; the sprite is defined between them. Only the second placement finds it,
// until the main timeline comes round again and the first one does too.
TEST(TimelineOrder, APlacementAheadOfItsCharactersDefinitionPlacesNothingUntilItIsDefined)
{
    constexpr uint16_t kLate = 1;
    test::SwfWriter movie;
    movie.placeObject2(named(1, kLate, "early")).showFrame();
    movie.showFrame();
    test::TagStream sprite;
    sprite.doAction(ActionBuilder().getVariable("this").op(kTrace)).showFrame();
    movie.defineSprite(kLate, 1, sprite);
    movie.placeObject2(named(2, kLate, "defined")).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"_level0.defined"}));
    EXPECT_EQ(listOf(run.root), "2:1");
    run.step();  // round again to frame 1: the sprite is known by now
    EXPECT_EQ(listOf(run.root), "1:1");
    EXPECT_EQ(run.traces.back(), "_level0.early");
}

// A sprite whose tag stream has no End tag never finished loading: it waits on its
// last frame where a whole one goes round to its first.
TEST(TimelineOrder, ASpriteCutShortOfItsEndTagWaitsOnItsLastFrame)
{
    constexpr uint16_t kWhole = 1, kCut = 2;
    test::SwfWriter movie;
    test::TagStream frames;
    frames.doAction(traceFrame()).showFrame().doAction(traceFrame()).showFrame();
    movie.defineSprite(kWhole, 2, frames);
    defineSpriteWithoutEnd(movie, kCut, 2, frames);
    movie.placeObject2(named(1, kWhole, "whole")).placeObject2(named(2, kCut, "cut")).showFrame();
    Running run(movie);
    run.step(4);
    EXPECT_EQ(run.traces, (Lines{"_level0.whole: 1", "_level0.cut: 1", "_level0.cut: 2", "_level0.whole: 2",
                                 "_level0.whole: 1", "_level0.whole: 2"}));
}

// A new placement on a depth already taken leaves the object there and says so as the
// tag runs, ahead of the frame's scripts; a move on that depth is no such attempt.
TEST(TimelineOrder, APlacementOnATakenDepthIsRefusedWithAWarning)
{
    test::SwfWriter movie;
    defineEmptyShape(movie, 1);
    defineEmptyShape(movie, 2);
    movie.placeObject2(placeAt(7, 1)).showFrame();
    movie.doAction(ActionBuilder().trace("frame 2")).placeObject2(placeAt(7, 2)).placeObject2(moveTo(7, 40)).showFrame();
    Running run(movie);
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"Warning: Failed to place object at depth 7.", "frame 2"}));
    EXPECT_EQ(listOf(run.root), "7:1");
}

// MovieClip.prototype.onConstruct runs as createEmptyMovieClip makes each clip, on the
// new clip; what it throws is reported there and does not reach the caller.
TEST(TimelineOrder, ClipsScriptsMakeHearOnConstructAtOnce)
{
    test::SwfWriter movie;
    ActionBuilder root;
    // MovieClip.prototype.onConstruct = function () { trace("made " + this._name); throw "oops"; };
    root.getVariable("MovieClip").pushString("prototype").op(kGetMember).pushString("onConstruct");
    root.defineFunction("", {}, ActionBuilder()
                                    .pushString("made ")
                                    .getVariable("this")
                                    .pushString("_name")
                                    .op(kGetMember)
                                    .op(kAdd2)
                                    .op(kTrace)
                                    .pushString("oops")
                                    .op(kThrow));
    root.op(kSetMember);
    // createEmptyMovieClip("a", 1); trace("after");
    root.pushNumber(1).pushString("a").pushInt(2).pushString("createEmptyMovieClip").op(kCallFunction).pop();
    root.trace("after");
    movie.doAction(root).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"made a", "Warning: Uncaught exception, oops", "after"}));
}

} // namespace

namespace {

// The main timeline places a one-frame clip on its first frame, with the frame's script
// ahead of or behind the placement in the tags, and takes it off on its second frame.
// Coming round again rebuilds the first frame; the scripts keep the tag order they had
// the first time: a script ahead of the placement runs ahead of the new clip's frame.
TEST(TimelineOrder, ComingRoundAgainRunsTheFirstFramesScriptsInTagOrder)
{
    constexpr uint16_t kLeaf = 1;
    for (bool scriptFirst : {true, false}) {
        SCOPED_TRACE(scriptFirst ? "script ahead of the placement" : "script after the placement");
        test::SwfWriter movie;
        test::TagStream leaf;
        leaf.doAction(ActionBuilder().trace("clip")).showFrame();
        movie.defineSprite(kLeaf, 1, leaf);
        if (scriptFirst)
            movie.doAction(ActionBuilder().trace("root")).placeObject2(placeAt(1, kLeaf));
        else
            movie.placeObject2(placeAt(1, kLeaf)).doAction(ActionBuilder().trace("root"));
        movie.showFrame();
        movie.removeObject2(1).showFrame();
        Running run(movie);
        run.step(3);
        const Lines once = scriptFirst ? Lines{"root", "clip"} : Lines{"clip", "root"};
        Lines twice = once;
        twice.insert(twice.end(), once.begin(), once.end());
        EXPECT_EQ(run.traces, twice);
    }
}

} // namespace
