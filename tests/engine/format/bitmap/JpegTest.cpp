// JPEG bitmaps: DefineBits with the movie's tables, JPEG2 with SWF's odd headers and
// split streams, JPEG3/4 alpha planes, colour spaces, and damaged data.

#include "engine/format/Bitmap.h"
#include "engine/format/JpegDecoder.h"
#include "tests/engine/format/bitmap/ImageWriters.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace swf {
namespace {

using test::Samples;

constexpr int kDefineBits = 6;
constexpr int kJpeg2 = 21;
constexpr int kJpeg3 = 35;
constexpr int kJpeg4 = 90;

std::shared_ptr<const BitmapData> decode(int tag, std::span<const uint8_t> body, std::span<const uint8_t> tables = {})
{
    ByteReader r(body);
    return decodeBitmapTag(tag, r, tables);
}

std::vector<uint8_t> concat(std::initializer_list<std::span<const uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (auto p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Largest per-channel difference between decoded pixels and the RGB source.
int maxError(const BitmapData& bmp, const Samples& src)
{
    int worst = 0;
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const uint32_t p = bmp.at(x, y);
            const uint8_t* s = src.at(x, y);
            const int channels[3] = {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255)};
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(channels[c] - s[src.components == 1 ? 0 : c]));
        }
    return worst;
}

bool allOpaque(const BitmapData& bmp)
{
    return std::all_of(bmp.pixels.begin(), bmp.pixels.end(), [](uint32_t p) { return p >> 24 == 255; });
}

TEST(JpegBitmap, Jpeg2DecodesToOpaqueRgb)
{
    const Samples src = test::gradient(37, 21);  // sizes off the 8x8 block grid
    auto bmp = decode(kJpeg2, test::encodeJpeg(src));
    ASSERT_EQ(bmp->width, 37);
    ASSERT_EQ(bmp->height, 21);
    EXPECT_LE(maxError(*bmp, src), 12);
    EXPECT_TRUE(allOpaque(*bmp));
}

TEST(JpegBitmap, SwfStreamShapesAllDecodeToTheSameImage)
{
    const Samples src = test::gradient(24, 16);
    const auto whole = test::encodeJpeg(src, test::JpegColor::Rgb, 90);
    const auto split = test::encodeSplitJpeg(src);
    const std::vector<uint8_t> bogusPair{0xFF, 0xD9, 0xFF, 0xD8};
    const std::vector<uint8_t> trailingJunk{0x00, 0x11, 0xFF, 0xC4, 0x00};

    auto reference = decode(kJpeg2, whole);
    // The erroneous EOI/SOI pair some tools write in front of the data.
    auto withBogusHeader = decode(kJpeg2, concat({bogusPair, whole}));
    // Tables and image as two complete SOI..EOI blocks in one tag.
    auto twoBlocks = decode(kJpeg2, concat({split.tables, split.image}));
    // DefineBits: tables come from the movie's JPEGTables tag, itself with the odd pair.
    auto defineBits = decode(kDefineBits, split.image, concat({bogusPair, split.tables}));
    // Whatever follows the image's end is not read.
    auto junkAfter = decode(kJpeg2, concat({whole, trailingJunk}));

    EXPECT_LE(maxError(*reference, src), 12);
    for (const auto& other : {withBogusHeader, twoBlocks, defineBits, junkAfter})
        EXPECT_EQ(other->pixels, reference->pixels);
}

TEST(JpegBitmap, DefineBitsWithoutItsTablesFails)
{
    const auto split = test::encodeSplitJpeg(test::gradient(16, 16));
    EXPECT_THROW(decode(kDefineBits, split.image), FormatError);
}

TEST(JpegBitmap, GrayscaleAndAdobeCmykComeOutAsRgb)
{
    const Samples gray = test::gradient(16, 8, 1);
    auto g = decode(kJpeg2, test::encodeJpeg(gray, test::JpegColor::Gray));
    EXPECT_LE(maxError(*g, gray), 6);
    const uint32_t p = g->at(5, 5);
    EXPECT_EQ(p >> 16 & 255, p & 255);

    // Adobe stores CMYK inverted: 255 means no ink. Cyan-free, full magenta and yellow,
    // no black ink: red.
    Samples cmyk{8, 8, 4, {}};
    for (int i = 0; i < 64; ++i)
        cmyk.data.insert(cmyk.data.end(), {255, 0, 0, 255});
    auto c = decode(kJpeg2, test::encodeJpeg(cmyk, test::JpegColor::AdobeCmyk));
    const uint32_t red = c->at(4, 4);
    EXPECT_GE(red >> 16 & 255, 245u);
    EXPECT_LE(red >> 8 & 255, 10u);
    EXPECT_LE(red & 255, 10u);
}

