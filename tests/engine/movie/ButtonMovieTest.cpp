// Buttons on the timeline: the state they show in the render tree, and the pointer
// moving them between states and running their scripts.

#include "engine/format/Button.h"
#include "engine/movie/Mouse.h"
#include "engine/movie/RenderTreeBuilder.h"
#include "tests/engine/movie/MovieFixture.h"
#include "tests/support/ButtonWriter.h"

#include <gtest/gtest.h>

namespace swf::movie::testing {
namespace {

using test::ActionBuilder;
using test::ButtonPart;
using test::ButtonScript;
using Lines = std::vector<std::string>;

constexpr uint16_t kUpShape = 1, kOverShape = 2, kDownShape = 3, kHitShape = 4, kBadge = 5, kButtonId = 10;

// The up picture covers only the left half of the hit area (0..2000 x 0..1000 twips).
void defineParts(test::TagStream& s)
{
    test::defineFilledRect(s, kUpShape, {0, 1000, 0, 1000}, {255, 0, 0, 255});
    test::defineFilledRect(s, kOverShape, {0, 2000, 0, 1000}, {0, 255, 0, 255});
    test::defineFilledRect(s, kDownShape, {0, 2000, 0, 1000}, {0, 0, 255, 255});
    test::defineFilledRect(s, kHitShape, {0, 2000, 0, 1000}, {0, 0, 0, 255});
    test::defineFilledRect(s, kBadge, {0, 100, 0, 100}, {9, 9, 9, 255});
}

ButtonScript traceOn(uint16_t conditions, std::string_view text)
{
    return {conditions, 0, ActionBuilder().trace(text)};
}

std::vector<ButtonScript> tracingScripts(std::string_view prefix = "")
{
    auto t = [&](std::string_view what) { return std::string(prefix) + std::string(what); };
    return {traceOn(kIdleToOverUp, t("rollOver")),        traceOn(kOverUpToIdle, t("rollOut")),
            traceOn(kOverUpToOverDown, t("press")),       traceOn(kOverDownToOverUp, t("release")),
            traceOn(kOutDownToIdle, t("releaseOutside")), traceOn(kOverDownToOutDown, t("dragOut")),
            traceOn(kOutDownToOverDown, t("dragOver")),   {0, 65, ActionBuilder().trace("key A")}};
}

ColorTransform halfAlpha()
{
    ColorTransform cx;
    cx.aMul = 0.5f;
    return cx;
}

std::vector<ButtonPart> parts()
{
    return {
        {kButtonDown, kDownShape, 1, {}, {}},
        {kButtonUp, kUpShape, 1, {}, {}},
        {kButtonOver, kOverShape, 1, {}, {}},
        {kButtonHitTest, kHitShape, 1, {}, {}},
        // Drawn above the state's picture in up and over, whatever the record order.
        {kButtonUp | kButtonOver, kBadge, 3, at(300, 400), halfAlpha()},
    };
}

// The button at depth 1 of the root, scaled by 2 and moved to (1000, 1000) twips: its
// hit area covers 1000..5000 x 1000..3000 on the stage.
test::SwfWriter buttonMovie(std::vector<ButtonScript> scripts = tracingScripts())
{
    test::SwfWriter movie;
    defineParts(movie);
    test::defineButton2(movie, kButtonId, parts(), scripts);
    test::Place place = placeAt(1, kButtonId);
    place.matrix = Matrix{2, 0, 0, 2, 1000, 1000};
    movie.placeObject2(place).showFrame();
    return movie;
}

struct Pointer {
    explicit Pointer(Running& running) : run(running) {}
    Running& run;
    MouseInput mouse;
    bool move(double x, double y) { return mouse.move(run.root, *run.player, {x, y}); }
    bool press() { return mouse.press(run.root, *run.player); }
    bool release() { return mouse.release(run.root, *run.player); }
    ButtonVisual visual(uint16_t depth = 1) { return run.root.find(depth)->buttonVisual; }
    Lines take()
    {
        Lines lines = std::move(run.traces);
        run.traces.clear();
        return lines;
    }
};

TEST(ButtonMovie, PlacedButtonDrawsTheRecordsOfItsStateInDepthOrder)
{
    Running run(buttonMovie());
    const Character* button = run.movie->character(kButtonId);
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->kind, CharacterKind::Button);
    EXPECT_EQ(button->button->characters[1], run.movie->character(kUpShape));
    EXPECT_TRUE(run.movie->hasScripts);

