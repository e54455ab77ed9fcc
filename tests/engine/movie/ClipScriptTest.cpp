// Movie clips as scripts see them: the names the timeline gives unnamed instances,
// references to clips that left the stage, scripts whose own clip leaves, the init
// object of attachMovie against a registered class's constructor, symbols exported in
// later frames, the order arguments convert in, and WaitForFrame.

#include "MovieFixture.h"

#include "engine/movie/RenderTreeBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <variant>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kDefineLocal = 0x3C,
                  kInitObject = 0x43, kCallFunction = 0x3D, kGetVariable = 0x1C, kTypeOf = 0x44, kCloneSprite = 0x24,
                  kEquals2 = 0x49, kStrictEquals = 0x66;
constexpr uint16_t kShape = 1, kSprite = 2, kRegistered = 3;

using Arg = std::variant<double, std::string>;

void push(ActionBuilder& a, const Arg& v)
{
    if (auto* n = std::get_if<double>(&v))
        a.pushNumber(*n);
    else
        a.pushString(std::get<std::string>(v));
}

// target.method(args...), its result left on the stack.
ActionBuilder& callOn(ActionBuilder& a, std::string_view target, std::string_view method, std::vector<Arg> args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        push(a, *it);
    return a.pushInt(static_cast<int32_t>(args.size())).getVariable(target).pushString(method).op(kCallMethod);
}

// var name = target.method(args...)
void keep(ActionBuilder& a, std::string_view name, std::string_view target, std::string_view method, std::vector<Arg> args)
{
    a.pushString(name);
    callOn(a, target, method, std::move(args));
    a.op(kDefineLocal);
}

void traceVariable(ActionBuilder& a, std::string_view name)
{
    a.getVariable(name).op(kTrace);
}

void traceMember(ActionBuilder& a, std::string_view target, std::string_view member)
{
    a.getVariable(target).pushString(member).op(kGetMember).op(kTrace);
}

void setMember(ActionBuilder& a, std::string_view target, std::string_view member, const Arg& value)
{
    a.getVariable(target).pushString(member);
    push(a, value);
    a.op(kSetMember);
}

// A sprite whose one frame traces its own _name.
test::TagStream namingSprite()
{
    test::TagStream sprite;
    sprite.doAction(ActionBuilder().getVariable("_name").op(kTrace)).showFrame();
    return sprite;
}

test::Place named(uint16_t depth, uint16_t character, std::optional<std::string> name = std::nullopt)
{
    test::Place p = placeAt(depth, character);
    p.name = std::move(name);
    return p;
}

TEST(ClipNames, UnnamedSpritesAreNumberedInCreationOrderAndShapesTakeNoNumber)
{
    test::SwfWriter movie;
    defineEmptyShape(movie, kShape);
    movie.defineSprite(kSprite, 1, namingSprite());
    movie.placeObject2(named(1, kShape))
        .placeObject2(named(2, kSprite))
        .placeObject2(named(3, kSprite, "given"))
        .placeObject2(named(4, kSprite))
        .showFrame();
    Running run(movie);
    run.step();
    Lines traces = run.traces;
    std::ranges::sort(traces);
    EXPECT_EQ(traces, (Lines{"given", "instance1", "instance2"}));
}

TEST(ClipNames, AnUnnamedClipIsReachableByItsNumberedName)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    movie.placeObject2(named(1, kSprite));
    ActionBuilder a;
    a.getVariable("instance1").op(kTrace);
    movie.doAction(a).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"_level0.instance1"}));
}

// Frame 1 of the root makes a clip "a", keeps a reference to it, removes it, then
// runs `after` on the reference.
Lines afterRemoving(const ActionBuilder& after)
{
    test::SwfWriter movie;
    ActionBuilder a;
    keep(a, "ref", "this", "createEmptyMovieClip", {std::string("a"), 1.0});
    setMember(a, "ref", "mark", 7.0);
    callOn(a, "ref", "removeMovieClip", {}).pop();
    a.append(after);
    movie.doAction(a).showFrame();
    Running run(movie);
    run.step();
    return run.traces;
}

