// Reading numbers from strings by SWF version (octal and hexadecimal keep 32 bits),
// Boolean called bare, ASnative's numbered functions, the order object literals make their members in, and which of
// `this` and `super` a DefineFunction2 function can name.

#include "engine/avm1/Executor.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Value.h"
#include "tests/engine/avm1/TraceCollector.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

Lines run(const ActionBuilder& actions, int version)
{
    return test::traceOf(actions, version);
}

TEST(NumberParsing, OctalAndHexadecimalFromSwf6KeepTheLow32BitsSigned)
{
    struct Case {
        const char* text;
        int version;
        double expected;  // NaN for a string that does not read as a number
    } cases[] = {
        {"010", 6, 8},
        {"010", 5, 10},
        {"+010", 7, 8},
        {"-010", 7, -8},
        {" 010", 7, 10},  // a space before: decimal
        {" -010", 7, -10},
        {"037777777777", 6, -1},
        {"-037777777777", 6, 1},
        {"08", 7, 8},  // not octal digits: decimal
        {"0x10", 6, 16},
        {"0x-10", 6, -16},
        {"0x10.5", 6, std::nan("")},
        {"0x1999999981ffffff", 7, -2113929217},
        {"0xFFFFFFFF", 7, -1},
        {"0xhello", 7, std::nan("")},
        {"0x10", 5, std::nan("")},
    };
    for (const Case& c : cases) {
        double n = stringToNumber(c.text, c.version);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(n)) << c.text << " in SWF " << c.version << " gave " << n;
        else
            EXPECT_EQ(n, c.expected) << c.text << " in SWF " << c.version;
    }
}

TEST(BooleanFunction, CalledBareWithNothingGivesUndefined)
{
    for (int version : {5, 6, 7}) {
        Machine m(version);
        Value boolean = m.getMember(Value(m.global()), "Boolean");
        EXPECT_TRUE(m.call(boolean, Value(), {}).isUndefined()) << "SWF " << version;
        Value one[] = {Value(1.0)};
        EXPECT_EQ(m.toString(m.call(boolean, Value(), one)), "true");
        Value made = m.construct(boolean, {});
        ASSERT_TRUE(made.isObject());
        EXPECT_EQ(m.toString(m.callMethod(made, "valueOf", {})), "false");
    }
}

TEST(ObjectLiterals, ForInListsMembersInTheOrderTheScriptWroteThem)
{
    ActionBuilder a;
    // o = {first: 1, second: 2, third: 3}; for (n in o) trace(n), by hand.
    a.pushString("first").pushInt(1).pushString("second").pushInt(2).pushString("third").pushInt(3).pushInt(3);
    a.op(0x43);  // InitObject
    a.op(0x55);  // Enumerate2
    a.trace().trace().trace().trace();
    EXPECT_EQ(run(a, 7), (Lines{"first", "second", "third", "null"}));
}

TEST(ObjectLiterals, ANameWrittenTwiceKeepsTheLastValue)
{
    ActionBuilder a;
    a.pushString("o").pushString("k").pushInt(1).pushString("k").pushInt(2).pushInt(2).op(0x43).op(0x1D);
    a.getVariable("o").pushString("k").op(0x4E).trace();  // trace(o.k)
    EXPECT_EQ(run(a, 7), (Lines{"2"}));
}

// Calls a DefineFunction2 method with `flags` on an object and traces, for `word`
// (this or super): typeof the name read as a variable, then typeof register 1.
Lines nameAndRegister(std::string_view word, uint16_t flags)
{
    ActionBuilder body;
    body.getVariable(word).op(0x44).trace();     // trace(typeof word)
    body.pushRegister(1).op(0x44).trace();       // trace(typeof r1)
    ActionBuilder a;
    a.pushString("o").pushInt(0).op(0x43).op(0x1D);  // o = {}
    a.defineFunction2("f", 2, flags, {}, body);
    a.getVariable("o").pushString("m").getVariable("f").op(0x4F);  // o.m = f
    a.pushInt(0).getVariable("o").pushString("m").op(0x52).pop();  // o.m()
    return run(a, 7);
}

