// Fonts, texts and text fields in a loaded movie: what the dictionary holds, which fonts
// a text gets, and the render tree nodes placed texts become.

#include "MovieFixture.h"
#include "engine/format/EditText.h"
#include "engine/format/Font.h"
#include "engine/format/Text.h"
#include "engine/movie/RenderTreeBuilder.h"
#include "tests/support/TextWriter.h"

#include <gtest/gtest.h>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using namespace lanfan::test;

std::vector<uint8_t> textUsing(uint16_t fontId)
{
    TextRecord rec;
    rec.fontId = fontId;
    rec.height = 240;
    rec.glyphs = {{0, 100}};
    return encodeDefineText(11, {0, 100, 0, 100}, {}, {rec});
}

TEST(TextMovie, TextsGetTheFontsTheyNameAndPlacedTextsReachTheRenderTree)
{
    FontSpec font2;
    font2.glyphs.push_back({squareGlyph(512), 'x', 600, {}});
    EditTextDef field;
    field.bounds = {0, 2000, 0, 400};
    field.fontId = 2;
    field.initialText = "x";

    test::SwfWriter movie;
    movie.tag(10, withId(1, encodeDefineFont({squareGlyph(100), squareGlyph(200)})));
    movie.tag(13, withId(1, encodeDefineFontInfo(13, "Song", {'a', 'b'}, false)));
    movie.tag(48, withId(2, encodeDefineFont2(font2)));
    movie.tag(11, withId(3, textUsing(1)));
    movie.tag(11, withId(4, textUsing(9)));  // no such font
    movie.tag(37, withId(5, encodeDefineEditText(field)));
    movie.placeObject(3, 1).placeObject(5, 2).showFrame();

    auto def = load(movie);
    ASSERT_EQ(def->fonts.size(), 2u);
    EXPECT_EQ(def->fonts.at(1)->name, "Song");  // the info was applied
    EXPECT_EQ(def->fonts.at(1)->glyphForCode('b'), 1);
    EXPECT_EQ(def->character(1), nullptr);  // fonts are not placeable characters

    const Character* text = def->character(3);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->kind, CharacterKind::Text);
    EXPECT_EQ(text->text->fonts.at(1), def->fonts.at(1));
    EXPECT_EQ(def->character(4)->text->fonts.at(9), nullptr);
    const Character* edit = def->character(5);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->kind, CharacterKind::EditText);
    EXPECT_EQ(edit->editText->font, def->fonts.at(2));

    Running run(movie);
    run.step();
    render::RenderNode tree = buildRenderTree(run.root);
    ASSERT_EQ(tree.children.size(), 2u);
    EXPECT_EQ(tree.children[0].text, run.movie->character(3)->text);
    EXPECT_EQ(tree.children[1].editText, run.movie->character(5)->editText);
}

TEST(TextMovie, DamagedFontAndTextTagsAreSkippedAndTheRestPlays)
{
    test::SwfWriter movie;
    const std::vector<uint8_t> lyingFont = {0x01, 0x00, 0x00, 0xFF, 0xFF};  // 65535 glyphs, no table
    movie.tag(48, withId(1, lyingFont));
    const std::vector<uint8_t> cutText = {0x00};  // the bounds end at once
    movie.tag(11, withId(2, cutText));
    movie.tag(11, withId(3, textUsing(1)));
    movie.placeObject(3, 1).placeObject(2, 2).showFrame();

    auto def = load(movie);
    EXPECT_TRUE(def->fonts.empty());
    EXPECT_EQ(def->character(2), nullptr);
    ASSERT_NE(def->character(3), nullptr);
    EXPECT_EQ(def->character(3)->text->fonts.at(1), nullptr);
    Running run(movie);
    run.step();
    EXPECT_EQ(listOf(run.root), "1:3 2:2");
}

} // namespace
