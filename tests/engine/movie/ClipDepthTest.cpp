// Depths as scripts use them: the whole range from the first timeline depth (-16384)
// to 2130690044 for attachMovie, createEmptyMovieClip and duplicateMovieClip, what
// swapDepths takes (numbers, paths, clips, nothing), and how the timeline treats a
// clip a script moved.

#include "MovieFixture.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kCallMethod = 0x52, kDefineLocal = 0x3C, kCloneSprite = 0x24;
constexpr uint16_t kSprite = 2;

struct Undefined {};
using Arg = std::variant<double, std::string, Undefined>;

void push(ActionBuilder& a, const Arg& v)
{
    if (auto* n = std::get_if<double>(&v))
        a.pushNumber(*n);
    else if (auto* s = std::get_if<std::string>(&v))
        a.pushString(*s);
    else
        a.pushUndefined();
}

ActionBuilder& callOn(ActionBuilder& a, std::string_view target, std::string_view method, std::vector<Arg> args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        push(a, *it);
    return a.pushInt(static_cast<int32_t>(args.size())).getVariable(target).pushString(method).op(kCallMethod);
}

void traceDepth(ActionBuilder& a, std::string_view clip)
{
    callOn(a, clip, "getDepth", {}).op(kTrace);
}

// A movie with an exported one-frame sprite "sym"; the root's first frame runs `script`.
Lines runFrame(const ActionBuilder& script)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    movie.exportAssets(kSprite, "sym");
    movie.doAction(script).showFrame();
    Running run(movie);
    run.step();
    return run.traces;
}

struct DepthCase {
    double depth;
    std::string expected;  // getDepth() of the new clip, or "undefined" when refused
};

const DepthCase kDepthCases[] = {
    {-16385, "undefined"}, {-16384, "-16384"}, {-16, "-16"},          {0, "0"},
    {65535, "65535"},      {1048575, "1048575"}, {1147483648, "1147483648"},
    {2130690044, "2130690044"}, {2130690045, "undefined"}, {4294967296.0 + 5, "5"},
};

TEST(ScriptDepths, AttachMovieTakesTheWholeRange)
{
    for (const DepthCase& c : kDepthCases) {
        ActionBuilder a;
        callOn(a, "this", "attachMovie", {std::string("sym"), std::string("c"), c.depth}).pop();
        traceDepth(a, "c");
        EXPECT_EQ(runFrame(a), (Lines{c.expected})) << "depth " << c.depth;
    }
}

TEST(ScriptDepths, CreateEmptyMovieClipTakesTheWholeRange)
{
    for (const DepthCase& c : kDepthCases) {
        ActionBuilder a;
        callOn(a, "this", "createEmptyMovieClip", {std::string("c"), c.depth}).pop();
        traceDepth(a, "c");
        EXPECT_EQ(runFrame(a), (Lines{c.expected})) << "depth " << c.depth;
    }
}

TEST(ScriptDepths, DuplicateMovieClipTakesTheWholeRangeAsMethodAndAction)
{
    for (const DepthCase& c : kDepthCases) {
        ActionBuilder method;
        callOn(method, "this", "createEmptyMovieClip", {std::string("o"), 1.0}).pop();
        callOn(method, "o", "duplicateMovieClip", {std::string("c"), c.depth}).pop();
        traceDepth(method, "c");
        EXPECT_EQ(runFrame(method), (Lines{c.expected})) << "method, depth " << c.depth;

        // The action takes the depth counted from the first timeline depth.
        if (c.depth > 4294967296.0)
            continue;
        ActionBuilder action;
        callOn(action, "this", "createEmptyMovieClip", {std::string("o"), 1.0}).pop();
        action.pushString("o").pushString("c").pushNumber(c.depth + 16384).op(kCloneSprite);
        traceDepth(action, "c");
        EXPECT_EQ(runFrame(action), (Lines{c.expected})) << "action, depth " << c.depth;
    }
}

TEST(ScriptDepths, HighDepthsAreFoundRemovedAndCountedByTheNextHighest)
{
    ActionBuilder a;
    callOn(a, "this", "createEmptyMovieClip", {std::string("low"), 3.0}).pop();
    callOn(a, "this", "createEmptyMovieClip", {std::string("top"), 1048575.0}).pop();
    callOn(a, "this", "getNextHighestDepth", {}).op(kTrace);
    callOn(a, "this", "getInstanceAtDepth", {1048575.0}).op(kTrace);
    callOn(a, "this", "getInstanceAtDepth", {2130690045.0}).op(kTrace);
    callOn(a, "top", "removeMovieClip", {}).pop();
    a.getVariable("top").op(kTrace);
    callOn(a, "this", "getNextHighestDepth", {}).op(kTrace);
    EXPECT_EQ(runFrame(a), (Lines{"1048576", "_level0.top", "undefined", "undefined", "4"}));
}

