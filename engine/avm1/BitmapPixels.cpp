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
    return mapBytes(p, [a](uint32_t c, int) { return std::min<uint32_t>(255, (c * 255 + (a - 1) / 2) / a); }, 3);
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

// Noise goes into a bitmap with alpha through its own premultiplying: each colour times
// the alpha, divided by 256 and rounded, where setPixel32 divides by 255. Read back,
// a grey of 214 under alpha 247 is 213.
static uint32_t premultiplyNoise(uint32_t argb)
{
    const uint32_t a = argb >> 24;
    if (a == 0xFF)
        return argb;
    return mapBytes(argb, [a](uint32_t c, int) { return (c * a + 128) >> 8; }, 3);
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
        p = transparent_ ? premultiplyNoise(out) : (out | 0xFF000000u);
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

// Park and Miller's minimal standard generator, as noise() uses it.
class MinimalStandard {
public:
    explicit MinimalStandard(int32_t seed)
    {
        constexpr int64_t kModulus = 2147483647;
        state_ = (seed > 0 ? int64_t{seed} : 1 - int64_t{seed}) % kModulus;
        if (state_ == 0)
            state_ = 1;
    }
    int64_t next()
    {
        state_ = state_ * 16807 % 2147483647;
        return state_;
    }

private:
    int64_t state_;
};

// One channel's lattice: a shuffled order of 256 cells and a unit gradient for each.
struct NoiseLattice {
    std::array<uint8_t, 256> order{};
    std::array<std::pair<double, double>, 256> gradients{};

    explicit NoiseLattice(MinimalStandard& random)
    {
        for (int i = 0; i < 256; ++i)
            order[size_t(i)] = static_cast<uint8_t>(i);
        for (int i = 255; i > 0; --i)
            std::swap(order[size_t(i)], order[size_t(random.next() % (i + 1))]);
        for (auto& g : gradients) {
            const double angle = double(random.next() % 65536) * (2 * 3.14159265358979323846 / 65536);
            g = {std::cos(angle), std::sin(angle)};
        }
    }

    // Where a sample falls in the lattice: its cell's corners (wrapped to the period
    // and to the tables) and its place inside the cell, plain and faded.
    struct Place {
        uint8_t x0, x1, y0, y1;
        double tx, ty, sx, sy;
    };
    static Place place(double x, double y, int64_t periodX, int64_t periodY)
    {
        // A cell size too small to divide by samples at the origin.
        if (!std::isfinite(x))
            x = 0;
        if (!std::isfinite(y))
            y = 0;
        const double fx = std::floor(x), fy = std::floor(y);
        // Far-off samples keep their place in the cell; the cell index only picks table
        // entries, so it may wrap.
        const int64_t x0 = static_cast<int64_t>(std::fmod(fx, 1e15)), y0 = static_cast<int64_t>(std::fmod(fy, 1e15));
        auto wrap = [](int64_t v, int64_t period) { return period > 0 ? ((v % period) + period) % period : v; };
        auto fade = [](double t) { return t * t * (3 - 2 * t); };
        Place p;
        p.x0 = static_cast<uint8_t>(wrap(x0, periodX) & 255);
        p.x1 = static_cast<uint8_t>(wrap(x0 + 1, periodX) & 255);
        p.y0 = static_cast<uint8_t>(wrap(y0, periodY) & 255);
        p.y1 = static_cast<uint8_t>(wrap(y0 + 1, periodY) & 255);
        p.tx = x - fx;
        p.ty = y - fy;
        p.sx = fade(p.tx);
        p.sy = fade(p.ty);
        return p;
    }

    // Noise at a place, about -1..1, 0 on every lattice point.
    double at(const Place& p) const
    {
        auto corner = [&](uint8_t cx, uint8_t cy, double dx, double dy) {
            const auto& g = gradients[order[uint8_t(order[cx] + cy)]];
            return g.first * dx + g.second * dy;
        };
        auto mix = [](double a, double b, double t) { return a + (b - a) * t; };
        const double top = mix(corner(p.x0, p.y0, p.tx, p.ty), corner(p.x1, p.y0, p.tx - 1, p.ty), p.sx);
        const double bottom = mix(corner(p.x0, p.y1, p.tx, p.ty - 1), corner(p.x1, p.y1, p.tx - 1, p.ty - 1), p.sx);
        // A 2D gradient noise reaches at most sqrt(1/2); scale it to about -1..1.
        return mix(top, bottom, p.sy) * 1.41421356237;
    }
};

} // namespace

