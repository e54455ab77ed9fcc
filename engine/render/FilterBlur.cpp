// The blur's inner loops are the hottest code a filtered frame runs; GCC vectorises
// them only at its higher optimisation level.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("O3")
#endif

#include "engine/render/FilterBlur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Where the CPU has AVX2, the column pass runs a copy built for it (twice the lanes);
// elsewhere the baseline build.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define SWF_BLUR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define SWF_BLUR_CLONES
#endif

// The column pass's hot loop, written out for AVX2 where the CPU has it (chosen when the
// program runs): sixteen values a step, window sums in 16-bit lanes.
#if defined(__GNUC__) && defined(__x86_64__)
#define SWF_BLUR_AVX2 1
#include <immintrin.h>
#else
#define SWF_BLUR_AVX2 0
#endif

namespace swf::render {

namespace {

// The largest blur the reference player runs: sizes are kept to 0..255 pixels.
constexpr double kMaxBlurSize = 255.0;
constexpr int kMaxPasses = 15;

// Exact division by a fixed divisor without a divide per value. Numerators stay below
// 2^24 (255 times the largest divisor, 256 * 255 + 510): in doubles, (n + 1/2) / d lies
// at least 1/(2d) inside the whole number below it, far more than the product's
// rounding can move it, so the truncated product is the quotient. Vectorises.
struct Divider {
    explicit Divider(uint32_t d) : inverse(1.0 / double(d)) {}
    int32_t operator()(int32_t n) const { return int32_t((double(n) + 0.5) * inverse); }
    double inverse;
};

// The same division in floats, which fill twice the vector lanes, for the divisors of
// the blurs movies use. With quotients below 256 the float product n * (1/d) is within
// 2^-15 of n / d, whose fraction is 0 or at least 1/d. Adding 2^-14 lifts a whole
// quotient that came out just below itself; the sum's own rounding moves it by 2^-17
// at most. Up to kFloatDivisorLimit, 1/d exceeds 2^-15 + 2^-14 + 2^-17, so no fraction
// is pushed up to the next whole number.
constexpr uint32_t kFloatDivisorLimit = 10048;

struct FloatDivider {
    explicit FloatDivider(uint32_t d) : inverse(1.0f / float(d)) {}
    int32_t operator()(float n) const { return int32_t(n * inverse + kLift); }
    static constexpr float kLift = 1.0f / 16384.0f;
    float inverse;
};

#if SWF_BLUR_AVX2
bool cpuHasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return has;
}

// Sixteen bytes widened to 16-bit lanes.
__attribute__((target("avx2,fma"), always_inline)) inline __m256i widenBytes(const uint8_t* at)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

// (sum * 256 + edge * outer) / divisor, truncated, for eight 32-bit lanes.
__attribute__((target("avx2,fma"), always_inline)) inline __m256i quotients(__m256i sum, __m256i outer, __m256 edges,
                                                                           __m256 inverses)
{
    const __m256 n = _mm256_fmadd_ps(_mm256_cvtepi32_ps(outer), edges,
                                     _mm256_mul_ps(_mm256_cvtepi32_ps(sum), _mm256_set1_ps(256.0f)));
    return _mm256_cvttps_epi32(_mm256_fmadd_ps(n, inverses, _mm256_set1_ps(FloatDivider::kLift)));
}

// ColumnPass's emitFloat for the first multiple of sixteen of `count` values; returns
// how many it did. Each 16-bit sum and edge pair is widened to 32-bit lanes, made a
// float numerator (exact: below 2^24) and divided as FloatDivider divides. The
// unpacks and packs both work within 128-bit halves, so packing undoes the unpacking's
// reordering.
__attribute__((target("avx2,fma"))) size_t emitFloatAvx2(uint8_t* out, const uint8_t* before, const uint8_t* after,
                                                        const uint8_t* leaving, uint16_t* sums, size_t count,
                                                        float edge, float inverse)
{
    const __m256 edges = _mm256_set1_ps(edge), inverses = _mm256_set1_ps(inverse);
    const __m256i zero = _mm256_setzero_si256();
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m256i entering = widenBytes(after + k);
        const __m256i outer = _mm256_add_epi16(widenBytes(before + k), entering);
        __m256i* sumsAt = reinterpret_cast<__m256i*>(sums + k);
        const __m256i sum = _mm256_loadu_si256(sumsAt);
        const __m256i low = quotients(_mm256_unpacklo_epi16(sum, zero), _mm256_unpacklo_epi16(outer, zero), edges, inverses);
        const __m256i high = quotients(_mm256_unpackhi_epi16(sum, zero), _mm256_unpackhi_epi16(outer, zero), edges, inverses);
        const __m256i words = _mm256_packus_epi32(low, high);
        const __m128i packed = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), packed);
        _mm256_storeu_si256(sumsAt, _mm256_sub_epi16(_mm256_add_epi16(sum, entering), widenBytes(leaving + k)));
    }
    return k;
}
#endif

