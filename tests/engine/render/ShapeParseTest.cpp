// Parsing of DefineShape 1-4: styles, records, index resolution and malformed input.

#include "engine/format/Shape.h"
#include "tests/support/ShapeWriter.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace swf;
using lanfan::test::BitWriter;
using lanfan::test::GradientSpec;
using lanfan::test::RecordWriter;
using lanfan::test::ShapeFlags;
using lanfan::test::StyleArrays;
using lanfan::test::buildShape;
using lanfan::test::encodeShape;

const Rect kBounds{0, 2000, 0, 2000};

std::shared_ptr<const ShapeDef> parseBytes(int tagCode, const std::vector<uint8_t>& bytes)
{
    ByteReader reader(bytes);
    return parseDefineShape(tagCode, reader);
}

TEST(ShapeParse, EdgeKindsBecomeAbsoluteRecords)
{
    StyleArrays styles(2);
    uint32_t red = styles.solid({255, 0, 0, 255});
    RecordWriter records;
    records.moveTo(100, 200).fill1(red);
    records.lineTo(600, 200);            // horizontal
    records.lineTo(600, 900);            // vertical
    records.lineTo(-300, -50);           // general
    records.curveTo(0, 1000, 100, 200);  // curve back to the start

    auto shape = buildShape(2, kBounds, styles, records);
    ASSERT_EQ(shape->records.size(), 5u);
    const ShapeRecord& move = shape->records[0];
    EXPECT_EQ(move.kind, ShapeRecordKind::StyleChange);
    EXPECT_TRUE(move.movesTo);
    EXPECT_EQ(move.to, (Point{100, 200}));
    EXPECT_TRUE(move.setsFill1);
    EXPECT_EQ(move.fill1, 1u);
    EXPECT_FALSE(move.setsFill0);

    EXPECT_EQ(shape->records[1].kind, ShapeRecordKind::StraightEdge);
    EXPECT_EQ(shape->records[1].to, (Point{600, 200}));
    EXPECT_EQ(shape->records[2].to, (Point{600, 900}));
    EXPECT_EQ(shape->records[3].to, (Point{-300, -50}));
    EXPECT_EQ(shape->records[4].kind, ShapeRecordKind::CurvedEdge);
    EXPECT_EQ(shape->records[4].control, (Point{0, 1000}));
    EXPECT_EQ(shape->records[4].to, (Point{100, 200}));
    EXPECT_EQ(shapeBounds(*shape), kBounds);
}

TEST(ShapeParse, ColourFormatFollowsTheTagVersion)
{
    for (int tag : {2, 22}) {
        StyleArrays styles(tag);
        styles.solid({10, 20, 30, 40});  // alpha is not written in RGB tags
        styles.line(40, {1, 2, 3, 4});
        auto shape = buildShape(tag, kBounds, styles, RecordWriter{});
        EXPECT_EQ(shape->fillStyles.at(0).color, (Rgba{10, 20, 30, 255})) << tag;
        EXPECT_EQ(shape->lineStyles.at(0).color, (Rgba{1, 2, 3, 255})) << tag;
        EXPECT_EQ(shape->lineStyles.at(0).width, 40);
    }
    StyleArrays styles(32);
    styles.solid({10, 20, 30, 40});
    auto shape = buildShape(32, kBounds, styles, RecordWriter{});
    EXPECT_EQ(shape->fillStyles.at(0).color, (Rgba{10, 20, 30, 40}));
}

