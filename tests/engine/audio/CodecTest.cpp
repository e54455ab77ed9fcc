// The compressed codecs through the export: a 440 Hz tone at half scale, encoded as
// MP3, Nellymoser and Speex, comes out at its pitch and level, resampled to 44.1 kHz.

#include "tests/engine/audio/SoundFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace swf::test {
namespace {

std::vector<uint8_t> readData(const std::string& name)
{
    std::ifstream in(std::string(LANFAN_SOURCE_DIR) + "/tests/engine/audio/data/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CodecCase {
    const char* file;
    SoundFields fields;
    uint32_t sampleCount;
    bool mp3;
};

TEST(Codec, ToneKeepsItsPitchAndLevel)
{
    const std::vector<CodecCase> cases = {
        {"sine440_22k.mp3", {SoundFormat::Mp3, 2, true, false}, 22050, true},
        {"sine440_22k.nelly", {SoundFormat::Nellymoser, 2, true, false}, 22050, false},
        {"sine440_16k.speex", {SoundFormat::Speex, 0, true, false}, 16000, false},
    };
    for (const CodecCase& c : cases) {
        std::vector<uint8_t> payload = readData(c.file);
        ASSERT_FALSE(payload.empty()) << c.file;
        if (c.mp3)
            payload.insert(payload.begin(), {0, 0});  // seek samples
        SwfWriter movie(tenFps());
        defineSound(movie, 1, c.fields, c.sampleCount, payload);
        startSound(movie, 1);
        for (int i = 0; i < 12; ++i)
            movie.showFrame();
        Heard heard = hear(movie, 12);
        EXPECT_TRUE(heard.notices.empty()) << c.file;
        // The middle of the tone, clear of codec start-up and fade-out.
        size_t from = 11025, to = 33075;
        EXPECT_NEAR(heard.frequency(from, to), 440.0, 6.0) << c.file;
        // Half scale: an RMS of 0.5 / sqrt(2) of full scale, within the codec's loss.
        EXPECT_NEAR(heard.rms(from, to) / 32768.0, 0.354, 0.06) << c.file;
        // About a second of sound, then silence.
        size_t end = heard.frames();
        while (end > 0 && heard.left(end - 1) == 0)
            --end;
        EXPECT_NEAR(double(end) / 44100.0, 1.0, 0.1) << c.file;
    }
}

TEST(Codec, EveryRateIsResampledToTheOutputRate)
{
    // A square wave of 50 Hz stored at each rate: 100 zero crossings a second.
    for (uint8_t rateCode : {0, 1, 2, 3}) {
        static constexpr int kRates[] = {5512, 11025, 22050, 44100};
        int rate = kRates[rateCode];
        std::vector<int16_t> samples(static_cast<size_t>(rate));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = (i * 100 / static_cast<size_t>(rate)) % 2 ? -8000 : 8000;
        SwfWriter movie(tenFps());
        defineSound(movie, 1, {SoundFormat::PcmLittle, rateCode, true, false}, uint32_t(samples.size()), pcm16Bytes(samples));
        startSound(movie, 1);
        for (int i = 0; i < 12; ++i)
            movie.showFrame();
        Heard heard = hear(movie, 12);
        EXPECT_NEAR(heard.frequency(0, 44100), 50.0, 1.0) << rate;
        size_t end = heard.frames();
        while (end > 0 && heard.left(end - 1) == 0)
            --end;
        EXPECT_NEAR(double(end), 44100.0, 100.0) << rate;
    }
}

} // namespace
} // namespace swf::test