TEST(RemovedClipReference, ReadsAsEmptyWhileNoClipHasItsPath)
{
    // The reference reaches nothing: the removed clip's own variables and the methods
    // of its prototype read as undefined (valueOf() of such a reference == null, as the
    // reference player's output shows), while it still converts to "" and is a
    // "movieclip" to typeof.
    ActionBuilder after;
    traceVariable(after, "ref");
    traceMember(after, "ref", "mark");
    callOn(after, "ref", "valueOf", {}).op(kTrace);
    after.getVariable("ref").op(kTypeOf).op(kTrace);
    EXPECT_EQ(afterRemoving(after), (Lines{"", "undefined", "undefined", "movieclip"}));
}

TEST(DuplicateTextField, StartsAfreshWithTheOriginalsPlaceAndBox)
{
    // createTextField("t", 1, 10, 20, 30, 40); t.text = "x"; t._x = 15;
    // duplicateMovieClip(t, "t2", 2): the copy stands where t does now, in a box as
    // large, without the text a script gave t.
    test::SwfWriter movie;
    ActionBuilder a;
    callOn(a, "this", "createTextField", {std::string("t"), 1.0, 10.0, 20.0, 30.0, 40.0}).pop();
    setMember(a, "t", "text", std::string("x"));
    setMember(a, "t", "_x", 15.0);
    a.getVariable("t").pushString("t2").pushInt(2).op(kCloneSprite);
    traceVariable(a, "t2");
    for (const char* member : {"_x", "_y", "_width", "text"})
        traceMember(a, "t2", member);
    // A depth scripts may not fill makes no copy.
    a.getVariable("t").pushString("t3").pushInt(-5).op(kCloneSprite);
    traceVariable(a, "t3");
    movie.doAction(a).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"_level0.t2", "15", "20", "30", "", "undefined"}));
}

TEST(RemovedClipReference, StandsForTheNewClipAtItsPath)
{
    ActionBuilder after;
    callOn(after, "this", "createEmptyMovieClip", {std::string("a"), 2.0}).pop();
    setMember(after, "a", "mark", 9.0);
    traceVariable(after, "ref");
    traceMember(after, "ref", "mark");
    // Writes through the old reference land on the new clip, and its methods act on it.
    setMember(after, "ref", "written", std::string("yes"));
    traceMember(after, "a", "written");
    callOn(after, "ref", "getDepth", {}).op(kTrace);
    // == and === take it for the new clip too.
    after.getVariable("ref").getVariable("a").op(kEquals2).op(kTrace);
    after.getVariable("ref").getVariable("a").op(kStrictEquals).op(kTrace);
    EXPECT_EQ(afterRemoving(after), (Lines{"_level0.a", "9", "yes", "2", "true", "true"}));
}

TEST(RemovedClipReference, AClipOfAnotherNameDoesNotTakeItsPlace)
{
    ActionBuilder after;
    callOn(after, "this", "createEmptyMovieClip", {std::string("b"), 1.0}).pop();
    traceVariable(after, "ref");
    EXPECT_EQ(afterRemoving(after), (Lines{""}));
}

// A movie whose exported sprite runs `frameScript` on its first frame, attached by the
// root's first frame script as "c".
Lines attachedRunning(const ActionBuilder& frameScript)
{
    test::SwfWriter movie;
    test::TagStream sprite;
    sprite.doAction(frameScript).showFrame();
    movie.defineSprite(kSprite, 1, sprite);
    movie.exportAssets(kSprite, "sym");
    ActionBuilder root;
    callOn(root, "this", "attachMovie", {std::string("sym"), std::string("c"), 1.0}).pop();
    root.trace("root goes on");
    movie.doAction(root).showFrame();
    Running run(movie);
    run.step();
    return run.traces;
}

