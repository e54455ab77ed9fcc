// Clip geometry and members as scripts see them: bounds through nested turned clips,
// _width and _height on a turned clip, hitTest boxes under a moved root, _levelN and
// child names read as members, and the order for..in lists a clip's names in.

#include "MovieFixture.h"
#include "tests/support/TextWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kEnumerate2 = 0x55,
                  kEquals2 = 0x49;
constexpr uint16_t kShape = 1, kInner = 2, kOuter = 3, kEmpty = 4, kLeaf = 5;

Matrix turned(double degrees, double x = 0, double y = 0)
{
    const double r = degrees * std::numbers::pi / 180;
    return Matrix{std::cos(r), std::sin(r), -std::sin(r), std::cos(r), x, y};
}

test::Place placed(uint16_t depth, uint16_t character, const Matrix& m, std::optional<std::string> name = {})
{
    test::Place p;
    p.depth = depth;
    p.characterId = character;
    p.matrix = m;
    p.name = std::move(name);
    return p;
}

void traceMember(ActionBuilder& a, std::string_view target, std::string_view member)
{
    a.getVariable(target).pushString(member).op(kGetMember).op(kTrace);
}

void setMember(ActionBuilder& a, std::string_view target, std::string_view member, double value)
{
    a.getVariable(target).pushString(member).pushNumber(value).op(kSetMember);
}

// Traces xMin, xMax, yMin and yMax of target.getBounds(space) (no argument when
// `space` is empty).
void traceBounds(ActionBuilder& a, std::string_view target, std::string_view space)
{
    for (const char* side : {"xMin", "xMax", "yMin", "yMax"}) {
        if (space.empty())
            a.pushInt(0);
        else
            a.getVariable(space).pushInt(1);
        a.getVariable(target).pushString("getBounds").op(kCallMethod).pushString(side).op(kGetMember).op(kTrace);
    }
}

Lines run(test::SwfWriter& movie, const ActionBuilder& script)
{
    movie.doAction(script).showFrame();
    Running running(movie);
    running.step();
    return running.traces;
}

// outer, at the root's origin, holds inner turned 45 degrees, which holds leaf turned
// 45 degrees too, which holds a 10 px square at its origin; outer also holds an empty
// clip far off.
test::SwfWriter nestedTurnedClips()
{
    test::SwfWriter movie;
    defineEmptyShape(movie, kShape);
    movie.defineSprite(kEmpty, 1, test::TagStream().showFrame());
    test::TagStream leaf;
    leaf.placeObject2(placed(1, kShape, Matrix{})).showFrame();
    movie.defineSprite(kLeaf, 1, leaf);
    test::TagStream inner;
    inner.placeObject2(placed(1, kLeaf, turned(45), "leaf")).showFrame();
    movie.defineSprite(kInner, 1, inner);
    test::TagStream outer;
    outer.placeObject2(placed(1, kInner, turned(45), "inner"))
        .placeObject2(placed(2, kEmpty, at(4000, 4000)))
        .showFrame();
    movie.defineSprite(kOuter, 1, outer);
    movie.placeObject2(placed(1, kOuter, Matrix{}, "outer"));
    return movie;
}

TEST(ClipBounds, ShapesGoThroughTheWholeChainOfMatricesAndEmptyClipsAddNoPoint)
{
    test::SwfWriter movie = nestedTurnedClips();
    ActionBuilder a;
    // The square turned a quarter: a box of its own size, not the 20 px box around
    // inner's turned box, and not reaching the empty clip at (200, 200).
    traceBounds(a, "outer", "");
    // In another clip's space the clip's own box is turned: inner's box (the square
    // turned 45 degrees, 14.15 px wide) seen from leaf, turned back by 45 degrees;
    // "inner:leaf" names leaf as a member of the clip at the path.
    a.pushString("inner:leaf").pushInt(1).getVariable("outer").pushString("getBounds").op(kCallMethod)
        .pushString("xMax").op(kGetMember).op(kTrace);
    EXPECT_EQ(run(movie, a), (Lines{"-10", "0", "0", "10", "10"}));
}

// A clip of a 10 px by 20 px box at the root, turned by `degrees`, with both scales
// at 100; `probe` then sets and reads its sizes.
Lines onTurnedBox(double degrees, const std::function<void(ActionBuilder&)>& probe)
{
    test::SwfWriter movie;
    movie.defineEmptyShape(kShape, Rect{0, 200, 0, 400});
    test::TagStream box;
    box.placeObject2(placed(1, kShape, Matrix{})).showFrame();
    movie.defineSprite(kInner, 1, box);
    movie.placeObject2(placed(1, kInner, Matrix{}, "box"));
    ActionBuilder a;
    setMember(a, "box", "_rotation", degrees);
    probe(a);
    return run(movie, a);
}

