#include "engine/avm1/BitmapPixels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <deque>

namespace swf::avm1 {

namespace {

constexpr int shiftOf(int channel)  // 0 red .. 3 alpha, as the ARGB word holds them
{
    return channel == 3 ? 24 : 16 - 8 * channel;
}

uint32_t channelOf(uint32_t argb, int channel)
{
    return (argb >> shiftOf(channel)) & 0xFF;
}

uint32_t withChannel(uint32_t argb, int channel, uint32_t value)
{
    const int shift = shiftOf(channel);
    return (argb & ~(0xFFu << shift)) | ((value & 0xFF) << shift);
}

// Each of the word's bytes (the lowest `count` of them: 3 for the colour, 4 with
// alpha) through `f`, which is given the byte and its shift.
template <class F>
uint32_t mapBytes(uint32_t word, F&& f, int count = 4)
{
    uint32_t out = count < 4 ? word & (0xFFFFFFFFu << (8 * count)) : 0;
    for (int shift = 0; shift < 8 * count; shift += 8)
        out |= (static_cast<uint32_t>(f((word >> shift) & 0xFF, shift)) & 0xFF) << shift;
    return out;
}

uint8_t clampByte(double v)
{
    if (!(v > 0))
        return 0;
    return v >= 255 ? 255 : static_cast<uint8_t>(v);
}

// The index of the single channel bit 1, 2, 4 or 8; -1 for anything else.
int channelIndex(int bit)
{
    switch (bit) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    default: return -1;
    }
}

} // namespace

uint32_t premultiply(uint32_t argb)
{
    const uint32_t a = argb >> 24;
    if (a == 0xFF)
        return argb;
    if (a == 0)
        return 0;
    return mapBytes(argb, [a](uint32_t c, int) { return (c * a + 127) / 255; }, 3);
}

uint32_t unpremultiply(uint32_t p)
{
    const uint32_t a = p >> 24;
    if (a == 0xFF)
        return p;
    if (a == 0)
        return 0;
    // Times 255/alpha in 8.8 fixed point, the reciprocal cut down first: a colour of 90
    // under alpha 121 reads back as 189, where exact rounding would give 190.
    const uint32_t reciprocal = (255u << 8) / a;
    return mapBytes(p, [reciprocal](uint32_t c, int) { return std::min<uint32_t>(255, (c * reciprocal + 127) >> 8); }, 3);
}

bool BitmapPixels::sizeAllowed(int width, int height, int swfVersion)
{
    if (width < 1 || height < 1)
        return false;
    if (swfVersion >= 10)
        return width <= 8191 && height <= 8191 && static_cast<int64_t>(width) * height < (int64_t{1} << 24);
    return width <= 2880 && height <= 2880;
}

BitmapPixels::BitmapPixels(int width, int height, bool transparent, uint32_t fillArgb)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), transparent_(transparent)
{
    pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_),
                   transparent ? premultiply(fillArgb) : (fillArgb | 0xFF000000u));
}

BitmapPixels::BitmapPixels(int width, int height, bool transparent, std::vector<uint32_t> premultiplied)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), transparent_(transparent),
      pixels_(std::move(premultiplied))
{
    pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
}

