#pragma once

// A local FLV file taken apart for playing from a script: its pictures as a video stream
// the decoders and picture cache already know (numbered from 0 in time order), its
// sound decoded whole for the mixer, and its script-data tags (onMetaData, onCuePoint)
// with their times. The audio and video packets come out of libavformat's FLV demuxer,
// reading the bytes through our own I/O callbacks; the script tags are read here, since
// the demuxer keeps them to itself.
//
// A damaged file gives what could be read before the damage, with the problems listed.

#include "engine/audio/Pcm.h"
#include "engine/data/Amf0.h"
#include "engine/format/Video.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace swf::video {

struct FlvScriptTag {
    double time = 0;            // seconds
    std::string name;           // "onMetaData", "onCuePoint", ...
    data::AmfValue argument;    // the value after the name (undefined when there is none)
};

struct FlvLimits {
    size_t maxPackets = 200'000;
    size_t maxPictureBytes = size_t{512} << 20;  // coded video kept in memory
    size_t maxPcmBytes = size_t{400} << 20;      // decoded sound
};

struct FlvMedia {
    // Null without video. Each picture's number is its index; frameTimes holds its time.
    std::shared_ptr<const EmbeddedVideo> video;
    std::vector<double> frameTimes;  // seconds, in stream order
    // The whole sound track at the mixer's rate, starting at `audioStart` seconds; null
    // without sound (or when it could not be decoded, which `problems` then says).
    std::shared_ptr<const audio::Pcm> audio;
    double audioStart = 0;
    uint8_t audioCodecId = 0xff;  // FLV's SoundFormat, 0xff: none
    std::vector<FlvScriptTag> scripts;  // in file order
    double duration = 0;  // seconds: the metadata's duration, else the last packet's end
    size_t bytes = 0;
    std::vector<std::string> problems;

    // The index of the last picture at or before `seconds`, or -1.
    int pictureAt(double seconds) const;
    // The time of the key frame at or before `seconds` (0 when there is none).
    double keyFrameAtOrBefore(double seconds) const;
};

// Thrown for bytes that are not an FLV file at all.
struct FlvError {
    std::string message;
};

FlvMedia readFlv(std::span<const uint8_t> bytes, const FlvLimits& limits = {});

// The script-data tags alone, read by walking the tags; stops quietly at damage.
std::vector<FlvScriptTag> readFlvScriptTags(std::span<const uint8_t> bytes);

} // namespace swf::video
