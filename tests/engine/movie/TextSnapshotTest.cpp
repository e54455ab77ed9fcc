// TextSnapshot over a clip's static text: characters read back through the font's codes
// (also from a font defined after the text), texts in depth order with their lines,
// getText's and findText's argument rules, the selection of characters, hit tests, and
// getTextSnapshot going through whatever _global.TextSnapshot names.

#include "MovieFixture.h"
#include "tests/support/TextWriter.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using namespace lanfan::test;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kCallMethod = 0x52, kNewObject = 0x40, kSetVariable = 0x1D;

using Arg = std::variant<double, std::string, bool>;

void push(ActionBuilder& a, const Arg& v)
{
    if (auto* n = std::get_if<double>(&v))
        a.pushNumber(*n);
    else if (auto* s = std::get_if<std::string>(&v))
        a.pushString(*s);
    else
        a.pushBool(std::get<bool>(v));
}

// trace(s.method(args...))
void traceCall(ActionBuilder& a, std::string_view method, const std::vector<Arg>& args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        push(a, *it);
    a.pushInt(static_cast<int32_t>(args.size())).getVariable("s").pushString(method).op(kCallMethod).op(kTrace);
}

// s = new TextSnapshot(this)
void makeSnapshot(ActionBuilder& a)
{
    a.pushString("s").getVariable("this").pushInt(1).pushString("TextSnapshot").op(kNewObject).op(kSetVariable);
}

// A font of four square glyphs standing for A, B, C and D, 10 px wide each.
std::vector<uint8_t> fontABCD()
{
    FontSpec font;
    font.name = "Boxes";
    for (uint16_t code : {'A', 'B', 'C', 'D'})
        font.glyphs.push_back({squareGlyph(512), code, 200, {}});
    return encodeDefineFont2(font);
}

// Glyph indices into fontABCD, one line per list, 12 px high, lines 20 px apart.
std::vector<uint8_t> textOf(std::vector<std::vector<uint32_t>> lines)
{
    std::vector<TextRecord> records;
    int16_t y = 240;
    for (const auto& line : lines) {
        TextRecord rec;
        if (records.empty()) {
            rec.fontId = 1;
            rec.height = 240;
            rec.color = Rgba{0x12, 0x34, 0x56, 255};
        }
        rec.xOffset = 0;
        rec.yOffset = y;
        for (uint32_t glyph : line)
            rec.glyphs.push_back({glyph, 200});
        records.push_back(rec);
        y = static_cast<int16_t>(y + 400);
    }
    return encodeDefineText(11, {0, 2000, 0, 2000}, {}, records);
}

// "ABC" over "DA" at depth 1 (defined before its font), and "CB" at depth 2.
Running runWith(const ActionBuilder& script)
{
    test::SwfWriter movie;
    movie.tag(11, withId(2, textOf({{0, 1, 2}, {3, 0}})));
    movie.tag(48, withId(1, fontABCD()));
    movie.tag(11, withId(3, textOf({{2, 1}})));
    movie.placeObject(2, 1).placeObject(3, 2, at(0, 2000));
    movie.doAction(script).showFrame();
    Running run(movie);
    run.step();
    return run;
}

TEST(TextSnapshot, ReadsTheClipsStaticTextInDepthOrderWithItsLines)
{
    ActionBuilder a;
    makeSnapshot(a);
    traceCall(a, "getCount", {});
    traceCall(a, "getText", {0.0, 100.0});
    traceCall(a, "getText", {0.0, 100.0, true});
    Running run = runWith(a);
    EXPECT_EQ(run.traces, (Lines{"7", "ABCDACB", "ABC\nDA\nCB"}));
}

