// A window repaints a new frame only when it draws something else than the frame last
// painted: a movie standing still costs no drawing, one that moves repaints every frame.

#include "engine/Player.h"
#include "tests/support/SwfWriter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

using namespace swf;

void paintOnce(Player& player)
{
    QImage image(50, 40, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    player.paint(painter, QRectF(0, 0, 50, 40), ScaleMode::ShowAll, RenderQuality::High);
}

TEST(PictureChange, OnlyFramesThatDrawSomethingElseNeedAPaint)
{
    // Frame 1 places a shape, frame 2 changes nothing, frame 3 moves it, frame 4 changes
    // nothing again, frame 5 removes it.
    test::SwfWriter movie;
    movie.defineEmptyShape(1).placeObject(1, 1).showFrame();
    movie.showFrame();
    test::Place moved;
    moved.depth = 1;
    moved.move = true;
    moved.matrix = Matrix{1, 0, 0, 1, 200, 0};
    movie.placeObject2(moved).showFrame();
    movie.showFrame();
    movie.removeObject2(1).showFrame();

    Player player;
    EXPECT_FALSE(player.pictureChanged()) << "nothing loaded";
    player.loadBytes(movie.build());
    player.advance();
    EXPECT_TRUE(player.pictureChanged()) << "nothing painted yet";
    paintOnce(player);
    EXPECT_FALSE(player.pictureChanged()) << "just painted";

    const bool expected[] = {false, true, false, true};
    for (int frame = 2; frame <= 5; ++frame) {
        player.advance();
        EXPECT_EQ(player.pictureChanged(), expected[frame - 2]) << "frame " << frame;
        // Unpainted, a change is still reported on the next look.
        EXPECT_EQ(player.pictureChanged(), expected[frame - 2]) << "frame " << frame;
        paintOnce(player);
        EXPECT_FALSE(player.pictureChanged()) << "frame " << frame;
    }

    // A new movie has not been painted.
    player.loadBytes(movie.build());
    player.advance();
    EXPECT_TRUE(player.pictureChanged());
}

TEST(PictureChange, AMovieThatChangesEveryFrameRepaintsEveryFrame)
{
    Player player;
    player.loadBytes(test::busyMovie(30, 7).build());
    int changed = 0;
    for (int frame = 0; frame < 30; ++frame) {
        player.advance();
        changed += player.pictureChanged();
        paintOnce(player);
    }
    EXPECT_GE(changed, 25);
}

} // namespace
