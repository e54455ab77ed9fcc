// The ActionScript machine on hand-built action blocks: conversions and operators by
// SWF version, equality tables, scope chains and closures, DefineFunction2 registers,
// prototype chains and super, try/catch/finally, built-in classes, and its bounds.

#include "engine/avm1/Executor.h"
#include "engine/avm1/Machine.h"
#include "tests/engine/avm1/TraceCollector.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

namespace Op {
constexpr uint8_t Add = 0x0A, Trace = 0x26, GetVariable = 0x1C, SetVariable = 0x1D, DefineLocal = 0x3C,
                  Return = 0x3E, NewObject = 0x40, InitArray = 0x42, InitObject = 0x43, TypeOf = 0x44,
                  Add2 = 0x47, Less2 = 0x48, Equals2 = 0x49, GetMember = 0x4E, SetMember = 0x4F,
                  CallMethod = 0x52, NewMethod = 0x53, InstanceOf = 0x54, StrictEquals = 0x66, Extends = 0x69,
                  Throw = 0x2A, Enumerate2 = 0x55, Pop = 0x17, BitURShift = 0x65, Modulo = 0x3F, Greater = 0x67;
}

using Collector = test::TraceCollector;

Lines run(const ActionBuilder& actions, int version = 10, ExecutionLimits limits = {})
{
    Collector c;
    Executor(version, limits).run(actions.build(), c);
    return c.lines;
}

// Pushes a, b, applies `op`, traces the result.
ActionBuilder binary(const ActionBuilder& a, const ActionBuilder& b, uint8_t op)
{
    ActionBuilder code;
    code.append(a).append(b).op(op).op(Op::Trace);
    return code;
}

ActionBuilder str(std::string_view s)
{
    ActionBuilder b;
    b.pushString(s);
    return b;
}

ActionBuilder num(double v)
{
    ActionBuilder b;
    b.pushNumber(v);
    return b;
}

ActionBuilder undef()
{
    ActionBuilder b;
    b.pushUndefined();
    return b;
}

ActionBuilder null()
{
    ActionBuilder b;
    b.pushNull();
    return b;
}

// `target.method(args...)` with numeric args, result traced.
ActionBuilder callMethod(const ActionBuilder& target, std::string_view method, std::initializer_list<double> args)
{
    ActionBuilder code;
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        code.pushNumber(*it);
    code.pushInt(static_cast<int32_t>(args.size())).append(target).pushString(method).op(Op::CallMethod);
    return code;
}

TEST(MachineOperators, AddConcatenatesWhenEitherSideIsAString)
{
    ActionBuilder a;
    a.append(binary(str("1"), num(2), Op::Add2));
    a.append(binary(num(1), num(2), Op::Add2));
    a.append(binary(str("a"), undef(), Op::Add2));
    EXPECT_EQ(run(a, 7), (Lines{"12", "3", "aundefined"}));
    EXPECT_EQ(run(a, 6), (Lines{"12", "3", "a"})) << "undefined converts to an empty string before SWF 7";
}

TEST(MachineOperators, BothEqualitiesHoldNaNEqualToItself)
{
    ActionBuilder a;
    a.append(binary(num(0.0 / 0.0), num(0.0 / 0.0), Op::StrictEquals));
    a.append(binary(num(0.0 / 0.0), num(1), Op::StrictEquals));
    a.append(binary(num(0.0 / 0.0), undef(), Op::StrictEquals));
    a.append(binary(num(0.0 / 0.0), num(0.0 / 0.0), Op::Equals2));
    a.append(binary(num(0.0 / 0.0), undef(), Op::Equals2));
    EXPECT_EQ(run(a, 7), (Lines{"true", "false", "false", "true", "false"}));
}

TEST(MachineOperators, AnObjectWithoutValueOfLooselyEqualsUndefinedAndNull)
{
    // o = {}; o.__proto__ = undefined: nothing converts it, so it reads as undefined.
    ActionBuilder bare;
    bare.pushString("o").pushInt(0).op(Op::InitObject).op(Op::SetVariable);
    bare.getVariable("o").pushString("__proto__").pushUndefined().op(Op::SetMember);
    ActionBuilder o;
    o.getVariable("o");
    ActionBuilder a;
    a.append(bare);
    a.append(binary(o, undef(), Op::Equals2));
    a.append(binary(null(), o, Op::Equals2));
    a.append(binary(o, num(0), Op::Equals2));
    a.append(binary(str("x"), null(), Op::Equals2));
    EXPECT_EQ(run(a, 7), (Lines{"true", "true", "false", "false"}));
}