    run.step();
    render::RenderNode tree = buildRenderTree(run.root);
    ASSERT_EQ(tree.children.size(), 1u);
    const render::RenderNode& node = tree.children[0];
    EXPECT_EQ(node.matrix.a, 2);
    ASSERT_EQ(node.children.size(), 2u);
    EXPECT_EQ(node.children[0].shape, run.movie->character(kUpShape)->shape);
    EXPECT_EQ(node.children[1].shape, run.movie->character(kBadge)->shape);
    EXPECT_EQ(node.children[1].matrix.tx, 300);
    EXPECT_EQ(node.children[1].matrix.ty, 400);
    EXPECT_EQ(node.children[1].colorTransform, halfAlpha());

    EXPECT_TRUE(run.player->showButtonState(run.root, {}, 1, ButtonVisual::Down));
    EXPECT_FALSE(run.player->showButtonState(run.root, {}, 1, ButtonVisual::Down));
    EXPECT_FALSE(run.player->showButtonState(run.root, {}, 9, ButtonVisual::Over));  // nothing there
    tree = buildRenderTree(run.root);
    ASSERT_EQ(tree.children[0].children.size(), 1u);  // the hit area is never drawn
    EXPECT_EQ(tree.children[0].children[0].shape, run.movie->character(kDownShape)->shape);
}

TEST(ButtonMovie, SpriteInAStatePlaysAndItsFirstFrameIsTheHitArea)
{
    test::SwfWriter movie;
    defineParts(movie);
    test::TagStream sprite;
    sprite.placeObject(kDownShape, 1, at(50)).doAction(ActionBuilder().trace("sprite frame 1")).showFrame();
    sprite.removeObject2(1).placeObject(kOverShape, 2).showFrame();
    movie.defineSprite(20, 2, sprite);
    test::defineButton2(movie, kButtonId, {{kButtonUp | kButtonHitTest, 20, 1, at(7), {}}}, {});
    movie.placeObject(kButtonId, 1).showFrame();
    Running run(movie);
    run.step();
    render::RenderNode tree = buildRenderTree(run.root);
    ASSERT_EQ(tree.children[0].children.size(), 1u);
    const render::RenderNode& spriteNode = tree.children[0].children[0];
    EXPECT_EQ(spriteNode.matrix.tx, 7);
    ASSERT_EQ(spriteNode.children.size(), 1u);
    EXPECT_EQ(spriteNode.children[0].shape, run.movie->character(kDownShape)->shape);
    EXPECT_EQ(spriteNode.children[0].matrix.tx, 50);
    EXPECT_EQ(run.traces, Lines{"sprite frame 1"});

    // The sprite in the button plays on.
    run.step();
    tree = buildRenderTree(run.root);
    ASSERT_EQ(tree.children[0].children[0].children.size(), 1u);
    EXPECT_EQ(tree.children[0].children[0].children[0].shape, run.movie->character(kOverShape)->shape);

    // The hit area counts the sprite's first frame, whatever frame it shows.
    Pointer pointer(run);
    pointer.move(60, 10);
    EXPECT_EQ(pointer.visual(), ButtonVisual::Over);
    pointer.move(40, 10);
    EXPECT_EQ(pointer.visual(), ButtonVisual::Up);
}

TEST(ButtonMovie, PointerWalksTheButtonThroughItsStatesAndScripts)
{
    Running run(buttonMovie());
    run.step();
    Pointer pointer(run);

    EXPECT_FALSE(pointer.move(900, 900));  // outside the scaled hit area
    EXPECT_TRUE(pointer.take().empty());
    EXPECT_FALSE(pointer.mouse.overActive());
    // Inside the hit area where the up picture does not reach: still over.
    EXPECT_TRUE(pointer.move(4900, 2900));
    EXPECT_EQ(pointer.take(), Lines{"rollOver"});
    EXPECT_EQ(pointer.visual(), ButtonVisual::Over);
    EXPECT_TRUE(pointer.mouse.overActive());
    EXPECT_FALSE(pointer.move(1100, 1100));  // moving within it changes nothing
    EXPECT_TRUE(pointer.take().empty());

    EXPECT_TRUE(pointer.press());
    EXPECT_EQ(pointer.visual(), ButtonVisual::Down);
    EXPECT_TRUE(pointer.release());
    EXPECT_EQ(pointer.visual(), ButtonVisual::Over);
    EXPECT_EQ(pointer.take(), (Lines{"press", "release"}));

    pointer.press();
    pointer.move(5100, 2000);
    EXPECT_EQ(pointer.visual(), ButtonVisual::Over);
    pointer.move(3000, 2000);
    EXPECT_EQ(pointer.visual(), ButtonVisual::Down);
    pointer.move(0, 0);
    pointer.release();
    EXPECT_EQ(pointer.visual(), ButtonVisual::Up);
    EXPECT_EQ(pointer.take(), (Lines{"press", "dragOut", "dragOver", "dragOut", "releaseOutside"}));
    EXPECT_FALSE(pointer.mouse.overActive());

    pointer.move(3000, 2000);
    pointer.move(3000, 3100);
    EXPECT_EQ(pointer.take(), (Lines{"rollOver", "rollOut"}));
    EXPECT_EQ(pointer.visual(), ButtonVisual::Up);
    // A press and release away from any button does nothing.
    EXPECT_FALSE(pointer.press());
    EXPECT_FALSE(pointer.release());
    EXPECT_TRUE(pointer.take().empty());
}

TEST(ButtonMovie, TopmostButtonWinsAndScriptsRunOnTheParentTimeline)
{
    test::SwfWriter movie;
    defineParts(movie);
    // DefineButton: one script, on release, run with the button's parent as target.
    test::defineButton(movie, 11, {{kButtonUp | kButtonHitTest, kHitShape, 1, {}, {}}},
                       ActionBuilder().pushString("low ").getVariable("_name").op(0x47).trace());
    test::defineButton2(movie, 12, {{kButtonUp | kButtonHitTest, kHitShape, 1, {}, {}}},
                        {traceOn(kOverDownToOverUp, "high")});
    test::TagStream inner;
    inner.placeObject(11, 1).placeObject(12, 2, at(1000)).showFrame();
    movie.defineSprite(20, 1, inner);
    test::Place clip = placeAt(1, 20);
    clip.name = "holder";
    clip.matrix = Matrix{1, 0, 0, 0.5, 0, 2000};  // squashed: y 2000..2500 on the stage
    movie.placeObject2(clip).showFrame();
    Running run(movie);
    run.step();
    Pointer pointer(run);

    pointer.move(500, 2400);  // only the lower button
    pointer.press();
    EXPECT_TRUE(pointer.take().empty());  // DefineButton's script waits for the release
    pointer.release();
    EXPECT_EQ(pointer.take(), Lines{"low holder"});
    pointer.move(1500, 2400);  // both: the higher depth wins
    pointer.press();
    pointer.release();
    EXPECT_EQ(pointer.take(), Lines{"high"});
    pointer.move(1500, 2600);  // below the squashed clip
    pointer.press();
    pointer.release();
    EXPECT_TRUE(pointer.take().empty());
}

TEST(ButtonMovie, ClipWithPointerHandlersActsAsAButton)
{
    test::MovieOptions options;
    options.version = 8;
    test::SwfWriter movie(options);
    defineParts(movie);
    test::TagStream inner;
    inner.placeObject(kHitShape, 1).showFrame();
    movie.defineSprite(20, 1, inner);
    test::Place clip = placeAt(1, 20);
    clip.name = "clip";
    movie.placeObject2(clip);
    auto handler = [](std::string_view name) {
        return ActionBuilder()
            .getVariable("clip")
            .pushString(name)
            .defineFunction("", {}, ActionBuilder()
                                                     .pushString(std::string(name) + " ")
                                                     .getVariable("this")
                                                     .pushString("_name")
                                                     .op(0x4E)
                                                     .op(0x47)
                                                     .trace())
            .op(0x4F);
    };
    movie.doAction(handler("onPress").append(handler("onRelease")).append(handler("onRollOut")).stop());
    movie.showFrame();
    Running run(movie);
    run.step();
    Pointer pointer(run);
    pointer.move(100, 100);
    EXPECT_TRUE(pointer.mouse.overActive());
    pointer.press();
    pointer.release();
    pointer.move(3000, 100);
    EXPECT_EQ(pointer.take(), (Lines{"onPress clip", "onRelease clip", "onRollOut clip"}));
    EXPECT_FALSE(pointer.mouse.overActive());
}

TEST(ButtonMovie, StatesSwapTheirClipsAndScriptsReachTheButtonByName)
{
    test::MovieOptions options;
    options.version = 8;
    test::SwfWriter movie(options);
    defineParts(movie);
    test::TagStream upClip;
    upClip.doAction(ActionBuilder().pushString("up clip in ").getVariable("_parent").pushString("_name").op(0x4E).op(0x47).trace());
    upClip.showFrame();
    movie.defineSprite(20, 1, upClip);
    test::TagStream overClip;
    overClip.doAction(ActionBuilder().trace("over clip placed")).showFrame();
    movie.defineSprite(21, 1, overClip);
    test::defineButton2(movie, kButtonId,
                        {{kButtonUp, 20, 1, {}, {}},
                         {kButtonOver | kButtonDown, 21, 1, {}, {}},
                         {kButtonUp | kButtonOver | kButtonDown | kButtonHitTest, kHitShape, 2, {}, {}}},
                        {traceOn(kOverUpToOverDown, "condition press")});
    test::Place place = placeAt(1, kButtonId);
    place.name = "btn";
    movie.placeObject2(place);
    movie.doAction(ActionBuilder()
                       .getVariable("btn")
                       .pushString("onPress")
                       .defineFunction("", {}, ActionBuilder().trace("onPress handler"))
                       .op(0x4F)
                       .stop());
    movie.showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, Lines{"up clip in btn"});
    run.traces.clear();
    Pointer pointer(run);
    const DisplayObject* hit = run.root.find(1)->clip->find(2);
    pointer.move(100, 100);
    EXPECT_EQ(pointer.take(), Lines{"over clip placed"});
    EXPECT_EQ(run.root.find(1)->clip->find(1)->characterId, 21);
    EXPECT_EQ(run.root.find(1)->clip->find(2), hit);  // shown in both states: kept
    pointer.press();
    EXPECT_EQ(pointer.take(), (Lines{"condition press", "onPress handler"}));
    EXPECT_EQ(run.root.find(1)->clip->find(1)->characterId, 21);  // over and down share it
}

