// Parsing of DefineFont, DefineFont2/3 and DefineFontInfo/2: outlines, codes, metrics,
// and fonts whose counts and offsets lie.

#include "engine/format/Font.h"
#include "tests/support/TextWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

using namespace swf;
using namespace lanfan::test;

FontSpec twoGlyphFont(int tagCode)
{
    FontSpec spec;
    spec.tagCode = tagCode;
    spec.name = "Kai";
    spec.bold = true;
    spec.layout = true;
    spec.ascent = 900;
    spec.descent = 200;
    spec.leading = -20;
    spec.glyphs.push_back({squareGlyph(500), 'A', 600, {0, 500, -500, 0}});
    spec.glyphs.push_back({squareGlyph(300), 0x4E2D, 1024, {0, 300, -300, 0}});
    spec.kerning.push_back({'A', 0x4E2D, -40});
    return spec;
}

std::shared_ptr<FontDef> parseFont2(int tagCode, const std::vector<uint8_t>& bytes)
{
    ByteReader reader(bytes);
    return parseDefineFont2(tagCode, reader);
}

TEST(FontParse, DefineFont2CarriesOutlinesCodesAndLayout)
{
    for (bool wideOffsets : {false, true}) {
        SCOPED_TRACE(wideOffsets ? "32-bit offsets" : "16-bit offsets");
        FontSpec spec = twoGlyphFont(48);
        spec.wideOffsets = wideOffsets;
        auto font = buildFont(spec);
        EXPECT_EQ(font->name, "Kai");
        EXPECT_TRUE(font->bold);
        EXPECT_FALSE(font->italic);
        ASSERT_EQ(font->glyphs.size(), 2u);
        // Move, four edges: the outline's records survive the trip.
        ASSERT_EQ(font->glyphs[0].shape->records.size(), 5u);
        EXPECT_EQ(font->glyphs[0].shape->records[2].to, (Point{500, -500}));
        EXPECT_EQ(font->glyphs[1].shape->records[2].to, (Point{300, -300}));
        EXPECT_TRUE(font->glyphs[0].shape->nonZeroWinding);
        EXPECT_EQ(font->glyphForCode('A'), 0);
        EXPECT_EQ(font->glyphForCode(0x4E2D), 1);
        EXPECT_EQ(font->glyphForCode('B'), std::nullopt);
        ASSERT_TRUE(font->hasLayout);
        EXPECT_EQ(font->ascent, 900);
        EXPECT_EQ(font->descent, 200);
        EXPECT_EQ(font->leading, -20);
        EXPECT_EQ(font->glyphs[1].advance, 1024);
        EXPECT_EQ(font->glyphs[0].bounds, (Rect{0, 500, -500, 0}));
        ASSERT_EQ(font->kerning.size(), 1u);
        EXPECT_EQ(font->kerning[0].right, 0x4E2D);
        EXPECT_EQ(font->kerning[0].adjustment, -40);
        EXPECT_TRUE(font->hasOutlines());
    }
}

TEST(FontParse, NarrowCodesAndTheEmSquareOfEachFontKind)
{
    FontSpec spec = twoGlyphFont(48);
    spec.wideCodes = false;
    spec.glyphs[1].code = 'z';
    spec.kerning[0].right = 'z';
    auto narrow = buildFont(spec);
    EXPECT_FALSE(narrow->wideCodes);
    EXPECT_EQ(narrow->glyphForCode('z'), 1);
    ASSERT_EQ(narrow->kerning.size(), 1u);
    EXPECT_EQ(narrow->kerning[0].adjustment, -40);  // read after one-byte codes
    EXPECT_EQ(narrow->emSquare(), 1024.0);

    auto font3 = buildFont(twoGlyphFont(75));
    EXPECT_TRUE(font3->wideCodes);
    EXPECT_EQ(font3->emSquare(), 20480.0);
    // A DefineFont3 with the flag clear keeps one-byte codes, as DefineFont2 does.
    spec.tagCode = 75;
    auto narrow3 = buildFont(spec);
    EXPECT_FALSE(narrow3->wideCodes);
    EXPECT_EQ(narrow3->glyphForCode('z'), 1);
    ASSERT_EQ(narrow3->kerning.size(), 1u);
    EXPECT_EQ(narrow3->kerning[0].adjustment, -40);
}

