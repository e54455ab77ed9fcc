// The object model: a native class that overrides the property hooks takes part in
// member reads, writes, `in` tests, for..in and string conversion without the machine
// knowing it; the collector keeps what each class holds and frees the rest; and scripts
// give the same output when the heap collects at every allocation.

#include "engine/avm1/Executor.h"
#include "engine/avm1/Machine.h"
#include "tests/engine/avm1/TraceCollector.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

namespace Op {
constexpr uint8_t Trace = 0x26, GetVariable = 0x1C, SetVariable = 0x1D, NewObject = 0x40, InitArray = 0x42,
                  InitObject = 0x43, Add2 = 0x47, GetMember = 0x4E, SetMember = 0x4F, CallMethod = 0x52,
                  CallFunction = 0x3D, Pop = 0x17, Return = 0x3E, Less2 = 0x48, Not = 0x12, Increment = 0x50;
}

// A native class with one computed member, `level`, that lives in C++ and counts the
// writes it takes; it reads as "gauge" when converted with the default toString.
class Gauge final : public Object {
public:
    using Object::Object;
    double level = 7;
    int writes = 0;

    bool getComputed(Machine&, std::string_view name, Value& out) override
    {
        if (name != "level")
            return false;
        out = Value(level);
        return true;
    }
    bool hasComputed(Machine&, std::string_view name) override { return name == "level"; }
    bool setComputed(Machine& m, std::string_view name, const Value& value) override
    {
        if (name != "level")
            return false;
        level = m.toNumber(value);
        ++writes;
        return true;
    }
    void appendComputedNames(std::vector<std::string>& names) override { names.emplace_back("level"); }
    std::optional<std::string> defaultString() override { return std::string("gauge"); }
};

TEST(ObjectHooks, ANativeClassComputesItsMembersThroughTheMachine)
{
    Machine m(10);
    auto* gauge = m.make<Gauge>(m.protos().object);
    Value g(gauge);
    gauge->put("stored", Value(1.0));

    EXPECT_EQ(m.getMember(g, "level"), Value(7.0));
    m.setMember(g, "level", Value("12"));
    EXPECT_EQ(gauge->level, 12);
    EXPECT_EQ(gauge->writes, 1);
    EXPECT_EQ(gauge->findOwn("level"), nullptr) << "a computed write stores nothing";
    EXPECT_TRUE(m.hasProperty(gauge, "level"));
    EXPECT_FALSE(m.hasProperty(gauge, "other"));
    EXPECT_EQ(m.enumerableNames(gauge), (std::vector<std::string>{"stored", "level"}));
    EXPECT_EQ(m.toString(g), "gauge");
    // An own toString wins over the default conversion.
    m.setMember(g, "toString", Value(m.newNativeFunction("toString", [](Machine&, Value, std::span<const Value>) {
        return Value("own");
    })));
    EXPECT_EQ(m.toString(g), "own");
    // Members the class does not compute fall through to the prototype chain.
    EXPECT_TRUE(m.getMember(g, "hasOwnProperty").asObject());
}

TEST(ObjectHooks, BuiltInObjectsAnswerTypeofAndUnboxingByTheirClass)
{
    Machine m(10);
    EXPECT_EQ(m.typeOf(Value(m.newObject())), "object");
    EXPECT_EQ(m.typeOf(Value(m.newArray())), "object");
    EXPECT_EQ(m.typeOf(m.getMember(Value(m.global()), "Array")), "function");
    Object* boxed = m.toObject(Value("abc"));
    EXPECT_EQ(m.getMember(Value(boxed), "length"), Value(3.0));
    EXPECT_EQ(m.toString(m.callMethod(Value(boxed), "valueOf", {})), "abc");
    Object* number = m.toObject(Value(5.0));
    EXPECT_EQ(m.callMethod(Value(number), "valueOf", {}), Value(5.0));
    // Writing an index past the end of an array moves its length; other objects keep
    // the name as an ordinary member.
    Object* array = m.newArray();
    m.setMember(Value(array), "4", Value(1.0));
    EXPECT_EQ(m.arrayLength(array), 5u);
    Object* plain = m.newObject();
    m.setMember(Value(plain), "4", Value(1.0));
    EXPECT_EQ(m.getMember(Value(plain), "length"), Value());
    // A name of more digits than a double holds exactly wraps as a 32-bit integer read
    // digit by digit: 2^78 + 2^31 - 1 is index 2147483647, one past it wraps negative.
    Object* wide = m.newArray();
    m.setMember(Value(wide), "302231454903659441160191", Value(1.0));
    EXPECT_EQ(m.getMember(Value(wide), "length"), Value(-2147483648.0));
}

