// The one operand stack all scripts share, scopes by SWF version (functions before
// SWF 6, DefineLocal inside `with`), adding an object without valueOf, and
// ASSetNative's name lists. (toString's answers, throwing watchers and addProperty's
// setter are checked by the corpus cases string_coercion, watch and add_property.)

#include "engine/avm1/Executor.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
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

constexpr uint8_t kAdd2 = 0x47;
constexpr uint8_t kSetMember = 0x4F;
constexpr uint8_t kInitObject = 0x43;
constexpr uint8_t kDefineLocal = 0x3C;

TEST(LanguageSharedStack, AFunctionsLeftoversStayForItsCaller)
{
    // f pushes two values and returns nothing; the caller finds them under the
    // call's own result and adds them up with what it had pushed before the call.
    ActionBuilder body;
    body.pushString("a").pushString("c");
    ActionBuilder a;
    a.defineFunction("f", {}, body);
    a.pushString("r").pushString("b");
    a.callFunction("f", {}).pop();
    a.pushString("b").op(kAdd2).op(kAdd2).op(kAdd2).trace();
    a.trace();
    EXPECT_EQ(run(a, 7), (Lines{"bacb", "r"}));
}

TEST(LanguageSharedStack, AFunctionPopsPastItsOwnValuesIntoItsCallers)
{
    ActionBuilder body;
    body.trace();  // pops the caller's "mine" as its own
    ActionBuilder a;
    a.defineFunction("f", {}, body);
    a.pushString("mine");
    a.callFunction("f", {}).pop();
    a.trace();  // nothing is left: undefined
    EXPECT_EQ(run(a, 7), (Lines{"mine", "undefined"}));
}

TEST(LanguageScopes, FunctionsBeforeSwf6RunInTheClipTheyAreCalledOn)
{
    // A function made inside another sees that function's locals only from SWF 6;
    // before, a name it does not hold is looked for on the clip, then the globals.
    ActionBuilder inner;
    inner.getVariable("foo").trace();
    ActionBuilder outer;
    outer.pushString("foo").pushString("local").op(kDefineLocal);
    outer.pushString("g").defineFunction("", {}, inner).op(kDefineLocal);
    outer.getVariable("g").op(0x3E);  // return g
    auto script = [&] {
        ActionBuilder a;
        a.pushString("foo").pushString("clip").op(kDefineLocal);
        a.defineFunction("f", {}, outer);
        a.pushString("g").callFunction("f", {}).op(kDefineLocal);
        a.callFunction("g", {}).pop();
        return a;
    };
    EXPECT_EQ(run(script(), 6), (Lines{"local"}));
    EXPECT_EQ(run(script(), 5), (Lines{"clip"}));
}

TEST(LanguageScopes, DefineLocalInsideWithWritesToAnObjectHoldingTheName)
{
    // with (o) { var b = 10; var c = 10; } where o holds b itself and inherits c.
    ActionBuilder inside;
    inside.pushString("b").pushInt(10).op(kDefineLocal);
    inside.pushString("c").pushInt(10).op(kDefineLocal);
    ActionBuilder a;
    a.pushString("proto").pushString("c").pushInt(20).pushInt(1).op(kInitObject).op(kDefineLocal);
    a.pushString("o").pushString("b").pushInt(20).pushInt(1).op(kInitObject).op(kDefineLocal);
    a.getVariable("o").pushString("__proto__").getVariable("proto").op(kSetMember);
    const size_t size = inside.build().size() - 1;  // without the closing End
    const uint8_t sizeBytes[] = {static_cast<uint8_t>(size & 0xFF), static_cast<uint8_t>(size >> 8)};
    a.getVariable("o").raw(0x94, sizeBytes).append(inside);
    a.getVariable("o").pushString("b").op(0x4E).trace();  // o.b
    a.getVariable("o").pushString("c").op(0x4E).trace();  // o.c, still the inherited one
    a.getVariable("c").trace();                           // the timeline's new c
    EXPECT_EQ(run(a, 7), (Lines{"10", "20", "10"}));
}

TEST(LanguageConversion, AnObjectWithoutValueOfAddsToANumberAsNaNFromSwf7)
{
    auto script = [] {
        ActionBuilder a;
        a.pushString("o").pushInt(0).op(kInitObject).op(kDefineLocal);
        a.getVariable("o").pushString("valueOf").pushUndefined().op(kSetMember);
        a.pushInt(0).getVariable("o").op(kAdd2).trace();
        a.pushString("<").getVariable("o").op(kAdd2).trace();
        return a;
    };
    EXPECT_EQ(run(script(), 7), (Lines{"NaN", "<undefined"}));
    EXPECT_EQ(run(script(), 6), (Lines{"0undefined", "<undefined"}));
}

TEST(LanguageNatives, SetNativeNameListsCarryVersionPrefixes)
{
    struct Case {
        const char* list;
        std::vector<std::pair<std::string, uint16_t>> names;
    } cases[] = {
        {"a,b,c", {{"a", 0}, {"b", 0}, {"c", 0}}},
        {",a", {{"", 0}, {"a", 0}}},
        {" a , b", {{" a ", 0}, {" b", 0}}},
        {"6f,7g,8h,9i,10j", {{"f", PropertyFlag::Version6}, {"g", PropertyFlag::Version7}, {"h", PropertyFlag::Version8},
                            {"i", PropertyFlag::Version9}, {"j", PropertyFlag::Version10}}},
        {"1a,11k,2b,5e", {{"a", 0}, {"1k", 0}, {"2b", 0}, {"5e", 0}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, uint16_t>> got;
        for (const NativeSlotName& slot : parseNativeNames(c.list))
            got.emplace_back(slot.name, slot.flags);
        EXPECT_EQ(got, c.names) << c.list;
    }
}

TEST(LanguageNatives, SetNativeFillsNamesFromTheTableInOrder)
{
    Machine m(7);
    Object* o = m.newObject(m.protos().object);
    o->put("min", Value("kept flags"), PropertyFlag::DontEnum);
    Value args[] = {Value(o), Value(200.0), Value(",min,8late,x"), Value(0.0)};
    m.call(m.getMember(Value(m.global()), "ASSetNative"), Value(), args);
    // "" takes number 0, min 1 (Math.min), late 2 (Math.max), x 3 (Math.sin).
    Value two[] = {Value(-2.0), Value(5.0)};
    EXPECT_EQ(m.toString(m.callMethod(Value(o), "min", two)), "-2");
    EXPECT_DOUBLE_EQ(m.toNumber(m.callMethod(Value(o), "x", two)), std::sin(-2.0));
    EXPECT_TRUE(o->findOwn("min")->flags & PropertyFlag::DontEnum) << "an existing name keeps its flags";
    EXPECT_TRUE(m.getMember(Value(o), "late").isUndefined()) << "a SWF 8 name is not seen by SWF 7";
}

} // namespace
} // namespace swf::avm1
