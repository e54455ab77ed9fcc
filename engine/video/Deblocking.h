#pragma once

// The block-edge smoothing Sorenson H.263 pictures ask for with their deblocking bit.
// libavcodec decodes such pictures without it (the bit is read and dropped), while the
// reference player smooths every 8 x 8 block edge with the filter of H.263's deblocking
// annex, its strength following the picture's quantizer. It is applied to the picture
// shown, not to the one later pictures are predicted from.

#include <cstdint>
#include <optional>
#include <span>

namespace swf::video {

// What a Sorenson H.263 picture header says of smoothing: its deblocking bit and its
// quantizer (1 to 31). Nothing when the header is too short or damaged to read.
struct H263Smoothing {
    bool requested = false;
    int quantizer = 0;
};
std::optional<H263Smoothing> readH263Smoothing(std::span<const uint8_t> picture);

// One 8-bit plane of `width` x `height` samples, rows `stride` bytes apart.
struct Plane {
    uint8_t* samples = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// Smooths the edges between the plane's 8 x 8 blocks in place: first across the
// horizontal edges, then across the vertical ones. Picture borders are left alone.
void deblockPlane(Plane plane, int quantizer);

} // namespace swf::video