// `__proto__` is a member like the others to scripts: it holds any value (only an object
// links the chain), is watched, takes ASSetPropFlags, refuses delete until they allow it,
// and before SWF 7 answers to any case.
TEST(ObjectHooks, TheProtoMemberHoldsAnyValueAndIsWatched)
{
    Machine m(6);
    Object* o = m.newObject();
    const Value obj(o);
    m.setMember(obj, "__proto__", Value(123.0));
    EXPECT_EQ(m.getMember(obj, "__proto__"), Value(123.0));
    EXPECT_EQ(m.typeOf(m.getMember(obj, "hasOwnProperty")), "undefined") << "a number links no chain";
    m.setMember(obj, "__PROTO__", Value(m.protos().object));
    EXPECT_TRUE(m.getMember(obj, "hasOwnProperty").asObject());
    EXPECT_FALSE(m.deleteMember(o, "__proto__")) << "undeletable until its flags are cleared";

    int calls = 0;
    Object* watcher = m.newNativeFunction("w", [&calls](Machine&, Value, std::span<const Value> args) {
        ++calls;
        return args.size() > 2 ? args[2] : Value();
    });
    Value watchArgs[] = {Value("__proto__"), Value(watcher)};
    m.callMethod(obj, "watch", watchArgs);
    m.setMember(obj, "__proto__", Value("foo"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(m.getMember(obj, "__proto__"), Value("foo"));

    Value flagArgs[] = {obj, Value("__proto__"), Value(0.0), Value(7.0)};
    m.call(m.getMember(Value(m.global()), "ASSetPropFlags"), Value(), flagArgs);
    EXPECT_TRUE(m.deleteMember(o, "__proto__"));
    EXPECT_EQ(m.getMember(obj, "__proto__"), Value());

    Machine m7(7);
    Object* exact = m7.newObject();
    EXPECT_EQ(m7.getMember(Value(exact), "__PROTO__"), Value()) << "from SWF 7 only the exact name";
    EXPECT_TRUE(m7.getMember(Value(exact), "__proto__").asObject());
}

TEST(AtomTable, NamesFoldCaseOnlyBeforeSwf7AndSurviveGrowth)
{
    AtomTable insensitive(false);
    AtomTable sensitive(true);
    Atom lower = insensitive.intern("myName");
    EXPECT_EQ(insensitive.find("MYNAME"), lower);
    EXPECT_EQ(insensitive.intern("myname"), lower);
    Atom exact = sensitive.intern("myName");
    EXPECT_EQ(sensitive.find("myName"), exact);
    EXPECT_EQ(sensitive.find("MYNAME"), kNoAtom);
    EXPECT_EQ(sensitive.find("never"), kNoAtom);
    // Thousands of names, past every resize: each keeps its number.
    std::vector<Atom> atoms;
    for (int i = 0; i < 5000; ++i)
        atoms.push_back(insensitive.intern("Name" + std::to_string(i)));
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(insensitive.find("NAME" + std::to_string(i)), atoms[static_cast<size_t>(i)]);
    EXPECT_EQ(insensitive.find("myNAME"), lower);
    EXPECT_EQ(insensitive.size(), 5001u);
}

// Lookups remember recent name buffers by address: a buffer that now holds other text,
// and the empty name before anything is remembered, must still answer by their text.
TEST(AtomTable, RememberedBuffersAnswerByTheirText)
{
    AtomTable table(true);
    EXPECT_EQ(table.find(std::string_view()), kNoAtom);
    Atom alpha = table.intern("alpha");
    Atom gamma = table.intern("gamma");
    char buffer[] = "alpha";
    EXPECT_EQ(table.find(std::string_view(buffer, 5)), alpha);
    std::memcpy(buffer, "gamma", 5);
    EXPECT_EQ(table.find(std::string_view(buffer, 5)), gamma);
    std::memcpy(buffer, "delta", 5);
    EXPECT_EQ(table.find(std::string_view(buffer, 5)), kNoAtom);
    Atom empty = table.intern(std::string_view());
    EXPECT_EQ(table.find(""), empty);
    // Names too long for the cache go to the table each time, and still answer by text.
    std::string longName(60, 'x');
    Atom longAtom = table.intern(longName);
    EXPECT_EQ(table.find(longName), longAtom);
    longName.back() = 'y';
    EXPECT_EQ(table.find(longName), kNoAtom);
    // Many buffers asked in turn share the cache's sets: each still answers its own
    // name, and a miss remembered for a buffer ends once that name is interned.
    std::vector<std::string> names;
    std::vector<Atom> atoms;
    for (int i = 0; i < 300; ++i) {
        names.push_back("member" + std::to_string(i));
        atoms.push_back(i % 3 == 0 ? kNoAtom : table.intern(names.back()));
    }
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < names.size(); ++i)
            ASSERT_EQ(table.find(names[i]), atoms[i]) << names[i] << " round " << round;
        for (size_t i = 0; i < names.size(); i += 3)
            atoms[i] = round == 0 ? table.intern(std::string(names[i])) : atoms[i];
    }
}

