#pragma once

// Decoding of every SWF sound codec through FFmpeg's libavcodec, resampled with
// libswresample to the output rate. A sound is decoded once, when the movie loads;
// the mixer only ever sees Pcm.

#include "engine/audio/Pcm.h"
#include "engine/format/Sound.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace swf::audio {

// A sound that cannot be decoded: unknown codec, damaged data, or more decoded
// samples than the budget allows. The movie plays on without it.
class DecodeError : public std::runtime_error {
public:
    explicit DecodeError(const std::string& what) : std::runtime_error(what) {}
};

// Decodes an event sound (DefineSound). `maxBytes` caps the decoded size.
Pcm decodeSound(const SoundDef& sound, size_t maxBytes);

// A timeline's streamed sound, decoded as one piece; each frame with a block knows
// where its share starts.
struct StreamPcm {
    Pcm pcm;
    // Output frames at which each timeline frame's block starts (index 0 is frame 1);
    // -1 for frames without a block.
    std::vector<int64_t> frameStart;
};

// Collects a timeline's blocks as the loader meets them, then decodes them.
class StreamBuilder {
public:
    explicit StreamBuilder(const SoundStreamHeadDef& head) : head_(head) {}

    // The block of `frame` (1-based); frames need not all have one.
    void addBlock(int frame, const SoundStreamBlockDef& block);
    bool empty() const { return blocks_.empty(); }
    const SoundStreamHeadDef& head() const { return head_; }
    StreamPcm decode(int frameCount, size_t maxBytes) const;

private:
    struct Block {
        int frame = 0;
        SoundStreamBlockDef def;
    };
    SoundStreamHeadDef head_;
    std::vector<Block> blocks_;
};

} // namespace swf::audio