TEST(ShapeParse, GradientAndBitmapFills)
{
    StyleArrays styles(83);
    GradientSpec g;
    g.matrix = {0.5, 0, 0, 0.25, 100, -200};
    g.stops = {{0, {255, 0, 0, 255}}, {128, {0, 255, 0, 128}}, {255, {0, 0, 255, 255}}};
    g.spread = SpreadMode::Reflect;
    g.interpolation = GradientInterpolation::LinearRgb;
    styles.linear(g);
    g.spread = SpreadMode::Repeat;
    g.interpolation = GradientInterpolation::Normal;
    styles.radial(g);
    styles.focal(g, -0.5);
    styles.bitmap(7, {20, 0, 0, 20, 0, 0}, false, false);
    styles.bitmap(8, {}, true, true);
    auto shape = buildShape(83, kBounds, styles, RecordWriter{});
    ASSERT_EQ(shape->fillStyles.size(), 5u);

    const FillStyle& linear = shape->fillStyles[0];
    EXPECT_EQ(linear.kind, FillKind::LinearGradient);
    EXPECT_EQ(linear.gradient.matrix, g.matrix);
    EXPECT_EQ(linear.gradient.spread, SpreadMode::Reflect);
    EXPECT_EQ(linear.gradient.interpolation, GradientInterpolation::LinearRgb);
    EXPECT_EQ(linear.gradient.stops, g.stops);

    EXPECT_EQ(shape->fillStyles[1].kind, FillKind::RadialGradient);
    EXPECT_EQ(shape->fillStyles[1].gradient.spread, SpreadMode::Repeat);
    EXPECT_EQ(shape->fillStyles[2].kind, FillKind::FocalGradient);
    EXPECT_DOUBLE_EQ(shape->fillStyles[2].gradient.focalPoint, -0.5);

    const FillStyle& clipped = shape->fillStyles[3];
    EXPECT_EQ(clipped.kind, FillKind::Bitmap);
    EXPECT_EQ(clipped.bitmapId, 7);
    EXPECT_FALSE(clipped.bitmapRepeats);
    EXPECT_FALSE(clipped.bitmapSmoothed);
    EXPECT_DOUBLE_EQ(clipped.bitmapMatrix.a, 20);
    EXPECT_TRUE(shape->fillStyles[4].bitmapRepeats);
    EXPECT_TRUE(shape->fillStyles[4].bitmapSmoothed);
}

TEST(ShapeParse, DefineShape4EdgeBoundsFlagsAndLineStyle2)
{
    StyleArrays styles(83);
    LineStyle miter;
    miter.width = 100;
    miter.startCap = CapStyle::None;
    miter.endCap = CapStyle::Square;
    miter.join = JoinStyle::Miter;
    miter.miterLimit = 2.5;
    miter.noHScale = true;
    miter.pixelHinting = true;
    miter.noClose = true;
    miter.color = {9, 8, 7, 6};
    styles.line2(miter);
    LineStyle filled;
    filled.width = 60;
    filled.hasFill = true;
    filled.noVScale = true;
    filled.fill.kind = FillKind::LinearGradient;
    filled.fill.gradient.stops = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}};
    styles.line2(filled);

    ShapeFlags flags;
    flags.edgeBounds = {10, 1990, 10, 1990};
    flags.nonZeroWinding = true;
    flags.nonScalingStrokes = true;
    auto shape = buildShape(83, kBounds, styles, RecordWriter{}, flags);

    EXPECT_EQ(shape->edgeBounds, flags.edgeBounds);
    EXPECT_TRUE(shape->nonZeroWinding);
    EXPECT_TRUE(shape->usesNonScalingStrokes);
    EXPECT_FALSE(shape->usesScalingStrokes);
    ASSERT_EQ(shape->lineStyles.size(), 2u);
    EXPECT_EQ(shape->lineStyles[0], miter);
    const LineStyle& stroke = shape->lineStyles[1];
    EXPECT_TRUE(stroke.hasFill);
    EXPECT_TRUE(stroke.noVScale);
    EXPECT_FALSE(stroke.noHScale);
    EXPECT_EQ(stroke.join, JoinStyle::Round);
    EXPECT_EQ(stroke.fill.kind, FillKind::LinearGradient);
    EXPECT_EQ(stroke.fill.gradient.stops.size(), 2u);
}

TEST(ShapeParse, ExtendedStyleCountsOnlyFromDefineShape2)
{
    StyleArrays many(22);
    for (int i = 0; i < 300; ++i)
        many.solid({static_cast<uint8_t>(i), 0, 0, 255});
    RecordWriter records;
    records.moveTo(0, 0).fill0(300).lineTo(10, 0);
    auto shape = buildShape(22, kBounds, many, records);
    ASSERT_EQ(shape->fillStyles.size(), 300u);
    EXPECT_EQ(shape->fillStyles[299].color.r, static_cast<uint8_t>(299));
    EXPECT_EQ(shape->records[0].fill0, 300u);

    // In DefineShape a count of 255 is just 255 styles.
    StyleArrays exactly(2);
    for (int i = 0; i < 255; ++i)
        exactly.solid({1, 2, 3, 255});
    EXPECT_EQ(buildShape(2, kBounds, exactly, RecordWriter{})->fillStyles.size(), 255u);
}