PixelRect BitmapPixels::clip(PixelRect r) const
{
    const int64_t left = std::max<int64_t>(r.x, 0);
    const int64_t top = std::max<int64_t>(r.y, 0);
    const int64_t right = std::min<int64_t>(int64_t{r.x} + r.width, width_);
    const int64_t bottom = std::min<int64_t>(int64_t{r.y} + r.height, height_);
    if (right <= left || bottom <= top)
        return {};
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

uint32_t BitmapPixels::getPixel32(int x, int y) const
{
    if (!contains(x, y))
        return 0;
    // An opaque bitmap's pixels are read as stored (threshold can leave alpha in them).
    return transparent_ ? unpremultiply(raw(x, y)) : raw(x, y);
}

void BitmapPixels::setPixel32(int x, int y, uint32_t argb)
{
    if (contains(x, y))
        setRaw(x, y, transparent_ ? premultiply(argb) : (argb | 0xFF000000u));
}

void BitmapPixels::setPixel(int x, int y, uint32_t rgb)
{
    if (!contains(x, y))
        return;
    const uint32_t alpha = raw(x, y) & 0xFF000000u;
    setRaw(x, y, transparent_ ? premultiply(alpha | (rgb & 0xFFFFFF)) : (rgb | 0xFF000000u));
}

void BitmapPixels::fillRect(PixelRect rect, uint32_t argb)
{
    // A rectangle of negative width or height reaches back from its corner, as the
    // reference player fills it.
    auto forwards = [](int& start, int& size) {
        if (size >= 0)
            return;
        const int64_t from = int64_t{start} + size;
        start = static_cast<int>(std::max<int64_t>(from, INT32_MIN));
        size = static_cast<int>(std::min<int64_t>(-int64_t{size}, INT32_MAX));
    };
    forwards(rect.x, rect.width);
    forwards(rect.y, rect.height);
    const PixelRect r = clip(rect);
    const uint32_t value = transparent_ ? premultiply(argb) : (argb | 0xFF000000u);
    for (int y = r.y; y < r.y + r.height; ++y)
        std::fill_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.x, r.width, value);
}

namespace {

// The parts of a copy that land inside both bitmaps: the source rectangle cut to the
// source, then moved so that its destination stays inside the target.
struct CopyArea {
    int sx, sy, dx, dy, width, height;
};

std::optional<CopyArea> copyArea(const BitmapPixels& source, PixelRect rect, const BitmapPixels& dest, int destX,
                                 int destY)
{
    // Where the source rectangle's corner lands; clipping the source moves it too.
    const PixelRect src = source.clip(rect);
    if (src.width <= 0)
        return std::nullopt;
    int64_t dx = int64_t{destX} + (src.x - rect.x);
    int64_t dy = int64_t{destY} + (src.y - rect.y);
    int64_t sx = src.x, sy = src.y, w = src.width, h = src.height;
    if (dx < 0) {
        sx -= dx;
        w += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        h += dy;
        dy = 0;
    }
    w = std::min<int64_t>(w, dest.width() - dx);
    h = std::min<int64_t>(h, dest.height() - dy);
    if (w <= 0 || h <= 0)
        return std::nullopt;
    return CopyArea{static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(dx), static_cast<int>(dy),
                    static_cast<int>(w), static_cast<int>(h)};
}

// Premultiplied `top` laid over premultiplied `bottom`.
uint32_t over(uint32_t top, uint32_t bottom)
{
    const uint32_t inverse = 255 - (top >> 24);
    if (inverse == 0)
        return top;
    return mapBytes(top, [&](uint32_t t, int shift) {
        return std::min<uint32_t>(255, t + ((bottom >> shift) & 0xFF) * inverse / 255);
    });
}

// Alpha of a premultiplied pixel scaled by `alpha` (0-255), colour with it; the
// player divides by 256 here, so even an opaque mask takes a little off.
uint32_t scaleAlpha(uint32_t p, uint32_t alpha)
{
    return mapBytes(p, [alpha](uint32_t c, int) { return c * alpha >> 8; });
}

} // namespace

void BitmapPixels::copyPixels(const BitmapPixels& source, PixelRect rect, int destX, int destY, bool mergeAlpha)
{
    const auto area = copyArea(source, rect, *this, destX, destY);
    if (!area)
        return;
    // Read everything first: source and destination may be the same bitmap.
    std::vector<uint32_t> block(static_cast<size_t>(area->width) * static_cast<size_t>(area->height));
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x)
            block[static_cast<size_t>(y * area->width + x)] = source.raw(area->sx + x, area->sy + y);
    }
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x) {
            uint32_t p = block[static_cast<size_t>(y * area->width + x)];
            // An opaque bitmap has nothing to show through, so it always blends.
            if ((mergeAlpha || !transparent_) && source.transparent())
                p = over(p, raw(area->dx + x, area->dy + y));
            setRaw(area->dx + x, area->dy + y, p);
        }
    }
}