// A script string remembers its number in the last table that knew it; another
// machine's table, or a name first missing and then interned, must not be answered
// from that memory.
TEST(AtomTable, ScriptStringsRememberTheirNumberPerTable)
{
    AtomTable insensitive(false);
    AtomTable sensitive(true);
    insensitive.intern("padding");
    Atom folded = insensitive.intern("alpha");
    StringBody name("ALPHA");
    EXPECT_EQ(insensitive.find(name), folded);
    EXPECT_EQ(insensitive.find(name), folded);
    EXPECT_EQ(sensitive.find(name), kNoAtom);
    Atom exact = sensitive.intern("ALPHA");
    EXPECT_NE(exact, folded);
    EXPECT_EQ(sensitive.find(name), exact);
    EXPECT_EQ(insensitive.find(name), folded);
    EXPECT_EQ(sensitive.find(name), exact);
}

TEST(ObjectHooks, LookupsIgnoreCaseBeforeSwf7AcrossIndexedObjects)
{
    for (int version : {6, 7}) {
        SCOPED_TRACE(version);
        Machine m(version);
        Object* proto = m.newObject();
        // Enough members that the object keeps a hash index beside its list.
        for (int i = 0; i < 20; ++i)
            proto->put("Member" + std::to_string(i), Value(static_cast<double>(i)));
        Object* o = m.newObject(proto);
        EXPECT_EQ(m.getMember(Value(o), "member13"), version < 7 ? Value(13.0) : Value());
        EXPECT_EQ(m.getMember(Value(o), "Member13"), Value(13.0));
        EXPECT_TRUE(m.deleteMember(proto, "Member5"));
        EXPECT_EQ(m.getMember(Value(o), "Member5"), Value());
        EXPECT_EQ(m.getMember(Value(o), "Member19"), Value(19.0)) << "the index follows the removal";
        m.setMember(Value(o), "MEMBER1", Value("own"));
        EXPECT_EQ(m.getMember(Value(o), "Member1"), version < 7 ? Value("own") : Value(1.0));
        // A small object scans its names: a removal in the middle keeps each name
        // with its own value.
        Object* small = m.newObject();
        for (int i = 0; i < 4; ++i)
            small->put("Small" + std::to_string(i), Value(static_cast<double>(i)));
        EXPECT_TRUE(m.deleteMember(small, "Small1"));
        EXPECT_EQ(m.getMember(Value(small), "Small1"), Value());
        EXPECT_EQ(m.getMember(Value(small), "Small2"), Value(2.0));
        EXPECT_EQ(m.getMember(Value(small), "Small3"), Value(3.0));
        m.setMember(Value(small), "Small1", Value(10.0));
        EXPECT_EQ(m.getMember(Value(small), "Small1"), Value(10.0));
        EXPECT_EQ(m.getMember(Value(small), "Small0"), Value(0.0));
    }
}

// Builds an object reachable from `m` only through the one edge a case names, and
// returns it; the object carries a marker member.
struct EdgeCase {
    const char* edge;
    Object* (*build)(Machine& m);
};

Object* marked(Machine& m)
{
    Object* o = m.newObject();
    o->put("marker", Value("alive"));
    return o;
}

const EdgeCase kEdgeCases[] = {
    {"a property value",
     [](Machine& m) {
         Object* o = marked(m);
         m.global()->put("holder", Value(o));
         return o;
     }},
    {"a prototype link",
     [](Machine& m) {
         Object* o = marked(m);
         m.global()->put("child", Value(m.newObject(o)));
         return o;
     }},
    {"a getter",
     [](Machine& m) {
         Object* getter = m.newNativeFunction("get", [](Machine&, Value, std::span<const Value>) { return Value(); });
         getter->put("marker", Value("alive"));
         Object* holder = m.newObject();
         holder->ensure("x").getter = getter;
         m.global()->put("holder", Value(holder));
         return getter;
     }},
    {"a watch callback's user data",
     [](Machine& m) {
         Object* o = marked(m);
         Object* holder = m.newObject();
         holder->watches["x"] = Watch{m.newNativeFunction("cb", nullptr), Value(o)};
         m.global()->put("holder", Value(holder));
         return o;
     }},
    {"a boxed primitive's wrapper kept by a variable",
     [](Machine& m) {
         Object* o = m.toObject(Value("text"));
         o->put("marker", Value("alive"));
         m.global()->put("holder", Value(o));
         return o;
     }},
    {"a timer's arguments",
     [](Machine& m) {
         Object* o = marked(m);
         m.addInterval(Value(m.newNativeFunction("tick", nullptr)), Value(), {}, 1000, {Value(o)}, false);
         return o;
     }},
    {"a registered class",
     [](Machine& m) {
         Object* o = marked(m);
         m.registeredClasses()["Symbol"] = o;
         return o;
     }},
};

