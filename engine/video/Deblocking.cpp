#include "engine/video/Deblocking.h"

#include "engine/format/Error.h"
#include "engine/format/Reader.h"

#include <algorithm>
#include <cstdlib>

namespace swf::video {

namespace {

// How far an edge step may be evened out, by quantizer: coarser pictures have larger
// steps at their block edges that are artefacts rather than picture.
constexpr int kStrength[32] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 7,
                               7, 7, 8, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12};

uint8_t clampLevel(int value)
{
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// A step up to the strength is taken out whole; a larger one less and less, and one of
// twice the strength or more is left: it is an edge of the picture itself.
int ramp(int step, int strength)
{
    const int size = std::abs(step);
    const int kept = std::max(0, size - std::max(0, 2 * (size - strength)));
    return step < 0 ? -kept : kept;
}

// The four samples a, b | c, d across one edge, `step` bytes apart.
void filterAcross(uint8_t* b, ptrdiff_t step, int strength)
{
    uint8_t* a = b - step;
    uint8_t* c = b + step;
    uint8_t* d = c + step;
    // The divisions round down (arithmetic shifts), negative steps included: the
    // reference player's pictures differ by a level where rounding toward zero is used.
    const int d0 = (*a - 4 * *b + 4 * *c - *d) >> 3;
    if (d0 == 0)
        return;
    const int d1 = ramp(d0, strength);
    const int limit = std::abs(d1 >> 1);
    const int d2 = std::clamp((*a - *d) >> 2, -limit, limit);
    *b = clampLevel(*b + d1);
    *c = clampLevel(*c - d1);
    *a = clampLevel(*a - d2);
    *d = clampLevel(*d + d2);
}

} // namespace

std::optional<H263Smoothing> readH263Smoothing(std::span<const uint8_t> picture)
{
    ByteReader bytes(picture);
    BitReader bits(bytes);
    try {
        if (bits.ub(17) != 1)
            return std::nullopt;
        bits.ub(5);  // version
        bits.ub(8);  // temporal reference
        const uint32_t size = bits.ub(3);
        if (size == 0)
            bits.ub(16);
        else if (size == 1)
            bits.ub(32);
        bits.ub(2);  // picture type
        H263Smoothing smoothing;
        smoothing.requested = bits.ub(1) != 0;
        smoothing.quantizer = static_cast<int>(bits.ub(5));
        return smoothing;
    } catch (const FormatError&) {
        return std::nullopt;
    }
}

void deblockPlane(Plane plane, int quantizer)
{
    if (!plane.samples || quantizer <= 0 || plane.width < 8 || plane.height < 8)
        return;
    const int strength = kStrength[std::min(quantizer, 31)];
    const ptrdiff_t stride = plane.stride;
    // Across horizontal edges: rows 8, 16, ... against the rows above them.
    for (int y = 8; y + 1 < plane.height; y += 8) {
        uint8_t* row = plane.samples + stride * (y - 1);
        for (int x = 0; x < plane.width; ++x)
            filterAcross(row + x, stride, strength);
    }
    // Across vertical edges: columns 8, 16, ... against the columns to their left.
    for (int y = 0; y < plane.height; ++y) {
        uint8_t* row = plane.samples + stride * y;
        for (int x = 8; x + 1 < plane.width; x += 8)
            filterAcross(row + x - 1, 1, strength);
    }
}

} // namespace swf::video
