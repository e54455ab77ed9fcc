// Scripts inside movies: clips as script objects, init actions, clip events, gotos
// from scripts, clips made by scripts, timers on the frame clock.

#include "engine/Player.h"
#include "tests/engine/facade/TracedPlayer.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

using test::ActionBuilder;
using test::MovieOptions;
using test::Place;
using test::SwfWriter;
using test::TagStream;
using Lines = std::vector<std::string>;

namespace Op {
constexpr uint8_t Trace = 0x26, GetMember = 0x4E, SetMember = 0x4F, CallMethod = 0x52, TypeOf = 0x44,
                  Increment = 0x50, SetVariable = 0x1D, Add2 = 0x47, Pop = 0x17;
}
namespace Event {
constexpr uint32_t Load = 0x1, EnterFrame = 0x2;
}

using test::Traced;

// `target.member` traced.
ActionBuilder traceMember(std::string_view target, std::string_view member)
{
    ActionBuilder a;
    a.getVariable(target).pushString(member).op(Op::GetMember).op(Op::Trace);
    return a;
}

// `target.method(args)` with string arguments; the result is left on the stack.
ActionBuilder callMethod(std::string_view target, std::string_view method, std::initializer_list<std::string_view> args)
{
    ActionBuilder a;
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        a.pushString(*it);
    a.pushInt(static_cast<int32_t>(args.size())).getVariable(target).pushString(method).op(Op::CallMethod);
    return a;
}

// A sprite of `frames` empty frames.
TagStream emptySprite(int frames)
{
    TagStream s;
    for (int i = 0; i < frames; ++i)
        s.showFrame();
    return s;
}

TEST(ScriptedClips, NamedInstancesAreMembersWithTheirOwnVariables)
{
    SwfWriter w;
    w.defineSprite(2, 2, emptySprite(2));
    Place p;
    p.depth = 1;
    p.characterId = 2;
    p.name = "box";
    w.placeObject2(p);
    ActionBuilder frame1;
    frame1.getVariable("box").op(Op::TypeOf).op(Op::Trace);
    frame1.append(traceMember("box", "_name")).append(traceMember("box", "_target"));
    frame1.getVariable("box").pushString("score").pushNumber(3).op(Op::SetMember);
    w.doAction(frame1).showFrame();
    w.doAction(traceMember("box", "score")).showFrame();
    Traced t(w);
    t.advance(2);
    EXPECT_EQ(t.lines, (Lines{"movieclip", "box", "/box", "3"}));
}

TEST(ScriptedClips, InitActionsRunOnceBeforeTheFramesScript)
{
    SwfWriter w;
    w.defineSprite(2, 1, emptySprite(1));
    w.doAction(ActionBuilder().trace("frame"));
    w.doInitAction(2, ActionBuilder().trace("init"));
    w.showFrame();
    w.doAction(ActionBuilder().trace("frame 2")).showFrame();
    Traced t(w);
    t.advance(3);  // the third step loops back to frame 1
    EXPECT_EQ(t.lines, (Lines{"init", "frame", "frame 2", "frame"}));
}

TEST(ScriptedClips, ClipEventsLoadOnceAndEnterFrameEveryFrameAfter)
{
    SwfWriter w;
    w.defineSprite(2, 1, emptySprite(1));
    Place p;
    p.depth = 1;
    p.characterId = 2;
    p.name = "c";
    p.clipEvents.push_back({Event::Load, ActionBuilder().trace("load")});
    p.clipEvents.push_back({Event::EnterFrame, ActionBuilder().trace("enter")});
    w.placeObject2(p);
    w.doAction(ActionBuilder().trace("frame 1")).showFrame();
    w.doAction(ActionBuilder().trace("frame 2")).showFrame();
    w.doAction(ActionBuilder().op(0x07)).showFrame();  // stop
    Traced t(w);
    t.advance(3);
    EXPECT_EQ(t.lines, (Lines{"load", "frame 1", "enter", "frame 2", "enter"}));
}

