#include "engine/avm1/BitmapPixels.h"

#include <algorithm>
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
    if (right < 0)
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

} // namespace swf::avm1
