// Laying out text fields: where lines break (spaces, CJK characters, words too long for
// a line), how formats and paragraphs place them, device fonts measuring as the fonts
// movies name, the layout cache, and glyph pictures matching filled outlines.

#include "RenderFixture.h"
#include "engine/render/DeviceFonts.h"
#include "engine/render/TextDraw.h"
#include "engine/render/TextLayout.h"
#include "tests/support/GuiApp.h"
#include "tests/support/TextWriter.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

constexpr char32_t kZhong = 0x4E2D;  // 中

// Square glyphs half an em wide with advances of half an em (200 twips at 400 twips
// tall) for a-z, and the same for 中; the space is an advance with no outline.
std::shared_ptr<const FontDef> halfEmFont(std::vector<KerningPair> kerning = {})
{
    FontSpec spec;
    spec.kerning = std::move(kerning);
    spec.layout = true;
    spec.ascent = 800;
    spec.descent = 200;
    for (char c = 'a'; c <= 'z'; ++c)
        spec.glyphs.push_back({squareGlyph(400), static_cast<uint16_t>(c), 512, {}});
    spec.glyphs.push_back({RecordWriter(), ' ', 512, {}});
    spec.glyphs.push_back({squareGlyph(400), static_cast<uint16_t>(kZhong), 512, {}});
    return buildFont(spec);
}

// A word-wrapping field with the font above at 400 twips, `width` twips of room for
// text inside its padding.
TextFieldLook field(const std::string& text, double width, bool embedded = true)
{
    auto def = std::make_shared<EditTextDef>();
    def->bounds = {0, static_cast<int32_t>(width + 2 * kFieldPadding), 0, 20000};
    def->height = 400;
    def->font = halfEmFont();
    def->useOutlines = embedded;
    def->wordWrap = true;
    def->multiline = true;
    TextFieldLook look = TextFieldLook::fromDefinition(def);
    look.text = text;
    return look;
}

std::vector<size_t> glyphsPerLine(const FieldLayout& layout)
{
    std::vector<size_t> counts;
    for (const LaidLine& line : layout.lines) {
        size_t n = 0;
        for (const LaidRun& run : line.runs)
            n += run.glyphs.size();
        counts.push_back(n);
    }
    return counts;
}

TEST(TextLayout, LinesBreakAtSpacesBetweenCjkCharactersAndInsideOverlongWords)
{
    GlyphCache glyphs;
    const std::string zh = "\xE4\xB8\xAD";
    struct Case {
        std::string text;
        double width;  // 200 twips a character
        std::vector<size_t> lines;
    } cases[] = {
        {"abc def ghi", 1300, {3, 3, 3}},       // room for 6.5: never "abc de" + "f"
        {"abc def ghi", 1400, {6, 3}},          // "abc def" fits exactly
        {"congratulations", 1000, {5, 5, 5}},   // a word alone wider than the line
        {"ab congratulations", 1000, {2, 5, 5, 5}},
        {zh + zh + zh + zh + zh, 600, {3, 2}},  // between any two CJK characters
        {"ab" + zh + zh, 700, {3, 1}},          // before a CJK character after a word
        {"a\rb\r\nc\nd", 5000, {1, 1, 1, 1}},   // every kind of line break, once
        {"a\r\rb", 5000, {1, 0, 1}},            // an empty paragraph is a line
        {"abc   ", 600, {3}},                   // trailing spaces never wrap
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(glyphsPerLine(layoutField(field(c.text, c.width), glyphs)), c.lines);
    }
}

// The half-em font again under another name and style, its advances `advance` font units.
std::shared_ptr<const FontDef> namedFont(const std::string& name, bool bold, int16_t advance)
{
    FontSpec spec;
    spec.name = name;
    spec.bold = bold;
    spec.layout = true;
    spec.ascent = 800;
    spec.descent = 200;
    for (char c = 'a'; c <= 'z'; ++c)
        spec.glyphs.push_back({squareGlyph(400), static_cast<uint16_t>(c), advance, {}});
    return buildFont(spec);
}

