#pragma once

// Test streams made by an independent encoder: FFmpeg's command-line tool writes FLV
// files, whose video packets carry the same coded pictures as VideoFrame tags; the same
// tool's decode of that file is the picture each frame should show. Tests skip, saying
// so, where the tool is not installed.

#include "engine/format/Video.h"
#include "tests/support/SwfWriter.h"

#include <QImage>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace lanfan::test {

struct EncodedStream {
    uint8_t codec = 0;  // the SWF codec id
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> packets;  // coded pictures in order
    std::vector<QImage> reference;              // FFmpeg's decode, one per packet
};

inline bool haveFfmpeg()
{
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

inline std::vector<uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The video packets of an FLV file: after the 9-byte header, tags of type 9 whose
// first byte holds the frame type and codec, the coded picture following.
inline std::vector<std::vector<uint8_t>> flvVideoPackets(const std::vector<uint8_t>& flv)
{
    std::vector<std::vector<uint8_t>> packets;
    size_t at = 9 + 4;
    while (at + 11 <= flv.size()) {
        const uint8_t type = flv[at];
        const size_t size = size_t{flv[at + 1]} << 16 | size_t{flv[at + 2]} << 8 | flv[at + 3];
        const size_t body = at + 11;
        if (body + size > flv.size())
            break;
        if (type == 9 && size > 1)
            packets.emplace_back(flv.begin() + static_cast<long>(body + 1), flv.begin() + static_cast<long>(body + size));
        at = body + size + 4;
    }
    return packets;
}

// Encodes `frames` frames of FFmpeg's test picture at `width` x `height` with `encoder`
// ("flv", "flashsv", "flashsv2"), a key frame every `keyInterval` frames. Empty
// packets when the tool failed.
inline EncodedStream encodeTestStream(const std::string& encoder, uint8_t codec, int width, int height, int frames,
                                      int keyInterval)
{
    static int counter = 0;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("lanfan-video-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    const auto flv = dir / "stream.flv";
    const auto raw = dir / "decoded.raw";
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string encode = "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=" + size + ":rate=30 -frames:v " +
                               std::to_string(frames) + " -c:v " + encoder + " -g " + std::to_string(keyInterval) + " " +
                               flv.string();
    const std::string decode =
        "ffmpeg -v error -nostdin -y -i " + flv.string() + " -f rawvideo -pix_fmt bgra " + raw.string();
    EncodedStream stream;
    stream.codec = codec;
    stream.width = width;
    stream.height = height;
    if (std::system(encode.c_str()) == 0 && std::system(decode.c_str()) == 0) {
        stream.packets = flvVideoPackets(readFile(flv));
        const std::vector<uint8_t> pixels = readFile(raw);
        const size_t frameBytes = size_t(width) * size_t(height) * 4;
        for (size_t at = 0; at + frameBytes <= pixels.size(); at += frameBytes) {
            QImage image(width, height, QImage::Format_ARGB32);
            for (int y = 0; y < height; ++y)
                std::memcpy(image.scanLine(y), pixels.data() + at + size_t(y) * size_t(width) * 4, size_t(width) * 4);
            stream.reference.push_back(image);
        }
    }
    std::filesystem::remove_all(dir);
    return stream;
}

// A whole movie written by FFmpeg's SWF muxer (Sorenson H.263), and the same tool's
// decode of it, one picture per frame. Empty when the tool failed.
struct EncodedMovie {
    std::vector<uint8_t> swf;
    std::vector<QImage> reference;
};

inline EncodedMovie encodeTestMovie(int width, int height, int frames, int keyInterval)
{
    static int counter = 0;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("lanfan-video-swf-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    const auto swf = dir / "movie.swf";
    const auto raw = dir / "decoded.raw";
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string encode = "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=" + size + ":rate=30 -frames:v " +
                               std::to_string(frames) + " -c:v flv1 -g " + std::to_string(keyInterval) + " " +
                               swf.string();
    const std::string decode =
        "ffmpeg -v error -nostdin -y -i " + swf.string() + " -f rawvideo -pix_fmt bgra " + raw.string();
    EncodedMovie movie;
    if (std::system(encode.c_str()) == 0 && std::system(decode.c_str()) == 0) {
        movie.swf = readFile(swf);
        const std::vector<uint8_t> pixels = readFile(raw);
        const size_t frameBytes = size_t(width) * size_t(height) * 4;
        for (size_t at = 0; at + frameBytes <= pixels.size(); at += frameBytes) {
            QImage image(width, height, QImage::Format_ARGB32);
            for (int y = 0; y < height; ++y)
                std::memcpy(image.scanLine(y), pixels.data() + at + size_t(y) * size_t(width) * 4, size_t(width) * 4);
            movie.reference.push_back(image);
        }
    }
    std::filesystem::remove_all(dir);
    return movie;
}

// The stream as a movie's definition would hold it: frames numbered from 0.
inline std::shared_ptr<swf::EmbeddedVideo> embedded(const EncodedStream& stream, uint16_t id = 1)
{
    auto video = std::make_shared<swf::EmbeddedVideo>();
    video->def.id = id;
    video->def.width = static_cast<uint16_t>(stream.width);
    video->def.height = static_cast<uint16_t>(stream.height);
    video->def.codecId = stream.codec;
    for (size_t i = 0; i < stream.packets.size(); ++i)
        video->frames.push_back({id, static_cast<uint16_t>(i), stream.packets[i]});
    return video;
}

// A movie of one stage the size of `width` x `height` pixels at 30 frames a second.
inline swf::test::MovieOptions videoMovieOptions(int width, int height)
{
    swf::test::MovieOptions options;
    options.version = 6;
    options.stage = {0, width * 20, 0, height * 20};
    options.frameRate = 30;
    return options;
}

// DefineVideoStream and VideoFrame bodies for the SWF writer.
inline std::vector<uint8_t> defineVideoStreamBody(const EncodedStream& stream, uint16_t id, uint8_t flags)
{
    swf::test::BitWriter w;
    w.u16(id);
    w.u16(static_cast<uint16_t>(stream.packets.size()));
    w.u16(static_cast<uint16_t>(stream.width));
    w.u16(static_cast<uint16_t>(stream.height));
    w.u8(flags);
    w.u8(stream.codec);
    return w.take();
}

inline std::vector<uint8_t> videoFrameBody(uint16_t id, uint16_t number, const std::vector<uint8_t>& data)
{
    swf::test::BitWriter w;
    w.u16(id);
    w.u16(number);
    w.bytes(data);
    return w.take();
}

// Peak signal-to-noise ratio over the colour channels of two same-sized images (or
// of `area` of `image` against the whole of `reference`); infinity when they match.
inline double psnr(const QImage& image, const QImage& reference, QPoint at = {0, 0})
{
    const QImage a = image.convertToFormat(QImage::Format_ARGB32);
    const QImage b = reference.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    size_t count = 0;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            const QRgb p = a.pixel(x + at.x(), y + at.y());
            const QRgb q = b.pixel(x, y);
            const double dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
            count += 3;
        }
    }
    if (count == 0)
        return 0;
    const double mse = sum / double(count);
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace lanfan::test
