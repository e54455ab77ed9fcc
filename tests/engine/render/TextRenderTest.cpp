// Drawing static texts and text fields: where glyphs land for each font kind, their
// colour through colour transforms, texts as masks, and text fields' boxes and text.

#include "RenderFixture.h"
#include "engine/render/TextDraw.h"
#include "tests/support/TextWriter.h"

#include <cmath>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);

// One square glyph half the em wide, sitting on the baseline, at index 0 and code 'x'.
std::shared_ptr<const FontDef> squareFont(int tagCode)
{
    FontSpec spec;
    spec.tagCode = tagCode;
    spec.layout = true;
    const int32_t em = tagCode == 75 ? 20480 : 1024;
    spec.ascent = static_cast<uint16_t>(em / 2);
    spec.descent = static_cast<uint16_t>(em / 4);
    spec.glyphs.push_back({squareGlyph(em / 2), 'x', static_cast<int16_t>(em * 3 / 4), {}});
    return buildFont(spec);
}

// Two glyphs 400 twips tall, red, with the baseline at y = 1000 from x = 1000, the
// second 300 twips after the first.
std::shared_ptr<TextDef> twoGlyphText(std::shared_ptr<const FontDef> font, std::vector<uint32_t> indices = {0, 0})
{
    TextRecord rec;
    rec.fontId = 1;
    rec.height = 400;
    rec.color = Rgba{255, 0, 0, 255};
    rec.xOffset = 1000;
    rec.yOffset = 1000;
    for (uint32_t index : indices)
        rec.glyphs.push_back({index, 300});
    std::vector<uint8_t> bytes = encodeDefineText(33, {0, 2000, 0, 2000}, {}, {rec});
    ByteReader reader(bytes);
    auto text = parseDefineText(33, reader);
    text->fonts[1] = std::move(font);
    return text;
}

RenderNode textNode(std::shared_ptr<const TextDef> text, uint16_t depth = 1)
{
    RenderNode node;
    node.depth = depth;
    node.text = std::move(text);
    return node;
}

TEST(TextRender, GlyphsScaleByHeightOverTheEmSquareOfTheirFontKind)
{
    for (int tag : {48, 75}) {
        SCOPED_TRACE(tag);
        Canvas c(100, 100);
        c.draw(rootOf({textNode(twoGlyphText(squareFont(tag)))}));
        // Half an em of a 400-twip text: 200 twips, 10 pixels, above the baseline at 50.
        EXPECT_TRUE(near(c.at(55, 45), kRed));
        EXPECT_TRUE(near(c.at(51, 41), kRed));
        EXPECT_TRUE(near(c.at(55, 52), kWhite));  // below the baseline
        EXPECT_TRUE(near(c.at(55, 38), kWhite));  // above the glyph's top
        // The second glyph starts one advance (300 twips) later: pixels 65 to 75.
        EXPECT_TRUE(near(c.at(62, 45), kWhite));
        EXPECT_TRUE(near(c.at(70, 45), kRed));
        EXPECT_TRUE(near(c.at(77, 45), kWhite));
    }
}

TEST(TextRender, TextMatrixAppliesBeforeThePlacementAndColoursAreTransformed)
{
    auto text = twoGlyphText(squareFont(48));
    text->matrix = translate(0, 400);
    RenderNode node = textNode(text);
    node.matrix = scale(2, 2);
    node.colorTransform.rMul = 0;
    node.colorTransform.bAdd = 255;
    Canvas c(200, 200);
    c.draw(rootOf({node}));
    // Glyph one covers twips 1000..1200 x 1200..1400 in the text's space, doubled.
    EXPECT_TRUE(near(c.at(110, 130), QColor(0, 0, 255)));
    EXPECT_TRUE(near(c.at(110, 115), kWhite));
    EXPECT_TRUE(near(c.at(140, 130), QColor(0, 0, 255)));
}

TEST(TextRender, MissingFontsAndGlyphsDrawNothingButTheRestDraws)
{
    auto noFont = twoGlyphText(nullptr);
    auto pastGlyphs = twoGlyphText(squareFont(48), {7, 0});
    Canvas c(100, 100);
    c.draw(rootOf({textNode(noFont), textNode(pastGlyphs, 2)}));
    EXPECT_TRUE(near(c.at(55, 45), kWhite));  // glyph 7 of a one-glyph font
    EXPECT_TRUE(near(c.at(70, 45), kRed));
}