TEST(ShapeParse, NewStylesStartALayerAndIndicesReferToThem)
{
    StyleArrays first(22);
    first.solid({255, 0, 0, 255});
    first.solid({0, 255, 0, 255});
    first.line(20, {0, 0, 0, 255});
    StyleArrays second(22);
    second.solid({0, 0, 255, 255});
    second.line(40, {9, 9, 9, 255});

    RecordWriter records;
    records.moveTo(0, 0).fill1(2).line(1).lineTo(100, 0);
    records.newStyles(second).fill0(1).moveTo(0, 50);
    records.lineTo(100, 50);
    auto shape = buildShape(22, kBounds, first, records);

    ASSERT_EQ(shape->fillStyles.size(), 3u);
    ASSERT_EQ(shape->lineStyles.size(), 2u);
    ASSERT_EQ(shape->layers.size(), 2u);
    EXPECT_EQ(shape->layers[1].firstFill, 2u);
    EXPECT_EQ(shape->layers[1].fillCount, 1u);
    EXPECT_EQ(shape->layers[1].firstLine, 1u);

    EXPECT_EQ(shape->records[0].fill1, 2u);
    const ShapeRecord& change = shape->records[2];
    ASSERT_EQ(change.kind, ShapeRecordKind::StyleChange);
    EXPECT_EQ(change.fill0, 3u);  // first style of the new array
    // Selections the record leaves out are cleared rather than kept from the old arrays.
    EXPECT_TRUE(change.setsFill1);
    EXPECT_EQ(change.fill1, 0u);
    EXPECT_TRUE(change.setsLine);
    EXPECT_EQ(change.line, 0u);
}

TEST(ShapeParse, OutOfRangeStyleIndexSelectsNothing)
{
    StyleArrays styles(22);
    styles.solid({255, 0, 0, 255});
    styles.solid({255, 0, 0, 255});
    RecordWriter records;
    records.moveTo(0, 0).fill1(3).lineTo(10, 10);  // 2 bits hold 3, but only 2 styles exist
    auto shape = buildShape(22, kBounds, styles, records);
    EXPECT_EQ(shape->records[0].fill1, 0u);
}

TEST(ShapeParse, MalformedInputThrowsFormatError)
{
    StyleArrays styles(32);
    styles.solid({1, 2, 3, 4});
    RecordWriter records;
    records.rect(0, 0, 100, 100).fill1(1);
    auto bytes = encodeShape(32, kBounds, styles, records);

    // Cut inside the style arrays.
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 6);
    EXPECT_THROW(parseBytes(32, cut), FormatError);

    // A style count far beyond the data.
    BitWriter huge;
    huge.rect(kBounds);
    huge.u8(0xFF);
    huge.u16(60000);
    huge.u8(0);
    EXPECT_THROW(parseBytes(32, huge.data()), FormatError);

    // An unknown fill type.
    BitWriter unknown;
    unknown.rect(kBounds);
    unknown.u8(1);
    unknown.u8(0x77);
    unknown.u32(0);
    EXPECT_THROW(parseBytes(32, unknown.data()), FormatError);

    EXPECT_THROW(parseBytes(99, bytes), FormatError);
}

TEST(ShapeParse, TruncatedRecordsWithoutEndRecordAreKept)
{
    StyleArrays styles(32);
    styles.solid({1, 2, 3, 4});
    RecordWriter records;
    records.moveTo(0, 0).fill1(1).lineTo(1000, 0).lineTo(1000, 1000);
    auto bytes = encodeShape(32, kBounds, styles, records);
    // Drop the byte that holds the end record; the edges before it survive.
    bytes.pop_back();
    auto shape = parseBytes(32, bytes);
    ASSERT_GE(shape->records.size(), 2u);
    EXPECT_EQ(shape->records[1].to, (Point{1000, 0}));
}

TEST(ShapeParse, CorruptedBytesNeverEscapeAsAnythingButFormatError)
{
    StyleArrays styles(83);
    GradientSpec g;
    g.stops = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}};
    styles.linear(g);
    styles.solid({1, 2, 3, 4});
    LineStyle line;
    line.width = 20;
    styles.line2(line);
    RecordWriter records;
    records.moveTo(10, 10).fill0(1).fill1(2).line(1).lineTo(500, 10).curveTo(600, 300, 10, 10);
    const auto original = encodeShape(83, kBounds, styles, records);

    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        auto bytes = original;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        if (round % 3 == 0)
            bytes.resize(random() % bytes.size());
        try {
            auto shape = parseBytes(83, bytes);
            // Whatever parsed must index its own style lists only.
            for (const ShapeRecord& rec : shape->records) {
                EXPECT_LE(rec.fill0, shape->fillStyles.size());
                EXPECT_LE(rec.fill1, shape->fillStyles.size());
                EXPECT_LE(rec.line, shape->lineStyles.size());
            }
        } catch (const FormatError&) {
        }
    }
}

} // namespace
