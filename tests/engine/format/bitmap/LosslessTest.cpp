// DefineBitsLossless and DefineBitsLossless2: the three pixel formats, row padding, the
// premultiplied alpha convention and malformed bodies.

#include "engine/format/Bitmap.h"
#include "tests/engine/format/bitmap/ImageWriters.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

constexpr int kLossless = 20;
constexpr int kLossless2 = 36;

// Body after the character id: format, size, [colour count - 1], zlib(pixels).
std::vector<uint8_t> losslessBody(uint8_t format, uint16_t width, uint16_t height, std::vector<uint8_t> raw,
                                  int colorCountMinusOne = -1)
{
    std::vector<uint8_t> body{format, uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8)};
    if (colorCountMinusOne >= 0)
        body.push_back(static_cast<uint8_t>(colorCountMinusOne));
    const auto packed = test::zlibCompress(raw);
    body.insert(body.end(), packed.begin(), packed.end());
    return body;
}

std::shared_ptr<const BitmapData> decode(int tag, const std::vector<uint8_t>& body)
{
    ByteReader r(body);
    return decodeBitmapTag(tag, r, {});
}

TEST(LosslessBitmap, ColorMappedRowsArePaddedToFourBytes)
{
    // 3x2: each row is 3 indices then one pad byte; the pad must not shift the next row.
    std::vector<uint8_t> raw{
        0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,  // red, green, blue
        0, 1, 2, 0xEE,
        2, 1, 7, 0xEE,  // index 7 is past the three colours
    };
    auto bmp = decode(kLossless, losslessBody(3, 3, 2, raw, 2));
    ASSERT_EQ(bmp->width, 3);
    ASSERT_EQ(bmp->height, 2);
    EXPECT_EQ(bmp->at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(bmp->at(1, 0), 0xFF00FF00u);
    EXPECT_EQ(bmp->at(2, 0), 0xFF0000FFu);
    EXPECT_EQ(bmp->at(0, 1), 0xFF0000FFu);
    EXPECT_EQ(bmp->at(1, 1), 0xFF00FF00u);
    EXPECT_EQ(bmp->at(2, 1), 0xFF000000u);
}

TEST(LosslessBitmap, FifteenBitPixelsWidenToFullRange)
{
    // 3x2 of big-endian 0RRRRRGG GGGBBBBB, rows of 6 bytes padded to 8.
    std::vector<uint8_t> raw{
        0x7C, 0x00, 0x03, 0xE0, 0x00, 0x1F, 0xAA, 0xAA,  // red, green, blue
        0x7F, 0xFF, 0x00, 0x00, 0x42, 0x10, 0xAA, 0xAA,  // white, black, 16/31 grey
    };
    auto bmp = decode(kLossless, losslessBody(4, 3, 2, raw));
    EXPECT_EQ(bmp->at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(bmp->at(1, 0), 0xFF00FF00u);
    EXPECT_EQ(bmp->at(2, 0), 0xFF0000FFu);
    EXPECT_EQ(bmp->at(0, 1), 0xFFFFFFFFu);
    EXPECT_EQ(bmp->at(1, 1), 0xFF000000u);
    EXPECT_EQ(bmp->at(2, 1), 0xFF848484u);
}

TEST(LosslessBitmap, XrgbIgnoresTheReservedByte)
{
    std::vector<uint8_t> raw{0x00, 0x10, 0x20, 0x30, 0x7F, 0x40, 0x50, 0x60};
    auto bmp = decode(kLossless, losslessBody(5, 2, 1, raw));
    EXPECT_EQ(bmp->at(0, 0), 0xFF102030u);
    EXPECT_EQ(bmp->at(1, 0), 0xFF405060u);
}

TEST(LosslessBitmap, Lossless2KeepsPremultipliedColoursAndClampsInvalidOnes)
{
    std::vector<uint8_t> raw{
        0x80, 0x40, 0x20, 0x10,  // half alpha, already premultiplied: kept as is
        0x00, 0x00, 0x00, 0x00,  // fully transparent
        0x40, 0xFF, 0x10, 0x80,  // channels above alpha: clamped to it
    };
    auto bmp = decode(kLossless2, losslessBody(5, 3, 1, raw));
    EXPECT_EQ(bmp->at(0, 0), 0x80402010u);
    EXPECT_EQ(bmp->at(1, 0), 0x00000000u);
    EXPECT_EQ(bmp->at(2, 0), 0x40401040u);
}

TEST(LosslessBitmap, Lossless2ColourMapHasAlpha)
{
    std::vector<uint8_t> raw{
        0x20, 0x10, 0x00, 0x40,  // RGBA entries
        0xFF, 0xFF, 0xFF, 0xFF,
        1, 0, 5, 0,  // one row of 3 indices + pad; 5 is past the map
    };
    auto bmp = decode(kLossless2, losslessBody(3, 3, 1, raw, 1));
    EXPECT_EQ(bmp->at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(bmp->at(1, 0), 0x40201000u);
    EXPECT_EQ(bmp->at(2, 0), 0x00000000u);
}

TEST(LosslessBitmap, ExtraInflatedBytesAreIgnored)
{
    std::vector<uint8_t> raw{0xFF, 1, 2, 3, 0xFF, 4, 5, 6, 9, 9, 9, 9, 9, 9};
    auto bmp = decode(kLossless2, losslessBody(5, 1, 2, raw));
    EXPECT_EQ(bmp->at(0, 1), 0xFF040506u);
}

TEST(LosslessBitmap, MalformedBodiesThrowFormatError)
{
    const std::vector<uint8_t> eight(8, 0xFF);
    // Pixels missing: 2x2 needs 16 bytes.
    EXPECT_THROW(decode(kLossless, losslessBody(5, 2, 2, eight)), FormatError);
    // Padding missing: 3x2 colour-mapped needs 3 + 8 bytes.
    EXPECT_THROW(decode(kLossless, losslessBody(3, 3, 2, {1, 2, 3, 0, 0, 0, 0, 0, 0}, 0)), FormatError);
    EXPECT_THROW(decode(kLossless, losslessBody(6, 1, 1, eight)), FormatError);
    EXPECT_THROW(decode(kLossless, losslessBody(5, 0, 4, eight)), FormatError);
    EXPECT_THROW(decode(kLossless, losslessBody(5, 4, 0, eight)), FormatError);
    // Header cut short, colour count missing, and data that is not zlib.
    EXPECT_THROW(decode(kLossless, {5, 1, 0}), FormatError);
    EXPECT_THROW(decode(kLossless, {3, 1, 0, 1, 0}), FormatError);
    EXPECT_THROW(decode(kLossless, {5, 1, 0, 1, 0, 0x12, 0x34, 0x56, 0x78}), FormatError);
    // Corrupt deflate data after a valid zlib header.
    auto body = losslessBody(5, 4, 4, std::vector<uint8_t>(64, 0x5A));
    for (size_t i = 7; i < body.size(); ++i)
        body[i] ^= 0xA5;
    EXPECT_THROW(decode(kLossless, body), FormatError);
}

TEST(LosslessBitmap, HugeSizeIsRefusedBeforeAnythingIsAllocated)
{
    // 65535 x 65535 claims 16 GiB of pixels from a few bytes.
    EXPECT_THROW(decode(kLossless2, losslessBody(5, 0xFFFF, 0xFFFF, {0, 0, 0, 0})), FormatError);
}

TEST(BitmapTag, UnknownTagCodesAreRefused)
{
    EXPECT_FALSE(isBitmapTag(2));
    EXPECT_TRUE(isBitmapTag(90));
    std::vector<uint8_t> body{1, 2, 3};
    EXPECT_THROW(decode(2, body), FormatError);
}

} // namespace
} // namespace swf