uint32_t divisorOf(const BoxKernel& box)
{
    return 256u * uint32_t(2 * box.radius + 1) + 2u * uint32_t(box.edgeWeight);
}

#if defined(__SSE2__)
// Turns the 4 x 4 block of pixels at `from` onto its side at `to`, in four loads, eight
// shuffles and four stores instead of sixteen scattered copies.
inline void transposeBlock4(const uint8_t* from, size_t fromStride, uint8_t* to, size_t toStride)
{
    auto load = [&](int row) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + size_t(row) * fromStride)); };
    const __m128i r0 = load(0), r1 = load(1), r2 = load(2), r3 = load(3);
    const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
    const __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
    auto store = [&](int row, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(to + size_t(row) * toStride), v); };
    store(0, _mm_unpacklo_epi64(t0, t1));
    store(1, _mm_unpackhi_epi64(t0, t1));
    store(2, _mm_unpacklo_epi64(t2, t3));
    store(3, _mm_unpackhi_epi64(t2, t3));
}
#endif

#if SWF_BLUR_AVX2
// The same for a block of 8 x 8 pixels, in AVX2's halves: pairs of rows interleaved,
// then pairs of pairs, then the halves of rows four apart swapped.
__attribute__((target("avx2"))) void transposeBlock8(const uint8_t* from, size_t fromStride, uint8_t* to,
                                                     size_t toStride)
{
    __m256i r[8], t[8], u[8];
    for (int i = 0; i < 8; ++i)
        r[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + size_t(i) * fromStride));
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    // u[c] holds columns c (left half) and c + 4 (right half) of rows 0-3; u[c + 4]
    // the same of rows 4-7.
    for (int c = 0; c < 4; ++c) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + size_t(c) * toStride),
                            _mm256_permute2x128_si256(u[c], u[c + 4], 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + size_t(c + 4) * toStride),
                            _mm256_permute2x128_si256(u[c], u[c + 4], 0x31));
    }
}
#endif

// Copies a `width` x `height` grid of T (rows `fromStride` bytes apart) to `to` turned
// on its side: element (x, y) lands at (y, x), rows `toStride` bytes apart. Worked in
// small tiles so both sides stay in cache.
template <class T>
void transpose(const uint8_t* from, size_t fromStride, int width, int height, uint8_t* to, size_t toStride)
{
    constexpr int kTile = 32;
    auto copyOne = [&](int x, int y) {
        T v;
        std::memcpy(&v, from + size_t(y) * fromStride + size_t(x) * sizeof(T), sizeof(T));
        std::memcpy(to + size_t(x) * toStride + size_t(y) * sizeof(T), &v, sizeof(T));
    };
    for (int y0 = 0; y0 < height; y0 += kTile) {
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int y1 = std::min(height, y0 + kTile), x1 = std::min(width, x0 + kTile);
            int yBlocks = y0;
#if defined(__SSE2__)
            if constexpr (sizeof(T) == 4) {
#if SWF_BLUR_AVX2
                if (cpuHasAvx2()) {
                    for (; yBlocks + 8 <= y1; yBlocks += 8) {
                        int x = x0;
                        for (; x + 8 <= x1; x += 8)
                            transposeBlock8(from + size_t(yBlocks) * fromStride + size_t(x) * 4, fromStride,
                                            to + size_t(x) * toStride + size_t(yBlocks) * 4, toStride);
                        for (; x < x1; ++x)
                            for (int y = yBlocks; y < yBlocks + 8; ++y)
                                copyOne(x, y);
                    }
                }
#endif
                // Whole blocks of four pixels by four, then the rows left below them.
                for (; yBlocks + 4 <= y1; yBlocks += 4) {
                    int x = x0;
                    for (; x + 4 <= x1; x += 4)
                        transposeBlock4(from + size_t(yBlocks) * fromStride + size_t(x) * 4, fromStride,
                                        to + size_t(x) * toStride + size_t(yBlocks) * 4, toStride);
                    for (; x < x1; ++x)
                        for (int y = yBlocks; y < yBlocks + 4; ++y)
                            copyOne(x, y);
                }
            }
#endif
            // Written in order, read across rows: scattered reads cost less than
            // scattered writes.
            for (int x = x0; x < x1; ++x)
                for (int y = yBlocks; y < y1; ++y)
                    copyOne(x, y);
        }
    }
}