TEST(RemovedClipScript, StopsAtTheCallThatRemovesItsClip)
{
    ActionBuilder script;
    script.trace("before");
    callOn(script, "this", "removeMovieClip", {}).pop();
    script.trace("after");
    EXPECT_EQ(attachedRunning(script), (Lines{"root goes on", "before"}));
}

TEST(RemovedClipScript, GoesOnUntilItsNextCall)
{
    constexpr uint8_t kRemoveSprite = 0x25;
    ActionBuilder script;
    // removeMovieClip(this) as an action is no call: the script carries on ...
    script.getVariable("this").op(kRemoveSprite).trace("still running");
    // ... and a method of undefined is no call either ...
    callOn(script, "nothingHere", "method", {}).pop();
    script.trace("still running after undefined.method()");
    // ... but calling a function, even one that does not exist, stops it.
    script.pushInt(0).pushString("noSuchFunction").op(kCallFunction).pop();
    script.trace("never");
    EXPECT_EQ(attachedRunning(script),
              (Lines{"root goes on", "still running", "still running after undefined.method()"}));
}

TEST(AttachMovieInit, PropertiesArriveBeforeTheRegisteredConstructor)
{
    test::SwfWriter movie;
    movie.defineSprite(kRegistered, 1, test::TagStream().showFrame());
    movie.exportAssets(kRegistered, "sym");
    ActionBuilder root;
    // function Cls() { trace(this.source); }  Object.registerClass("sym", Cls);
    root.defineFunction("Cls", {}, ActionBuilder().getVariable("this").pushString("source").op(kGetMember).op(kTrace));
    root.pushString("Cls").op(kGetVariable).pushString("sym").pushInt(2).getVariable("Object").pushString("registerClass")
        .op(kCallMethod).pop();
    // this.attachMovie("sym", "c", 1, {source: "init"})
    root.pushString("source").pushString("init").pushInt(1).op(kInitObject);
    root.pushNumber(1).pushString("c").pushString("sym").pushInt(4).getVariable("this").pushString("attachMovie")
        .op(kCallMethod).pop();
    traceMember(root, "c", "source");
    movie.doAction(root).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"init", "init"}));
}

// A symbol's init actions run before the clips of their frame are constructed, so a
// class they register is the class of the instance the same frame places; attached
// instances hear their class's onLoad too, once the script that made them is done. A
// placed instance without clip events hears its onLoad last, after the frame's scripts
// and all they set off, as the reference player's recorded order shows.
TEST(RegisteredClass, InitActionsRegisterItBeforeTheFramePlacesTheSymbol)
{
    constexpr uint8_t kAdd2 = 0x47;
    test::SwfWriter movie;
    movie.defineSprite(kRegistered, 1, test::TagStream().showFrame());
    movie.exportAssets(kRegistered, "sym");
    ActionBuilder init;
    // function Cls() { trace("constructed " + this._name); }
    init.defineFunction("Cls", {}, ActionBuilder().pushString("constructed ").getVariable("this").pushString("_name")
                                       .op(kGetMember).op(kAdd2).op(kTrace));
    // Cls.prototype.onLoad = function () { trace("loaded " + this._name); };
    init.getVariable("Cls").pushString("prototype").op(kGetMember).pushString("onLoad");
    init.defineFunction("", {}, ActionBuilder().pushString("loaded ").getVariable("this").pushString("_name")
                                    .op(kGetMember).op(kAdd2).op(kTrace));
    init.op(kSetMember);
    init.pushString("Cls").op(kGetVariable).pushString("sym").pushInt(2).getVariable("Object").pushString("registerClass")
        .op(kCallMethod).pop();
    ActionBuilder frame;
    frame.trace("frame");
    frame.pushNumber(5).pushString("att").pushString("sym").pushInt(3).getVariable("this").pushString("attachMovie")
        .op(kCallMethod).pop();
    frame.trace("attached");
    movie.doInitAction(kRegistered, init).placeObject2(named(1, kRegistered, "placed")).doAction(frame).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"constructed placed", "frame", "constructed att", "attached", "loaded att",
                                 "loaded placed"}));
}

