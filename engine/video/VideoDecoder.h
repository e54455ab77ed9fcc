#pragma once

// One embedded video stream's decoder, through libavcodec: coded pictures in, in stream
// order, decoded pictures out. Decoding is stateful (most pictures build on the one
// before), so the caller feeds pictures in order and resets before a key frame when it
// jumps.

#include "engine/format/Video.h"

#include <QImage>

#include <memory>
#include <span>
#include <string>

namespace swf::video {

class VideoDecoder {
public:
    // Opens a decoder for the stream's codec; `usable()` is false (with `error()` saying
    // why) when the codec is unknown or libavcodec has no decoder for it.
    // `config` is the decoder set-up a container gives beside the pictures (H.264, the
    // FLV codec 7, needs it; embedded video has none).
    explicit VideoDecoder(const VideoStreamDef& stream, std::span<const uint8_t> config = {});
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool usable() const;
    const std::string& error() const { return error_; }

    // Forgets the pictures decoded so far; the next one fed should be a key frame.
    void reset();
    // Decodes one coded picture, `keyFrame` when it stands alone (screen video 2 keeps
    // key frames for the pictures after them to refer to). True when it gave a picture, which becomes the latest
    // one; false (with `error()` set) when the data was damaged or gave none, and the
    // latest picture stays what it was.
    bool decode(std::span<const uint8_t> data, bool keyFrame);
    // Whether a picture has been decoded since the last reset.
    bool hasPicture() const;
    // The latest picture as premultiplied ARGB (converted on each call).
    QImage picture();

private:
    // The quantizer whose strength smooths an H.263 picture's block edges; 0: none.
    int deblockingFor(std::span<const uint8_t> data) const;

    struct Codec;
    std::unique_ptr<Codec> codec_;
    std::string error_;
};

} // namespace swf::video
