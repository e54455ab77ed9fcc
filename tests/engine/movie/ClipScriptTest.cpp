// Movie clips as scripts see them: the names the timeline gives unnamed instances,
// references to clips that left the stage, scripts whose own clip leaves, and the init
// object of attachMovie against a registered class's constructor.

#include "MovieFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <variant>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kDefineLocal = 0x3C,
                  kInitObject = 0x43, kCallFunction = 0x3D, kGetVariable = 0x1C;
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
    // The removed clip's own variables are still there to read.
    ActionBuilder after;
    traceVariable(after, "ref");
    traceMember(after, "ref", "mark");
    EXPECT_EQ(afterRemoving(after), (Lines{"", "7"}));
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
    EXPECT_EQ(afterRemoving(after), (Lines{"_level0.a", "9", "yes", "2"}));
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

} // namespace
