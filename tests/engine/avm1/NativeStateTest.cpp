// Built-in state given in place: a built-in class's constructor run on an object that
// already exists (a subclass's super(), Date.call(o)) makes that object an instance of
// the class while it keeps its own members and prototype; an object that already holds
// built-in state keeps it; an instance whose constructor never runs the built-in one
// stays an ordinary object.

#include "engine/avm1/Machine.h"
#include "tests/support/ScriptGlobals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace swf::avm1 {
namespace {

using test::globalAt;

// What a subclass's super() does: an ordinary object whose prototype is the class's,
// handed to the constructor called as a function.
Object* instanceBuiltBySuper(Machine& m, const Value& ctor, std::span<const Value> args)
{
    Object* o = m.newObject(m.getMember(ctor, "prototype").asObject());
    m.call(ctor, Value(o), args);
    return o;
}

// Reads `probe` of `o`: a member, or with "()" the result of calling that method.
std::string probe(Machine& m, Object* o, std::string_view probe)
{
    if (probe.ends_with("()"))
        return m.toString(m.callMethod(Value(o), probe.substr(0, probe.size() - 2), {}));
    return m.toString(m.getMember(Value(o), probe));
}

bool isDate(Machine& m, Object* o)
{
    const Value getTime = globalAt(m, "Date.prototype.getTime");
    return !m.call(getTime, Value(o), {}).isUndefined();
}

struct InPlaceCase {
    const char* constructor;
    std::vector<Value> args;
    const char* probe;
    const char* expected;
};

TEST(NativeState, EachClassRunOnAnOrdinaryObjectMakesItAnInstanceInPlace)
{
    const InPlaceCase cases[] = {
        {"Date", {Value(123456.0)}, "getTime()", "123456"},
        {"Number", {Value(123.4)}, "toString()", "123.4"},
        {"Boolean", {Value(true)}, "valueOf()", "true"},
        {"String", {Value("hello")}, "length", "5"},
        {"String", {Value("hello")}, "toUpperCase()", "HELLO"},
        {"Array", {Value("foo"), Value("bar")}, "join()", "foo,bar"},
        {"flash.filters.BlurFilter", {Value(10.0), Value(20.0)}, "blurY", "20"},
        {"flash.filters.GlowFilter", {Value(65280.0), Value(1.0)}, "color", "65280"},
        {"flash.geom.ColorTransform", {Value(2.0)}, "redMultiplier", "2"},
        {"TextFormat", {Value("Arial"), Value(12.0)}, "font", "Arial"},
        {"flash.display.BitmapData", {Value(20.0), Value(30.0)}, "height", "30"},
        {"XML", {Value("<node />")}, "toString()", "<node />"},
        {"XML", {Value("<node />")}, "status", "0"},
        {"XMLNode", {Value(1.0), Value("node")}, "nodeName", "node"},
        {"Sound", {}, "getVolume()", "100"},
    };
    for (const InPlaceCase& c : cases) {
        Machine m(8);
        const Value ctor = globalAt(m, c.constructor);
        ASSERT_TRUE(ctor.isObject()) << c.constructor;
        Object* o = instanceBuiltBySuper(m, ctor, c.args);
        o->put("own", Value("kept"));
        EXPECT_EQ(probe(m, o, c.probe), c.expected) << c.constructor << " " << c.probe;
        EXPECT_EQ(m.toString(m.getMember(Value(o), "own")), "kept") << c.constructor;
        EXPECT_TRUE(m.instanceOf(Value(o), ctor.asObject())) << c.constructor;
        // The object now holds the class's state: Date cannot make it a date too.
        if (std::string_view(c.constructor) != "Date") {
            m.call(globalAt(m, "Date"), Value(o), {});
            EXPECT_FALSE(isDate(m, o)) << c.constructor;
        }
    }
}

// What a constructor called by a subclass's super() answers, as the reference lists it.
TEST(NativeState, WhatSuperAnswers)
{
    const std::pair<const char*, const char*> cases[] = {
        {"LocalConnection", "[object Object]"}, {"TextField.StyleSheet", "[object Object]"},
        {"NetConnection", "undefined"},         {"XMLSocket", "undefined"},
        {"SharedObject", "undefined"},          {"MovieClip", "undefined"},
    };
    for (const auto& [constructor, expected] : cases) {
        Machine m(8);
        const Value ctor = globalAt(m, constructor);
        ASSERT_TRUE(ctor.isObject()) << constructor;
        Object* o = m.newObject(m.getMember(ctor, "prototype").asObject());
        EXPECT_EQ(m.toString(m.call(ctor, Value(o), {})), expected) << constructor;
    }
}

TEST(NativeState, SomeObjectsKeepTheirPrototypeOrFixIt)
{
    Machine m(8);
    Object* other = m.newObject();
    // A connection's link can be cut, never re-pointed.
    const Value connection = m.construct(globalAt(m, "NetConnection"), {});
    Object* proto = connection.asObject()->proto();
    m.setMember(connection, "__proto__", Value(other));
    EXPECT_EQ(m.getMember(connection, "__proto__").asObject(), proto);
    m.setMember(connection, "__proto__", Value(Null{}));
    EXPECT_TRUE(m.getMember(connection, "__proto__").isNull());
    // A product's prototype is read-only until ASSetPropFlags lifts the flag; its name
    // stays as given.
    const Value name[] = {Value("player")};
    const Value product = m.construct(globalAt(m, "System.Product"), name);
    m.setMember(product, "__proto__", Value(other));
    EXPECT_NE(m.getMember(product, "__proto__").asObject(), other);
    m.setMember(product, "name", Value("changed"));
    EXPECT_EQ(m.toString(m.getMember(product, "name")), "player");
    // An ordinary object follows the write.
    const Value plain(m.newObject());
    m.setMember(plain, "__proto__", Value(other));
    EXPECT_EQ(m.getMember(plain, "__proto__").asObject(), other);
}

TEST(NativeState, OnlyOrdinaryInstancesNameTheirConstructor)
{
    Machine m(8);
    for (const char* cls : {"LoadVars", "PrintJob", "MovieClipLoader", "LocalConnection", "flash.net.FileReference"}) {
        const Value made = m.construct(globalAt(m, cls), {});
        ASSERT_TRUE(made.isObject()) << cls;
        EXPECT_EQ(made.asObject()->findOwn("__constructor__"), nullptr) << cls;
    }
    for (const char* cls : {"Error", "XMLSocket", "flash.net.FileReferenceList"}) {
        const Value ctor = globalAt(m, cls);
        const Value made = m.construct(ctor, {});
        EXPECT_EQ(m.getMember(made, "__constructor__").asObject(), ctor.asObject()) << cls;
    }
}

TEST(NativeState, ObjectsThatHoldStateKeepItAndOrdinaryOnesTakeIt)
{
    Machine m(8);
    const Value date = globalAt(m, "Date");
    struct Made {
        const char* what;
        Value value;
        bool holdsState;
    };
    const Value noArgs[] = {Value()};
    const Made made[] = {
        {"{}", Value(m.newObject()), false},
        {"[]", Value(m.newArray()), true},
        {"new String()", m.construct(globalAt(m, "String"), {}), true},
        {"new LoadVars()", m.construct(globalAt(m, "LoadVars"), {}), true},
        {"new PrintJob()", m.construct(globalAt(m, "PrintJob"), {}), true},
        {"new MovieClipLoader()", m.construct(globalAt(m, "MovieClipLoader"), {}), true},
        {"new XML()", m.construct(globalAt(m, "XML"), {}), true},
        {"new XMLNode()", m.construct(globalAt(m, "XMLNode"), {}), false},
        {"new XMLNode(undefined)", m.construct(globalAt(m, "XMLNode"), noArgs), false},
        {"new Color()", m.construct(globalAt(m, "Color"), {}), false},
        {"new Error()", m.construct(globalAt(m, "Error"), {}), false},
        {"new flash.geom.Point()", m.construct(globalAt(m, "flash.geom.Point"), {}), false},
        {"new flash.filters.BlurFilter()", m.construct(globalAt(m, "flash.filters.BlurFilter"), {}), true},
        {"new flash.net.FileReference()", m.construct(globalAt(m, "flash.net.FileReference"), {}), true},
        {"new flash.net.FileReferenceList()", m.construct(globalAt(m, "flash.net.FileReferenceList"), {}), false},
        {"new flash.automation.StageCapture()", m.construct(globalAt(m, "flash.automation.StageCapture"), {}),
         false},
        {"new System.Product()", m.construct(globalAt(m, "System.Product"), {}), false},
        {"new NetStream()", m.construct(globalAt(m, "NetStream"), {}), false},
    };
    for (const Made& x : made) {
        Object* o = x.value.asObject();
        ASSERT_TRUE(o) << x.what;
        m.call(date, x.value, {});
        EXPECT_EQ(isDate(m, o), !x.holdsState) << x.what;
    }
    // The globals object, `this` of a constructor called by its bare name, never is.
    m.call(date, Value(m.global()), {});
    EXPECT_FALSE(isDate(m, m.global()));
}

TEST(NativeState, AnInstanceWhoseConstructorSkipsTheBuiltInStaysOrdinary)
{
    Machine m(8);
    // A class D whose prototype inherits from Date's and whose constructor does nothing.
    Object* proto = m.newObject(globalAt(m, "Date.prototype").asObject());
    Object* ctor = m.newNativeFunction("D", [](Machine&, Value, std::span<const Value>) { return Value(); });
    ctor->put("prototype", Value(proto));
    Object* o = m.construct(Value(ctor), {}).asObject();
    ASSERT_TRUE(o);
    EXPECT_FALSE(isDate(m, o));
    EXPECT_EQ(m.typeOf(m.callMethod(Value(o), "getTime", {})), "undefined");
    // Its own constructor may still run Date's later, which then makes it a date.
    const Value t[] = {Value(5.0)};
    m.call(globalAt(m, "Date"), Value(o), t);
    EXPECT_EQ(m.callMethod(Value(o), "getTime", {}), Value(5.0));
}

TEST(NativeState, AnArrayMadeInPlaceKeepsItsLengthInStep)
{
    Machine m(8);
    const Value items[] = {Value("a")};
    Object* o = instanceBuiltBySuper(m, globalAt(m, "Array"), items);
    m.setMember(Value(o), "5", Value("litmus"));
    EXPECT_EQ(m.getMember(Value(o), "length"), Value(6.0));
    m.setMember(Value(o), "length", Value(1.0));
    EXPECT_EQ(m.getMember(Value(o), "5"), Value()) << "shortening the array drops the elements past it";
    EXPECT_EQ(m.toString(m.callMethod(Value(o), "join", {})), "a");
    // An ordinary object given Array's prototype only is no array.
    Object* lookalike = m.newObject(globalAt(m, "Array.prototype").asObject());
    m.setMember(Value(lookalike), "5", Value("x"));
    EXPECT_EQ(m.getMember(Value(lookalike), "length"), Value());
}

TEST(NativeState, StateGivenInPlaceLivesAsLongAsItsHolder)
{
    Machine m(8);
    const Value t[] = {Value(42.0)};
    Object* o = instanceBuiltBySuper(m, globalAt(m, "Date"), t);
    m.global()->put("held", Value(o));
    for (int i = 0; i < 2000; ++i)
        m.newObject();
    m.collectGarbage();
    EXPECT_EQ(m.callMethod(Value(o), "getTime", {}), Value(42.0));
    // A date converts to a primitive by toString first, also when made in place.
    EXPECT_TRUE(o->convertsToStringFirst());
}

} // namespace
} // namespace swf::avm1
