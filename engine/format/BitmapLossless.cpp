#include "engine/format/BitmapLossless.h"

#include "engine/format/BitmapInflate.h"

#include <array>
#include <string>

namespace swf {

namespace {

enum class LosslessFormat : uint8_t { ColorMapped8 = 3, Rgb15 = 4, Argb32 = 5 };

// Rows of colour-mapped and 15-bit pixels are padded to 32-bit boundaries.
size_t paddedRow(size_t bytes) { return (bytes + 3) & ~size_t{3}; }

using Palette = std::array<uint32_t, 256>;

// Reads the colour map from the front of the inflated data. Indices past its end give
// transparent black (Lossless2) or opaque black (Lossless), as a missing entry has no colour.
Palette readPalette(std::span<const uint8_t> entries, size_t count, LosslessAlpha alpha)
{
    Palette palette;
    palette.fill(alpha == LosslessAlpha::Opaque ? pixel::pack(255, 0, 0, 0) : 0);
    const size_t stride = alpha == LosslessAlpha::Opaque ? 3 : 4;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = entries.data() + i * stride;
        palette[i] = alpha == LosslessAlpha::Opaque ? pixel::pack(255, e[0], e[1], e[2])
                                                    : pixel::clampToAlpha(e[3], e[0], e[1], e[2]);
    }
    return palette;
}

// The decoders inflate first and allocate the bitmap only once the pixels are all there.
BitmapData decodeColorMapped(ByteReader& body, LosslessAlpha alpha, size_t w, size_t h)
{
    const size_t colors = size_t{body.u8()} + 1;
    const size_t entryBytes = colors * (alpha == LosslessAlpha::Opaque ? 3 : 4);
    const size_t row = paddedRow(w);
    const std::vector<uint8_t> data = inflateExactly(body.rest(), entryBytes + row * h, "colour-mapped bitmap");
    BitmapData out = makeBitmap(int64_t(w), int64_t(h));
    const Palette palette = readPalette(data, colors, alpha);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* src = data.data() + entryBytes + y * row;
        uint32_t* dst = out.pixels.data() + y * w;
        for (size_t x = 0; x < w; ++x)
            dst[x] = palette[src[x]];
    }
    return out;
}

// 5-bit channel to 8 bits, so that full intensity stays full.
constexpr uint32_t widen5(uint32_t v) { return (v << 3) | (v >> 2); }

BitmapData decodeRgb15(ByteReader& body, size_t w, size_t h)
{
    const size_t row = paddedRow(w * 2);
    const std::vector<uint8_t> data = inflateExactly(body.rest(), row * h, "15-bit bitmap");
    BitmapData out = makeBitmap(int64_t(w), int64_t(h));
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* src = data.data() + y * row;
        uint32_t* dst = out.pixels.data() + y * w;
        for (size_t x = 0; x < w; ++x) {
            // Big-endian 16 bits: one reserved bit, then 5 bits each of red, green, blue.
            const uint32_t v = (uint32_t{src[2 * x]} << 8) | src[2 * x + 1];
            dst[x] = pixel::pack(255, widen5((v >> 10) & 31), widen5((v >> 5) & 31), widen5(v & 31));
        }
    }
    return out;
}

BitmapData decodeArgb32(ByteReader& body, LosslessAlpha alpha, size_t w, size_t h)
{
    const size_t count = w * h;
    const std::vector<uint8_t> data = inflateExactly(body.rest(), count * 4, "32-bit bitmap");
    BitmapData out = makeBitmap(int64_t(w), int64_t(h));
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = data.data() + i * 4;
        // Lossless keeps a reserved byte where Lossless2 keeps alpha.
        out.pixels[i] = alpha == LosslessAlpha::Opaque ? pixel::pack(255, p[1], p[2], p[3])
                                                       : pixel::clampToAlpha(p[0], p[1], p[2], p[3]);
    }
    return out;
}

} // namespace

BitmapData decodeLossless(ByteReader& body, LosslessAlpha alpha)
{
    const uint8_t format = body.u8();
    const uint16_t width = body.u16();
    const uint16_t height = body.u16();
    checkBitmapSize(width, height);
    switch (static_cast<LosslessFormat>(format)) {
    case LosslessFormat::ColorMapped8:
        return decodeColorMapped(body, alpha, width, height);
    case LosslessFormat::Rgb15:
        // Only defined for opaque bitmaps, but the pixels are unambiguous either way.
        return decodeRgb15(body, width, height);
    case LosslessFormat::Argb32:
        return decodeArgb32(body, alpha, width, height);
    }
    throw FormatError("bitmap: unknown lossless format " + std::to_string(format));
}

} // namespace swf
