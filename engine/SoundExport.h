#pragma once

// The mix a movie plays, without real time: frames are stepped one by one and the
// mixer pulled for exactly each frame's share of time, so a sound started on frame k
// begins at (k - 1) / frame_rate seconds. lanfan-swf's audio command and the tests
// hear the engine this way.

#include "engine/Player.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

namespace swf {

// Steps the first `frames` frames of the loaded movie and returns what played during
// them: 44.1 kHz 16-bit stereo, interleaved, frames / frame_rate seconds long.
std::vector<int16_t> mixFrames(Player& player, int frames);

// A canonical WAV file (RIFF, PCM, 44.1 kHz, 16-bit, stereo) of `samples`.
void writeWav(std::ostream& out, std::span<const int16_t> samples);

} // namespace swf
