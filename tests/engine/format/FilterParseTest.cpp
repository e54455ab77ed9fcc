// Filter records as movies store them: every kind's fields and flag bits, values kept
// to their ranges, and lists that are cut short or name an unknown kind.

#include "engine/format/Error.h"
#include "engine/format/Filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace swf {
namespace {

std::vector<uint8_t> hex(const char* text)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(text + i, 2), nullptr, 16)));
    return out;
}

void appendFloat(std::vector<uint8_t>& out, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

// Little-endian fields as filter records store them.
struct Bytes {
    std::vector<uint8_t> out;
    Bytes& u8(unsigned v)
    {
        out.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& rgba(unsigned r, unsigned g, unsigned b, unsigned a) { return u8(r).u8(g).u8(b).u8(a); }
    Bytes& fixed16(double v)
    {
        const auto bits = static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536)));
        return u8(bits).u8(bits >> 8).u8(bits >> 16).u8(bits >> 24);
    }
    Bytes& fixed8(double v)
    {
        const auto bits = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 256)));
        return u8(bits).u8(bits >> 8);
    }
};

std::vector<Filter> parse(const std::vector<uint8_t>& bytes)
{
    ByteReader r(bytes);
    return readFilterList(r);
}

TEST(FilterParse, GlowAndBevelAsAnAuthoringToolWritesThem)
{
    // A red glow of blur 5, strength 1, one pass, knockout; then a bevel with a red
    // highlight and a blue shadow, blur 10, 45 degrees, distance 10, inner, one pass.
    const auto filters = parse(hex("02"
                                   "02ff0000ff0000050000000500000161"
                                   "03ff3333ff0033ccff00000a0000000a000fc9000000000a000001a1"));
    ASSERT_EQ(filters.size(), 2u);
    const Filter& glow = filters[0];
    EXPECT_EQ(glow.kind, FilterKind::Glow);
    EXPECT_EQ(glow.color, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(glow.blurX, 5);
    EXPECT_EQ(glow.blurY, 5);
    EXPECT_EQ(glow.strength, 1);
    EXPECT_FALSE(glow.inner);
    EXPECT_TRUE(glow.knockout);
    EXPECT_TRUE(glow.compositeSource);
    EXPECT_EQ(glow.passes, 1);

    const Filter& bevel = filters[1];
    EXPECT_EQ(bevel.kind, FilterKind::Bevel);
    EXPECT_EQ(bevel.color, (Rgba{255, 51, 51, 255}));
    EXPECT_EQ(bevel.shadowColor, (Rgba{0, 51, 204, 255}));
    EXPECT_EQ(bevel.blurX, 10);
    EXPECT_NEAR(bevel.angle, M_PI / 4, 1e-4);
    EXPECT_EQ(bevel.distance, 10);
    EXPECT_TRUE(bevel.inner);
    EXPECT_FALSE(bevel.onTop);
    EXPECT_EQ(bevel.passes, 1);
}

TEST(FilterParse, BlurShadowAndGradientFields)
{
    // Blur 30 x 1.5 with three passes; a drop shadow, inner and hiding its object,
    // strength 2.5 and fifteen passes; a gradient glow with two stops.
    Bytes b;
    b.u8(3);
    b.u8(1).fixed16(30).fixed16(1.5).u8(3 << 3);
    b.u8(0).rgba(0, 0, 0, 128).fixed16(4).fixed16(2).fixed16(M_PI / 4).fixed16(3).fixed8(2.5).u8(0x80 | 15);
    b.u8(4).u8(2).rgba(0, 255, 0, 0).rgba(0, 0, 255, 0).u8(255).u8(0);
    b.fixed16(2).fixed16(2).fixed16(0).fixed16(0).fixed8(1).u8(0x80 | 0x20 | 0x10 | 15);
    const auto filters = parse(b.out);
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0].kind, FilterKind::Blur);
    EXPECT_EQ(filters[0].blurX, 30);
    EXPECT_EQ(filters[0].blurY, 1.5);
    EXPECT_EQ(filters[0].passes, 3);

    const Filter& shadow = filters[1];
    EXPECT_EQ(shadow.kind, FilterKind::DropShadow);
    EXPECT_EQ(shadow.color, (Rgba{0, 0, 0, 128}));
    EXPECT_EQ(shadow.blurX, 4);
    EXPECT_EQ(shadow.blurY, 2);
    EXPECT_NEAR(shadow.angle, M_PI / 4, 1e-4);
    EXPECT_EQ(shadow.distance, 3);
    EXPECT_EQ(shadow.strength, 2.5);
    EXPECT_TRUE(shadow.inner);
    EXPECT_FALSE(shadow.knockout);
    EXPECT_FALSE(shadow.compositeSource);
    EXPECT_EQ(shadow.passes, 15);

    const Filter& ramp = filters[2];
    EXPECT_EQ(ramp.kind, FilterKind::GradientGlow);
    ASSERT_EQ(ramp.gradient.size(), 2u);
    EXPECT_EQ(ramp.gradient[0].color, (Rgba{0, 255, 0, 0}));
    EXPECT_EQ(ramp.gradient[1].color, (Rgba{0, 0, 255, 0}));
    EXPECT_EQ(ramp.gradient[0].ratio, 255);
    EXPECT_EQ(ramp.gradient[1].ratio, 0);
    EXPECT_EQ(ramp.blurX, 2);
    EXPECT_TRUE(ramp.inner);
    EXPECT_TRUE(ramp.compositeSource);
    EXPECT_TRUE(ramp.onTop);
    EXPECT_EQ(ramp.passes, 15);
}

