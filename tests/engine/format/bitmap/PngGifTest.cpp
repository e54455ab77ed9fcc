// PNG and GIF files carried in JPEG bitmap tags: every PNG filter, colour type and bit
// depth we claim, interlacing, transparency; GIF's LZW, transparency and interlacing;
// malformed files.

#include "engine/format/Bitmap.h"
#include "engine/format/GifDecoder.h"
#include "engine/format/GifLzw.h"
#include "engine/format/PngDecoder.h"
#include "tests/engine/format/bitmap/ImageWriters.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

using Rows = std::vector<std::vector<uint8_t>>;

std::shared_ptr<const BitmapData> decodeJpeg2(std::span<const uint8_t> file)
{
    ByteReader r(file);
    return decodeBitmapTag(21, r, {});
}

// A 9x7 RGBA picture with varied colours and alphas, so filters see real differences.
Rows rgbaRows()
{
    Rows rows;
    for (int y = 0; y < 7; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < 9; ++x)
            row.insert(row.end(), {uint8_t(x * 29 + y * 3), uint8_t(255 - y * 31), uint8_t(x * y * 5),
                                   uint8_t(x == 0 ? 255 : 40 * y + x)});
        rows.push_back(row);
    }
    return rows;
}

uint32_t expectedRgba(const Rows& rows, int x, int y)
{
    const uint8_t* p = rows[size_t(y)].data() + 4 * x;
    return pixel::premultiply(p[3], p[0], p[1], p[2]);
}

TEST(PngBitmap, EveryFilterTypeAndInterlacingGiveTheSamePixels)
{
    const Rows rows = rgbaRows();
    const std::vector<uint8_t> allFilters{0, 1, 2, 3, 4};
    for (bool interlaced : {false, true}) {
        test::PngOptions o{6, 8, interlaced, {}, {}};
        auto bmp = decodeJpeg2(test::encodePng(9, 7, rows, o, allFilters));
        ASSERT_EQ(bmp->width, 9);
        ASSERT_EQ(bmp->height, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x)
                ASSERT_EQ(bmp->at(x, y), expectedRgba(rows, x, y)) << x << "," << y << " interlaced " << interlaced;
    }
}

TEST(PngBitmap, RgbWithColourKeyAndSixteenBitSamples)
{
    // RGB 8-bit: the tRNS colour becomes transparent.
    Rows rgb{{10, 20, 30, 1, 2, 3, 200, 100, 50}};
    auto a = decodeJpeg2(test::encodePng(3, 1, rgb, {2, 8, false, {}, {0, 1, 0, 2, 0, 3}}, std::vector<uint8_t>{1}));
    EXPECT_EQ(a->at(0, 0), 0xFF0A141Eu);
    EXPECT_EQ(a->at(1, 0), 0u);
    EXPECT_EQ(a->at(2, 0), 0xFFC86432u);

    // RGBA 16-bit: the high byte of each sample counts.
    Rows wide{{0x12, 0x99, 0x34, 0x99, 0x56, 0x99, 0xFF, 0xFF, 0x80, 0x00, 0x40, 0x00, 0x20, 0x00, 0x80, 0x00}};
    auto b = decodeJpeg2(test::encodePng(2, 1, wide, {6, 16, false, {}, {}}, std::vector<uint8_t>{4}));
    EXPECT_EQ(b->at(0, 0), 0xFF123456u);
    EXPECT_EQ(b->at(1, 0), pixel::premultiply(0x80, 0x80, 0x40, 0x20));
}

TEST(PngBitmap, PackedGrayAndPaletteDepths)
{
    // Gray 2-bit: four samples in one byte, scaled 0, 85, 170, 255; a fifth in the next.
    Rows gray{{0b00011011, 0b11000000}};
    auto g = decodeJpeg2(test::encodePng(5, 1, gray, {0, 2, false, {}, {}}));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(g->at(x, 0), pixel::pack(255, 85u * x, 85u * x, 85u * x));
    EXPECT_EQ(g->at(4, 0), 0xFFFFFFFFu);

    // Palette 4-bit with tRNS for the first two entries; index 3 is past the palette.
    const std::vector<uint8_t> palette{255, 0, 0, 0, 255, 0, 0, 0, 255};
    Rows indexed{{0x01, 0x23}, {0x22, 0x10}};
    auto p = decodeJpeg2(test::encodePng(4, 2, indexed, {3, 4, false, palette, {0x80, 0x00}}, std::vector<uint8_t>{2}));
    EXPECT_EQ(p->at(0, 0), 0x80800000u);
    EXPECT_EQ(p->at(1, 0), 0u);
    EXPECT_EQ(p->at(2, 0), 0xFF0000FFu);
    EXPECT_EQ(p->at(3, 0), 0xFF000000u);
    EXPECT_EQ(p->at(0, 1), 0xFF0000FFu);
    EXPECT_EQ(p->at(2, 1), 0u);

    // Gray + alpha 8-bit.
    Rows ga{{200, 128}};
    auto q = decodeJpeg2(test::encodePng(1, 1, ga, {4, 8, false, {}, {}}));
    EXPECT_EQ(q->at(0, 0), pixel::premultiply(128, 200, 200, 200));
}

