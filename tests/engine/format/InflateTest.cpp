// The engine's one zlib loop: what it keeps and says when a stream ends, stops at the
// limit, is cut short or goes bad; and the rectangle mapping bounds use.

#include "engine/format/Inflate.h"
#include "engine/format/Primitives.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace swf {
namespace {

std::vector<uint8_t> pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 7 + i / 300) & 0xFF);
    return bytes;
}

std::vector<uint8_t> deflated(const std::vector<uint8_t>& plain)
{
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress(out.data(), &size, plain.data(), static_cast<uLong>(plain.size())), Z_OK);
    out.resize(size);
    return out;
}

TEST(Inflate, EndLimitCutAndCorruptionEachKeepWhatCameBefore)
{
    const std::vector<uint8_t> plain = pattern(300'000);  // past the first output block
    const std::vector<uint8_t> packed = deflated(plain);

    Inflated whole = inflateZlib(packed, 1'000'000);
    EXPECT_TRUE(whole.ended);
    EXPECT_FALSE(whole.corrupt || whole.inputLeft);
    EXPECT_EQ(whole.bytes, plain);

    Inflated limited = inflateZlib(packed, 100'000);
    EXPECT_FALSE(limited.ended);
    EXPECT_TRUE(limited.inputLeft);
    EXPECT_EQ(limited.bytes, std::vector<uint8_t>(plain.begin(), plain.begin() + 100'000));

    std::vector<uint8_t> half(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
    Inflated cut = inflateZlib(half, 1'000'000);
    EXPECT_FALSE(cut.ended || cut.corrupt || cut.inputLeft);
    ASSERT_GT(cut.bytes.size(), 0u);
    EXPECT_TRUE(std::equal(cut.bytes.begin(), cut.bytes.end(), plain.begin()));

    std::vector<uint8_t> damaged = packed;
    damaged[0] = 0x00;  // not a zlib header
    Inflated bad = inflateZlib(damaged, 1'000'000);
    EXPECT_TRUE(bad.corrupt);
    EXPECT_FALSE(bad.error.empty());
    EXPECT_TRUE(bad.bytes.empty());

    EXPECT_TRUE(inflateZlib({}, 1000).bytes.empty());
}

TEST(MatrixMapRect, CoversTheMappedCornersAndPassesNaNOn)
{
    const Rect r{0, 200, 0, 100};
    Box moved = Matrix{1, 0, 0, 1, 10, -20}.mapRect(r);
    EXPECT_EQ(moved.xMin, 10);
    EXPECT_EQ(moved.xMax, 210);
    EXPECT_EQ(moved.yMin, -20);
    EXPECT_EQ(moved.yMax, 80);
    Box turned = Matrix{0, 1, -1, 0, 0, 0}.mapRect(r);  // a quarter turn
    EXPECT_EQ(turned.xMin, -100);
    EXPECT_EQ(turned.xMax, 0);
    EXPECT_EQ(turned.yMin, 0);
    EXPECT_EQ(turned.yMax, 200);
    Box flipped = Matrix{-2, 0, 0, 1, 0, 0}.mapRect(r);
    EXPECT_EQ(flipped.xMin, -400);
    EXPECT_EQ(flipped.xMax, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(Matrix{nan, 0, 0, 1, 0, 0}.mapRect(r).xMin));
}

} // namespace
} // namespace swf