TEST(FilterParse, ColourMatrixAndConvolution)
{
    std::vector<uint8_t> bytes{2, 6};
    for (int i = 0; i < 20; ++i)
        appendFloat(bytes, float(i));
    bytes.insert(bytes.end(), {5, 2, 1});
    appendFloat(bytes, 4);    // divisor
    appendFloat(bytes, -1);   // bias
    appendFloat(bytes, 0.5f);
    appendFloat(bytes, 2);
    bytes.insert(bytes.end(), {10, 20, 30, 40, 0x02});
    const auto filters = parse(bytes);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].kind, FilterKind::ColorMatrix);
    EXPECT_EQ(filters[0].colorMatrix[19], 19);
    const Filter& conv = filters[1];
    EXPECT_EQ(conv.kind, FilterKind::Convolution);
    EXPECT_EQ(conv.matrixX, 2);
    EXPECT_EQ(conv.matrixY, 1);
    EXPECT_EQ(conv.divisor, 4);
    EXPECT_EQ(conv.bias, -1);
    EXPECT_EQ(conv.matrix, (std::vector<float>{0.5f, 2}));
    EXPECT_EQ(conv.defaultColor, (Rgba{10, 20, 30, 40}));
    EXPECT_TRUE(conv.clamp);
    EXPECT_FALSE(conv.preserveAlpha);
}

TEST(FilterParse, OutOfRangeValuesAreKeptToTheirRanges)
{
    Bytes b;
    b.u8(2);
    b.u8(1).fixed16(-3).fixed16(1000).u8(1 << 3);
    b.u8(2).rgba(255, 255, 255, 255).fixed16(0).fixed16(0).fixed8(-2).u8(1);
    const auto filters = parse(b.out);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].blurX, 0);
    EXPECT_EQ(filters[0].blurY, 255);
    EXPECT_EQ(filters[1].strength, 0);  // a negative strength counts as none
}

TEST(FilterParse, BadListsAreFormatErrors)
{
    EXPECT_THROW(parse(hex("0109")), FormatError);                  // unknown kind
    EXPECT_THROW(parse(hex("02010000010000000100")), FormatError);  // second filter missing
    EXPECT_THROW(parse(hex("0105ffff")), FormatError);              // a 255 x 255 kernel promised
    EXPECT_TRUE(parse(hex("00")).empty());
}

} // namespace
} // namespace swf
