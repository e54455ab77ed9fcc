// XML and XMLNode as scripts use them: parsing into live nodes, writing back, moving
// nodes between parents (never into themselves), childNodes kept in step, statuses.

#include "engine/avm1/Executor.h"
#include "engine/avm1/Machine.h"
#include "tests/engine/avm1/TraceCollector.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t GetVariable = 0x1C, SetVariable = 0x1D, GetMember = 0x4E, SetMember = 0x4F, CallMethod = 0x52,
                  NewObject = 0x40;

using Collector = test::TraceCollector;

// A tiny script writer: variables, dotted reads, method calls with string arguments.
struct Script {
    ActionBuilder code;

    Script& newXml(std::string_view var, std::string_view text)
    {
        code.pushString(var).pushString(text).pushInt(1).pushString("XML").op(NewObject).op(SetVariable);
        return *this;
    }
    // Pushes the value of "a.b.c".
    Script& read(std::string_view path)
    {
        size_t dot = path.find('.');
        code.pushString(path.substr(0, dot)).op(GetVariable);
        while (dot != std::string_view::npos) {
            const size_t next = path.find('.', dot + 1);
            code.pushString(path.substr(dot + 1, next == std::string_view::npos ? next : next - dot - 1)).op(GetMember);
            dot = next;
        }
        return *this;
    }
    Script& let(std::string_view var, std::string_view path)
    {
        code.pushString(var);
        read(path);
        code.op(SetVariable);
        return *this;
    }
    Script& trace(std::string_view path)
    {
        read(path);
        code.trace();
        return *this;
    }
    // target.method(argPath) with one variable argument, or none when empty.
    Script& call(std::string_view target, std::string_view method, std::string_view argPath = {})
    {
        if (!argPath.empty())
            read(argPath);
        code.pushInt(argPath.empty() ? 0 : 1);
        read(target);
        code.pushString(method).op(CallMethod).pop();
        return *this;
    }
    Script& traceCall(std::string_view target, std::string_view method)
    {
        code.pushInt(0);
        read(target);
        code.pushString(method).op(CallMethod).trace();
        return *this;
    }
    Script& set(std::string_view target, std::string_view member, std::string_view value)
    {
        read(target);
        code.pushString(member).pushString(value).op(SetMember);
        return *this;
    }

    Lines run(int version = 8) const
    {
        Collector c;
        Executor(version).run(code.build(), c);
        return c.lines;
    }
};

TEST(XmlClass, ParsesWritesBackAndKeepsAttributeOrder)
{
    Script s;
    s.newXml("x", "<?xml version=\"1.0\"?><a k=\"1\" j='2'><b/>t&amp;u<!-- gone --></a>")
        .traceCall("x", "toString")
        .trace("x.status")
        .trace("x.firstChild.attributes.j")
        .trace("x.firstChild.firstChild.nodeName")
        .trace("x.firstChild.lastChild.nodeValue")
        .trace("x.firstChild.lastChild.nodeType")
        .trace("x.firstChild.lastChild.nodeName");
    EXPECT_EQ(s.run(), (Lines{"<?xml version=\"1.0\"?><a k=\"1\" j=\"2\"><b />t&amp;u</a>", "0", "2", "b", "t&u", "3", "null"}));
}

TEST(XmlClass, NodesMoveBetweenParentsAndChildNodesFollows)
{
    Script s;
    s.newXml("x", "<a><b/><c/></a>")
        .let("a", "x.firstChild")
        .let("kids", "a.childNodes")
        .let("b", "a.firstChild")
        .call("x", "appendChild", "b")
        .trace("kids.length")
        .trace("x.childNodes.length")
        .trace("b.parentNode.nodeName")
        .trace("a.nextSibling.nodeName")
        .trace("b.previousSibling.nodeName")
        .call("b", "removeNode")
        .trace("b.parentNode")
        .traceCall("x", "toString");
    EXPECT_EQ(s.run(), (Lines{"1", "2", "null", "b", "a", "null", "<a><c /></a>"}));
}

TEST(XmlClass, ANodeNeverBecomesItsOwnDescendant)
{
    Script s;
    s.newXml("x", "<a><b/></a>")
        .let("a", "x.firstChild")
        .let("b", "a.firstChild")
        .call("b", "appendChild", "a")
        .call("a", "appendChild", "a")
        .traceCall("x", "toString");
    EXPECT_EQ(s.run(), (Lines{"<a><b /></a>"}));
}

TEST(XmlClass, StatusNamesTheFirstErrorAndNamesCanBeRewritten)
{
    Script s;
    s.newXml("bad", "<a><b></a>").trace("bad.status");
    s.newXml("open", "<a").trace("open.status");
    s.newXml("x", "<a>t</a>").set("x.firstChild", "nodeName", "z").set("x.firstChild.firstChild", "nodeValue", "<&>");
    s.set("x.firstChild", "nodeType", "3").trace("x.firstChild.nodeType");
    s.traceCall("x", "toString");
    EXPECT_EQ(s.run(), (Lines{"-9", "-6", "1", "<z>&lt;&amp;&gt;</z>"}));
}

TEST(XmlClass, CloneCopiesDeepOrShallow)
{
    Script s;
    s.newXml("x", "<a q=\"1\"><b/></a>").let("a", "x.firstChild");
    for (const bool deep : {true, false}) {
        s.code.pushString(deep ? "deep" : "flat").pushBool(deep).pushInt(1);
        s.read("a").code.pushString("cloneNode").op(CallMethod).op(SetVariable);
    }
    s.traceCall("deep", "toString").traceCall("flat", "toString").trace("deep.parentNode");
    EXPECT_EQ(s.run(), (Lines{"<a q=\"1\"><b /></a>", "<a q=\"1\" />", "null"}));
}

} // namespace
} // namespace swf::avm1
