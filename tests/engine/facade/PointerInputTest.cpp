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

} // namespace
} // namespace swf
