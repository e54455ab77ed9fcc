// Filter arithmetic on small surfaces with known results: the box blur's kernel and
// its passes, shadows and glows with inner, knockout and hide-object, bevel sides,
// gradient ramps, colour matrix, convolution edges, and how far each filter reaches.

#include "engine/render/FilterBlur.h"
#include "engine/render/Filters.h"

#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <memory>
#include <numeric>
#include <vector>

namespace {

using namespace swf;
using namespace swf::render;

QImage surface(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// An opaque square of `color` at [x0, x1) x [y0, y1).
void fillSquare(QImage& image, int x0, int y0, int x1, int y1, QRgb color)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            image.setPixel(x, y, color);
}

Filter glow(Rgba color, double blur, bool inner = false, bool knockout = false)
{
    Filter f;
    f.kind = FilterKind::Glow;
    f.color = color;
    f.blurX = f.blurY = blur;
    f.inner = inner;
    f.knockout = knockout;
    return f;
}

TEST(BoxBlur, KernelWidthFollowsTheSize)
{
    struct Case {
        double size;
        int radius, edge, reach;
    } cases[] = {
        {0, 0, 0, 0},      {1, 0, 0, 0},   {2, 0, 128, 1}, {3, 1, 0, 1},
        {4, 1, 128, 2},    {5, 2, 0, 2},   {30, 14, 128, 15},
        {1000, 127, 0, 127},  // kept to 255 pixels
        {-4, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const BoxKernel k = boxKernelFor(c.size);
        EXPECT_EQ(k.radius, c.radius) << c.size;
        EXPECT_EQ(k.edgeWeight, c.edge) << c.size;
        EXPECT_EQ(k.reach(), c.reach) << c.size;
    }
    EXPECT_EQ(blurReach(5, 3), 6);
    EXPECT_EQ(blurReach(5, 0), 0);
}

TEST(BoxBlur, StageScaleGrowsTheBoxBeyondItsCentrePixel)
{
    struct Case {
        double size, scale, device;
    } cases[] = {
        {1, 2, 0},  {0.5, 4, 0}, {-3, 2, 0},  // no blur stays none
        {2, 2, 3},  {5, 2, 9},   {5, 1, 5}, {20, 0.5, 10.5},
        {std::nan(""), 2, 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(deviceBlurSize(c.size, c.scale), c.device) << c.size << " x " << c.scale;
}

TEST(BoxBlur, OnePassSpreadsAPixelEvenlyAndTruncates)
{
    // A single full pixel through a box 5 wide: a fifth of it on each of five pixels.
    std::vector<uint8_t> line(11, 0);
    line[5] = 255;
    boxBlur(line, 11, 1, 11, 1, 5, 0, 1);
    EXPECT_EQ(line, (std::vector<uint8_t>{0, 0, 0, 51, 51, 51, 51, 51, 0, 0, 0}));

    // Width 4: three full pixels and half a pixel at each end, 255 * 256 / 1024 = 63.75.
    std::vector<uint8_t> even(9, 0);
    even[4] = 255;
    boxBlur(even, 9, 1, 9, 1, 4, 0, 1);
    EXPECT_EQ(even, (std::vector<uint8_t>{0, 0, 31, 63, 63, 63, 31, 0, 0}));
}

TEST(BoxBlur, PassesWidenTowardsABellAndKeepFlatAreasFlat)
{
    std::vector<uint8_t> line(21, 0);
    line[10] = 255;
    boxBlur(line, 21, 1, 21, 1, 3, 0, 3);
    // Three passes of a box 3 wide reach three pixels each way, peak in the middle,
    // and fall off symmetrically.
    EXPECT_EQ(line[6], 0);
    EXPECT_GT(line[7], 0);
    EXPECT_GT(line[10], line[9]);
    EXPECT_GT(line[9], line[8]);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(line[size_t(i)], line[size_t(20 - i)]) << i;
    // Truncation loses a little but never adds.
    const int total = std::accumulate(line.begin(), line.end(), 0);
    EXPECT_LE(total, 255);
    EXPECT_GE(total, 245);

    std::vector<uint8_t> flat(7 * 7, 200);
    boxBlur(flat, 7, 7, 7, 1, 3, 3, 2);
    EXPECT_EQ(flat[3 * 7 + 3], 200);  // the middle sees only the flat area
    EXPECT_LT(flat[0], 200);          // the corner sees the empty outside
}

TEST(BoxBlur, BlursDownAsWellAsAcrossAndRefusesBadGeometry)
{
    std::vector<uint8_t> plane(5 * 5, 0);
    plane[2 * 5 + 2] = 255;
    boxBlur(plane, 5, 5, 5, 1, 3, 3, 1);
    EXPECT_EQ(plane[1 * 5 + 1], 28);  // 255 / 9, truncated
    EXPECT_EQ(plane[2 * 5 + 2], 28);
    EXPECT_EQ(plane[0], 0);

    std::vector<uint8_t> tiny(4, 9);
    boxBlur(tiny, 5, 5, 5, 1, 3, 3, 1);  // claims more than it holds: left alone
    EXPECT_EQ(tiny, (std::vector<uint8_t>(4, 9)));
}

// The blur written the plain way, one value at a time: each pass across every row,
// then each pass down every column, zero outside, sums divided and truncated.
void plainBoxBlur(std::vector<uint8_t>& pixels, int width, int height, int channels, double sizeX, double sizeY,
                  int passes)
{
    auto run = [&](const BoxKernel& box, bool acrossRows) {
        const int lines = acrossRows ? height : width, length = acrossRows ? width : height;
        const int divisor = 256 * (2 * box.radius + 1) + 2 * box.edgeWeight;
        for (int line = 0; line < lines; ++line) {
            for (int c = 0; c < channels; ++c) {
                auto at = [&](int i) -> uint8_t& {
                    const int x = acrossRows ? i : line, y = acrossRows ? line : i;
                    return pixels[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
                };
                std::vector<int> in(static_cast<size_t>(length));
                for (int i = 0; i < length; ++i)
                    in[size_t(i)] = at(i);
                auto value = [&](int i) { return i >= 0 && i < length ? in[size_t(i)] : 0; };
                for (int i = 0; i < length; ++i) {
                    int n = 0;
                    for (int j = i - box.radius; j <= i + box.radius; ++j)
                        n += 256 * value(j);
                    n += box.edgeWeight * (value(i - box.radius - 1) + value(i + box.radius + 1));
                    at(i) = static_cast<uint8_t>(n / divisor);
                }
            }
        }
    };
    const BoxKernel across = boxKernelFor(sizeX), down = boxKernelFor(sizeY);
    if (!across.identity())
        for (int p = 0; p < passes; ++p)
            run(across, true);
    if (!down.identity())
        for (int p = 0; p < passes; ++p)
            run(down, false);
}

TEST(BoxBlur, MatchesThePlainSumOnNoiseForEveryShapeOfProblem)
{
    // Sizes with and without a part pixel at the ends, windows wider than the image,
    // one to several passes, alpha planes and ARGB pixels, odd widths.
    struct Case {
        int width, height, channels;
        double sizeX, sizeY;
        int passes;
    } cases[] = {
        {37, 23, 4, 16, 16, 3}, {37, 23, 1, 16, 16, 3}, {5, 40, 4, 30, 2, 2},  {40, 5, 1, 2, 30, 2},
        {1, 1, 4, 9, 9, 4},     {64, 3, 4, 255, 7.5, 1}, {17, 19, 1, 3, 0, 15}, {19, 17, 4, 0, 4.25, 2},
        {3, 50, 1, 100, 100, 3},
    };
    uint32_t seed = 12345;
    auto random = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 23);
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> pixels(size_t(c.width) * size_t(c.height) * size_t(c.channels));
        for (uint8_t& v : pixels)
            v = random() > 100 ? random() : 255;  // flat runs at the top of the range as well as noise
        std::vector<uint8_t> expected = pixels;
        plainBoxBlur(expected, c.width, c.height, c.channels, c.sizeX, c.sizeY, c.passes);
        boxBlur(pixels, c.width, c.height, c.width * c.channels, c.channels, c.sizeX, c.sizeY, c.passes);
        EXPECT_EQ(pixels, expected) << c.width << "x" << c.height << "x" << c.channels << " sizes " << c.sizeX << ","
                                    << c.sizeY << " passes " << c.passes;
    }
}

TEST(BoxBlur, QuotientsOnTheEdgeOfAWholeNumberComeOutExactForEveryKernel)
{
    // The window's sum divided by the kernel's weight is truncated; the sums that are
    // a whole multiple of the weight, and those one step short of the next multiple,
    // are where a division done by multiplying goes wrong. Each row puts such a sum
    // under its middle pixel; each kernel up to a radius past where the arithmetic
    // changes is run once, on enough rows to fill the vector loops.
    for (int radius = 0; radius <= 26; ++radius) {
        const int w = 2 * radius + 1, width = w + 2, middle = radius + 1;
        for (int edge = radius == 0 ? 1 : 0; edge < 256; ++edge) {
            const int d = 256 * w + 2 * edge;
            std::vector<std::vector<uint8_t>> rows;
            std::vector<int> quotients;
            // Even rows: every pixel v, a sum of exactly v times the weight.
            for (int v = 0; v < 256; v += 3) {
                rows.emplace_back(size_t(width), uint8_t(v));
                quotients.push_back(v);
            }
            // The largest sum below (q + 1) times the weight that the window can hold.
            for (int q : {0, 1, 99, 127, 128, 200, 253, 254}) {
                long best = -1, bestOuter = 0;
                for (int outer = 0; outer <= 510; ++outer) {
                    const long inner = (long(q + 1) * d - 1 - long(edge) * outer) / 256;
                    if (inner < 0 || inner > 255L * w)
                        continue;
                    const long n = 256 * inner + long(edge) * outer;
                    if (n > best) {
                        best = n;
                        bestOuter = outer;
                    }
                }
                if (best < 0)
                    continue;
                std::vector<uint8_t> row(size_t(width), 0);
                row.front() = uint8_t(std::min(255L, bestOuter));
                row.back() = uint8_t(bestOuter - row.front());
                long inner = (best - long(edge) * bestOuter) / 256;
                for (int x = 1; x <= w; ++x) {
                    row[size_t(x)] = uint8_t(std::min(255L, inner));
                    inner -= row[size_t(x)];
                }
                rows.push_back(row);
                quotients.push_back(int(best / d));
            }
            std::vector<uint8_t> pixels;
            for (const auto& row : rows)
                pixels.insert(pixels.end(), row.begin(), row.end());
            const double size = 1 + 2 * (radius + edge / 256.0);
            ASSERT_EQ(boxKernelFor(size).edgeWeight, edge);
            boxBlur(pixels, width, int(rows.size()), width, 1, size, 0, 1);
            for (size_t i = 0; i < rows.size(); ++i)
                ASSERT_EQ(pixels[i * size_t(width) + size_t(middle)], quotients[i])
                    << "radius " << radius << " edge " << edge << " row " << i;
        }
    }
}

TEST(BoxBlur, RowsApartFromTheirWidthKeepTheGapUntouched)
{
    // A surface whose rows are padded: the padding is not image and stays as it was.
    const int width = 6, height = 5, stride = 8;
    std::vector<uint8_t> plane(size_t(stride) * height, 77);
    std::vector<uint8_t> packed(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            plane[size_t(y * stride + x)] = packed[size_t(y * width + x)] = static_cast<uint8_t>((x * 40 + y * 13) % 256);
    boxBlur(plane, width, height, stride, 1, 3, 5, 2);
    boxBlur(packed, width, height, width, 1, 3, 5, 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(plane[size_t(y * stride + x)], packed[size_t(y * width + x)]) << x << "," << y;
        EXPECT_EQ(plane[size_t(y * stride + 6)], 77);
        EXPECT_EQ(plane[size_t(y * stride + 7)], 77);
    }
}

TEST(ShadowFilters, OuterGlowSurroundsTheObjectAndLeavesItAlone)
{
    QImage s = surface(21, 21);
    fillSquare(s, 8, 8, 13, 13, qRgba(0, 0, 255, 255));
    applyFilter(s, glow({255, 0, 0, 255}, 5), {});
    EXPECT_EQ(s.pixel(10, 10), qRgba(0, 0, 255, 255));
    // Just outside the left edge: two of the five pixels of the box across are
    // covered (and all five down), in the glow colour.
    const QRgb edge = s.pixel(7, 10);
    EXPECT_EQ(qRed(edge), qAlpha(edge));
    EXPECT_EQ(qBlue(edge), 0);
    EXPECT_EQ(qAlpha(edge), 102);
    EXPECT_EQ(qAlpha(s.pixel(6, 10)), 51);
    EXPECT_EQ(qAlpha(s.pixel(5, 10)), 0);
    EXPECT_EQ(qAlpha(s.pixel(7, 7)), 40);  // 2/5 across times 2/5 down
}

TEST(ShadowFilters, StrengthScalesAndClampsTheCoverage)
{
    QImage weak = surface(21, 21), strong = surface(21, 21);
    fillSquare(weak, 8, 8, 13, 13, qRgba(255, 255, 255, 255));
    fillSquare(strong, 8, 8, 13, 13, qRgba(255, 255, 255, 255));
    Filter f = glow({255, 0, 0, 255}, 5);
    f.strength = 3;
    applyFilter(strong, f, {});
    applyFilter(weak, glow({255, 0, 0, 255}, 5), {});
    EXPECT_EQ(qAlpha(weak.pixel(6, 10)), 51);
    EXPECT_EQ(qAlpha(strong.pixel(6, 10)), 153);
    EXPECT_EQ(qAlpha(strong.pixel(7, 10)), 255);  // 3 x 102 is kept to full
}

TEST(ShadowFilters, KnockoutInnerAndHiddenObject)
{
    auto run = [](Filter f) {
        QImage s = surface(21, 21);
        fillSquare(s, 5, 5, 16, 16, qRgba(0, 0, 255, 255));
        applyFilter(s, f, {});
        return s;
    };
    const Rgba red{255, 0, 0, 255};
    // Knockout: the glow round the object with the object cut out.
    QImage knocked = run(glow(red, 5, false, true));
    EXPECT_EQ(knocked.pixel(10, 10), 0u);
    EXPECT_EQ(qRed(knocked.pixel(4, 10)), qAlpha(knocked.pixel(4, 10)));
    EXPECT_GT(qAlpha(knocked.pixel(4, 10)), 0);

    // Inner: red along the inside of the edge over the object, the middle untouched,
    // nothing outside.
    QImage inner = run(glow(red, 5, true));
    EXPECT_EQ(inner.pixel(10, 10), qRgba(0, 0, 255, 255));
    EXPECT_GT(qRed(inner.pixel(5, 10)), 0);
    EXPECT_EQ(qAlpha(inner.pixel(5, 10)), 255);
    EXPECT_EQ(inner.pixel(3, 10), 0u);

    // Inner knockout: only the inner glow, fading to nothing in the middle.
    QImage innerKnocked = run(glow(red, 5, true, true));
    EXPECT_EQ(qAlpha(innerKnocked.pixel(10, 10)), 0);
    EXPECT_EQ(qBlue(innerKnocked.pixel(5, 10)), 0);
    EXPECT_GT(qAlpha(innerKnocked.pixel(5, 10)), 0);

    // A drop shadow that hides its object: the whole shadow, moved, and no object.
    Filter shadow;
    shadow.kind = FilterKind::DropShadow;
    shadow.color = {0, 0, 0, 255};
    shadow.distance = 3;
    shadow.angle = 0;  // to the right
    shadow.compositeSource = false;
    QImage hidden = run(shadow);
    EXPECT_EQ(hidden.pixel(6, 10), 0u);                // left edge of the object: nothing
    EXPECT_EQ(hidden.pixel(10, 10), qRgba(0, 0, 0, 255));  // shadow under the middle
    EXPECT_EQ(hidden.pixel(17, 10), qRgba(0, 0, 0, 255));  // and past the right edge
    EXPECT_EQ(hidden.pixel(19, 10), 0u);
}

TEST(ShadowFilters, ShadowColourAlphaAndGradientRamp)
{
    QImage s = surface(9, 9);
    fillSquare(s, 0, 0, 3, 9, qRgba(255, 255, 255, 255));
    Filter f;
    f.kind = FilterKind::DropShadow;
    f.color = {0, 0, 255, 128};
    f.distance = 4;
    applyFilter(s, f, {});
    EXPECT_EQ(s.pixel(5, 4), qRgba(0, 0, 128, 128));  // half-alpha blue, unblurred

    // A gradient glow's colour is the ramp at the coverage: black at none, green at full.
    QImage g = surface(9, 9);
    fillSquare(g, 0, 0, 3, 9, qRgba(255, 255, 255, 255));
    Filter ramp;
    ramp.kind = FilterKind::GradientGlow;
    ramp.gradient = {{{0, 0, 0, 0}, 0}, {{0, 255, 0, 255}, 255}};
    ramp.blurX = 3;
    applyFilter(g, ramp, {});
    // A third of the box covered: the ramp's colour a third of the way, premultiplied.
    EXPECT_EQ(g.pixel(3, 4), qRgba(0, 28, 0, 85));
}

TEST(BevelFilters, HighlightFacesTheLightAndShadowTheOtherSide)
{
    auto run = [](bool inner, bool onTop, bool knockout) {
        QImage s = surface(30, 30);
        fillSquare(s, 10, 10, 20, 20, qRgba(128, 128, 128, 255));
        Filter f;
        f.kind = FilterKind::Bevel;
        f.color = {255, 0, 0, 255};       // highlight
        f.shadowColor = {0, 0, 255, 255};  // shadow
        f.angle = 0.785398;                // light from the top left
        f.distance = 2;
        f.blurX = f.blurY = 3;
        f.inner = inner;
        f.onTop = onTop;
        f.knockout = knockout;
        applyFilter(s, f, {});
        return s;
    };
    const QImage inner = run(true, false, false);
    EXPECT_GT(qRed(inner.pixel(10, 10)), 200);   // top left inside: highlight
    EXPECT_GT(qBlue(inner.pixel(19, 19)), 200);  // bottom right inside: shadow
    EXPECT_EQ(inner.pixel(15, 15), qRgba(128, 128, 128, 255));
    EXPECT_EQ(inner.pixel(7, 7), 0u);  // nothing outside

    const QImage outer = run(false, false, false);
    EXPECT_EQ(outer.pixel(12, 12), qRgba(128, 128, 128, 255));  // object on top
    EXPECT_GT(qAlpha(outer.pixel(21, 21)), 0);                  // shadow outside
    EXPECT_GT(qBlue(outer.pixel(21, 21)), qRed(outer.pixel(21, 21)));
    EXPECT_GT(qRed(outer.pixel(8, 8)), qBlue(outer.pixel(8, 8)));

    const QImage full = run(false, true, true);
    EXPECT_EQ(qAlpha(full.pixel(15, 15)), 0);  // knocked out, and flat in the middle
    EXPECT_GT(qAlpha(full.pixel(10, 10)), 0);
    EXPECT_GT(qAlpha(full.pixel(8, 8)), 0);
}

// A partly clear object: an outer bevel lies beneath it once (what shows through is
// what the knocked-out bevel alone shows), and an inner bevel or glow lies atop it,
// never adding to its coverage.
TEST(BevelFilters, APartlyClearObjectShowsTheOuterBevelBeneathItAndKeepsItsCoverageUnderInnerOnes)
{
    const QRgb halfClear = qRgba(40, 60, 80, 128);
    auto run = [&](FilterKind kind, bool inner, bool knockout) {
        QImage s = surface(30, 30);
        fillSquare(s, 10, 10, 20, 20, halfClear);
        Filter f;
        f.kind = kind;
        f.color = {255, 0, 0, 255};
        f.shadowColor = {0, 0, 255, 255};
        f.angle = 0.785398;
        f.distance = 2;
        f.blurX = f.blurY = 3;
        f.inner = inner;
        f.knockout = knockout;
        applyFilter(s, f, {});
        return s;
    };
    const QImage outer = run(FilterKind::Bevel, false, false);
    const QImage outerAlone = run(FilterKind::Bevel, false, true);
    int showing = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 10 && x < 20 && y >= 10 && y < 20;
            const QRgb object = inside ? halfClear : 0u;
            const QRgb alone = outerAlone.pixel(x, y);
            const QRgb both = outer.pixel(x, y);
            ASSERT_EQ(qRed(both), qRed(object) + qRed(alone)) << x << "," << y;
            ASSERT_EQ(qBlue(both), qBlue(object) + qBlue(alone)) << x << "," << y;
            ASSERT_EQ(qAlpha(both), qAlpha(object) + qAlpha(alone)) << x << "," << y;
            showing += inside && qAlpha(alone) > 0;
        }
    }
    EXPECT_GT(showing, 0);  // the bevel does show through the object

    for (FilterKind kind : {FilterKind::Bevel, FilterKind::Glow}) {
        const QImage inner = run(kind, true, false);
        EXPECT_GT(qRed(inner.pixel(10, 10)), qRed(halfClear));  // lit inside the top-left edge
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) {
                const bool inside = x >= 10 && x < 20 && y >= 10 && y < 20;
                ASSERT_NEAR(qAlpha(inner.pixel(x, y)), inside ? 128 : 0, 1) << x << "," << y;
            }
    }
}

TEST(ColorFilters, MatrixWorksOnStraightColour)
{
    QImage s = surface(2, 1);
    s.setPixel(0, 0, qPremultiply(qRgba(200, 100, 50, 128)));
    s.setPixel(1, 0, 0);
    Filter f;
    f.kind = FilterKind::ColorMatrix;
    // Swap red and blue, add 10 to green, alpha to 255.
    f.colorMatrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 255};
    applyFilter(s, f, {});
    const QRgb out = qUnpremultiply(s.pixel(0, 0));
    EXPECT_EQ(qAlpha(out), 255);
    EXPECT_NEAR(qRed(out), 50, 2);
    EXPECT_NEAR(qGreen(out), 110, 2);
    EXPECT_NEAR(qBlue(out), 200, 2);
    EXPECT_EQ(s.pixel(1, 0), qRgba(0, 10, 0, 255));  // empty pixels count too
}

