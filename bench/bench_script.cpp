// The script machine on the work movies make it do most: member reads and writes through
// a prototype chain, string building, method calls, sorting a large array, and deep
// recursion. Each script is assembled as action bytes and run as a frame script on a
// machine of its own; set-up runs once, outside the timed loop.

#include "engine/avm1/Machine.h"
#include "tests/support/SwfWriter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using swf::avm1::Machine;
using swf::test::ActionBuilder;

namespace Op {
constexpr uint8_t Add2 = 0x47, Less2 = 0x48, Not = 0x12, Increment = 0x50, Decrement = 0x51, Pop = 0x17,
                  GetVariable = 0x1C, SetVariable = 0x1D, GetMember = 0x4E, SetMember = 0x4F, CallMethod = 0x52,
                  CallFunction = 0x3D, NewObject = 0x40, InitArray = 0x42, Return = 0x3E, Subtract = 0x0B,
                  Trace = 0x26, Modulo = 0x3F, Multiply = 0x0C;
}

// for (r = 0; r < count; ++r) body — the counter lives in register `reg`.
ActionBuilder loop(uint8_t reg, int count, const ActionBuilder& body)
{
    ActionBuilder init;
    init.pushInt(0).storeRegister(reg).op(Op::Pop);
    ActionBuilder cond;
    cond.pushRegister(reg).pushInt(count).op(Op::Less2).op(Op::Not);
    ActionBuilder step;
    step.pushRegister(reg).op(Op::Increment).storeRegister(reg).op(Op::Pop);
    constexpr int kBranchSize = 5;
    auto bodySize = static_cast<int>(body.size() + step.size());
    ActionBuilder code;
    code.append(init).append(cond).branchIfTrue(static_cast<int16_t>(bodySize + kBranchSize));
    code.append(body).append(step);
    code.jump(static_cast<int16_t>(-(static_cast<int>(cond.size()) + kBranchSize + bodySize + kBranchSize)));
    return code;
}

// `new name()` stored into the variable `into`.
ActionBuilder newInto(std::string_view into, std::string_view name)
{
    ActionBuilder b;
    b.pushString(into).pushInt(0).pushString(name).op(Op::NewObject).op(Op::SetVariable);
    return b;
}

// name = function () {}
ActionBuilder emptyClass(std::string_view name)
{
    ActionBuilder b;
    b.defineFunction(name, {}, ActionBuilder());
    return b;
}

// target.member = value (value pushed by `value`).
ActionBuilder setMember(std::string_view target, std::string_view member, const ActionBuilder& value)
{
    ActionBuilder b;
    b.getVariable(target).pushString(member).append(value).op(Op::SetMember);
    return b;
}

ActionBuilder number(double v)
{
    ActionBuilder b;
    b.pushNumber(v);
    return b;
}

class ScriptRun {
public:
    explicit ScriptRun(const ActionBuilder& setup, const ActionBuilder& work)
        : machine_(10), setup_(setup.build()), work_(work.build())
    {
        machine_.setTraceSink([this](const std::string& line) { lastTrace_ = line; });
        machine_.resetBudget(SIZE_MAX / 2);
        // A plain object stands in for the timeline the variables live on.
        timeline_ = machine_.newObject();
        machine_.runBlock(setup_, timeline_);
    }

    void run()
    {
        machine_.resetBudget(SIZE_MAX / 2);
        machine_.runBlock(work_, timeline_);
        machine_.collectGarbage(std::span(&timeline_, 1));
    }
    const std::string& lastTrace() const { return lastTrace_; }

private:
    Machine machine_;
    std::vector<uint8_t> setup_;
    std::vector<uint8_t> work_;
    std::string lastTrace_;
    swf::avm1::Object* timeline_ = nullptr;
};

void checkTrace(benchmark::State& state, const ScriptRun& run, const std::string& expected)
{
    if (run.lastTrace() != expected)
        state.SkipWithError(("unexpected result " + run.lastTrace()).c_str());
}

constexpr int kPropertyLoops = 10000;

