// Parsing of DefineText/DefineText2 and DefineEditText, and the positions static text
// glyphs get from their records.

#include "engine/format/EditText.h"
#include "engine/format/Text.h"
#include "tests/support/TextWriter.h"

#include <gtest/gtest.h>

namespace {

using namespace swf;
using namespace lanfan::test;

std::shared_ptr<TextDef> parseText(int tagCode, const std::vector<uint8_t>& bytes)
{
    ByteReader reader(bytes);
    return parseDefineText(tagCode, reader);
}

TextRecord record(std::optional<uint16_t> font, uint16_t height, std::vector<GlyphEntry> glyphs)
{
    TextRecord rec;
    rec.fontId = font;
    rec.height = height;
    rec.glyphs = std::move(glyphs);
    return rec;
}

TEST(TextParse, RecordsKeepWhatEachOneStates)
{
    TextRecord first = record(7, 480, {{0, 300}, {5, -20}, {1, 250}});
    first.color = Rgba{10, 20, 30, 128};
    first.xOffset = -100;
    first.yOffset = 900;
    TextRecord second = record(std::nullopt, 0, {{2, 100}});
    second.yOffset = 1500;
    const Matrix matrix{1, 0, 0, 1, 40, 60};
    for (int tag : {11, 33}) {
        SCOPED_TRACE(tag);
        auto text = parseText(tag, encodeDefineText(tag, {0, 2000, -100, 400}, matrix, {first, second}));
        EXPECT_EQ(text->bounds, (Rect{0, 2000, -100, 400}));
        EXPECT_EQ(text->matrix, matrix);
        ASSERT_EQ(text->records.size(), 2u);
        const TextRecord& a = text->records[0];
        EXPECT_EQ(a.fontId, 7);
        EXPECT_EQ(a.height, 480);
        EXPECT_EQ(a.xOffset, -100);
        EXPECT_EQ(a.yOffset, 900);
        // DefineText stores RGB: the alpha is opaque whatever was asked for.
        EXPECT_EQ(a.color, (Rgba{10, 20, 30, static_cast<uint8_t>(tag == 33 ? 128 : 255)}));
        ASSERT_EQ(a.glyphs.size(), 3u);
        EXPECT_EQ(a.glyphs[1].index, 5u);
        EXPECT_EQ(a.glyphs[1].advance, -20);
        const TextRecord& b = text->records[1];
        EXPECT_FALSE(b.fontId);
        EXPECT_FALSE(b.color);
        EXPECT_FALSE(b.xOffset);
        EXPECT_EQ(b.yOffset, 1500);
    }
}

TEST(TextParse, DamagedRecordsEndTheTextWithoutThrowing)
{
    const std::vector<uint8_t> good =
        encodeDefineText(11, {0, 100, 0, 100}, {}, {record(1, 200, {{1, 10}, {2, 20}}), record(std::nullopt, 0, {{3, 30}})});
    // Cut inside the second record: the first still stands.
    std::vector<uint8_t> cut(good.begin(), good.end() - 2);
    auto text = parseText(11, cut);
    ASSERT_EQ(text->records.size(), 1u);
    EXPECT_EQ(text->records[0].glyphs.size(), 2u);
    // Without the end record the text ends with the data.
    std::vector<uint8_t> noEnd(good.begin(), good.end() - 1);
    EXPECT_EQ(parseText(11, noEnd)->records.size(), 2u);
    // Glyph fields wider than any value can be are refused.
    std::vector<uint8_t> wide = good;
    BitWriter header;
    header.rect({0, 100, 0, 100});
    header.matrix({});
    const size_t bitsAt = header.data().size();
    wide[bitsAt] = 40;
    EXPECT_THROW(parseText(11, wide), FormatError);
    EXPECT_THROW(parseText(2, good), FormatError);
}

TEST(TextLayout, AdvancesAccumulateAcrossRecordsAndOffsetsRestart)
{
    TextDef text;
    TextRecord a = record(1, 400, {{0, 100}, {1, 150}});
    a.xOffset = 20;
    a.yOffset = 300;
    a.color = Rgba{255, 0, 0, 255};
    TextRecord b = record(std::nullopt, 0, {{2, 50}});  // continues after a's glyphs
    TextRecord c = record(2, 800, {{3, 10}});
    c.xOffset = 5;
    c.yOffset = 900;
    text.records = {a, b, c};

    auto glyphs = layoutStaticText(text);
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_EQ(glyphs[0].x, 20);
    EXPECT_EQ(glyphs[1].x, 120);
    EXPECT_EQ(glyphs[2].x, 270);
    EXPECT_EQ(glyphs[2].y, 300);
    EXPECT_EQ(glyphs[2].height, 400);
    EXPECT_EQ(glyphs[2].color, (Rgba{255, 0, 0, 255}));  // inherited
    EXPECT_EQ(glyphs[3].fontId, 2);
    EXPECT_EQ(glyphs[3].x, 5);
    EXPECT_EQ(glyphs[3].y, 900);
    EXPECT_EQ(glyphs[3].height, 800);

    // Glyphs before any record named a font have nothing to draw with, but still advance.
    TextDef fontless;
    fontless.records = {record(std::nullopt, 0, {{0, 70}}), record(1, 200, {{0, 10}})};
    auto placed = layoutStaticText(fontless);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].x, 70);
}

