#include "engine/format/PngDecoder.h"

#include "engine/format/BitmapInflate.h"
#include "engine/format/Error.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace swf {

namespace {

constexpr std::array<uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

enum class ColorType : uint8_t { Gray = 0, Rgb = 2, Indexed = 3, GrayAlpha = 4, Rgba = 6 };

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t depth = 0;
    ColorType color = ColorType::Gray;
    bool interlaced = false;

    unsigned channels() const
    {
        switch (color) {
        case ColorType::Rgb: return 3;
        case ColorType::GrayAlpha: return 2;
        case ColorType::Rgba: return 4;
        case ColorType::Gray:
        case ColorType::Indexed: break;
        }
        return 1;
    }
    unsigned bitsPerPixel() const { return channels() * depth; }
    // The distance a filter looks back: one pixel, at least one byte.
    size_t filterStride() const { return std::max(1u, bitsPerPixel() / 8); }
    size_t rowBytes(size_t pixels) const { return (pixels * bitsPerPixel() + 7) / 8; }
};

// Everything read from the chunks that the pixels need.
struct PngFile {
    Header header;
    std::array<uint32_t, 256> palette{};  // premultiplied, tRNS applied
    size_t paletteSize = 0;
    std::optional<std::array<uint16_t, 3>> colorKey;  // tRNS for gray (one value) and RGB
    std::vector<uint8_t> compressed;                  // the IDAT chunks joined
};

uint32_t bigEndian32(std::span<const uint8_t> b)
{
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}
uint16_t bigEndian16(std::span<const uint8_t> b) { return static_cast<uint16_t>((b[0] << 8) | b[1]); }

bool validDepth(ColorType color, uint8_t depth)
{
    switch (color) {
    case ColorType::Gray: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case ColorType::Indexed: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case ColorType::Rgb:
    case ColorType::GrayAlpha:
    case ColorType::Rgba: return depth == 8 || depth == 16;
    }
    return false;
}

Header readHeader(std::span<const uint8_t> c)
{
    if (c.size() < 13)
        throw FormatError("bitmap: PNG header chunk too short");
    Header h;
    h.width = bigEndian32(c.subspan(0, 4));
    h.height = bigEndian32(c.subspan(4, 4));
    h.depth = c[8];
    h.color = static_cast<ColorType>(c[9]);
    if (c[9] > 6 || c[9] == 1 || c[9] == 5 || !validDepth(h.color, h.depth))
        throw FormatError("bitmap: PNG colour type " + std::to_string(c[9]) + " with depth "
                          + std::to_string(c[8]) + " is not valid");
    if (c[10] != 0 || c[11] != 0 || c[12] > 1)
        throw FormatError("bitmap: PNG uses an unknown compression, filter or interlace method");
    h.interlaced = c[12] == 1;
    return h;
}

void readPalette(std::span<const uint8_t> c, PngFile& png)
{
    png.paletteSize = std::min<size_t>(256, c.size() / 3);
    for (size_t i = 0; i < png.paletteSize; ++i)
        png.palette[i] = pixel::pack(255, c[3 * i], c[3 * i + 1], c[3 * i + 2]);
}

void readTransparency(std::span<const uint8_t> c, PngFile& png)
{
    switch (png.header.color) {
    case ColorType::Indexed:
        for (size_t i = 0; i < std::min(c.size(), png.paletteSize); ++i) {
            const uint32_t p = png.palette[i];
            png.palette[i] = pixel::premultiply(c[i], (p >> 16) & 255, (p >> 8) & 255, p & 255);
        }
        break;
    case ColorType::Gray:
        if (c.size() >= 2)
            png.colorKey = std::array<uint16_t, 3>{bigEndian16(c), 0, 0};
        break;
    case ColorType::Rgb:
        if (c.size() >= 6)
            png.colorKey = std::array<uint16_t, 3>{bigEndian16(c), bigEndian16(c.subspan(2)), bigEndian16(c.subspan(4))};
        break;
    case ColorType::GrayAlpha:
    case ColorType::Rgba:
        break;  // these carry their own alpha
    }
}

