// The pixel store behind BitmapData: the player's premultiplied rounding, size limits,
// and each operation's edges (clipping, overlapping copies, odd channels, hostile
// offsets), on bitmaps of a few pixels with known answers.

#include "engine/avm1/BitmapPixels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace swf::avm1 {
namespace {

TEST(BitmapPixels, ColoursWithPartialAlphaReadBackWithThePlayersRounding)
{
    struct Case {
        uint32_t written, read;
    };
    const Case cases[] = {
        {0x12345678, 0x12395571},  // multiplied up, divided back rounding half down
        {0xAABBCCDD, 0xAABBCCDC},
        {0x98765432, 0x98755432},
        {0xFF123456, 0xFF123456},  // opaque stays exact
        {0x00FFFFFF, 0x00000000},  // no alpha, no colour
        {0x01FFFFFF, 0x01FFFFFF},
    };
    for (const Case& c : cases) {
        BitmapPixels bitmap(1, 1, true, 0);
        bitmap.setPixel32(0, 0, c.written);
        EXPECT_EQ(bitmap.getPixel32(0, 0), c.read) << std::hex << c.written;
    }
}

TEST(BitmapPixels, OpaqueBitmapsDropAlphaAndSetPixelKeepsIt)
{
    BitmapPixels opaque(2, 1, false, 0x12345678);
    EXPECT_EQ(opaque.getPixel32(0, 0), 0xFF345678u);
    opaque.setPixel32(1, 0, 0x00ABCDEF);
    EXPECT_EQ(opaque.getPixel32(1, 0), 0xFFABCDEFu);

    BitmapPixels clear(1, 1, true, 0xAABBCCDD);
    clear.setPixel(0, 0, 0x12345678);
    EXPECT_EQ(clear.getPixel32(0, 0), 0xAA345578u);
}

TEST(BitmapPixels, SizeLimitsFollowTheMoviesVersion)
{
    struct Case {
        int width, height, version;
        bool allowed;
    };
    const Case cases[] = {
        {8191, 1, 10, true},  {8192, 1, 10, false},   {1, 8191, 10, true},   {1, 8192, 10, false},
        {4095, 4096, 10, true}, {4096, 4096, 10, false}, {2880, 2880, 8, true}, {2881, 1, 8, false},
        {0, 5, 10, false},    {5, -1, 10, false},     {INT_MAX, INT_MAX, 10, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BitmapPixels::sizeAllowed(c.width, c.height, c.version), c.allowed)
            << c.width << "x" << c.height << " v" << c.version;
}

TEST(BitmapPixels, ReadsAndWritesOutsideDoNothing)
{
    BitmapPixels bitmap(2, 2, true, 0xFF000000);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 2}, {INT_MIN, INT_MAX}}) {
        bitmap.setPixel32(x, y, 0xFFFFFFFF);
        EXPECT_EQ(bitmap.getPixel32(x, y), 0u);
    }
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(bitmap.getPixel32(x, y), 0xFF000000u);
}

TEST(BitmapPixels, FillRectClipsHostileRectangles)
{
    struct Case {
        PixelRect rect;
        int filled;
    };
    const Case cases[] = {
        {{0, 0, 2, 2}, 4},   {{-5, -5, 6, 6}, 1},       {{2, 2, 10, 10}, 4}, {{0, 0, 0, 3}, 0},
        // Negative sizes reach back from the corner given.
        {{1, 1, -2, -2}, 1}, {{5, 5, -3, -3}, 4}, {{3, 0, -1, 4}, 4}, {{0, 0, INT_MIN, 1}, 0},
        {{INT_MIN, INT_MIN, -1, -1}, 0},
        {{INT_MAX, 0, INT_MAX, 1}, 0}, {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0},
        {{0, 0, INT_MAX, INT_MAX}, 16},
    };
    for (const Case& c : cases) {
        BitmapPixels bitmap(4, 4, false, 0);
        bitmap.fillRect(c.rect, 0xFFFFFFFF);
        int filled = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                filled += bitmap.getPixel32(x, y) == 0xFFFFFFFF;
        EXPECT_EQ(filled, c.filled) << c.rect.x << "," << c.rect.y << " " << c.rect.width << "x" << c.rect.height;
    }
}