TEST(MachineOperators, LooseEqualityComparesAnObjectByItsValueOfAlone)
{
    // {toString: () => "test"} == "test": the default valueOf gives the object itself,
    // so the comparison fails without trying toString. An own valueOf is used.
    ActionBuilder returnsTest;
    returnsTest.pushString("test").op(Op::Return);
    ActionBuilder withToString;
    withToString.pushString("toString").defineFunction("", {}, returnsTest).pushInt(1).op(Op::InitObject);
    ActionBuilder withValueOf;
    withValueOf.pushString("valueOf").defineFunction("", {}, returnsTest).pushInt(1).op(Op::InitObject);
    ActionBuilder a;
    a.append(binary(str("test"), withToString, Op::Equals2));
    a.append(binary(withValueOf, str("test"), Op::Equals2));
    a.append(binary(withToString, str("x"), Op::Add2));
    EXPECT_EQ(run(a), (Lines{"false", "true", "testx"}));
}

TEST(MachineOperators, ToIntegerTruncatesAndWrapsTo32Bits)
{
    ActionBuilder a;
    for (double v : {4294967295.0, -10.7, 2147483648.0, 1e20})
        a.pushNumber(v).op(0x18).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"-1", "-10", "-2147483648", "1661992960"}));
}

TEST(MachineObjects, InstanceOfFollowsInterfacesThatExtendInterfaces)
{
    // Pink implements Red; C implements Pink: a C is a Pink and a Red, not a Blue.
    ActionBuilder a;
    for (const char* name : {"Red", "Pink", "Blue", "C"})
        a.pushString(name).defineFunction("", {}, ActionBuilder()).op(Op::SetVariable);
    a.getVariable("Red").pushInt(1).getVariable("Pink").op(0x2C);
    a.getVariable("Pink").pushInt(1).getVariable("C").op(0x2C);
    a.pushString("o").pushInt(0).pushString("C").op(Op::NewObject).op(Op::SetVariable);
    for (const char* name : {"Pink", "Red", "Blue"})
        a.getVariable("o").getVariable(name).op(Op::InstanceOf).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"true", "true", "false"}));
}

TEST(MachineOperators, HexAndOctalStringsAreNumbersFromSwf6)
{
    // "0x10" == "16" and "010" == "8" (octal) from SWF 6; SWF 5 reads neither, and a
    // zero followed by a non-octal digit stays decimal.
    ActionBuilder a;
    constexpr uint8_t numericEquals = 0x0E;
    a.append(binary(str("0x10"), str("16"), numericEquals));
    a.append(binary(str("010"), str("8"), numericEquals));
    a.append(binary(str("09"), str("9"), numericEquals));
    EXPECT_EQ(run(a, 6), (Lines{"true", "true", "true"}));
    EXPECT_EQ(run(a, 5), (Lines{"false", "false", "true"}));
}

TEST(MachineOperators, NumericEqualsConvertsItsRightOperandFirst)
{
    auto counted = [](std::string_view name) {
        ActionBuilder body;
        body.trace(name).pushInt(1).op(Op::Return);
        ActionBuilder o;
        o.pushString("valueOf").defineFunction("", {}, body).pushInt(1).op(Op::InitObject);
        return o;
    };
    ActionBuilder a;
    a.append(binary(counted("left"), counted("right"), 0x0E));   // Equals
    a.append(binary(counted("left"), counted("right"), 0x0B));   // Subtract: right first too
    a.append(binary(counted("left"), counted("right"), 0x0C));   // Multiply, for contrast
    EXPECT_EQ(run(a, 5), (Lines{"right", "left", "true", "right", "left", "0", "left", "right", "1"}));
}

TEST(MachineOperators, Swf4ArithmeticReadsNumericPrefixesAndNoHex)
{
    ActionBuilder a;
    a.append(binary(str("300"), str("150a"), Op::Add));
    a.append(binary(str("300"), str("0x96"), Op::Add));
    EXPECT_EQ(run(a, 4), (Lines{"450", "300"}));
    EXPECT_EQ(run(a, 7), (Lines{"NaN", "450"}));
}

