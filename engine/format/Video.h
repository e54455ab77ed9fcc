#pragma once

// Embedded video: DefineVideoStream (the stream's size, codec and drawing flags) and
// VideoFrame (one coded picture of a stream), plus the little each codec's bitstream
// must tell before decoding: whether a picture stands on its own (a key frame).

#include "engine/format/Primitives.h"
#include "engine/format/Reader.h"

#include <cstdint>
#include <span>
#include <vector>

namespace swf {

enum class VideoCodec : uint8_t {
    SorensonH263 = 2,
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
};

// Whether `id` names a codec the engine decodes.
bool isKnownVideoCodec(uint8_t id);

struct VideoStreamDef {
    uint16_t id = 0;
    uint16_t declaredFrames = 0;  // encoders often write 0: the VideoFrame tags are what counts
    uint16_t width = 0;           // pixels; the object is this size in its own space
    uint16_t height = 0;
    // 0: as each picture says; 1: off; 2 and up: on (levels the codecs treat alike).
    uint8_t deblocking = 0;
    bool smoothing = false;
    uint8_t codecId = 0;  // a VideoCodec when isKnownVideoCodec(codecId)

    VideoCodec codec() const { return static_cast<VideoCodec>(codecId); }
};

struct VideoFrameTag {
    uint16_t streamId = 0;
    uint16_t frameNumber = 0;
    std::span<const uint8_t> data;  // a view into the tag body
};

// A stream with its coded pictures, gathered from wherever in the movie its VideoFrame
// tags sit. A placed video shows the picture its ratio names.
struct EmbeddedVideo {
    VideoStreamDef def;
    std::vector<VideoFrameTag> frames;  // by frame number, each number once
    // What a container (an FLV file) says beyond the pictures: which ones are key frames
    // (by index; empty: each picture's bitstream tells), and the decoder set-up it
    // carries (H.264's configuration record, VP6's size adjustment).
    std::vector<bool> keyFrames;
    std::vector<uint8_t> codecConfig;

    // Sorts the frames by number; of repeated numbers the first in the file stays.
    void finish();
    // The index into `frames` of the last frame numbered <= `number`, or -1 when there
    // is none: a number with no picture of its own shows the one before.
    int indexAtOrBefore(int number) const;
    // The stream's box in twips in the object's own space: its size from the origin.
    Rect bounds() const { return {0, int32_t{def.width} * 20, 0, int32_t{def.height} * 20}; }
};

// Both parse the body after the tag header; FormatError when it is too short.
VideoStreamDef parseDefineVideoStream(std::span<const uint8_t> body);
VideoFrameTag parseVideoFrame(std::span<const uint8_t> body);

// Whether the coded picture `data` decodes without the pictures before it. Data too
// short or damaged to tell counts as not a key frame, so that a seek starts earlier
// rather than from a picture that cannot stand alone.
bool isVideoKeyFrame(VideoCodec codec, std::span<const uint8_t> data);

} // namespace swf
