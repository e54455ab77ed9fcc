// The mixer on its own, and button sounds through the player: pan and volume gains by
// owner, voice positions through loops, pausing, and the press sound of a button.

#include "engine/audio/Mixer.h"
#include "engine/format/Button.h"
#include "tests/engine/audio/SoundFixture.h"
#include "tests/support/ButtonWriter.h"

#include <QPointF>

#include <gtest/gtest.h>

namespace swf::audio {
namespace {

std::shared_ptr<const Pcm> stereo(size_t frames, int16_t left, int16_t right)
{
    auto pcm = std::make_shared<Pcm>();
    for (size_t i = 0; i < frames; ++i) {
        pcm->samples.push_back(left);
        pcm->samples.push_back(right);
    }
    return pcm;
}

std::vector<int16_t> pull(Mixer& mixer, size_t frames)
{
    std::vector<int16_t> out(frames * 2, 12345);
    mixer.mix(out);
    return out;
}

TEST(Mixer, OwnerGainsPanAndScaleOnlyTheirVoices)
{
    struct Case {
        const char* name;
        ChannelGains gains;
        int16_t left, right;
    };
    // Source: left 1000, right 2000.
    const std::vector<Case> cases = {
        {"full", {}, 1000, 2000},
        {"half volume", {0.5f, 0.0f, 0.5f, 0.0f}, 500, 1000},
        {"panned hard left", {1.0f, 0.0f, 0.0f, 1.0f}, 3000, 0},
        {"channels swapped", {0.0f, 1.0f, 0.0f, 1.0f}, 2000, 1000},
    };
    int owner = 0, other = 0;
    for (const Case& c : cases) {
        Mixer mixer;
        mixer.setOwnerGains(&owner, c.gains);
        mixer.startSound(1, stereo(10, 1000, 2000), {}, &owner);
        mixer.startSound(2, stereo(10, 1, 1), {}, &other);
        auto out = pull(mixer, 1);
        EXPECT_EQ(out[0], c.left + 1) << c.name;
        EXPECT_EQ(out[1], c.right + 1) << c.name;
    }
}

TEST(Mixer, PositionsCountLoopsAndFinishedVoicesLeave)
{
    Mixer mixer;
    SoundInfo info;
    info.loopCount = 2;
    Mixer::VoiceId voice = mixer.startSound(1, stereo(100, 5, 5), info);
    ASSERT_NE(voice, 0u);
    pull(mixer, 150);
    EXPECT_EQ(mixer.voicePosition(voice), 150);
    EXPECT_TRUE(mixer.soundPlaying(1));
    auto out = pull(mixer, 100);
    EXPECT_EQ(out[2 * 49], 5);
    EXPECT_EQ(out[2 * 50], 0);
    EXPECT_FALSE(mixer.voicePlaying(voice));
    EXPECT_EQ(mixer.voicePosition(voice), -1);
}

TEST(Mixer, PausedMixIsSilentAndHoldsEveryVoiceWhereItIs)
{
    Mixer mixer;
    auto pcm = std::make_shared<Pcm>();
    for (int16_t i = 0; i < 100; ++i)
        pcm->samples.insert(pcm->samples.end(), {i, i});
    mixer.startSound(1, pcm, {});
    pull(mixer, 10);
    mixer.setPaused(true);
    auto silent = pull(mixer, 10);
    EXPECT_TRUE(std::ranges::all_of(silent, [](int16_t s) { return s == 0; }));
    mixer.setPaused(false);
    EXPECT_EQ(pull(mixer, 1)[0], 10);
}

TEST(Mixer, SoundsThatCannotPlayStartNothing)
{
    Mixer mixer;
    SoundInfo pastTheEnd;
    pastTheEnd.inPoint = 500;
    EXPECT_EQ(mixer.startSound(1, stereo(100, 1, 1), pastTheEnd), 0u);
    EXPECT_EQ(mixer.startSound(2, nullptr, {}), 0u);
    SoundInfo backwards;
    backwards.inPoint = 50;
    backwards.outPoint = 10;
    EXPECT_EQ(mixer.startSound(3, stereo(100, 1, 1), backwards), 0u);
    EXPECT_EQ(mixer.voiceCount(), 0u);
}

TEST(ButtonSound, PressPlaysTheButtonsSoundFromThatMoment)
{
    test::SwfWriter movie(test::tenFps());
    test::defineFilledRect(movie, 1, {0, 400, 0, 400}, {0, 0, 255, 255});
    test::defineButton2(movie, 2, {{kButtonUp | kButtonOver | kButtonDown | kButtonHitTest, 1, 1, {}, {}}}, {});
    std::vector<int16_t> click(300, 900);
    test::definePcmSound(movie, 5, click);
    test::defineButtonSound(movie, 2, 5);
    movie.placeObject(2, 1).showFrame();
    Player player;
    player.loadBytes(movie.build());
    player.advance();
    std::vector<int16_t> out(200);
    EXPECT_TRUE(player.mouseMove(QPointF(10, 10)));
    player.renderSound(out);
    EXPECT_EQ(out[0], 0) << "rolling over has no sound here";
    player.mousePress();
    player.renderSound(out);
    EXPECT_EQ(out[0], 900);
    EXPECT_EQ(out[1], 900);
}

} // namespace
} // namespace swf::audio