TEST(MachineOperators, EqualityTables)
{
    ActionBuilder a;
    a.append(binary(null(), undef(), Op::Equals2));
    a.append(binary(str("1"), num(1), Op::Equals2));
    a.append(binary(str("1"), num(1), Op::StrictEquals));
    a.append(binary(num(0.0 / 0.0), num(0.0 / 0.0), Op::Equals2));
    a.append(binary(null(), num(0), Op::Equals2));
    ActionBuilder t;
    t.pushBool(true);
    a.append(binary(t, num(1), Op::Equals2));
    EXPECT_EQ(run(a), (Lines{"true", "true", "false", "true", "false", "true"}));
}

TEST(MachineOperators, ComparisonsWithNaNAreUndefinedAndStringsCompareAsText)
{
    ActionBuilder a;
    a.append(binary(num(1), str("x"), Op::Less2));
    a.append(binary(str("10"), str("9"), Op::Less2));
    a.append(binary(num(10), num(9), Op::Greater));
    EXPECT_EQ(run(a), (Lines{"undefined", "true", "true"}));
}

TEST(MachineOperators, UnsignedShiftReadsBackSigned32BitAndModuloKeepsSign)
{
    ActionBuilder a;
    a.append(binary(num(-3), num(1), Op::BitURShift));
    a.append(binary(num(-3), num(0), Op::BitURShift));
    a.append(binary(num(-7), num(3), Op::Modulo));
    EXPECT_EQ(run(a), (Lines{"2147483646", "-3", "-1"}));
}

TEST(MachineVariables, NamesIgnoreCaseBeforeSwf7)
{
    ActionBuilder a;
    a.setVariable("Foo", num(5)).getVariable("foo").op(Op::Trace);
    EXPECT_EQ(run(a, 6), (Lines{"5"}));
    EXPECT_EQ(run(a, 7), (Lines{"undefined"}));

    // The special names too: _GLOBAL is _global before SWF 7, nothing from 7.
    ActionBuilder g;
    g.getVariable("_GLOBAL").op(Op::TypeOf).op(Op::Trace).getVariable("_global").op(Op::TypeOf).op(Op::Trace);
    EXPECT_EQ(run(g, 6), (Lines{"object", "object"}));
    EXPECT_EQ(run(g, 7), (Lines{"undefined", "object"}));
}

TEST(MachineVariables, ADottedPathGivesWayToAnOuterScopeThatHasItsLastName)
{
    // Inside f, the local a.b has no c; the global a.b has. Reading "a.b.c" finds the
    // global one; reading "a.b.d", which no scope has, reads the local a.b.
    ActionBuilder inner;
    inner.pushString("c").pushString("global").pushInt(1).op(Op::InitObject);
    ActionBuilder b;
    b.pushString("b").append(inner).pushInt(1).op(Op::InitObject);
    ActionBuilder emptyB;
    emptyB.pushString("b").pushInt(0).op(Op::InitObject).pushInt(1).op(Op::InitObject);
    ActionBuilder body;
    body.pushString("a").append(emptyB).op(Op::DefineLocal);
    body.getVariable("a.b.c").op(Op::Trace).getVariable("a.b.d").op(Op::Trace);
    ActionBuilder a;
    a.getVariable("_global").pushString("a").append(b).op(Op::SetMember);
    a.defineFunction("f", {}, body).callFunction("f", {}).pop();
    EXPECT_EQ(run(a), (Lines{"global", "undefined"}));
}

TEST(MachineFunctions, ClosuresKeepTheirScopeAndLocalsStayLocal)
{
    // function make(n) { var k = n; return function() { return k; }; }
    ActionBuilder inner;
    inner.getVariable("k").op(Op::Return);
    ActionBuilder makeBody;
    makeBody.pushString("k").getVariable("n").op(Op::DefineLocal);
    makeBody.defineFunction("", {}, inner).op(Op::Return);
    ActionBuilder a;
    a.defineFunction("make", {"n"}, makeBody);
    a.pushString("f").callFunction("make", {7}).op(Op::SetVariable);
    a.pushInt(0).getVariable("f").pushUndefined().op(Op::CallMethod).op(Op::Trace);
    a.getVariable("k").op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"7", "undefined"}));
}