TEST(TextLayout, FieldsThatEmbedFontsFindEachFormatsFaceAmongTheMoviesFonts)
{
    GlyphCache glyphs;
    auto fonts = std::make_shared<EmbeddedFonts>();
    fonts->push_back(namedFont("Other", false, 256));  // a quarter em: 100 twips at 400
    fonts->push_back(namedFont("other", true, 1024));  // the bold face, a whole em
    TextFieldLook look = field("ab", 5000);
    look.fonts = fonts;
    TextFormat f = look.defaultFormat();
    struct Case {
        const char* face;
        bool bold;
        bool embed;
        double secondGlyphAt;  // twips from the first; 0: drawn with a system font
    } cases[] = {
        {"OTHER", false, true, 100},  // names match without regard to case
        {"Other", true, true, 400},   // the style's own face where the movie has one
        {"Test", false, true, 200},   // no such face: the field's own font
        {"Other", false, false, 0},   // not embedding: system fonts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        f.face = c.face;
        f.bold = c.bold;
        look.spans = {{2, f}};
        look.embedFonts = c.embed;
        EXPECT_EQ(usesEmbeddedFont(look), c.embed);
        if (!c.embed) {
            EXPECT_EQ(embeddedFontFor(look, f), nullptr);
            continue;
        }
        const FieldLayout layout = layoutField(look, glyphs);
        ASSERT_EQ(glyphsPerLine(layout), (std::vector<size_t>{2}));
        const std::vector<LaidGlyph>& placed = layout.lines[0].runs[0].glyphs;
        EXPECT_DOUBLE_EQ(placed[1].x - placed[0].x, c.secondGlyphAt);
    }
}

TEST(TextLayout, TextSizeCountsTrailingSpacesAndALoneLinesLeading)
{
    GlyphCache glyphs;
    // 200 twips a character, 1300 of room: "abc def ghi" wraps after "abc " and "def ".
    struct Case {
        const char* text;
        TextAlign align;
        double width, height;
    } cases[] = {
        {"abc  ", TextAlign::Left, 1000, 312 + 78 + 60},   // a paragraph's spaces count
        {"abc  ", TextAlign::Right, 1000, 312 + 78 + 60},  // whatever the alignment
        {"abc def ghi", TextAlign::Left, 800, 3 * (312 + 78) + 2 * 60},  // the wrapping space counts
        {"abc def ghi", TextAlign::Center, 600, 3 * (312 + 78) + 2 * 60},  // only aligned left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TextFieldLook look = field(c.text, 1300);
        TextFormat f = look.defaultFormat();
        f.align = c.align;
        f.leading = 60;
        look.spans = {{look.text.size(), f}};
        const FieldLayout layout = layoutField(look, glyphs);
        EXPECT_DOUBLE_EQ(layout.textWidth, c.width);
        // Ascent and descent in whole twips (312.5 and 78.125 cut short).
        EXPECT_DOUBLE_EQ(layout.textHeight, c.height);
    }
}