TEST(ButtonMovie, HeldPointerMovesBetweenMenuButtonsButNotOntoOthers)
{
    test::SwfWriter movie;
    defineParts(movie);
    auto menuScripts = [](std::string_view name) {
        std::string n(name);
        return std::vector<ButtonScript>{traceOn(kOverUpToOverDown, n + " press"), traceOn(kIdleToOverDown, n + " dragOver"),
                                         traceOn(kOverDownToIdle, n + " dragOut"), traceOn(kOverDownToOverUp, n + " release"),
                                         traceOn(kIdleToOverUp, n + " rollOver")};
    };
    const std::vector<ButtonPart> area = {{kButtonUp | kButtonHitTest, kHitShape, 1, {}, {}}};
    test::defineButton2(movie, 11, area, menuScripts("A"), true);
    test::defineButton2(movie, 12, area, menuScripts("B"), true);
    test::defineButton2(movie, 13, area, menuScripts("plain"), false);
    movie.placeObject(11, 1).placeObject(12, 2, at(3000)).placeObject(13, 3, at(6000)).showFrame();
    Running run(movie);
    run.step();
    Pointer pointer(run);

    pointer.move(100, 100);
    pointer.press();
    pointer.move(3100, 100);
    EXPECT_EQ(pointer.visual(1), ButtonVisual::Up);
    EXPECT_EQ(pointer.visual(2), ButtonVisual::Down);
    pointer.release();
    EXPECT_EQ(pointer.take(), (Lines{"A rollOver", "A press", "A dragOut", "B dragOver", "B release"}));

    // Held down from empty stage, the pointer passes over a plain button unnoticed.
    pointer.move(9500, 100);
    pointer.take();
    pointer.press();
    pointer.move(6100, 100);
    EXPECT_EQ(pointer.visual(3), ButtonVisual::Up);
    EXPECT_TRUE(pointer.take().empty());
    pointer.release();
    EXPECT_EQ(pointer.take(), Lines{"plain rollOver"});
}

TEST(ButtonMovie, ButtonsShowingEachOtherStayBounded)
{
    // Sprite 20 places button 30 twice; button 30 shows sprite 20 twice in every state.
    test::SwfWriter movie;
    defineParts(movie);
    test::TagStream inner;
    inner.placeObject(30, 1).placeObject(30, 2).showFrame();
    movie.defineSprite(20, 1, inner);
    test::defineButton2(movie, 30,
                        {{0x0f, 20, 1, {}, {}}, {0x0f, 20, 2, {}, {}}, {0x0f, kHitShape, 3, at(5000), {}}}, {});
    movie.placeObject(30, 1).showFrame();
    Running run(movie);
    run.step();
    render::RenderNode tree = buildRenderTree(run.root);
    EXPECT_FALSE(tree.children[0].children.empty());
    Pointer pointer(run);
    pointer.move(5500, 500);
    EXPECT_EQ(pointer.visual(), ButtonVisual::Over);
    pointer.move(100, 100);
    EXPECT_EQ(pointer.visual(), ButtonVisual::Up);
}

} // namespace
} // namespace swf::movie::testing
