// The table of actions and the disassembler built on it: what a listing says for good
// code, and that damaged code is listed as far as it goes, with the place it stopped.

#include "engine/avm1/Actions.h"
#include "engine/avm1/Disassembler.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;

struct Listing {
    bool complete = false;
    std::string text;
};

Listing list(const std::vector<uint8_t>& code)
{
    std::ostringstream out;
    Listing l;
    l.complete = disassemble(code, out, {""});
    l.text = out.str();
    return l;
}

TEST(ActionTable, CodesNamesAndPayloadKindsAreConsistent)
{
    std::set<uint8_t> codes;
    std::set<std::string> names;
    for (const ActionInfo& info : allActions()) {
        EXPECT_TRUE(codes.insert(info.code).second) << "code listed twice: " << int(info.code);
        EXPECT_TRUE(names.insert(info.name).second) << "name listed twice: " << info.name;
        // Only codes from 0x80 carry a payload; Call has the length field of one but
        // nothing in it.
        if (info.code != static_cast<uint8_t>(ActionCode::Call)) {
            EXPECT_EQ(info.code >= 0x80, info.payload != PayloadKind::None) << info.name;
        }
        EXPECT_GE(info.minVersion, 1) << info.name;
        EXPECT_LE(info.minVersion, 7) << info.name;
        const ActionInfo* found = actionInfo(info.code);
        ASSERT_NE(found, nullptr) << info.name;
        EXPECT_STREQ(found->name, info.name);
    }
    EXPECT_EQ(static_cast<uint8_t>(ActionCode::DefineFunction2), 0x8E);
    EXPECT_EQ(static_cast<uint8_t>(ActionCode::Push), 0x96);
    for (uint8_t unknown : {0x01, 0x16, 0x2D, 0x70, 0x80, 0xFF})
        EXPECT_EQ(actionInfo(unknown), nullptr) << int(unknown);
}

TEST(Disassembler, ListsOperandsOfEveryPayloadKind)
{
    ActionBuilder a;
    a.constantPool({"alpha", "be\"ta"})
        .pushConstant(1)
        .pushInt(-7)
        .pushNumber(2.5)
        .pushBool(true)
        .pushNull()
        .pushUndefined()
        .pushRegister(3)
        .pushString("tab\there")
        .gotoFrame(4)
        .gotoLabel("intro")
        .getUrl("http://x", "_blank")
        .storeRegister(2)
        .raw(0x9F, std::vector<uint8_t>{0x03, 0x02, 0x00})  // GotoFrame2, play, scene bias 2
        .raw(0x9A, std::vector<uint8_t>{0x82})               // GetUrl2 POST, load variables
        .raw(0x8A, std::vector<uint8_t>{0x09, 0x00, 0x03})   // WaitForFrame frame 10, skip 3
        .raw(0x2D)                                            // not an action the engine knows
        .raw(0xC0, std::vector<uint8_t>{1, 2, 3});
    Listing l = list(a.build());
    EXPECT_TRUE(l.complete);
    EXPECT_EQ(l.text,
              "0000  ConstantPool 2 entries\n"
              "        0: \"alpha\"\n"
              "        1: \"be\\\"ta\"\n"
              "0011  Push constant 1 \"be\\\"ta\"\n"
              "0016  Push integer -7\n"
              "001e  Push double 2.5\n"
              "002a  Push boolean true\n"
              "002f  Push null\n"
              "0033  Push undefined\n"
              "0037  Push register 3\n"
              "003c  Push string \"tab\\there\"\n"
              "0049  GotoFrame 4 (frame 5)\n"
              "004e  GotoLabel \"intro\"\n"
              "0057  GetUrl url \"http://x\" target \"_blank\"\n"
              "006a  StoreRegister register 2\n"
              "006e  GotoFrame2 and play, scene bias 2\n"
              "0074  GetUrl2 POST, load variables\n"
              "0078  WaitForFrame frame 10, else skip 3\n"
              "007e  Unknown 0x2d\n"
              "007f  Unknown 0xc0 (3 bytes)\n"
              "0085  End\n");
}

TEST(Disassembler, BranchTargetsAreOffsetsFromTheStart)
{
    ActionBuilder a;
    a.pushBool(true).branchIfTrue(1).stop().jump(-12).jump(-100).jump(200);
    Listing l = list(a.build());
    EXPECT_NE(l.text.find("0005  If -> 000b (+1)\n"), std::string::npos) << l.text;
    EXPECT_NE(l.text.find("000b  Jump -> 0004 (-12)\n"), std::string::npos) << l.text;
    EXPECT_NE(l.text.find("0010  Jump -> before the start (-100)\n"), std::string::npos) << l.text;
    EXPECT_NE(l.text.find("0015  Jump -> 00e2 (past the end) (+200)\n"), std::string::npos) << l.text;
}