// A 4x1 opaque strip 0x..00, 0x..01, 0x..02, 0x..03 to watch pixels move.
BitmapPixels strip()
{
    BitmapPixels b(4, 1, false, 0);
    for (int x = 0; x < 4; ++x)
        b.setPixel32(x, 0, 0xFF000000u | static_cast<uint32_t>(x));
    return b;
}

uint32_t blueAt(const BitmapPixels& b, int x)
{
    return b.getPixel32(x, 0) & 0xFF;
}

TEST(BitmapPixels, CopyWithinOneBitmapReadsBeforeWriting)
{
    BitmapPixels b = strip();
    b.copyPixels(b, {0, 0, 3, 1}, 1, 0, false);
    EXPECT_EQ(blueAt(b, 0), 0u);
    EXPECT_EQ(blueAt(b, 1), 0u);
    EXPECT_EQ(blueAt(b, 2), 1u);
    EXPECT_EQ(blueAt(b, 3), 2u);
}

TEST(BitmapPixels, CopyClipsSourceAndDestinationTogether)
{
    BitmapPixels source = strip();
    struct Case {
        PixelRect rect;
        int destX;
        uint32_t expected[4];
    };
    const Case cases[] = {
        {{-2, 0, 4, 1}, 0, {9, 9, 0, 1}},  // the part of the rectangle outside the source moves the rest along
        {{0, 0, 4, 1}, -2, {2, 3, 9, 9}},
        {{0, 0, 4, 1}, 3, {9, 9, 9, 0}},
        {{0, 0, 4, 1}, INT_MAX, {9, 9, 9, 9}},
        {{INT_MAX, 0, 4, 1}, 0, {9, 9, 9, 9}},
    };
    for (const Case& c : cases) {
        BitmapPixels dest(4, 1, false, 0xFF000009);
        dest.copyPixels(source, c.rect, c.destX, 0, false);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(blueAt(dest, x), c.expected[x]) << "rect.x " << c.rect.x << " dest " << c.destX << " x " << x;
    }
}

TEST(BitmapPixels, CopyOntoOpaqueBlendsAndMergeBlendsOntoTransparent)
{
    BitmapPixels clearSource(1, 1, true, 0x12345678);
    BitmapPixels opaque(1, 1, false, 0xFFBBCCDD);
    opaque.copyPixels(clearSource, {0, 0, 1, 1}, 0, 0, false);
    EXPECT_EQ(opaque.getPixel32(0, 0), 0xFFB1C3D5u);

    BitmapPixels clearDest(1, 1, true, 0xAABBCCDD);
    clearDest.copyPixels(clearSource, {0, 0, 1, 1}, 0, 0, false);
    EXPECT_EQ(clearDest.getPixel32(0, 0), 0x12395571u);

    BitmapPixels opaqueSource(1, 1, false, 0xFF345678);
    BitmapPixels mask(1, 1, true, 0x12345678);
    BitmapPixels masked(1, 1, true, 0xAABBCCDD);
    masked.copyPixelsWithAlpha(opaqueSource, {0, 0, 1, 1}, 0, 0, mask, 0, 0, true);
    EXPECT_EQ(masked.getPixel32(0, 0), 0xAFADC0D3u);
}

TEST(BitmapPixels, CopyChannelIgnoresTargetsThatAreNotOneChannel)
{
    struct Case {
        int from, to;
        uint32_t expected;
    };
    const Case cases[] = {
        {1, 4, 0xFF112211},  // red into blue
        {8, 2, 0xFF11FF33},  // alpha into green
        {3, 1, 0xFF002233},  // a source of two channels reads as 0
        {1, 3, 0xFF112233},  // a target of two channels changes nothing
        {1, 8, 0xFF112233},  // an opaque bitmap keeps its alpha
        {-1, 16, 0xFF112233},
    };
    for (const Case& c : cases) {
        BitmapPixels b(1, 1, false, 0xFF112233);
        b.copyChannel(b, {0, 0, 1, 1}, 0, 0, c.from, c.to);
        EXPECT_EQ(b.getPixel32(0, 0), c.expected) << c.from << "->" << c.to;
    }
}