TEST(ScriptedClips, ConstructionEventsRunAheadOfTheFrameScriptsQueuedWithThem)
{
    // The frame's script comes first in the stream, the placed clip after it: its
    // initialize and construct handlers still run first, initialize ahead of construct
    // whatever their order in the clip's list (as the reference player's recorded
    // clip_events case shows); load keeps its place.
    constexpr uint32_t initialize = 0x200, construct = 0x40000;
    SwfWriter w;
    w.defineSprite(2, 1, emptySprite(1));
    w.doAction(ActionBuilder().trace("frame 1"));
    Place p;
    p.depth = 1;
    p.characterId = 2;
    p.clipEvents.push_back({Event::Load, ActionBuilder().trace("load")});
    p.clipEvents.push_back({construct, ActionBuilder().trace("construct")});
    p.clipEvents.push_back({initialize, ActionBuilder().trace("initialize")});
    w.placeObject2(p).showFrame();
    Traced t(w);
    t.advance();
    EXPECT_EQ(t.lines, (Lines{"initialize", "construct", "frame 1", "load"}));
}

TEST(ScriptedClips, AFunctionsTargetIsItsCallersClipBeforeSwf6AndItsOwnFrom6)
{
    for (int version : {5, 6}) {
        SCOPED_TRACE(version);
        MovieOptions options;
        options.version = version;
        SwfWriter w(options);
        // The root defines MovieClip.prototype.f, which traces _target; a sprite named c calls it on its
        // second frame and stops.
        ActionBuilder body;
        body.pushString("").pushInt(11).op(0x22).op(Op::Trace);  // GetProperty("", _target)
        TagStream sprite;
        sprite.showFrame();
        sprite.doAction(ActionBuilder().callFunction("f", {}).pop().stop()).showFrame();
        w.defineSprite(2, 2, sprite);
        ActionBuilder define;
        define.getVariable("MovieClip").pushString("prototype").op(Op::GetMember).pushString("f")
            .defineFunction("", {}, body).op(Op::SetMember);
        w.doAction(define);
        Place p;
        p.depth = 1;
        p.characterId = 2;
        p.name = "c";
        w.placeObject2(p).showFrame();
        w.showFrame();
        Traced t(w);
        t.advance(2);
        EXPECT_EQ(t.lines, (Lines{version < 6 ? "/c" : "/"}));
    }
}

TEST(ScriptedClips, ColorTintsAClipAndReadsItsTransformBack)
{
    SwfWriter w;
    w.defineSprite(2, 1, emptySprite(1));
    Place p;
    p.depth = 1;
    p.characterId = 2;
    p.name = "c";
    w.placeObject2(p);
    ActionBuilder a;
    a.pushString("k").getVariable("c").pushInt(1).pushString("Color").op(0x40).op(Op::SetVariable);  // new Color(c)
    a.pushInt(0x336699).pushInt(1).getVariable("k").pushString("setRGB").op(Op::CallMethod).pop();
    a.pushInt(0).getVariable("k").pushString("getRGB").op(Op::CallMethod).op(Op::Trace);
    // setTransform({ra: 50, ab: -20}) keeps the offsets setRGB gave the other channels.
    a.pushString("ra").pushInt(50).pushString("ab").pushInt(-20).pushInt(2).op(0x43).pushInt(1)
        .getVariable("k").pushString("setTransform").op(Op::CallMethod).pop();
    a.pushString("t").pushInt(0).getVariable("k").pushString("getTransform").op(Op::CallMethod).op(Op::SetVariable);
    for (const char* field : {"ra", "rb", "ga", "gb", "aa", "ab"})
        a.append(traceMember("t", field));
    w.doAction(a).showFrame();
    Traced t(w);
    t.advance();
    EXPECT_EQ(t.lines, (Lines{std::to_string(0x336699), "50", "51", "0", "102", "100", "-20"}));
}