TEST(ClipSize, SettingASideScalesTheTurnedBoxAndKeepsTheOtherSidesSize)
{
    auto traceState = [](ActionBuilder& a) {
        for (const char* p : {"_width", "_height", "_xscale", "_yscale"})
            traceMember(a, "box", p);
    };
    // Unturned: the named side takes the new size, the other keeps its own.
    EXPECT_EQ(onTurnedBox(0,
                          [&](ActionBuilder& a) {
                              setMember(a, "box", "_width", 30);
                              traceState(a);
                          }),
              (Lines{"30", "20", "300", "100"}));
    // A quarter turn: the first _width scales the box's own x axis, which now lies
    // upright, so the width shows no change; a second one then scales the y axis.
    EXPECT_EQ(onTurnedBox(90,
                          [&](ActionBuilder& a) {
                              setMember(a, "box", "_width", 10);
                              traceState(a);
                              setMember(a, "box", "_width", 10);
                              traceState(a);
                          }),
              (Lines{"20", "5", "50", "100", "10", "5", "50", "50"}));
    // _height alike, and NaN changes nothing.
    EXPECT_EQ(onTurnedBox(0,
                          [&](ActionBuilder& a) {
                              setMember(a, "box", "_height", 5);
                              a.getVariable("box").pushString("_height").pushString("x").op(kSetMember);
                              traceState(a);
                          }),
              (Lines{"10", "5", "100", "25"}));
}

TEST(ClipSize, AnEmptyClipGivenASizeScalesToNothing)
{
    test::SwfWriter movie;
    ActionBuilder a;
    a.pushNumber(1).pushString("e").pushInt(2).getVariable("_root").pushString("createEmptyMovieClip").op(kCallMethod)
        .op(0x17);
    setMember(a, "e", "_width", 20);
    traceMember(a, "e", "_xscale");
    traceMember(a, "e", "_yscale");
    EXPECT_EQ(run(movie, a), (Lines{"0", "0"}));
}

TEST(HitTest, APointIsInTheRootsSpaceAndTheBoxAsItShowsOnTheStage)
{
    test::SwfWriter movie;
    defineEmptyShape(movie, kShape);  // 0..10 px
    test::TagStream box;
    box.placeObject2(placed(1, kShape, Matrix{})).showFrame();
    movie.defineSprite(kInner, 1, box);
    movie.placeObject2(placed(1, kInner, at(2000, 2000), "c"));
    ActionBuilder a;
    setMember(a, "_root", "_rotation", 45);
    // (104, 98) is just above the clip in the root's space, but inside the larger box
    // around the turned clip on the stage; (96, 96) lies outside that box too.
    for (auto [x, y] : {std::pair{104.0, 98.0}, std::pair{96.0, 96.0}, std::pair{105.0, 105.0}}) {
        a.pushBool(false).pushNumber(y).pushNumber(x).pushInt(3).getVariable("c").pushString("hitTest").op(kCallMethod)
            .op(kTrace);
    }
    EXPECT_EQ(run(movie, a), (Lines{"true", "false", "true"}));
}

// Clips named "_x" and "_level0" and a plain one at the root.
test::SwfWriter clipsWithPropertyNames()
{
    test::SwfWriter movie;
    movie.defineSprite(kInner, 1, test::TagStream().showFrame());
    defineEmptyShape(movie, kShape);
    movie.placeObject2(placed(1, kInner, Matrix{}, "_x"))
        .placeObject2(placed(2, kInner, Matrix{}, "_level0"))
        .placeObject2(placed(3, kShape, Matrix{}, "square"))
        .placeObject2(placed(4, kInner, Matrix{}, "plain"));
    return movie;
}