void BitmapPixels::copyPixelsWithAlpha(const BitmapPixels& source, PixelRect rect, int destX, int destY,
                                       const BitmapPixels& alphaSource, int alphaX, int alphaY, bool mergeAlpha)
{
    const auto area = copyArea(source, rect, *this, destX, destY);
    if (!area)
        return;
    std::vector<uint32_t> block(static_cast<size_t>(area->width) * static_cast<size_t>(area->height));
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x) {
            const int ax = alphaX + (area->sx - rect.x) + x;
            const int ay = alphaY + (area->sy - rect.y) + y;
            const uint32_t alpha = alphaSource.contains(ax, ay) ? alphaSource.raw(ax, ay) >> 24 : 0;
            block[static_cast<size_t>(y * area->width + x)] = scaleAlpha(source.raw(area->sx + x, area->sy + y), alpha);
        }
    }
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x) {
            uint32_t p = block[static_cast<size_t>(y * area->width + x)];
            if (mergeAlpha || !transparent_)
                p = over(p, raw(area->dx + x, area->dy + y));
            setRaw(area->dx + x, area->dy + y, transparent_ ? p : (p | 0xFF000000u));
        }
    }
}

void BitmapPixels::copyChannel(const BitmapPixels& source, PixelRect rect, int destX, int destY, int sourceChannel,
                               int destChannel)
{
    const int from = channelIndex(sourceChannel);
    const int to = channelIndex(destChannel);
    // A source naming no single channel reads as 0; a target naming none changes nothing.
    if (to < 0 || (to == 3 && !transparent_))
        return;
    const auto area = copyArea(source, rect, *this, destX, destY);
    if (!area)
        return;
    std::vector<uint32_t> values(static_cast<size_t>(area->width) * static_cast<size_t>(area->height));
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x)
            values[static_cast<size_t>(y * area->width + x)] =
                from < 0 ? 0 : channelOf(unpremultiply(source.raw(area->sx + x, area->sy + y)), from);
    }
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x) {
            const uint32_t old = unpremultiply(raw(area->dx + x, area->dy + y));
            const uint32_t next = withChannel(old, to, values[static_cast<size_t>(y * area->width + x)]);
            setRaw(area->dx + x, area->dy + y, transparent_ ? premultiply(next) : (next | 0xFF000000u));
        }
    }
}

void BitmapPixels::scroll(int dx, int dy)
{
    const int64_t w = width_, h = height_;
    if (std::llabs(dx) >= w || std::llabs(dy) >= h)
        return;
    const std::vector<uint32_t> old = pixels_;
    for (int64_t y = std::max<int64_t>(0, dy); y < std::min<int64_t>(h, h + dy); ++y) {
        for (int64_t x = std::max<int64_t>(0, dx); x < std::min<int64_t>(w, w + dx); ++x)
            pixels_[static_cast<size_t>(y * w + x)] = old[static_cast<size_t>((y - dy) * w + (x - dx))];
    }
}

void BitmapPixels::colorTransform(PixelRect rect, const std::array<double, 4>& mul, const std::array<double, 4>& add)
{
    const PixelRect r = clip(rect);
    for (int y = r.y; y < r.y + r.height; ++y) {
        for (int x = r.x; x < r.x + r.width; ++x) {
            const uint32_t c = unpremultiply(raw(x, y));
            uint32_t out = 0;
            for (int ch = 0; ch < 4; ++ch)
                out = withChannel(out, ch, clampByte(std::floor(channelOf(c, ch) * mul[static_cast<size_t>(ch)] + add[static_cast<size_t>(ch)])));
            setRaw(x, y, transparent_ ? premultiply(out) : (out | 0xFF000000u));
        }
    }
}

