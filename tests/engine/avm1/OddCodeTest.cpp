// Code as odd compilers and obfuscators leave it: constants used by a block that never
// declared them, jumps from try and catch into the finally block, and jumps out of a
// frame script's own tag into the movie's bytes around it.

#include "engine/avm1/Executor.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/Machine.h"
#include "tests/engine/avm1/TraceCollector.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

// Runs blocks one after another on one machine, collecting what they trace.
struct Runner {
    Machine m{7};
    Lines lines;
    Object* clip = m.newObject();
    Runner()
    {
        m.setTraceSink([this](const std::string& line) { lines.push_back(line); });
    }
    void run(std::span<const uint8_t> code) { m.runBlock(code, clip); }
};

TEST(OddCode, ABlockReadsTheConstantPoolAnEarlierBlockDeclared)
{
    ActionBuilder first;
    first.constantPool({"A"}).pushConstant(0).trace().constantPool({"B"});
    ActionBuilder second;  // declares nothing
    second.pushConstant(0).trace().pushConstant(1).trace();
    ActionBuilder third;   // its own pool wins for the rest of it, and after it
    third.constantPool({"C", "D"}).pushConstant(1).trace();
    ActionBuilder fourth;
    fourth.pushConstant(0).trace();
    Runner r;
    for (const ActionBuilder* block : {&first, &second, &third, &fourth})
        r.run(block->build());
    EXPECT_EQ(r.lines, (Lines{"A", "B", "undefined", "D", "C"}));
}

TEST(OddCode, JumpsIntoTheFinallyBlockRunItOnce)
{
    // Compilers close the try and catch blocks with a jump to the finally block.
    ActionBuilder firstLine;
    firstLine.trace("finally");
    struct Case {
        const char* name;
        bool throws;
        bool intoMiddle;  // lands on the finally block's second line
        Lines expected;
    };
    const Case cases[] = {
        {"try jumps to the finally block", false, false, {"try", "finally", "late", "after"}},
        {"catch jumps to the finally block", true, false, {"try", "catch", "finally", "late", "after"}},
        {"try jumps into the middle of it", false, true, {"try", "late", "after"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ActionBuilder fin;
        fin.append(firstLine).trace("late");
        const auto skip = static_cast<int16_t>(c.intoMiddle ? firstLine.size() : 0);
        ActionBuilder catchBody;
        catchBody.trace("catch").jump(skip);
        ActionBuilder body;
        body.trace("try");
        if (c.throws)
            body.pushString("e").op(0x2A);
        body.jump(static_cast<int16_t>(catchBody.size() + skip));
        ActionBuilder a;
        a.tryBlock(body, "e", &catchBody, &fin).trace("after");
        EXPECT_EQ(test::traceOf(a, 7), c.expected);
    }
}

TEST(OddCode, AJumpOutOfTheTagRunsOnInTheMovieBytes)
{
    // Two tags' code laid out in one buffer, with a gap between them as a tag header
    // would leave; the second jumps back into the first, or elsewhere.
    ActionBuilder earlier;
    earlier.trace("earlier");
    const std::vector<uint8_t> earlierCode = earlier.build();
    const std::vector<uint8_t> gap(6, 0x3F);
    struct Case {
        const char* name;
        int16_t extra;  // added to the jump that lands on the earlier code's start
        bool withRegion;
        Lines expected;
    };
    const Case cases[] = {
        {"back to the earlier tag", 0, true, {"later", "earlier"}},
        {"no movie bytes known", 0, false, {"later"}},
        {"before the movie's bytes", -100, true, {"later"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ActionBuilder later;
        later.trace("later");
        const size_t jumpEnd = later.size() + 5;
        const auto back = static_cast<int16_t>(-static_cast<int>(jumpEnd + gap.size() + earlierCode.size()) + c.extra);
        later.jump(back).trace("skipped");
        std::vector<uint8_t> bytes = earlierCode;
        bytes.insert(bytes.end(), gap.begin(), gap.end());
        const size_t laterStart = bytes.size();
        const std::vector<uint8_t> laterCode = later.build();
        bytes.insert(bytes.end(), laterCode.begin(), laterCode.end());
        Runner r;
        if (c.withRegion) {
            r.m.interpreterState().codeRegion = [&bytes](const uint8_t* at) -> std::span<const uint8_t> {
                return at >= bytes.data() && at < bytes.data() + bytes.size() ? std::span<const uint8_t>(bytes)
                                                                               : std::span<const uint8_t>();
            };
        }
        r.run(std::span<const uint8_t>(bytes).subspan(laterStart));
        EXPECT_EQ(r.lines, c.expected);
    }
}

} // namespace
} // namespace swf::avm1