TEST(ClipMembers, ChildrenComeBeforePropertiesAndLevelNamesBeforeChildren)
{
    struct Case {
        std::string member, expected;
    } cases[] = {
        {"_x", "_level0._x"},         // the child, not the root's position
        {"_level0", "_level0"},       // the level, not the child of that name
        {"_level", "_level0"},        // the bare word is level 0
        {"_flash0", "_level0"},       // the older name of the levels
        {"_level4294967296", "_level0"},  // the number wraps at 32 bits
        {"_level2147483648", "undefined"},
        {"_level1", "undefined"},     // no such level; never the prototype's member
        {"square", "_level0"},        // a named shape reaches the clip it sits in
    };
    for (const Case& c : cases) {
        test::SwfWriter movie = clipsWithPropertyNames();
        ActionBuilder a;
        a.getVariable("MovieClip").pushString("prototype").op(kGetMember).pushString("_level1").pushNumber(99)
            .op(kSetMember);
        traceMember(a, "_root", c.member);
        EXPECT_EQ(run(movie, a), (Lines{c.expected})) << c.member;
    }
    // Writing "_x" moves the root; a member stored as "_level0" is read first.
    test::SwfWriter movie = clipsWithPropertyNames();
    ActionBuilder a;
    setMember(a, "_root", "_x", 42);
    setMember(a, "_root", "_level0", 50);
    a.pushString("").pushNumber(0).op(0x22).op(kTrace);  // GetProperty("", _x)
    traceMember(a, "_root", "_level0");
    a.getVariable("_level0").op(kTrace);
    EXPECT_EQ(run(movie, a), (Lines{"42", "50", "50"}));
}

TEST(ClipEnumeration, NamedChildrenOfEveryKindComeAfterTheClipsOwnMembers)
{
    test::SwfWriter movie = clipsWithPropertyNames();
    ActionBuilder a;
    a.pushString("own").pushNumber(1).op(0x1D);  // SetVariable: a member of the root
    // for (name in _root) trace(name);
    a.getVariable("_root").op(kEnumerate2);
    ActionBuilder body;
    body.pushRegister(0).op(kTrace);
    const size_t loopStart = a.size();
    a.storeRegister(0).pushNull().op(kEquals2);
    a.branchIfTrue(static_cast<int16_t>(body.size() + 5));  // past the body and the jump back
    a.append(body);
    a.jump(static_cast<int16_t>(-static_cast<int>(a.size() + 5 - loopStart)));
    EXPECT_EQ(run(movie, a), (Lines{"own", "plain", "square", "_level0", "_x"}));
}

} // namespace

