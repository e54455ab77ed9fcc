#pragma once

// Hears movies built in the test through the headless export: 44.1 kHz stereo, ten
// frames a second, so frame k begins at sample (k - 1) * 4410.

#include "engine/Player.h"
#include "engine/SoundExport.h"
#include "tests/support/SoundWriter.h"
#include "tests/support/SwfWriter.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace swf::test {

constexpr size_t kFrameSamples = 4410;

inline MovieOptions tenFps()
{
    MovieOptions options;
    options.frameRate = 10;
    return options;
}

struct Heard {
    std::vector<int16_t> samples;  // interleaved
    std::vector<std::string> notices;

    size_t frames() const { return samples.size() / 2; }
    int16_t left(size_t i) const { return samples.at(2 * i); }
    int16_t right(size_t i) const { return samples.at(2 * i + 1); }
    // The first frame that is not silent, or frames() when all is silence.
    size_t firstSound() const
    {
        for (size_t i = 0; i < frames(); ++i)
            if (left(i) != 0 || right(i) != 0)
                return i;
        return frames();
    }
    double rms(size_t from, size_t to) const
    {
        double sum = 0;
        for (size_t i = from; i < to; ++i)
            sum += double(left(i)) * left(i);
        return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
    }
    // Rising zero crossings of the left channel per second over [from, to).
    double frequency(size_t from, size_t to) const
    {
        int crossings = 0;
        for (size_t i = from + 1; i < to; ++i)
            if (left(i - 1) < 0 && left(i) >= 0)
                ++crossings;
        return crossings * 44100.0 / double(to - from);
    }
};

inline Heard hear(const SwfWriter& movie, int frames, Player* reuse = nullptr)
{
    Heard heard;
    Player own;
    Player& player = reuse ? *reuse : own;
    player.setNoticeSink([&](const std::string& line) { heard.notices.push_back(line); });
    player.loadBytes(movie.build());
    heard.samples = mixFrames(player, frames);
    return heard;
}

} // namespace swf::test
