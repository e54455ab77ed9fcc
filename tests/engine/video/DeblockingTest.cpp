// The block-edge smoothing of Sorenson H.263 pictures: reading the picture header's
// request, and the filter's result on edges whose smoothed values the reference
// player's pictures show.

#include "engine/video/Deblocking.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using swf::video::deblockPlane;
using swf::video::Plane;
using swf::video::readH263Smoothing;

namespace {

// Writes a Sorenson H.263 picture header: start code, version 0, temporal reference 0,
// the size code (0: 8-bit width and height follow, 1: 16-bit, else none), an intra
// picture, the deblocking bit and the quantizer; then a byte of padding.
std::vector<uint8_t> h263Header(int sizeCode, bool deblocking, int quantizer)
{
    std::vector<bool> bits;
    auto put = [&](uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            bits.push_back(((value >> i) & 1) != 0);
    };
    put(1, 17);
    put(0, 5);
    put(0, 8);
    put(static_cast<uint32_t>(sizeCode), 3);
    if (sizeCode == 0)
        put(0x1010, 16);
    else if (sizeCode == 1)
        put(0x00100010, 32);
    put(0, 2);
    put(deblocking ? 1 : 0, 1);
    put(static_cast<uint32_t>(quantizer), 5);
    put(0, 8);
    std::vector<uint8_t> bytes((bits.size() + 7) / 8);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            bytes[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    return bytes;
}

TEST(H263Smoothing, TheHeaderSaysWhetherAndHowStrongly)
{
    struct Case {
        int sizeCode;
        bool deblocking;
        int quantizer;
    };
    for (const Case c : {Case{0, true, 22}, Case{1, true, 31}, Case{2, false, 5}, Case{6, true, 1}, Case{0, false, 31}}) {
        const auto header = readH263Smoothing(h263Header(c.sizeCode, c.deblocking, c.quantizer));
        ASSERT_TRUE(header.has_value()) << "size code " << c.sizeCode;
        EXPECT_EQ(header->requested, c.deblocking) << "size code " << c.sizeCode;
        EXPECT_EQ(header->quantizer, c.quantizer) << "size code " << c.sizeCode;
    }
    std::vector<uint8_t> wrongStart = h263Header(0, true, 9);
    wrongStart[2] = 0;
    EXPECT_FALSE(readH263Smoothing(wrongStart).has_value());
    const std::vector<uint8_t> whole = h263Header(1, true, 9);
    EXPECT_FALSE(readH263Smoothing(std::span(whole).first(8)).has_value()) << "cut before the quantizer";
    EXPECT_FALSE(readH263Smoothing({}).has_value());
}

// The four samples across an edge before and after smoothing at a quantizer. The first
// rows are edges of the reference player's pictures, which round every division down.
struct EdgeCase {
    int quantizer;
    std::array<int, 4> before;
    std::array<int, 4> after;
};

const EdgeCase kEdges[] = {
    {22, {45, 45, 16, 16}, {41, 38, 23, 20}},
    {22, {89, 89, 45, 45}, {88, 88, 46, 46}},
    {22, {74, 74, 45, 45}, {70, 67, 52, 49}},
    {22, {16, 16, 45, 45}, {20, 24, 37, 41}},  // the same step upward rounds the other way
    {2, {200, 200, 10, 10}, {200, 200, 10, 10}},  // a real edge, far above the strength
    {11, {80, 80, 80, 80}, {80, 80, 80, 80}},      // nothing to smooth
    {31, {0, 3, 255, 255}, {0, 3, 255, 255}},      // beyond twice the strength: left alone
    {0, {45, 45, 16, 16}, {45, 45, 16, 16}},       // no quantizer, no smoothing
};

// A 16 x 16 plane whose rows (or columns, `rows` false) read o o o o o o a b | c d p p p
// p p p: one edge in the middle, the same along its whole length, with the samples
// beyond a and d (`outer`) which the filter reads nothing of.
std::vector<uint8_t> planeWith(const std::array<int, 4>& outer, const std::array<int, 4>& v, bool rows)
{
    std::vector<uint8_t> samples(16 * 16);
    for (int i = 0; i < 16; ++i) {
        const int value = i < 6 ? outer[0] : i > 9 ? outer[3] : v[static_cast<size_t>(i - 6)];
        for (int j = 0; j < 16; ++j)
            samples[rows ? i * 16 + j : j * 16 + i] = static_cast<uint8_t>(value);
    }
    return samples;
}

TEST(H263Smoothing, EdgesAreSmoothedAsTheReferencePlayerShowsThem)
{
    for (const bool horizontalEdge : {true, false}) {
        for (const EdgeCase& c : kEdges) {
            std::vector<uint8_t> samples = planeWith(c.before, c.before, horizontalEdge);
            deblockPlane(Plane{samples.data(), 16, 16, 16}, c.quantizer);
            const std::vector<uint8_t> expected = planeWith(c.before, c.after, horizontalEdge);
            EXPECT_EQ(samples, expected) << (horizontalEdge ? "across rows" : "across columns") << ", quantizer "
                                         << c.quantizer << ", first sample " << c.before[0];
        }
    }
}

TEST(H263Smoothing, PictureBordersAndSmallPlanesAreLeftAlone)
{
    // A step at every sample: only the samples beside block edges may change, and a
    // plane narrower than a block has no edge at all.
    std::vector<uint8_t> stripes(12 * 12);
    for (size_t i = 0; i < stripes.size(); ++i)
        stripes[i] = static_cast<uint8_t>((i % 12) * 20);
    std::vector<uint8_t> smoothed = stripes;
    deblockPlane(Plane{smoothed.data(), 12, 12, 12}, 31);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            if (x < 6 || x > 9) {
                EXPECT_EQ(smoothed[y * 12 + x], stripes[y * 12 + x]) << x << "," << y;
            }
        }
    }
    EXPECT_NE(smoothed, stripes) << "the edge between the two blocks is smoothed";
    std::vector<uint8_t> small(7 * 7, 9);
    small[3] = 200;
    const std::vector<uint8_t> before = small;
    deblockPlane(Plane{small.data(), 7, 7, 7}, 31);
    EXPECT_EQ(small, before);
}

} // namespace