TEST(TextRender, TextMasksByItsGlyphs)
{
    RenderNode mask = textNode(twoGlyphText(squareFont(48)));
    mask.clipDepth = 2;
    StyleArrays styles(32);
    RecordWriter box;
    box.fill0(styles.solid({0, 128, 0, 255})).rect(0, 0, 2000, 2000);
    RenderNode under = shapeNode(buildShape(32, {0, 2000, 0, 2000}, styles, box), 2);
    Canvas c(100, 100);
    c.draw(rootOf({mask, under}));
    EXPECT_TRUE(near(c.at(55, 45), QColor(0, 128, 0)));
    EXPECT_TRUE(near(c.at(62, 45), kWhite));
    EXPECT_TRUE(near(c.at(20, 20), kWhite));
}

std::shared_ptr<EditTextDef> field(std::shared_ptr<const FontDef> font, std::string text)
{
    auto def = std::make_shared<EditTextDef>();
    def->bounds = {0, 1600, 0, 1000};
    def->border = true;
    def->useOutlines = true;
    def->fontId = 1;
    def->height = 400;
    def->color = Rgba{255, 0, 0, 255};
    def->initialText = std::move(text);
    def->font = std::move(font);
    return def;
}

RenderNode fieldNode(std::shared_ptr<const EditTextDef> def)
{
    RenderNode node;
    node.depth = 1;
    node.editText = std::move(def);
    node.matrix = translate(200, 200);
    return node;
}

TEST(EditTextRender, BorderBackgroundAndTextInsideThePadding)
{
    Canvas c(120, 80, QColor(0, 0, 255));
    c.draw(rootOf({fieldNode(field(squareFont(48), "xx"))}));
    // The box covers pixels 10..90 x 10..60 with a black line on its edges.
    EXPECT_TRUE(near(c.at(10, 30), QColor(0, 0, 0)));
    EXPECT_TRUE(near(c.at(50, 10), QColor(0, 0, 0)));
    EXPECT_TRUE(near(c.at(90, 30), QColor(0, 0, 0)));
    EXPECT_TRUE(near(c.at(50, 60), QColor(0, 0, 0)));
    EXPECT_TRUE(near(c.at(95, 30), QColor(0, 0, 255)));
    EXPECT_TRUE(near(c.at(80, 50), kWhite));
    // Text starts 2 pixels in; the baseline is one ascent (200 twips) below the top
    // padding: glyphs cover x 12..22 and 27..37 (advance 300 twips), y 12..22.
    EXPECT_TRUE(near(c.at(17, 17), kRed));
    EXPECT_TRUE(near(c.at(32, 17), kRed));
    EXPECT_TRUE(near(c.at(24, 17), kWhite));
    EXPECT_TRUE(near(c.at(17, 24), kWhite));
}

// A field as a mask covers its glyphs, cut to its box, unless it has a background or
// border: then its whole box.
TEST(EditTextRender, FieldsMaskByTheirGlyphsOrTheirBox)
{
    StyleArrays styles(32);
    RecordWriter box;
    box.fill0(styles.solid({0, 128, 0, 255})).rect(0, 0, 2400, 1600);
    for (bool bordered : {false, true}) {
        SCOPED_TRACE(bordered);
        auto def = field(squareFont(48), "xx");
        def->border = bordered;
        RenderNode mask = fieldNode(def);
        mask.clipDepth = 2;
        RenderNode under = shapeNode(buildShape(32, {0, 2400, 0, 1600}, styles, box), 2);
        Canvas c(120, 80);
        c.draw(rootOf({mask, under}));
        // Glyphs cover x 12..22 and 27..37, y 12..22 (see above); the box 10..90 x 10..60.
        EXPECT_TRUE(near(c.at(17, 17), QColor(0, 128, 0)));
        EXPECT_TRUE(near(c.at(32, 17), QColor(0, 128, 0)));
        EXPECT_TRUE(near(c.at(24, 17), bordered ? QColor(0, 128, 0) : kWhite));
        EXPECT_TRUE(near(c.at(80, 50), bordered ? QColor(0, 128, 0) : kWhite));
        EXPECT_TRUE(near(c.at(100, 70), kWhite));  // outside the box
    }
}

