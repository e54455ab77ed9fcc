// Seeking keeps snapshots of the display list; a long movie with a crowded display
// list must not turn them into gigabytes, and seeks past the last snapshot must still
// land on the right state.

#include "engine/format/Container.h"
#include "engine/movie/MovieDef.h"
#include "engine/movie/SeekIndex.h"
#include "engine/movie/Timeline.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf::test {
namespace {

TEST(SeekMemory, SnapshotsOfACrowdedLongMovieStayWithinTheirBudget)
{
    constexpr int kObjects = 60'000;
    constexpr int kFrames = 2'000;
    SwfWriter writer;
    writer.defineEmptyShape(1);
    for (int depth = 1; depth <= kObjects; ++depth) {
        Place place;
        place.depth = static_cast<uint16_t>(depth);
        place.characterId = 1;
        writer.placeObject2(place);
    }
    for (int frame = 1; frame <= kFrames; ++frame)
        writer.showFrame();
    auto movie = movie::buildMovie(decodeMovie(writer.build(Compression::Zlib)));

    // The plans a goto rebuilds from, as the timeline player makes them.
    movie::TimelinePlayer player(*movie, {});
    movie::ClipState root = player.makeRoot();
    player.step(root);
    player.gotoFrame(root, {}, kFrames, true);
    EXPECT_EQ(root.frame, kFrames);
    EXPECT_EQ(root.children.size(), size_t{kObjects});
    const movie::SeekIndex& index = player.seekIndex();
    // Every 32 frames would be 63 snapshots of 60,000 objects; the budget of two
    // million objects stops them after 34.
    EXPECT_LE(index.snapshotCount(), 34u);

    player.gotoFrame(root, {}, kFrames / 2, true);
    EXPECT_EQ(root.frame, kFrames / 2);
    EXPECT_EQ(root.children.size(), size_t{kObjects});
}

} // namespace
} // namespace swf::test
