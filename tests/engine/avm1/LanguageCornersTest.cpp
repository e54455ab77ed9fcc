// The language's odd corners as the reference player has them: how objects convert
// and compare, SWF 4's own results, UTF-16 strings, parseInt and parseFloat, Math's
// argument reading, AsBroadcaster and the element moves of the Array methods.

#include "engine/avm1/Executor.h"
#include "engine/avm1/Machine.h"
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

Value global(Machine& m, std::string_view name)
{
    return m.getMember(Value(m.global()), name);
}

Value callGlobal(Machine& m, std::string_view name, std::vector<Value> args)
{
    return m.call(global(m, name), Value(), args);
}

Value callOn(Machine& m, const Value& target, std::string_view method, std::vector<Value> args)
{
    return m.callMethod(target, method, args);
}

std::string show(Machine& m, const Value& v)
{
    return v.isUndefined() ? "undefined" : m.toString(v);
}

// A plain object whose valueOf answers `value` (or, for an object, itself).
Object* withValueOf(Machine& m, Value value)
{
    Object* o = m.newObject(m.protos().object);
    o->put("valueOf", Value(m.newNativeFunction("valueOf", [value](Machine&, Value self, std::span<const Value>) {
               return value.isObject() ? self : value;
           })));
    return o;
}

TEST(LanguageComparison, ObjectsCompareByValueOfAlone)
{
    Machine m(7);
    Object* plain = m.newObject(m.protos().object);  // valueOf gives the object itself
    Object* one = withValueOf(m, Value(1.0));
    struct Case {
        Value a, b;
        const char* less;
        const char* greater;
    } cases[] = {
        {Value(plain), Value(0.0), "false", "false"},
        {Value(0.0), Value(plain), "false", "false"},
        {Value(plain), Value("0"), "false", "false"},
        {Value(one), Value(2.0), "true", "false"},
        {Value(2.0), Value(one), "false", "true"},
        {Value(one), Value(plain), "false", "false"},
        {Value("a"), Value("b"), "true", "false"},
        {Value(std::nan("")), Value(1.0), "undefined", "undefined"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(show(m, m.lessThan(c.a, c.b)), c.less) << show(m, c.a) << " < " << show(m, c.b);
        EXPECT_EQ(show(m, m.greaterThan(c.a, c.b)), c.greater) << show(m, c.a) << " > " << show(m, c.b);
    }
}

TEST(LanguageComparison, AnObjectWithoutValueOfComparesAsUndefined)
{
    // An object off every prototype has no valueOf: undefined, which is 0 in SWF 6
    // and NaN from SWF 7.
    for (int version : {6, 7}) {
        Machine m(version);
        Object* bare = m.newObject(nullptr);
        bare->setProto(nullptr);
        EXPECT_EQ(show(m, m.lessThan(Value(bare), Value(1.0))), version == 6 ? "true" : "undefined");
    }
}

TEST(LanguageConversion, StringsAskToStringAloneAndNumbersValueOfAlone)
{
    Machine m(7);
    int valueOfCalls = 0;
    int toStringCalls = 0;
    Object* o = m.newObject(m.protos().object);
    o->put("valueOf", Value(m.newNativeFunction("valueOf", [&](Machine&, Value self, std::span<const Value>) {
               ++valueOfCalls;
               return self;  // an object: no primitive from here
           })));
    o->put("toString", Value(m.newNativeFunction("toString", [&](Machine&, Value, std::span<const Value>) {
               ++toStringCalls;
               return Value("text");
           })));
    EXPECT_EQ(m.toString(Value(o)), "text");
    EXPECT_EQ(valueOfCalls, 0);
    EXPECT_TRUE(std::isnan(m.toNumber(Value(o))));
    EXPECT_EQ(toStringCalls, 1) << "a number is never made from toString";

    o->put("toString", Value());
    EXPECT_EQ(m.toString(Value(o)), "[type Object]") << "without toString an object reads as its kind";
}

TEST(LanguageConversion, AddingAnObjectWithoutValueOfGivesTheWordUndefinedFromSwf6)
{
    auto script = [] {
        ActionBuilder a;
        a.pushString("o").pushInt(0).op(0x43).op(0x1D);                   // o = {}
        a.getVariable("o").pushString("valueOf").pushUndefined().op(0x4F); // o.valueOf = undefined
        a.pushString("<").getVariable("o").op(0x47).trace();
        return a;
    };
    EXPECT_EQ(run(script(), 6), (Lines{"<undefined"}));
    EXPECT_EQ(run(script(), 5), (Lines{"<"}));
}

TEST(LanguageSwf4, BooleansPrintAsDigitsOutsideFunctionsOnly)
{
    ActionBuilder body;
    body.pushString("in ").pushInt(1).pushInt(1).op(0x49).op(0x47).trace();
    body.pushString("in ").pushInt(4).pushInt(0).op(0x0D).op(0x47).trace();
    ActionBuilder a;
    a.defineFunction("f", {}, body);
    a.pushString("out ").pushInt(1).pushInt(1).op(0x49).op(0x47).trace();
    a.pushString("out ").pushInt(4).pushInt(0).op(0x0D).op(0x47).trace();
    a.pushString("nan ").getVariable("NaN").op(0x47).trace();
    a.callFunction("f", {}).pop();
    EXPECT_EQ(run(a, 4), (Lines{"out 1", "out #ERROR#", "nan ", "in true", "in Infinity"}));
}

TEST(LanguageStrings, MethodsCountUtf16Units)
{
    Machine m(8);
    const std::string emoji = "\xF0\x9F\x98\x8B";  // one character, two units
    const std::string hello = "hello world";
    struct Case {
        std::string text;
        const char* method;
        std::vector<Value> args;
        std::string expected;
    } cases[] = {
        {emoji + "ab", "charCodeAt", {Value(0.0)}, "55357"},
        {emoji + "ab", "charCodeAt", {Value(2.0)}, "97"},
        {emoji + "ab", "charAt", {Value(4294967298.0)}, "a"},
        {emoji + "ab", "indexOf", {Value("b")}, "3"},
        {emoji + "ab", "substring", {Value(0.0), Value(2.0)}, emoji},
        {emoji + "ab", "slice", {Value(-1.0)}, "b"},
        {hello, "substr", {Value(3.0), Value(-4.0)}, "lo worl"},
        {hello, "substr", {Value(3.0), Value(-3.0)}, ""},
        {hello, "indexOf", {Value(""), Value(100.0)}, "-1"},
        {hello, "lastIndexOf", {Value("o"), Value(-1.0)}, "-1"},
        {hello, "indexOf", {}, "undefined"},
        {"\xC3\xA9t\xC3\xA9", "toUpperCase", {}, "\xC3\x89T\xC3\x89"},
        {"\xD0\x96", "toLowerCase", {}, "\xD0\xB6"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(m, callOn(m, Value(c.text), c.method, c.args)), c.expected) << c.text << "." << c.method;
    EXPECT_EQ(show(m, m.getMember(Value(emoji), "length")), "2");
}

TEST(LanguageStrings, FromCharCodeWrapsTo16BitsAndStopsAtZero)
{
    Machine m(8);
    Value fromCharCode = m.getMember(global(m, "String"), "fromCharCode");
    EXPECT_EQ(m.toString(m.call(fromCharCode, Value(), std::vector<Value>{Value(65616.0), Value(81.0)})), "PQ");
    EXPECT_EQ(m.toString(m.call(fromCharCode, Value(), std::vector<Value>{Value(80.0), Value(0.0), Value(82.0)})), "P");
    EXPECT_EQ(m.toString(m.call(fromCharCode, Value(), std::vector<Value>{Value(0xD801)})), "\xEF\xBF\xBD")
        << "half a pair prints as the replacement character";
}

TEST(LanguageStrings, SplitWithoutSeparatorDiffersInSwf5)
{
    for (int version : {5, 6}) {
        Machine m(version);
        Value parts = callOn(m, Value("a,b"), "split", {});
        EXPECT_EQ(m.arrayLength(parts.asObject()), version == 5 ? 2u : 1u) << "SWF " << version;
    }
}

TEST(LanguageGlobals, ParseIntReadsPrefixesAsThePlayerDoes)
{
    Machine m(8);
    struct Case {
        std::vector<Value> args;
        const char* expected;
    } cases[] = {
        {{Value("0x1F")}, "31"},
        {{Value("0x -100")}, "-256"},
        {{Value("-0x100")}, "NaN"},
        {{Value("-0x100"), Value(36.0)}, "1540944"},
        {{Value(" 0x100"), Value(36.0)}, "1540944"},
        {{Value("077")}, "63"},
        {{Value("077 ")}, "77"},
        {{Value("  077")}, "77"},
        {{Value("-0100")}, "-64"},
        {{Value("100"), Value()}, "NaN"},
        {{Value("100"), Value(37.0)}, "NaN"},
        {{Value("11"), Value(3.8)}, "4"},
        {{Value("12aaa")}, "12"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(m, callGlobal(m, "parseInt", c.args)), c.expected) << m.toString(c.args[0]);
}

TEST(LanguageGlobals, ParseFloatSkipsExtraPointsAndWrapsTheExponent)
{
    Machine m(8);
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"1.2345.678", "1.2345678"},
        {"1.2345.6e50", "1.23456"},
        {"1e4294967297", "10"},
        {"10e-", "10"},
        {".2E20E1", "2e+19"},
        {"  -034.1+e20", "-34.1"},
        {".0000000000000000000000005", "5e-25"},
        {"Infinity", "NaN"},
        {"-", "NaN"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(m, callGlobal(m, "parseFloat", {Value(c.text)})), c.expected) << c.text;
    EXPECT_EQ(callGlobal(m, "parseFloat", {Value(".1499999")}).asNumber(), 0.14999990000000005);
}

TEST(LanguageMath, FunctionsReadTwoArgumentsInOrderAndUseNoMore)
{
    Machine m(8);
    std::vector<std::string> order;
    auto counted = [&](double v) {
        Object* o = m.newObject(m.protos().object);
        o->put("valueOf", Value(m.newNativeFunction("valueOf", [&order, v](Machine&, Value, std::span<const Value>) {
                   order.push_back(numberToString(v));
                   return Value(v);
               })));
        return Value(o);
    };
    Value math = global(m, "Math");
    EXPECT_EQ(m.toNumber(callOn(m, math, "min", {counted(3), counted(2), counted(1)})), 2);
    EXPECT_EQ(order, (std::vector<std::string>{"3", "2"}));
    order.clear();
    EXPECT_EQ(m.toNumber(callOn(m, math, "atan2", {counted(0), counted(1)})), 0);
    EXPECT_EQ(order, (std::vector<std::string>{"0", "1"}));
    order.clear();
    callOn(m, math, "abs", {counted(5), counted(6)});
    EXPECT_EQ(order, (std::vector<std::string>{"5", "6"}));
    EXPECT_EQ(m.toNumber(callOn(m, math, "pow", {Value(true)})), 1) << "1 to the power NaN";
}

TEST(LanguageAsBroadcaster, ListenersAreKeptOnceAndCalledInOrder)
{
    Machine m(8);
    Object* source = m.newObject(m.protos().object);
    callOn(m, global(m, "AsBroadcaster"), "initialize", {Value(source)});
    EXPECT_EQ(m.getMember(Value(source), "addListener").asObject(),
              m.getMember(global(m, "AsBroadcaster"), "addListener").asObject())
        << "the very function objects of AsBroadcaster";

    std::vector<std::string> calls;
    auto listener = [&](std::string name) {
        Object* o = m.newObject(m.protos().object);
        o->put("onPing", Value(m.newNativeFunction("onPing", [&calls, name](Machine& mm, Value, std::span<const Value> args) {
                   calls.push_back(name + ":" + mm.toString(arg(args, 0)));
                   return Value();
               })));
        return Value(o);
    };
    Value a = listener("a");
    Value b = listener("b");
    Value s(source);
    callOn(m, s, "addListener", {a});
    callOn(m, s, "addListener", {b});
    callOn(m, s, "addListener", {a});  // moves a to the end
    EXPECT_EQ(show(m, callOn(m, s, "broadcastMessage", {Value("onPing"), Value(7.0)})), "true");
    EXPECT_EQ(calls, (std::vector<std::string>{"b:7", "a:7"}));
    EXPECT_EQ(show(m, callOn(m, s, "removeListener", {b})), "true");
    EXPECT_EQ(show(m, callOn(m, s, "removeListener", {b})), "false");
    callOn(m, s, "addListener", {Value()});
    EXPECT_EQ(show(m, callOn(m, s, "removeListener", {Value(Null{})})), "true") << "null matches undefined";
    EXPECT_EQ(m.arrayLength(m.getMember(s, "_listeners").asObject()), 1u);
    for (const char* name : {"Key", "Mouse", "Stage"})
        EXPECT_TRUE(m.getMember(global(m, name), "_listeners").isObject()) << name;
}

TEST(LanguageArrays, MovedElementsAreRecreatedInThePlayersOrder)
{
    // Properties keep the order they were made in (for..in reports it newest first), so
    // the order shows how the elements moved.
    struct Case {
        std::vector<Value> items;
        const char* method;
        std::vector<Value> args;
        std::vector<std::string> names;
    } cases[] = {
        {{Value(1.0), Value(2.0), Value(3.0)}, "reverse", {}, {"1", "0", "2"}},
        {{Value(1.0), Value(2.0), Value(3.0)}, "shift", {}, {"0", "1"}},
        {{Value(1.0), Value(2.0)}, "unshift", {Value(0.0)}, {"2", "1", "0"}},
    };
    for (const Case& c : cases) {
        Machine m(8);
        Object* array = m.newArray(c.items);
        callOn(m, Value(array), c.method, c.args);
        EXPECT_EQ(m.enumerableNames(array), c.names) << c.method;
    }
}

TEST(LanguageArrays, IntegerNamesMoveTheLengthBy32BitArithmetic)
{
    Machine m(8);
    Object* a = m.newArray();
    auto keys = [&] {
        std::string out;
        for (const std::string& k : m.enumerableNames(a))
            out += (out.empty() ? "" : ",") + k;
        return out;
    };
    struct Step {
        const char* name;
        const char* length;
        const char* keys;  // null when not checked
    } steps[] = {
        {"1", "2", nullptr},
        {"3", "4", nullptr},
        {"-5", "4", nullptr},
        {"2147483648", "4", "1,3,-5,2147483648"},
        // One past 2147483647 wraps negative: the elements below the old length go.
        {"2147483647", "-2147483648", "-5,2147483648,2147483647"},
        {"2147483649", "-2147483646", nullptr},
        {"4294967295", "0", nullptr},
        {"4294967296", "1", nullptr},
        {"-2147483649", "-2147483648", nullptr},
        {"foo", "-2147483648", nullptr},
    };
    for (const Step& s : steps) {
        m.setMember(Value(a), s.name, Value("x"));
        EXPECT_EQ(m.toString(m.getMember(Value(a), "length")), s.length) << "after " << s.name;
        if (s.keys) {
            EXPECT_EQ(keys(), s.keys) << "after " << s.name;
        }
    }
}

TEST(LanguageArrays, ShiftLeavesAnUndeletableElementWhereItWas)
{
    Machine m(8);
    Object* array = m.newArray(std::vector<Value>{Value(1.0), Value(2.0), Value(3.0)});
    array->findOwn("2")->flags |= PropertyFlag::DontDelete;
    callOn(m, Value(array), "shift", {});
    EXPECT_EQ(m.toString(Value(array)), "2,3");
    EXPECT_EQ(m.enumerableNames(array), (std::vector<std::string>{"2", "0", "1"}));
    EXPECT_TRUE(callOn(m, Value(array), "splice", {Value(0.0), Value()}).isUndefined());
}

TEST(LanguageObjects, ObjectAndFunctionCalledBareGiveAnObjectWithoutPrototype)
{
    Machine m(8);
    for (const char* name : {"Object", "Function"}) {
        Value made = callGlobal(m, name, {});
        ASSERT_TRUE(made.isObject()) << name;
        EXPECT_EQ(m.toString(made), "[type Object]") << name;
        EXPECT_TRUE(m.getMember(made, "__proto__").isUndefined()) << name;
    }
    EXPECT_EQ(show(m, callGlobal(m, "Function", {Value(true)})), "true") << "an argument comes back as it is";
    EXPECT_EQ(m.typeOf(callGlobal(m, "Object", {Value(5.0)})), "object");
}

TEST(LanguageArrays, InitArrayWithACountPastTheStackMakesNothing)
{
    ActionBuilder a;
    a.pushString("a").pushString("b").pushNumber(4294967297.0).op(0x42).trace();
    a.trace().trace();
    EXPECT_EQ(run(a, 8), (Lines{"undefined", "b", "a"}));
}

TEST(LanguageRegisters, AFunctionReachesPastItsRegisterCountIntoTheFrameScripts)
{
    // f has two registers of its own; register 3 is the frame script's.
    ActionBuilder body;
    body.pushRegister(3).trace();
    body.pushInt(9).storeRegister(3).pop();
    body.pushInt(7).storeRegister(1).pop();
    ActionBuilder a;
    a.pushInt(3).storeRegister(3).pop();
    a.pushInt(1).storeRegister(1).pop();
    a.defineFunction2("f", 2, 0, {}, body);
    a.callFunction("f", {}).pop();
    a.pushRegister(3).trace();
    a.pushRegister(1).trace();
    EXPECT_EQ(run(a, 8), (Lines{"3", "9", "1"}));
}

} // namespace
} // namespace swf::avm1
