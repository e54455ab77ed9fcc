// Built-in methods registered from tables: each slot holds a function of its own name
// with the flags its table gives, and the families generated from one definition
// (Math's one-argument functions, Date's getters) reach the right computation.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace swf::avm1 {
namespace {

Value callMethod(Machine& m, const Value& self, Object* holder, const char* name, std::vector<Value> args = {})
{
    return m.call(m.getMember(Value(holder), name), self, args);
}

Value answerSeven(Machine&, Value, std::span<const Value>)
{
    return Value(7.0);
}

Value answerSelf(Machine&, Value self, std::span<const Value>)
{
    return self;
}

TEST(NativeTables, DefineMethodsPutsNamedFunctionsWithTheTablesFlags)
{
    Machine m(10);
    Object* target = m.newObject();
    const NativeMethod table[] = {
        {"seven", answerSeven},
        {"self", answerSelf, PropertyFlag::DontEnum},
    };
    defineMethods(m, target, table);

    const Property* seven = target->findOwn("seven");
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->flags, PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    ASSERT_NE(seven->value.asObject(), nullptr);
    ASSERT_NE(seven->value.asObject()->function(), nullptr);
    EXPECT_EQ(seven->value.asObject()->function()->name, "seven");
    EXPECT_EQ(callMethod(m, Value(), target, "seven").asNumber(), 7.0);

    const Property* self = target->findOwn("self");
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->flags, PropertyFlag::DontEnum);
    EXPECT_EQ(callMethod(m, Value(target), target, "self").asObject(), target);
    EXPECT_TRUE(m.enumerableNames(target).empty());
}

TEST(NativeTables, BuiltInSlotsCarryTheirNamesAndFlags)
{
    Machine m(10);
    Object* g = m.global();
    struct Slot {
        Object* holder;
        const char* name;
        bool deletable;
    };
    const std::vector<Slot> slots = {
        {g, "trace", true},         {g, "parseInt", true},
        {g, "escape", true},        {g, "setInterval", true},
        {g, "ASSetPropFlags", true}, {m.protos().string, "charAt", false},
        {m.protos().array, "splice", false}, {m.protos().object, "valueOf", false},
        {m.protos().function, "apply", false}, {m.protos().movieClip, "createTextField", false},
        {m.protos().movieClip, "lineTo", false}, {m.protos().date, "getUTCHours", false},
        {m.protos().number, "toString", false}, {m.protos().error, "toString", false},
    };
    for (const Slot& slot : slots) {
        ASSERT_NE(slot.holder, nullptr) << slot.name;
        const Property* p = slot.holder->findOwn(slot.name);
        ASSERT_NE(p, nullptr) << slot.name;
        EXPECT_TRUE(p->flags & PropertyFlag::DontEnum) << slot.name;
        EXPECT_EQ(!(p->flags & PropertyFlag::DontDelete), slot.deletable) << slot.name;
        Object* f = p->value.asObject();
        ASSERT_TRUE(f && f->function()) << slot.name;
        EXPECT_EQ(f->function()->name, slot.name);
    }
    // A movie may replace a global function after deleting it.
    EXPECT_TRUE(m.deleteMember(g, "escape"));
    EXPECT_FALSE(m.deleteMember(m.protos().string, "charAt"));
}

TEST(NativeTables, MathsOneArgumentFunctionsEachComputeTheirOwn)
{
    Machine m(10);
    Object* math = m.getMember(Value(m.global()), "Math").asObject();
    ASSERT_NE(math, nullptr);
    struct Case {
        const char* name;
        double x;
        double expected;
    };
    const Case cases[] = {
        {"abs", -2.5, 2.5},         {"acos", 0.5, std::acos(0.5)}, {"asin", 0.5, std::asin(0.5)},
        {"atan", 0.5, std::atan(0.5)}, {"ceil", 1.2, 2.0},          {"cos", 0.5, std::cos(0.5)},
        {"exp", 1.5, std::exp(1.5)},  {"floor", -1.2, -2.0},        {"log", 3.0, std::log(3.0)},
        {"round", -2.5, -2.0},        {"sin", 0.5, std::sin(0.5)},  {"sqrt", 6.25, 2.5},
        {"tan", 0.5, std::tan(0.5)},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(callMethod(m, Value(math), math, c.name, {Value(c.x)}).asNumber(), c.expected) << c.name;
        EXPECT_TRUE(std::isnan(callMethod(m, Value(math), math, c.name).asNumber())) << c.name << " without argument";
    }
}

TEST(NativeTables, DateGettersReadTheirOwnFieldInBothForms)
{
    Machine m(10);
    Object* dateClass = m.getMember(Value(m.global()), "Date").asObject();
    ASSERT_NE(dateClass, nullptr);
    // 2001-02-03 04:05:06.789 UTC, a Saturday.
    const double t = 981173106789.0;
    std::vector<Value> args{Value(t)};
    Value date = m.construct(Value(dateClass), args);
    ASSERT_TRUE(date.isObject());
    struct Case {
        const char* field;
        double expected;
    };
    const Case cases[] = {{"FullYear", 2001}, {"Month", 1},   {"Date", 3},         {"Day", 6},
                          {"Hours", 4},       {"Minutes", 5}, {"Seconds", 6}, {"Milliseconds", 789}};
    for (const Case& c : cases) {
        for (const char* prefix : {"get", "getUTC"}) {
            std::string name = std::string(prefix) + c.field;
            EXPECT_EQ(callMethod(m, date, m.protos().date, name.c_str()).asNumber(), c.expected) << name;
        }
    }
    EXPECT_EQ(callMethod(m, date, m.protos().date, "getYear").asNumber(), 101);
    EXPECT_EQ(callMethod(m, date, m.protos().date, "getTime").asNumber(), t);
    EXPECT_EQ(callMethod(m, date, m.protos().date, "valueOf").asNumber(), t);
}

} // namespace
} // namespace swf::avm1