std::vector<uint8_t> jpeg3Body(std::span<const uint8_t> image, std::span<const uint8_t> alphaZlib, bool jpeg4 = false)
{
    const auto n = static_cast<uint32_t>(image.size());
    std::vector<uint8_t> body{uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    if (jpeg4)
        body.insert(body.end(), {0x00, 0x01});  // deblocking strength
    body.insert(body.end(), image.begin(), image.end());
    body.insert(body.end(), alphaZlib.begin(), alphaZlib.end());
    return body;
}

TEST(JpegBitmap, AlphaPlaneTakesTheJpegColoursAsPremultiplied)
{
    // Mid-grey JPEG. The colours are stored premultiplied (the corpus's JPEG3 images are
    // dark where alpha is low), so grey 128 at alpha 128 stays 128 rather than halving, and
    // channels above alpha are clamped to it.
    Samples grey{8, 2, 3, std::vector<uint8_t>(8 * 2 * 3, 128)};
    const auto jpeg = test::encodeJpeg(grey, test::JpegColor::Rgb, 100);
    std::vector<uint8_t> alpha(16);
    for (size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = static_cast<uint8_t>(i * 17);
    const auto packed = test::zlibCompress(alpha);
    for (bool jpeg4 : {false, true}) {
        auto bmp = decode(jpeg4 ? kJpeg4 : kJpeg3, jpeg3Body(jpeg, packed, jpeg4));
        for (int i = 0; i < 16; ++i) {
            const uint32_t a = alpha[static_cast<size_t>(i)];
            const uint32_t c = std::min(a, 128u);
            EXPECT_EQ(bmp->pixels[static_cast<size_t>(i)], (a << 24) | (c << 16) | (c << 8) | c) << i;
        }
    }
    // No alpha data at all: opaque.
    EXPECT_TRUE(allOpaque(*decode(kJpeg3, jpeg3Body(jpeg, {}))));
}

TEST(JpegBitmap, Jpeg3FaultsThrowFormatError)
{
    const auto jpeg = test::encodeJpeg(test::gradient(8, 8));
    const auto shortAlpha = test::zlibCompress(std::vector<uint8_t>(63, 1));
    EXPECT_THROW(decode(kJpeg3, jpeg3Body(jpeg, shortAlpha)), FormatError);
    // Image size claims more than the tag holds.
    auto body = jpeg3Body(jpeg, {});
    body[1] = 0x7F;
    EXPECT_THROW(decode(kJpeg3, body), FormatError);
    // No image at all, just an alpha plane (seen in real movies).
    EXPECT_THROW(decode(kJpeg4, jpeg3Body({}, test::zlibCompress({}), true)), FormatError);
    EXPECT_THROW(decode(kJpeg4, std::vector<uint8_t>{1, 0}), FormatError);
}

TEST(JpegBitmap, TruncatedScanDecodesWhatIsThere)
{
    const Samples src = test::gradient(64, 64);
    const auto jpeg = test::encodeJpeg(src);
    // Every cut inside the scan data still gives a full-size image, never a crash.
    for (size_t keep = jpeg.size() - 2; keep > jpeg.size() / 2; keep -= 97) {
        auto bmp = decode(kJpeg2, std::span(jpeg).first(keep));
        EXPECT_EQ(bmp->width, 64);
        EXPECT_EQ(bmp->pixels.size(), 64u * 64u);
    }
}

TEST(JpegBitmap, DamagedDataNeverCrashes)
{
    const auto jpeg = test::encodeJpeg(test::gradient(32, 32));
    // Cut anywhere in the headers: an error, never a crash.
    for (size_t keep = 0; keep < 300; keep += 7)
        EXPECT_THROW(decode(kJpeg2, std::span(jpeg).first(keep)), FormatError) << keep;
    // Bytes flipped all through: decoded or refused, nothing else.
    for (size_t at = 2; at < jpeg.size(); at += 13) {
        auto bad = jpeg;
        bad[at] ^= 0x5C;
        try {
            auto bmp = decode(kJpeg2, bad);
            EXPECT_EQ(bmp->pixels.size(), size_t(bmp->width) * size_t(bmp->height));
        } catch (const FormatError&) {
        }
    }
    EXPECT_THROW(decode(kJpeg2, std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}), FormatError);
}

TEST(JpegBitmap, ProgressiveDecodesButEndlessScansAreCutOff)
{
    const Samples src = test::gradient(40, 24);
    const auto jpeg = test::encodeJpeg(src, test::JpegColor::Rgb, 95, true);
    EXPECT_LE(maxError(*decode(kJpeg2, jpeg), src), 12);

    // Repeat the last scan until there are hundreds: each would be another pass over the
    // whole image, so a movie could stall the player with a few kilobytes.
    size_t lastScan = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            lastScan = i;
    const std::span<const uint8_t> scan = std::span(jpeg).subspan(lastScan, jpeg.size() - 2 - lastScan);
    std::vector<uint8_t> endless(jpeg.begin(), jpeg.end() - 2);
    for (int i = 0; i < 400; ++i)
        endless.insert(endless.end(), scan.begin(), scan.end());
    endless.insert(endless.end(), {0xFF, 0xD9});
    EXPECT_THROW(decode(kJpeg2, endless), FormatError);
}

TEST(JpegBitmap, OversizedFrameIsRefused)
{
    auto jpeg = test::encodeJpeg(test::gradient(8, 8));
    // Rewrite the frame header to claim 65000 x 65000.
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = 0xFD;
            jpeg[i + 6] = jpeg[i + 8] = 0xE8;
            break;
        }
    EXPECT_THROW(decode(kJpeg2, jpeg), FormatError);
}

} // namespace
} // namespace swf
