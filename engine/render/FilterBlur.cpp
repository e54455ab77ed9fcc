// The blur's inner loops are the hottest code a filtered frame runs; GCC vectorises
// them only at its higher optimisation level.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("O3")
#endif

#include "engine/render/FilterBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace swf::render {

namespace {

// The largest blur the reference player runs: sizes are kept to 0..255 pixels.
constexpr double kMaxBlurSize = 255.0;
constexpr int kMaxPasses = 15;

// Exact division by a fixed divisor through one multiply and shift, much cheaper than
// a divide per value. Numerators stay below 2^25 (255 times the largest divisor,
// 256 * 255 + 510), which keeps the multiplier within 32 bits.
class Divider {
public:
    explicit Divider(uint32_t d)
    {
        int l = 0;
        while ((uint64_t{1} << l) < d)
            ++l;
        shift_ = kNumeratorBits + l;
        multiplier_ = static_cast<uint32_t>(((uint64_t{1} << shift_) + d - 1) / d);
    }
    uint32_t operator()(uint32_t v) const { return static_cast<uint32_t>((uint64_t{v} * multiplier_) >> shift_); }

private:
    static constexpr int kNumeratorBits = 25;
    uint32_t multiplier_ = 1;
    int shift_ = 0;
};

uint32_t divisorOf(const BoxKernel& box)
{
    return 256u * uint32_t(2 * box.radius + 1) + 2u * uint32_t(box.edgeWeight);
}

// Copies a `width` x `height` grid of T (rows `fromStride` bytes apart) to `to` turned
// on its side: element (x, y) lands at (y, x), rows `toStride` bytes apart. Worked in
// small tiles so both sides stay in cache.
template <class T>
void transpose(const uint8_t* from, size_t fromStride, int width, int height, uint8_t* to, size_t toStride)
{
    constexpr int kTile = 32;
    for (int y0 = 0; y0 < height; y0 += kTile) {
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int y1 = std::min(height, y0 + kTile), x1 = std::min(width, x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    T v;
                    std::memcpy(&v, from + size_t(y) * fromStride + size_t(x) * sizeof(T), sizeof(T));
                    std::memcpy(to + size_t(x) * toStride + size_t(y) * sizeof(T), &v, sizeof(T));
                }
            }
        }
    }
}

// One pass down every column, all columns at once a row at a time, so memory is read
// in order. Values are truncated, as the reference player's blur is: a blurred edge
// ends a shade lighter than rounding would leave it.
void blurColumns(std::span<uint8_t> pixels, int width, int height, int stride, int channels, const BoxKernel& box,
                 std::vector<uint8_t>& copy, std::vector<uint32_t>& window)
{
    const int r = box.radius;
    const int pad = r + 2;
    const uint32_t edge = uint32_t(box.edgeWeight);
    const Divider divide(divisorOf(box));
    const size_t rowValues = size_t(width) * size_t(channels);
    copy.assign((size_t(height) + 2 * size_t(pad)) * rowValues, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels.data() + size_t(y) * size_t(stride);
        std::copy(row, row + rowValues, copy.begin() + ptrdiff_t((size_t(y) + size_t(pad)) * rowValues));
    }
    auto rowAt = [&](int y) { return copy.data() + (size_t(y + pad)) * rowValues; };
    window.assign(rowValues, 0);
    for (int j = -r; j <= r; ++j) {
        const uint8_t* src = rowAt(j);
        for (size_t i = 0; i < rowValues; ++i)
            window[i] += src[i];
    }
    uint32_t* __restrict__ sums = window.data();
    for (int y = 0; y < height; ++y) {
        uint8_t* __restrict__ out = pixels.data() + size_t(y) * size_t(stride);
        const uint8_t* __restrict__ before = rowAt(y - r - 1);
        const uint8_t* __restrict__ after = rowAt(y + r + 1);
        const uint8_t* __restrict__ leaving = rowAt(y - r);
        for (size_t i = 0; i < rowValues; ++i) {
            out[i] = static_cast<uint8_t>(divide(sums[i] * 256u + edge * (uint32_t(before[i]) + after[i])));
            sums[i] += uint32_t(after[i]) - leaving[i];
        }
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
    if (width <= 0 || height <= 0 || (channels != 1 && channels != 4) || stride < width * channels
        || pixels.size() < size_t(stride) * size_t(height - 1) + size_t(width) * size_t(channels))
        return;
    // The reference player runs at most 15 passes.
    passes = std::min(passes, kMaxPasses);
    const BoxKernel across = boxKernelFor(sizeX);
    const BoxKernel down = boxKernelFor(sizeY);
    std::vector<uint32_t> window;
    std::vector<uint8_t> copy;
    if (!across.identity() && passes > 0) {
        // Across is down on the image turned on its side: the column pass reads memory
        // in order and vectorises, which the sliding window along a row cannot.
        std::vector<uint8_t> turned(size_t(width) * size_t(height) * size_t(channels));
        if (channels == 4)
            transpose<uint32_t>(pixels.data(), size_t(stride), width, height, turned.data(), size_t(height) * 4);
        else
            transpose<uint8_t>(pixels.data(), size_t(stride), width, height, turned.data(), size_t(height));
        for (int pass = 0; pass < passes; ++pass)
            blurColumns(turned, height, width, height * channels, channels, across, copy, window);
        if (channels == 4)
            transpose<uint32_t>(turned.data(), size_t(height) * 4, height, width, pixels.data(), size_t(stride));
        else
            transpose<uint8_t>(turned.data(), size_t(height), height, width, pixels.data(), size_t(stride));
    }
    if (!down.identity()) {
        for (int pass = 0; pass < passes; ++pass)
            blurColumns(pixels, width, height, stride, channels, down, copy, window);
    }
}

} // namespace swf::render
