#include "engine/format/GifDecoder.h"

#include "engine/format/Error.h"
#include "engine/format/GifLzw.h"

#include <array>
#include <optional>
#include <string>

namespace swf {

namespace {

constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControl = 0xF9;

using Palette = std::array<uint32_t, 256>;

// Colour tables hold 2^(n+1) RGB entries; indices past the end show opaque black.
Palette readColorTable(ByteReader& r, uint8_t sizeBits)
{
    Palette palette;
    palette.fill(pixel::pack(255, 0, 0, 0));
    const size_t count = size_t{1} << ((sizeBits & 7) + 1);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t red = r.u8(), green = r.u8(), blue = r.u8();
        palette[i] = pixel::pack(255, red, green, blue);
    }
    return palette;
}

// Data sub-blocks: a length byte, that many bytes, until a zero length. A stream cut off
// inside them keeps what was read.
std::vector<uint8_t> readSubBlocks(ByteReader& r)
{
    std::vector<uint8_t> joined;
    while (!r.atEnd()) {
        const uint8_t length = r.u8();
        if (length == 0)
            break;
        const std::span<const uint8_t> block = r.bytes(std::min<size_t>(length, r.remaining()));
        joined.insert(joined.end(), block.begin(), block.end());
    }
    return joined;
}

struct Frame {
    size_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
};

// Row order of interlaced frames: every 8th from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1.
std::vector<size_t> rowOrder(size_t height, bool interlaced)
{
    std::vector<size_t> rows;
    rows.reserve(height);
    if (!interlaced) {
        for (size_t y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    constexpr std::array<std::array<size_t, 2>, 4> passes{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
    for (const auto& [start, step] : passes)
        for (size_t y = start; y < height; y += step)
            rows.push_back(y);
    return rows;
}

class GifReader {
public:
    explicit GifReader(std::span<const uint8_t> data) : r_(data) { global_.fill(pixel::pack(255, 0, 0, 0)); }

    BitmapData decode()
    {
        r_.skip(6);  // signature, checked by the caller
        screenWidth_ = r_.u16();
        screenHeight_ = r_.u16();
        const uint8_t flags = r_.u8();
        r_.skip(2);  // background colour and aspect ratio: the canvas starts transparent
        if (flags & 0x80)
            global_ = readColorTable(r_, flags);
        while (true) {
            const uint8_t block = r_.u8();
            if (block == kImage)
                return decodeFrame();
            if (block == kExtension)
                readExtension();
            else if (block == kTrailer)
                throw FormatError("bitmap: GIF holds no image");
            else
                throw FormatError("bitmap: GIF block " + std::to_string(block) + " is unknown");
        }
    }

private:
    void readExtension()
    {
        const uint8_t label = r_.u8();
        if (label == kGraphicControl) {
            const std::vector<uint8_t> control = readSubBlocks(r_);
            if (control.size() >= 4 && (control[0] & 1))
                transparentIndex_ = control[3];
            return;
        }
        readSubBlocks(r_);
    }

    BitmapData decodeFrame()
    {
        Frame f;
        f.left = r_.u16();
        f.top = r_.u16();
        f.width = r_.u16();
        f.height = r_.u16();
        const uint8_t flags = r_.u8();
        f.interlaced = (flags & 0x40) != 0;
        const Palette palette = (flags & 0x80) ? readColorTable(r_, flags) : global_;
        const unsigned minCodeSize = r_.u8();
        if (minCodeSize < 1 || minCodeSize > 11)
            throw FormatError("bitmap: GIF code size " + std::to_string(minCodeSize) + " is not valid");
        const bool noScreen = screenWidth_ == 0 || screenHeight_ == 0;
        BitmapData out = noScreen ? makeBitmap(int64_t(f.width), int64_t(f.height))
                                  : makeBitmap(screenWidth_, screenHeight_);
        if (noScreen)
            f.left = f.top = 0;
        if (int64_t(f.width) * int64_t(f.height) > kMaxBitmapPixels)
            throw FormatError("bitmap: GIF frame is too large");
        std::vector<uint8_t> indices(f.width * f.height);
        const size_t decoded = decodeGifLzw(readSubBlocks(r_), minCodeSize, indices);
        paint(f, indices, decoded, palette, out);
        return out;
    }

    // Copies the decoded indices into the canvas, clipped to it.
    void paint(const Frame& f, std::span<const uint8_t> indices, size_t decoded, const Palette& palette,
               BitmapData& out) const
    {
        const auto canvasW = static_cast<size_t>(out.width);
        const auto canvasH = static_cast<size_t>(out.height);
        const std::vector<size_t> rows = rowOrder(f.height, f.interlaced);
        for (size_t i = 0; i < rows.size() && i * f.width < decoded; ++i) {
            const size_t y = f.top + rows[i];
            if (y >= canvasH)
                continue;
            for (size_t x = 0; x < f.width && f.left + x < canvasW; ++x) {
                const size_t at = i * f.width + x;
                if (at >= decoded || (transparentIndex_ && indices[at] == *transparentIndex_))
                    continue;
                out.pixels[y * canvasW + f.left + x] = palette[indices[at]];
            }
        }
    }

    ByteReader r_;
    uint16_t screenWidth_ = 0;
    uint16_t screenHeight_ = 0;
    Palette global_;
    std::optional<uint8_t> transparentIndex_;
};

} // namespace

bool looksLikeGif(std::span<const uint8_t> data)
{
    if (data.size() < 6)
        return false;
    const std::string_view sig(reinterpret_cast<const char*>(data.data()), 6);
    return sig == "GIF87a" || sig == "GIF89a";
}

BitmapData decodeGif(std::span<const uint8_t> data)
{
    if (!looksLikeGif(data))
        throw FormatError("bitmap: not GIF data");
    GifReader reader(data);
    return reader.decode();
}

} // namespace swf
