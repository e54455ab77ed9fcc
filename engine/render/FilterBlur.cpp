#include "engine/render/FilterBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf::render {

namespace {

// The largest blur the reference player runs: sizes are kept to 0..255 pixels.
constexpr double kMaxBlurSize = 255.0;

// Blurs one line of `count` values `step` bytes apart through `line` (scratch of
// `count` values).
void blurLine(uint8_t* data, int count, int step, const BoxKernel& box, std::vector<uint32_t>& line)
{
    for (int i = 0; i < count; ++i)
        line[size_t(i)] = data[size_t(i) * size_t(step)];
    const int r = box.radius;
    const uint32_t edge = uint32_t(box.edgeWeight);
    const uint32_t divisor = 256u * uint32_t(2 * r + 1) + 2u * edge;
    auto at = [&](int i) -> uint32_t { return i >= 0 && i < count ? line[size_t(i)] : 0u; };
    // The full-weight window [i - r, i + r], slid along the line.
    uint32_t window = 0;
    for (int j = -r; j <= r; ++j)
        window += at(j);
    for (int i = 0; i < count; ++i) {
        const uint32_t sum = window * 256u + edge * (at(i - r - 1) + at(i + r + 1));
        // Truncated, as the reference player's blur is: a blurred edge ends a shade
        // lighter than rounding would leave it.
        data[size_t(i) * size_t(step)] = static_cast<uint8_t>(sum / divisor);
        window += at(i + r + 1);
        window -= at(i - r);
    }
}

} // namespace

BoxKernel boxKernelFor(double size)
{
    if (!std::isfinite(size) || size <= 1.0)
        return {};
    size = std::min(size, kMaxBlurSize);
    // A box `size` pixels wide centred on the pixel: whole pixels in the middle, the
    // part of a pixel that is left over split between the two ends.
    const double half = (size - 1.0) / 2.0;
    BoxKernel box;
    box.radius = static_cast<int>(std::floor(half));
    box.edgeWeight = static_cast<int>(std::lround((half - box.radius) * 256.0));
    if (box.edgeWeight >= 256) {
        ++box.radius;
        box.edgeWeight = 0;
    }
    return box;
}

int blurReach(double size, int passes)
{
    return boxKernelFor(size).reach() * std::max(passes, 0);
}

void boxBlur(std::span<uint8_t> pixels, int width, int height, int stride, int channels, double sizeX, double sizeY,
             int passes)
{
    if (width <= 0 || height <= 0 || channels <= 0 || stride < width * channels
        || pixels.size() < size_t(stride) * size_t(height - 1) + size_t(width) * size_t(channels))
        return;
    const BoxKernel across = boxKernelFor(sizeX);
    const BoxKernel down = boxKernelFor(sizeY);
    std::vector<uint32_t> line(size_t(std::max(width, height)));
    for (int pass = 0; pass < passes; ++pass) {
        if (!across.identity()) {
            for (int y = 0; y < height; ++y)
                for (int c = 0; c < channels; ++c)
                    blurLine(pixels.data() + size_t(y) * size_t(stride) + size_t(c), width, channels, across, line);
        }
        if (!down.identity()) {
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c)
                    blurLine(pixels.data() + size_t(x) * size_t(channels) + size_t(c), height, stride, down, line);
        }
    }
}

} // namespace swf::render