// Two 10 x 10 px clips drawn at the root: "a" at (0, 0), "b" at (5, 5), and "far"
// at (100, 100); `probe` runs after them.
Lines withOverlappingClips(const ActionBuilder& probe)
{
    test::SwfWriter movie;
    defineEmptyShape(movie, kShape);  // 0..200 twips: 10 px square
    test::TagStream sprite;
    sprite.placeObject2(placeAt(1, kShape)).showFrame();
    movie.defineSprite(kSprite, 1, sprite);
    test::Place a = named(1, kSprite, "a");
    test::Place b = named(2, kSprite, "b");
    b.matrix = Matrix{1, 0, 0, 1, 100, 100};
    test::Place far = named(3, kSprite, "far");
    far.matrix = Matrix{1, 0, 0, 1, 2000, 2000};
    movie.placeObject2(a).placeObject2(b).placeObject2(far).doAction(probe).showFrame();
    Running run(movie);
    run.step();
    return run.traces;
}

TEST(HitTest, TheOtherClipMayBeGivenAsATargetPath)
{
    struct Case {
        std::string target;
        std::string expected;
    } cases[] = {
        {"b", "false"},          // paths start at the clip itself: a.b is no clip
        {"_root.b", "true"},     // from the root down
        {"../b", "true"},        // up to the parent first
        {"_parent.far", "false"},
        {"/far", "false"},       // slash syntax from the root
        {"", "false"},           // no path: no clip
        {"nothing", "false"},
    };
    for (const Case& c : cases) {
        ActionBuilder probe;
        callOn(probe, "a", "hitTest", {c.target}).op(kTrace);
        EXPECT_EQ(withOverlappingClips(probe), (Lines{c.expected})) << "hitTest('" << c.target << "')";
    }
}

TEST(GetPropertyAction, AnIndexThatIsNoNumberGivesUndefined)
{
    constexpr uint8_t kGetProperty = 0x22;
    struct Case {
        Arg index;
        std::string expected;
    } cases[] = {
        {std::string("11ABC"), "undefined"},
        {std::string("ABC"), "undefined"},
        {-1.0, "undefined"},
        {-0.8, "0"},              // truncates to 0: _x
        {std::string("13"), "a"},  // _name
    };
    for (const Case& c : cases) {
        ActionBuilder probe;
        probe.pushString("a");
        push(probe, c.index);
        probe.op(kGetProperty).op(kTrace);
        EXPECT_EQ(withOverlappingClips(probe), (Lines{c.expected}));
    }
}

TEST(ClipEventOrder, InitializeBeforeConstructAndInnerClipsUnloadFirst)
{
    static constexpr uint32_t kUnload = 0x4, kEnterFrame = 0x2, kInitialize = 0x200, kConstruct = 0x40000;
    constexpr uint16_t kInner = 4, kOuter = 5;
    auto handlers = [](std::string_view who) {
        std::string w(who);
        return std::vector<std::pair<uint32_t, ActionBuilder>>{
            {kInitialize, ActionBuilder().trace(w + " initialize")},
            {kConstruct, ActionBuilder().trace(w + " construct")},
            {kUnload, ActionBuilder().trace(w + " unload")},
        };
    };
    test::SwfWriter movie;
    movie.defineSprite(kInner, 1, test::TagStream().showFrame());
    test::TagStream outer;
    test::Place inner = named(1, kInner, "inner");
    inner.clipEvents = handlers("inner");
    outer.placeObject2(inner).showFrame();
    movie.defineSprite(kOuter, 1, outer);
    test::Place place = named(1, kOuter, "outer");
    place.clipEvents = handlers("outer");
    place.clipEvents.push_back({kEnterFrame, ActionBuilder().trace("outer enterFrame event")});
    movie.placeObject2(place);
    // outer.onEnterFrame = function () { trace("outer onEnterFrame method"); }
    ActionBuilder setHandler;
    setHandler.getVariable("outer").pushString("onEnterFrame");
    setHandler.defineFunction("", {}, ActionBuilder().trace("outer onEnterFrame method"));
    setHandler.op(kSetMember);
    movie.doAction(setHandler).showFrame();
    movie.showFrame();
    movie.removeObject2(1).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"outer initialize", "inner initialize", "outer construct", "inner construct"}));
    run.traces.clear();
    run.step();
    EXPECT_EQ(run.traces, (Lines{"outer enterFrame event", "outer onEnterFrame method"}));
    run.traces.clear();
    run.step();
    EXPECT_EQ(run.traces, (Lines{"inner unload", "outer unload"}));
}