PixelRect BitmapPixels::colorBounds(uint32_t mask, uint32_t color, bool find) const
{
    // Stored pixels are compared as stored: a transparent bitmap's colour is
    // premultiplied first. An opaque bitmap has no alpha to compare: the alpha byte
    // of both mask and colour is left out, as the reference player does.
    if (transparent_) {
        color = premultiply(color);
    } else {
        mask &= 0x00FFFFFFu;
        color &= 0x00FFFFFFu;
    }
    int left = width_, top = height_, right = -1, bottom = -1;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const bool match = (raw(x, y) & mask) == color;
            if (match != find)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    // A match at the first pixel alone counts as none: the reference player answers
    // an empty rectangle there.
    if (right <= 0 && bottom <= 0)
        return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

void BitmapPixels::floodFill(int x, int y, uint32_t argb)
{
    if (!contains(x, y))
        return;
    const uint32_t target = raw(x, y);
    const uint32_t value = transparent_ ? premultiply(argb) : (argb | 0xFF000000u);
    if (target == value)
        return;
    std::deque<std::pair<int, int>> pending{{x, y}};
    setRaw(x, y, value);
    while (!pending.empty()) {
        const auto [px, py] = pending.front();
        pending.pop_front();
        const std::pair<int, int> next[] = {{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}};
        for (const auto& [nx, ny] : next) {
            if (contains(nx, ny) && raw(nx, ny) == target) {
                setRaw(nx, ny, value);
                pending.emplace_back(nx, ny);
            }
        }
    }
}

int BitmapPixels::threshold(const BitmapPixels& source, PixelRect rect, int destX, int destY, Test test,
                            uint32_t thresholdValue, uint32_t color, uint32_t mask, bool copySource)
{
    const auto area = copyArea(source, rect, *this, destX, destY);
    if (!area)
        return 0;
    // Pixels are tested as the source stores them (premultiplied when it has alpha)
    // against the threshold as given.
    const uint32_t limit = thresholdValue & mask;
    // The colour goes in premultiplied whatever the target, alpha and all.
    const uint32_t colorValue = premultiply(color);
    std::vector<uint32_t> block(static_cast<size_t>(area->width) * static_cast<size_t>(area->height));
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x)
            block[static_cast<size_t>(y * area->width + x)] = source.raw(area->sx + x, area->sy + y);
    }
    int passed = 0;
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x) {
            const uint32_t p = block[static_cast<size_t>(y * area->width + x)];
            const uint32_t v = p & mask;
            bool pass = false;
            switch (test) {
            case Test::Less: pass = v < limit; break;
            case Test::LessEqual: pass = v <= limit; break;
            case Test::Greater: pass = v > limit; break;
            case Test::GreaterEqual: pass = v >= limit; break;
            case Test::Equal: pass = v == limit; break;
            case Test::NotEqual: pass = v != limit; break;
            }
            if (pass) {
                ++passed;
                setRaw(area->dx + x, area->dy + y, colorValue);
            } else if (copySource) {
                setRaw(area->dx + x, area->dy + y, p);
            }
        }
    }
    return passed;
}

void BitmapPixels::merge(const BitmapPixels& source, PixelRect rect, int destX, int destY, const std::array<int, 4>& mul)
{
    const auto area = copyArea(source, rect, *this, destX, destY);
    if (!area)
        return;
    std::vector<uint32_t> block(static_cast<size_t>(area->width) * static_cast<size_t>(area->height));
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x)
            block[static_cast<size_t>(y * area->width + x)] = unpremultiply(source.raw(area->sx + x, area->sy + y));
    }
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x) {
            const uint32_t s = block[static_cast<size_t>(y * area->width + x)];
            const uint32_t d = unpremultiply(raw(area->dx + x, area->dy + y));
            uint32_t out = 0;
            for (int ch = 0; ch < 4; ++ch) {
                const int64_t m = std::clamp(mul[static_cast<size_t>(ch)], 0, 256);
                const int64_t v = (int64_t{channelOf(s, ch)} * m + int64_t{channelOf(d, ch)} * (256 - m)) / 256;
                out = withChannel(out, ch, static_cast<uint32_t>(v));
            }
            setRaw(area->dx + x, area->dy + y, transparent_ ? premultiply(out) : (out | 0xFF000000u));
        }
    }
}

