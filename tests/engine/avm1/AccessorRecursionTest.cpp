// How far getters, setters, watchers and plain calls may recurse before the machine
// stops them, and what a property added with addProperty holds meanwhile: before SWF 7
// an accessor is never entered again while it runs, from SWF 7 a property's getter,
// setter and watcher calls may nest 65 deep together; past that a read gets and a write
// sets the property's plain value. Calls nest up to the movie's limit, then the script ends.

#include "engine/avm1/Machine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace swf::avm1 {
namespace {

using Native = std::function<Value(Machine&, Value, std::span<const Value>)>;

Object* fn(Machine& m, Native body)
{
    return m.newNativeFunction("f", std::move(body));
}

bool addProperty(Machine& m, Object* target, std::string_view name, Object* getter, Object* setter)
{
    Value args[] = {Value(std::string(name)), Value(getter), Value(setter)};  // a null setter is null
    return m.toBoolean(m.callMethod(Value(target), "addProperty", args));
}

std::string show(Machine& m, const Value& v)
{
    return v.isUndefined() ? "undefined" : m.toString(v);
}

TEST(AccessorRecursion, AGetterReadingItsOwnPropertyNestsByVersion)
{
    struct Case {
        int version;
        int calls;
    } cases[] = {{5, 1}, {6, 1}, {7, 65}, {8, 65}, {10, 65}};
    for (const Case& c : cases) {
        Machine m(c.version);
        Object* o = m.newObject(m.protos().object);
        int calls = 0;
        Object* getter = fn(m, [&calls](Machine& machine, Value self, std::span<const Value>) {
            ++calls;
            return machine.getMember(self, "prop");
        });
        ASSERT_TRUE(addProperty(m, o, "prop", getter, nullptr));
        // The innermost read finds the plain value, which nothing has set.
        EXPECT_EQ(show(m, m.getMember(Value(o), "prop")), "undefined") << "SWF " << c.version;
        EXPECT_EQ(calls, c.calls) << "SWF " << c.version;
        // Every level has been left: the next read nests as deep again.
        calls = 0;
        m.getMember(Value(o), "prop");
        EXPECT_EQ(calls, c.calls) << "SWF " << c.version;
    }
}

TEST(AccessorRecursion, TheOutermostWriteIsWhatThePlainValueKeeps)
{
    for (int version : {6, 7}) {
        Machine m(version);
        Object* o = m.newObject(m.protos().object);
        int sets = 0;
        Object* setter = fn(m, [&sets](Machine& machine, Value self, std::span<const Value>) {
            ++sets;
            machine.setMember(self, "prop", Value("inner"));
            return Value();
        });
        Object* getter = fn(m, [](Machine& machine, Value self, std::span<const Value>) {
            return machine.getMember(self, "prop");
        });
        ASSERT_TRUE(addProperty(m, o, "prop", getter, setter));
        m.setMember(Value(o), "prop", Value("outer"));
        EXPECT_EQ(sets, version >= 7 ? 65 : 1);
        // The getter's own read of the property finds the plain value.
        EXPECT_EQ(show(m, m.getMember(Value(o), "prop")), "outer") << "SWF " << version;
    }
}

TEST(AccessorRecursion, BeforeSwf7ARunningGetterAlsoKeepsTheSetterOut)
{
    for (int version : {6, 7}) {
        Machine m(version);
        Object* o = m.newObject(m.protos().object);
        int sets = 0;
        Object* setter = fn(m, [&sets](Machine&, Value, std::span<const Value>) {
            ++sets;
            return Value();
        });
        Object* getter = fn(m, [](Machine& machine, Value self, std::span<const Value>) {
            machine.setMember(self, "prop", Value("from getter"));
            return Value("e");
        });
        ASSERT_TRUE(addProperty(m, o, "prop", getter, setter));
        EXPECT_EQ(show(m, m.getMember(Value(o), "prop")), "e");
        EXPECT_EQ(sets, version >= 7 ? 1 : 0) << "SWF " << version;
    }
}

TEST(AccessorRecursion, ObjectsSharingAnInheritedAccessorShareItsCount)
{
    Machine m(7);
    Object* proto = m.newObject(m.protos().object);
    Object* a = m.newObject(proto);
    Object* b = m.newObject(proto);
    int onA = 0;
    int onB = 0;
    Object* getter = fn(m, [&](Machine& machine, Value self, std::span<const Value>) {
        const bool isA = self.asObject() == a;
        ++(isA ? onA : onB);
        machine.getMember(Value(isA ? b : a), "prop");
        return Value("x");
    });
    ASSERT_TRUE(addProperty(m, proto, "prop", getter, nullptr));
    EXPECT_EQ(show(m, m.getMember(Value(a), "prop")), "x");
    EXPECT_EQ(onA, 33);
    EXPECT_EQ(onB, 32);
}

TEST(AccessorRecursion, AGetterAndSetterCallingEachOtherShareOneCount)
{
    Machine m(7);
    Object* o = m.newObject(m.protos().object);
    int gets = 0;
    int sets = 0;
    Object* getter = fn(m, [&gets](Machine& machine, Value self, std::span<const Value>) {
        ++gets;
        machine.setMember(self, "prop", Value("h"));
        return Value("e");
    });
    Object* setter = fn(m, [&sets](Machine& machine, Value self, std::span<const Value>) {
        ++sets;
        machine.getMember(self, "prop");
        return Value();
    });
    ASSERT_TRUE(addProperty(m, o, "prop", getter, setter));
    m.setMember(Value(o), "prop", Value("b"));
    EXPECT_EQ(sets, 33);
    EXPECT_EQ(gets, 32);
    EXPECT_EQ(show(m, m.getMember(Value(o), "prop")), "e");
    EXPECT_EQ(gets, 65);
    EXPECT_EQ(sets, 65);
}

TEST(AccessorRecursion, RunningWatchersCountTowardTheirPropertysLimit)
{
    Machine m(7);
    Object* o = m.newObject(m.protos().object);
    int gets = 0;
    Object* getter = fn(m, [&gets](Machine&, Value, std::span<const Value>) {
        ++gets;
        return Value("g");
    });
    Object* setter = fn(m, [](Machine&, Value, std::span<const Value>) { return Value(); });
    ASSERT_TRUE(addProperty(m, o, "prop", getter, setter));
    int watched = 0;
    Object* watcher = fn(m, [&watched](Machine& machine, Value self, std::span<const Value> args) {
        ++watched;
        machine.getMember(self, "prop");
        machine.setMember(self, "prop", Value("again"));
        return arg(args, 2);
    });
    Value watchArgs[] = {Value("prop"), Value(watcher)};
    ASSERT_TRUE(m.toBoolean(m.callMethod(Value(o), "watch", watchArgs)));
    m.setMember(Value(o), "prop", Value("first"));
    EXPECT_EQ(watched, 65);
    EXPECT_EQ(gets, 64) << "the deepest watcher holds the whole count and reads the plain value";
}

TEST(AccessorRecursion, TwoPropertiesCallingEachOtherCountApart)
{
    Machine m(7);
    Object* o = m.newObject(m.protos().object);
    int ones = 0;
    int twos = 0;
    Object* one = fn(m, [&ones](Machine& machine, Value self, std::span<const Value>) {
        ++ones;
        return machine.getMember(self, "two");
    });
    Object* two = fn(m, [&twos](Machine& machine, Value self, std::span<const Value>) {
        ++twos;
        return machine.getMember(self, "one");
    });
    ASSERT_TRUE(addProperty(m, o, "one", one, nullptr));
    ASSERT_TRUE(addProperty(m, o, "two", two, nullptr));
    m.getMember(Value(o), "one");
    EXPECT_EQ(ones, 65);
    EXPECT_EQ(twos, 65);
}

TEST(AccessorRecursion, AnAccessorAddedAgainWhileRunningStartsAFreshCountAndHitsTheCallLimit)
{
    Machine m(7);
    Object* o = m.newObject(m.protos().object);
    int calls = 0;
    Object* getter = nullptr;
    getter = fn(m, [&](Machine& machine, Value self, std::span<const Value>) {
        ++calls;
        machine.deleteMember(self.asObject(), "prop");
        addProperty(machine, self.asObject(), "prop", getter, nullptr);
        return machine.getMember(self, "prop");
    });
    ASSERT_TRUE(addProperty(m, o, "prop", getter, nullptr));
    EXPECT_THROW(m.getMember(Value(o), "prop"), ScriptAbort);
    EXPECT_GT(calls, 65);
    EXPECT_EQ(m.callDepth, 0);
}

TEST(CallDepth, TheStartingScriptCountsAsTheFirstLevel)
{
    for (int limit : {1, 2, 5, 256}) {
        Machine m(7);
        m.setMaxCallDepth(limit);
        int calls = 0;
        Object* self = nullptr;
        self = fn(m, [&](Machine& machine, Value, std::span<const Value>) {
            ++calls;
            return machine.call(Value(self), Value(), {});
        });
        EXPECT_THROW(m.call(Value(self), Value(), {}), ScriptAbort) << "limit " << limit;
        EXPECT_EQ(calls, limit - 1) << "limit " << limit;
        EXPECT_EQ(m.callDepth, 0);
    }
}

TEST(Watch, TheWatcherSeesThePlainValueAndNoGetterRuns)
{
    Machine m(7);
    Object* proto = m.newObject(m.protos().object);
    Object* child = m.newObject(proto);
    proto->put("x", Value(3.0));
    int gets = 0;
    std::string written;
    Object* getter = fn(m, [&gets](Machine&, Value, std::span<const Value>) {
        ++gets;
        return Value(5.0);
    });
    Object* setter = fn(m, [&written](Machine& machine, Value, std::span<const Value> args) {
        written = machine.toString(arg(args, 0));
        return Value();
    });
    ASSERT_TRUE(addProperty(m, proto, "x", getter, setter));
    std::vector<std::string> seen;
    Object* watcher = fn(m, [&seen](Machine& machine, Value, std::span<const Value> args) {
        seen.push_back(machine.toString(arg(args, 1)) + "->" + machine.toString(arg(args, 2)));
        return arg(args, 2);
    });
    Value watchArgs[] = {Value("x"), Value(watcher)};
    ASSERT_TRUE(m.toBoolean(m.callMethod(Value(child), "watch", watchArgs)));
    m.setMember(Value(child), "x", Value(4.0));
    EXPECT_EQ(gets, 0);
    EXPECT_EQ(seen, std::vector<std::string>{"3->4"});
    EXPECT_EQ(written, "4");
}

TEST(Watch, AddingAnAccessorTellsTheWatcherAndKeepsItsAnswer)
{
    Machine m(7);
    Object* o = m.newObject(m.protos().object);
    Object* plusOne = fn(m, [](Machine& machine, Value, std::span<const Value> args) {
        return Value(machine.toNumber(arg(args, 2)) + 1);
    });
    Value watchArgs[] = {Value("v"), Value(plusOne)};
    ASSERT_TRUE(m.toBoolean(m.callMethod(Value(o), "watch", watchArgs)));
    Object* getter = fn(m, [](Machine&, Value, std::span<const Value>) { return Value(5.0); });
    Object* setter = fn(m, [](Machine&, Value, std::span<const Value>) { return Value(); });
    ASSERT_TRUE(addProperty(m, o, "v", getter, setter));
    // undefined + 1 is what the watcher answered for the new accessor.
    EXPECT_TRUE(std::isnan(m.toNumber(o->findOwn("v")->value)));
    m.setMember(Value(o), "v", Value(10.0));
    EXPECT_EQ(show(m, o->findOwn("v")->value), "11");
    EXPECT_EQ(show(m, m.getMember(Value(o), "v")), "5");
}

} // namespace
} // namespace swf::avm1