TEST(FontParse, AdvancesReadUnsignedAndKerningIsFoundByPair)
{
    FontSpec spec = twoGlyphFont(48);
    spec.glyphs[1].advance = static_cast<int16_t>(40000);  // past the signed range
    spec.kerning = {{0x4E2D, 'A', 25}, {'A', 0x4E2D, -40}, {'A', 'A', 10}, {0x4E2D, 'A', 7}};
    auto font = buildFont(spec);
    EXPECT_EQ(font->glyphs[1].advance, 40000);
    struct Row {
        uint16_t left, right;
        int16_t adjustment;
    };
    for (const Row& row : {Row{'A', 0x4E2D, -40}, Row{0x4E2D, 'A', 25}, Row{'A', 'A', 10}, Row{0x4E2D, 0x4E2D, 0},
                           Row{'B', 'A', 0}}) {
        EXPECT_EQ(font->kerningFor(row.left, row.right), row.adjustment) << row.left << " " << row.right;
    }
}

TEST(FontParse, SystemFontReferenceHasNoOutlines)
{
    FontSpec spec;
    spec.name = "_sans";
    auto font = buildFont(spec);
    EXPECT_EQ(font->name, "_sans");
    EXPECT_TRUE(font->glyphs.empty());
    EXPECT_FALSE(font->hasOutlines());

    // Written without the code table offset, as some tools do.
    std::vector<uint8_t> bytes = encodeDefineFont2(spec);
    bytes.resize(bytes.size() - 2);
    EXPECT_FALSE(parseFont2(48, bytes)->hasOutlines());
}

TEST(FontParse, DefineFontTakesItsCodesFromFontInfo)
{
    std::vector<uint8_t> bytes = encodeDefineFont({squareGlyph(100), squareGlyph(200), squareGlyph(300)});
    ByteReader reader(bytes);
    auto font = parseDefineFont(reader);
    ASSERT_EQ(font->glyphs.size(), 3u);
    EXPECT_EQ(font->glyphs[2].shape->records[2].to, (Point{300, -300}));
    EXPECT_EQ(font->glyphForCode('a'), std::nullopt);  // no codes until the info comes

    for (int tag : {13, 62}) {
        SCOPED_TRACE(tag);
        std::vector<uint8_t> info = encodeDefineFontInfo(tag, "Song", {'a', 'b', 0x6587}, tag == 62);
        ByteReader infoReader(info);
        auto named = applyDefineFontInfo(tag, infoReader, *font);
        EXPECT_EQ(named->name, "Song");
        EXPECT_EQ(named->glyphForCode('b'), 1);
        EXPECT_EQ(named->glyphForCode(0x6587), tag == 62 ? std::optional<uint16_t>(2) : std::nullopt);
        EXPECT_EQ(named->glyphs.size(), 3u);
    }
    // Eight-bit codes with room for only two of them: the third glyph has no code.
    std::vector<uint8_t> shortInfo = encodeDefineFontInfo(13, "X", {'a', 'b'}, false);
    ByteReader shortReader(shortInfo);
    auto partial = applyDefineFontInfo(13, shortReader, *font);
    EXPECT_EQ(partial->glyphForCode('b'), 1);
}