// o is a C, C extends B extends A; each level's prototype holds one member. The loop
// reads all three through the chain and writes an own member.
void BM_PropertyChain(benchmark::State& state)
{
    ActionBuilder setup;
    setup.append(emptyClass("A")).append(emptyClass("B")).append(emptyClass("C"));
    setup.append(setMember("B", "prototype", ActionBuilder().pushInt(0).pushString("A").op(Op::NewObject)));
    setup.append(setMember("C", "prototype", ActionBuilder().pushInt(0).pushString("B").op(Op::NewObject)));
    setup.getVariable("A").pushString("prototype").op(Op::GetMember).pushString("alpha").pushInt(1).op(Op::SetMember);
    setup.getVariable("B").pushString("prototype").op(Op::GetMember).pushString("beta").pushInt(2).op(Op::SetMember);
    setup.getVariable("C").pushString("prototype").op(Op::GetMember).pushString("gamma").pushInt(3).op(Op::SetMember);
    setup.append(newInto("o", "C"));
    setup.append(setMember("o", "total", number(0)));

    ActionBuilder body;
    // o.total = o.total + o.alpha + o.beta + o.gamma
    body.getVariable("o").pushString("total");
    body.getVariable("o").pushString("total").op(Op::GetMember);
    body.getVariable("o").pushString("alpha").op(Op::GetMember).op(Op::Add2);
    body.getVariable("o").pushString("beta").op(Op::GetMember).op(Op::Add2);
    body.getVariable("o").pushString("gamma").op(Op::GetMember).op(Op::Add2);
    body.op(Op::SetMember);
    ActionBuilder work = loop(1, kPropertyLoops, body);
    work.append(setMember("o", "total", number(0)));
    work.getVariable("o").pushString("alpha").op(Op::GetMember).op(Op::Trace);

    ScriptRun run(setup, work);
    for (auto _ : state)
        run.run();
    checkTrace(state, run, "1");
    state.SetItemsProcessed(state.iterations() * kPropertyLoops * 5);
}
BENCHMARK(BM_PropertyChain)->Unit(benchmark::kMicrosecond);

// s = s + "ab" + r, a few thousand times.
void BM_StringBuilding(benchmark::State& state)
{
    constexpr int kLoops = 3000;
    ActionBuilder body;
    body.pushString("s").getVariable("s").pushString("ab").op(Op::Add2).pushRegister(1).op(Op::Add2);
    body.op(Op::SetVariable);
    ActionBuilder work;
    work.pushString("s").pushString("").op(Op::SetVariable);
    work.append(loop(1, kLoops, body));
    work.getVariable("s").pushString("length").op(Op::GetMember).op(Op::Trace);

    ScriptRun run(ActionBuilder(), work);
    for (auto _ : state)
        run.run();
    checkTrace(state, run, "16890");
    state.SetItemsProcessed(state.iterations() * kLoops);
}
BENCHMARK(BM_StringBuilding)->Unit(benchmark::kMicrosecond);

// o.step(r) where step is a script method returning its argument plus one.
void BM_MethodCalls(benchmark::State& state)
{
    constexpr int kLoops = 10000;
    ActionBuilder setup;
    setup.append(newInto("o", "Object"));
    ActionBuilder stepBody;
    stepBody.getVariable("x").pushInt(1).op(Op::Add2).op(Op::Return);
    ActionBuilder fn;
    fn.defineFunction("", {"x"}, stepBody);
    setup.append(setMember("o", "step", fn));

    ActionBuilder body;
    body.pushRegister(1).pushInt(1).getVariable("o").pushString("step").op(Op::CallMethod).op(Op::Pop);
    ActionBuilder work = loop(1, kLoops, body);
    work.pushInt(41).pushInt(1).getVariable("o").pushString("step").op(Op::CallMethod).op(Op::Trace);

    ScriptRun run(setup, work);
    for (auto _ : state)
        run.run();
    checkTrace(state, run, "42");
    state.SetItemsProcessed(state.iterations() * kLoops);
}
BENCHMARK(BM_MethodCalls)->Unit(benchmark::kMicrosecond);

