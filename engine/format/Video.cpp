#include "engine/format/Video.h"

#include "engine/format/Error.h"

#include <algorithm>

namespace swf {

namespace {

// Sorenson H.263: a 17-bit start code, 5 bits of version, 8 of temporal reference, 3 of
// picture size (0 and 1 followed by an explicit 8- or 16-bit width and height), then
// 2 bits of picture type, 0 being an intra picture.
bool h263IsKey(std::span<const uint8_t> data)
{
    ByteReader bytes(data);
    BitReader bits(bytes);
    try {
        if (bits.ub(17) != 1)
            return false;
        bits.ub(5);
        bits.ub(8);
        const uint32_t size = bits.ub(3);
        if (size == 0)
            bits.ub(16);
        else if (size == 1)
            bits.ub(32);
        return bits.ub(2) == 0;
    } catch (const FormatError&) {
        return false;
    }
}

// VP6: the first bit of the frame header is 0 for an intra frame. The alpha variant
// starts with the 24-bit offset of its alpha plane.
bool vp6IsKey(std::span<const uint8_t> data, bool alpha)
{
    const size_t at = alpha ? 3 : 0;
    return data.size() > at && (data[at] & 0x80) == 0;
}

// Screen video: the image is cut into blocks, each sent with a 16-bit size, 0 meaning
// "unchanged". A picture stands alone when every block is sent; version 2 blocks may
// also be coded against the previous picture (the "prime" flags), which rules that out.
bool screenVideoIsKey(std::span<const uint8_t> data, bool version2)
{
    ByteReader bytes(data);
    try {
        const uint16_t first = static_cast<uint16_t>(bytes.u8() << 8 | bytes.u8());
        const uint16_t second = static_cast<uint16_t>(bytes.u8() << 8 | bytes.u8());
        const uint32_t blockWidth = ((first >> 12) + 1) * 16u;
        const uint32_t imageWidth = first & 0x0fff;
        const uint32_t blockHeight = ((second >> 12) + 1) * 16u;
        const uint32_t imageHeight = second & 0x0fff;
        if (imageWidth == 0 || imageHeight == 0)
            return false;
        if (version2) {
            const uint8_t flags = bytes.u8();
            if (flags & 0x01) {  // a palette follows: 16-bit size, then the palette
                const size_t paletteSize = static_cast<size_t>(bytes.u8() << 8 | bytes.u8());
                bytes.skip(paletteSize);
            }
        }
        const uint32_t blocks = ((imageWidth + blockWidth - 1) / blockWidth) * ((imageHeight + blockHeight - 1) / blockHeight);
        for (uint32_t i = 0; i < blocks; ++i) {
            const size_t size = static_cast<size_t>(bytes.u8() << 8 | bytes.u8());
            if (size == 0)
                return false;
            if (version2) {
                const uint8_t blockFlags = bytes.u8();
                if (blockFlags & 0x07)  // diff blocks, or zlib primed from other image data
                    return false;
                if (size < 1)
                    return false;
                bytes.skip(size - 1);
            } else {
                bytes.skip(size);
            }
        }
        return true;
    } catch (const FormatError&) {
        return false;
    }
}

} // namespace

bool isKnownVideoCodec(uint8_t id)
{
    return id >= static_cast<uint8_t>(VideoCodec::SorensonH263) && id <= static_cast<uint8_t>(VideoCodec::ScreenVideo2);
}

VideoStreamDef parseDefineVideoStream(std::span<const uint8_t> body)
{
    ByteReader bytes(body);
    VideoStreamDef def;
    def.id = bytes.u16();
    def.declaredFrames = bytes.u16();
    def.width = bytes.u16();
    def.height = bytes.u16();
    const uint8_t flags = bytes.u8();
    def.deblocking = static_cast<uint8_t>((flags >> 1) & 0x07);
    def.smoothing = (flags & 0x01) != 0;
    def.codecId = bytes.u8();
    return def;
}

VideoFrameTag parseVideoFrame(std::span<const uint8_t> body)
{
    ByteReader bytes(body);
    VideoFrameTag frame;
    frame.streamId = bytes.u16();
    frame.frameNumber = bytes.u16();
    frame.data = bytes.rest();
    return frame;
}

void EmbeddedVideo::finish()
{
    auto byNumber = [](const VideoFrameTag& a, const VideoFrameTag& b) { return a.frameNumber < b.frameNumber; };
    std::stable_sort(frames.begin(), frames.end(), byNumber);
    auto same = [](const VideoFrameTag& a, const VideoFrameTag& b) { return a.frameNumber == b.frameNumber; };
    frames.erase(std::unique(frames.begin(), frames.end(), same), frames.end());
}

int EmbeddedVideo::indexAtOrBefore(int number) const
{
    auto after = std::upper_bound(frames.begin(), frames.end(), number,
                                  [](int n, const VideoFrameTag& f) { return n < f.frameNumber; });
    return static_cast<int>(after - frames.begin()) - 1;
}

bool isVideoKeyFrame(VideoCodec codec, std::span<const uint8_t> data)
{
    switch (codec) {
    case VideoCodec::SorensonH263: return h263IsKey(data);
    case VideoCodec::Vp6: return vp6IsKey(data, false);
    case VideoCodec::Vp6Alpha: return vp6IsKey(data, true);
    case VideoCodec::ScreenVideo: return screenVideoIsKey(data, false);
    case VideoCodec::ScreenVideo2: return screenVideoIsKey(data, true);
    }
    return false;
}

} // namespace swf
