// Keys reaching a movie through the facade: the Key object's state, Key listeners,
// onClipEvent(keyDown / keyUp), buttons' key conditions, and keys nothing in the movie
// listens for being declined (so the window keeps them for its shortcuts).

#include "engine/Player.h"
#include "engine/movie/KeyInput.h"
#include "tests/support/ButtonWriter.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

namespace Op {
constexpr uint8_t GetMember = 0x4E, SetMember = 0x4F, CallMethod = 0x52, SetVariable = 0x1D, Add2 = 0x47,
                  Pop = 0x17, NewObject = 0x40;
}
constexpr uint32_t kKeyDownEvent = 0x40, kKeyUpEvent = 0x80;

struct Traced {
    Player player;
    Lines lines;

    explicit Traced(const test::SwfWriter& movie)
    {
        player.loadBytes(movie.build());
        player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
        player.advance();
    }
};

// Pushes Key.<method>(arg) (no argument when arg < 0).
ActionBuilder& keyCall(ActionBuilder& a, std::string_view method, int arg = -1)
{
    if (arg >= 0)
        a.pushInt(arg).pushInt(1);
    else
        a.pushInt(0);
    return a.getVariable("Key").pushString(method).op(Op::CallMethod);
}

// trace(label + Key.getCode() + "," + Key.getAscii())
ActionBuilder traceKey(std::string_view label)
{
    ActionBuilder a;
    a.pushString(label);
    keyCall(a, "getCode").op(Op::Add2).pushString(",").op(Op::Add2);
    keyCall(a, "getAscii").op(Op::Add2).trace();
    return a;
}

// A frame script that puts object `l` on Key's listeners with handlers tracing the key.
test::SwfWriter listenerMovie()
{
    test::SwfWriter w;
    ActionBuilder frame;
    frame.pushString("l").pushInt(0).pushString("Object").op(Op::NewObject).op(Op::SetVariable);
    frame.defineFunction("onDown", {}, traceKey("down "));
    frame.defineFunction("onUp", {}, traceKey("up "));
    frame.getVariable("l").pushString("onKeyDown").getVariable("onDown").op(Op::SetMember);
    frame.getVariable("l").pushString("onKeyUp").getVariable("onUp").op(Op::SetMember);
    frame.getVariable("l").pushInt(1).getVariable("Key").pushString("addListener").op(Op::CallMethod).op(Op::Pop);
    w.doAction(frame);
    w.showFrame();
    return w;
}

TEST(KeyInput, AMovieWithoutKeyHandlersDeclinesKeys)
{
    test::SwfWriter w;
    w.doAction(ActionBuilder().trace("ready"));
    w.showFrame();
    Traced t(w);
    EXPECT_FALSE(t.player.wantsKey(65, U'a'));
    EXPECT_FALSE(t.player.keyPress(65, U'a'));
    EXPECT_FALSE(t.player.keyRelease(65, U'a'));
    EXPECT_EQ(t.lines, Lines{"ready"});
}

TEST(KeyInput, NothingLoadedDeclinesKeys)
{
    Player player;
    EXPECT_FALSE(player.wantsKey(13, 13));
    EXPECT_FALSE(player.keyPress(13, 13));
}

TEST(KeyInput, KeyListenersHearPressesAndReleasesWithCodeAndCharacter)
{
    Traced t(listenerMovie());
    EXPECT_TRUE(t.player.wantsKey(65, U'a'));
    EXPECT_TRUE(t.player.keyPress(65, U'a'));
    EXPECT_TRUE(t.player.keyRelease(65, U'a'));
    EXPECT_TRUE(t.player.keyPress(37, 0));
    EXPECT_EQ(t.lines, (Lines{"down 65,97", "up 65,97", "down 37,0"}));
}

TEST(KeyInput, RemovedListenersNoLongerTakeKeys)
{
    test::SwfWriter w = listenerMovie();
    ActionBuilder remove;
    remove.getVariable("l").pushInt(1).getVariable("Key").pushString("removeListener").op(Op::CallMethod).trace();
    w.doAction(remove);
    w.showFrame();
    Traced t(w);
    t.player.advance();
    EXPECT_FALSE(t.player.wantsKey(65, U'a'));
    EXPECT_FALSE(t.player.keyPress(65, U'a'));
    EXPECT_EQ(t.lines, Lines{"true"});
}

TEST(KeyInput, IsDownFollowsPressAndRelease)
{
    test::SwfWriter w;
    w.defineSprite(2, 1, test::TagStream().showFrame());
    test::Place p;
    p.characterId = 2;
    ActionBuilder onDown;
    onDown.pushString("held ");
    keyCall(onDown, "isDown", 32).op(Op::Add2).trace();
    ActionBuilder onUp;
    onUp.pushString("released ");
    keyCall(onUp, "isDown", 32).op(Op::Add2).trace();
    p.clipEvents.push_back({kKeyDownEvent, onDown});
    p.clipEvents.push_back({kKeyUpEvent, onUp});
    w.placeObject2(p);
    w.showFrame();
    Traced t(w);
    EXPECT_TRUE(t.player.wantsKey(32, U' '));
    EXPECT_TRUE(t.player.keyPress(32, U' '));
    EXPECT_TRUE(t.player.keyRelease(32, U' '));
    EXPECT_EQ(t.lines, (Lines{"held true", "released false"}));
}

TEST(KeyInput, ButtonKeyConditionsRunForTheirKeyOnly)
{
    test::SwfWriter w;
    test::defineFilledRect(w, 1, {0, 400, 0, 400}, {0, 0, 0, 255});
    test::defineButton2(w, 2, {{kButtonUp | kButtonHitTest, 1, 1, {}, {}}},
                        {{0, 'x', ActionBuilder().trace("pressed x")}, {0, 13, ActionBuilder().trace("pressed enter")}});
    w.placeObject(2, 1);
    w.showFrame();
    Traced t(w);
    EXPECT_FALSE(t.player.wantsKey(89, U'y'));
    EXPECT_FALSE(t.player.keyPress(89, U'y'));
    EXPECT_TRUE(t.player.wantsKey(88, U'x'));
    EXPECT_TRUE(t.player.keyPress(88, U'x'));
    EXPECT_TRUE(t.player.keyPress(13, 13));
    EXPECT_EQ(t.lines, (Lines{"pressed x", "pressed enter"}));
}

TEST(KeyInput, ButtonKeyCodesOfSpecialKeys)
{
    struct Case {
        int keyCode;
        char32_t character;
        uint8_t expected;
    };
    const Case cases[] = {
        {37, 0, 1},  {39, 0, 2},  {36, 0, 3},  {35, 0, 4},  {45, 0, 5},     {46, 0, 6},       {8, 8, 8},
        {13, 13, 13}, {38, 0, 14}, {40, 0, 15}, {33, 0, 16}, {34, 0, 17},    {9, 9, 18},       {27, 27, 19},
        {65, U'A', 'A'}, {32, U' ', ' '}, {112, 0, 0}, {16, 0, 0}, {65, U'中', 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(movie::buttonKeyCode(c.keyCode, c.character), c.expected) << c.keyCode;
}

} // namespace
} // namespace swf
