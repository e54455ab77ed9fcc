#pragma once

// The blur every filter but the colour ones is built on: a box blur run once per pass
// (the filter's quality), across and then down, as the reference player blurs, rather
// than a Gaussian. Several passes of a box approach a Gaussian's look.

#include <cstdint>
#include <span>

namespace swf::render {

// One pass's box for a blur size in pixels: the pixels within `radius` of the centre
// count in full, the two just beyond count `edgeWeight`/256 (a size between two odd
// whole widths). A size of 1 or less leaves the image alone.
struct BoxKernel {
    int radius = 0;
    int edgeWeight = 0;  // 0..255
    bool identity() const { return radius == 0 && edgeWeight == 0; }
    // How far one pass spreads a pixel.
    int reach() const { return radius + (edgeWeight > 0 ? 1 : 0); }
};

BoxKernel boxKernelFor(double size);

// A movie's blur size in pixels on a stage drawn `scale` times its own size. A size of
// 1 or less blurs nothing at any scale.
double deviceBlurSize(double size, double scale);

// How far `passes` passes of a blur of `size` spread a pixel, in whole pixels.
int blurReach(double size, int passes);

// Blurs interleaved 8-bit channels in place: `channels` values a pixel (1 for an alpha
// plane, 4 for ARGB; other counts are left alone), rows `stride` bytes apart. Outside the image counts as zero, so
// an object's edge fades out into the room left round it.
void boxBlur(std::span<uint8_t> pixels, int width, int height, int stride, int channels, double sizeX, double sizeY,
             int passes);

} // namespace swf::render
