// LocalConnection between connections of the movies in one player: a message goes
// out after the script that sent it, reaches the receiver connected on its name (names
// compared without case) with copies of its arguments, and the sender's onStatus says
// whether anyone was listening.

#include "engine/Player.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <optional>

namespace swf {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t GetVariable = 0x1C, SetVariable = 0x1D, SetMember = 0x4F, GetMember = 0x4E, CallMethod = 0x52,
                  NewObject = 0x40;

// `var = new Class(<one string argument, or none>)`.
void construct(ActionBuilder& a, std::string_view var, std::string_view cls, std::optional<std::string> arg = {})
{
    a.pushString(var);
    if (arg)
        a.pushString(*arg);
    a.pushInt(arg ? 1 : 0).pushString(cls).op(NewObject).op(SetVariable);
}

// trace(target.method(<string arguments>)), the arguments given first to last.
void traceCall(ActionBuilder& a, std::string_view target, std::string_view method, std::vector<std::string> args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        a.getVariable(*it);
    a.pushInt(static_cast<int32_t>(args.size())).getVariable(target).pushString(method).op(CallMethod).trace();
}

TEST(LocalConnection, MessagesReachTheReceiverOnTheirNameAsCopies)
{
    test::MovieOptions options;
    options.version = 8;
    test::SwfWriter w(options);
    ActionBuilder a;
    construct(a, "r", "LocalConnection");
    // r.hear = function (d, x, f, o) { trace(d.getTime()); trace(x.firstChild.nodeName); trace(typeof f); trace(o.n); o.n = 2; }
    ActionBuilder hear;
    hear.pushInt(0).getVariable("d").pushString("getTime").op(CallMethod).trace();
    hear.getVariable("x").pushString("firstChild").op(GetMember).pushString("nodeName").op(GetMember).trace();
    hear.getVariable("f").op(0x44).trace();  // TypeOf
    hear.getVariable("o").pushString("n").op(GetMember).trace();
    hear.getVariable("o").pushString("n").pushInt(2).op(SetMember);
    a.getVariable("r").pushString("hear").defineFunction("", {"d", "x", "f", "o"}, hear).op(SetMember);
    a.setVariable("name1", ActionBuilder().pushString("Chan"));
    traceCall(a, "r", "connect", {"name1"});
    construct(a, "s", "LocalConnection");
    a.setVariable("name2", ActionBuilder().pushString("chan"));
    traceCall(a, "s", "connect", {"name2"});  // taken already, whatever the case
    a.getVariable("s").pushString("onStatus")
        .defineFunction("", {"info"}, ActionBuilder().getVariable("info").pushString("level").op(GetMember).trace())
        .op(SetMember);
    a.pushString("date").pushInt(5).pushInt(1).pushString("Date").op(NewObject).op(SetVariable);
    construct(a, "xml", "XML", "<a><b/></a>");
    a.pushString("fn").defineFunction("", {}, ActionBuilder()).op(SetVariable);
    construct(a, "obj", "Object");
    a.getVariable("obj").pushString("n").pushInt(1).op(SetMember);
    a.setVariable("hearName", ActionBuilder().pushString("hear"));
    a.setVariable("nobody", ActionBuilder().pushString("nobody"));
    a.setVariable("reserved", ActionBuilder().pushString("send"));
    traceCall(a, "s", "send", {"name2", "hearName", "date", "xml", "fn", "obj"});
    traceCall(a, "s", "send", {"nobody", "hearName"});
    traceCall(a, "s", "send", {"name2", "reserved"});  // the connection's own methods are not for calling
    a.trace("sent");
    w.doAction(a).showFrame();
    w.doAction(ActionBuilder().getVariable("obj").pushString("n").op(GetMember).trace().stop()).showFrame();

    Player player;
    Lines lines;
    player.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    player.loadBytes(w.build());
    player.advance();
    // The messages go out once the frame's scripts are done; the sender hears its
    // status before the receiver's method runs.
    EXPECT_EQ(lines, (Lines{"true", "false", "true", "true", "false", "sent", "status", "5", "a", "object", "1", "error"}));
    lines.clear();
    player.advance();
    // The receiver got copies: the sender's object still holds 1.
    EXPECT_EQ(lines, (Lines{"1"}));
}

} // namespace
} // namespace swf