// Three clips a (-16383), b (-16382) and c in a child clip, made by the root's first
// frame; `swap` then runs and the depths of a and b are traced.
Lines afterSwap(const ActionBuilder& swap)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    test::Place a = placeAt(1, kSprite);
    a.name = "a";
    test::Place b = placeAt(2, kSprite);
    b.name = "b";
    movie.placeObject2(a).placeObject2(b);
    ActionBuilder script;
    callOn(script, "b", "createEmptyMovieClip", {std::string("c"), 5.0}).pop();
    script.append(swap);
    traceDepth(script, "a");
    traceDepth(script, "b");
    movie.doAction(script).showFrame();
    Running run(movie);
    run.step();
    return run.traces;
}

TEST(SwapDepths, TakesNumbersPathsAndSiblingsButNotNothing)
{
    struct Case {
        const char* what;
        Arg target;
        Lines depths;  // of a, then b
    };
    const Case cases[] = {
        {"a number", 7.5, {"7", "-16382"}},
        {"NaN", std::string("not a number"), {"0", "-16382"}},
        {"undefined", Undefined{}, {"-16383", "-16382"}},
        {"a sibling's path", std::string("../b"), {"-16382", "-16383"}},
        {"a sibling's name", std::string("_parent.b"), {"-16382", "-16383"}},
        {"a clip of another parent", std::string("../b/c"), {"-16383", "-16382"}},
        {"the top depth", 2130690044.0, {"2130690044", "-16382"}},
        {"past the top depth", 2130690045.0, {"-16383", "-16382"}},
        {"below the timeline", -16385.0, {"-16383", "-16382"}},
    };
    for (const Case& c : cases) {
        ActionBuilder swap;
        callOn(swap, "a", "swapDepths", {c.target}).pop();
        EXPECT_EQ(afterSwap(swap), c.depths) << c.what;
    }
}

TEST(SwapDepths, ASiblingGivenAsAClipTradesPlaces)
{
    ActionBuilder swap;
    swap.getVariable("b").pushInt(1).getVariable("a").pushString("swapDepths").op(kCallMethod).pop();
    EXPECT_EQ(afterSwap(swap), (Lines{"-16382", "-16383"}));
}

// The root places "a" at depth 1 and "b" at depth 3; frame 1 swaps them, frame 2
// removes depth 1 and moves depth 3.
TEST(SwapDepths, TheTimelineRemovesWhatIsAtItsDepthButNoLongerMovesIt)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    test::Place a = placeAt(1, kSprite, 200);
    a.name = "a";
    test::Place b = placeAt(3, kSprite, 400);
    b.name = "b";
    ActionBuilder swap;
    callOn(swap, "a", "swapDepths", {std::string("../b")}).pop();
    movie.placeObject2(a).placeObject2(b).doAction(swap).showFrame();
    ActionBuilder check;
    check.getVariable("a").op(kTrace).getVariable("b").op(kTrace);
    check.getVariable("a").pushString("_x").op(0x4E).op(kTrace);
    movie.removeObject2(1).placeObject2(moveTo(3, 990)).doAction(check).showFrame();
    Running run(movie);
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"_level0.a", "undefined", "10"}));
}

// Frame 1 has nothing; frame 2 makes "low" at depth -100 and "high" at depth 5, then
// frame 3 goes back to frame 1: what a script put among the timeline's depths goes,
// what sits at the depths scripts own stays.
TEST(BackwardGoto, KeepsOnlyTheClipsAtScriptDepths)
{
    test::SwfWriter movie;
    movie.showFrame();
    ActionBuilder make;
    callOn(make, "this", "createEmptyMovieClip", {std::string("low"), -100.0}).pop();
    callOn(make, "this", "createEmptyMovieClip", {std::string("high"), 5.0}).pop();
    movie.doAction(make).showFrame();
    ActionBuilder back;
    back.stop().gotoFrame(0);
    back.getVariable("low").op(kTrace).getVariable("high").op(kTrace);
    movie.doAction(back).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"undefined", "_level0.high"}));
}

