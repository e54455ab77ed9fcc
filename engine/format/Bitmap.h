#pragma once

// Bitmap characters: DefineBits, DefineBitsJPEG2/3/4 and DefineBitsLossless/2 decoded
// into one pixel layout that the renderer can wrap without copying.

#include "engine/format/Reader.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace swf {

// Decoded pixels: premultiplied ARGB, one uint32_t a pixel holding 0xAARRGGBB in native
// byte order (QImage::Format_ARGB32_Premultiplied), rows top to bottom, no padding.
// Every colour channel is <= its alpha.
struct BitmapData {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

// Pixels a script keeps changing (flash.display.BitmapData), shown by drawings and
// attached bitmaps. Whoever shows them asks for the picture as it is now; while the
// pixels stay as they were the same object comes back, so it can key caches and
// comparisons. Null once the bitmap is gone (disposed).
class LiveBitmap {
public:
    virtual ~LiveBitmap() = default;
    virtual std::shared_ptr<const BitmapData> current() const = 0;
};

// The largest bitmap we agree to decode, in pixels (256 MiB of ARGB). Movies do carry
// very wide or very tall images, so the ceiling is on the area, not on each side.
constexpr int64_t kMaxBitmapPixels = int64_t{8192} * 8192;

// FormatError when a side is not positive or the area is over kMaxBitmapPixels. Decoders
// check before inflating anything, and allocate only once the data has proved complete,
// so that a few bytes claiming a huge image cost nothing.
void checkBitmapSize(int64_t width, int64_t height);

// A transparent bitmap of the given size, checked as above.
BitmapData makeBitmap(int64_t width, int64_t height);

// True for the tag codes decodeBitmapTag() understands.
bool isBitmapTag(int tagCode);

// Decodes the body of a bitmap tag, `body` positioned just after the character id.
// `jpegTables` is the body of the movie's JPEGTables tag (used only by DefineBits; may be
// empty). Throws FormatError for malformed, unsupported or oversized data.
std::shared_ptr<const BitmapData> decodeBitmapTag(int tagCode, ByteReader& body,
                                                  std::span<const uint8_t> jpegTables);

// Pixel packing shared by the decoders.
namespace pixel {

constexpr uint32_t pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

constexpr uint8_t alphaOf(uint32_t argb) { return static_cast<uint8_t>(argb >> 24); }

// Straight (non-premultiplied) colour to premultiplied ARGB, rounding to nearest.
constexpr uint32_t premultiply(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    if (a == 255)
        return pack(a, r, g, b);
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    return pack(a, mul(r), mul(g), mul(b));
}

// Colour stored already premultiplied: channels above alpha would be invalid for the
// premultiplied image formats, so they are clamped to it.
constexpr uint32_t clampToAlpha(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    auto clamp = [a](uint32_t c) { return c < a ? c : a; };
    return pack(a, clamp(r), clamp(g), clamp(b));
}

} // namespace pixel

} // namespace swf