// Walks the chunks. Checksums are not verified: a movie's image with a bad checksum
// still shows, and the inflater catches damage that matters.
PngFile readChunks(std::span<const uint8_t> data)
{
    PngFile png;
    bool sawHeader = false;
    size_t pos = kSignature.size();
    while (data.size() - pos >= 12) {
        const uint32_t length = bigEndian32(data.subspan(pos, 4));
        const std::string_view type(reinterpret_cast<const char*>(data.data() + pos + 4), 4);
        pos += 8;
        if (length > data.size() - pos - 4)
            throw FormatError("bitmap: PNG chunk runs past the end of the data");
        const std::span<const uint8_t> body = data.subspan(pos, length);
        pos += size_t{length} + 4;
        if (type == "IHDR") {
            png.header = readHeader(body);
            sawHeader = true;
        } else if (!sawHeader) {
            throw FormatError("bitmap: PNG does not start with a header chunk");
        } else if (type == "PLTE") {
            readPalette(body, png);
        } else if (type == "tRNS") {
            readTransparency(body, png);
        } else if (type == "IDAT") {
            png.compressed.insert(png.compressed.end(), body.begin(), body.end());
        } else if (type == "IEND") {
            break;
        }
    }
    if (!sawHeader)
        throw FormatError("bitmap: PNG has no header chunk");
    if (png.header.color == ColorType::Indexed && png.paletteSize == 0)
        throw FormatError("bitmap: indexed PNG has no palette");
    return png;
}

// One Adam7 pass (or the whole image when not interlaced).
struct Pass {
    size_t x0, y0, dx, dy;
    size_t width, height;
};