TEST(DisplacementFilter, MapMovesPixelsAndEachModeTreatsTheOutside)
{
    // Four pixels in a row; the map's red moves each across: 129 one right, 125 three
    // left (off the surface), 128 not at all, 131 three right (off it).
    const QRgb p[4] = {qRgba(255, 0, 0, 255), qRgba(0, 255, 0, 255), qRgba(0, 0, 255, 255), qRgba(9, 9, 9, 255)};
    const QRgb fill = qPremultiply(qRgba(200, 0, 0, 128));
    auto map = std::make_shared<BitmapData>();
    map->width = 4;
    map->height = 1;
    for (int red : {129, 125, 128, 131})
        map->pixels.push_back(0xFF000000u | uint32_t(red) << 16);
    struct Case {
        DisplacementMode mode;
        int mapPointX;
        std::array<QRgb, 4> expected;
    } cases[] = {
        {DisplacementMode::Wrap, 0, {p[1], p[2], p[2], p[2]}},
        {DisplacementMode::Clamp, 0, {p[1], p[0], p[2], p[3]}},
        {DisplacementMode::Ignore, 0, {p[1], p[1], p[2], p[3]}},
        {DisplacementMode::Color, 0, {p[1], fill, p[2], fill}},
        // Laid one pixel on: the first pixel has no map and stays, the rest read the
        // map's first three.
        {DisplacementMode::Clamp, 1, {p[0], p[2], p[0], p[3]}},
    };
    for (const Case& c : cases) {
        QImage s = surface(4, 1);
        for (int x = 0; x < 4; ++x)
            s.setPixel(x, 0, p[x]);
        Filter f;
        f.kind = FilterKind::DisplacementMap;
        f.displacementMap = map;
        f.componentX = 1;
        f.componentY = 4;  // blue is 0, but a scale of 0 keeps rows still
        f.scaleX = 256;
        f.scaleY = 0;
        f.mapPointX = c.mapPointX;
        f.displacementMode = c.mode;
        f.color = {200, 0, 0, 128};
        applyFilter(s, f, {});
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(s.pixel(x, 0), c.expected[size_t(x)]) << int(c.mode) << " point " << c.mapPointX << " x " << x;
    }
}

