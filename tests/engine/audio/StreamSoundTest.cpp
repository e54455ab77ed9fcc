// Streamed sound: each frame's block is heard in that frame; the stream follows its
// timeline through stops, gotos, loops, sprites and seeks.

#include "tests/engine/audio/SoundFixture.h"

#include "engine/audio/Mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

namespace swf::test {
namespace {

// Frame f's block holds kFrameSamples samples of f * 100.
void streamFrames(TagStream& tags, int frames, const std::vector<ActionBuilder*>& scripts = {})
{
    soundStreamHead(tags, {}, kFrameSamples);
    for (int f = 1; f <= frames; ++f) {
        std::vector<int16_t> block(kFrameSamples, static_cast<int16_t>(f * 100));
        soundStreamBlock(tags, pcm16Bytes(block));
        if (static_cast<size_t>(f) <= scripts.size() && scripts[f - 1])
            tags.doAction(*scripts[f - 1]);
        tags.showFrame();
    }
}

// The value heard in the middle of each frame's share.
std::vector<int> perFrame(const Heard& heard)
{
    std::vector<int> values;
    for (size_t f = 0; f * kFrameSamples < heard.frames(); ++f) {
        int16_t first = heard.left(f * kFrameSamples);
        int16_t last = heard.left(f * kFrameSamples + kFrameSamples - 1);
        values.push_back(first == last ? first : -1);
    }
    return values;
}

TEST(StreamSound, EachFramesBlockIsHeardInThatFrame)
{
    SwfWriter movie(tenFps());
    streamFrames(movie, 5);
    movie.showFrame();
    EXPECT_EQ(perFrame(hear(movie, 6)), (std::vector<int>{100, 200, 300, 400, 500, 0}));
}

TEST(StreamSound, FollowsItsTimelineThroughStopsAndGotos)
{
    ActionBuilder stop;
    stop.stop();
    ActionBuilder back;
    back.gotoFrame(0).play();
    {
        SwfWriter movie(tenFps());
        streamFrames(movie, 5, {nullptr, nullptr, &stop});
        EXPECT_EQ(perFrame(hear(movie, 5)), (std::vector<int>{100, 200, 300, 0, 0}));
    }
    {
        // The goto on frame 4 sends the stream back to frame 1's block at once.
        SwfWriter movie(tenFps());
        streamFrames(movie, 5, {nullptr, nullptr, nullptr, &back});
        EXPECT_EQ(perFrame(hear(movie, 8)), (std::vector<int>{100, 200, 300, 100, 200, 300, 100, 200}));
    }
}

TEST(StreamSound, SpritesStreamAndLoopWithTheirOwnTimeline)
{
    TagStream sprite;
    streamFrames(sprite, 3);
    SwfWriter movie(tenFps());
    movie.defineSprite(5, 3, sprite);
    movie.showFrame();
    movie.placeObject(5, 1);
    for (int i = 0; i < 6; ++i)
        movie.showFrame();
    EXPECT_EQ(perFrame(hear(movie, 7)), (std::vector<int>{0, 100, 200, 300, 100, 200, 300}));
}

TEST(StreamSound, RemovingTheSpriteEndsItsStream)
{
    TagStream sprite;
    streamFrames(sprite, 5);
    SwfWriter movie(tenFps());
    movie.defineSprite(5, 5, sprite);
    movie.placeObject(5, 1);
    movie.showFrame();
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();
    movie.showFrame();
    EXPECT_EQ(perFrame(hear(movie, 4)), (std::vector<int>{100, 200, 0, 0}));
}

TEST(StreamSound, SeekGoesOnFromTheLandingFrameAndStopPausesSound)
{
    SwfWriter movie(tenFps());
    streamFrames(movie, 8);
    Player player;
    player.loadBytes(movie.build());
    player.advance();
    std::vector<int16_t> buffer(2 * 1000);
    player.renderSound(buffer);
    EXPECT_EQ(buffer[10], 100);
    player.seek(5);
    EXPECT_EQ(player.currentFrame(), 5);
    player.renderSound(buffer);
    EXPECT_EQ(buffer[10], 500);
    player.stop();
    player.renderSound(buffer);
    EXPECT_EQ(buffer[10], 0);
    player.play();
    player.renderSound(buffer);
    EXPECT_EQ(buffer[10], 500);  // the rest of frame 5's block, resumed
    player.unload();
    player.renderSound(buffer);
    EXPECT_EQ(buffer[10], 0);
}

TEST(StreamSound, WithAnAudioClockTheTimelineKeepsPaceWithItsStream)
{
    SwfWriter movie(tenFps());
    streamFrames(movie, 12);
    Player player;
    player.loadBytes(movie.build());
    player.advance();
    player.setAudioClock(true);
    // The sound has played three frames' worth: the timeline jumps to frame 4, however
    // little time the wall clock says has passed.
    std::vector<int16_t> buffer(2 * 3 * kFrameSamples);
    player.renderSound(buffer);
    EXPECT_TRUE(player.tick(std::chrono::nanoseconds(1)));
    EXPECT_EQ(player.currentFrame(), 4);
    // The sound not having moved on, the timeline waits however much time passes.
    EXPECT_FALSE(player.tick(std::chrono::seconds(1)));
    EXPECT_EQ(player.currentFrame(), 4);
    // The stream kept playing through the frames stepped over.
    std::vector<int16_t> next(20);
    player.renderSound(next);
    EXPECT_EQ(next[0], 400);
    // Without the audio clock, wall time drives the frames again.
    player.setAudioClock(false);
    EXPECT_TRUE(player.tick(std::chrono::milliseconds(100)));
    EXPECT_EQ(player.currentFrame(), 5);
}

TEST(StreamSound, LoadingAnotherMovieSilencesTheFirst)
{
    SwfWriter loud(tenFps());
    streamFrames(loud, 3);
    SwfWriter quiet(tenFps());
    quiet.showFrame();
    Player player;
    player.loadBytes(loud.build());
    player.advance();
    player.loadBytes(quiet.build());
    player.advance();
    std::vector<int16_t> buffer(200);
    player.renderSound(buffer);
    EXPECT_EQ(buffer[10], 0);
    EXPECT_EQ(player.mixer()->voiceCount(), 0u);
}

// MP3 frames of the test tone, split at their headers (MPEG-2 layer III, 576
// samples each).
std::vector<std::vector<uint8_t>> mp3Frames()
{
    std::ifstream in(std::string(LANFAN_SOURCE_DIR) + "/tests/engine/audio/data/sine440_22k.mp3", std::ios::binary);
    std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    static constexpr int kBitrates[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr int kRates[] = {22050, 24000, 16000, 0};
    std::vector<std::vector<uint8_t>> frames;
    size_t at = 0;
    while (at + 4 <= data.size() && data[at] == 0xff && (data[at + 1] & 0xe0) == 0xe0) {
        int bitrate = kBitrates[data[at + 2] >> 4];
        int rate = kRates[(data[at + 2] >> 2) & 3];
        if (!bitrate || !rate)
            break;
        size_t length = static_cast<size_t>(72000 * bitrate / rate + ((data[at + 2] >> 1) & 1));
        if (at + length > data.size())
            break;
        frames.emplace_back(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + length));
        at += length;
    }
    return frames;
}

TEST(StreamSound, Mp3StreamPlaysItsToneAcrossBlocks)
{
    auto frames = mp3Frames();
    ASSERT_GT(frames.size(), 30u);
    SwfWriter movie(tenFps());
    soundStreamHead(movie, {SoundFormat::Mp3, 2, true, false}, 2205);
    // Four MP3 frames (2304 samples) per block, about one movie frame's worth.
    size_t next = 0;
    int movieFrames = 0;
    while (next < frames.size()) {
        BitWriter block;
        size_t count = std::min<size_t>(4, frames.size() - next);
        block.u16(static_cast<uint16_t>(count * 576));
        block.u16(0);
        for (size_t i = 0; i < count; ++i)
            block.bytes(frames[next + i]);
        next += count;
        soundStreamBlock(movie, block.take());
        movie.showFrame();
        ++movieFrames;
    }
    Heard heard = hear(movie, movieFrames);
    EXPECT_TRUE(heard.notices.empty());
    EXPECT_NEAR(heard.frequency(8000, 40000), 440.0, 6.0);
    EXPECT_NEAR(heard.rms(8000, 40000) / 32768.0, 0.354, 0.06);
}

} // namespace
} // namespace swf::test
