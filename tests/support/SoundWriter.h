#pragma once

// Sound tags for movies built in tests: DefineSound, StartSound with its sound-info,
// stream heads and blocks, DefineButtonSound, and sample data to put in them.

#include "engine/format/Sound.h"
#include "tests/support/SwfWriter.h"

#include <cstdint>
#include <span>
#include <vector>

namespace swf::test {

struct SoundFields {
    SoundFormat format = SoundFormat::PcmLittle;
    uint8_t rateCode = 3;  // 44 kHz
    bool is16Bit = true;
    bool stereo = false;
};

void defineSound(TagStream& tags, uint16_t id, const SoundFields& fields, uint32_t sampleCount,
                 std::span<const uint8_t> data);
// 16-bit little-endian mono samples at 44.1 kHz as a DefineSound.
void definePcmSound(TagStream& tags, uint16_t id, std::span<const int16_t> samples);
void startSound(TagStream& tags, uint16_t id, const SoundInfo& info = {});
void soundStreamHead(TagStream& tags, const SoundFields& fields, uint16_t samplesPerBlock, bool version2 = false);
void soundStreamBlock(TagStream& tags, std::span<const uint8_t> data);
void defineButtonSound(TagStream& tags, uint16_t buttonId, uint16_t pressSoundId);

std::vector<uint8_t> soundInfoBytes(const SoundInfo& info);
std::vector<uint8_t> pcm16Bytes(std::span<const int16_t> samples);
// A run of `count` samples: first, first + step, first + 2 * step ...
std::vector<int16_t> ramp(size_t count, int16_t first, int16_t step);

} // namespace swf::test