TEST(Disassembler, FunctionTryAndWithBodiesAreIndentedUnderTheirAction)
{
    ActionBuilder inner;
    inner.pushRegister(1).trace();
    ActionBuilder body;
    body.defineFunction("inner", {"x"}, inner).pushString("done").trace();
    ActionBuilder tryBody, catchBody, finallyBody;
    tryBody.pushString("t").op(0x2A);
    catchBody.pushString("c").trace();
    finallyBody.stop();
    ActionBuilder withBody;
    withBody.play();
    std::vector<uint8_t> withPayload{static_cast<uint8_t>(withBody.size()), 0};

    ActionBuilder a;
    a.constantPool({"outer"})
        .defineFunction2("f", 4, 0x0001 | 0x0004 | 0x0100, {{1, "a"}, {0, "b"}}, body)
        .tryBlock(tryBody, "e", &catchBody, &finallyBody)
        .pushNull()
        .raw(0x94, withPayload)
        .append(withBody)
        .pushConstant(0);
    Listing l = list(a.build());
    EXPECT_TRUE(l.complete);
    EXPECT_EQ(l.text,
              "0000  ConstantPool 1 entry\n"
              "        0: \"outer\"\n"
              "000b  DefineFunction2 \"f\" (register 1 a, b) registers 4, preload this, preload arguments, "
              "preload _global, body 31 bytes\n"
              "body:\n"
              "  001d  DefineFunction \"inner\" (x), body 6 bytes\n"
              "  body:\n"
              "    002c  Push register 1\n"
              "    0031  Trace\n"
              "  0032  Push string \"done\"\n"
              "  003b  Trace\n"
              "003c  Try try 7 bytes, catch 7 bytes into \"e\", finally 1 bytes\n"
              "try:\n"
              "  0048  Push string \"t\"\n"
              "  004e  Throw\n"
              "catch:\n"
              "  004f  Push string \"c\"\n"
              "  0055  Trace\n"
              "finally:\n"
              "  0056  Stop\n"
              "0057  Push null\n"
              "005b  With size 1\n"
              "with:\n"
              "  0060  Play\n"
              "0061  Push constant 0 \"outer\"\n"
              "0066  End\n");
}

TEST(Disassembler, DamagedCodeIsListedUpToWhereItStops)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> code;
        bool complete;
        std::string expectedTail;
    };
    const std::vector<Case> cases = {
        {"a record longer than the code", {0x06, 0x96, 0x0A, 0x00, 0x00, 0x41}, false,
         "0000  Play\nstopped at 0001: Push claims 10 bytes, 2 remain\n"},
        {"a length cut off", {0x07, 0x99, 0x01}, false,
         "0000  Stop\nstopped at 0001: action 0x99 is cut off before its length\n"},
        {"an unknown action running past the end", {0xEE, 0x05, 0x00, 0x01}, false,
         "stopped at 0000: an unknown action claims 5 bytes, 1 remain\n"},
        {"an unknown push type", {0x96, 0x03, 0x00, 0x05, 0x01, 0x0B, 0x00}, true,
         "0000  Push boolean true, <malformed value at payload byte 2>\n0006  End\n"},
        {"a string without its end", {0x8C, 0x02, 0x00, 'a', 'b', 0x00}, true,
         "0000  GotoLabel <malformed payload of 2 bytes>\n0005  End\n"},
        {"a function body longer than the code",
         {0x9B, 0x05, 0x00, 0x00, 0x00, 0x00, 0x50, 0x00, 0x06, 0x07}, true,
         "body: (claims 80 bytes, 2 remain; listed to the end)\n  0008  Play\n  0009  Stop\n"},
        {"a constant pool that lies about its count", {0x88, 0x02, 0x00, 0x09, 0x00, 0x00}, true,
         "0000  ConstantPool 9 entries <the payload ends after 0>\n0005  End\n"},
    };
    for (const Case& c : cases) {
        Listing l = list(c.code);
        EXPECT_EQ(l.complete, c.complete) << c.what;
        ASSERT_GE(l.text.size(), c.expectedTail.size()) << c.what << ":\n" << l.text;
        EXPECT_EQ(l.text.substr(l.text.size() - c.expectedTail.size()), c.expectedTail) << c.what << ":\n" << l.text;
    }
}

TEST(Disassembler, DeeplyNestedFunctionsStopInsteadOfRecursingWithoutBound)
{
    // 200 functions each holding the next: more nesting than the listing follows.
    ActionBuilder body;
    body.stop();
    for (int i = 0; i < 200; ++i) {
        ActionBuilder outer;
        outer.defineFunction("", {}, body);
        body = outer;
    }
    Listing l = list(body.build());
    EXPECT_FALSE(l.complete);
    EXPECT_NE(l.text.find("bodies nested more than 64 deep"), std::string::npos);
}

TEST(Disassembler, RandomBytesNeverThrowAndListEveryByteAtMostOnce)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> code(random() % 200);
        for (uint8_t& b : code)
            b = static_cast<uint8_t>(random());
        std::ostringstream out;
        EXPECT_NO_THROW(disassemble(code, out));
        // Each listed action takes at least one byte of the code, bodies included.
        size_t lines = 0;
        for (char ch : out.str())
            lines += ch == '\n';
        EXPECT_LE(lines, code.size() * 4 + 2);
    }
}

} // namespace
} // namespace swf::avm1