TEST(ScriptedClips, TimelineMovesLeaveAClipAScriptHasMoved)
{
    // Frame 2 moves both clips to x = 100; the script moved "a" on frame 1, so only
    // "b" follows the timeline.
    SwfWriter w;
    w.defineSprite(2, 1, emptySprite(1));
    for (uint16_t depth : {1, 2}) {
        Place p;
        p.depth = depth;
        p.characterId = 2;
        p.name = depth == 1 ? "a" : "b";
        w.placeObject2(p);
    }
    w.doAction(ActionBuilder().getVariable("a").pushString("_y").pushInt(5).op(Op::SetMember)).showFrame();
    for (uint16_t depth : {1, 2}) {
        Place move;
        move.depth = depth;
        move.move = true;
        move.matrix = Matrix{1, 0, 0, 1, 2000, 0};
        w.placeObject2(move);
    }
    w.doAction(traceMember("a", "_x").append(traceMember("b", "_x")).stop()).showFrame();
    Traced t(w);
    t.advance(2);
    EXPECT_EQ(t.lines, (Lines{"0", "100"}));
}

TEST(ScriptedClips, AReferenceToARemovedClipReadsAsNothing)
{
    SwfWriter w;
    ActionBuilder a;
    a.pushString("c").pushInt(5).pushString("made").pushInt(2).getVariable("_root")
        .pushString("createEmptyMovieClip").op(Op::CallMethod).op(Op::SetVariable);
    a.pushString("before ").getVariable("c").op(Op::Add2).op(Op::Trace);
    a.pushInt(0).getVariable("c").pushString("removeMovieClip").op(Op::CallMethod).pop();
    a.pushString("after ").getVariable("c").op(Op::Add2).op(Op::Trace);
    a.append(traceMember("c", "_x"));
    w.doAction(a).showFrame();
    Traced t(w);
    t.advance();
    EXPECT_EQ(t.lines, (Lines{"before _level0.made", "after ", "undefined"}));
}

// tellTarget(path) as the SetTarget action.
ActionBuilder setTarget(std::string_view path)
{
    std::vector<uint8_t> payload(path.begin(), path.end());
    payload.push_back(0);
    ActionBuilder a;
    a.raw(0x8B, payload);
    return a;
}

TEST(ScriptedClips, TellTargetOfNothingActsOnTheRootAndItsVariablesFollowTheTarget)
{
    // A child's script: tellTarget("nowhere") { n = 3; gotoFrame(n) } sends the root,
    // stopped on frame 1, to frame 3, reading n where it was just written.
    SwfWriter w;
    TagStream sprite;
    ActionBuilder childScript;
    childScript.append(setTarget("nowhere")).pushString("n").pushInt(3).op(0x3C)
        .getVariable("n").raw(0x9F, std::vector<uint8_t>{0}).append(setTarget("")).stop();
    sprite.doAction(childScript).showFrame();
    w.defineSprite(2, 1, sprite);
    Place p;
    p.depth = 1;
    p.characterId = 2;
    w.placeObject2(p).doAction(ActionBuilder().stop()).showFrame();
    w.doAction(ActionBuilder().trace("two")).showFrame();
    w.doAction(ActionBuilder().trace("three")).showFrame();
    Traced t(w);
    t.advance(2);
    EXPECT_EQ(t.lines, (Lines{"three"}));
    EXPECT_EQ(t.player.currentFrame(), 3);
}

TEST(ScriptedClips, TheGotoFrameActionStopsWhereItLands)
{
    SwfWriter w;
    w.doAction(ActionBuilder().gotoFrame(2)).showFrame();
    w.showFrame();
    w.doAction(ActionBuilder().trace("three")).showFrame();
    w.doAction(ActionBuilder().trace("four")).showFrame();
    Traced t(w);
    t.advance(3);
    EXPECT_EQ(t.lines, (Lines{"three"}));
    EXPECT_EQ(t.player.currentFrame(), 3);
}