// A copy of 10,000 pseudo-random numbers sorted with Array.NUMERIC.
void BM_ArraySort(benchmark::State& state)
{
    constexpr int kCount = 10000;
    ActionBuilder setup;
    setup.pushString("a").pushInt(0).pushString("Array").op(Op::NewObject).op(Op::SetVariable);
    setup.pushString("seed").pushInt(12345).op(Op::SetVariable);
    ActionBuilder fill;
    // seed = (seed * 1103 + 12345) % 65536; a[r] = seed
    fill.pushString("seed").getVariable("seed").pushInt(1103).op(Op::Multiply).pushInt(12345).op(Op::Add2);
    fill.pushInt(65536).op(Op::Modulo).op(Op::SetVariable);
    fill.getVariable("a").pushRegister(1).getVariable("seed").op(Op::SetMember);
    setup.append(loop(1, kCount, fill));

    ActionBuilder work;
    // b = a.concat(); b.sort(16); trace(b[0] <= b[1] ...) — traced as the first element.
    work.pushString("b").pushInt(0).getVariable("a").pushString("concat").op(Op::CallMethod).op(Op::SetVariable);
    work.pushInt(16).pushInt(1).getVariable("b").pushString("sort").op(Op::CallMethod).op(Op::Pop);
    work.getVariable("b").pushString("length").op(Op::GetMember).op(Op::Trace);

    ScriptRun run(setup, work);
    for (auto _ : state)
        run.run();
    checkTrace(state, run, "10000");
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_ArraySort)->Unit(benchmark::kMicrosecond);

// fib(n) = n < 2 ? n : fib(n - 1) + fib(n - 2), as a plain DefineFunction.
void BM_Recursion(benchmark::State& state)
{
    ActionBuilder fibBody;
    // if (!(n < 2)) skip the early return
    ActionBuilder early;
    early.getVariable("n").op(Op::Return);
    fibBody.getVariable("n").pushInt(2).op(Op::Less2).op(Op::Not).branchIfTrue(static_cast<int16_t>(early.size()));
    fibBody.append(early);
    fibBody.getVariable("n").op(Op::Decrement).pushInt(1).pushString("fib").op(Op::CallFunction);
    fibBody.getVariable("n").pushInt(2).op(Op::Subtract).pushInt(1).pushString("fib").op(Op::CallFunction);
    fibBody.op(Op::Add2).op(Op::Return);
    ActionBuilder setup;
    setup.defineFunction("fib", {"n"}, fibBody);

    ActionBuilder work;
    work.pushInt(18).pushInt(1).pushString("fib").op(Op::CallFunction).op(Op::Trace);

    ScriptRun run(setup, work);
    for (auto _ : state)
        run.run();
    checkTrace(state, run, "2584");
    state.SetItemsProcessed(state.iterations() * 8361);  // calls fib(18) makes
}
BENCHMARK(BM_Recursion)->Unit(benchmark::kMicrosecond);

// The member lookups alone, without the interpreter around them: reads of members
// found one, two and three levels up the prototype chain, a read of a name nothing
// has, and a write of an own member. Before SWF 7 names ignore case.
void BM_MemberLookup(benchmark::State& state)
{
    Machine m(static_cast<int>(state.range(0)));
    swf::avm1::Object* a = m.newObject();
    swf::avm1::Object* b = m.newObject(a);
    swf::avm1::Object* c = m.newObject(b);
    swf::avm1::Object* o = m.newObject(c);
    a->put("alphaMember", swf::avm1::Value(1.0));
    b->put("betaMember", swf::avm1::Value(2.0));
    c->put("gammaMember", swf::avm1::Value(3.0));
    for (int i = 0; i < 6; ++i)
        o->put("own" + std::to_string(i), swf::avm1::Value(0.0));
    swf::avm1::Value target(o);
    double sum = 0;
    for (auto _ : state) {
        sum += m.getMember(target, "alphaMember").asNumber();
        sum += m.getMember(target, "betaMember").asNumber();
        sum += m.getMember(target, "gammaMember").asNumber();
        benchmark::DoNotOptimize(m.getMember(target, "missingMember"));
        m.setMember(target, "own3", swf::avm1::Value(sum));
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_MemberLookup)->Arg(6)->Arg(10);

} // namespace

BENCHMARK_MAIN();
