#pragma once

// Sound files that scripts load (Sound.loadSound): read through libavformat, which
// finds the frames and the ID3 tags (version 1 and 2) of an MP3 file, and decoded by
// libavcodec a piece at a time into a GrowingPcm, so that a streamed sound starts
// playing while the rest of the file is still to be decoded.

#include "engine/audio/Decoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace swf::audio {

// Decoded sound (44.1 kHz 16-bit stereo) that grows at its end while the mixer plays
// it from another thread. Samples once appended never move or change.
class GrowingPcm {
public:
    static constexpr size_t kChunkFrames = size_t{1} << 15;

    // Appends interleaved stereo samples (an odd trailing sample is dropped).
    void append(std::span<const int16_t> samples);
    // Nothing more will come.
    void finish();
    size_t frames() const;
    bool finished() const;
    // Copies the frames from `from` on that exist, up to out.size() / 2 of them,
    // into `out`; returns how many it copied.
    size_t read(size_t from, std::span<int16_t> out) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<int16_t>> chunks_;  // each holds up to kChunkFrames frames
    size_t frames_ = 0;
    bool finished_ = false;
};

// One text tag of a sound file, under the frame name ID3 gives it ("TIT2", "TPE1" ...).
struct SoundTag {
    std::string frame;
    std::string value;
};

class SoundFileDecoder {
public:
    // Takes the whole file. Throws DecodeError when libavformat finds no sound in it.
    // `maxBytes` caps the decoded size: past it the sound ends there.
    SoundFileDecoder(std::vector<uint8_t> file, size_t maxBytes);
    ~SoundFileDecoder();
    SoundFileDecoder(const SoundFileDecoder&) = delete;
    SoundFileDecoder& operator=(const SoundFileDecoder&) = delete;

    // The file's text tags, ID3 version 1 and 2 alike, as libavformat reads them.
    const std::vector<SoundTag>& tags() const { return tags_; }
    // Decodes at least `frames` more output frames (or to the end of the file) into
    // pcm(); returns whether there is more to come.
    bool decodeSome(size_t frames);
    const std::shared_ptr<GrowingPcm>& pcm() const { return pcm_; }
    // Ends the sound where it is (the movie's budget for loaded sound is spent).
    void stop();
    bool done() const { return done_; }
    // The file's size, and how much of it the decoder has consumed.
    size_t bytesTotal() const { return file_.size(); }
    size_t bytesRead() const;

private:
    struct State;
    friend struct State;

    std::vector<uint8_t> file_;
    size_t position_ = 0;  // where libavformat reads next
    size_t maxBytes_;
    std::unique_ptr<State> state_;
    std::vector<SoundTag> tags_;
    std::shared_ptr<GrowingPcm> pcm_ = std::make_shared<GrowingPcm>();
    size_t decodedBytes_ = 0;
    bool done_ = false;
};

} // namespace swf::audio