TEST(MachineFunctions, Function2PreloadsRegistersInOrderAndBindsParameters)
{
    // Registers: 1 = this, 2 = arguments; parameter x in register 3, y as a local.
    constexpr uint16_t preloadThis = 0x01, preloadArguments = 0x04;
    ActionBuilder body;
    body.pushRegister(2).pushString("length").op(Op::GetMember).op(Op::Trace);
    body.pushRegister(3).op(Op::Trace);
    body.getVariable("y").op(Op::Trace);
    body.pushRegister(1).op(Op::TypeOf).op(Op::Trace);
    ActionBuilder a;
    a.defineFunction2("f", 4, preloadThis | preloadArguments, {{3, "x"}, {0, "y"}}, body);
    a.callFunction("f", {10, 20, 30}).op(Op::Pop);
    // Called by name from the timeline, `this` is the clip.
    EXPECT_EQ(run(a), (Lines{"3", "10", "20", "movieclip"}));
}

TEST(MachineFunctions, Function2SkipsTheParentRegisterWhenThereIsNoParent)
{
    // Preload _parent and _global into a function run outside any clip: with no
    // parent, _global moves up into register 1 and register 2 stays empty.
    ActionBuilder body;
    body.pushRegister(1).op(Op::Trace).pushRegister(2).op(Op::Trace);
    ActionBuilder a;
    a.defineFunction2("f", 3, 0x80 | 0x100, {}, body).callFunction("f", {});
    Lines lines = run(a);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0], "undefined");
    EXPECT_EQ(lines[1], "undefined");
}

TEST(MachineFunctions, RunawayRecursionAbortsTheBlockInsteadOfOverflowing)
{
    ActionBuilder body;
    body.callFunction("f", {}).op(Op::Return);
    ActionBuilder a;
    a.defineFunction("f", {}, body).callFunction("f", {}).op(Op::Pop).trace("not reached");
    EXPECT_TRUE(run(a).empty());
}

TEST(MachineObjects, PrototypeChainsExtendsAndSuper)
{
    // function A() {}  A.prototype.hello = function() { return "A"; }
    // function B() { super(); }  B extends A;  B.prototype.hello = function() { return "B" + super.hello(); }
    ActionBuilder returnA;
    returnA.pushString("A").op(Op::Return);
    ActionBuilder superCall;  // super() : CallMethod on super with an undefined name
    superCall.pushInt(0).getVariable("super").pushUndefined().op(Op::CallMethod).op(Op::Pop);
    ActionBuilder helloB;
    helloB.pushString("B").append(callMethod([] {
        ActionBuilder s;
        s.getVariable("super");
        return s;
    }(), "hello", {})).op(Op::Add2).op(Op::Return);

    ActionBuilder a;
    a.defineFunction("A", {}, ActionBuilder());
    a.getVariable("A").pushString("prototype").op(Op::GetMember).pushString("hello").defineFunction("", {}, returnA).op(Op::SetMember);
    a.defineFunction("B", {}, superCall);
    a.getVariable("B").getVariable("A").op(Op::Extends);
    a.getVariable("B").pushString("prototype").op(Op::GetMember).pushString("hello").defineFunction("", {}, helloB).op(Op::SetMember);
    a.pushString("b").pushInt(0).pushString("B").op(Op::NewObject).op(Op::SetVariable);
    ActionBuilder b;
    b.getVariable("b");
    a.append(callMethod(b, "hello", {})).op(Op::Trace);
    a.getVariable("b").getVariable("A").op(Op::InstanceOf).op(Op::Trace);
    EXPECT_EQ(run(a, 7), (Lines{"BA", "true"}));
}