TEST(FontParse, LyingCountsAndOffsetsNeverReadOutsideTheTag)
{
    const std::vector<uint8_t> good = encodeDefineFont2(twoGlyphFont(48));
    const size_t tableStart = 1 + 1 + 1 + 3 + 2;  // flags, language, name length, "Kai", count

    // A glyph count far past what the offset table has room for drops the font.
    std::vector<uint8_t> tooMany = good;
    tooMany[tableStart - 2] = 0xFF;
    tooMany[tableStart - 1] = 0x7F;
    EXPECT_THROW(parseFont2(48, tooMany), FormatError);

    // A glyph offset past the data: that glyph is empty, the other one intact.
    std::vector<uint8_t> farGlyph = good;
    farGlyph[tableStart] = 0xFF;
    farGlyph[tableStart + 1] = 0xFF;
    auto font = parseFont2(48, farGlyph);
    ASSERT_EQ(font->glyphs.size(), 2u);
    EXPECT_TRUE(font->glyphs[0].shape->records.empty());
    EXPECT_EQ(font->glyphs[1].shape->records.size(), 5u);

    // A code table past the data: outlines stay, codes and layout are unknown.
    std::vector<uint8_t> farCodes = good;
    farCodes[tableStart + 4] = 0xFF;
    farCodes[tableStart + 5] = 0xFF;
    font = parseFont2(48, farCodes);
    EXPECT_EQ(font->glyphs[1].shape->records.size(), 5u);
    EXPECT_EQ(font->glyphForCode('A'), std::nullopt);
    EXPECT_FALSE(font->hasLayout);

    // Cut inside the advance table: metrics dropped, codes kept.
    std::vector<uint8_t> cutLayout = good;
    cutLayout.resize(cutLayout.size() - 20);
    font = parseFont2(48, cutLayout);
    EXPECT_FALSE(font->hasLayout);
    EXPECT_EQ(font->glyphForCode(0x4E2D), 1);

    // A kerning count larger than the pairs present keeps the pairs that are there.
    std::vector<uint8_t> moreKerning = good;
    moreKerning[moreKerning.size() - 8] = 0x40;
    font = parseFont2(48, moreKerning);
    EXPECT_TRUE(font->hasLayout);
    EXPECT_EQ(font->kerning.size(), 1u);

    // DefineFont whose first offset points past the tag.
    std::vector<uint8_t> font1 = {0x40, 0x00, 0x00};
    ByteReader reader(font1);
    EXPECT_THROW(parseDefineFont(reader), FormatError);

    // Every truncation of a good font either parses or raises FormatError.
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        try {
            parseFont2(48, cut);
        } catch (const FormatError&) {
        }
    }
}

// A font of `count` glyphs over one long outline, glyph i starting at `startOf(i)` bytes
// into it.
std::vector<uint8_t> fontOverOneOutline(uint16_t count, const std::function<uint32_t(uint16_t)>& startOf)
{
    RecordWriter longOutline;
    longOutline.moveTo(0, 0).fill1(1);
    for (int i = 0; i < 2000; ++i)
        longOutline.lineTo(i % 2 ? 0 : 100, i);
    BitWriter outline;
    longOutline.write(outline, 1, 0);
    const std::vector<uint8_t> shape = outline.take();

    BitWriter w;
    w.u8(0x0C);  // wide offsets and codes
    w.u8(0);
    w.u8(0);
    w.u16(count);
    const uint32_t glyphsAt = 4u * count + 4;
    for (uint16_t i = 0; i < count; ++i)
        w.u32(glyphsAt + startOf(i));
    w.u32(glyphsAt + static_cast<uint32_t>(shape.size()));
    w.bytes(shape);
    return w.take();
}

TEST(FontParse, GlyphsSharingBytesAreReadOnce)
{
    // 60000 glyphs naming one long outline share one parsed copy of it.
    auto font = parseFont2(48, fontOverOneOutline(60000, [](uint16_t) { return 0u; }));
    ASSERT_EQ(font->glyphs.size(), 60000u);
    EXPECT_EQ(font->glyphs[1].shape, font->glyphs[59999].shape);
    EXPECT_EQ(font->glyphs[1].shape->records.size(), 2001u);

    // Starts scattered through the outline: each glyph's bytes end where the next start
    // is, so the records read add up to no more than the outline holds, however many
    // glyphs overlap it.
    font = parseFont2(48, fontOverOneOutline(60000, [](uint16_t i) { return (i * 7u) % 3000u; }));
    std::set<const ShapeDef*> distinct;
    size_t records = 0;
    for (const Glyph& glyph : font->glyphs) {
        if (distinct.insert(glyph.shape.get()).second)
            records += glyph.shape->records.size();
    }
    EXPECT_LE(records, 2 * 2001u);
}

} // namespace