TEST(BitmapPixels, ScrollMovesContentAndKeepsWhatNothingCovers)
{
    struct Case {
        int dx;
        uint32_t expected[4];
    };
    const Case cases[] = {
        {1, {0, 0, 1, 2}}, {-2, {2, 3, 2, 3}}, {0, {0, 1, 2, 3}}, {4, {0, 1, 2, 3}}, {INT_MIN, {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        BitmapPixels b = strip();
        b.scroll(c.dx, 0);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(blueAt(b, x), c.expected[x]) << "dx " << c.dx << " x " << x;
    }
}

TEST(BitmapPixels, ColorBoundsFindsOrAvoidsTheMaskedColour)
{
    BitmapPixels b(4, 4, false, 0xFF000000);
    b.setPixel32(1, 2, 0xFFFF0000);
    b.setPixel32(2, 3, 0xFFFF0000);
    const PixelRect found = b.colorBounds(0xFFFFFFFF, 0xFFFF0000, true);
    EXPECT_EQ(found.x, 1);
    EXPECT_EQ(found.y, 2);
    EXPECT_EQ(found.width, 2);
    EXPECT_EQ(found.height, 2);
    const PixelRect others = b.colorBounds(0xFFFFFFFF, 0xFF000000, false);
    EXPECT_EQ(others.width, 2);
    const PixelRect none = b.colorBounds(0xFFFFFFFF, 0xFF00FF00, true);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
    // An opaque bitmap leaves alpha out of the comparison; a transparent one does not.
    EXPECT_EQ(b.colorBounds(0xFF000000, 0xAA000000, true).width, 4);
    EXPECT_EQ(b.colorBounds(0xFF0000FF, 0x000000FF, true).width, 0);
    BitmapPixels clear(4, 4, true, 0xFF000000);
    EXPECT_EQ(clear.colorBounds(0xFF000000, 0xAA000000, true).width, 0);
}

TEST(BitmapPixels, ColorBoundsOfAMatchAtTheFirstPixelAloneIsEmpty)
{
    // White 3 x 3 with green set, then looking for what is not white.
    struct Case {
        std::vector<std::pair<int, int>> green;
        PixelRect answer;
    };
    const Case cases[] = {
        {{{0, 0}}, {0, 0, 0, 0}},
        {{{0, 0}, {1, 1}}, {0, 0, 2, 2}},
        {{{1, 1}}, {1, 1, 1, 1}},
        {{{2, 0}}, {2, 0, 1, 1}},
        {{{0, 2}}, {0, 2, 1, 1}},
    };
    for (const Case& c : cases) {
        BitmapPixels b(3, 3, true, 0xFFFFFFFF);
        for (auto [x, y] : c.green)
            b.setPixel32(x, y, 0xFF00FF00);
        const PixelRect r = b.colorBounds(0xFFFFFFFF, 0xFFFFFFFF, false);
        EXPECT_EQ(r.x, c.answer.x) << c.green.size();
        EXPECT_EQ(r.y, c.answer.y) << c.green.size();
        EXPECT_EQ(r.width, c.answer.width) << c.green.size();
        EXPECT_EQ(r.height, c.answer.height) << c.green.size();
        EXPECT_EQ(b.colorBounds(0xFFFFFFFF, 0xFFFFFFFF, true).width, 3);
    }
}

TEST(BitmapPixels, DissolveRegistersVisitEveryValueOnce)
{
    for (int bits = 2; bits <= 22; ++bits) {
        const uint32_t period = (1u << bits) - 1;
        uint32_t state = 1;
        uint32_t steps = 0;
        do {
            state = dissolveStep(state, bits);
            ++steps;
        } while (state != 1 && steps <= period);
        EXPECT_EQ(steps, period) << bits << " bits";
    }
    EXPECT_EQ(dissolveBits(1), 2);
    EXPECT_EQ(dissolveBits(3), 2);
    EXPECT_EQ(dissolveBits(4), 3);
    EXPECT_EQ(dissolveBits(uint64_t{8191} * 8191), 26);
}

TEST(BitmapPixels, PixelDissolveChangesCountPlusOnePixelsAndCarriesTheSeedOn)
{
    // A 2 x 2 source area laid at (1, 1) of a 3 x 3 bitmap.
    struct Case {
        uint32_t seed;
        int numPixels;
        PixelRect rect;
        int destX, destY;
        int changed;
        uint32_t answer;
    };
    const Case cases[] = {
        {100, 0, {0, 0, 2, 2}, 1, 1, 1, 100},   // one pixel; the seed comes back
        {100, 2, {0, 0, 2, 2}, 1, 1, 3, 3},     // three pixels, row by row from the seed's
        {100, 40, {0, 0, 2, 2}, 1, 1, 4, 0},    // no more than the area
        {100, -1, {0, 0, 2, 2}, 1, 1, 4, 0},    // negative: all of it
        {100, 40, {0, 0, 0, 0}, 1, 1, 0, 100},  // nothing to change
        {100, 40, {0, 0, 2, 2}, 5, 5, 0, 100},  // lands outside
        {7, 40, {0, 0, 2, 2}, -1, -1, 1, 0},    // only (0, 0) of the target is covered
    };
    for (const Case& c : cases) {
        BitmapPixels target(3, 3, true, 0xAABBCCDD);
        const BitmapPixels source(3, 3, true, 0x12345678);
        EXPECT_EQ(target.pixelDissolve(source, c.rect, c.destX, c.destY, c.seed, c.numPixels, 0, false), c.answer)
            << c.seed << " " << c.numPixels;
        int changed = 0;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                changed += target.getPixel32(x, y) == 0x12395571u;
        EXPECT_EQ(changed, c.changed) << c.seed << " " << c.numPixels;
    }
    BitmapPixels target(3, 3, true, 0xAABBCCDD);
    const BitmapPixels source(3, 3, true, 0x12345678);
    target.pixelDissolve(source, {0, 0, 2, 2}, 1, 1, 100, 2, 0, false);
    EXPECT_EQ(target.getPixel32(1, 1), 0x12395571u);
    EXPECT_EQ(target.getPixel32(2, 1), 0x12395571u);
    EXPECT_EQ(target.getPixel32(1, 2), 0x12395571u);
    EXPECT_EQ(target.getPixel32(2, 2), 0xAABBCCDCu);
}

TEST(BitmapPixels, PixelDissolveWalksTheWholeAreaOverSuccessiveCalls)
{
    // 7 x 5 = 35 pixels, 5 at a time (numPixels 4), each call going on from the last.
    BitmapPixels target(7, 5, false, 0xFF000000);
    uint32_t seed = 12345;
    for (int call = 0; call < 7; ++call)
        seed = target.pixelDissolve(target, target.bounds(), 0, 0, seed, 4, 0xFFFFFFFF, true);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(target.getPixel32(x, y), 0xFFFFFFFFu) << x << "," << y;
}

TEST(BitmapPixels, PixelDissolveMovesStoredPixelsAlphaAndAll)
{
    // An opaque target keeps the alpha of a transparent source's pixels, as stored.
    BitmapPixels opaque(2, 1, false, 0xFFBBCCDD);
    const BitmapPixels source(2, 1, true, 0x12345678);
    opaque.pixelDissolve(source, source.bounds(), 0, 0, 0, -1, 0, false);
    EXPECT_EQ(opaque.getPixel32(0, 0), 0x12040608u);
    // Dissolving a bitmap into itself paints the colour.
    BitmapPixels clear(2, 2, true, 0);
    clear.pixelDissolve(clear, clear.bounds(), 0, 0, 3, 9999, 0x80FF0000, true);
    EXPECT_EQ(clear.getPixel32(1, 1), 0x80FF0000u);
}

TEST(BitmapPixels, PerlinNoiseIsRepeatableAndKeepsToItsChannels)
{
    BitmapPixels::PerlinOptions o;
    o.baseX = 8;
    o.baseY = 6;
    o.octaves = 3;
    o.seed = 42;
    o.channels = 2;  // green only
    BitmapPixels a(16, 12, false, 0xFFFFFFFF), b(16, 12, false, 0);
    a.perlinNoise(o);
    b.perlinNoise(o);
    EXPECT_EQ(a.premultipliedPixels(), b.premultipliedPixels());
    bool varies = false;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(a.getPixel32(x, y) & 0xFFFF00FFu, 0xFF000000u) << x << "," << y;
            varies = varies || a.getPixel32(x, y) != a.getPixel32(0, 0);
        }
    }
    EXPECT_TRUE(varies);
    // Turbulence is nothing on the lattice's corners.
    EXPECT_EQ(a.getPixel32(0, 0), 0xFF000000u);
    // Another seed, another picture.
    o.seed = 43;
    b.perlinNoise(o);
    EXPECT_NE(a.premultipliedPixels(), b.premultipliedPixels());

    // Grey: the three colours alike; fractal noise sits around mid-grey.
    o.grey = true;
    o.fractal = true;
    o.channels = 7;
    BitmapPixels grey(16, 12, true, 0);
    grey.perlinNoise(o);
    const uint32_t corner = grey.getPixel32(0, 0);
    EXPECT_EQ(corner & 0xFFFFFF, 0x7F7F7Fu);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            const uint32_t p = grey.getPixel32(x, y);
            EXPECT_EQ((p >> 16) & 0xFF, p & 0xFF);
            EXPECT_EQ((p >> 8) & 0xFF, p & 0xFF);
        }
    }
}