// attachMovie("sym") from the root's frames 1 and 2, with "sym" exported in frame
// `exportFrame` as `exported` (and, with `alsoLater`, exported again as the other
// sprite in frame 1 after the first).
Lines attachedEachFrame(int exportFrame, bool alsoLater = false)
{
    constexpr uint16_t kOther = 6;
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().doAction(ActionBuilder().trace("first symbol")).showFrame());
    movie.defineSprite(kOther, 1, test::TagStream().doAction(ActionBuilder().trace("second symbol")).showFrame());
    for (int frame = 1; frame <= 2; ++frame) {
        if (frame == exportFrame) {
            movie.exportAssets(kSprite, "sym");
            if (alsoLater)
                movie.exportAssets(kOther, "sym");
        }
        ActionBuilder root;
        callOn(root, "this", "attachMovie", {std::string("sym"), "c" + std::to_string(frame), double(frame)})
            .op(kTrace);
        if (frame == 2)
            root.stop();
        movie.doAction(root).showFrame();
    }
    Running run(movie);
    run.step(2);
    return run.traces;
}

TEST(AttachMovieExport, ASymbolIsThereOnceItsFrameHasBeenReached)
{
    struct Case {
        int exportFrame;
        bool alsoLater;
        Lines expected;
    } cases[] = {
        {1, false, {"_level0.c1", "first symbol", "_level0.c2", "first symbol"}},
        {2, false, {"undefined", "_level0.c2", "first symbol"}},
        // The later export of one name wins.
        {1, true, {"_level0.c1", "second symbol", "_level0.c2", "second symbol"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(attachedEachFrame(c.exportFrame, c.alsoLater), c.expected) << "exported in frame " << c.exportFrame;
}

TEST(MovieClipMethods, ArgumentsConvertInTheOrderGiven)
{
    // name = {toString: function () { trace("name"); return "n"; }}
    // depth = {valueOf: function () { trace("depth"); return 3; }}
    auto converting = [](ActionBuilder& a, std::string_view var, std::string_view method, std::string_view result) {
        a.pushString(var).pushString(method);
        ActionBuilder body;
        body.trace(var).pushString(result).op(0x3E);  // Return
        a.defineFunction("", {}, body).pushInt(1).op(kInitObject).op(kDefineLocal);
    };
    struct Case {
        std::string method;
        std::vector<Arg> args;
    } cases[] = {
        {"createEmptyMovieClip", {std::string("@name"), std::string("@depth")}},
        {"duplicateMovieClip", {std::string("@name"), std::string("@depth")}},
        {"attachMovie", {std::string("sym"), std::string("@name"), std::string("@depth")}},
    };
    for (const Case& c : cases) {
        test::SwfWriter movie;
        movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
        movie.exportAssets(kSprite, "sym");
        movie.placeObject2(named(1, kSprite, "src"));
        ActionBuilder a;
        converting(a, "name", "toString", "n");
        converting(a, "depth", "valueOf", "3");
        for (auto it = c.args.rbegin(); it != c.args.rend(); ++it) {
            const auto* text = std::get_if<std::string>(&*it);
            if (text && text->starts_with('@'))
                a.getVariable(text->substr(1));
            else
                push(a, *it);
        }
        a.pushInt(static_cast<int32_t>(c.args.size())).getVariable("src").pushString(c.method).op(kCallMethod).op(kTrace);
        movie.doAction(a).showFrame();
        Running run(movie);
        run.step();
        ASSERT_GE(run.traces.size(), 2u) << c.method;
        EXPECT_EQ(run.traces[0], "name") << c.method;
        EXPECT_EQ(run.traces[1], "depth") << c.method;
    }
}

TEST(WaitForFrame, SkipsItsActionsOnlyForFramesPastThoseThere)
{
    constexpr uint8_t kWaitForFrame = 0x8A, kWaitForFrame2 = 0x8D;
    // A one-frame movie is loaded whole: frames up to the 16001st count as there.
    struct Case {
        std::optional<uint16_t> frame;  // WaitForFrame's 0-based frame, or WaitForFrame2's
        Arg frame2;                     // 1-based value
        bool loaded;
    } cases[] = {
        {0, 0.0, true},
        {16000, 0.0, true},
        {16001, 0.0, false},
        {std::nullopt, 16001.0, true},
        {std::nullopt, 16002.0, false},
        {std::nullopt, -43.0, true},
        {std::nullopt, 2147483648.0, false},  // wraps to the last frame number
        {std::nullopt, 2147483649.0, true},   // wraps below the first
        {std::nullopt, 16002.5, true},        // no whole frame: a label, which is there
        {std::nullopt, std::string("abc"), true},
        {std::nullopt, std::string("16002"), false},
    };
    for (const Case& c : cases) {
        test::SwfWriter movie;
        ActionBuilder a;
        if (c.frame) {
            const uint8_t payload[] = {static_cast<uint8_t>(*c.frame & 0xFF), static_cast<uint8_t>(*c.frame >> 8), 2};
            a.raw(kWaitForFrame, payload);
        } else {
            push(a, c.frame2);
            const uint8_t payload[] = {2};
            a.raw(kWaitForFrame2, payload);
        }
        a.trace("loaded").trace("after");
        movie.doAction(a).showFrame();
        Running run(movie);
        run.step();
        EXPECT_EQ(run.traces, c.loaded ? (Lines{"loaded", "after"}) : (Lines{"after"}))
            << (c.frame ? "WaitForFrame " + std::to_string(*c.frame) : "WaitForFrame2");
    }
}

TEST(HitTest, WithTheShapeFlagWhatIsFilledOrOutlinedCounts)
{
    // A clip "t" with a drawn right triangle (0,0) (100,0) (0,100), at (50, 50), and
    // "e" showing a shape with bounds but nothing filled, 10 x 10 px at the origin.
    struct Case {
        double x, y;
        bool shapeFlag;
        std::string clip;
        bool hidden;
        std::string expected;
        bool stroked = false;  // the triangle outlined 10 px wide
    } cases[] = {
        {60, 60, true, "t", false, "true"},
        {140, 140, true, "t", false, "false"},  // in the box, past the hypotenuse
        {140, 140, false, "t", false, "true"},
        {60, 60, true, "t", true, "true"},      // hidden clips are still hit
        {5, 5, false, "e", false, "true"},
        {5, 5, true, "e", false, "false"},      // a shape without fills has no area
        {60, 46, true, "t", false, "true", true},   // on the top edge's line, outside the fill
        {60, 46, true, "t", false, "false", false},
        {60, 40, true, "t", false, "false", true},  // past the line's half width
    };
    for (const Case& c : cases) {
        test::SwfWriter movie;
        defineEmptyShape(movie, kShape);
        test::TagStream sprite;
        sprite.placeObject2(placeAt(1, kShape)).showFrame();
        movie.defineSprite(kSprite, 1, sprite);
        movie.placeObject2(named(1, kSprite, "e"));
        ActionBuilder a;
        keep(a, "t", "this", "createEmptyMovieClip", {std::string("t"), 5.0});
        callOn(a, "t", "beginFill", {255.0}).pop();
        if (c.stroked)
            callOn(a, "t", "lineStyle", {10.0, 0.0}).pop();
        callOn(a, "t", "moveTo", {0.0, 0.0}).pop();
        callOn(a, "t", "lineTo", {100.0, 0.0}).pop();
        callOn(a, "t", "lineTo", {0.0, 100.0}).pop();
        callOn(a, "t", "endFill", {}).pop();
        setMember(a, "t", "_x", 50.0);
        setMember(a, "t", "_y", 50.0);
        if (c.hidden)
            a.getVariable(c.clip).pushString("_visible").pushBool(false).op(kSetMember);
        a.pushBool(c.shapeFlag).pushNumber(c.y).pushNumber(c.x).pushInt(3).getVariable(c.clip).pushString("hitTest")
            .op(kCallMethod).op(kTrace);
        movie.doAction(a).showFrame();
        Running run(movie);
        run.step();
        EXPECT_EQ(run.traces, (Lines{c.expected})) << c.clip << ".hitTest(" << c.x << ", " << c.y << ", " << c.shapeFlag << ")";
    }
}

TEST(MousePosition, XMouseAndYMouseAreThePointerInTheClipsSpace)
{
    test::SwfWriter movie;
    movie.defineSprite(kSprite, 1, test::TagStream().showFrame());
    test::Place scaled = named(1, kSprite, "c");
    scaled.matrix = Matrix{2, 0, 0, 2, 1000, 0};  // at (50, 0) px, twice the size
    movie.placeObject2(scaled);
    ActionBuilder a;
    for (const char* target : {"_root", "c"}) {
        traceMember(a, target, "_xmouse");
        traceMember(a, target, "_ymouse");
    }
    movie.doAction(a).showFrame();
    Running run(movie);
    run.player->setPointer(Point{3000, 400});  // (150, 20) px on the stage
    run.step();
    EXPECT_EQ(run.traces, (Lines{"150", "20", "50", "10"}));
}

// _root takes position and scale from scripts like any clip: the pointer is then
// read through them, while hitTest points stay in the root's own space.
TEST(RootPlacement, ScriptsMoveAndScaleTheWholeMovie)
{
    test::SwfWriter movie;
    defineEmptyShape(movie, kShape);  // 10 px square at the origin
    test::TagStream sprite;
    sprite.placeObject2(placeAt(1, kShape)).showFrame();
    movie.defineSprite(kSprite, 1, sprite);
    movie.placeObject2(named(1, kSprite, "c"));
    ActionBuilder a;
    setMember(a, "_root", "_x", 100.0);
    setMember(a, "_root", "_xscale", 200.0);
    traceMember(a, "_root", "_x");
    traceMember(a, "_root", "_xscale");
    traceMember(a, "_root", "_xmouse");
    traceMember(a, "c", "_xmouse");
    a.pushBool(false).pushNumber(5).pushNumber(5).pushInt(3).getVariable("c").pushString("hitTest").op(kCallMethod)
        .op(kTrace);
    a.pushBool(false).pushNumber(5).pushNumber(110).pushInt(3).getVariable("c").pushString("hitTest").op(kCallMethod)
        .op(kTrace);
    movie.doAction(a).showFrame();
    Running run(movie);
    run.player->setPointer(Point{3000, 400});  // (150, 20) px on the stage
    run.step();
    EXPECT_EQ(run.traces, (Lines{"100", "200", "25", "25", "true", "false"}));
}

// setMask answers true for a clip (given itself, by name from the calling script's
// clip, or through a member holding it) and for null or undefined, which take the
// mask away; false for a name of nothing and for other objects; nothing at all when
// given no argument.
TEST(SetMask, AnswersWhetherTheMaskWasTaken)
{
    struct Case {
        std::function<void(ActionBuilder&)> pushMask;  // leaves the argument count too
        std::string expected;
    } cases[] = {
        {[](ActionBuilder& a) { a.getVariable("b").pushInt(1); }, "true"},
        {[](ActionBuilder& a) { a.pushString("b").pushInt(1); }, "true"},
        {[](ActionBuilder& a) { a.pushString("_root.b").pushInt(1); }, "true"},
        {[](ActionBuilder& a) { a.pushString("_level0:b").pushInt(1); }, "true"},
        {[](ActionBuilder& a) { a.pushString("holder").pushInt(1); }, "true"},
        {[](ActionBuilder& a) { a.pushString("nothing").pushInt(1); }, "false"},
        {[](ActionBuilder& a) { a.pushNull().pushInt(1); }, "true"},
        {[](ActionBuilder& a) { a.pushUndefined().pushInt(1); }, "true"},
        {[](ActionBuilder& a) { a.pushInt(0).op(kInitObject).pushInt(1); }, "false"},
        {[](ActionBuilder& a) { a.pushInt(0); }, "undefined"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        ActionBuilder probe;
        probe.pushString("holder").getVariable("b").op(0x1D);  // SetVariable
        cases[i].pushMask(probe);
        probe.getVariable("a").pushString("setMask").op(kCallMethod).op(kTrace);
        EXPECT_EQ(withOverlappingClips(probe), (Lines{cases[i].expected})) << "case " << i;
    }
}

// A text field may be a clip's mask, given itself or by name: the clip's node is drawn
// through the field's node and the field is no longer drawn; a field taken as a mask
// stays with the clip while others are created after it.
TEST(SetMask, ATextFieldMasksAClip)
{
    for (bool byName : {false, true}) {
        ActionBuilder probe;
        keep(probe, "made", "_root", "createTextField", {std::string("t"), 10.0, 5.0, 5.0, 40.0, 20.0});
        if (byName)
            probe.pushString("t").pushInt(1);
        else
            probe.getVariable("t").pushInt(1);
        probe.getVariable("a").pushString("setMask").op(kCallMethod).op(kTrace);
        keep(probe, "other", "_root", "createTextField", {std::string("u"), 11.0, 0.0, 0.0, 10.0, 10.0});

        test::SwfWriter movie;
        defineEmptyShape(movie, kShape);
        test::TagStream sprite;
        sprite.placeObject2(placeAt(1, kShape)).showFrame();
        movie.defineSprite(kSprite, 1, sprite);
        movie.placeObject2(named(1, kSprite, "a")).doAction(probe).showFrame();
        Running run(movie);
        run.step();
        ASSERT_EQ(run.traces, (Lines{"true"})) << "by name: " << byName;

        render::RenderNode tree = buildRenderTree(run.root);
        const render::RenderNode* clip = nullptr;
        const render::RenderNode* field = nullptr;
        const render::RenderNode* unrelated = nullptr;
        for (const render::RenderNode& child : tree.children) {
            if (child.depth == 1)
                clip = &child;
            else if (child.textField && !field)
                field = &child;
            else if (child.textField)
                unrelated = &child;
        }
        ASSERT_TRUE(clip && field && unrelated) << "by name: " << byName;
        ASSERT_TRUE(clip->scriptMask) << "by name: " << byName;
        EXPECT_EQ(clip->scriptMask->textField, field->textField);
        EXPECT_FALSE(field->visible) << "a mask is not drawn itself";
        EXPECT_TRUE(unrelated->visible);
    }
}

} // namespace

TEST(ClipMembers, ParentAndRootReadAsMembersOfAClip)
{
    // Component code walks up with clip._parent until it meets clip._root; a member
    // read that gave undefined kept such a walk going forever.
    struct Case {
        std::string target, member, expected;
    } cases[] = {
        {"a", "_parent", "_level0"},
        {"a", "_root", "_level0"},
        {"_root", "_parent", "undefined"},  // a root has no parent
        {"_root", "_root", "_level0"},
        {"a", "_PARENT", "undefined"},      // names are case-sensitive from SWF 7
    };
    for (const Case& c : cases) {
        ActionBuilder probe;
        traceMember(probe, c.target, c.member);
        EXPECT_EQ(withOverlappingClips(probe), (Lines{c.expected})) << c.target << "." << c.member;
    }
}