TEST(MachineObjects, SuperConstructorsChainThroughThreeLevels)
{
    // function A() { trace("A"); }  B: super(); trace("B")  C: super(); trace("C")
    // with B.prototype.__proto__ = A.prototype and C.prototype.__proto__ = B.prototype.
    constexpr uint16_t preloadSuper = 0x10, suppressThis = 0x02, suppressArguments = 0x08;
    auto ctor = [&](std::string_view label) {
        ActionBuilder body;
        body.pushInt(0).pushRegister(1).pushUndefined().op(Op::CallMethod).op(Op::Pop).trace(label);
        return body;
    };
    auto link = [](std::string_view sub, std::string_view super) {
        ActionBuilder a;
        a.getVariable(sub).pushString("prototype").op(Op::GetMember).pushString("__proto__");
        a.getVariable(super).pushString("prototype").op(Op::GetMember).op(Op::SetMember);
        return a;
    };
    ActionBuilder a;
    a.defineFunction("A", {}, ActionBuilder().trace("A"));
    a.defineFunction2("B", 2, preloadSuper | suppressThis | suppressArguments, {}, ctor("B"));
    a.defineFunction2("C", 2, preloadSuper | suppressThis | suppressArguments, {}, ctor("C"));
    a.append(link("B", "A")).append(link("C", "B"));
    a.pushInt(0).pushString("C").op(Op::NewObject).op(Op::Pop);
    EXPECT_EQ(run(a, 7), (Lines{"A", "B", "C"}));
}

TEST(MachineObjects, SuperFollowsThisProtoAsItIsWhenSuperIsCalled)
{
    // function A() { trace("A"); }  function T() {}
    // T.prototype.make = function() {
    //     this.__proto__ = {__proto__: A.prototype, __constructor__: A}; super(); }
    // new T().make();
    ActionBuilder make;
    make.getVariable("this").pushString("__proto__");
    make.pushString("__proto__").getVariable("A").pushString("prototype").op(Op::GetMember);
    make.pushString("__constructor__").getVariable("A").pushInt(2).op(Op::InitObject).op(Op::SetMember);
    make.pushInt(0).getVariable("super").pushUndefined().op(Op::CallMethod).op(Op::Pop);
    ActionBuilder a;
    a.defineFunction("A", {}, ActionBuilder().trace("A"));
    a.defineFunction("T", {}, ActionBuilder());
    a.getVariable("T").pushString("prototype").op(Op::GetMember).pushString("make").defineFunction("", {}, make);
    a.op(Op::SetMember);
    a.pushString("t").pushInt(0).pushString("T").op(Op::NewObject).op(Op::SetVariable);
    ActionBuilder t;
    t.getVariable("t");
    a.append(callMethod(t, "make", {})).op(Op::Pop);
    a.getVariable("t").getVariable("A").op(Op::InstanceOf).op(Op::Trace);
    EXPECT_EQ(run(a, 8), (Lines{"A", "true"}));
}

TEST(MachineObjects, SuperCalledAsAFunctionRunsTheExtendedConstructor)
{
    // Compiled classes write super() as a call of the function named "super":
    // class B extends A { function B() { super(); trace("B"); } }
    ActionBuilder bBody;
    bBody.pushInt(0).pushString("super").op(0x3D).op(Op::Pop).trace("B");
    ActionBuilder a;
    a.defineFunction("A", {}, ActionBuilder().trace("A"));
    a.defineFunction("B", {}, bBody);
    a.getVariable("B").getVariable("A").op(Op::Extends);
    a.pushInt(0).pushString("B").op(Op::NewObject).op(Op::Pop);
    EXPECT_EQ(run(a, 8), (Lines{"A", "B"}));
}

TEST(MachineObjects, ObjectsAndArraysPrintAsThePlayerPrintsThem)
{
    ActionBuilder a;
    a.pushNumber(3).pushNumber(2).pushNumber(1).pushInt(3).op(Op::InitArray).op(Op::Trace);
    a.pushString("a").pushNumber(1).pushInt(1).op(Op::InitObject).op(Op::Trace);
    a.pushNumber(255).pushInt(1).pushString("Number").op(Op::NewObject).storeRegister(0).op(Op::Pop);
    ActionBuilder n;
    n.pushRegister(0);
    a.append(callMethod(n, "toString", {16})).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"1,2,3", "[object Object]", "ff"}));
}

