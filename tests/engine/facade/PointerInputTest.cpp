// The facade's pointer input: stage pixels from window points through the layout that
// paint uses, and buttons answering in movies whose stage does not start at (0, 0).

#include "engine/Player.h"
#include "engine/format/Button.h"
#include "tests/support/ButtonWriter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>

#include <optional>
#include <tuple>

namespace swf {
namespace {

using test::ActionBuilder;

// A 200 x 100 pixel stage whose top-left corner is at (1000, 2000) twips. The button's
// hit area covers stage pixels 20..40 x 10..30; over it, the stage turns green.
std::vector<uint8_t> offsetStageMovie()
{
    test::MovieOptions options;
    options.stage = {1000, 1000 + 4000, 2000, 2000 + 2000};
    test::SwfWriter movie(options);
    test::defineFilledRect(movie, 1, {0, 400, 0, 400}, {0, 0, 0, 0});
    test::defineFilledRect(movie, 2, {0, 4000, 0, 2000}, {0, 255, 0, 255});
    test::defineButton2(movie, 3, {{kButtonHitTest, 1, 1, {}, {}}, {kButtonOver, 2, 2, Matrix{1, 0, 0, 1, -400, -200}, {}}},
                        {{kOverUpToOverDown, 0, ActionBuilder().trace("down")},
                         {kOverDownToOverUp, 0, ActionBuilder().trace("up")}});
    movie.placeObject(3, 1, Matrix{1, 0, 0, 1, 1400, 2200});
    movie.showFrame();
    return movie.build();
}

QColor centre(Player& player)
{
    QImage image(200, 100, QImage::Format_ARGB32);
    QPainter painter(&image);
    player.paint(painter, QRectF(0, 0, 200, 100), ScaleMode::ShowAll, RenderQuality::Low);
    painter.end();
    return QColor(image.pixel(100, 50));
}

TEST(PointerInput, StagePointUndoesThePaintLayout)
{
    Player player;
    EXPECT_EQ(player.stagePoint(QRectF(0, 0, 10, 10), ScaleMode::ShowAll, QPointF(3, 4)), QPointF(3, 4));
    EXPECT_FALSE(player.mouseMove(QPointF(30, 20)));
    EXPECT_FALSE(player.mousePress());
    EXPECT_FALSE(player.mouseRelease());
    EXPECT_FALSE(player.overButton());

    player.loadBytes(offsetStageMovie());
    // ShowAll of a 2:1 stage into 400 x 400: scaled by 2, centred with 100 pixels above.
    QPointF p = player.stagePoint(QRectF(0, 0, 400, 400), ScaleMode::ShowAll, QPointF(60, 140));
    EXPECT_NEAR(p.x(), 30, 1e-9);
    EXPECT_NEAR(p.y(), 20, 1e-9);
    // NoScale of the same stage into an area offset by (50, 50), sized 200 x 100.
    p = player.stagePoint(QRectF(50, 50, 200, 100), ScaleMode::NoScale, QPointF(80, 70));
    EXPECT_NEAR(p.x(), 30, 1e-9);
    EXPECT_NEAR(p.y(), 20, 1e-9);
}

TEST(PointerInput, ButtonOnAnOffsetStageTakesTheClick)
{
    Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    player.loadBytes(offsetStageMovie());
    player.advance();
    EXPECT_NE(centre(player), QColor(0, 255, 0));

    EXPECT_FALSE(player.mouseMove(QPointF(19, 20)));
    EXPECT_FALSE(player.overButton());
    EXPECT_TRUE(player.mouseMove(QPointF(21, 29)));
    EXPECT_TRUE(player.overButton());
    EXPECT_EQ(centre(player), QColor(0, 255, 0));
    EXPECT_TRUE(player.mousePress());
    EXPECT_TRUE(player.mouseRelease());
    EXPECT_EQ(lines, (std::vector<std::string>{"down", "up"}));

    // A new movie forgets the button under the pointer.
    player.loadBytes(offsetStageMovie());
    EXPECT_FALSE(player.overButton());
}

TEST(PointerInput, AButtonArrivingUnderAStillPointerRollsOver)
{
    test::SwfWriter movie;
    test::defineFilledRect(movie, 1, {0, 400, 0, 400}, {0, 0, 255, 255});
    test::defineButton2(movie, 2, {{kButtonUp | kButtonHitTest, 1, 1, {}, {}}},
                        {{kIdleToOverUp, 0, ActionBuilder().trace("over")}, {kOverUpToIdle, 0, ActionBuilder().trace("out")}});
    movie.showFrame();
    movie.placeObject(2, 1).showFrame();
    movie.removeObject2(1).showFrame();
    Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    player.loadBytes(movie.build());
    player.advance();
    EXPECT_FALSE(player.mouseMove(QPointF(10, 10)));
    player.advance();
    EXPECT_TRUE(player.overButton());
    EXPECT_EQ(lines, std::vector<std::string>{"over"});
    // Removed, it is gone: no hand, and no script of it runs.
    player.advance();
    EXPECT_FALSE(player.overButton());
    EXPECT_EQ(lines, std::vector<std::string>{"over"});
}

// startDrag and stopDrag, as the action and as MovieClip's methods: a 20 x 20 pixel
// clip "box" at (100, 100) and "target" at (300, 300). The pointer stands at (110, 105)
// when frame 1's script runs, then moves to `to`; frame 2 traces where the box is and
// what it was dropped on.
struct DragCase {
    const char* name;
    ActionBuilder script;
    QPointF to;
    std::vector<std::string> expected;
};

ActionBuilder callStartDrag(std::initializer_list<double> args)
{
    ActionBuilder a;
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        a.pushNumber(*it);
    return a.pushInt(static_cast<int32_t>(args.size())).getVariable("box").pushString("startDrag").op(0x52).pop();
}

ActionBuilder actionStartDrag(bool lockCenter, std::optional<Rect> box)
{
    ActionBuilder a;
    if (box)
        a.pushNumber(box->xMin).pushNumber(box->yMin).pushNumber(box->xMax).pushNumber(box->yMax);
    return a.pushBool(box.has_value()).pushBool(lockCenter).pushString("box").op(0x27);
}

std::vector<uint8_t> dragMovie(const ActionBuilder& script)
{
    test::SwfWriter movie;
    test::defineFilledRect(movie, 1, {0, 400, 0, 400}, {0, 0, 255, 255});
    test::TagStream sprite;
    sprite.placeObject(1, 1).showFrame();
    movie.defineSprite(2, 1, sprite);
    for (auto [depth, at, name] : {std::tuple{1, 6000, "target"}, std::tuple{2, 2000, "box"}}) {
        test::Place place;
        place.depth = static_cast<uint16_t>(depth);
        place.characterId = 2;
        place.matrix = Matrix{1, 0, 0, 1, double(at), double(at)};
        place.name = name;
        movie.placeObject2(place);
    }
    movie.doAction(script).showFrame();
    ActionBuilder report;
    for (const char* property : {"_x", "_y", "_droptarget"})
        report.getVariable("box").pushString(property).op(0x4E).trace();
    movie.doAction(report.stop()).showFrame();
    return movie.build();
}

TEST(PointerInput, DraggedClipFollowsThePointer)
{
    const DragCase cases[] = {
        {"keeps its distance", callStartDrag({0}), {200, 150}, {"190", "145", ""}},
        {"centre on the pointer", callStartDrag({1}), {200, 150}, {"200", "150", ""}},
        {"held in its box", callStartDrag({1, 0, 0, 150, 120}), {200, 150}, {"150", "120", ""}},
        {"box corners either way", callStartDrag({1, 150, 120, 0, 0}), {200, 150}, {"150", "120", ""}},
        {"action, held in its box", actionStartDrag(true, Rect{0, 150, 0, 120}), {200, 150}, {"150", "120", ""}},
        {"action, distance kept", actionStartDrag(false, std::nullopt), {50, 40}, {"40", "35", ""}},
        {"stopped at once", callStartDrag({1}).op(0x28), {200, 150}, {"100", "100", ""}},
        {"MovieClip.stopDrag", callStartDrag({1}).pushInt(0).getVariable("box").pushString("stopDrag").op(0x52).pop(),
         {200, 150}, {"100", "100", ""}},
        {"dropped on the target", callStartDrag({1}), {305, 305}, {"305", "305", "/target"}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        Player player;
        std::vector<std::string> lines;
        player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
        player.loadBytes(dragMovie(c.script));
        player.mouseMove(QPointF(110, 105));
        player.advance();
        player.mouseMove(c.to);
        player.advance();
        EXPECT_EQ(lines, c.expected);
    }
}

// The 20 x 20 pixel clip "box" at (100, 100) with an onPress handler that traces
// "press"; frame 1 runs `first` after giving the handler, frame 2 runs `second` and stops.
std::vector<uint8_t> pressableBoxMovie(const ActionBuilder& first, const ActionBuilder& second)
{
    test::SwfWriter movie;
    test::defineFilledRect(movie, 1, {0, 400, 0, 400}, {0, 0, 255, 255});
    test::TagStream sprite;
    sprite.placeObject(1, 1).showFrame();
    movie.defineSprite(2, 1, sprite);
    test::Place place;
    place.depth = 1;
    place.characterId = 2;
    place.matrix = Matrix{1, 0, 0, 1, 2000, 2000};
    place.name = "box";
    movie.placeObject2(place);
    ActionBuilder setUp;
    setUp.getVariable("box").pushString("onPress");
    setUp.defineFunction("", {}, ActionBuilder().trace("press"));
    setUp.op(0x4F);  // SetMember
    movie.doAction(setUp.append(first)).showFrame();
    movie.doAction(ActionBuilder(second).stop()).showFrame();
    return movie.build();
}

ActionBuilder setBoxMember(std::string_view member, bool value)
{
    return ActionBuilder().getVariable("box").pushString(member).pushBool(value).op(0x4F);
}

// A clip with an onPress handler takes the click only while its `enabled` reads true;
// disabled, it gives no hand and runs nothing.
TEST(PointerInput, ADisabledClipRunsNoPointerHandler)
{
    Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    player.loadBytes(pressableBoxMovie(setBoxMember("enabled", false), setBoxMember("enabled", true)));
    player.advance();
    player.mouseMove(QPointF(110, 110));
    EXPECT_FALSE(player.overButton());
    player.mousePress();
    player.mouseRelease();
    EXPECT_TRUE(lines.empty());
    player.advance();
    player.mouseMove(QPointF(111, 110));
    EXPECT_TRUE(player.overButton());
    player.mousePress();
    player.mouseRelease();
    EXPECT_EQ(lines, std::vector<std::string>{"press"});
}

// useHandCursor false keeps the arrow over a clip that still takes the click.
TEST(PointerInput, UseHandCursorFalseKeepsTheArrowButNotTheClick)
{
    Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    player.loadBytes(pressableBoxMovie(setBoxMember("useHandCursor", false), setBoxMember("useHandCursor", true)));
    player.advance();
    player.mouseMove(QPointF(110, 110));
    EXPECT_FALSE(player.overButton());
    player.mousePress();
    EXPECT_FALSE(player.overButton());
    player.mouseRelease();
    EXPECT_EQ(lines, std::vector<std::string>{"press"});
    player.advance();
    player.mouseMove(QPointF(111, 110));
    EXPECT_TRUE(player.overButton());
}

// A named button answers its `enabled` and `useHandCursor` as a clip does: disabled, it
// runs no press action and the pointer passes it by; without the hand, it shows the arrow
// and still takes the click.
TEST(PointerInput, AButtonsScriptSwitchesAnswerAsAClips)
{
    struct SwitchCase {
        const char* member;
        std::vector<std::string> pressedWhileOff;
        bool handWhileOff;
    };
    const SwitchCase cases[] = {{"enabled", {}, false}, {"useHandCursor", {"down"}, false}};
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(c.member);
        test::SwfWriter movie;
        test::defineFilledRect(movie, 1, {0, 400, 0, 400}, {0, 0, 255, 255});
        test::defineButton2(movie, 2, {{kButtonHitTest | kButtonUp, 1, 1, {}, {}}},
                            {{kOverUpToOverDown, 0, ActionBuilder().trace("down")}});
        test::Place place;
        place.depth = 1;
        place.characterId = 2;
        place.matrix = Matrix{1, 0, 0, 1, 2000, 2000};
        place.name = "btn";
        movie.placeObject2(place);
        const auto set = [&](bool on) {
            return ActionBuilder().getVariable("btn").pushString(c.member).pushBool(on).op(0x4F);
        };
        movie.doAction(set(false)).showFrame();
        movie.doAction(set(true).stop()).showFrame();
        Player player;
        std::vector<std::string> lines;
        player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
        player.loadBytes(movie.build());
        player.advance();
        player.mouseMove(QPointF(110, 110));
        EXPECT_EQ(player.overButton(), c.handWhileOff);
        player.mousePress();
        player.mouseRelease();
        EXPECT_EQ(lines, c.pressedWhileOff);
        lines.clear();
        player.advance();
        player.mouseMove(QPointF(111, 110));
        EXPECT_TRUE(player.overButton());
        player.mousePress();
        player.mouseRelease();
        EXPECT_EQ(lines, std::vector<std::string>{"down"});
    }
}

TEST(PointerInput, MouseHideIsTheWindowsToShow)
{
    test::SwfWriter movie;
    movie.doAction(ActionBuilder().pushInt(0).getVariable("Mouse").pushString("hide").op(0x52).pop()).showFrame();
    movie.doAction(ActionBuilder().pushInt(0).getVariable("Mouse").pushString("show").op(0x52).pop()).showFrame();
    Player player;
    EXPECT_FALSE(player.cursorHidden());
    player.loadBytes(movie.build());
    player.advance();
    EXPECT_TRUE(player.cursorHidden());
    player.advance();
    EXPECT_FALSE(player.cursorHidden());
}

} // namespace
} // namespace swf
