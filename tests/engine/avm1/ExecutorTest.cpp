// The SWF 3 action set and the machine's guards: records, stack, conversions, budget.

#include "engine/avm1/ActionReader.h"
#include "engine/avm1/Executor.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;

// Records every request as a word, traces as "trace:<text>".
class RecordingTimeline : public TimelineControl {
public:
    std::vector<std::string> calls;

    void play() override { calls.push_back("play"); }
    void stop() override { calls.push_back("stop"); }
    void nextFrame() override { calls.push_back("next"); }
    void prevFrame() override { calls.push_back("prev"); }
    void gotoFrame(int frame) override { calls.push_back("goto:" + std::to_string(frame)); }
    bool gotoLabel(std::string_view label) override
    {
        calls.push_back("label:" + std::string(label));
        return true;
    }
    void toggleQuality() override { calls.push_back("quality"); }
    void stopSounds() override { calls.push_back("sounds"); }
    void getUrl(const std::string& url, const std::string& target) override { calls.push_back("url:" + url + "|" + target); }
    void trace(const std::string& line) override { calls.push_back("trace:" + line); }
};

std::vector<std::string> run(const ActionBuilder& actions, int version = 10)
{
    RecordingTimeline timeline;
    auto code = actions.build();
    Executor(version).run(code, timeline);
    return timeline.calls;
}

using Calls = std::vector<std::string>;

TEST(Executor, TimelineActionsReachTheTimelineInOrder)
{
    ActionBuilder a;
    a.stop().play().nextFrame().prevFrame().gotoFrame(4).gotoLabel("end").toggleQuality().stopSounds().getUrl(
        "http://example.com/", "_blank");
    // The GotoFrame action stops where it lands.
    EXPECT_EQ(run(a), (Calls{"stop", "play", "next", "prev", "goto:4", "stop", "label:end", "quality", "sounds",
                             "url:http://example.com/|_blank"}));
}

TEST(Executor, TraceConvertsWhatItPops)
{
    ActionBuilder a;
    a.trace("hello").pushNumber(1.5).trace().pushInt(-7).trace().pushBool(true).trace().pushNull().trace();
    a.pushUndefined().trace().trace();  // the second pops an empty stack
    EXPECT_EQ(run(a), (Calls{"trace:hello", "trace:1.5", "trace:-7", "trace:true", "trace:null", "trace:undefined",
                             "trace:undefined"}));
}

TEST(Executor, OldVersionsConvertUndefinedToEmpty)
{
    ActionBuilder a;
    a.pushUndefined().raw(0x4B).trace();  // ToString, then trace
    EXPECT_EQ(run(a, 6), (Calls{"trace:"}));
}

TEST(Executor, ConstantPoolFeedsPushes)
{
    ActionBuilder a;
    a.constantPool({"zero", "one"}).pushConstant(1).trace().pushConstant(0).trace().pushConstant(9).trace();
    EXPECT_EQ(run(a), (Calls{"trace:one", "trace:zero", "trace:undefined"}));
}

TEST(Executor, UnknownActionsAreSkippedByTheirLength)
{
    ActionBuilder a;
    const uint8_t payload[] = {0x07, 0x07, 0x07};  // would read as three stops
    a.raw(0xF0, payload).raw(0x4F).trace("after");
    EXPECT_EQ(run(a), (Calls{"trace:after"}));
}

TEST(Executor, EndAndTruncatedRecordsStopTheBlock)
{
    ActionBuilder a;
    a.trace("one").raw(0x00).trace("never");
    EXPECT_EQ(run(a), (Calls{"trace:one"}));

    std::vector<uint8_t> cut = ActionBuilder().stop().build();
    cut.pop_back();
    cut.insert(cut.end(), {0x96, 0x40, 0x00, 0x00});  // a push claiming 64 bytes
    RecordingTimeline timeline;
    EXPECT_EQ(Executor(10).run(cut, timeline), ExecutionResult::Finished);
    EXPECT_EQ(timeline.calls, (Calls{"stop"}));
}

TEST(Executor, JumpsAndBranches)
{
    // if (true) skip the "no" trace.
    ActionBuilder skipped;
    skipped.trace("no");
    ActionBuilder a;
    a.pushBool(true).branchIfTrue(static_cast<int16_t>(skipped.size())).trace("no").trace("yes");
    EXPECT_EQ(run(a), (Calls{"trace:yes"}));
}

TEST(Executor, AnEndlessLoopRunsOutOfBudgetInsteadOfHanging)
{
    ActionBuilder a;
    a.pushString("x").jump(-11);  // back to the push (6 + 5 bytes), forever, growing the stack
    RecordingTimeline timeline;
    Executor executor(10, ExecutionLimits{.maxActions = 50000, .maxStackDepth = 100});
    EXPECT_EQ(executor.run(a.build(), timeline), ExecutionResult::BudgetExhausted);
    EXPECT_EQ(executor.actionsRun(), 50000u);
}

TEST(Executor, JumpOutsideTheCodeEndsTheBlock)
{
    ActionBuilder a;
    a.jump(1000).trace("never");
    EXPECT_TRUE(run(a).empty());
}

TEST(Values, NumbersPrintAsThePlayerPrintsThem)
{
    EXPECT_EQ(numberToString(0), "0");
    EXPECT_EQ(numberToString(-0.0), "0");
    EXPECT_EQ(numberToString(42), "42");
    EXPECT_EQ(numberToString(-3.25), "-3.25");
    EXPECT_EQ(numberToString(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberToString(1e15), "1e+15");
    EXPECT_EQ(numberToString(123456789012345), "123456789012345");
    EXPECT_EQ(numberToString(0.00001), "1e-5");
    EXPECT_EQ(numberToString(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(numberToString(-std::numeric_limits<double>::infinity()), "-Infinity");
}

TEST(Values, ConversionsDependOnTheVersion)
{
    EXPECT_TRUE(std::isnan(Value(std::string("abc")).toNumber(7)));
    EXPECT_EQ(Value(std::string("abc")).toNumber(4), 0);
    EXPECT_EQ(Value(std::string(" 12.5")).toNumber(7), 12.5);
    EXPECT_EQ(Value(std::string("0x1F")).toNumber(7), 31);
    EXPECT_TRUE(Value(std::string("false")).toBoolean(7));
    EXPECT_FALSE(Value(std::string("false")).toBoolean(6));
    EXPECT_TRUE(Value(std::string("2")).toBoolean(6));
    EXPECT_EQ(Value(true).toString(4), "1");
    EXPECT_EQ(Value(Undefined{}).toNumber(6), 0);
}

TEST(ActionReader, ReadsRecordsWithAndWithoutPayloads)
{
    std::vector<uint8_t> code = ActionBuilder().stop().gotoFrame(3).build();
    ActionReader reader(code);
    auto stop = reader.next();
    ASSERT_TRUE(stop && stop->is(ActionCode::Stop));
    EXPECT_TRUE(stop->payload.empty());
    auto go = reader.next();
    ASSERT_TRUE(go && go->is(ActionCode::GotoFrame));
    EXPECT_EQ(go->payload.size(), 2u);
    EXPECT_EQ(go->nextOffset, 6u);
    EXPECT_TRUE(reader.next()->is(ActionCode::End));
    EXPECT_FALSE(reader.next());
}

} // namespace
} // namespace swf::avm1
