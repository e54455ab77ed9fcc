// Event sounds through the whole engine, checked sample by sample on the export:
// where they start, each codec's samples, loops, in and out points, envelopes, stop
// and no-multiple, and the movie carrying on past bad sound data.

#include "tests/engine/audio/SoundFixture.h"

#include <gtest/gtest.h>

namespace swf::test {
namespace {

// A movie that defines sound 1 from `samples` and starts it on frame `startFrame`.
SwfWriter startsOnFrame(const std::vector<int16_t>& samples, int startFrame, int frames, const SoundInfo& info = {})
{
    SwfWriter movie(tenFps());
    definePcmSound(movie, 1, samples);
    for (int f = 1; f <= frames; ++f) {
        if (f == startFrame)
            startSound(movie, 1, info);
        movie.showFrame();
    }
    return movie;
}

TEST(EventSound, StartsOnTheFirstSampleOfItsFrameAndPlaysEverySample)
{
    for (int startFrame : {1, 2, 5}) {
        auto samples = ramp(3000, 100, 3);
        Heard heard = hear(startsOnFrame(samples, startFrame, 6), 6);
        ASSERT_EQ(heard.frames(), 6 * kFrameSamples);
        size_t at = (startFrame - 1) * kFrameSamples;
        EXPECT_EQ(heard.firstSound(), at) << "start frame " << startFrame;
        for (size_t i = 0; i < samples.size(); ++i) {
            ASSERT_EQ(heard.left(at + i), samples[i]) << "sample " << i;
            ASSERT_EQ(heard.right(at + i), samples[i]) << "sample " << i;
        }
        EXPECT_EQ(heard.left(at + samples.size()), 0);
    }
}

TEST(EventSound, UncompressedWidthsAndChannelsDecodeExactly)
{
    struct Case {
        const char* name;
        SoundFields fields;
        std::vector<uint8_t> data;
        std::vector<std::pair<int16_t, int16_t>> expected;  // left, right per frame
    };
    const std::vector<Case> cases = {
        {"8-bit unsigned mono", {SoundFormat::PcmLittle, 3, false, false}, {0x80, 0x81, 0x7f, 0xff},
         {{0, 0}, {256, 256}, {-256, -256}, {32512, 32512}}},
        {"8-bit native-order stereo", {SoundFormat::PcmNative, 3, false, true}, {0x90, 0x70, 0x00, 0x80},
         {{4096, -4096}, {-32768, 0}}},
        {"16-bit little-endian stereo", {SoundFormat::PcmLittle, 3, true, true}, {0x34, 0x12, 0xcc, 0xed},
         {{0x1234, -0x1234}}},
        {"16-bit native-order mono", {SoundFormat::PcmNative, 3, true, false}, {0x01, 0x00, 0xff, 0x7f},
         {{1, 1}, {32767, 32767}}},
    };
    for (const Case& c : cases) {
        SwfWriter movie(tenFps());
        defineSound(movie, 1, c.fields, static_cast<uint32_t>(c.expected.size()), c.data);
        startSound(movie, 1);
        movie.showFrame();
        Heard heard = hear(movie, 1);
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(heard.left(i), c.expected[i].first) << c.name << " sample " << i;
            EXPECT_EQ(heard.right(i), c.expected[i].second) << c.name << " sample " << i;
        }
        EXPECT_EQ(heard.left(c.expected.size()), 0) << c.name;
    }
}

TEST(EventSound, AdpcmBlockHoldsItsInitialSampleFromTheRightSample)
{
    // 4-bit codes (size field 2), one block: initial sample 1000, step index 0, and
    // 4095 zero codes, each adding a zero step: 4096 samples of 1000.
    BitWriter adpcm;
    adpcm.ub(2, 2);
    adpcm.ub(1000, 16);
    adpcm.ub(0, 6);
    for (int i = 0; i < 4095; ++i)
        adpcm.ub(0, 4);
    SwfWriter movie(tenFps());
    defineSound(movie, 1, {SoundFormat::Adpcm, 3, true, false}, 4096, adpcm.take());
    movie.showFrame();
    movie.showFrame();
    startSound(movie, 1);
    movie.showFrame();
    Heard heard = hear(movie, 3);
    EXPECT_EQ(heard.firstSound(), 2 * kFrameSamples);
    for (size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(heard.left(2 * kFrameSamples + i), 1000) << i;
    EXPECT_EQ(heard.left(2 * kFrameSamples + 4096), 0);
}

TEST(EventSound, LoopsInAndOutPointsPlayTheSectionAgainAndAgain)
{
    auto samples = ramp(1000, 1, 1);
    SoundInfo info;
    info.inPoint = 100;
    info.outPoint = 300;
    info.loopCount = 3;
    Heard heard = hear(startsOnFrame(samples, 2, 3, info), 3);
    size_t at = kFrameSamples;
    for (int loop = 0; loop < 3; ++loop)
        for (size_t i = 0; i < 200; ++i)
            ASSERT_EQ(heard.left(at + loop * 200 + i), samples[100 + i]) << "loop " << loop << " sample " << i;
    EXPECT_EQ(heard.left(at + 600), 0);
}

TEST(EventSound, EnvelopeScalesEachChannelAlongItsPoints)
{
    std::vector<int16_t> samples(2000, 20000);
    SoundInfo info;
    // Left fades from full to silence over 1000 samples; right holds a quarter.
    info.envelope = {{0, 32768, 8192}, {1000, 0, 8192}};
    Heard heard = hear(startsOnFrame(samples, 1, 1, info), 1);
    EXPECT_EQ(heard.left(0), 20000);
    EXPECT_NEAR(heard.left(500), 10000, 1);
    EXPECT_NEAR(heard.left(750), 5000, 1);
    EXPECT_EQ(heard.left(1500), 0);
    for (size_t i : {0, 500, 1999})
        EXPECT_EQ(heard.right(i), 5000) << i;
}

TEST(EventSound, SyncStopEndsThePlayingSoundAtItsFrame)
{
    std::vector<int16_t> samples(5 * kFrameSamples, 1234);
    SwfWriter movie(tenFps());
    definePcmSound(movie, 1, samples);
    startSound(movie, 1);
    movie.showFrame();
    movie.showFrame();
    SoundInfo stop;
    stop.syncStop = true;
    startSound(movie, 1, stop);
    movie.showFrame();
    movie.showFrame();
    Heard heard = hear(movie, 4);
    EXPECT_EQ(heard.left(2 * kFrameSamples - 1), 1234);
    EXPECT_EQ(heard.rms(2 * kFrameSamples, 4 * kFrameSamples), 0.0);
}

TEST(EventSound, NoMultipleKeepsOneVoiceWhileOtherStartsAddUp)
{
    std::vector<int16_t> samples(3 * kFrameSamples, 1000);
    for (bool noMultiple : {false, true}) {
        SwfWriter movie(tenFps());
        definePcmSound(movie, 1, samples);
        SoundInfo info;
        info.syncNoMultiple = noMultiple;
        startSound(movie, 1, info);
        movie.showFrame();
        startSound(movie, 1, info);
        movie.showFrame();
        Heard heard = hear(movie, 2);
        EXPECT_EQ(heard.left(kFrameSamples + 10), noMultiple ? 1000 : 2000) << noMultiple;
    }
}

TEST(EventSound, LoudVoicesSaturateInsteadOfWrapping)
{
    std::vector<int16_t> loud(100, 30000);
    std::vector<int16_t> quiet(100, -30000);
    SwfWriter movie(tenFps());
    definePcmSound(movie, 1, loud);
    definePcmSound(movie, 2, quiet);
    startSound(movie, 1);
    startSound(movie, 1);
    movie.showFrame();
    startSound(movie, 2);
    startSound(movie, 2);
    startSound(movie, 2);
    movie.showFrame();
    Heard heard = hear(movie, 2);
    EXPECT_EQ(heard.left(0), 32767);
    EXPECT_EQ(heard.left(kFrameSamples), -32768);
}

TEST(EventSound, ExportLastsExactlyItsFramesAtAnyRate)
{
    for (double rate : {12.0, 24.0, 29.97, 1.0}) {
        MovieOptions options;
        options.frameRate = rate;
        SwfWriter movie(options);
        movie.showFrame();
        Heard heard = hear(movie, 25);
        double fps = std::round(rate * 256) / 256;  // stored as 8.8 fixed point
        EXPECT_EQ(heard.frames(), static_cast<size_t>(std::llround(25 * 44100 / fps))) << rate;
    }
}

TEST(EventSound, StopAllSoundsSilencesEverythingPlaying)
{
    std::vector<int16_t> samples(4 * kFrameSamples, 700);
    SwfWriter movie(tenFps());
    definePcmSound(movie, 1, samples);
    startSound(movie, 1);
    movie.showFrame();
    movie.doAction(ActionBuilder().stopSounds());
    movie.showFrame();
    movie.showFrame();
    Heard heard = hear(movie, 3);
    EXPECT_EQ(heard.left(kFrameSamples - 1), 700);
    EXPECT_EQ(heard.rms(kFrameSamples, 3 * kFrameSamples), 0.0);
}

TEST(EventSound, BadSoundDataIsSkippedWithANoticeAndTheMoviePlaysOn)
{
    struct Case {
        const char* name;
        SoundFields fields;
        std::vector<uint8_t> data;
        uint32_t sampleCount;
    };
    const std::vector<Case> cases = {
        {"unknown format", {static_cast<SoundFormat>(9), 3, true, false}, {1, 2, 3, 4}, 2},
        {"no data", {SoundFormat::PcmLittle, 3, true, false}, {}, 1000},
        {"MP3 without frames", {SoundFormat::Mp3, 3, true, false}, {0, 0, 0xde, 0xad, 0xbe, 0xef}, 0xffffffff},
        {"half a sample", {SoundFormat::PcmLittle, 3, true, true}, {1, 2, 3}, 1},
    };
    std::vector<int16_t> good(100, 500);
    for (const Case& c : cases) {
        SwfWriter movie(tenFps());
        defineSound(movie, 1, c.fields, c.sampleCount, c.data);
        definePcmSound(movie, 2, good);
        startSound(movie, 1);
        startSound(movie, 2);
        movie.doAction(ActionBuilder().trace("frame 1"));
        movie.showFrame();
        Player player;
        std::vector<std::string> lines;
        player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
        Heard heard = hear(movie, 1, &player);
        EXPECT_EQ(heard.notices.size(), 1u) << c.name;
        EXPECT_EQ(heard.left(0), 500) << c.name;
        EXPECT_EQ(lines, std::vector<std::string>{"frame 1"}) << c.name;
    }
}

TEST(EventSound, TruncatedSoundTagsAreSkippedAndTheFrameStillPlays)
{
    SwfWriter movie(tenFps());
    movie.tag(static_cast<uint16_t>(TagCode::DefineSound), std::vector<uint8_t>{1, 0, 0x3e});
    movie.tag(static_cast<uint16_t>(TagCode::StartSound), std::vector<uint8_t>{1});
    // An envelope that claims more points than the tag holds.
    movie.tag(static_cast<uint16_t>(TagCode::StartSound), std::vector<uint8_t>{1, 0, 0x08, 200, 0, 0});
    movie.doAction(ActionBuilder().trace("played"));
    movie.showFrame();
    Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    Heard heard = hear(movie, 1, &player);
    EXPECT_EQ(heard.firstSound(), heard.frames());
    EXPECT_EQ(lines, std::vector<std::string>{"played"});
}

} // namespace
} // namespace swf::test