TEST(TextSnapshot, GetTextClampsItsRangeAndWantsTwoOrThreeArguments)
{
    struct Case {
        std::vector<Arg> args;
        const char* expected;
    } cases[] = {
        {{}, "undefined"},
        {{1.0}, "undefined"},
        {{1.0, 3.0, true, 1.0}, "undefined"},
        {{1.0, 3.0}, "BC"},
        {{std::string("1"), std::string("3")}, "BC"},
        {{3.0, 1.0}, "D"},          // an end before the start takes one character
        {{100.0, 200.0}, "B"},      // a start past the end keeps the last character
        {{-5.0, -2.0}, "A"},
        {{-5.0, 2.0}, "AB"},
        {{2.0, 5.0, true}, "C\nDA"},
        {{3.0, 5.0, true}, "DA"},   // no line ending before the first character
        {{2.0, 5.0, false}, "CDA"},
        {{true, false}, "B"},
    };
    ActionBuilder a;
    makeSnapshot(a);
    for (const Case& c : cases)
        traceCall(a, "getText", c.args);
    Running run = runWith(a);
    ASSERT_EQ(run.traces.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(run.traces[i], cases[i].expected) << "case " << i;
}

TEST(TextSnapshot, FindTextSearchesFromTheStartWithOrWithoutCase)
{
    struct Case {
        std::vector<Arg> args;
        const char* expected;
    } cases[] = {
        {{0.0, std::string("A")}, "undefined"},
        {{0.0, std::string("A"), true}, "0"},
        {{1.0, std::string("A"), true}, "4"},
        {{0.0, std::string("da"), true}, "-1"},
        {{0.0, std::string("da"), false}, "3"},
        {{0.0, std::string("CD"), true}, "2"},    // across a line: endings are not searched
        {{0.0, std::string("C\nD"), false}, "-1"},
        {{5.0, std::string("CB"), true}, "5"},
        {{6.0, std::string("CB"), true}, "-1"},
        {{-1.0, std::string("A"), true}, "-1"},
        {{7.0, std::string("B"), true}, "-1"},
        {{0.0, std::string(""), true}, "-1"},
    };
    ActionBuilder a;
    makeSnapshot(a);
    for (const Case& c : cases)
        traceCall(a, "findText", c.args);
    Running run = runWith(a);
    ASSERT_EQ(run.traces.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(run.traces[i], cases[i].expected) << "case " << i;
}

TEST(TextSnapshot, SelectionIsKeptPerCharacter)
{
    ActionBuilder a;
    makeSnapshot(a);
    traceCall(a, "getSelected", {0.0, 7.0});
    traceCall(a, "setSelected", {1.0, 4.0, true});
    traceCall(a, "setSelected", {2.0, 3.0, false});
    traceCall(a, "getSelected", {0.0, 1.0});
    traceCall(a, "getSelected", {0.0, 2.0});
    traceCall(a, "getSelectedText", {});
    traceCall(a, "getSelectedText", {true});
    Running run = runWith(a);
    EXPECT_EQ(run.traces, (Lines{"false", "undefined", "undefined", "false", "true", "BD", "B\nD"}));
}

TEST(TextSnapshot, HitTestFindsTheCharacterUnderOrNearAPoint)
{
    ActionBuilder a;
    makeSnapshot(a);
    traceCall(a, "hitTestTextNearPos", {15.0, 10.0});        // inside B (x 10..20, y 0..12)
    traceCall(a, "hitTestTextNearPos", {5.0, 30.0});         // inside D on the second line
    traceCall(a, "hitTestTextNearPos", {35.0, 10.0});        // 5 px right of C
    traceCall(a, "hitTestTextNearPos", {35.0, 10.0, 6.0});
    traceCall(a, "hitTestTextNearPos", {std::string("x"), 10.0});
    Running run = runWith(a);
    EXPECT_EQ(run.traces, (Lines{"1", "3", "-1", "2", "-1"}));
}

TEST(TextSnapshot, RunInfoGivesEachCharactersFontColourAndBox)
{
    ActionBuilder a;
    makeSnapshot(a);
    a.pushString("runs").pushNumber(3.0).pushNumber(2.0).pushInt(2).getVariable("s").pushString("getTextRunInfo")
        .op(kCallMethod).op(kSetVariable);
    for (const char* member : {"length"})
        a.getVariable("runs").pushString(member).op(0x4E).op(kTrace);
    a.getVariable("runs").pushString("0").op(0x4E).pushString("font").op(0x4E).op(kTrace);
    a.getVariable("runs").pushString("0").op(0x4E).pushString("color").op(0x4E).op(kTrace);
    a.getVariable("runs").pushString("0").op(0x4E).pushString("indexInRun").op(0x4E).op(kTrace);
    a.getVariable("runs").pushString("0").op(0x4E).pushString("corner1x").op(0x4E).op(kTrace);
    Running run = runWith(a);
    EXPECT_EQ(run.traces, (Lines{"1", "Boxes", std::to_string(0x123456), "2", "30"}));
}

TEST(TextSnapshot, WithoutAClipItAnswersNothingAndTheClipMethodUsesTheGlobalClass)
{
    ActionBuilder a;
    // s = new TextSnapshot(): no clip behind it.
    a.pushString("s").pushInt(0).pushString("TextSnapshot").op(kNewObject).op(kSetVariable);
    traceCall(a, "getCount", {});
    traceCall(a, "getText", {0.0, 1.0});
    // s = this.getTextSnapshot()
    a.pushString("s").pushInt(0).getVariable("this").pushString("getTextSnapshot").op(kCallMethod).op(kSetVariable);
    traceCall(a, "getCount", {});
    // With _global.TextSnapshot replaced, getTextSnapshot calls the new one on the clip.
    ActionBuilder body;
    body.getVariable("c").op(kTrace);
    a.getVariable("_global").pushString("TextSnapshot").defineFunction("", {"c"}, body).op(0x4F);
    a.pushInt(0).getVariable("this").pushString("getTextSnapshot").op(kCallMethod).pop();
    Running run = runWith(a);
    EXPECT_EQ(run.traces, (Lines{"undefined", "undefined", "7", "_level0"}));
}

} // namespace