TEST(MachineObjects, ForInListsOwnPropertiesAndSkipsHiddenOnes)
{
    ActionBuilder a;
    a.pushString("o").pushString("x").pushNumber(1).pushString("y").pushNumber(2).pushInt(2).op(Op::InitObject);
    a.op(Op::SetVariable);
    a.getVariable("o").op(Op::Enumerate2);
    // Pop names until the null marker; trace each.
    ActionBuilder loopBody;
    loopBody.op(Op::Trace);
    ActionBuilder check;
    check.storeRegister(0).pushNull().op(Op::Equals2);
    // layout: check; If(end) -> trace register; jump back
    ActionBuilder traceIt;
    traceIt.pushRegister(0).op(Op::Trace);
    ActionBuilder jumpBack;
    jumpBack.jump(0);
    int16_t skip = static_cast<int16_t>(traceIt.size() + jumpBack.size());
    a.append(check).branchIfTrue(skip).append(traceIt);
    int16_t back = static_cast<int16_t>(-(check.size() + 5 + traceIt.size() + 5));
    a.jump(back);
    Lines lines = run(a);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (Lines{"x", "y"}));
}

TEST(MachineControl, TryCatchFinallyRunsInOrderAndRethrowsWithoutCatch)
{
    ActionBuilder body;
    body.trace("try").pushString("boom").op(Op::Throw).trace("never");
    ActionBuilder catchBody;
    catchBody.getVariable("e").op(Op::Trace);
    ActionBuilder finallyBody;
    finallyBody.trace("finally");
    ActionBuilder a;
    a.tryBlock(body, "e", &catchBody, &finallyBody).trace("after");
    EXPECT_EQ(run(a), (Lines{"try", "boom", "finally", "after"}));

    ActionBuilder b;
    b.tryBlock(body, "", nullptr, &finallyBody).trace("after");
    EXPECT_EQ(run(b), (Lines{"try", "finally", "Warning: Uncaught exception, boom"}))
        << "an uncaught throw ends the block after finally, and the player says so";

    // A throw out of a called function that nothing catches is reported once, with the
    // thrown value as text.
    ActionBuilder thrower;
    thrower.pushNumber(42).op(Op::Throw);
    ActionBuilder c;
    c.defineFunction("f", {}, thrower).callFunction("f", {}).trace("never");
    EXPECT_EQ(run(c), (Lines{"Warning: Uncaught exception, 42"}));
}

TEST(MachineControl, ACaughtThrowDropsWhatTheTryBlockPushedButNotWhatItPopped)
{
    // "below" stays under the try; the try block pushes "pushed" then throws: the catch
    // sees "below" on top. In the second block the try pops "two" before throwing.
    ActionBuilder pushes;
    pushes.pushString("pushed").pushString("err").op(Op::Throw);
    ActionBuilder pops;
    pops.pop().pushString("err").op(Op::Throw);
    ActionBuilder showTop;
    showTop.op(0x4C).op(Op::Trace);  // PushDuplicate, Trace
    ActionBuilder a;
    a.pushString("below").tryBlock(pushes, "e", &showTop, nullptr).pop();
    a.pushString("one").pushString("two").tryBlock(pops, "e", &showTop, nullptr);
    EXPECT_EQ(run(a), (Lines{"below", "one"}));
}

TEST(MachineObjects, TheProtoLinkIsAnOwnProperty)
{
    ActionBuilder a;
    a.pushString("__proto__").pushInt(1).pushInt(0).op(Op::InitObject).pushString("hasOwnProperty")
        .op(Op::CallMethod).op(Op::Trace);
    a.pushString("missing").pushInt(1).pushInt(0).op(Op::InitObject).pushString("hasOwnProperty")
        .op(Op::CallMethod).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"true", "false"}));
}

TEST(MachineBounds, APrototypeChainThatLoopsStopsTheScript)
{
    // a.__proto__ = a; a.foo: nothing more of the block runs.
    ActionBuilder a;
    a.pushString("a").pushInt(0).op(Op::InitObject).op(Op::SetVariable);
    a.getVariable("a").pushString("__proto__").getVariable("a").op(Op::SetMember);
    a.getVariable("a").pushString("foo").op(Op::GetMember).op(Op::Trace).trace("after");
    Collector c;
    Executor executor(10, {});
    EXPECT_NE(executor.run(a.build(), c), ExecutionResult::Finished);
    EXPECT_TRUE(c.lines.empty());
}

TEST(MachineFunctions, ACalledFunctionsThisIsTheScopeObjectItWasFoundOn)
{
    // inner is a local of outer: called by name, its `this` is outer's locals, an
    // object without a prototype, which prints as "[type Object]".
    ActionBuilder innerBody;
    innerBody.getVariable("this").op(Op::Trace);
    ActionBuilder outerBody;
    outerBody.defineFunction("inner", {}, innerBody).callFunction("inner", {}).pop();
    ActionBuilder a;
    a.defineFunction("outer", {}, outerBody).callFunction("outer", {}).pop();
    EXPECT_EQ(run(a), (Lines{"[type Object]"}));
}