TEST(EditTextParse, EveryFieldRoundTrips)
{
    EditTextDef field;
    field.bounds = {-40, 4000, -40, 1200};
    field.wordWrap = field.multiline = field.readOnly = field.border = field.html = field.useOutlines = true;
    field.noSelect = field.autoSize = true;
    field.fontId = 3;
    field.height = 360;
    field.color = Rgba{1, 2, 3, 4};
    field.maxLength = 12;
    field.hasLayout = true;
    field.align = TextAlign::Center;
    field.leftMargin = 20;
    field.rightMargin = 40;
    field.indent = 60;
    field.leading = -2;
    field.variableName = "_root.name";
    field.initialText = "<p>你好</p>";

    std::vector<uint8_t> bytes = encodeDefineEditText(field);
    ByteReader reader(bytes);
    auto parsed = parseDefineEditText(reader);
    EXPECT_EQ(parsed->bounds, field.bounds);
    EXPECT_TRUE(parsed->wordWrap && parsed->multiline && parsed->readOnly && parsed->border && parsed->html);
    EXPECT_TRUE(parsed->useOutlines && parsed->noSelect && parsed->autoSize);
    EXPECT_FALSE(parsed->password || parsed->wasStatic);
    EXPECT_EQ(parsed->fontId, 3);
    EXPECT_EQ(parsed->height, 360);
    EXPECT_EQ(parsed->color, (Rgba{1, 2, 3, 4}));
    EXPECT_EQ(parsed->maxLength, 12);
    EXPECT_EQ(parsed->align, TextAlign::Center);
    EXPECT_EQ(parsed->leftMargin, 20);
    EXPECT_EQ(parsed->rightMargin, 40);
    EXPECT_EQ(parsed->indent, 60);
    EXPECT_EQ(parsed->leading, -2);
    EXPECT_EQ(parsed->variableName, "_root.name");
    EXPECT_EQ(parsed->initialText, field.initialText);
}

TEST(EditTextParse, OptionalPartsAndCutTags)
{
    EditTextDef bare;
    bare.bounds = {0, 200, 0, 200};
    bare.border = true;
    std::vector<uint8_t> bytes = encodeDefineEditText(bare);
    ByteReader reader(bytes);
    auto parsed = parseDefineEditText(reader);
    EXPECT_TRUE(parsed->border);
    EXPECT_FALSE(parsed->fontId);
    EXPECT_FALSE(parsed->color);
    EXPECT_FALSE(parsed->initialText);
    EXPECT_FALSE(parsed->hasLayout);

    // A font class instead of an id still carries the height.
    EditTextDef byClass = bare;
    byClass.fontClass = "Embedded";
    byClass.height = 500;
    bytes = encodeDefineEditText(byClass);
    ByteReader classReader(bytes);
    parsed = parseDefineEditText(classReader);
    EXPECT_EQ(parsed->fontClass, "Embedded");
    EXPECT_EQ(parsed->height, 500);

    // Text without its terminator is taken to the end of the tag; a cut before the
    // variable name is an error.
    EditTextDef text = bare;
    text.initialText = "abc";
    bytes = encodeDefineEditText(text);
    bytes.pop_back();
    ByteReader cutReader(bytes);
    EXPECT_EQ(parseDefineEditText(cutReader)->initialText, "abc");
    bytes.resize(6);
    ByteReader shortReader(bytes);
    EXPECT_THROW(parseDefineEditText(shortReader), FormatError);
}

} // namespace
