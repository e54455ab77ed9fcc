// The player's seek is the main timeline's goto: script state lives on, the frames
// jumped over stay silent, the landing frame's scripts run once, clips come and go
// with their events as a script's goto makes them; and the frame count is the one
// the header declares.

#include "engine/Player.h"
#include "tests/engine/facade/TracedPlayer.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace swf {
namespace {

using test::ActionBuilder;
using test::MovieOptions;
using test::Place;
using test::SwfWriter;
using test::TagStream;
using Lines = std::vector<std::string>;

namespace Op {
constexpr uint8_t Trace = 0x26, GetMember = 0x4E, SetMember = 0x4F, Increment = 0x50, SetVariable = 0x1D,
                  Add2 = 0x47, GetProperty = 0x22;
}
constexpr uint32_t kLoadEvent = 0x1, kUnloadEvent = 0x4;

using test::Traced;

// Frame 1 sets count to 0; every frame k adds one and traces "fk count".
SwfWriter countingMovie(int frames)
{
    SwfWriter w;
    for (int k = 1; k <= frames; ++k) {
        ActionBuilder a;
        if (k == 1)
            a.setVariable("count", ActionBuilder().pushInt(0));
        a.pushString("count").getVariable("count").op(Op::Increment).op(Op::SetVariable);
        a.pushString("f" + std::to_string(k) + " ").getVariable("count").op(Op::Add2).op(Op::Trace);
        w.doAction(a).showFrame();
    }
    return w;
}

TEST(PlayerSeek, VariablesLiveOnAndOnlyTheLandingFrameRuns)
{
    Traced t(countingMovie(20));
    t.advance(10);
    EXPECT_EQ(t.take().back(), "f10 10");
    struct Case {
        int seekTo;
        Lines expected;
    };
    for (const Case& c : {Case{5, {"f5 11"}}, Case{18, {"f18 12"}}, Case{18, {}}, Case{1, {"f1 1"}},
                          Case{-3, {}}, Case{500, {"f20 2"}}}) {
        t.player.seek(c.seekTo);
        EXPECT_EQ(t.take(), c.expected) << "seek to " << c.seekTo;
    }
    t.player.seek(6);
    t.advance(2);
    EXPECT_EQ(t.take(), (Lines{"f6 3", "f7 4", "f8 5"}));
}

// A sprite whose load and unload handlers trace "<name> load" and "<name> unload".
Place tracedClip(uint16_t depth, uint16_t sprite, const std::string& name)
{
    Place p;
    p.depth = depth;
    p.characterId = sprite;
    p.name = name;
    p.clipEvents.push_back({kLoadEvent, ActionBuilder().trace(name + " load")});
    p.clipEvents.push_back({kUnloadEvent, ActionBuilder().trace(name + " unload")});
    return p;
}

// A stays from frame 1 to 4, B comes at frame 5; C lives in frame 3 only. Frame 2's
// script is `before`; every frame k traces "fk".
SwfWriter comingAndGoing(const ActionBuilder& before)
{
    SwfWriter w;
    TagStream sprite;
    sprite.showFrame();
    w.defineSprite(10, 1, sprite);
    for (int k = 1; k <= 9; ++k) {
        if (k == 1)
            w.placeObject2(tracedClip(1, 10, "A"));
        if (k == 3)
            w.placeObject2(tracedClip(3, 10, "C"));
        if (k == 4)
            w.removeObject2(3);
        if (k == 5) {
            w.removeObject2(1);
            w.placeObject2(tracedClip(2, 10, "B"));
        }
        ActionBuilder a;
        a.trace("f" + std::to_string(k));
        if (k == 2)
            a.append(before);
        w.doAction(a).showFrame();
    }
    return w;
}

TEST(PlayerSeek, ClipsComeAndGoWithTheirEventsAsAScriptsGotoMakesThem)
{
    Traced byScript(comingAndGoing(ActionBuilder().gotoFrame(7).stop()));
    byScript.advance(2);
    Traced bySeek(comingAndGoing(ActionBuilder()));
    bySeek.advance(2);
    bySeek.player.seek(8);
    EXPECT_EQ(bySeek.lines, byScript.lines);
    Lines afterJump(bySeek.lines.begin() + 3, bySeek.lines.end());
    EXPECT_EQ(bySeek.lines.front(), "A load");
    std::ranges::sort(afterJump);
    // A short jump ahead plays the skipped frames' placements: C, which lives only in a
    // frame jumped over, comes and goes (its load and unload handlers both run), as the
    // corpus's goto cases show the reference player doing.
    EXPECT_EQ(afterJump, (Lines{"A unload", "B load", "C load", "C unload", "f8"}));
    EXPECT_EQ(bySeek.lines.back(), "f8");

    bySeek.take();
    bySeek.player.seek(1);
    Lines back = bySeek.take();
    EXPECT_EQ(back.back(), "f1");
    std::ranges::sort(back);
    EXPECT_EQ(back, (Lines{"A load", "B unload", "f1"}));
    bySeek.player.seek(2);
    bySeek.player.seek(3);
    EXPECT_EQ(bySeek.take(), (Lines{"f2", "C load", "f3"}));
}

TEST(PlayerSeek, AClipThatStaysKeepsItsVariablesAcrossSeeksBothWays)
{
    MovieOptions options;
    options.version = 6;  // undefined counts as 0
    SwfWriter w(options);
    TagStream sprite;
    sprite.showFrame();
    w.defineSprite(10, 1, sprite);
    Place p;
    p.depth = 1;
    p.characterId = 10;
    p.name = "s";
    w.placeObject2(p).showFrame();
    // Frame 2: s.n = s.n + 1. Frame 9: trace(s.n).
    ActionBuilder bump;
    bump.getVariable("s").pushString("n").getVariable("s").pushString("n").op(Op::GetMember).op(Op::Increment)
        .op(Op::SetMember);
    w.doAction(bump).showFrame();
    for (int k = 3; k <= 8; ++k)
        w.showFrame();
    w.doAction(ActionBuilder().getVariable("s").pushString("n").op(Op::GetMember).op(Op::Trace)).showFrame();
    Traced t(w);
    t.advance(2);
    t.player.seek(9);
    t.player.seek(2);
    t.player.seek(9);
    EXPECT_EQ(t.lines, (Lines{"1", "2"}));
}

TEST(PlayerSeek, ReportsTheLandingFrameOnlyOnceTheGotoIsDone)
{
    Traced t(countingMovie(40));
    t.advance();
    t.player.seek(35);
    EXPECT_EQ(t.player.currentFrame(), 35);
    t.player.play();
    t.advance();
    EXPECT_EQ(t.player.currentFrame(), 36);
    EXPECT_EQ(t.take().back(), "f36 3");
}

// Traces the main timeline's _totalframes on frame 1.
SwfWriter tracingTotalFrames(std::optional<int> declared, int held)
{
    MovieOptions options;
    options.frameCount = declared;
    SwfWriter w(options);
    w.doAction(ActionBuilder().pushString("").pushInt(5).op(Op::GetProperty).op(Op::Trace)).showFrame();
    for (int k = 2; k <= held; ++k)
        w.doAction(ActionBuilder().trace("f" + std::to_string(k))).showFrame();
    return w;
}

TEST(PlayerFrameCount, IsTheHeadersCountAsScriptsAndInfoSeeIt)
{
    struct Case {
        int declared;
        int held;
    };
    for (const Case& c : {Case{0, 1}, Case{3, 6}, Case{9, 2}}) {
        SCOPED_TRACE(c.declared);
        Traced t(tracingTotalFrames(c.declared, c.held));
        EXPECT_EQ(t.player.frameCount(), c.declared);
        EXPECT_EQ(t.player.info().frameCount, c.declared);
        t.advance();
        EXPECT_EQ(t.lines, (Lines{std::to_string(c.declared)}));
        // The timeline plays, and seeks into, the frames the movie holds: a frame
        // declared but missing from the stream never loads.
        t.player.seek(100);
        EXPECT_EQ(t.player.currentFrame(), c.held);
        t.player.seek(0);
        EXPECT_EQ(t.player.currentFrame(), 1);
    }
}

} // namespace
} // namespace swf
