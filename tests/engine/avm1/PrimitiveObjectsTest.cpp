// The object a primitive stands for: made by the class the global object names for its
// type, looked up through getters but never __resolve, each time it is needed; the
// built-in class boxes the value as ever, a name that holds no class makes nothing.

#include "engine/avm1/Machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace swf::avm1 {
namespace {

// A class standing in for Number: `new` gives an object whose `made` is the value it
// was built from and counts the objects built.
Object* numberStandIn(Machine& m, int& built)
{
    Object* proto = m.newObject();
    proto->put("kind", Value("stand-in"));
    auto construct = [proto, &built](Machine& machine, Value, std::span<const Value> args) {
        ++built;
        Object* o = machine.newObject(proto);
        o->put("made", args.empty() ? Value() : args[0]);
        return Value(o);
    };
    return m.newClass("StandIn", proto, construct, construct);
}

TEST(PrimitiveObjects, AMemberOfAPrimitiveIsReadFromWhatItsGlobalClassMakes)
{
    Machine m(8);
    int built = 0;
    Object* standIn = numberStandIn(m, built);
    m.global()->put("Number", Value(standIn));
    EXPECT_EQ(m.toString(m.getMember(Value(42.0), "kind")), "stand-in");
    EXPECT_EQ(m.getMember(Value(42.0), "made"), Value(42.0));
    EXPECT_EQ(built, 2) << "one object for each member read";
    // Strings and booleans still box with their built-in classes.
    EXPECT_EQ(m.getMember(Value("abc"), "length"), Value(3.0));
    EXPECT_EQ(m.toString(m.callMethod(Value(true), "toString", {})), "true");
}

TEST(PrimitiveObjects, TheClassIsFoundThroughGettersButNeverResolve)
{
    Machine m(8);
    int built = 0;
    Object* standIn = numberStandIn(m, built);
    int getterCalls = 0;
    m.global()->erase("Number");
    Property& p = m.global()->ensure("Number");
    p.getter = m.newNativeFunction("get", [standIn, &getterCalls](Machine&, Value, std::span<const Value>) {
        ++getterCalls;
        return Value(standIn);
    });
    p.accessorId = m.newAccessorId();
    EXPECT_EQ(m.getMember(Value(7.0), "made"), Value(7.0));
    EXPECT_EQ(getterCalls, 1);

    m.global()->erase("Number");
    int resolveCalls = 0;
    m.global()->put("__resolve", Value(m.newNativeFunction("__resolve", [standIn, &resolveCalls](Machine&, Value, std::span<const Value>) {
        ++resolveCalls;
        return Value(standIn);
    })));
    EXPECT_EQ(m.getMember(Value(7.0), "made"), Value());
    EXPECT_EQ(resolveCalls, 0);
}

TEST(PrimitiveObjects, ANameThatHoldsNoClassMakesNothing)
{
    Machine m(8);
    const Value cases[] = {Value("some string"), Value(m.newObject()), Value()};
    for (const Value& held : cases) {
        m.global()->put("Number", held);
        EXPECT_EQ(m.getMember(Value(3.0), "toString"), Value()) << m.toString(held);
    }
}

TEST(PrimitiveObjects, CallAndApplyGiveThisAsAnObject)
{
    Machine m(8);
    std::vector<Value> seen;
    Object* recorder = m.newNativeFunction("recorder", [&seen](Machine&, Value self, std::span<const Value>) {
        seen.push_back(self);
        return Value();
    });
    const Value callArgs[][1] = {{Value(5.0)}, {Value("x")}, {Value()}, {Value(Null{})}};
    for (const auto& a : callArgs)
        m.callMethod(Value(recorder), "call", a);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(m.typeOf(seen[0]), "object");
    EXPECT_EQ(m.toNumber(seen[0]), 5);
    EXPECT_EQ(m.typeOf(seen[1]), "object");
    EXPECT_EQ(seen[2].asObject(), m.global()) << "no `this` is the global object";
    EXPECT_EQ(seen[3].asObject(), m.global());

    // A number no class makes an object of is the global object too.
    m.global()->put("Number", Value("not a class"));
    const Value applyArgs[] = {Value(9.0), Value(m.newArray())};
    m.callMethod(Value(recorder), "apply", applyArgs);
    EXPECT_EQ(seen.back().asObject(), m.global());
}

} // namespace
} // namespace swf::avm1