TEST(BitmapPixels, PerlinNoiseWithoutAFrequencyOrOctavesIsBlank)
{
    struct Case {
        double baseX, baseY;
        int octaves;
    };
    const Case cases[] = {{3, 3, 0}, {3, 3, -1}, {std::nan(""), 3, 4}, {3, std::nan(""), 4}};
    // Cells far below a pixel (scales that overflow) still give an answer, not a fault.
    BitmapPixels tiny(3, 3, false, 0);
    BitmapPixels::PerlinOptions far;
    far.baseX = 1e-320;
    far.baseY = -1e-300;
    far.octaves = 40;
    far.channels = 7;
    tiny.perlinNoise(far);
    EXPECT_EQ(tiny.getPixel32(2, 2) >> 24, 0xFFu);
    // Stitched, the tile of such cells is vast and keeps doubling every octave.
    far.stitch = true;
    tiny.perlinNoise(far);
    EXPECT_EQ(tiny.getPixel32(2, 2) >> 24, 0xFFu);
    for (const Case& c : cases) {
        BitmapPixels b(3, 3, true, 0xAABBCCDD);
        BitmapPixels::PerlinOptions o;
        o.baseX = c.baseX;
        o.baseY = c.baseY;
        o.octaves = c.octaves;
        o.channels = 15;
        b.perlinNoise(o);
        EXPECT_EQ(b.getPixel32(1, 1), 0u) << c.baseX << " " << c.baseY << " " << c.octaves;
    }
}