// One pass of the box down every column, fed the rows of its input in order and
// handing each row of its output on as soon as the rows below it have come in. All
// columns go at once, a row at a time, so memory is read in order and the loop
// vectorises. Chained, the passes of a blur run together over one sweep of the image,
// each keeping only a ring of the rows its window still needs, which stays in cache.
// Values are truncated, as the reference player's blur is: a blurred edge ends a shade
// lighter than rounding would leave it.
class ColumnPass {
public:
    void reset(size_t rowValues, int height, const BoxKernel& box)
    {
        rowValues_ = rowValues;
        height_ = height;
        radius_ = box.radius;
        edge_ = box.edgeWeight;
        divide_ = Divider(divisorOf(box));
        divideFloat_ = FloatDivider(divisorOf(box));
        inFloats_ = divisorOf(box) <= kFloatDivisorLimit;
        ringRows_ = 2 * size_t(radius_) + 3;  // rows from the window's leading edge back past its trailing one
        if (ring_.size() < ringRows_ * rowValues)
            ring_.resize(ringRows_ * rowValues);
        if (zeros_.size() < rowValues)
            zeros_.assign(rowValues, 0);
        sums_.assign(rowValues, 0);
        rows_ = nullptr;
    }

    // Where input row `i` (below the height) is to be written before accept(i).
    uint8_t* slot(int i) { return ring_.data() + size_t(i) % ringRows_ * rowValues_; }

    // Reads the input rows where they lie, `stride` bytes apart from `rows`, instead of
    // from copies in slots.
    void readFrom(const uint8_t* rows, size_t stride)
    {
        rows_ = rows;
        rowStride_ = stride;
    }

    // Takes input row `i`: rows 0 to height - 1 from slot(i), then rows height to
    // height + radius as the empty outside. Returns the output row that became ready
    // (written to `out(y)`), or -1.
    template <class Out>
    int accept(int i, Out&& out)
    {
        const uint8_t* row = i < height_ ? input(i) : zeros_.data();
        if (i <= radius_) {
            addRow(row);
            return -1;
        }
        const int y = i - radius_ - 1;
        const uint8_t* before = y - radius_ - 1 >= 0 ? input(y - radius_ - 1) : zeros_.data();
        const uint8_t* leaving = y - radius_ >= 0 ? input(y - radius_) : zeros_.data();
        emit(out(y), before, row, leaving);
        return y;
    }

    int radius() const { return radius_; }

private:
    const uint8_t* input(int i) { return rows_ ? rows_ + size_t(i) * rowStride_ : slot(i); }

    SWF_BLUR_CLONES
    void addRow(const uint8_t* __restrict__ row)
    {
        uint16_t* __restrict__ sums = sums_.data();
        for (size_t k = 0; k < rowValues_; ++k)
            sums[k] = uint16_t(sums[k] + row[k]);
    }

    void emit(uint8_t* out, const uint8_t* before, const uint8_t* after, const uint8_t* leaving)
    {
        if (inFloats_)
            emitFloat(out, before, after, leaving);
        else
            emitExact(out, before, after, leaving);
    }

    // The window sums are whole numbers below 2^17, exact in floats.
    SWF_BLUR_CLONES
    void emitFloat(uint8_t* __restrict__ out, const uint8_t* __restrict__ before, const uint8_t* __restrict__ after,
                   const uint8_t* __restrict__ leaving)
    {
        uint16_t* __restrict__ sums = sums_.data();
        const float edge = float(edge_);
        const FloatDivider divide = divideFloat_;
        size_t k = 0;
#if SWF_BLUR_AVX2
        if (cpuHasAvx2())
            k = emitFloatAvx2(out, before, after, leaving, sums, rowValues_, edge, divide.inverse);
#endif
        for (; k < rowValues_; ++k) {
            const float n = float(int32_t(sums[k])) * 256.0f + edge * float(int32_t(before[k]) + int32_t(after[k]));
            out[k] = static_cast<uint8_t>(divide(n));
            sums[k] = uint16_t(sums[k] + after[k] - leaving[k]);
        }
    }

    SWF_BLUR_CLONES
    void emitExact(uint8_t* __restrict__ out, const uint8_t* __restrict__ before, const uint8_t* __restrict__ after,
                   const uint8_t* __restrict__ leaving)
    {
        uint16_t* __restrict__ sums = sums_.data();
        const int32_t edge = edge_;
        const Divider divide = divide_;
        for (size_t k = 0; k < rowValues_; ++k) {
            const int32_t n = int32_t(sums[k]) * 256 + edge * (int32_t(before[k]) + int32_t(after[k]));
            out[k] = static_cast<uint8_t>(divide(n));
            sums[k] = uint16_t(sums[k] + after[k] - leaving[k]);
        }
    }