// Makes `count` pairs of objects that refer to each other and to nothing else.
__attribute__((noinline)) void makeGarbageCycles(Machine& m, int count)
{
    for (int i = 0; i < count; ++i) {
        Object* a = m.newObject();
        Object* b = m.newObject();
        a->put("b", Value(b));
        b->put("a", Value(a));
    }
}

TEST(Heap, TracingKeepsWhatEachEdgeReachesAndFreesTheRest)
{
    for (const EdgeCase& c : kEdgeCases) {
        SCOPED_TRACE(c.edge);
        Machine m(10);
        size_t before = m.heap().size();
        Object* kept = c.build(m);
        makeGarbageCycles(m, 50);
        m.collectGarbage();
        ASSERT_TRUE(m.heap().contains(kept));
        EXPECT_EQ(m.toString(m.getMember(Value(kept), "marker")), "alive");
        // A stale copy of a pointer on the native stack may keep a pair or two.
        EXPECT_LE(m.heap().size(), before + 10) << "the cycles are freed";
    }
}

TEST(Heap, AFunctionKeepsItsClosureScopeAlive)
{
    // function outer() { var local = {marker: "alive"}; return function () { return local; }; }
    // keep = outer(); collect (through the script's own frames), then trace(keep().marker)
    ActionBuilder inner;
    inner.getVariable("local").op(Op::Return);
    ActionBuilder outer;
    outer.pushString("local").pushString("marker").pushString("alive").pushInt(1).op(Op::InitObject);
    outer.op(0x3C);  // DefineLocal
    outer.defineFunction("", {}, inner).op(Op::Return);
    ActionBuilder a;
    a.defineFunction("outer", {}, outer);
    a.pushString("keep").pushInt(0).pushString("outer").op(Op::CallFunction).op(Op::SetVariable);
    // Allocate a lot, so that a collection happens while nothing but the closure holds it.
    a.pushInt(0).pushInt(0).pushString("Object").op(Op::NewObject).op(Op::Pop);
    a.pushInt(0).pushString("keep").op(Op::CallFunction).pushString("marker").op(Op::GetMember).op(Op::Trace);

    ::setenv("LANFAN_GC_STRESS", "1", 1);
    test::TraceCollector c;
    Executor(10).run(a.build(), c);
    ::unsetenv("LANFAN_GC_STRESS");
    EXPECT_EQ(c.lines, Lines{"alive"});
}

TEST(Heap, AnObjectHeldOnlyByANativeLocalSurvivesACollection)
{
    Machine m(10);
    Object* volatile local = m.newObject();
    local->put("marker", Value("alive"));
    m.collectGarbage();
    ASSERT_TRUE(m.heap().contains(local));
    EXPECT_EQ(m.toString(m.getMember(Value(local), "marker")), "alive");
}

TEST(Heap, StressModeCollectsBeforeEveryAllocation)
{
    Machine m(10);
    m.heap().setStress(true);
    size_t before = m.heap().collections();
    for (int i = 0; i < 5; ++i)
        m.newObject();
    EXPECT_EQ(m.heap().collections(), before + 5);
    // While the built-in classes are set up, nothing is collected.
    m.heap().setStress(false);
    Heap::NoCollect hold(m.heap());
    m.heap().setStress(true);
    m.newObject();
    EXPECT_EQ(m.heap().collections(), before + 5);
}

// Scripts whose objects spend time only on the operand stack, in argument lists, or
// in a native's hands while it allocates more: each must trace the same whether the
// heap collects at every allocation or never.
struct StressScript {
    const char* name;
    ActionBuilder (*build)();
    Lines expected;
};

ActionBuilder newObjectWith(std::string_view member, std::string_view value)
{
    ActionBuilder b;
    b.pushString(member).pushString(value).pushInt(1).op(Op::InitObject);
    return b;
}