void BitmapPixels::paletteMap(const BitmapPixels& source, PixelRect rect, int destX, int destY,
                              const std::array<std::optional<std::array<uint32_t, 256>>, 4>& maps)
{
    const auto area = copyArea(source, rect, *this, destX, destY);
    if (!area)
        return;
    std::vector<uint32_t> block(static_cast<size_t>(area->width) * static_cast<size_t>(area->height));
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x)
            block[static_cast<size_t>(y * area->width + x)] = unpremultiply(source.raw(area->sx + x, area->sy + y));
    }
    for (int y = 0; y < area->height; ++y) {
        for (int x = 0; x < area->width; ++x) {
            const uint32_t s = block[static_cast<size_t>(y * area->width + x)];
            uint32_t out = 0;
            for (int ch = 0; ch < 4; ++ch) {
                const uint32_t c = channelOf(s, ch);
                const auto& map = maps[static_cast<size_t>(ch)];
                out += map ? (*map)[c] : c << shiftOf(ch);
            }
            setRaw(area->dx + x, area->dy + y, transparent_ ? premultiply(out) : (out | 0xFF000000u));
        }
    }
}

void BitmapPixels::noise(uint32_t seed, int low, int high, int channels, bool grey)
{
    low = std::clamp(low, 0, 255);
    high = std::clamp(high, 0, 255);
    // The reference player's generator, whose pictures movies see: Park and Miller's
    // minimal standard (the state times 16807, modulo 2^31 - 1), seeded with the seed,
    // or with 1 minus it for a seed of 0 or below. A value is low plus the state modulo
    // the range's width; a range upside down gives low.
    constexpr int64_t kModulus = 2147483647;
    const int64_t signedSeed = static_cast<int32_t>(seed);
    int64_t state = (signedSeed > 0 ? signedSeed : 1 - signedSeed) % kModulus;
    if (state == 0)
        state = 1;
    const int64_t width = int64_t{high} - low + 1;
    auto next = [&state, low, width]() {
        state = state * 16807 % kModulus;
        return static_cast<uint32_t>(width > 0 ? low + state % width : low);
    };
    for (uint32_t& p : pixels_) {
        uint32_t out = 0;
        if (grey) {
            const uint32_t v = next();
            out = v << 16 | v << 8 | v;
        } else {
            for (int ch = 0; ch < 3; ++ch) {
                if (channels & (1 << ch))
                    out = withChannel(out, ch, next());
            }
        }
        out = withChannel(out, 3, (channels & 8) && transparent_ ? next() : 255);
        p = transparent_ ? premultiply(out) : (out | 0xFF000000u);
    }
}

namespace {

// Feedback taps of maximal-length shift registers of 2 to 26 bits: a register of k
// bits steps through every value from 1 to 2^k - 1 once before it comes back. 26
// bits cover the largest bitmap (8191 x 8191 pixels).
constexpr uint32_t kDissolveTaps[] = {
    0, 0, 0x3, 0x6, 0xC, 0x14, 0x30, 0x60, 0xB8, 0x110, 0x240, 0x500, 0x829, 0x100D,
    0x2015, 0x6000, 0xD008, 0x12000, 0x20400, 0x40023, 0x90000, 0x140000, 0x300000,
    0x420000, 0xE10000, 0x1200000, 0x2000023,
};

} // namespace

uint32_t dissolveStep(uint32_t state, int bits)
{
    bits = std::clamp(bits, 2, 26);
    const uint32_t feedback = static_cast<uint32_t>(std::popcount(state & kDissolveTaps[bits]) & 1);
    return ((state << 1) | feedback) & ((1u << bits) - 1);
}

int dissolveBits(uint64_t area)
{
    int bits = 2;
    while (bits < 26 && ((uint64_t{1} << bits) - 1) < area)
        ++bits;
    return bits;
}