TEST(MachineControl, ReturnInsideTryStillRunsFinally)
{
    ActionBuilder body;
    body.pushString("value").op(Op::Return);
    ActionBuilder finallyBody;
    finallyBody.trace("cleanup");
    ActionBuilder fn;
    fn.tryBlock(body, "", nullptr, &finallyBody).trace("never");
    ActionBuilder a;
    a.defineFunction("f", {}, fn).callFunction("f", {}).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"cleanup", "value"}));
}

TEST(MachineBuiltins, StringMethodsCountCharactersNotBytes)
{
    ActionBuilder s;
    s.pushString("h\xC3\xA9llo");
    ActionBuilder a;
    a.append(s).pushString("length").op(Op::GetMember).op(Op::Trace);
    a.append(callMethod(s, "charCodeAt", {1})).op(Op::Trace);
    a.append(callMethod(s, "substr", {1, 2})).op(Op::Trace);
    a.append(callMethod(s, "toUpperCase", {})).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"5", "233", "\xC3\xA9l", "H\xC3\x89LLO"}));
}

TEST(MachineBuiltins, ArraySortHonoursFlags)
{
    ActionBuilder arr;
    arr.getVariable("a");
    ActionBuilder a;
    a.pushString("a").pushNumber(1).pushNumber(10).pushNumber(2).pushInt(3).op(Op::InitArray).op(Op::SetVariable);
    a.append(callMethod(arr, "sort", {})).op(Op::Trace);
    a.append(callMethod(arr, "sort", {16})).op(Op::Trace);      // NUMERIC
    a.append(callMethod(arr, "sort", {16 | 2})).op(Op::Trace);  // NUMERIC | DESCENDING
    EXPECT_EQ(run(a), (Lines{"1,10,2", "1,2,10", "10,2,1"}));
}

TEST(MachineBuiltins, ParseIntAndParseFloat)
{
    ActionBuilder a;
    a.pushString("0x1F").pushInt(1).pushString("parseInt").op(0x3D).op(Op::Trace);
    a.pushString("12px").pushInt(1).pushString("parseInt").op(0x3D).op(Op::Trace);
    a.pushString("3.5e2x").pushInt(1).pushString("parseFloat").op(0x3D).op(Op::Trace);
    a.pushString("z").pushInt(1).pushString("parseInt").op(0x3D).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"31", "12", "350", "NaN"}));
}

TEST(MachineBuiltins, EscapeKeepsOnlyAsciiLettersAndDigits)
{
    ActionBuilder a;
    a.pushString("aZ09@*_+-./ \xC4\x80").pushInt(1).pushString("escape").op(0x3D).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"aZ09%40%2A%5F%2B%2D%2E%2F%20%C4%80"}));
}

TEST(MachineBuiltins, ArrayOfOneNumberIsALengthUnlessNegative)
{
    ActionBuilder a;
    a.pushInt(3).pushInt(1).pushString("Array").op(0x3D).op(Op::Trace);
    a.pushInt(-1).pushInt(1).pushString("Array").op(0x3D).op(Op::Trace);
    a.pushNumber(1.5).pushInt(1).pushString("Array").op(0x3D).op(Op::Trace);
    a.pushInt(-1).pushInt(1).pushString("Array").op(0x3D).pushString("length").op(Op::GetMember).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"undefined,undefined,undefined", "", "1.5", "-1"}));
}

TEST(MachineBuiltins, MathMinAndMaxConvertEveryArgumentAndOneArgumentIsNaN)
{
    // Each argument's valueOf runs, in order, even where the answer is NaN.
    auto counted = [](std::string_view name, double value) {
        ActionBuilder body;
        body.trace(name).pushNumber(value).op(Op::Return);
        ActionBuilder o;
        o.pushString("valueOf").defineFunction("", {}, body).pushInt(1).op(Op::InitObject);
        return o;
    };
    ActionBuilder a;
    a.append(counted("b", 2)).append(counted("a", 1)).pushInt(2).pushString("Math").op(Op::GetVariable)
        .pushString("min").op(Op::CallMethod).op(Op::Trace);
    a.append(counted("a", 1)).pushInt(1).pushString("Math").op(Op::GetVariable).pushString("max")
        .op(Op::CallMethod).op(Op::Trace);
    a.append(counted("b", 2)).pushString("x").pushInt(2).pushString("Math").op(Op::GetVariable)
        .pushString("max").op(Op::CallMethod).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"a", "b", "1", "a", "NaN", "b", "NaN"}));
}

