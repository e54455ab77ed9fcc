#pragma once

// A sound file as a script loads it (Sound.loadSound: MP3 with its ID3 tags, or whatever
// libavformat takes it for), decoded a piece at a time to its end. Whatever the bytes,
// decoding ends, the decoded sound stays within its cap, and the decoder never claims
// to have read more than the file holds; a break of these traps.

#include "engine/audio/Decoder.h"
#include "engine/audio/LoadedSound.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace swf::fuzz {

inline void decodeLoadedSoundFile(std::span<const uint8_t> file)
{
    constexpr size_t kDecodedCap = size_t{8} << 20;
    constexpr size_t kPiece = 4096;
    try {
        audio::SoundFileDecoder decoder(std::vector<uint8_t>(file.begin(), file.end()), kDecodedCap);
        for (const audio::SoundTag& tag : decoder.tags()) {
            if (tag.frame.empty())
                __builtin_trap();
        }
        // Each piece decodes at least kPiece frames or ends the sound: a file cannot
        // keep the decoder going for ever.
        size_t pieces = 0;
        while (decoder.decodeSome(kPiece)) {
            if (++pieces > kDecodedCap / (kPiece * 4) + 16)
                __builtin_trap();
        }
        if (decoder.pcm()->frames() * 4 > kDecodedCap + (size_t{1} << 16))
            __builtin_trap();
        if (decoder.bytesRead() > decoder.bytesTotal())
            __builtin_trap();
    } catch (const audio::DecodeError&) {
    }
}

} // namespace swf::fuzz