uint32_t BitmapPixels::pixelDissolve(const BitmapPixels& source, PixelRect rect, int destX, int destY, uint32_t seed,
                                     int numPixels, uint32_t fillArgb, bool fill)
{
    const auto area = copyArea(source, rect, *this, destX, destY);
    if (!area)
        return seed;
    const uint64_t count = uint64_t(area->width) * uint64_t(area->height);
    const int bits = dissolveBits(count);
    // The walk visits the register's values 1..count, each naming pixel value - 1 of
    // the area row by row, and steps over the values past it.
    auto next = [&](uint32_t state) {
        do
            state = dissolveStep(state, bits);
        while (state > count);
        return state;
    };
    const uint64_t changes = numPixels < 0 ? count : std::min<uint64_t>(uint64_t(numPixels) + 1, count);
    const uint32_t fillValue = premultiply(fillArgb);
    uint32_t state = static_cast<uint32_t>(seed % count) + 1;
    for (uint64_t i = 0; i < changes; ++i) {
        const uint32_t index = state - 1;
        const int x = static_cast<int>(index % uint32_t(area->width));
        const int y = static_cast<int>(index / uint32_t(area->width));
        // Pixels are moved as stored: an opaque bitmap keeps the alpha it is given, as
        // threshold leaves it.
        setRaw(area->dx + x, area->dy + y, fill ? fillValue : source.raw(area->sx + x, area->sy + y));
        state = next(state);
    }
    return numPixels == 0 ? seed : state - 1;
}

namespace {

// The reference player's gradient noise: Perlin's lattice noise over tables filled
// from the seed by the minimal standard generator (Schrage's form, which never
// overflows 32 bits). One shuffled order of the 256 lattice columns serves every
// channel; each of the four channels has its own 256 unit gradients. Both tables
// are stored twice over (plus two) so a cell and its neighbour never need wrapping.
class PerlinTables {
public:
    static constexpr int kCells = 256;
    // The lattice is looked up this far from the origin, so that small negative
    // coordinates still truncate the way positive ones do.
    static constexpr double kShift = 4096;

    explicit PerlinTables(int32_t seed)
    {
        constexpr int64_t kModulus = 2147483647;
        int64_t state = seed;
        if (state <= 0)
            state = -(state % (kModulus - 1)) + 1;
        if (state > kModulus - 1)
            state = kModulus - 1;
        auto next = [&state] {
            state = 16807 * (state % 127773) - 2836 * (state / 127773);
            if (state <= 0)
                state += kModulus;
            return state;
        };
        for (auto& channel : gradients_) {
            for (int i = 0; i < kCells; ++i) {
                auto& g = channel[size_t(i)];
                g[0] = double(next() % (2 * kCells) - kCells) / kCells;
                g[1] = double(next() % (2 * kCells) - kCells) / kCells;
                const double length = std::sqrt(g[0] * g[0] + g[1] * g[1]);
                // (0, 0) stays as it is: that cell is flat.
                if (length > 0) {
                    g[0] /= length;
                    g[1] /= length;
                }
            }
        }
        for (int i = 0; i < kCells; ++i)
            order_[size_t(i)] = i;
        for (int i = kCells - 1; i > 0; --i)
            std::swap(order_[size_t(i)], order_[size_t(next() % kCells)]);
        for (int i = 0; i < kCells + 2; ++i) {
            order_[size_t(kCells + i)] = order_[size_t(i)];
            for (auto& channel : gradients_)
                channel[size_t(kCells + i)] = channel[size_t(i)];
        }
    }

    // Where stitched noise wraps: lattice columns at or past `wrapX` stand for the
    // ones `width` before them (rows likewise), so the noise repeats across the tile.
    struct Wrap {
        int64_t width = 0, height = 0, wrapX = 0, wrapY = 0;
    };

    // One axis of a sample's place in the lattice: the cells on either side (wrapped
    // for stitching, then to the tables), the place between them and its eased form.
    // A coordinate without a place (a cell size not a number) is not `valid`.
    struct Axis {
        int cell0 = 0, cell1 = 0;
        double t = 0, eased = 0;
        bool valid = false;
    };
    static Axis axis(double v, bool stitch, int64_t wrapAt, int64_t period)
    {
        Axis a;
        if (!std::isfinite(v))
            return a;
        v += kShift;
        const double whole = std::trunc(v);
        a.t = v - whole;
        // Far-off coordinates keep their place in the cell; the cell index only picks
        // table entries, so it may wrap.
        int64_t c0 = static_cast<int64_t>(std::fabs(whole) < 1e15 ? whole : std::fmod(whole, 1e15));
        int64_t c1 = c0 + 1;
        if (stitch) {
            if (c0 >= wrapAt)
                c0 -= period;
            if (c1 >= wrapAt)
                c1 -= period;
        }
        a.cell0 = static_cast<int>(c0 & 255);
        a.cell1 = static_cast<int>(c1 & 255);
        a.eased = a.t * a.t * (3 - 2 * a.t);
        a.valid = true;
        return a;
    }