TEST(TextLayout, IndentsStayInsideThePaddingAndAnIndentPastTheEdgeDoesNotWrap)
{
    GlyphCache glyphs;
    struct Case {
        double leftMargin, indent;
        double firstLeft;            // the first line's start, past the padding
        std::vector<size_t> lines;   // glyphs per line in 1000 twips of room
    } cases[] = {
        {0, -2000, 0, {3, 3}},       // pulled left no further than the padding
        {300, -200, 100, {3, 3}},    // within the margin it may go
        {0, 5000, 5000, {6}},        // pushed past the edge: one unwrapped line
        {0, 200, 200, {3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.indent);
        TextFieldLook look = field("abc def", 1000 + c.leftMargin);
        TextFormat f = look.defaultFormat();
        f.leftMargin = c.leftMargin;
        f.indent = c.indent;
        look.spans = {{look.text.size(), f}};
        const FieldLayout layout = layoutField(look, glyphs);
        EXPECT_EQ(glyphsPerLine(layout), c.lines);
        ASSERT_FALSE(layout.lines.empty());
        EXPECT_DOUBLE_EQ(layout.lines[0].left, kFieldPadding + c.firstLeft);
    }
}

TEST(TextLayout, WithoutWordWrapOnlyLineBreaksStartLines)
{
    GlyphCache glyphs;
    TextFieldLook look = field("abc def ghi\rjk", 400);
    look.wordWrap = false;
    EXPECT_EQ(glyphsPerLine(layoutField(look, glyphs)), (std::vector<size_t>{9, 2}));
}

TEST(TextLayout, AlignmentMarginsIndentsAndLeadingPlaceLines)
{
    GlyphCache glyphs;
    TextFieldLook look = field("", 1000);
    TextFormat f = look.defaultFormat();
    f.leftMargin = 100;
    f.rightMargin = 100;
    f.indent = 200;
    f.leading = 60;
    f.align = TextAlign::Right;
    look.spans = {{look.text.size(), f}};
    look.text = "ab efgh";
    look.spans[0].bytes = look.text.size();
    const FieldLayout layout = layoutField(look, glyphs);
    ASSERT_EQ(layout.lines.size(), 2u);  // 800 of room, less a 200 indent on the first line
    for (const LaidLine& line : layout.lines)
        EXPECT_DOUBLE_EQ(line.left + line.width, kFieldPadding + 1000 - 100);  // right margin
    // Ascent 800/1024 of 400 twips, cut to whole twips; lines a descent and the leading apart.
    EXPECT_DOUBLE_EQ(layout.lines[0].baseline, kFieldPadding + 312);
    EXPECT_DOUBLE_EQ(layout.lines[1].baseline - layout.lines[0].baseline, 312 + 78 + 60);

    look.spans[0].format.align = TextAlign::Center;
    const FieldLayout centred = layoutField(look, glyphs);
    EXPECT_DOUBLE_EQ(centred.lines[1].left, kFieldPadding + 100 + (800 - 800) / 2.0);
    look.spans[0].format.align = TextAlign::Left;
    const FieldLayout left = layoutField(look, glyphs);
    EXPECT_DOUBLE_EQ(left.lines[0].left, kFieldPadding + 100 + 200);  // margin and indent
    EXPECT_DOUBLE_EQ(left.lines[1].left, kFieldPadding + 100);        // no indent after the first line
}

TEST(TextLayout, TabsReachTheNextStopAndNothingPastTheLast)
{
    GlyphCache glyphs;
    TextFieldLook look = field("a\tb\tc\td", 4000);
    TextFormat f = look.defaultFormat();
    f.tabStops = {300, 600};
    look.spans = {{look.text.size(), f}};
    auto lefts = [&] {
        std::vector<double> xs;
        const FieldLayout layout = layoutField(look, glyphs);
        for (const LaidRun& run : layout.lines.at(0).runs) {
            for (const LaidGlyph& g : run.glyphs)
                xs.push_back(g.x - kFieldPadding);
        }
        return xs;
    };
    EXPECT_EQ(lefts(), (std::vector<double>{0, 300, 600, 800}));
    look.spans[0].format.tabStops.clear();  // a stop every 32 pixels (640 twips)
    EXPECT_EQ(lefts(), (std::vector<double>{0, 640, 1280, 1920}));
}

TEST(TextLayout, TextWidthCountsCharactersOnlyAndOlderMoviesCountWholePixels)
{
    GlyphCache glyphs;
    // At 300 twips the font's advances are 150 twips, seven and a half pixels.
    TextFieldLook look = field("ab cd", 4000);
    TextFormat f = look.defaultFormat();
    f.size = 300;
    f.leftMargin = 100;
    f.blockIndent = 40;
    f.indent = 200;
    look.spans = {{look.text.size(), f}};
    const FieldLayout plain = layoutField(look, glyphs);
    EXPECT_DOUBLE_EQ(plain.textWidth, 5 * 150);  // no margin, block indent or indent
    ASSERT_EQ(plain.lines.size(), 1u);
    look.wholePixelAdvances = true;
    const FieldLayout older = layoutField(look, glyphs);
    EXPECT_DOUBLE_EQ(older.textWidth, 5 * 160);  // each advance rounded up to 8 pixels
    // The glyphs themselves stay where their own advances put them.
    std::vector<double> xs;
    for (const LaidRun& run : older.lines.at(0).runs) {
        for (const LaidGlyph& g : run.glyphs)
            xs.push_back(g.x);
    }
    EXPECT_EQ(xs.size(), 4u);
    EXPECT_DOUBLE_EQ(xs.back() - xs.front(), 4 * 150);
    // Fonts on the newer 20480-unit square are measured as they are in any movie.
    auto def = std::make_shared<EditTextDef>(*look.def);
    FontSpec spec;
    spec.tagCode = 75;
    spec.layout = true;
    for (char c = 'a'; c <= 'z'; ++c)
        spec.glyphs.push_back({squareGlyph(8000), static_cast<uint16_t>(c), 10240, {}});
    def->font = buildFont(spec);
    look.def = def;
    look.text = "ab";
    look.spans = {{look.text.size(), f}};
    EXPECT_DOUBLE_EQ(layoutField(look, glyphs).textWidth, 2 * 150);
}

TEST(TextLayout, BulletedParagraphsStartHalfAnInchInAndMeasureFromThere)
{
    GlyphCache glyphs;
    // 200 twips a character; 2000 of room, 1180 of it past the margin and the
    // bullet's indent: "abc def" (1400) no longer fits on a line.
    TextFieldLook look = field("abc def\r", 2000);
    TextFormat f = look.defaultFormat();
    f.bullet = true;
    f.leftMargin = 100;
    f.leading = 60;
    look.spans = {{look.text.size(), f}};
    const FieldLayout layout = layoutField(look, glyphs);
    ASSERT_EQ(layout.lines.size(), 3u);  // "abc ", "def", and the caret's line after the break
    EXPECT_DOUBLE_EQ(layout.lines[0].left, kFieldPadding + 100 + 720);
    EXPECT_DOUBLE_EQ(layout.lines[1].left, kFieldPadding + 100 + 720);
    EXPECT_DOUBLE_EQ(layout.textWidth, 800);  // "abc " without the margin and indent
    // The empty line after the final break adds nothing but the last line's leading.
    EXPECT_DOUBLE_EQ(layout.textHeight, 2 * (312 + 78 + 60));
}

TEST(TextLayout, MixedFormatsSplitRunsAndTheTallestSetsTheLine)
{
    GlyphCache glyphs;
    TextFieldLook look = field("aabb", 5000);
    TextFormat small = look.defaultFormat();
    TextFormat big = small;
    big.size = 800;
    big.color = {255, 0, 0, 255};
    big.letterSpacing = 20;
    look.spans = {{2, small}, {2, big}};
    const FieldLayout layout = layoutField(look, glyphs);
    ASSERT_EQ(layout.lines.size(), 1u);
    const LaidLine& line = layout.lines[0];
    ASSERT_EQ(line.runs.size(), 2u);
    EXPECT_EQ(layout.formats[line.runs[1].span].color, (Rgba{255, 0, 0, 255}));
    EXPECT_DOUBLE_EQ(line.ascent, 625);                              // 800/1024 of 800
    EXPECT_DOUBLE_EQ(line.runs[1].glyphs[1].x - line.runs[1].glyphs[0].x, 400 + 20);  // advance + spacing
}

TEST(TextLayout, KernedFormatsMoveListedPairsByTheFontsTable)
{
    GlyphCache glyphs;
    TextFieldLook look = field("abab", 5000);
    auto def = std::make_shared<EditTextDef>(*look.def);
    // a then b closes up by a quarter em; b then a is listed twice, the first counts.
    def->font = halfEmFont({{'b', 'a', 128}, {'a', 'b', -256}, {'b', 'a', 999}});
    look.def = def;
    struct Row {
        bool kerning;
        std::vector<double> xs;  // each glyph's x from the first's
    };
    for (const Row& row : {Row{false, {0, 200, 400, 600}}, Row{true, {0, 100, 350, 450}}}) {
        SCOPED_TRACE(row.kerning ? "kerned" : "not kerned");
        TextFormat format = look.defaultFormat();
        format.kerning = row.kerning;
        look.spans = {{4, format}};
        const FieldLayout layout = layoutField(look, glyphs);
        ASSERT_EQ(layout.lines.size(), 1u);
        ASSERT_EQ(layout.lines[0].runs.size(), 1u);
        const auto& laid = layout.lines[0].runs[0].glyphs;
        ASSERT_EQ(laid.size(), row.xs.size());
        for (size_t i = 0; i < laid.size(); ++i)
            EXPECT_DOUBLE_EQ(laid[i].x - laid[0].x, row.xs[i]) << "glyph " << i;
    }
}

TEST(TextLayout, PasswordsAndLatin1TextShowTheirCharacters)
{
    GlyphCache glyphs;
    TextFieldLook look = field("ab\rc", 5000);
    look.password = true;
    // '*' is not in the font: nothing is drawn, but line breaks stay.
    EXPECT_EQ(glyphsPerLine(layoutField(look, glyphs)), (std::vector<size_t>{0, 0}));
    TextFieldLook latin = field(std::string("a\xE9z"), 5000);  // not UTF-8
    EXPECT_EQ(glyphsPerLine(layoutField(latin, glyphs)), (std::vector<size_t>{2}));
}

TEST(DeviceFonts, NamesMapToMetricCompatibleFamilies)
{
    ensureGuiApplication();
    EXPECT_EQ(deviceFamily("_sans"), "Liberation Sans");
    EXPECT_EQ(deviceFamily("Arial"), "Liberation Sans");
    EXPECT_EQ(deviceFamily("_serif"), "Liberation Serif");
    EXPECT_EQ(deviceFamily("TIMES NEW ROMAN"), "Liberation Serif");
    EXPECT_EQ(deviceFamily("_typewriter"), "Liberation Mono");
    EXPECT_EQ(deviceFamily("Courier New"), "Liberation Mono");
    EXPECT_EQ(deviceFamily("Some Font"), "Some Font");
    if (!cjkFamily().isEmpty()) {
        EXPECT_EQ(deviceFamily("\xE5\xAE\x8B\xE4\xBD\x93"), cjkFamily());  // 宋体
        EXPECT_EQ(deviceFamily("SimHei"), cjkFamily());
    }
    EXPECT_TRUE(isCjk(kZhong));
    EXPECT_TRUE(isCjk(0x3042));   // hiragana
    EXPECT_FALSE(isCjk(U'a'));
    EXPECT_FALSE(isCjk(0x00E9));
}

TEST(DeviceFonts, ArialTextMeasuresAsArialDoes)
{
    ensureGuiApplication();
    if (!QFontDatabase::families().contains("Liberation Sans"))
        GTEST_SKIP() << "fonts-liberation2 is not installed";
    // Arial's advances in its 2048-unit em: H 1479, o 1139, w 1479, space 569, t 569,
    // P 1366, l 455, a 1139, y 1024. Device text lines up on whole pixels: at 20 px each
    // advance rounds to H 14, o 11, w 14, space 6, t 6, P 13, l 4, a 11, y 10.
    GlyphCache glyphs;
    TextFieldLook look = field("How to Play", 5000, false);
    look.deviceFont = "Arial";
    look.wordWrap = false;
    const FieldLayout layout = layoutField(look, glyphs);
    ASSERT_EQ(layout.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(layout.lines[0].width, (14 + 11 + 14 + 6 + 6 + 11 + 6 + 13 + 4 + 11 + 10) * 20.0);
    // Ascent and descent come to whole pixels too (Arial: 1854 and 434 units).
    EXPECT_DOUBLE_EQ(layout.lines[0].ascent, 18 * 20.0);
    EXPECT_DOUBLE_EQ(layout.lines[0].descent, 4 * 20.0);
    // Chinese characters come from the CJK face, a full em wide.
    if (!cjkFamily().isEmpty()) {
        look.text = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
        const FieldLayout zh = layoutField(look, glyphs);
        ASSERT_EQ(zh.lines.size(), 1u);
        ASSERT_EQ(zh.lines[0].runs.size(), 1u);
        ASSERT_EQ(zh.lines[0].runs[0].glyphs.size(), 2u);
        EXPECT_TRUE(zh.lines[0].runs[0].glyphs[0].fallback);
        EXPECT_NEAR(zh.lines[0].width, 800, 40);
    }
}

TEST(TextLayout, TheCacheLaysOutAgainOnlyWhenWhatTheFieldShowsChanges)
{
    GlyphCache glyphs;
    LayoutCache cache;
    TextFieldLook look = field("abc", 5000);
    const FieldLayout* first = &cache.layout(look, glyphs);
    TextFieldLook same = look;  // a copy elsewhere, showing the same
    EXPECT_EQ(&cache.layout(same, glyphs), first);
    look.text = "abd";
    const FieldLayout& changed = cache.layout(look, glyphs);
    EXPECT_NE(&changed, first);
    EXPECT_EQ(glyphsPerLine(changed), (std::vector<size_t>{3}));
    look.bounds.xMax = 300;  // a narrower box wraps again
    EXPECT_EQ(glyphsPerLine(cache.layout(look, glyphs)), (std::vector<size_t>{1, 1, 1}));
    for (int i = 0; i < 1000; ++i) {
        look.text = std::to_string(i);
        cache.layout(look, glyphs);
    }
    EXPECT_LE(cache.size(), 256u);
}

// Glyph pictures stand in for outlines: drawn at fractional positions and scales they
// cover the same pixels as the filled outlines, within anti-aliasing.
TEST(GlyphBitmaps, PicturesMatchFilledOutlines)
{
    const auto font = halfEmFont();
    GlyphCache outlines;
    GlyphBitmaps pictures;
    for (double scale : {0.05, 0.0731, 0.2}) {
        for (double x : {10.0, 10.3, 10.6}) {
            SCOPED_TRACE(scale);
            SCOPED_TRACE(x);
            QImage drawn(80, 80, QImage::Format_ARGB32_Premultiplied);
            drawn.fill(Qt::white);
            QImage filled = drawn;
            {
                QPainter p(&drawn);
                p.setRenderHint(QPainter::Antialiasing);
                pictures.draw(p, outlines, font, 0, 400, x, 60.25, scale, scale, QColor(0, 0, 255));
            }
            {
                QPainter p(&filled);
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(Qt::NoPen);
                p.fillPath(QTransform(scale, 0, 0, scale, x, 60.25).map(placeGlyph(*outlines.glyph(font, 0), *font, 0, 0, 400)),
                           QColor(0, 0, 255));
            }
            int far = 0;
            for (int py = 0; py < 80; ++py) {
                for (int px = 0; px < 80; ++px)
                    far += std::abs(qRed(drawn.pixel(px, py)) - qRed(filled.pixel(px, py))) > 80;
            }
            EXPECT_EQ(far, 0);
        }
    }
    EXPECT_GT(pictures.bytes(), 0u);
    pictures.clear();
    EXPECT_EQ(pictures.bytes(), 0u);
    EXPECT_TRUE(GlyphBitmaps::suits(0.05, 0.05, 400));
    EXPECT_FALSE(GlyphBitmaps::suits(1, 1, 10000));  // 500 pixels: filled instead
    EXPECT_FALSE(GlyphBitmaps::suits(0.05, 0, 400));
}

} // namespace