TEST(ScriptedClips, RemovedClipsRunTheirUnloadHandlersWithTheirObject)
{
    constexpr uint32_t unload = 0x4;
    SwfWriter w;
    w.defineSprite(2, 1, emptySprite(1));
    Place p;
    p.depth = 1;
    p.characterId = 2;
    p.name = "c";
    ActionBuilder handler;
    handler.pushString("unload ").getVariable("tag").op(Op::Add2).op(Op::Trace);
    p.clipEvents.push_back({unload, handler});
    w.placeObject2(p);
    ActionBuilder frame1;
    frame1.getVariable("c").pushString("tag").pushString("kept").op(Op::SetMember);
    w.doAction(frame1).showFrame();
    w.removeObject2(1);
    w.doAction(ActionBuilder().trace("frame 2").stop()).showFrame();
    Traced t(w);
    t.advance(2);
    // Unload handlers run before the scripts of the frame that removed the clip.
    EXPECT_EQ(t.lines, (Lines{"unload kept", "frame 2"}));
}

TEST(ScriptedClips, GotoInTheMiddleOfAScriptMovesAtOnceAndRunsTheTargetLater)
{
    SwfWriter w;
    ActionBuilder frame1;
    frame1.trace("before").gotoFrame(2);  // zero-based: frame 3
    frame1.pushString("").pushInt(4).op(0x22).op(Op::Trace);  // _currentframe
    frame1.trace("after");
    w.doAction(frame1).showFrame();
    w.doAction(ActionBuilder().trace("frame 2")).showFrame();
    w.doAction(ActionBuilder().trace("frame 3").stop()).showFrame();
    Traced t(w);
    t.advance(1);
    EXPECT_EQ(t.lines, (Lines{"before", "3", "after", "frame 3"}));
    EXPECT_EQ(t.player.currentFrame(), 3);
}

TEST(ScriptedClips, AttachedClipsTakeTheirNameAndDepthAndCanBeRemoved)
{
    SwfWriter w;
    w.defineSprite(2, 1, emptySprite(1));
    w.exportAssets(2, "Widget");
    ActionBuilder frame1;
    frame1.pushNumber(5).pushString("w1").pushString("Widget").pushInt(3).getVariable("_root")
        .pushString("attachMovie").op(Op::CallMethod).op(Op::Pop);
    frame1.append(traceMember("w1", "_name"));
    frame1.append(callMethod("w1", "getDepth", {})).op(Op::Trace);
    frame1.append(callMethod("w1", "removeMovieClip", {})).op(Op::Pop);
    frame1.getVariable("w1").op(Op::TypeOf).op(Op::Trace);
    w.doAction(frame1.stop()).showFrame();
    Traced t(w);
    t.advance();
    EXPECT_EQ(t.lines, (Lines{"w1", "5", "undefined"}));
}

TEST(ScriptedClips, IntervalsFireOnTheFrameClock)
{
    test::MovieOptions options;
    options.frameRate = 10;  // 100 ms a frame
    SwfWriter w(options);
    ActionBuilder tick;
    tick.trace("tick");
    ActionBuilder frame1;
    frame1.pushNumber(250).defineFunction("", {}, tick).pushInt(2).pushString("setInterval").op(0x3D).op(Op::Pop);
    w.doAction(frame1).showFrame();
    w.doAction(ActionBuilder().stop()).showFrame();
    Traced t(w);
    t.advance(6);  // the clock passes 250 ms and 500 ms
    EXPECT_EQ(t.lines, (Lines{"tick", "tick"}));
}

TEST(ScriptedClips, QuitEndsTheMovieAfterItsFrame)
{
    SwfWriter w;
    w.doAction(ActionBuilder().getUrl("FSCommand:Quit", "").trace("same frame")).showFrame();
    w.doAction(ActionBuilder().trace("never")).showFrame();
    Traced t(w);
    t.advance(3);
    EXPECT_EQ(t.lines, (Lines{"same frame"}));
}

} // namespace
} // namespace swf