    // Noise of one channel at a place, about -0.7..0.7, 0 on every lattice point; no
    // number without a place, which every channel then reads as 0.
    double at(int channel, const Axis& x, const Axis& y) const
    {
        if (!x.valid || !y.valid)
            return std::nan("");
        const int i = order_[size_t(x.cell0)], j = order_[size_t(x.cell1)];
        const auto& g = gradients_[size_t(channel)];
        auto dot = [&](int cell, double dx, double dy) {
            const auto& q = g[size_t(cell)];
            return dx * q[0] + dy * q[1];
        };
        auto mix = [](double t, double a, double b) { return a + t * (b - a); };
        const double top = mix(x.eased, dot(order_[size_t(i + y.cell0)], x.t, y.t),
                               dot(order_[size_t(j + y.cell0)], x.t - 1, y.t));
        const double bottom = mix(x.eased, dot(order_[size_t(i + y.cell1)], x.t, y.t - 1),
                                  dot(order_[size_t(j + y.cell1)], x.t - 1, y.t - 1));
        return mix(y.eased, top, bottom);
    }

private:
    std::array<int, 2 * kCells + 2> order_{};
    std::array<std::array<std::array<double, 2>, 2 * kCells + 2>, 4> gradients_{};
};

// A frequency moved to the nearest one (by ratio) that fits a whole number of
// cycles into `size` pixels, as stitching needs.
double stitchedFrequency(double frequency, double size)
{
    if (frequency == 0 || size <= 0)
        return frequency;
    const double low = std::floor(size * frequency) / size;
    const double high = std::ceil(size * frequency) / size;
    return frequency / low < high / frequency ? low : high;
}

} // namespace

