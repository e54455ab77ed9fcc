#pragma once

// Decoded sound as the mixer plays it: 16-bit stereo at the output rate, interleaved.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf::audio {

constexpr int kOutputRate = 44100;

struct Pcm {
    std::vector<int16_t> samples;  // left, right, left, right ...
    // The length its definition states, in milliseconds (scripts read it as the
    // sound's duration; the decoded length differs by the codec's padding); 0 where
    // nothing was stated.
    double declaredMs = 0;

    size_t frames() const { return samples.size() / 2; }
    size_t bytes() const { return samples.size() * sizeof(int16_t); }
};

} // namespace swf::audio