TEST(ColorFilters, ConvolutionEdgesDivisorAndAlpha)
{
    auto run = [](bool clamp, bool preserveAlpha, float divisor) {
        QImage s = surface(3, 1);
        s.setPixel(0, 0, qRgba(90, 90, 90, 255));
        s.setPixel(1, 0, qRgba(30, 30, 30, 255));
        s.setPixel(2, 0, qRgba(60, 60, 60, 255));
        Filter f;
        f.kind = FilterKind::Convolution;
        f.matrixX = 3;
        f.matrixY = 1;
        f.matrix = {1, 1, 1};
        f.divisor = divisor;
        f.clamp = clamp;
        f.preserveAlpha = preserveAlpha;
        f.defaultColor = {255, 0, 0, 0};
        applyFilter(s, f, {});
        return s;
    };
    // Clamped: the edge pixel repeats beyond the edge.
    QImage clamped = run(true, true, 3);
    EXPECT_EQ(qRed(clamped.pixel(0, 0)), 70);  // (90 + 90 + 30) / 3
    EXPECT_EQ(qRed(clamped.pixel(1, 0)), 60);
    // Not clamped: the default colour lies outside.
    QImage outside = run(false, true, 3);
    EXPECT_EQ(qRed(qUnpremultiply(outside.pixel(0, 0))), 125);  // (255 + 90 + 30) / 3
    EXPECT_EQ(qAlpha(outside.pixel(0, 0)), 255);                // alpha kept
    // Alpha convolved too: the outside's alpha 0 thins the edge.
    QImage thin = run(false, false, 3);
    EXPECT_EQ(qAlpha(thin.pixel(0, 0)), 170);
    // A divisor of 0 divides by one.
    QImage sum = run(true, true, 0);
    EXPECT_EQ(qRed(sum.pixel(1, 0)), 180);
}