// attachMovie twice at one depth in one script: the first clip is gone before its first
// frame's script has its turn, and the clip that took its place runs its own once.
TEST(ReplacedClip, QueuedWorkOfTheRemovedInstanceDoesNotRun)
{
    test::SwfWriter movie;
    test::TagStream sprite;
    sprite.doAction(ActionBuilder().getVariable("_name").op(kTrace)).showFrame();
    movie.defineSprite(kSprite, 1, sprite);
    movie.exportAssets(kSprite, "sym");
    ActionBuilder a;
    callOn(a, "this", "attachMovie", {std::string("sym"), std::string("c"), 0.0}).pop();
    callOn(a, "this", "attachMovie", {std::string("sym"), std::string("c"), 0.0}).pop();
    callOn(a, "this", "attachMovie", {std::string("sym"), std::string("d"), 1.0}).pop();
    movie.doAction(a).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"c", "d"}));
}

} // namespace

namespace {

// Frame 1 places "a" (with an unload handler tracing `this`) at depth 100; frame 2
// removes it and asks for its depth; frame 3 looks for it again. The handler finds the
// clip where it was, the script after it finds it at its parting depth (-32769 minus its
// depth), and the next frame step takes it away.
TEST(RemovedClip, WithAnUnloadHandlerWaitsAtItsPartingDepthUntilTheNextFrame)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    test::Place a = placeAt(100, kSprite);
    a.name = "a";
    a.clipEvents.emplace_back(0x4, ActionBuilder().getVariable("this").op(kTrace));
    movie.placeObject2(a).showFrame();
    ActionBuilder after;
    traceDepth(after, "a");
    after.getVariable("a").pushString("_name").op(0x4E).op(kTrace);
    movie.removeObject2(100).doAction(after).showFrame();
    movie.doAction(ActionBuilder().stop().getVariable("a").op(0x44).op(kTrace)).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"_level0.a", "-16485", "a", "undefined"}));
}

// Two clips with unload handlers leave together and wait at their parting depths; a
// swap between them, or of one with a live clip, moves neither.
TEST(RemovedClip, WaitingAtItsPartingDepthItIsNotSwapped)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    for (uint16_t depth : {1, 2, 3}) {
        test::Place p = placeAt(depth, kSprite);
        p.name = std::string(1, static_cast<char>('a' + depth - 1));
        if (depth < 3)
            p.clipEvents.emplace_back(0x4, ActionBuilder());
        movie.placeObject2(p);
    }
    movie.showFrame();
    ActionBuilder after;
    after.getVariable("b").pushInt(1).getVariable("a").pushString("swapDepths").op(kCallMethod).pop();
    after.getVariable("a").pushInt(1).getVariable("c").pushString("swapDepths").op(kCallMethod).pop();
    traceDepth(after, "a");
    traceDepth(after, "b");
    traceDepth(after, "c");
    movie.removeObject2(1).removeObject2(2).doAction(after.stop()).showFrame();
    Running run(movie);
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"-16386", "-16387", "-16381"}));
}

// Frame 1 places "a" at depth 1, "b" at depth 3 and "c" at depth 4; frame 2 swaps a and
// b and duplicates c over itself as "d"; frame 3 goes back to frame 1. The swapped
// timeline clips hold the depths the first frame places at (its placements there fail);
// the clip a script made goes, and the first frame's own "c" comes back.
TEST(BackwardGoto, SwappedTimelineClipsHoldTheirDepthsAndScriptMadeOnesGo)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    test::Place a = placeAt(1, kSprite), b = placeAt(3, kSprite), c = placeAt(4, kSprite);
    a.name = "a";
    b.name = "b";
    c.name = "c";
    movie.placeObject2(a).placeObject2(b).placeObject2(c).showFrame();
    ActionBuilder change;
    change.getVariable("b").pushInt(1).getVariable("a").pushString("swapDepths").op(kCallMethod).pop();
    callOn(change, "c", "duplicateMovieClip", {std::string("d"), -16380.0}).pop();
    movie.doAction(change).showFrame();
    ActionBuilder back;
    back.stop().gotoFrame(0);
    traceDepth(back, "a");
    traceDepth(back, "b");
    back.getVariable("d").op(0x44).op(kTrace).getVariable("c").op(0x44).op(kTrace);
    movie.doAction(back).showFrame();
    Running run(movie);
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"-16381", "-16383", "undefined", "movieclip"}));
}

} // namespace

namespace {

// One onClipEvent handler for load, initialize and construct runs once for each: the
// initialize and construct runs come ahead of the frame's script, the load run after
// it, even with the script ahead of the placement in the frame.
TEST(ClipEvents, AHandlerForSeveralPlacementEventsRunsOnceForEach)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    test::Place a = placeAt(1, kSprite);
    a.name = "a";
    a.clipEvents.emplace_back(0x1 | 0x200 | 0x40000, ActionBuilder().pushString("h").op(kTrace));
    movie.doAction(ActionBuilder().pushString("frame").op(kTrace)).placeObject2(a).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"h", "h", "frame", "h"}));
}

} // namespace
