// The HTML subset of text fields: what parsing makes of markup (characters and the
// formats they are set in) and what writing gives back.

#include "engine/movie/HtmlText.h"

#include <gtest/gtest.h>

namespace {

using namespace swf;
using namespace swf::movie;
using render::TextFormat;

TextFormat base()
{
    TextFormat f;
    f.face = "Times New Roman";
    f.size = 240;
    return f;
}

// The format of the character at byte `at`.
TextFormat formatAt(const FormattedText& t, size_t at)
{
    size_t end = 0;
    for (const auto& span : t.spans) {
        end += span.bytes;
        if (at < end)
            return span.format;
    }
    ADD_FAILURE() << "no span covers byte " << at;
    return {};
}

TEST(HtmlText, CharactersComeOutWithParagraphsAsReturnsAndEntitiesDecoded)
{
    struct Case {
        const char* html;
        const char* text;
    } cases[] = {
        {"plain", "plain"},
        {"<p>one</p><p>two</p>", "one\rtwo\r"},  // a closed paragraph keeps its end
        {"a<br>b<BR/>c", "a\rb\rc"},
        {"a<p>b</p>", "ab\r"},  // text before a paragraph runs on into it
        {"a<li>b</li>", "a\rb\r"},  // but not into a list item
        {"<p>a<p>b</p>c</p>", "ab\rc"},  // a paragraph inside one ends it, unbroken
        {"a\nb\r\nc\rd", "a\rb\rc\rd"},  // line ends in the text end paragraphs
        {" <p>a</p>  <p> </p>\n", "a\r\r"},  // text that is only blanks is dropped
        {"<b> </b>\n", ""},
        {" a  b ", " a  b "},
        {"&lt;&gt;&amp;&quot;&apos;&#65;&#x42;", "<>&\"'AB"},
        {"&bogus; & alone", "&bogus; & alone"},
        {"<li>x</li><li>y</li>", "x\ry\r"},
        {"<unknown attr=1>kept</unknown>", "kept"},
        {"before<font color='#ff0000'", "before"},  // an unclosed tag hides the rest
        {"<b><i><u>deep</u></i></b>", "deep"},
        {"\xE4\xB8\xAD<b>\xE6\x96\x87</b>", "\xE4\xB8\xAD\xE6\x96\x87"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseHtml(c.html, base()).text, c.text) << c.html;
}

TEST(HtmlText, SingleLineFieldsOfNewerMoviesAndCondenseWhiteReadLineBreaksTheirWay)
{
    struct Case {
        HtmlReading reading;
        const char* html;
        const char* text;
    } cases[] = {
        {htmlReading(7, false, false), "<p>line 1</p><br><li>line 2</li>", "line 1line 2"},
        {htmlReading(7, false, false), "<p>\ntest\n</p>", "\rtest\r"},  // line ends in the text still count
        {htmlReading(6, false, false), "<p>line 1</p><br><p>line 2</p>", "line 1\r\rline 2\r"},
        {htmlReading(7, true, false), "<p>line 1 <br> line 2</p>", "line 1 \r line 2\r"},
        {htmlReading(7, true, true), "test \ntest\n\ntest\n\n\ntest", "test test test test"},
        {htmlReading(7, true, true), "<p>\n test  </p>\n ", " test \r"},
        {htmlReading(7, false, true), " <b> test1 </b> <b> test2 </b> ", " test1  test2 "},
        {htmlReading(7, false, true), "\n \t\n", ""},
        // Markup a movie stores keeps a space set in a style of its own.
        {{true, false, true, true}, "a<b> </b>b<b><i> </i></b>c", "a b c"},
        {{true, false, false, false}, "a<b> </b>b<b><i> </i></b>c", "abc"},
        // ...but not blanks between one element and the next.
        {{true, false, true, true}, "<p>a</p> <p>b</p> <b>c</b>", "a\rb\rc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseHtml(c.html, base(), c.reading).text, c.text) << c.html;
}

TEST(HtmlText, AStyleHookSetsEachTagsFormatOverWhatItInherits)
{
    HtmlReading reading;
    std::vector<std::string> seen;
    reading.style = [&seen](std::string_view tag, const std::string* className, TextFormat& f) {
        seen.push_back(std::string(tag) + (className ? "." + *className : ""));
        if (className && *className == "red")
            f.color = {255, 0, 0, 255};
        if (tag == "p")
            f.size = 400;
    };
    const FormattedText t =
        parseHtml("<p>a<span class=\"red\">b<b>c</b></span><span class=\"other\">d</span></p>", base(), reading);
    ASSERT_EQ(t.text, "abcd\r");
    EXPECT_EQ(seen, (std::vector<std::string>{"p", "span.red", "b", "span.other"}));
    EXPECT_EQ(formatAt(t, 0).size, 400);                        // the tag's style
    EXPECT_EQ(formatAt(t, 1).color, (Rgba{255, 0, 0, 255}));    // the class's
    EXPECT_EQ(formatAt(t, 2).color, (Rgba{255, 0, 0, 255}));    // inherited inside it
    EXPECT_TRUE(formatAt(t, 2).bold);
    EXPECT_EQ(formatAt(t, 3).color, base().color);              // no such class: untouched
    EXPECT_EQ(formatAt(t, 3).size, 400);
}

TEST(HtmlText, ATagsOwnAttributesGoOverItsStyle)
{
    HtmlReading reading;
    reading.style = [](std::string_view, const std::string*, TextFormat& f) {
        f.align = TextAlign::Center;
        f.color = {0, 0, 255, 255};
    };
    const FormattedText t =
        parseHtml("<p align=\"justify\">a</p><p>b<font color=\"#00FF00\">c</font></p>", base(), reading);
    ASSERT_EQ(t.text, "a\rbc\r");
    EXPECT_EQ(formatAt(t, 0).align, TextAlign::Justify);  // the attribute, not the style
    EXPECT_EQ(formatAt(t, 2).align, TextAlign::Center);   // no attribute: the style
    EXPECT_EQ(formatAt(t, 2).color, (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(formatAt(t, 3).color, (Rgba{0, 255, 0, 255}));
}

TEST(HtmlText, TagsSetTheFormatsOfWhatTheyEnclose)
{
    const FormattedText t = parseHtml(
        "<p align=\"center\"><font face=\"Arial\" size=\"20\" color=\"#FF8000\" letterSpacing=\"2\">A</font>"
        "<b>B</b><i>C</i><u>D</u><a href=\"http://x/\" target=\"_blank\">E</a>"
        "<font size=\"+4\">F</font><font size='-2'>G</font>H</p>",
        base());
    ASSERT_EQ(t.text, "ABCDEFGH\r");
    const TextFormat a = formatAt(t, 0);
    EXPECT_EQ(a.face, "Arial");
    EXPECT_EQ(a.size, 400);
    EXPECT_EQ(a.color, (Rgba{255, 128, 0, 255}));
    EXPECT_EQ(a.letterSpacing, 40);
    EXPECT_EQ(a.align, TextAlign::Center);
    EXPECT_TRUE(formatAt(t, 1).bold);
    EXPECT_FALSE(formatAt(t, 1).italic);
    EXPECT_TRUE(formatAt(t, 2).italic);
    EXPECT_TRUE(formatAt(t, 3).underline);
    EXPECT_EQ(formatAt(t, 4).url, "http://x/");
    EXPECT_EQ(formatAt(t, 4).target, "_blank");
    EXPECT_EQ(formatAt(t, 5).size, 320);  // 12 + 4 pixels
    EXPECT_EQ(formatAt(t, 6).size, 200);  // 12 - 2
    const TextFormat h = formatAt(t, 7);
    EXPECT_EQ(h.face, "Times New Roman");
    EXPECT_FALSE(h.bold || h.italic || h.underline);
    EXPECT_TRUE(h.url.empty());
    EXPECT_EQ(h.align, TextAlign::Center);
}

TEST(HtmlText, TextFormatSetsIndentsMarginsLeadingAndTabStopsAndLiBullets)
{
    const FormattedText t = parseHtml("<textformat leftmargin='5' rightmargin='6' indent='7' blockindent='8' "
                                      "leading='-2' tabstops='10,20,x,30'>a</textformat><li>b</li>c",
                                      base());
    ASSERT_EQ(t.text, "a\rb\rc");
    const TextFormat a = formatAt(t, 0);
    EXPECT_EQ(a.leftMargin, 100);
    EXPECT_EQ(a.rightMargin, 120);
    EXPECT_EQ(a.indent, 140);
    EXPECT_EQ(a.blockIndent, 160);
    EXPECT_EQ(a.leading, -40);
    EXPECT_EQ(a.tabStops, (std::vector<double>{200, 400, 600}));
    EXPECT_TRUE(formatAt(t, 2).bullet);
    EXPECT_FALSE(formatAt(t, 4).bullet);
    EXPECT_EQ(formatAt(t, 4).leftMargin, 0);  // closed with its tag
}

TEST(HtmlText, HostileMarkupStaysBounded)
{
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<font size='+1'>";
    deep += "x";
    const FormattedText t = parseHtml(deep, base());
    EXPECT_EQ(t.text, "x");
    EXPECT_LE(formatAt(t, 0).size, 10000 * 20);
    EXPECT_EQ(parseHtml("<font size='1e308' color='#zz'>y", base()).text, "y");
    EXPECT_EQ(parseHtml("<<<>>>&#99999999999;<", base()).text, ">>&#99999999999;");
}

TEST(HtmlText, FontSizesAreWholePixelsCutShortFrom1To127)
{
    const struct {
        const char* html;
        double pixels;
    } cases[] = {
        {"<font size='1.9'>x</font>", 1},
        {"<font size='1.9'><font size='+0.2'>x</font></font>", 1},
        {"<font size='128'>x</font>", 127},
        {"<font size='126'><font size='+1'><font size='+1'>x</font></font></font>", 127},
        {"<font size='12'><font size='-2.5'>x</font></font>", 9},
        {"<font size='1.2'><font size='-0.2'>x</font></font>", 1},
        {"<font size='0'>x</font>", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatAt(parseHtml(c.html, base()), 0).size, c.pixels * 20) << c.html;
}

TEST(HtmlText, AStyleClosesOnlyAsTheInnermostElement)
{
    const FormattedText t = parseHtml("<b>a<i>b</b>c</i>d</b>e", base());
    ASSERT_EQ(t.text, "abcde");
    EXPECT_TRUE(formatAt(t, 2).bold);
    EXPECT_TRUE(formatAt(t, 2).italic);
    EXPECT_TRUE(formatAt(t, 3).bold);
    EXPECT_FALSE(formatAt(t, 3).italic);
    EXPECT_FALSE(formatAt(t, 4).bold);
}

TEST(HtmlText, ColoursAreReadAsThePlayerReadsThem)
{
    // "#", blanks, then hex digits up to the first other character, the last six of
    // them counting; without "#" or a digit the colour stays the one outside.
    const struct {
        const char* value;
        uint32_t rgb;
    } cases[] = {
        {"#234567", 0x234567}, {"#2", 0x2},           {"#2345678", 0x345678}, {"#23456789a", 0x56789a},
        {"#AbC", 0xabc},       {"#  \t234567 ", 0x234567}, {"#2 34567", 0x2},      {"#23g45", 0x23},
        {"202020", 0x102030},  {" #234567", 0x102030}, {"#g101010", 0x102030}, {"#", 0x102030},
        {"0x234567", 0x102030},
    };
    for (const auto& c : cases) {
        const FormattedText t =
            parseHtml(std::string("<font color='#102030'>a<font color='") + c.value + "'>b</font></font>", base());
        const Rgba colour = formatAt(t, 1).color;
        EXPECT_EQ((uint32_t(colour.r) << 16) | (uint32_t(colour.g) << 8) | colour.b, c.rgb) << c.value;
    }
}

TEST(HtmlText, WritesParagraphsInTheReferenceForm)
{
    const std::string font = R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)";
    struct Case {
        const char* html;
        std::string out;
    } cases[] = {
        {"", ""},
        {"<p></p>", R"(<P ALIGN="LEFT">)" + font + "</FONT></P>"},
        {"a\nb\n", R"(<P ALIGN="LEFT">)" + font + "a</FONT></P>" + R"(<P ALIGN="LEFT">)" + font + "b</FONT></P>"},
        {"a &amp; b", R"(<P ALIGN="LEFT">)" + font + "a &amp; b</FONT></P>"},
        {"<p align='right'>r</p><p>l</p>",
         R"(<P ALIGN="RIGHT">)" + font + "r</FONT></P>" + R"(<P ALIGN="LEFT">)" + font + "l</FONT></P>"},
        {"x <b>y</b> <a href='u' target='t'><b><i>z</i></b></a>",  // the blank alone between tags is dropped
         R"(<P ALIGN="LEFT">)" + font + R"(x <B>y</B><A HREF="u" TARGET="t"><B><I>z</I></B></A></FONT></P>)"},
        {"<font color='#010101'>ab<b><br></b></font>",  // a line end in another format shows as an empty stretch
         R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="12" COLOR="#010101" LETTERSPACING="0" KERNING="0">)"
         R"(ab<B></B></FONT></P>)"},
        {"a<font face='Arial' color='#ff0000'>b</font>",
         R"(<P ALIGN="LEFT">)" + font + R"(a<FONT FACE="Arial" COLOR="#FF0000">b</FONT></FONT></P>)"},
        {"<textformat leftmargin='5' leading='2'>t</textformat>",
         R"(<TEXTFORMAT LEFTMARGIN="5" LEADING="2"><P ALIGN="LEFT">)" + font + "t</FONT></P></TEXTFORMAT>"},
        {"<li>item</li>", "<LI>" + font + "item</FONT></LI>"},
        // A stretch opens a level inside the last unless an open level has its font,
        // which it closes back to.
        {"a<font face='Arial'>b<font size='14'>c<font face='Times New Roman'>d</font></font></font>e",
         R"(<P ALIGN="LEFT">)" + font +
             R"(a<FONT FACE="Arial">b<FONT SIZE="14">c<FONT FACE="Times New Roman">d</FONT></FONT></FONT>e</FONT></P>)"},
        // The paragraph's font is its first character's.
        {"<font color='#ff0000'>a</font>b<font color='#ff0000'>c</font>",
         R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="12" COLOR="#FF0000" LETTERSPACING="0" KERNING="0">)"
         R"(a<FONT COLOR="#000000">b</FONT>c</FONT></P>)"},
    };
    for (const Case& c : cases) {
        const FormattedText t = parseHtml(c.html, base());
        EXPECT_EQ(toHtml(t.text, t.spans, base()), c.out) << c.html;
    }
}

// Where each line end's format comes from: a <br> or </li> ends its line in the format
// open there; a </p> in its paragraph's with the last character's font and style; and
// a <font> element closed empty leaves its font to every </p> after it.
TEST(HtmlText, LineEndsTakeTheFormatsTheReferencePlayerGivesThem)
{
    const std::string font = R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)";
    const std::string p = R"(<P ALIGN="LEFT">)";
    struct Case {
        const char* html;
        std::string out;
    } cases[] = {
        {"<p>test<b></b><p>test<u></u></p></p>", p + font + "testtest</FONT></P>"},
        {"<p>test<font color='#121212'></font><p>test</p></p>",
         p + font + R"(testtest<FONT COLOR="#121212"></FONT></FONT></P>)"},
        {"<p>a<font color='#121212'></font></p><font color='#131313'><p>b</p></font>",
         p + font + R"(a<FONT COLOR="#121212"></FONT></FONT></P>)" + p +
             R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#131313" LETTERSPACING="0" KERNING="0">)"
             R"(b<FONT COLOR="#121212"></FONT></FONT></P>)"},
        {"<p><font color='#111111'><b></b></font></p>",
         p + R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#111111" LETTERSPACING="0" KERNING="0"></FONT></P>)"},
        {"<font color='#010101'><b><p align='right'></p></b></font>",
         R"(<P ALIGN="RIGHT">)" + font + "</FONT></P>"},
        {"<p><font color='#111111'>t</font></p>",
         p + R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#111111" LETTERSPACING="0" KERNING="0">t</FONT></P>)"},
        {"<li>t<font color='#121212'></font><li>u</li></li>",
         "<LI>" + font + "t</FONT></LI><LI>" + font + "u</FONT></LI><LI>" + font + "</FONT></LI>"},
        {"<p align='right'>t<li></li></p>",
         R"(<P ALIGN="RIGHT">)" + font + "t</FONT></P><LI>" + font + R"(</FONT></LI><P ALIGN="RIGHT">)" + font +
             "</FONT></P>"},
        {"t<li><br><textformat leftmargin='2'></textformat></li>",
         p + font + "t</FONT></P><LI>" + font + "</FONT></LI><LI>" + font + "</FONT></LI>"},
    };
    for (const Case& c : cases) {
        const FormattedText t = parseHtml(c.html, base());
        EXPECT_EQ(toHtml(t.text, t.spans, base()), c.out) << c.html;
    }
}

TEST(HtmlText, KerningAndBulletsDependOnTheMovieAndTheField)
{
    const char* html = "<font kerning='1'>k<li>x</li></font>";
    EXPECT_FALSE(formatAt(parseHtml(html, base(), htmlReading(7, true, false)), 0).kerning);
    EXPECT_TRUE(formatAt(parseHtml(html, base(), htmlReading(8, true, false)), 0).kerning);
    EXPECT_TRUE(formatAt(parseHtml(html, base(), htmlReading(8, true, false)), 2).bullet);
    // A single-line field of a newer movie runs list items into its one paragraph,
    // which reads back as one stretch.
    const FormattedText single = parseHtml("<i>text<li>text</li></i>", base(), htmlReading(7, false, false));
    EXPECT_EQ(single.text, "texttext");
    EXPECT_EQ(toHtml(single.text, single.spans, base()),
              R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" )"
              R"(KERNING="0"><I>texttext</I></FONT></P>)");
}

TEST(HtmlText, WrittenTextReadsBackToTheSameCharactersAndFormats)
{
    const FormattedText first = parseHtml(
        "<p align='center'><font face='Verdana' size='9'>one <b>two</b></font></p><textformat indent='3'><li><u>"
        "three</u></li></textformat><p><a href='http://a/?q=1&amp;r=2'>four &lt;5&gt;</a></p>",
        base());
    const FormattedText again = parseHtml(toHtml(first.text, first.spans, base()), base());
    EXPECT_EQ(again.text, first.text);
    EXPECT_EQ(again.spans, first.spans);
}

} // namespace