namespace {

// typeof of `_root[method]` in a movie of SWF `version`.
std::string methodType(int version, std::string_view method)
{
    test::MovieOptions options;
    options.version = version;
    test::SwfWriter movie(options);
    ActionBuilder a;
    a.getVariable("_root").pushString(method).op(kGetMember).op(0x44).op(kTrace);  // TypeOf
    movie.doAction(a).showFrame();
    Running running(movie);
    running.step();
    return running.traces.empty() ? std::string() : running.traces.front();
}

TEST(ClipMethods, ThoseOfLaterPlayersAreHiddenFromOlderMovies)
{
    struct Case {
        std::string method;
        int since;
    } cases[] = {
        {"getDepth", 6},          {"createEmptyMovieClip", 6}, {"setMask", 6},     {"attachAudio", 6},
        {"getNextHighestDepth", 7}, {"getInstanceAtDepth", 7}, {"getSWFVersion", 7}, {"getRect", 8},
        {"getBounds", 5},         {"swapDepths", 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(methodType(c.since, c.method), "function") << c.method << " in SWF " << c.since;
        if (c.since > 5) {
            EXPECT_EQ(methodType(c.since - 1, c.method), "undefined") << c.method << " in SWF " << c.since - 1;
        }
    }
}

// Clips inherit enabled and useHandCursor, both true, from MovieClip.prototype:
// interface components draw themselves disabled while `enabled` reads false. A value a
// script sets shadows the prototype's, and deleting it brings the prototype's back.
TEST(ClipMembers, EnabledAndUseHandCursorStartTrueOnThePrototype)
{
    test::SwfWriter movie;
    ActionBuilder a;
    traceMember(a, "_root", "enabled");
    traceMember(a, "_root", "useHandCursor");
    a.getVariable("_root").pushString("enabled").pushBool(false).op(kSetMember);
    traceMember(a, "_root", "enabled");
    a.getVariable("_root").pushString("enabled").op(0x3A).op(kTrace);  // Delete
    traceMember(a, "_root", "enabled");
    EXPECT_EQ(run(movie, a), (Lines{"true", "true", "false", "true", "true"}));
}

} // namespace

namespace {

// hitTest(x, y, true) on a clip holding the static text "AB" at its origin: two 6 px
// square glyphs 10 px apart standing on a baseline 12 px down, in a 100 px text box.
TEST(HitTest, WithTheShapeFlagAStaticTextCountsOnlyWhereItsGlyphsAre)
{
    using namespace lanfan::test;
    FontSpec font;
    for (uint16_t code : {'A', 'B'})
        font.glyphs.push_back({squareGlyph(512), code, 200, {}});
    TextRecord line;
    line.fontId = 1;
    line.height = 240;
    line.color = Rgba{0, 0, 0, 255};
    line.xOffset = 0;
    line.yOffset = 240;
    line.glyphs = {{0, 200}, {1, 200}};
    test::SwfWriter movie;
    movie.tag(48, withId(1, encodeDefineFont2(font)));
    movie.tag(11, withId(2, encodeDefineText(11, {0, 2000, 0, 2000}, {}, {line})));
    test::TagStream holder;
    holder.placeObject2(placed(1, 2, Matrix{})).showFrame();
    movie.defineSprite(kInner, 1, holder);
    movie.placeObject2(placed(1, kInner, Matrix{}, "c"));
    ActionBuilder a;
    struct Probe {
        double x, y;
    } probes[] = {{3, 9}, {13, 9}, {8, 9}, {3, 3}, {50, 50}};
    for (const Probe& p : probes) {
        a.pushBool(true).pushNumber(p.y).pushNumber(p.x).pushInt(3).getVariable("c").pushString("hitTest")
            .op(kCallMethod).op(kTrace);
    }
    // On A, on B; between them, above A and far inside the box only: no.
    EXPECT_EQ(run(movie, a), (Lines{"true", "true", "false", "false", "false"}));
}

// c holds a clipping layer "m" at depth 1 masking depths 2..3, clip "a" at depth 2
// under it and clip "b" at depth 4 above it; the script draws a 10 px square into
// each: m at the origin, a at (5, 5), b at (20, 0). "d" and its mask "k" stand apart.
TEST(HitTest, WithTheShapeFlagAClippingLayerLimitsWhatItMasksAndSetMaskTheClipItself)
{
    test::SwfWriter movie;
    movie.defineSprite(kEmpty, 1, test::TagStream().showFrame());
    test::Place layer = placed(1, kEmpty, Matrix{}, "m");
    layer.clipDepth = 3;
    test::TagStream holder;
    holder.placeObject2(layer)
        .placeObject2(placed(2, kEmpty, Matrix{}, "a"))
        .placeObject2(placed(4, kEmpty, Matrix{}, "b"))
        .showFrame();
    movie.defineSprite(kOuter, 1, holder);
    movie.placeObject2(placed(1, kOuter, Matrix{}, "c"));
    movie.placeObject2(placed(2, kEmpty, Matrix{}, "d"));
    movie.placeObject2(placed(3, kEmpty, Matrix{}, "k"));
    ActionBuilder a;
    auto call = [&a](std::string_view target, std::string_view method, std::vector<double> args) {
        for (auto it = args.rbegin(); it != args.rend(); ++it)
            a.pushNumber(*it);
        a.pushInt(static_cast<int32_t>(args.size())).getVariable(target).pushString(method).op(kCallMethod).pop();
    };
    auto square = [&call](std::string_view target, double x, double y) {
        call(target, "beginFill", {0});
        call(target, "moveTo", {x, y});
        call(target, "lineTo", {x + 10, y});
        call(target, "lineTo", {x + 10, y + 10});
        call(target, "lineTo", {x, y + 10});
        call(target, "endFill", {});
    };
    square("c.m", 0, 0);
    square("c.a", 5, 5);
    square("c.b", 20, 0);
    square("d", 100, 0);
    square("k", 105, 0);
    // d.setMask(k)
    a.getVariable("k").pushInt(1).getVariable("d").pushString("setMask").op(kCallMethod).pop();
    struct Probe {
        std::string_view clip;
        double x, y;
    } probes[] = {{"c", 7, 7}, {"c", 12, 12}, {"c", 2, 2}, {"c", 22, 2}, {"d", 107, 5}, {"d", 102, 5}, {"k", 112, 5}};
    for (const Probe& p : probes) {
        a.pushBool(true).pushNumber(p.y).pushNumber(p.x).pushInt(3).getVariable(p.clip).pushString("hitTest")
            .op(kCallMethod).op(kTrace);
    }
    // a where the layer covers it; a outside it and the layer alone: no; b, above the
    // layer: yes. d where k covers it, not beside it; k itself counts as any clip.
    EXPECT_EQ(run(movie, a), (Lines{"true", "false", "false", "true", "true", "false", "true"}));
}

} // namespace
