// Gotos rebuild the display list from placement plans: a plan must be exactly the list
// that playing from the first frame reaches, however it is pieced together from
// snapshots, and a goto must land there whichever way it jumps.

#include "engine/movie/SeekIndex.h"
#include "tests/engine/movie/MovieFixture.h"

#include <gtest/gtest.h>

namespace swf::movie {
namespace {

using namespace testing;

// The top-level list only: nested clips keep their own state across a goto.
std::string topLevel(const ClipState& clip)
{
    ClipState flat = clip;
    for (DisplayObject& o : flat.children)
        o.clip.reset();
    flat.playing = true;
    return dump(flat);
}

class GotoMatchesPlaying : public ::testing::Test {
protected:
    void SetUp() override
    {
        movie_ = load(test::busyMovie(300, 7));
        TimelinePlayer player(*movie_, {});
        player.setLoop(false);
        ClipState root = player.makeRoot();
        for (int frame = 1; frame <= movie_->root.frameCount(); ++frame) {
            player.step(root);
            played_.push_back(topLevel(root));
        }
    }
    const std::string& playedTo(int frame) const { return played_[static_cast<size_t>(frame - 1)]; }

    std::shared_ptr<const MovieDef> movie_;
    std::vector<std::string> played_;
};

TEST_F(GotoMatchesPlaying, AheadAndBehindInAnyOrder)
{
    TimelinePlayer player(*movie_, {});
    ClipState root = player.makeRoot();
    player.step(root);
    for (int frame : {2, 3, 150, 17, 16, 300, 299, 33, 1, 240, 241, 100, 64, 65, 63, 2}) {
        player.gotoFrame(root, {}, frame, true);
        EXPECT_EQ(root.frame, frame);
        EXPECT_EQ(topLevel(root), playedTo(frame)) << "goto " << frame;
    }
}

TEST_F(GotoMatchesPlaying, FramesOutOfRangeAreClamped)
{
    TimelinePlayer player(*movie_, {});
    ClipState root = player.makeRoot();
    player.step(root);
    player.gotoFrame(root, {}, 100000, true);
    EXPECT_EQ(topLevel(root), playedTo(300));
    player.gotoFrame(root, {}, -5, true);
    EXPECT_EQ(topLevel(root), playedTo(1));
}

TEST_F(GotoMatchesPlaying, AMovieNotYetStartedEntersTheTargetFrameFirst)
{
    TimelinePlayer player(*movie_, {});
    ClipState root = player.makeRoot();
    player.gotoFrame(root, {}, 200, true);
    EXPECT_EQ(topLevel(root), playedTo(200));
    player.step(root);
    EXPECT_EQ(topLevel(root), playedTo(201));
}

// A plan that records the frames applied to it: frame f adds the object at depth f.
struct CountingApply {
    std::vector<int> applied;
    SeekIndex::ApplyFrame function()
    {
        return [this](ClipState& plan, int frame) {
            applied.push_back(frame);
            DisplayObject o;
            o.depth = static_cast<uint16_t>(frame);
            plan.insert(std::move(o));
        };
    }
};

TEST(SeekIndexPlans, HoldEveryFrameOnceAndReplayLessThanAnInterval)
{
    TimelineDef timeline;
    timeline.frames.resize(500);
    for (int interval : {1, 7, 32, 1000}) {
        SeekIndex index(interval);
        for (int frame : {500, 1, 33, 32, 31, 250, 499, 7, 8}) {
            CountingApply apply;
            ClipState plan = index.planAt(timeline, frame, apply.function());
            ASSERT_EQ(plan.frame, frame);
            ASSERT_EQ(plan.children.size(), static_cast<size_t>(frame)) << "interval " << interval;
            for (int d = 1; d <= frame; ++d)
                ASSERT_TRUE(plan.find(static_cast<uint16_t>(d))) << "interval " << interval << " frame " << frame;
            if (frame != 500) {
                EXPECT_LT(apply.applied.size(), static_cast<size_t>(interval)) << "interval " << interval << " frame " << frame;
            }
        }
    }
}

TEST(SeekIndexPlans, SnapshotsAreTakenOnlyAsFarAsNeededAndPerTimeline)
{
    TimelineDef a;
    a.frames.resize(100);
    TimelineDef b;
    b.frames.resize(100);
    SeekIndex index(10);
    CountingApply apply;
    index.planAt(a, 35, apply.function());
    EXPECT_EQ(index.snapshotCount(), 3u);
    index.planAt(a, 5, apply.function());
    EXPECT_EQ(index.snapshotCount(), 3u);
    ClipState fromB = index.planAt(b, 12, apply.function());
    EXPECT_EQ(index.snapshotCount(), 4u);
    EXPECT_EQ(fromB.children.size(), 12u);
    EXPECT_EQ(index.planAt(a, 0, apply.function()).frame, 1);
    EXPECT_EQ(index.planAt(a, 1000, apply.function()).frame, 100);
}

TEST(Goto, AClipThatStaysKeepsItsOwnFrameAndANewOneStartsAtItsFirst)
{
    test::SwfWriter w;
    w.defineEmptyShape(1).defineEmptyShape(2);
    test::TagStream sprite;
    sprite.placeObject2(placeAt(1, 1)).showFrame().removeObject2(1).placeObject2(placeAt(1, 2)).showFrame();
    sprite.showFrame();
    w.defineSprite(5, 3, sprite);
    w.placeObject2(placeAt(1, 5)).showFrame();  // stays throughout
    for (int i = 0; i < 40; ++i)
        w.showFrame();
    w.placeObject2(placeAt(2, 5)).showFrame();  // frame 42
    w.showFrame();
    Running run(w);
    run.step(2);
    ASSERT_EQ(run.root.find(1)->clip->frame, 2);
    run.gotoFrame(42);
    EXPECT_EQ(run.root.find(1)->clip->frame, 2) << "the clip at depth 1 stayed";
    ASSERT_TRUE(run.root.find(2) && run.root.find(2)->clip);
    EXPECT_EQ(run.root.find(2)->clip->frame, 1);
    EXPECT_EQ(listOf(*run.root.find(1)->clip), "1:2");
    run.gotoFrame(3);
    EXPECT_EQ(run.root.find(2), nullptr);
    EXPECT_EQ(run.root.find(1)->clip->frame, 2);
}

TEST(Goto, TellsWhereTheTimelineLandedSoStreamSoundCanResumeThere)
{
    // The sprite at depth 1 jumps to its third frame from its first by script.
    test::SwfWriter w;
    test::TagStream sprite;
    sprite.doAction(test::ActionBuilder().gotoFrame(2).stop()).showFrame().showFrame().showFrame();
    w.defineSprite(5, 3, sprite);
    w.placeObject2(placeAt(1, 5)).showFrame();
    for (int i = 0; i < 50; ++i)
        w.showFrame();
    auto movie = load(w);
    std::vector<std::pair<ClipPath, int>> landings;
    MovieHooks hooks;
    hooks.jumped = [&](const ClipPath& path, int frame) { landings.emplace_back(path, frame); };
    TimelinePlayer player(*movie, hooks);
    ClipState root = player.makeRoot();
    player.step(root);
    player.gotoFrame(root, {}, 40, true);
    player.gotoFrame(root, {}, 40, true);  // already there: no goto
    player.gotoFrame(root, {}, 2, true);
    using Landing = std::pair<ClipPath, int>;
    EXPECT_EQ(landings, (std::vector<Landing>{{ClipPath{1}, 3}, {ClipPath{}, 40}, {ClipPath{}, 2}}));
}

} // namespace
} // namespace swf::movie