TEST(BitmapPixels, PerlinNoiseCellsOfSizeZeroOrInfiniteDoNotChangeThatWay)
{
    // A cell size of 0 (or one too large to matter) is no frequency that way: every
    // column alike (rows for baseY), and the other way still varies.
    for (const double size : {0.0, double(INFINITY)}) {
        for (const bool alongX : {true, false}) {
            BitmapPixels::PerlinOptions o;
            o.baseX = alongX ? size : 5;
            o.baseY = alongX ? 5 : size;
            o.octaves = 2;
            o.seed = 42;
            o.fractal = true;
            BitmapPixels b(6, 6, false, 0);
            b.perlinNoise(o);
            bool varies = false;
            for (int i = 0; i < 6; ++i) {
                for (int j = 1; j < 6; ++j) {
                    const uint32_t first = alongX ? b.getPixel32(0, i) : b.getPixel32(i, 0);
                    const uint32_t other = alongX ? b.getPixel32(j, i) : b.getPixel32(i, j);
                    EXPECT_EQ(other, first) << size << " " << alongX << " " << i << " " << j;
                }
                varies = varies || (alongX ? b.getPixel32(0, i) : b.getPixel32(i, 0)) != b.getPixel32(0, 0);
            }
            EXPECT_TRUE(varies) << size << " " << alongX;
        }
    }
}

