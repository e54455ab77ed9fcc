// TextFormat as scripts use it: each setting's conversion (whole pixels with halves to
// even, margins never negative, colours in 32 bits unsigned, alignments only when
// known, tab stops from any list), null for unset settings, the constructor's own
// integer conversion, and the text field side's reading and setting of formats over
// ranges of characters.

#include "engine/avm1/Machine.h"
#include "engine/avm1/TextFormatObject.h"
#include "engine/movie/TextFieldFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace swf::avm1 {
namespace {

constexpr double kInvalid = -2147483648.0;
const double kNaN = std::nan("");
const double kInf = std::numeric_limits<double>::infinity();

struct Fixture {
    Machine m{8};
    Value format;

    Fixture(std::span<const Value> args = {})
    {
        format = m.construct(m.global()->findOwn("TextFormat")->value, args);
    }
    Value get(std::string_view name) { return m.getMember(format, name); }
    Value set(std::string_view name, Value v)
    {
        m.setMember(format, name, std::move(v));
        return get(name);
    }
};

TEST(TextFormat, SettingsStartUnsetAndNullOrUndefinedUnsetThem)
{
    Fixture f;
    for (const char* name : {"font", "size", "color", "url", "target", "bold", "italic", "underline", "align",
                             "leftMargin", "rightMargin", "indent", "leading", "blockIndent", "tabStops", "bullet",
                             "kerning", "letterSpacing"}) {
        EXPECT_TRUE(f.get(name).isNull()) << name;
    }
    EXPECT_EQ(f.m.toString(f.get("display")), "block");
    EXPECT_TRUE(f.set("size", Value(12.0)).isNumber());
    EXPECT_TRUE(f.set("size", Value()).isNull());
    EXPECT_TRUE(f.set("bold", Value(true)).isBool());
    EXPECT_TRUE(f.set("bold", Value(Null{})).isNull());
}

TEST(TextFormat, NumbersConvertAsThePlayerStoresThem)
{
    struct Case {
        double in;
        double whole;   // size, indent, leading, blockIndent
        double margin;  // leftMargin, rightMargin
        double color;
    };
    const Case cases[] = {
        {-3.5, -4, 0, 4294967293.0}, {-2.5, -2, 0, 4294967294.0}, {2.5, 2, 2, 2},
        {3.5, 4, 4, 3},              {305419896, 305419896, 305419896, 305419896},
        {4294967295.0, kInvalid, kInvalid, 4294967295.0},
        {kNaN, kInvalid, 0, 0},      {kInf, kInvalid, kInvalid, 0}, {-kInf, kInvalid, 0, 0},
    };
    for (const Case& c : cases) {
        Fixture f;
        EXPECT_EQ(f.m.toNumber(f.set("size", Value(c.in))), c.whole) << c.in;
        EXPECT_EQ(f.m.toNumber(f.set("blockIndent", Value(c.in))), c.whole) << c.in;
        EXPECT_EQ(f.m.toNumber(f.set("leftMargin", Value(c.in))), c.margin) << c.in;
        EXPECT_EQ(f.m.toNumber(f.set("color", Value(c.in))), c.color) << c.in;
    }
    Fixture f;
    EXPECT_EQ(f.m.toNumber(f.set("letterSpacing", Value(-3.5))), -3.5) << "letter spacing keeps fractions";
}

TEST(TextFormat, AlignTakesKnownWordsOnlyAndKeepsItsValueOtherwise)
{
    Fixture f;
    EXPECT_EQ(f.m.toString(f.set("align", Value("CENTER"))), "center");
    EXPECT_EQ(f.m.toString(f.set("align", Value("sideways"))), "center");
    EXPECT_EQ(f.m.toString(f.set("align", Value(Null{}))), "center");
    EXPECT_EQ(f.m.toString(f.set("align", Value("justify"))), "justify");
}

TEST(TextFormat, DisplayIsBlockUnlessExactlyInlineOrNone)
{
    Fixture f;
    EXPECT_EQ(f.m.toString(f.set("display", Value("inline"))), "inline");
    EXPECT_EQ(f.m.toString(f.set("display", Value("Inline"))), "block");
    EXPECT_EQ(f.m.toString(f.set("display", Value("none"))), "none");
    EXPECT_EQ(f.m.toString(f.set("display", Value(Null{}))), "block");
}

TEST(TextFormat, TabStopsComeFromAnyListAndFontNamesStopAt64Characters)
{
    Fixture f;
    const Value items[] = {Value(3.5), Value(-2.5), Value("7")};
    f.set("tabStops", Value(f.m.newArray(items)));
    EXPECT_EQ(f.m.toString(f.get("tabStops")), "4,-2,7");
    EXPECT_TRUE(f.set("tabStops", Value(5.0)).isNull());
    std::string longName(100, 'x');
    EXPECT_EQ(f.m.toString(f.set("font", Value(longName))).size(), 64u);
}

TEST(TextFormat, TheConstructorCutsIntegersTowardZeroAndKeepsNegativeMargins)
{
    const Value args[] = {Value("Arial"), Value(-10.9), Value(255.0), Value(true), Value(), Value(),
                          Value(), Value(), Value("right"), Value(-10.9), Value(4.7)};
    Fixture f(args);
    EXPECT_EQ(f.m.toString(f.get("font")), "Arial");
    EXPECT_EQ(f.m.toNumber(f.get("size")), -10);
    EXPECT_EQ(f.m.toNumber(f.get("color")), 255);
    EXPECT_TRUE(f.m.toBoolean(f.get("bold")));
    EXPECT_TRUE(f.get("italic").isNull());
    EXPECT_EQ(f.m.toString(f.get("align")), "right");
    EXPECT_EQ(f.m.toNumber(f.get("leftMargin")), -10);
    EXPECT_EQ(f.m.toNumber(f.get("rightMargin")), 4);
    EXPECT_TRUE(f.get("indent").isNull());
}

render::TextFormat plain(double sizeTwips)
{
    render::TextFormat f;
    f.face = "Arial";
    f.size = sizeTwips;
    return f;
}

TEST(TextFieldFormat, RangesReportWhatTheyShareAndSettingSplitsStretches)
{
    const std::string text = "ab中de";  // 5 characters, 7 bytes
    std::vector<render::TextSpan> spans;
    TextFormatData bold;
    bold.bold = true;
    bold.size = 20;
    // Characters 1..3 ("b中") bold and 20 px.
    spans = movie::withTextFormat(text, spans, plain(240), movie::byteOffsetOf(text, 1), movie::byteOffsetOf(text, 3),
                                  bold);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].bytes, 1u);
    EXPECT_EQ(spans[1].bytes, 4u);
    EXPECT_EQ(spans[2].bytes, 2u);
    EXPECT_TRUE(spans[1].format.bold);
    EXPECT_EQ(spans[1].format.size, 400);

    auto shared = [&](size_t from, size_t to) {
        return movie::sharedTextFormat(text, spans, plain(240), movie::byteOffsetOf(text, from),
                                       movie::byteOffsetOf(text, to));
    };
    TextFormatData inside = shared(1, 3);
    EXPECT_EQ(inside.bold, true);
    EXPECT_EQ(inside.size, 20);
    TextFormatData across = shared(0, 5);
    EXPECT_FALSE(across.bold.has_value());
    EXPECT_FALSE(across.size.has_value());
    EXPECT_EQ(across.font, "Arial") << "what all characters share stays set";
    TextFormatData last = shared(4, 5);
    EXPECT_EQ(last.bold, false);
    EXPECT_EQ(last.size, 12);

    // Plain 12 px laid over everything: the stretches are equal again and merge.
    TextFormatData notBold;
    notBold.bold = false;
    notBold.size = 12;
    spans = movie::withTextFormat(text, spans, plain(240), 0, text.size(), notBold);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].bytes, text.size());
}

TEST(TextFieldFormat, ScriptUnitsRoundTripThroughTwips)
{
    render::TextFormat f = plain(240);
    f.color = {0x12, 0x34, 0x56, 255};
    f.align = TextAlign::Center;
    f.leftMargin = 100;
    f.tabStops = {200, 400};
    TextFormatData d = movie::textFormatData(f);
    EXPECT_EQ(d.size, 12);
    EXPECT_EQ(d.color, 0x123456);
    EXPECT_EQ(d.align, "center");
    EXPECT_EQ(d.leftMargin, 5);
    EXPECT_EQ(d.tabStops, (std::vector<double>{10, 20}));
    render::TextFormat back = plain(0);
    movie::applyTextFormat(back, d);
    EXPECT_EQ(back, f);
}

} // namespace
} // namespace swf::avm1
