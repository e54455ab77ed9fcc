// TextField properties beyond the text itself, in a playing movie: scroll positions and
// their limits from the laid-out lines, the settings kept per field with their
// conversions, and what older movies see of the newer ones.

#include "engine/Player.h"
#include "tests/support/GuiApp.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdlib>
#include <optional>
#include <variant>

namespace swf {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kPop = 0x17, kEquals2 = 0x49,
                  kLess2 = 0x48, kNewObject = 0x40, kSetVariable = 0x1D;

Lines run(const ActionBuilder& frame, int version = 10)
{
    lanfan::test::ensureGuiApplication();
    test::MovieOptions options;
    options.version = version;
    test::SwfWriter w(options);
    w.doAction(frame);
    w.showFrame();
    Player player;
    Lines lines;
    player.loadBytes(w.build());
    player.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    player.advance();
    return lines;
}

// _root.createTextField("t", 1, 0, 0, width, height) with `text`.
ActionBuilder field(int width, int height, std::string_view text, bool multiline)
{
    ActionBuilder a;
    a.pushInt(height).pushInt(width).pushInt(0).pushInt(0).pushInt(1).pushString("t");
    a.pushInt(6).getVariable("_root").pushString("createTextField").op(kCallMethod).op(kPop);
    if (multiline) {
        a.getVariable("t").pushString("multiline").pushBool(true).op(kSetMember);
        a.getVariable("t").pushString("wordWrap").pushBool(true).op(kSetMember);
    }
    a.getVariable("t").pushString("text").pushString(text).op(kSetMember);
    return a;
}

ActionBuilder& get(ActionBuilder& a, std::string_view member)
{
    return a.getVariable("t").pushString(member).op(kGetMember);
}

ActionBuilder& set(ActionBuilder& a, std::string_view member, double value)
{
    return a.getVariable("t").pushString(member).pushNumber(value).op(kSetMember);
}

TEST(TextFieldScroll, ScrollStaysBetweenTheFirstLineAndTheLastPageOfLines)
{
    // Six lines in a box about two lines high.
    ActionBuilder a = field(100, 40, "1\r2\r3\r4\r5\r6", true);
    get(a, "scroll").trace();
    // 1 < maxscroll < 6
    a.pushNumber(1);
    get(a, "maxscroll").op(kLess2).trace();
    get(a, "maxscroll").pushNumber(6).op(kLess2).trace();
    set(a, "scroll", 100);
    get(a, "scroll");
    get(a, "maxscroll").op(kEquals2).trace();
    // Scrolled to the end, the last page runs from maxscroll on and ends on the last line.
    get(a, "maxscroll");
    get(a, "bottomScroll").op(kLess2).trace();
    get(a, "bottomScroll").trace();
    set(a, "scroll", -5);
    get(a, "scroll").trace();
    // Shown from line 1, the bottom line is before the last.
    get(a, "bottomScroll").pushNumber(6).op(kLess2).trace();
    set(a, "scroll", 2.9);
    get(a, "scroll").trace();
    // Writes to the limits are ignored.
    set(a, "maxscroll", 1);
    get(a, "maxscroll").pushNumber(1).op(kEquals2).trace();
    // Four more lines below the box's bottom edge: four more places to scroll to, and a
    // taller text (lines past the bottom edge are measured, not only drawn ones).
    a.pushString("h6");
    get(a, "textHeight").op(0x1D);
    a.pushString("m6");
    get(a, "maxscroll").op(0x1D);
    a.getVariable("t").pushString("text").pushString("1\r2\r3\r4\r5\r6\r7\r8\r9\r10").op(kSetMember);
    get(a, "maxscroll").getVariable("m6").op(0x0B).trace();
    a.getVariable("h6");
    get(a, "textHeight").op(kLess2).trace();
    EXPECT_EQ(run(a), (Lines{"1", "true", "true", "true", "true", "6", "1", "true", "2", "false", "4", "true"}));
}

TEST(TextFieldScroll, OneLineThatFitsCannotScroll)
{
    ActionBuilder a = field(200, 100, "short", true);
    get(a, "maxscroll").trace();
    get(a, "maxhscroll").trace();
    set(a, "scroll", 3);
    get(a, "scroll").trace();
    get(a, "bottomScroll").trace();
    // textWidth and textHeight measure the text, not the box.
    a.pushNumber(0);
    get(a, "textWidth").op(kLess2).trace();
    get(a, "textWidth").pushNumber(200).op(kLess2).trace();
    a.pushNumber(0);
    get(a, "textHeight").op(kLess2).trace();
    EXPECT_EQ(run(a), (Lines{"1", "0", "1", "1", "true", "true", "true"}));
}

TEST(TextFieldScroll, HScrollIsAWholePixelCountWithinTheOverflow)
{
    struct Case {
        double value;
        const char* expected;  // "max" for maxhscroll
    } cases[] = {
        {-10, "0"}, {1.5, "1"}, {2147483648.0, "0"}, {1e6, "max"}, {0, "0"},
    };
    for (const Case& c : cases) {
        ActionBuilder a = field(10, 20, "123456789", false);
        a.pushNumber(0);
        get(a, "maxhscroll").op(kLess2).trace();
        set(a, "hscroll", c.value);
        if (std::string(c.expected) == "max") {
            get(a, "hscroll");
            get(a, "maxhscroll").op(kEquals2).trace();
        } else {
            get(a, "hscroll").trace();
        }
        EXPECT_EQ(run(a), (Lines{"true", std::string(c.expected) == "max" ? "true" : c.expected})) << c.value;
    }
}

TEST(TextFieldSettings, KeptPerFieldWithTheirConversions)
{
    using Arg = std::variant<double, std::string, bool>;
    struct Case {
        const char* name;
        std::optional<Arg> value;  // none: read the default
        const char* expected;
    } cases[] = {
        {"restrict", {}, "null"},
        {"restrict", std::string("a-z"), "a-z"},
        {"restrict", std::string(""), "null"},
        {"condenseWhite", {}, "false"},
        {"condenseWhite", 1.0, "true"},
        {"mouseWheelEnabled", {}, "true"},
        {"mouseWheelEnabled", false, "false"},
        {"styleSheet", std::string("not a sheet"), "undefined"},
        {"tabIndex", {}, "undefined"},
        {"tabIndex", 3.0, "3"},
        {"sharpness", {}, "0"},
        {"sharpness", 500.0, "500"},
        {"sharpness", -500.0, "-500"},
        {"thickness", -300.0, "-200"},
        {"thickness", std::string("x"), "-200"},  // NaN leaves it
        {"antiAliasType", {}, "normal"},
        {"antiAliasType", std::string("advanced"), "advanced"},
        {"antiAliasType", std::string("bogus"), "advanced"},  // an unknown name leaves it
        {"gridFitType", {}, "pixel"},
        {"gridFitType", std::string("subpixel"), "subpixel"},
        {"gridFitType", std::string("bogus"), "subpixel"},
    };
    ActionBuilder a = field(100, 20, "x", false);
    for (const Case& c : cases) {
        if (c.value) {
            a.getVariable("t").pushString(c.name);
            if (auto* n = std::get_if<double>(&*c.value))
                a.pushNumber(*n);
            else if (auto* s = std::get_if<std::string>(&*c.value))
                a.pushString(*s);
            else
                a.pushBool(std::get<bool>(*c.value));
            a.op(kSetMember);
        }
        get(a, c.name).trace();
    }
    const Lines lines = run(a);
    ASSERT_EQ(lines.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(lines[i], cases[i].expected) << cases[i].name << " #" << i;
}

TEST(TextFieldSettings, FiltersAreCopiedInAndOut)
{
    ActionBuilder a = field(100, 20, "x", false);
    get(a, "filters").pushString("length").op(kGetMember).trace();
    // f = []; t.filters = f; f.push(1): the field keeps its own copy.
    a.pushString("f").pushInt(0).pushString("Array").op(kNewObject).op(kSetVariable);
    a.getVariable("t").pushString("filters").getVariable("f").op(kSetMember);
    a.pushNumber(1).pushInt(1).getVariable("f").pushString("push").op(kCallMethod).op(kPop);
    get(a, "filters").pushString("length").op(kGetMember).trace();
    // Two reads are two arrays.
    get(a, "filters");
    get(a, "filters").op(kEquals2).trace();
    EXPECT_EQ(run(a), (Lines{"0", "0", "false"}));
}

TEST(TextFieldSettings, OlderMoviesSeeTheNewerNamesEmpty)
{
    for (int version : {6, 8}) {
        ActionBuilder a = field(100, 20, "hello", false);
        // t.replaceText(0, 1, "J"); trace(t.text)
        a.pushString("J").pushInt(1).pushInt(0).pushInt(3).getVariable("t").pushString("replaceText").op(kCallMethod)
            .op(kPop);
        get(a, "text").trace();
        // The prototype's sharpness, then one written on a plain object inheriting it.
        a.getVariable("TextField").pushString("prototype").op(kGetMember).pushString("sharpness").op(kGetMember).trace();
        a.pushString("o").pushInt(0).pushString("TextField").op(kNewObject).op(kSetVariable);
        a.getVariable("o").pushString("sharpness").pushString("test").op(kSetMember);
        a.getVariable("o").pushString("sharpness").op(kGetMember).trace();
        const Lines expected = version >= 8 ? Lines{"Jello", "undefined", "undefined"}
                                            : Lines{"hello", "undefined", "test"};
        EXPECT_EQ(run(a, version), expected) << version;
    }
}

// TextFormat.getTextExtent: the text's size, and the field that would show it, with
// its 2-pixel gutters; wrapped to a width, the field takes that width and the lines
// stack. Each row traces comparisons of the measures `m` of ("Hello World" in a
// 12-pixel format, wrapped to `width` when given) and `big` (the same at 24 pixels).
TEST(TextFormatExtent, MeasuresTheTextAndTheFieldAroundIt)
{
    struct Case {
        std::optional<double> width;
        std::vector<std::pair<std::string_view, std::string_view>> comparisons;  // a < b, traced
        Lines expected;
    } cases[] = {
        {std::nullopt,
         {{"0", "m.width"}, {"m.width", "m.textFieldWidth"}, {"m.width", "big.width"}, {"m.height", "big.height"}},
         {"true", "true", "true", "true"}},
        // Wrapped to 30 pixels, "Hello World" takes two lines or more.
        {30.0, {{"m.width", "31"}, {"big.height", "m.height"}}, {"true", "false"}},
    };
    for (const Case& c : cases) {
        ActionBuilder a;
        for (auto [name, size] : {std::pair{"m", 12}, std::pair{"big", 24}}) {
            a.pushString(name);
            if (c.width)
                a.pushNumber(*c.width);
            a.pushString("Hello World");
            a.pushInt(c.width ? 2 : 1);
            a.pushInt(size).pushString("Times New Roman").pushInt(2).pushString("TextFormat").op(kNewObject);
            a.pushString("getTextExtent").op(kCallMethod).op(kSetVariable);
        }
        // "object.member" reads a measure, anything else is a number.
        const auto push = [&a](std::string_view operand) {
            const size_t dot = operand.find('.');
            if (dot == std::string_view::npos)
                a.pushNumber(std::stod(std::string(operand)));
            else
                a.getVariable(operand.substr(0, dot)).pushString(operand.substr(dot + 1)).op(kGetMember);
        };
        for (auto [lhs, rhs] : c.comparisons) {
            push(lhs);
            push(rhs);
            a.op(kLess2).trace();
        }
        // The field is the text plus its gutters, or the width it was wrapped to.
        push("m.textFieldHeight");
        push("m.height");
        a.op(0x0B).trace();  // subtract
        push("m.textFieldWidth");
        a.trace();
        Lines expected = c.expected;
        expected.push_back("4");
        Lines got = run(a);
        ASSERT_EQ(got.size(), expected.size() + 1) << (c.width ? *c.width : -1);
        const std::string fieldWidth = got.back();
        got.pop_back();
        EXPECT_EQ(got, expected) << (c.width ? *c.width : -1);
        if (c.width) {
            EXPECT_EQ(fieldWidth, "30");
        }
    }
}

} // namespace
} // namespace swf