TEST(Function2Names, PreloadedOrSuppressedThisAndSuperAreNoNames)
{
    constexpr uint16_t PreloadThis = 0x01, SuppressThis = 0x02, PreloadSuper = 0x10, SuppressSuper = 0x20;
    struct Case {
        const char* word;
        uint16_t flags;
        Lines expected;
    } cases[] = {
        {"this", 0, {"object", "undefined"}},
        {"this", PreloadThis, {"movieclip", "object"}},  // the name finds the clip
        {"this", SuppressThis, {"movieclip", "undefined"}},
        {"this", PreloadThis | SuppressThis, {"movieclip", "undefined"}},
        {"super", 0, {"object", "undefined"}},
        {"super", PreloadSuper, {"undefined", "object"}},
        {"super", SuppressSuper, {"undefined", "undefined"}},
        {"super", PreloadSuper | SuppressSuper, {"undefined", "undefined"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nameAndRegister(c.word, c.flags), c.expected) << c.word << " flags " << c.flags;
}

TEST(ASnative, TablesGiveTheOriginalFunctionsByNumber)
{
    Machine m(7);
    Value global(m.global());
    Value asNative = m.getMember(global, "ASnative");
    auto native = [&](Value table, Value index) {
        Value args[] = {table, index};
        return m.call(asNative, Value(), args);
    };
    auto callWith = [&](const Value& f, Value a) { return m.call(f, Value(), std::span<const Value>(&a, 1)); };
    // A script replacing Math.abs does not change what the table holds.
    m.setMember(m.getMember(global, "Math"), "abs", Value(1.0));
    EXPECT_EQ(m.toString(callWith(native(Value(200.0), Value(0.0)), Value(-3.0))), "3");
    EXPECT_EQ(m.toString(callWith(native(Value(100.0), Value(0.0)), Value("&"))), "%26");
    EXPECT_EQ(m.toString(callWith(native(Value(100.0), Value(1.0)), Value("%26"))), "&");
    // Indices read as 32-bit integers: 2^32 + 2 is parseInt, a fraction drops.
    EXPECT_EQ(m.toString(callWith(native(Value(100.0), Value(4294967298.0)), Value("12px"))), "12");
    EXPECT_EQ(m.toString(callWith(native(Value("100"), Value(3.5)), Value("2.5"))), "2.5");
    // An unfilled Math slot still reads its arguments and answers NaN; unknown tables
    // and a wrong argument count give nothing.
    EXPECT_TRUE(std::isnan(m.toNumber(callWith(native(Value(200.0), Value(50.0)), Value(1.0)))));
    EXPECT_TRUE(native(Value(100.0), Value(65540.0)).isObject());
    EXPECT_TRUE(native(Value("onehundred"), Value(0.0)).isUndefined());
    Value one[] = {Value(100.0)};
    EXPECT_TRUE(m.call(asNative, Value(), one).isUndefined());
    Value three[] = {Value(100.0), Value(0.0), Value(0.0)};
    EXPECT_TRUE(m.call(asNative, Value(), three).isUndefined());

    // Table 103 is Date.prototype's: 16 getTime, 128 on the UTC getters and setters.
    Value twelve(12.0);
    Value date = m.construct(m.getMember(global, "Date"), std::span<const Value>(&twelve, 1));
    EXPECT_EQ(m.toString(m.call(native(Value(103.0), Value(16.0)), date, {})), "12");
    EXPECT_EQ(m.toString(m.call(native(Value(103.0), Value(128.0)), date, {})), "1970");
    EXPECT_TRUE(m.call(native(Value(103.0), Value(500.0)), date, {}).isUndefined());
    // Table 2's first function: called from no function run by `new`, it says false.
    EXPECT_EQ(m.toString(m.call(native(Value(2.0), Value(0.0)), Value(), {})), "false");
}

TEST(NumberText, RadixAndOverflowFormsFollowThePlayer)
{
    struct Case {
        double value;
        int radix;
        const char* text;
    } cases[] = {
        {4123, 2, "1000000011011"},
        {-123.1, 2, "-1111011"},
        {255, 16, "ff"},
        // NaN and the infinities are the smallest integer, written from negative remainders.
        {std::nan(""), 2, "-/0000000000000000000000000000000"},
        {std::nan(""), 8, "-.0000000000"},
        {std::nan(""), 4, "-.000000000000000"},
        {std::nan(""), 10, "NaN"},
        // Rounding would overflow: the digits are cut off instead.
        {1.7976931348623157e308, 10, "1.79769313486231e+308"},
        {-1.7976931348623157e308, 10, "-1.79769313486231e+308"},
        {4.9406564584124654e-324, 10, "4.94065645841247e-324"},
        {1.5e300, 10, "1.5e+300"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numberToRadix(c.value, c.radix), c.text) << c.value << " in radix " << c.radix;
}

} // namespace
} // namespace swf::avm1