TEST(MachineBounds, EndlessLoopsStopAtTheBudget)
{
    ActionBuilder a;
    a.jump(-5);
    Collector c;
    Executor executor(10, ExecutionLimits{.maxActions = 1000});
    EXPECT_EQ(executor.run(a.build(), c), ExecutionResult::BudgetExhausted);
}

TEST(MachineBounds, ConcatenatingLongStringsSpendsTheBudgetByTheirLength)
{
    // Each pass doubles a 16,000-character string and throws it away: 7 actions, plus
    // one for every KiB the concatenation copies. Counted as 7 actions a pass, a loop
    // like this could copy gigabytes inside one frame's budget.
    ActionBuilder loop;
    loop.pushString(std::string(16000, 'x')).op(0x4C).op(Op::Add2).pop().trace(".");
    ActionBuilder a;
    a.append(loop).jump(static_cast<int16_t>(-static_cast<int>(loop.size()) - 5));
    Collector c;
    Executor executor(10, ExecutionLimits{.maxActions = 3800});
    EXPECT_EQ(executor.run(a.build(), c), ExecutionResult::BudgetExhausted);
    EXPECT_GT(c.lines.size(), 80u);
    EXPECT_LT(c.lines.size(), 120u) << "31 actions charged for each 32,000-character result";
}

TEST(MachineBounds, CopiesOfAStringCompareByTheirText)
{
    // Values share a string's buffer when copied; equality still compares the text,
    // whether or not two strings share a buffer.
    ActionBuilder a;
    a.pushString("ab").op(0x4C).op(Op::StrictEquals).op(Op::Trace);
    a.pushString("a").pushString("b").op(Op::Add2).pushString("ab").op(Op::StrictEquals).op(Op::Trace);
    a.pushString("ab").pushString("abc").op(Op::StrictEquals).op(Op::Trace);
    EXPECT_EQ(run(a), (Lines{"true", "true", "false"}));
}

TEST(MachineBounds, TraceOfUndefinedIsTheWordWhileStringConversionDependsOnVersion)
{
    ActionBuilder a;
    a.pushUndefined().op(Op::Trace);
    a.pushUndefined().op(0x4B).op(Op::Trace);  // ToString
    EXPECT_EQ(run(a, 6), (Lines{"undefined", ""}));
    EXPECT_EQ(run(a, 7), (Lines{"undefined", "undefined"}));
}

} // namespace
} // namespace swf::avm1

namespace swf::avm1 {
namespace {

__attribute__((noinline)) void makeGarbage(Machine& m, int count)
{
    for (int i = 0; i < count; ++i)
        m.newObject();
}

TEST(MachineHeap, CollectionFreesUnreachableObjectsAndKeepsReachableOnes)
{
    Machine m(10);
    size_t baseline = m.heap().size();
    Object* kept = m.newObject();
    kept->put("inner", Value(m.newArray()));
    m.global()->put("kept", Value(kept));
    makeGarbage(m, 100);
    m.collectGarbage({});
    // The native stack is scanned conservatively: a stale copy of a pointer may keep
    // one of the hundred.
    EXPECT_GE(m.heap().size(), baseline + 2) << "the kept object and the array it holds";
    EXPECT_LE(m.heap().size(), baseline + 3);
    EXPECT_EQ(m.toString(m.getMember(Value(kept), "inner")), "");
}

TEST(MachineHeap, AllocationPastTheLimitStopsTheScript)
{
    Heap heap(10, 10);
    std::vector<Object*> kept;
    heap.setRootVisitor([&kept](Visitor& visitor) {
        for (Object* o : kept)
            visitor.visit(o);
    });
    for (int i = 0; i < 10; ++i)
        kept.push_back(heap.make(nullptr));
    EXPECT_THROW(heap.make(nullptr), ScriptAbort);
}

} // namespace
} // namespace swf::avm1