const StressScript kStressScripts[] = {
    {"nested object literals",
     [] {
         ActionBuilder a;
         // trace({outer: {inner: "x"}, other: [ {v: "y"} ]}.outer.inner)
         a.pushString("outer").append(newObjectWith("inner", "x"));
         a.pushString("other").append(newObjectWith("v", "y")).pushInt(1).op(Op::InitArray);
         a.pushInt(2).op(Op::InitObject).pushString("outer").op(Op::GetMember).pushString("inner").op(Op::GetMember);
         a.op(Op::Trace);
         return a;
     },
     {"x"}},
    {"fresh objects as arguments of a native that allocates",
     [] {
         ActionBuilder a;
         // trace([ ].concat({v: "a"}, [{v: "b"}], {v: "c"})[1][0].v) — via `concat` on an empty array
         a.append(newObjectWith("v", "c"));
         a.append(newObjectWith("v", "b")).pushInt(1).op(Op::InitArray);
         a.append(newObjectWith("v", "a"));
         a.pushInt(3).pushInt(0).op(Op::InitArray).pushString("concat").op(Op::CallMethod);
         a.pushString("1").op(Op::GetMember).pushString("v").op(Op::GetMember).op(Op::Trace);
         return a;
     },
     {"b"}},
    {"a sort whose comparison allocates",
     [] {
         ActionBuilder a;
         a.pushString("arr");
         for (int v : {5, 3, 9, 1, 7})
             a.append(newObjectWith("n", std::to_string(v)));
         a.pushInt(5).op(Op::InitArray).op(Op::SetVariable);
         // arr.sort(function (a, b) { return ({d: a.n - b.n}).d }) — compares members
         ActionBuilder byMember;
         byMember.pushString("d").getVariable("a").pushString("n").op(Op::GetMember).getVariable("b");
         byMember.pushString("n").op(Op::GetMember).op(0x0B).pushInt(1).op(Op::InitObject);
         byMember.pushString("d").op(Op::GetMember).op(Op::Return);
         a.defineFunction("", {"a", "b"}, byMember).pushInt(1).getVariable("arr").pushString("sort").op(Op::CallMethod);
         a.op(Op::Pop);
         for (int i = 0; i < 5; ++i)
             a.getVariable("arr").pushString(std::to_string(i)).op(Op::GetMember).pushString("n").op(Op::GetMember).op(Op::Trace);
         return a;
     },
     {"1", "3", "5", "7", "9"}},
    {"a constructor chain building members",
     [] {
         ActionBuilder ctor;
         // this.list = [{k: "first"}]; this.self = this
         ctor.pushString("this").op(Op::GetVariable).pushString("list").append(newObjectWith("k", "first"));
         ctor.pushInt(1).op(Op::InitArray).op(Op::SetMember);
         ActionBuilder a;
         a.defineFunction("Box", {}, ctor);
         a.pushString("box").pushInt(0).pushString("Box").op(Op::NewObject).op(Op::SetVariable);
         for (int i = 0; i < 20; ++i)
             a.pushInt(0).pushString("Box").op(Op::NewObject).op(Op::Pop);
         a.getVariable("box").pushString("list").op(Op::GetMember).pushString("0").op(Op::GetMember);
         a.pushString("k").op(Op::GetMember).op(Op::Trace);
         return a;
     },
     {"first"}},
};

Lines runScript(const ActionBuilder& code, bool stress)
{
    struct Sink : TimelineControl {
        Lines lines;
        void play() override {}
        void stop() override {}
        void nextFrame() override {}
        void prevFrame() override {}
        void gotoFrame(int) override {}
        bool gotoLabel(std::string_view) override { return false; }
        void toggleQuality() override {}
        void stopSounds() override {}
        void getUrl(const std::string&, const std::string&) override {}
        void trace(const std::string& line) override { lines.push_back(line); }
    } sink;
    if (stress)
        ::setenv("LANFAN_GC_STRESS", "1", 1);
    else
        ::unsetenv("LANFAN_GC_STRESS");
    Executor(10).run(code.build(), sink);
    ::unsetenv("LANFAN_GC_STRESS");
    return sink.lines;
}

TEST(Heap, ScriptsTraceTheSameWhenEveryAllocationCollects)
{
    for (const StressScript& s : kStressScripts) {
        SCOPED_TRACE(s.name);
        ActionBuilder code = s.build();
        EXPECT_EQ(runScript(code, false), s.expected);
        EXPECT_EQ(runScript(code, true), s.expected);
    }
}

} // namespace
} // namespace swf::avm1