TEST(BitmapPixels, PerlinNoiseStitchedRepeatsAcrossTheEdges)
{
    // Stitched noise with cells that divide the bitmap: the column past the right edge
    // would be the left one again, so the two edge columns differ little.
    BitmapPixels::PerlinOptions o;
    o.baseX = 8;
    o.baseY = 8;
    o.octaves = 1;
    o.seed = 7;
    o.stitch = true;
    o.fractal = true;
    BitmapPixels b(32, 32, false, 0);
    b.perlinNoise(o);
    for (int y = 0; y < 32; ++y) {
        const int left = int(b.getPixel32(0, y) & 0xFF), right = int(b.getPixel32(31, y) & 0xFF);
        EXPECT_LE(std::abs(left - right), 40) << y;
    }
}

TEST(BitmapPixels, ThresholdCountsAndPaintsThePixelsThatPass)
{
    using T = BitmapPixels::Test;
    struct Case {
        T test;
        int passed;
    };
    // Blues 0, 1, 2, 3 against 2.
    const Case cases[] = {{T::Less, 2}, {T::LessEqual, 3}, {T::Greater, 1}, {T::GreaterEqual, 2}, {T::Equal, 1},
                          {T::NotEqual, 3}};
    for (const Case& c : cases) {
        BitmapPixels source = strip();
        BitmapPixels dest(4, 1, false, 0xFF000009);
        EXPECT_EQ(dest.threshold(source, {0, 0, 4, 1}, 0, 0, c.test, 2, 0xFFFFFFFF, 0xFF, true), c.passed);
        int painted = 0;
        for (int x = 0; x < 4; ++x)
            painted += dest.getPixel32(x, 0) == 0xFFFFFFFF;
        EXPECT_EQ(painted, c.passed);
    }
}

TEST(BitmapPixels, FloodFillStopsAtOtherColoursAndEdges)
{
    BitmapPixels b(3, 3, false, 0xFF000000);
    b.setPixel32(1, 0, 0xFFFFFFFF);
    b.setPixel32(1, 1, 0xFFFFFFFF);
    b.setPixel32(1, 2, 0xFFFFFFFF);
    b.floodFill(0, 0, 0xFF00FF00);
    EXPECT_EQ(b.getPixel32(0, 2), 0xFF00FF00u);
    EXPECT_EQ(b.getPixel32(2, 0), 0xFF000000u);
    b.floodFill(-1, 5, 0xFFFFFFFF);  // outside: nothing
    EXPECT_EQ(b.getPixel32(2, 2), 0xFF000000u);
}

TEST(BitmapPixels, MergeAndPaletteMapWorkPerChannel)
{
    BitmapPixels dest(1, 1, false, 0xFF000000);
    BitmapPixels white(1, 1, false, 0xFFFFFFFF);
    dest.merge(white, {0, 0, 1, 1}, 0, 0, {128, 256, 0, 256});
    EXPECT_EQ(dest.getPixel32(0, 0), 0xFF7FFF00u);

    std::array<std::optional<std::array<uint32_t, 256>>, 4> maps;
    std::array<uint32_t, 256> redToBlue{};
    redToBlue[0x7F] = 0x000011;
    maps[0] = redToBlue;
    BitmapPixels mapped(1, 1, false, 0);
    mapped.paletteMap(dest, {0, 0, 1, 1}, 0, 0, maps);
    EXPECT_EQ(mapped.getPixel32(0, 0), 0xFF00FF11u);
}

