#include "engine/SoundExport.h"

#include "engine/audio/Pcm.h"

#include <algorithm>
#include <cmath>

namespace swf {

std::vector<int16_t> mixFrames(Player& player, int frames)
{
    std::vector<int16_t> samples;
    if (!player.loaded() || frames <= 0)
        return samples;
    // The clock's own rate, as the window runs it.
    double rate = std::clamp(player.info().frameRate, 1.0, 1000.0);
    auto endOf = [&](int frame) { return static_cast<size_t>(std::llround(frame * audio::kOutputRate / rate)); };
    samples.resize(endOf(frames) * 2);
    size_t done = 0;
    for (int frame = 1; frame <= frames; ++frame) {
        player.advance();
        size_t end = endOf(frame);
        player.renderSound(std::span(samples).subspan(done * 2, (end - done) * 2));
        done = end;
    }
    return samples;
}

void writeWav(std::ostream& out, std::span<const int16_t> samples)
{
    auto u32 = [&](uint32_t v) {
        char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
        out.write(b, 4);
    };
    auto u16 = [&](uint16_t v) {
        char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
        out.write(b, 2);
    };
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(2);  // stereo
    u32(audio::kOutputRate);
    u32(audio::kOutputRate * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    for (int16_t s : samples)
        u16(static_cast<uint16_t>(s));
}

} // namespace swf
