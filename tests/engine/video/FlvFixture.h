#pragma once

// FLV files for the NetStream tests: written by FFmpeg's command-line tool (an encoder
// independent of the player), with that tool's own decode of each picture, and a small
// tag writer for files the tool cannot make (cue points, damage).

#include "engine/data/Amf0.h"
#include "tests/engine/video/VideoFixture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lanfan::test {

struct EncodedFlv {
    std::vector<uint8_t> bytes;
    std::vector<QImage> reference;  // FFmpeg's decode, one picture per video frame
};

// `video`: ffmpeg's video options ("-c:v flv1 -g 10"), empty for none; `audio` likewise
// ("-c:a libmp3lame -ar 22050"), empty for none. The picture is FFmpeg's test pattern at
// 30 frames a second, the sound a 440 Hz sine.
inline EncodedFlv encodeFlv(const std::string& video, const std::string& audio, int width, int height,
                            double seconds)
{
    static int counter = 0;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("lanfan-flv-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    const auto flv = dir / "movie.flv";
    const auto raw = dir / "decoded.raw";
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string length = std::to_string(seconds);
    std::string encode = "ffmpeg -v error -nostdin -y";
    if (!video.empty())
        encode += " -f lavfi -i testsrc=size=" + size + ":rate=30:duration=" + length;
    if (!audio.empty())
        encode += " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + length;
    encode += " " + (video.empty() ? std::string("-vn") : video) + " " + (audio.empty() ? std::string("-an") : audio) +
              " -f flv " + flv.string();
    EncodedFlv out;
    if (std::system(encode.c_str()) == 0) {
        out.bytes = readFile(flv);
        const std::string decode =
            "ffmpeg -v error -nostdin -y -i " + flv.string() + " -an -vsync passthrough -f rawvideo -pix_fmt bgra " + raw.string();
        if (!video.empty() && std::system(decode.c_str()) == 0) {
            const std::vector<uint8_t> pixels = readFile(raw);
            const size_t frameBytes = size_t(width) * size_t(height) * 4;
            for (size_t at = 0; at + frameBytes <= pixels.size(); at += frameBytes) {
                QImage image(width, height, QImage::Format_ARGB32);
                for (int y = 0; y < height; ++y)
                    std::memcpy(image.scanLine(y), pixels.data() + at + size_t(y) * size_t(width) * 4,
                                size_t(width) * 4);
                out.reference.push_back(image);
            }
        }
    }
    std::filesystem::remove_all(dir);
    return out;
}

// Writes FLV tags by hand: the file header, then tags each followed by its size.
class FlvWriter {
public:
    explicit FlvWriter(bool audio = false, bool video = true)
    {
        bytes_ = {'F', 'L', 'V', 1, static_cast<uint8_t>((audio ? 4 : 0) | (video ? 1 : 0)), 0, 0, 0, 9, 0, 0, 0, 0};
    }

    void tag(uint8_t type, uint32_t ms, const std::vector<uint8_t>& body)
    {
        const size_t start = bytes_.size();
        const auto size = static_cast<uint32_t>(body.size());
        bytes_.insert(bytes_.end(), {type, uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), uint8_t(ms >> 16),
                                     uint8_t(ms >> 8), uint8_t(ms), uint8_t(ms >> 24), 0, 0, 0});
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        const auto total = static_cast<uint32_t>(bytes_.size() - start);
        bytes_.insert(bytes_.end(), {uint8_t(total >> 24), uint8_t(total >> 16), uint8_t(total >> 8), uint8_t(total)});
    }

    void script(uint32_t ms, const std::string& name, const swf::data::AmfValue& argument)
    {
        std::vector<uint8_t> body;
        swf::data::writeAmf0(swf::data::AmfValue::makeString(name), body);
        swf::data::writeAmf0(argument, body);
        tag(18, ms, body);
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The video tags of an FLV file with their times, to copy into a hand-written one.
struct FlvTag {
    uint8_t type = 0;
    uint32_t ms = 0;
    std::vector<uint8_t> body;
};

inline std::vector<FlvTag> flvTags(const std::vector<uint8_t>& flv)
{
    std::vector<FlvTag> tags;
    size_t at = 9 + 4;
    while (at + 11 <= flv.size()) {
        const size_t size = size_t{flv[at + 1]} << 16 | size_t{flv[at + 2]} << 8 | flv[at + 3];
        const uint32_t ms = uint32_t{flv[at + 4]} << 16 | uint32_t{flv[at + 5]} << 8 | flv[at + 6] | uint32_t{flv[at + 7]} << 24;
        const size_t body = at + 11;
        if (body + size > flv.size())
            break;
        tags.push_back({flv[at], ms, std::vector<uint8_t>(flv.begin() + long(body), flv.begin() + long(body + size))});
        at = body + size + 4;
    }
    return tags;
}

} // namespace lanfan::test
