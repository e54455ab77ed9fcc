// Seeking lands in exactly the state that playing to the frame would have reached.

#include "engine/movie/SeekIndex.h"
#include "tests/engine/movie/MovieFixture.h"

#include <gtest/gtest.h>

namespace swf::movie {
namespace {

using namespace testing;

class SeekMatchesPlaying : public ::testing::Test {
protected:
    void SetUp() override
    {
        movie_ = load(test::busyMovie(300, 7));
        TimelinePlayer player(*movie_, {});
        player.setLoop(false);
        ClipState root = player.makeRoot();
        for (int frame = 1; frame <= movie_->root.frameCount(); ++frame) {
            player.step(root);
            played_.push_back(dump(root));
        }
    }
    const std::string& playedTo(int frame) const { return played_[static_cast<size_t>(frame - 1)]; }

    std::shared_ptr<const MovieDef> movie_;
    std::vector<std::string> played_;
};

TEST_F(SeekMatchesPlaying, AheadAndBehindInAnyOrder)
{
    SeekIndex index(*movie_, 16);
    for (int frame : {1, 2, 150, 17, 16, 300, 299, 33, 1, 240, 241, 100}) {
        ClipState state = index.stateAt(frame);
        EXPECT_EQ(state.frame, frame);
        EXPECT_EQ(dump(state), playedTo(frame)) << "seek to " << frame;
    }
}

TEST_F(SeekMatchesPlaying, EveryFrameWithAnyInterval)
{
    for (int interval : {1, 7, 64, 1000}) {
        SeekIndex index(*movie_, interval);
        for (int frame = 300; frame >= 1; frame -= 13)
            ASSERT_EQ(dump(index.stateAt(frame)), playedTo(frame)) << "interval " << interval << " frame " << frame;
    }
}

TEST_F(SeekMatchesPlaying, FramesOutOfRangeAreClamped)
{
    SeekIndex index(*movie_);
    EXPECT_EQ(dump(index.stateAt(0)), playedTo(1));
    EXPECT_EQ(dump(index.stateAt(-5)), playedTo(1));
    EXPECT_EQ(dump(index.stateAt(100000)), playedTo(300));
}

TEST_F(SeekMatchesPlaying, SnapshotsAreTakenOnlyAsFarAsNeeded)
{
    SeekIndex index(*movie_, 10);
    index.stateAt(35);
    EXPECT_EQ(index.snapshotCount(), 4u);
    index.stateAt(5);
    EXPECT_EQ(index.snapshotCount(), 4u);
}

TEST(Seek, NestedClipsHaveSteppedAlong)
{
    test::SwfWriter w;
    w.defineEmptyShape(1).defineEmptyShape(2);
    test::TagStream sprite;
    sprite.placeObject2(placeAt(1, 1)).showFrame().removeObject2(1).placeObject2(placeAt(1, 2)).showFrame();
    w.defineSprite(5, 2, sprite);
    w.placeObject2(placeAt(1, 5)).showFrame();
    for (int i = 0; i < 9; ++i)
        w.showFrame();
    auto movie = load(w);
    SeekIndex index(*movie, 4);
    ClipState at6 = index.stateAt(6);
    ASSERT_TRUE(at6.find(1) && at6.find(1)->clip);
    EXPECT_EQ(at6.find(1)->clip->frame, 2);
    EXPECT_EQ(listOf(*at6.find(1)->clip), "1:2");
    EXPECT_EQ(index.stateAt(7).find(1)->clip->frame, 1);
}

} // namespace
} // namespace swf::movie
