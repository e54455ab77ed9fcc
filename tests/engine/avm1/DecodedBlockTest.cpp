// Decoded action blocks: every offset decodes as a reader started there reads it, and
// scripts with odd control flow and broken payloads run as they do record by record.

#include "engine/avm1/ActionReader.h"
#include "engine/avm1/DecodedBlock.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/Machine.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;

constexpr uint8_t kTrace = 0x26, kEnd = 0x00, kPush = 0x96, kJump = 0x99, kPool = 0x88;

std::vector<uint8_t> bytes(std::initializer_list<uint8_t> list)
{
    return std::vector<uint8_t>(list);
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Code without the closing End a builder adds.
std::vector<uint8_t> open(const ActionBuilder& b)
{
    std::vector<uint8_t> code = b.build();
    code.pop_back();
    return code;
}

// The record a reader started at `offset` reads: what the decoded entry must equal.
void expectSameAsReader(std::span<const uint8_t> code, DecodedBlock& block, size_t offset)
{
    SCOPED_TRACE("offset " + std::to_string(offset));
    uint32_t index = block.at(offset);
    ActionReader reader(code);
    if (!reader.jumpTo(offset)) {
        EXPECT_EQ(index, DecodedBlock::kOutside);
        return;
    }
    ASSERT_NE(index, DecodedBlock::kOutside);
    const DecodedAction& decoded = block.action(index);
    auto record = reader.next();
    ASSERT_EQ(decoded.endOfStream, !record.has_value());
    if (!record)
        return;
    EXPECT_EQ(decoded.record.offset, offset);
    EXPECT_EQ(decoded.record.code, record->code);
    EXPECT_EQ(decoded.record.nextOffset, record->nextOffset);
    EXPECT_EQ(decoded.record.payload.data(), record->payload.data());
    EXPECT_EQ(decoded.record.payload.size(), record->payload.size());
    // The link to the next record lands where a reader would continue.
    const DecodedAction& next = block.action(block.following(index));
    EXPECT_EQ(next.record.offset, record->nextOffset);
}

struct LayoutCase {
    const char* name;
    std::vector<uint8_t> code;
};

std::vector<LayoutCase> layoutCases()
{
    return {
        {"empty", {}},
        {"ordinary", ActionBuilder().pushString("a").trace().gotoFrame(2).stop().build()},
        {"no end", open(ActionBuilder().pushInt(7).trace())},
        {"length past the end", concat({open(ActionBuilder().stop()), bytes({kPush, 0x10, 0x00, 0x00})})},
        {"length cut short", bytes({0x07, kPush, 0x05})},
        {"code byte alone at the end", bytes({0x07, kPush})},
        // A double whose bytes read as actions when entered in the middle.
        {"actions inside a push", bytes({kPush, 0x09, 0x00, 0x06, kTrace, kJump, 0x02, 0x00, 0xFB, 0xFF, 0x07, 0x07, kEnd})},
        {"code after end", bytes({kEnd, 0x07, kPush, 0x01, 0x00, 0x02, kEnd})},
    };
}

TEST(DecodedBlock, EveryOffsetDecodesAsAReaderStartedThere)
{
    for (const LayoutCase& c : layoutCases()) {
        SCOPED_TRACE(c.name);
        // In order, in reverse and from the back half first: the entries must not
        // depend on which offsets were asked for before.
        std::vector<size_t> offsets(c.code.size() + 3);
        std::iota(offsets.begin(), offsets.end(), 0);
        std::vector<std::vector<size_t>> orders{offsets, {offsets.rbegin(), offsets.rend()}};
        std::vector<size_t> halves(offsets.begin() + static_cast<std::ptrdiff_t>(offsets.size() / 2), offsets.end());
        halves.insert(halves.end(), offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(offsets.size() / 2));
        orders.push_back(halves);
        for (const auto& order : orders) {
            DecodedBlock block(c.code);
            for (size_t offset : order)
                expectSameAsReader(c.code, block, offset);
            // Asking again finds the same entries instead of decoding more.
            size_t decoded = block.size();
            for (size_t offset : order)
                expectSameAsReader(c.code, block, offset);
            EXPECT_EQ(block.size(), decoded);
        }
    }
}

TEST(DecodedBlock, BranchTargetsAreResolvedFromTheNextRecord)
{
    // Jump +1 skips a Stop and lands on Play; Jump -20 points before the code.
    std::vector<uint8_t> code = open(ActionBuilder().jump(1).stop().play().jump(-20));
    DecodedBlock block(code);
    const DecodedAction& forward = block.action(block.at(0));
    EXPECT_EQ(forward.branchOffset, 6u);
    EXPECT_EQ(block.action(block.branchTarget(block.at(0))).record.code, 0x06);
    const DecodedAction& back = block.action(block.at(7));
    EXPECT_EQ(back.branchOffset, size_t{0} - 8);  // 12 - 20, wrapped round past the end
    EXPECT_EQ(block.branchTarget(block.at(7)), DecodedBlock::kOutside);
}

struct PayloadCase {
    const char* name;
    uint8_t code;
    std::vector<uint8_t> payload;
    bool malformed;
    size_t operands;  // Push: values decoded before any fault
    size_t pool;      // ConstantPool: strings
};

TEST(DecodedBlock, PushAndPoolPayloads)
{
    const PayloadCase cases[] = {
        {"push of each type", kPush,
         bytes({0, 'h', 'i', 0, 1, 0, 0, 0x80, 0x3F, 2, 3, 4, 1, 5, 1, 6, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 7, 5, 0, 0, 0,
                8, 2, 9, 1, 0}),
         false, 10, 0},
        {"push with an unknown type after a value", kPush, bytes({0, 'x', 0, 0x0F, 1}), true, 1, 0},
        {"push string without its terminator", kPush, bytes({7, 1, 0, 0, 0, 0, 'a', 'b'}), true, 1, 0},
        {"push integer cut short", kPush, bytes({7, 1, 0}), true, 0, 0},
        {"empty push", kPush, {}, false, 0, 0},
        {"pool", kPool, bytes({2, 0, 'a', 0, 'b', 'c', 0}), false, 0, 2},
        {"pool shorter than its count", kPool, bytes({5, 0, 'a', 0}), false, 0, 1},
        {"pool string without its terminator", kPool, bytes({2, 0, 'a', 0, 'b'}), true, 0, 0},
        {"pool without its count", kPool, bytes({1}), true, 0, 0},
    };
    for (const PayloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> code = open(ActionBuilder().raw(c.code, c.payload));
        DecodedBlock block(code);
        const DecodedAction& a = block.action(block.at(0));
        ASSERT_FALSE(a.endOfStream);
        EXPECT_EQ(a.malformed, c.malformed);
        EXPECT_EQ(a.operands().size(), c.operands);
        if (c.code == kPool && !c.malformed) {
            ASSERT_TRUE(a.pool());
            EXPECT_EQ(a.pool()->size(), c.pool);
        }
    }
    // The values come out as the reader decodes them.
    std::vector<uint8_t> code = open(ActionBuilder().pushString("text").pushInt(-3).pushBool(true).pushNull().pushNumber(2.5));
    DecodedBlock block(code);
    std::vector<Value> values;
    for (uint32_t i = block.at(0); !block.action(i).endOfStream; i = block.following(i)) {
        for (const PushOperand& op : block.action(i).operands())
            values.push_back(op.value);
    }
    EXPECT_EQ(values, (std::vector<Value>{Value("text"), Value(-3.0), Value(true), Value(Null{}), Value(2.5)}));
}

// Runs `code` as a frame script on a SWF 10 machine and returns what it traced.
std::vector<std::string> run(Machine& m, std::span<const uint8_t> code)
{
    std::vector<std::string> lines;
    m.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    m.runBlock(code, m.newObject());
    m.setTraceSink(nullptr);
    return lines;
}

struct RunCase {
    const char* name;
    std::vector<uint8_t> code;
    std::vector<std::string> traced;
};

std::vector<RunCase> runCases()
{
    std::vector<RunCase> cases;
    // The push of "middle" takes bytes 0-10 and the jump 11-15, so Jump +4 lands on
    // byte 20: the Trace hidden as the double's first byte, followed by an End.
    {
        std::vector<uint8_t> code = open(ActionBuilder().pushString("middle").jump(4));
        code = concat({code, bytes({kPush, 0x09, 0x00, 0x06, kTrace, kEnd, 0, 0, 0, 0, 0, 0})});
        code = concat({code, ActionBuilder().trace("after").build()});
        cases.push_back({"jump into a push, then its end", code, {"middle"}});
    }
    {
        // Inside the double: Trace, then a Jump +2 over the double's last two bytes to
        // the push of "after".
        std::vector<uint8_t> code = open(ActionBuilder().pushString("middle").jump(4));
        code = concat({code, bytes({kPush, 0x09, 0x00, 0x06, kTrace, kJump, 0x02, 0x00, 0x02, 0x00, 0x07, 0x07})});
        code = concat({code, ActionBuilder().trace("after").build()});
        cases.push_back({"jump into a push and back out", code, {"middle", "after"}});
    }
    cases.push_back({"jump past the end", ActionBuilder().trace("a").jump(200).trace("b").build(), {"a"}});
    cases.push_back({"jump before the start", ActionBuilder().trace("a").jump(-100).trace("b").build(), {"a"}});
    {
        ActionBuilder b;
        b.trace("a").jump(static_cast<int16_t>(ActionBuilder().trace("b").size()));
        b.trace("b");
        cases.push_back({"jump exactly to the end", open(b), {"a"}});
    }
    cases.push_back({"truncated record ends the block",
                     concat({open(ActionBuilder().trace("a")), bytes({kPush, 0x20, 0x00, 0x00, 'x'})}),
                     {"a"}});
    cases.push_back({"push of an unknown type ends the block",
                     concat({open(ActionBuilder().trace("a")), bytes({kPush, 0x05, 0x00, 0x00, 'x', 0x00, 0x0F, 1}),
                             ActionBuilder().trace().trace("c").build()}),
                     {"a"}});
    cases.push_back({"push string without its terminator ends the block",
                     concat({open(ActionBuilder().trace("a")), bytes({kPush, 0x02, 0x00, 0x00, 'x'}),
                             ActionBuilder().trace("c").build()}),
                     {"a"}});
    cases.push_back({"constant pool replaced mid-block",
                     ActionBuilder()
                         .pushConstant(0)
                         .trace()
                         .constantPool({"one", "two"})
                         .pushConstant(0)
                         .trace()
                         .constantPool({"three"})
                         .pushConstant(0)
                         .trace()
                         .pushConstant(1)
                         .trace()
                         .build(),
                     {"undefined", "one", "three", "undefined"}});
    cases.push_back({"malformed constant pool ends the block",
                     ActionBuilder().constantPool({"one"}).pushConstant(0).trace().raw(kPool, bytes({2, 0, 'x'})).trace("b").build(),
                     {"one"}});
    {
        // r1 = 0; do { trace(r1); r1++ } while (r1 < 3)
        ActionBuilder body;
        body.pushRegister(1).trace().pushRegister(1).op(0x50).storeRegister(1).pop();
        body.pushRegister(1).pushInt(3).op(0x48);
        ActionBuilder b;
        b.pushInt(0).storeRegister(1).pop().append(body);
        b.branchIfTrue(static_cast<int16_t>(-static_cast<int>(body.size() + 5)));
        cases.push_back({"backward branch taken repeatedly", b.build(), {"0", "1", "2"}});
    }
    {
        // A function keeps the pool it was defined under after the block replaces it.
        ActionBuilder fnBody;
        fnBody.pushConstant(0).trace();
        ActionBuilder b;
        b.constantPool({"defined"}).defineFunction("f", {}, fnBody).constantPool({"replaced"});
        b.pushInt(0).pushString("f").op(0x3D).pop().pushConstant(0).trace();
        cases.push_back({"function keeps its defining pool", b.build(), {"defined", "replaced"}});
    }
    {
        // Code that never spells `arguments` still finds it under a name built at run
        // time: f(7, 8) traces the array's length, first element and callee.
        ActionBuilder fnBody;
        auto computedArguments = [&fnBody] { fnBody.pushString("argu").pushString("ments").op(0x47).op(0x1C); };
        computedArguments();
        fnBody.pushString("length").op(0x4E).trace();
        computedArguments();
        fnBody.pushInt(0).op(0x4E).trace();
        computedArguments();
        fnBody.pushString("callee").op(0x4E).getVariable("f").op(0x49).trace();
        ActionBuilder b;
        b.defineFunction("f", {}, fnBody).callFunction("f", {7, 8}).pop();
        cases.push_back({"arguments under a computed name", b.build(), {"2", "7", "true"}});
    }
    {
        // Likewise `super`: B's method calls A's through a name built at run time.
        ActionBuilder aHi;
        aHi.trace("A.hi");
        ActionBuilder bHi;
        bHi.pushInt(0).pushString("su").pushString("per").op(0x47).op(0x1C).pushString("hi").op(0x52).pop();
        ActionBuilder b;
        b.defineFunction("A", {}, ActionBuilder()).defineFunction("B", {}, ActionBuilder());
        b.getVariable("A").pushString("prototype").op(0x4E).pushString("hi");
        b.defineFunction("", {}, aHi).op(0x4F);
        b.getVariable("B").pushString("prototype").pushInt(0).pushString("A").op(0x40).op(0x4F);
        b.getVariable("B").pushString("prototype").op(0x4E).pushString("hi");
        b.defineFunction("", {}, bHi).op(0x4F);
        b.pushInt(0).pushInt(0).pushString("B").op(0x40).pushString("hi").op(0x52).pop();
        cases.push_back({"super under a computed name", b.build(), {"A.hi"}});
    }
    return cases;
}

TEST(DecodedBlock, RunsOddBlocksAsTheRecordsRead)
{
    for (const RunCase& c : runCases()) {
        SCOPED_TRACE(c.name);
        Machine m(10);
        EXPECT_EQ(run(m, c.code), c.traced);
        // Again from the cached decode, on a fresh frame from the pool (and without
        // the constants the first run declared, which a next block would read).
        m.interpreterState().lastPool.reset();
        EXPECT_EQ(run(m, c.code), c.traced);
    }
}

TEST(DecodedBlock, CodeRewrittenInPlaceIsDecodedAgain)
{
    Machine m(10);
    std::vector<uint8_t> code = ActionBuilder().trace("aa").build();
    EXPECT_EQ(run(m, code), std::vector<std::string>{"aa"});
    // Same buffer, same length, other text: a reused buffer must not run the old decode.
    std::vector<uint8_t> other = ActionBuilder().trace("bb").build();
    ASSERT_EQ(other.size(), code.size());
    std::memcpy(code.data(), other.data(), code.size());
    EXPECT_EQ(run(m, code), std::vector<std::string>{"bb"});

    DecodedBlockCache cache;
    auto first = cache.get(code);
    EXPECT_EQ(cache.get(code), first);
    code[3] = 'c';
    auto second = cache.get(code);
    EXPECT_NE(second, first);
    EXPECT_EQ(cache.entries(), 1u);
}

TEST(DecodedBlock, PooledFramesStartEmpty)
{
    // A function that traces register 1 and what it pops, then leaves values behind:
    // a frame reused from the pool must not show the previous call's register. The
    // values left go to the caller's stack, which all scripts share, so the next call
    // pops the "over" the last one left there.
    ActionBuilder body;
    body.pushRegister(1).trace().trace();
    body.pushInt(5).storeRegister(1).pushString("left").pushString("over");
    ActionBuilder b;
    b.defineFunction2("f", 3, 0, {}, body);
    for (int i = 0; i < 3; ++i)
        b.pushInt(0).pushString("f").op(0x3D).pop();
    Machine m(10);
    EXPECT_EQ(run(m, b.build()),
              (std::vector<std::string>{"undefined", "undefined", "undefined", "over", "undefined", "over"}));
    EXPECT_GT(m.interpreterState().spareFrames(), 0u);
}

TEST(DecodedBlock, PooledFramesForgetWhichNamesTheLastFunctionHid)
{
    // g preloads `this` into a register, so `this` is no name in its body; h, a plain
    // function run afterwards as a method, may get g's frame from the pool and must
    // still read `this` by name.
    ActionBuilder empty;
    ActionBuilder readThis;
    readThis.getVariable("this").pushString("m").op(0x4E).trace();
    ActionBuilder b;
    b.defineFunction2("g", 2, 0x01, {}, empty);
    b.defineFunction("h", {}, readThis);
    b.pushString("o").pushString("m").pushString("seen").pushInt(1).op(0x43).op(0x1D);
    b.getVariable("o").pushString("h").getVariable("h").op(0x4F);
    for (int i = 0; i < 2; ++i) {
        b.pushInt(0).pushString("g").op(0x3D).pop();
        b.pushInt(0).getVariable("o").pushString("h").op(0x52).pop();
    }
    Machine m(10);
    EXPECT_EQ(run(m, b.build()), (std::vector<std::string>{"seen", "seen"}));
}

TEST(DecodedBlock, CallsMakeArgumentsAndSuperOnlyWhenTheCodeNamesThem)
{
    // Objects one call of o.m() makes: its activation, plus `arguments` and `super`
    // when the body spells them (in any case).
    struct Case {
        const char* name;
        ActionBuilder body;
        size_t made;
    };
    ActionBuilder plain;
    plain.pushInt(1).op(0x3E);
    ActionBuilder readsArguments;
    readsArguments.getVariable("ARGUMENTS").op(0x3E);
    ActionBuilder readsSuper;
    readsSuper.getVariable("super").op(0x3E);
    const Case cases[] = {{"plain", plain, 1}, {"arguments", readsArguments, 2}, {"super", readsSuper, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m(6);
        ActionBuilder setup;
        setup.pushString("o").pushInt(0).pushString("Object").op(0x40).op(0x1D);
        setup.getVariable("o").pushString("m").defineFunction("", {}, c.body).op(0x4F);
        Object* timeline = m.newObject();
        std::vector<uint8_t> setupCode = setup.build();
        m.runBlock(setupCode, timeline);
        ActionBuilder call;
        call.pushInt(0).getVariable("o").pushString("m").op(0x52).pop();
        std::vector<uint8_t> code = call.build();
        const size_t before = m.heap().size();
        m.runBlock(code, timeline);
        EXPECT_EQ(m.heap().size() - before, c.made);
    }
}

TEST(DecodedBlock, DecodedMemoryIsCountedAndBounded)
{
    // One-byte actions decode to many times their size: the block counts what it
    // holds, stops the script past its bound, and the cache counts decoded bytes.
    std::vector<uint8_t> code(20000, 0x07);  // Stop, twenty thousand times
    code.push_back(kEnd);
    {
        DecodedBlock block(code, nullptr, 100'000);
        EXPECT_NO_THROW(block.at(100));
        EXPECT_GE(block.footprint(), 100 * sizeof(DecodedAction));
        EXPECT_THROW(block.at(code.size() - 1), ScriptAbort);
        EXPECT_LE(block.footprint(), 100'000 + 2 * sizeof(DecodedAction));
    }
    {
        DecodedBlockCache cache;
        auto block = cache.get(code);
        const size_t copied = cache.bytes();
        EXPECT_EQ(copied, code.size());
        block->at(code.size() - 1);
        EXPECT_EQ(cache.bytes(), copied + block->footprint());
        EXPECT_GT(block->footprint(), code.size() * sizeof(uint32_t));
    }
    {
        // A script running such a block to its end under the default bound finishes.
        Machine m(10);
        EXPECT_EQ(m.runBlock(code, m.newObject()), ExecutionResult::Finished);
    }
}

TEST(DecodedBlock, DeepRecursionReusesFrames)
{
    // fact(n) = n < 2 ? 1 : n * fact(n - 1), run twice: the second run gets frames from
    // the pool the first one filled, and must compute the same.
    ActionBuilder early;
    early.pushInt(1).op(0x3E);
    ActionBuilder body;
    body.getVariable("n").pushInt(2).op(0x48).op(0x12).branchIfTrue(static_cast<int16_t>(early.size()));
    body.append(early);
    body.getVariable("n").getVariable("n").op(0x51).pushInt(1).pushString("fact").op(0x3D).op(0x0C).op(0x3E);
    ActionBuilder b;
    b.defineFunction("fact", {"n"}, body);
    b.pushInt(10).pushInt(1).pushString("fact").op(0x3D).trace();
    Machine m(10);
    EXPECT_EQ(run(m, b.build()), std::vector<std::string>{"3628800"});
    EXPECT_EQ(run(m, b.build()), std::vector<std::string>{"3628800"});
}

} // namespace
} // namespace swf::avm1