void BitmapPixels::perlinNoise(const PerlinOptions& o)
{
    const bool usable = std::isfinite(o.baseX) && std::isfinite(o.baseY) && o.baseX != 0 && o.baseY != 0 &&
                        o.octaves > 0;
    if (!usable) {
        // No frequency to sample at: every channel is 0.
        std::fill(pixels_.begin(), pixels_.end(), transparent_ ? 0u : 0xFF000000u);
        return;
    }
    // Octaves whose cells have shrunk below a quarter of a pixel each way add nothing
    // visible (each counts half the one before), so they are left out: the work stays
    // bounded however many a script asks for.
    int octaves = 1;
    for (double cell = std::max(std::fabs(o.baseX), std::fabs(o.baseY)); octaves < std::min(o.octaves, 32) && cell >= 0.5;
         cell /= 2)
        ++octaves;
    MinimalStandard random(o.seed);
    std::vector<NoiseLattice> lattices;
    for (int i = 0; i < 4; ++i)
        lattices.emplace_back(random);
    const bool alpha = transparent_ && (o.channels & 8);
    // The lattices whose noise shows: grey reads red's for all three colours.
    const int needed = (o.grey ? 1 : (o.channels & 7)) | (alpha ? 8 : 0);
    // A bound on the work a call may ask for: about 67 million lattice lookups, the
    // finest octaves given up first on the largest bitmaps.
    const uint64_t lookupsPerOctave =
        uint64_t(std::max(width_, 1)) * uint64_t(std::max(height_, 1)) * uint64_t(std::max(std::popcount(unsigned(needed)), 1));
    octaves = static_cast<int>(std::clamp<uint64_t>((uint64_t{1} << 26) / lookupsPerOctave, 1, uint64_t(octaves)));
    // Each octave's scale, offset, period and weight, worked out once.
    struct Octave {
        double scaleX, scaleY, offsetX, offsetY, weight;
        int64_t periodX, periodY;
    };
    std::vector<Octave> plan;
    double frequency = 1, weight = 1;
    for (int octave = 0; octave < octaves; ++octave) {
        const auto offset = size_t(octave) < o.offsets.size() ? o.offsets[size_t(octave)] : std::pair{0.0, 0.0};
        Octave step{frequency / o.baseX, frequency / o.baseY, offset.first, offset.second, weight, 0, 0};
        if (o.stitch) {
            step.periodX = std::max<int64_t>(1, std::llround(std::min(1e9, std::fabs(width_ * step.scaleX))));
            step.periodY = std::max<int64_t>(1, std::llround(std::min(1e9, std::fabs(height_ * step.scaleY))));
        }
        plan.push_back(step);
        frequency *= 2;
        weight *= 0.5;
    }
    // Red, green, blue and alpha each read their own lattice; grey reads red's.
    std::array<double, 4> sums{};
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            sums.fill(0.0);
            for (const Octave& step : plan) {
                const NoiseLattice::Place at = NoiseLattice::place((x + step.offsetX) * step.scaleX,
                                                                   (y + step.offsetY) * step.scaleY, step.periodX,
                                                                   step.periodY);
                for (int ch = 0; ch < 4; ++ch) {
                    if (!(needed & (1 << ch)))
                        continue;
                    const double n = lattices[size_t(ch)].at(at);
                    sums[size_t(ch)] += (o.fractal ? n : std::fabs(n)) * step.weight;
                }
            }
            auto level = [&](int ch) -> uint32_t {
                const double v = o.fractal ? (sums[size_t(ch)] + 1) * 127.5 : sums[size_t(ch)] * 255;
                return clampByte(std::floor(v));
            };
            uint32_t out = 0;
            if (o.grey) {
                const uint32_t v = level(0);
                out = v << 16 | v << 8 | v;
            } else {
                for (int ch = 0; ch < 3; ++ch) {
                    if (o.channels & (1 << ch))
                        out = withChannel(out, ch, level(ch));
                }
            }
            out = withChannel(out, 3, alpha ? level(3) : 255);
            setRaw(x, y, transparent_ ? premultiplyNoise(out) : (out | 0xFF000000u));
        }
    }
}

} // namespace swf::avm1