std::vector<Pass> passesFor(const Header& h)
{
    if (!h.interlaced)
        return {Pass{0, 0, 1, 1, h.width, h.height}};
    constexpr std::array<std::array<size_t, 4>, 7> adam7{{
        {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    std::vector<Pass> passes;
    for (const auto& [x0, y0, dx, dy] : adam7) {
        const size_t w = h.width > x0 ? (h.width - x0 + dx - 1) / dx : 0;
        const size_t hh = h.height > y0 ? (h.height - y0 + dy - 1) / dy : 0;
        if (w > 0 && hh > 0)
            passes.push_back(Pass{x0, y0, dx, dy, w, hh});
    }
    return passes;
}

uint8_t paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Reverses the row filter in place; `prior` is the previous unfiltered row (zeros first).
void unfilter(uint8_t type, std::span<uint8_t> row, std::span<const uint8_t> prior, size_t stride)
{
    const size_t n = row.size();
    switch (type) {
    case 0:
        return;
    case 1:
        for (size_t i = stride; i < n; ++i)
            row[i] = static_cast<uint8_t>(row[i] + row[i - stride]);
        return;
    case 2:
        for (size_t i = 0; i < n; ++i)
            row[i] = static_cast<uint8_t>(row[i] + prior[i]);
        return;
    case 3:
        for (size_t i = 0; i < n; ++i) {
            const unsigned left = i >= stride ? row[i - stride] : 0;
            row[i] = static_cast<uint8_t>(row[i] + ((left + prior[i]) >> 1));
        }
        return;
    case 4:
        for (size_t i = 0; i < n; ++i) {
            const int left = i >= stride ? row[i - stride] : 0;
            const int upLeft = i >= stride ? prior[i - stride] : 0;
            row[i] = static_cast<uint8_t>(row[i] + paeth(left, prior[i], upLeft));
        }
        return;
    default:
        throw FormatError("bitmap: PNG row filter " + std::to_string(type) + " is unknown");
    }
}

// Turns unfiltered rows of samples into premultiplied pixels.
class SampleConverter {
public:
    explicit SampleConverter(const PngFile& png) : png_(png), h_(png.header) {}

    uint32_t pixelAt(std::span<const uint8_t> row, size_t x) const
    {
        switch (h_.color) {
        case ColorType::Indexed: {
            const uint16_t i = sample(row, x);
            return i < png_.paletteSize ? png_.palette[i] : pixel::pack(255, 0, 0, 0);
        }
        case ColorType::Gray: {
            const uint16_t g = sample(row, x);
            if (png_.colorKey && (*png_.colorKey)[0] == g)
                return 0;
            const uint32_t v = to8(g);
            return pixel::pack(255, v, v, v);
        }
        case ColorType::GrayAlpha: {
            const uint32_t v = to8(sample(row, 2 * x));
            return pixel::premultiply(to8(sample(row, 2 * x + 1)), v, v, v);
        }
        case ColorType::Rgb: {
            const uint16_t r = sample(row, 3 * x), g = sample(row, 3 * x + 1), b = sample(row, 3 * x + 2);
            if (png_.colorKey && *png_.colorKey == std::array<uint16_t, 3>{r, g, b})
                return 0;
            return pixel::pack(255, to8(r), to8(g), to8(b));
        }
        case ColorType::Rgba:
            return pixel::premultiply(to8(sample(row, 4 * x + 3)), to8(sample(row, 4 * x)),
                                      to8(sample(row, 4 * x + 1)), to8(sample(row, 4 * x + 2)));
        }
        return 0;
    }

private:
    // The i-th sample of the row at the image's bit depth, packed most significant first.
    uint16_t sample(std::span<const uint8_t> row, size_t i) const
    {
        switch (h_.depth) {
        case 16: return bigEndian16(row.subspan(2 * i, 2));
        case 8: return row[i];
        default: {
            const size_t bit = i * h_.depth;
            const unsigned shift = 8 - h_.depth - static_cast<unsigned>(bit % 8);
            return static_cast<uint16_t>((row[bit / 8] >> shift) & ((1u << h_.depth) - 1));
        }
        }
    }

    // Scales a sample to 8 bits; palette indices are never passed here.
    uint32_t to8(uint16_t v) const
    {
        switch (h_.depth) {
        case 16: return v >> 8;
        case 8: return v;
        default: return v * 255u / ((1u << h_.depth) - 1);
        }
    }

    const PngFile& png_;
    const Header& h_;
};

void decodePass(const Pass& pass, std::span<uint8_t> filtered, const PngFile& png, BitmapData& out)
{
    const Header& h = png.header;
    const size_t rowBytes = h.rowBytes(pass.width);
    std::vector<uint8_t> prior(rowBytes, 0);
    const SampleConverter convert(png);
    for (size_t y = 0; y < pass.height; ++y) {
        const std::span<uint8_t> line = filtered.subspan(y * (rowBytes + 1), rowBytes + 1);
        const std::span<uint8_t> row = line.subspan(1);
        unfilter(line[0], row, prior, h.filterStride());
        uint32_t* dst = out.pixels.data() + (pass.y0 + y * pass.dy) * static_cast<size_t>(out.width);
        for (size_t x = 0; x < pass.width; ++x)
            dst[pass.x0 + x * pass.dx] = convert.pixelAt(row, x);
        std::copy(row.begin(), row.end(), prior.begin());
    }
}

} // namespace

bool looksLikePng(std::span<const uint8_t> data)
{
    return data.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), data.begin());
}

BitmapData decodePng(std::span<const uint8_t> data)
{
    if (!looksLikePng(data))
        throw FormatError("bitmap: not PNG data");
    const PngFile png = readChunks(data);
    checkBitmapSize(png.header.width, png.header.height);
    const std::vector<Pass> passes = passesFor(png.header);
    size_t expected = 0;
    for (const Pass& p : passes)
        expected += p.height * (png.header.rowBytes(p.width) + 1);
    std::vector<uint8_t> filtered = inflateExactly(png.compressed, expected, "PNG image data");
    BitmapData out = makeBitmap(png.header.width, png.header.height);
    size_t offset = 0;
    for (const Pass& p : passes) {
        const size_t size = p.height * (png.header.rowBytes(p.width) + 1);
        decodePass(p, std::span(filtered).subspan(offset, size), png, out);
        offset += size;
    }
    return out;
}

} // namespace swf