void BitmapPixels::perlinNoise(const PerlinOptions& o)
{
    const bool alpha = transparent_ && (o.channels & 8);
    // The channels that get noise, in the order they take the seed's gradient tables:
    // the first one asked for takes the first table, and so on. Grey is one channel
    // (red's place) for all three colours.
    std::array<int, 4> channels{};
    int channelCount = 0;
    for (int ch = 0; ch < 3; ++ch) {
        if (o.grey ? ch == 0 : (o.channels & (1 << ch)) != 0)
            channels[size_t(channelCount++)] = ch;
    }
    if (alpha)
        channels[size_t(channelCount++)] = 3;
    const int needed = std::max(channelCount, 1);
    // Octaves past 32 count less than 2^-32 each: nothing a byte can show. A bound on
    // the work a call may ask for (about 67 million noise samples) gives up the
    // finest octaves first on the largest bitmaps.
    const uint64_t samplesPerOctave = uint64_t(std::max(width_, 1)) * uint64_t(std::max(height_, 1)) *
                                      uint64_t(needed);
    const int octaves = o.octaves <= 0 ? 0
                                       : static_cast<int>(std::clamp<uint64_t>((uint64_t{1} << 26) / samplesPerOctave,
                                                                               1, uint64_t(std::min(o.octaves, 32))));
    const PerlinTables tables(o.seed);
    // Cells are as large one way as the other: a negative size counts as its size, and
    // a size of 0 is no change at all that way.
    auto frequencyOf = [](double base) { return base == 0 ? 0.0 : 1 / std::fabs(base); };
    double frequencyX = frequencyOf(o.baseX), frequencyY = frequencyOf(o.baseY);
    PerlinTables::Wrap wrap;
    if (o.stitch) {
        frequencyX = stitchedFrequency(frequencyX, width_);
        frequencyY = stitchedFrequency(frequencyY, height_);
        wrap.width = std::llround(std::min(1e15, std::fabs(width_ * frequencyX)));
        wrap.height = std::llround(std::min(1e15, std::fabs(height_ * frequencyY)));
        wrap.wrapX = int64_t(PerlinTables::kShift) + wrap.width;
        wrap.wrapY = int64_t(PerlinTables::kShift) + wrap.height;
    }
    // Each octave's scale, offset and weight, and where it wraps, worked out once.
    struct Octave {
        double scaleX, scaleY, offsetX, offsetY, weight;
        PerlinTables::Wrap wrap;
    };
    std::vector<Octave> plan;
    for (int octave = 0; octave < octaves; ++octave) {
        const auto offset = size_t(octave) < o.offsets.size() ? o.offsets[size_t(octave)] : std::pair{0.0, 0.0};
        const double factor = std::ldexp(1.0, octave);
        plan.push_back({frequencyX * factor, frequencyY * factor, offset.first, offset.second, 1 / factor, wrap});
        // Each octave's tile is twice as many cells, wrapping twice as far out.
        // Tiles past 2^52 cells (cells far below a pixel) stop growing: coordinates
        // that large have no place within a cell left to show anyway.
        constexpr int64_t kLargest = int64_t{1} << 52;
        if (wrap.width < kLargest && wrap.wrapX < kLargest) {
            wrap.width *= 2;
            wrap.wrapX = 2 * wrap.wrapX - int64_t(PerlinTables::kShift);
        }
        if (wrap.height < kLargest && wrap.wrapY < kLargest) {
            wrap.height *= 2;
            wrap.wrapY = 2 * wrap.wrapY - int64_t(PerlinTables::kShift);
        }
    }
    // Each octave's place along x is the same on every row: worked out once.
    const size_t columns = size_t(std::max(width_, 0));
    std::vector<PerlinTables::Axis> xs(plan.size() * columns), ys(plan.size());
    for (size_t k = 0; k < plan.size(); ++k) {
        const Octave& step = plan[k];
        for (size_t x = 0; x < columns; ++x)
            xs[k * columns + x] = PerlinTables::axis((double(x) + step.offsetX) * step.scaleX, o.stitch,
                                                     step.wrap.wrapX, step.wrap.width);
    }
    std::array<double, 4> sums{};
    for (int y = 0; y < height_; ++y) {
        for (size_t k = 0; k < plan.size(); ++k)
            ys[k] = PerlinTables::axis((y + plan[k].offsetY) * plan[k].scaleY, o.stitch, plan[k].wrap.wrapY,
                                       plan[k].wrap.height);
        for (int x = 0; x < width_; ++x) {
            sums.fill(0.0);
            for (size_t k = 0; k < plan.size(); ++k) {
                const PerlinTables::Axis& across = xs[k * columns + size_t(x)];
                for (int i = 0; i < channelCount; ++i) {
                    const double n = tables.at(i, across, ys[k]);
                    sums[size_t(i)] += (o.fractal ? n : std::fabs(n)) * plan[k].weight;
                }
            }
            // The sum times 255, rounded: turbulence counts up from black; fractal
            // noise is moved to sit around mid-grey and halved, cutting off the half.
            uint32_t out = 0;
            for (int i = 0; i < channelCount; ++i) {
                const double v = std::floor(sums[size_t(i)] * 255 + 0.5);
                out = withChannel(out, channels[size_t(i)], clampByte(o.fractal ? std::floor((v + 255) / 2) : v));
            }
            if (o.grey)
                out = withChannel(withChannel(out, 1, channelOf(out, 0)), 2, channelOf(out, 0));
            if (!transparent_) {
                setRaw(x, y, out | 0xFF000000u);
                continue;
            }
            // With alpha, the levels are stored as they are, as premultiplied colours:
            // no colour above the alpha.
            const uint32_t a = alpha ? channelOf(out, 3) : 255;
            setRaw(x, y, mapBytes(withChannel(out, 3, a), [a](uint32_t c, int) { return std::min(c, a); }, 3));
        }
    }
}

} // namespace swf::avm1