TEST(PngBitmap, MalformedFilesThrowFormatError)
{
    const Rows rows = rgbaRows();
    const auto good = test::encodePng(9, 7, rows, {6, 8, false, {}, {}});
    EXPECT_NO_THROW(decodePng(good));
    // Cut at every length: refused cleanly.
    for (size_t keep = 8; keep < good.size() - 12; keep += 5)
        EXPECT_THROW(decodePng(std::span(good).first(keep)), FormatError) << keep;
    // Unknown filter byte on the first row.
    const std::vector<uint8_t> badFilter{7};
    EXPECT_THROW(decodePng(test::encodePng(9, 7, rows, {6, 8, false, {}, {}}, badFilter)), FormatError);
    // Colour type 2 cannot have 4-bit samples; indexed needs a palette.
    EXPECT_THROW(decodePng(test::encodePng(1, 1, {{0}}, {2, 4, false, {}, {}})), FormatError);
    EXPECT_THROW(decodePng(test::encodePng(1, 1, {{0}}, {3, 8, false, {}, {}})), FormatError);
    EXPECT_THROW(decodePng(test::encodePng(0, 1, {{}}, {0, 8, false, {}, {}})), FormatError);
    // Chunk length pointing past the end.
    auto lying = good;
    lying[8] = 0x7F;
    EXPECT_THROW(decodePng(lying), FormatError);
    // Far too large for its few bytes.
    EXPECT_THROW(decodePng(test::encodePng(100000, 100000, {{0}}, {0, 1, false, {}, {}})), FormatError);
}

test::GifFrame checkerFrame()
{
    test::GifFrame f;
    f.screenWidth = f.width = 21;
    f.screenHeight = f.height = 11;
    f.palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            f.indices.push_back(static_cast<uint8_t>(x < 8 ? 1 : (x / 3 + y) % 5));  // runs and changes
    return f;
}

uint32_t gifColor(const test::GifFrame& f, uint8_t index)
{
    const uint8_t* c = f.palette.data() + 3 * index;
    return pixel::pack(255, c[0], c[1], c[2]);
}

TEST(GifBitmap, DecodesFirstFrameInterlacedOrNot)
{
    for (bool interlaced : {false, true}) {
        test::GifFrame f = checkerFrame();
        f.interlaced = interlaced;
        auto bmp = decodeJpeg2(test::encodeGif(f));
        ASSERT_EQ(bmp->width, 21);
        ASSERT_EQ(bmp->height, 11);
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                ASSERT_EQ(bmp->at(x, y), gifColor(f, f.indices[size_t(y * f.width + x)])) << x << "," << y;
    }
}

TEST(GifBitmap, TransparentIndexAndFrameOffsetOnTheScreen)
{
    test::GifFrame f;
    f.screenWidth = 4;
    f.screenHeight = 3;
    f.left = 1;
    f.top = 1;
    f.width = 4;  // one column hangs off the screen
    f.height = 2;
    f.palette = {255, 0, 0, 0, 0, 255};
    f.indices = {0, 1, 0, 0, 1, 1, 0, 1};
    f.transparentIndex = 1;
    auto bmp = decodeGif(test::encodeGif(f));
    EXPECT_EQ(bmp.width, 4);
    EXPECT_EQ(bmp.at(0, 0), 0u);
    EXPECT_EQ(bmp.at(1, 1), 0xFFFF0000u);
    EXPECT_EQ(bmp.at(2, 1), 0u);
    EXPECT_EQ(bmp.at(3, 1), 0xFFFF0000u);
    EXPECT_EQ(bmp.at(1, 2), 0u);
    EXPECT_EQ(bmp.at(2, 2), 0u);
    EXPECT_EQ(bmp.at(3, 2), 0xFFFF0000u);
}

TEST(GifBitmap, LzwRoundTripsLongInputsThroughTableResets)
{
    // Enough distinct strings to fill the 4096-entry table several times, plus long runs
    // that produce the code-defined-by-itself case.
    std::vector<uint8_t> input;
    uint32_t seed = 12345;
    for (int i = 0; i < 60000; ++i) {
        seed = seed * 1103515245 + 12345;
        input.push_back(static_cast<uint8_t>(i % 1000 < 300 ? 7 : (seed >> 16) & 255));
    }
    const auto codes = test::gifLzw(input, 8);
    std::vector<uint8_t> out(input.size());
    ASSERT_EQ(decodeGifLzw(codes, 8, out), input.size());
    EXPECT_EQ(out, input);
    // Cut short: a prefix comes out, never more than fits.
    std::vector<uint8_t> small(100);
    EXPECT_EQ(decodeGifLzw(std::span(codes).first(50), 8, small), small.size());
    std::fill(out.begin(), out.end(), 0);
    const size_t got = decodeGifLzw(std::span(codes).first(200), 8, out);
    EXPECT_GT(got, 0u);
    EXPECT_LT(got, input.size());
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<long>(got), input.begin()));
}

TEST(GifBitmap, DamagedFilesAreRefusedOrPartial)
{
    const auto good = test::encodeGif(checkerFrame());
    for (size_t keep = 6; keep < good.size(); ++keep) {
        try {
            auto bmp = decodeGif(std::span(good).first(keep));
            EXPECT_EQ(bmp.pixels.size(), 21u * 11u);
        } catch (const FormatError&) {
        }
    }
    const std::vector<uint8_t> noImage{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
    EXPECT_THROW(decodeGif(noImage), FormatError);
    const std::vector<uint8_t> unknownBlock{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x99};
    EXPECT_THROW(decodeGif(unknownBlock), FormatError);
    std::vector<uint8_t> codeSize12{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0,
                                    0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 12, 0, 0x3B};
    EXPECT_THROW(decodeGif(codeSize12), FormatError);
    // A frame of 65535 x 65535 behind an empty screen.
    std::vector<uint8_t> huge{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0,
                              0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 8, 0, 0x3B};
    EXPECT_THROW(decodeGif(huge), FormatError);
}

} // namespace
} // namespace swf