TEST(FilterReach, GrowsBySpreadOffsetAndStageScale)
{
    Filter blur;
    blur.kind = FilterKind::Blur;
    blur.blurX = 5;
    blur.blurY = 3;
    blur.passes = 2;
    EXPECT_EQ(filterReach(blur, {}), (FilterReach{4, 2, 4, 2}));
    EXPECT_EQ(filterReach(blur, {2, 2}), (FilterReach{8, 4, 8, 4}));  // sizes 9 and 5

    Filter shadow;
    shadow.kind = FilterKind::DropShadow;
    shadow.distance = 4;
    shadow.angle = 0;
    EXPECT_EQ(filterReach(shadow, {}), (FilterReach{0, 0, 4, 0}));
    shadow.inner = true;
    EXPECT_EQ(filterReach(shadow, {}), FilterReach{});

    const std::vector<Filter> both{blur, glow({}, 3)};
    EXPECT_EQ(filterReach(both, {}), (FilterReach{5, 3, 5, 3}));
}

TEST(FilterSafety, OddSurfacesAndHostileValuesAreHarmless)
{
    QImage empty;
    Filter f = glow({255, 0, 0, 255}, 255);
    f.strength = 255;
    f.passes = 31;
    applyFilter(empty, f, {});  // nothing to do, no crash
    QImage wrongFormat(4, 4, QImage::Format_RGB32);
    wrongFormat.fill(Qt::white);
    applyFilter(wrongFormat, f, {});
    EXPECT_EQ(wrongFormat.pixel(0, 0), qRgb(255, 255, 255));

    QImage s = surface(8, 8);
    fillSquare(s, 2, 2, 6, 6, qRgba(255, 255, 255, 255));
    Filter bad;
    bad.kind = FilterKind::DropShadow;
    bad.distance = std::numeric_limits<double>::infinity();
    bad.angle = std::numeric_limits<double>::quiet_NaN();
    bad.blurX = std::numeric_limits<double>::quiet_NaN();
    applyFilter(s, bad, {});
    EXPECT_EQ(s.pixel(3, 3), qRgba(255, 255, 255, 255));

    // A strength that is not a number counts as none; a thousand passes run as 15.
    Filter nanGlow = glow({255, 0, 0, 255}, 3);
    nanGlow.strength = std::numeric_limits<double>::quiet_NaN();
    nanGlow.passes = 1000;
    QImage g = surface(8, 8);
    fillSquare(g, 2, 2, 6, 6, qRgba(255, 255, 255, 255));
    applyFilter(g, nanGlow, {});
    EXPECT_EQ(g.pixel(1, 3), 0u);
    EXPECT_EQ(g.pixel(3, 3), qRgba(255, 255, 255, 255));

    Filter conv;
    conv.kind = FilterKind::Convolution;
    conv.matrixX = 3;
    conv.matrixY = 3;
    conv.matrix = {1, 2};  // does not match its size: left alone
    applyFilter(s, conv, {});
    EXPECT_EQ(s.pixel(3, 3), qRgba(255, 255, 255, 255));
}

} // namespace