    size_t rowValues_ = 0;
    int height_ = 0;
    int radius_ = 0;
    int32_t edge_ = 0;
    Divider divide_{1};
    FloatDivider divideFloat_{1};
    bool inFloats_ = false;
    size_t ringRows_ = 1;
    std::vector<uint8_t> ring_;
    std::vector<uint8_t> zeros_;
    const uint8_t* rows_ = nullptr;
    size_t rowStride_ = 0;
    std::vector<uint16_t> sums_;  // at most 255 times the window's width, below 2^16
};

// Scratch memory a blur reuses from call to call on the same thread, so blurring
// allocates nothing once a surface of the size has been blurred.
struct Scratch {
    std::array<ColumnPass, kMaxPasses> passes;
    std::vector<uint8_t> turned;  // the image on its side, for the passes across
};

Scratch& scratch()
{
    thread_local Scratch s;
    return s;
}

// Hands output row `y` of pass `p` on to the next pass, or into the image after the last.
void forward(std::span<ColumnPass> chain, size_t p, int y, uint8_t* pixels, size_t stride)
{
    if (p + 1 == chain.size())
        return;
    ColumnPass& next = chain[p + 1];
    if (next.accept(y, [&](int outY) { return p + 2 == chain.size() ? pixels + size_t(outY) * stride : chain[p + 2].slot(outY); }) >= 0)
        forward(chain, p + 1, y - next.radius() - 1, pixels, stride);
}

// `passes` passes of `box` down every column of the image, in place.
void blurColumns(uint8_t* pixels, int width, int height, size_t stride, int channels, const BoxKernel& box,
                 int passes, Scratch& work)
{
    const size_t rowValues = size_t(width) * size_t(channels);
    std::span<ColumnPass> chain(work.passes.data(), size_t(passes));
    for (ColumnPass& pass : chain)
        pass.reset(rowValues, height, box);
    // With two passes or more, the last writes each row back only after the first has
    // read it for the last time: the first pass can read the image itself.
    const bool direct = passes >= 2;
    if (direct)
        chain[0].readFrom(pixels, stride);
    auto target = [&](size_t p) {
        return [&, p](int y) { return p + 1 == chain.size() ? pixels + size_t(y) * stride : chain[p + 1].slot(y); };
    };
    // Each pass takes its input rows and then the empty rows past the bottom; the rows
    // it hands on go through the rest of the chain as they come.
    for (size_t p = 0; p < chain.size(); ++p) {
        const int last = height + chain[p].radius();
        for (int i = p == 0 ? 0 : height; i <= last; ++i) {
            if (p == 0 && i < height && !direct)
                std::memcpy(chain[0].slot(i), pixels + size_t(i) * stride, rowValues);
            const int y = chain[p].accept(i, target(p));
            if (y >= 0)
                forward(chain, p, y, pixels, stride);
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

double deviceBlurSize(double size, double scale)
{
    // The part of the box beyond its centre pixel grows with the stage; the centre
    // pixel stays one pixel. A blur of 2 on a stage drawn twice its size is a box of
    // 3 device pixels, not 4, and a blur of 1 stays no blur at all.
    if (!(size > 1.0))
        return 0.0;
    return (size - 1.0) * scale + 1.0;
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
    if (passes <= 0)
        return;
    Scratch& work = scratch();
    if (!across.identity()) {
        // Across is down on the image turned on its side: the column pass reads memory
        // in order and vectorises, which the sliding window along a row cannot.
        const size_t turnedStride = size_t(height) * size_t(channels);
        work.turned.resize(size_t(width) * turnedStride);
        uint8_t* turned = work.turned.data();
        if (channels == 4)
            transpose<uint32_t>(pixels.data(), size_t(stride), width, height, turned, turnedStride);
        else
            transpose<uint8_t>(pixels.data(), size_t(stride), width, height, turned, turnedStride);
        blurColumns(turned, height, width, turnedStride, channels, across, passes, work);
        if (channels == 4)
            transpose<uint32_t>(turned, turnedStride, height, width, pixels.data(), size_t(stride));
        else
            transpose<uint8_t>(turned, turnedStride, height, width, pixels.data(), size_t(stride));
    }
    if (!down.identity())
        blurColumns(pixels.data(), width, height, size_t(stride), channels, down, passes, work);
}

} // namespace swf::render