// A field's box sits on the pixel grid: its near edges on the pixel edges they are
// nearest to (halfway going to the lower one), its far edges a whole number of pixels
// further, a rotation too small to move a corner by a pixel ignored. The border's
// bottom right corner pixel is left out for a device-font field and partly covered for
// one drawn with embedded outlines.
TEST(EditTextRender, FieldBoxSnapsToThePixelGrid)
{
    const double turn = 0.005;
    struct Row {
        const char* what;
        Rect bounds;
        Matrix matrix;
        int left, top, right, bottom;
        bool outlines;  // drawn with the embedded font: the corner pixel is drawn
    };
    const Row rows[] = {
        {"whole pixels", {0, 200, 0, 200}, translate(200, 400), 10, 20, 20, 30, false},
        {"halfway", {0, 200, 0, 200}, translate(410, 1010), 20, 50, 30, 60, false},
        {"scaled", {0, 200, 0, 200}, {1.364974, 0, 0, 1.364974, 764, 964}, 38, 48, 52, 62, false},
        {"scaled twice as much", {0, 200, 0, 200}, {2.729948, 0, 0, 2.729948, 1528, 1928}, 76, 96, 103, 123, false},
        {"turned a little", {0, 200, 0, 200}, {std::cos(turn), std::sin(turn), -std::sin(turn), std::cos(turn), 600, 600},
         30, 30, 40, 40, false},
        {"left of and above its origin", {-400, -200, -400, -200}, translate(800, 800), 20, 20, 30, 30, true},
        {"left of and above its origin, device font", {-400, -200, -400, -200}, translate(800, 800), 20, 20, 30, 30,
         false},
        {"whole pixels, embedded outlines", {0, 200, 0, 200}, translate(200, 400), 10, 20, 20, 30, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto def = field(squareFont(48), "");
        def->bounds = row.bounds;
        def->useOutlines = row.outlines;
        RenderNode node = fieldNode(def);
        node.matrix = row.matrix;
        Canvas c(140, 140, QColor(0, 0, 255));
        c.draw(rootOf({node}));
        const int midX = (row.left + row.right) / 2;
        const int midY = (row.top + row.bottom) / 2;
        EXPECT_TRUE(near(c.at(row.left, midY), QColor(0, 0, 0)));
        EXPECT_TRUE(near(c.at(row.left - 1, midY), QColor(0, 0, 255)));
        EXPECT_TRUE(near(c.at(row.left + 1, midY), kWhite));
        EXPECT_TRUE(near(c.at(row.right, midY), QColor(0, 0, 0)));
        EXPECT_TRUE(near(c.at(row.right - 1, midY), kWhite));
        EXPECT_TRUE(near(c.at(row.right + 1, midY), QColor(0, 0, 255)));
        EXPECT_TRUE(near(c.at(midX, row.top), QColor(0, 0, 0)));
        EXPECT_TRUE(near(c.at(midX, row.top - 1), QColor(0, 0, 255)));
        EXPECT_TRUE(near(c.at(midX, row.bottom), QColor(0, 0, 0)));
        EXPECT_TRUE(near(c.at(midX, row.bottom + 1), QColor(0, 0, 255)));
        const QColor corner = c.at(row.right, row.bottom);
        if (row.outlines)
            EXPECT_LT(corner.blue(), 200);
        else
            EXPECT_TRUE(near(corner, QColor(0, 0, 255)));
    }
}

TEST(EditTextRender, AlignmentLineBreaksAndClippingToTheBounds)
{
    auto right = field(squareFont(48), "x\rx");
    right->hasLayout = true;
    right->align = TextAlign::Right;
    right->leading = 100;
    Canvas c(120, 80);
    c.draw(rootOf({fieldNode(right)}));
    // Right aligned: the glyph's advance (15 pixels) ends 2 pixels inside the right edge
    // (90), so its 10-pixel outline covers x 73..83.
    EXPECT_TRUE(near(c.at(78, 17), kRed));
    EXPECT_TRUE(near(c.at(85, 17), kWhite));
    EXPECT_TRUE(near(c.at(17, 17), kWhite));
    // The second line is ascent + descent + leading (200 + 100 + 100 twips) lower.
    EXPECT_TRUE(near(c.at(78, 37), kRed));

    // Word wrap moves the word that does not fit onto the next line; lines past the
    // bottom are clipped.
    auto wrapped = field(squareFont(48), "xxxx xxxx xxxx xxxx");
    wrapped->wordWrap = true;
    Canvas w(120, 80);
    w.draw(rootOf({fieldNode(wrapped)}));
    EXPECT_TRUE(near(w.at(17, 17), kRed));
    EXPECT_TRUE(near(w.at(17, 32), kRed));   // the second line starts at the left again
    EXPECT_TRUE(near(w.at(17, 65), kWhite));  // below the box: clipped
}

TEST(EditTextRender, HtmlIsReducedToItsCharacters)
{
    EditTextDef def;
    def.html = true;
    def.initialText = "<p align=\"left\"><font color=\"#ff0000\">a&amp;b</font></p><p>c&lt;<br/>d</p>";
    EXPECT_EQ(displayedText(def).toStdString(), "a&b\nc<\nd");
    def.html = false;
    def.password = true;
    def.initialText = "abc";
    EXPECT_EQ(displayedText(def).toStdString(), "***");
}

} // namespace