TEST(BitmapPixels, NoiseRepeatsForASeedAndStaysInRange)
{
    BitmapPixels a(8, 8, false, 0), b(8, 8, false, 0);
    a.noise(42, 10, 20, 7, false);
    b.noise(42, 10, 20, 7, false);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const uint32_t p = a.getPixel32(x, y);
            EXPECT_EQ(p, b.getPixel32(x, y));
            for (int shift : {0, 8, 16}) {
                EXPECT_GE((p >> shift) & 0xFF, 10u);
                EXPECT_LE((p >> shift) & 0xFF, 20u);
            }
        }
    }
    // The generator's first values for small seeds (16807^n modulo 2^31 - 1, low
    // byte): seed 1 gives a7 f1 d9 2a..., seed 2 gives 4e e2 b3...; 0 counts as 1 and
    // -1 as 2. Pixels go across rows, red, green, blue; grey takes one value a pixel.
    struct Case {
        int32_t seed;
        int low, high;
        bool grey;
        uint32_t first, second;  // pixels (0, 0) and (1, 0)
    } cases[] = {
        {1, 0, 255, false, 0xFFA7F1D9, 0xFF2A82C8},
        {0, 0, 255, false, 0xFFA7F1D9, 0xFF2A82C8},
        {2, 0, 255, false, 0xFF4EE2B3, 0xFF540590},
        {-1, 0, 255, true, 0xFF4E4E4E, 0xFFE2E2E2},
        {1, 10, 11, false, 0xFF0B0B0B, 0xFF0A0A0A},
        {1, 10, 2, false, 0xFF0A0A0A, 0xFF0A0A0A},  // upside down: low
    };
    for (const Case& c : cases) {
        BitmapPixels n(2, 1, false, 0);
        n.noise(static_cast<uint32_t>(c.seed), c.low, c.high, 7, c.grey);
        EXPECT_EQ(n.getPixel32(0, 0), c.first) << "seed " << c.seed << " range " << c.low << "-" << c.high;
        EXPECT_EQ(n.getPixel32(1, 0), c.second) << "seed " << c.seed << " range " << c.low << "-" << c.high;
    }
}

TEST(BitmapPixels, NoiseWithAlphaReadsBackThroughThePremultiplying)
{
    // Grey and alpha values of seed 128: (214, 247) reads back 213; (68, 28) and
    // (106, 4) lose to the few levels their alpha leaves.
    BitmapPixels n(3, 3, true, 0);
    n.noise(128, 0, 255, 15, true);
    EXPECT_EQ(n.getPixel32(1, 1), 0xF7D5D5D5u);
    EXPECT_EQ(n.getPixel32(2, 0), 0x1C404040u);
    EXPECT_EQ(n.getPixel32(0, 2), 0x047F7F7Fu);
    EXPECT_EQ(n.getPixel32(2, 2), 0x80D5D5D5u);
}

TEST(BitmapPixels, ReadingAPixelWithAlphaUndoesThePremultiplyingInFixedPoint)
{
    // Stored colour, alpha and what getPixel32 gives back, as the reference player
    // reads them: times (65280 / alpha, cut down) plus 127, shifted by 8. 90 under 121
    // is 189 where exact rounding gives 190; 53 under 55 is 246 where cutting the
    // exact quotient down gives 245.
    struct Case {
        uint32_t stored, alpha, read;
    };
    const Case cases[] = {{90, 121, 189}, {53, 55, 246}, {125, 170, 187}, {147, 170, 220}, {38, 91, 106},
                          {60, 55, 255}, {0, 1, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(unpremultiply(c.alpha << 24 | c.stored * 0x010101u), c.alpha << 24 | c.read * 0x010101u)
            << c.stored << " " << c.alpha;
    // setPixel32 then getPixel32 comes back one lower here (the reference's 0xAABBCCDD
    // reads back 0xAABBCCDC).
    BitmapPixels set(1, 1, true, 0);
    set.setPixel32(0, 0, 0xF7D6D6D6u);
    EXPECT_EQ(set.getPixel32(0, 0), 0xF7D5D5D5u);
    set.setPixel32(0, 0, 0xAABBCCDDu);
    EXPECT_EQ(set.getPixel32(0, 0), 0xAABBCCDCu);
}

} // namespace
} // namespace swf::avm1
