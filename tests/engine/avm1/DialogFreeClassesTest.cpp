// The SWF 8 classes that would need a dialog or an outside tool: a file reference's
// browse is a browse the user cancelled, its other requests are refused; TextRenderer
// takes only the settings the player knows; none of them exists for movies before SWF 8.

#include "engine/avm1/Machine.h"
#include "tests/support/ScriptGlobals.h"

#include <gtest/gtest.h>

#include <string>

namespace swf::avm1 {
namespace {

using test::globalAt;

TEST(DialogFreeClasses, FileReferencesRefuseWhatNeedsTheDialog)
{
    Machine m(8);
    const Value file = m.construct(globalAt(m, "flash.net.FileReference"), {});
    for (const char* request : {"download", "upload"})
        EXPECT_EQ(m.toString(m.callMethod(file, request, {})), "false") << request;
    // The chosen file's details stay unset and cannot be written by a script.
    m.setMember(file, "name", Value("x.txt"));
    EXPECT_TRUE(m.getMember(file, "name").isUndefined());
    // Each object listens on its own list; the methods come from the prototype.
    const Value other = m.construct(globalAt(m, "flash.net.FileReference"), {});
    EXPECT_NE(m.getMember(file, "_listeners").asObject(), m.getMember(other, "_listeners").asObject());
    const Value listener[] = {Value(m.newObject())};
    EXPECT_EQ(m.toString(m.callMethod(file, "addListener", listener)), "true");
    EXPECT_EQ(m.toString(m.getMember(m.getMember(file, "_listeners"), "length")), "1");

    const Value list = m.construct(globalAt(m, "flash.net.FileReferenceList"), {});
    EXPECT_EQ(m.toString(m.getMember(m.getMember(list, "fileList"), "length")), "0");
}

TEST(DialogFreeClasses, BrowseIsCancelledOnTheNextFrame)
{
    for (const char* cls : {"flash.net.FileReference", "flash.net.FileReferenceList"}) {
        Machine m(8);
        const Value picker = m.construct(globalAt(m, cls), {});
        // A listener that counts the onCancel it hears and keeps what it was given.
        Object* listener = m.newObject();
        listener->put("onCancel", Value(m.newNativeFunction("", [](Machine& machine, Value self, std::span<const Value> args) {
            Object* me = self.asObject();
            me->put("heard", Value(machine.toNumber(machine.getMember(self, "heard")) + 1));
            me->put("from", args.empty() ? Value() : args[0]);
            return Value();
        })));
        listener->put("heard", Value(0.0));
        const Value add[] = {Value(listener)};
        m.callMethod(picker, "addListener", add);
        EXPECT_EQ(m.toString(m.callMethod(picker, "browse", {})), "true") << cls;
        // One browse at a time.
        EXPECT_EQ(m.toString(m.callMethod(picker, "browse", {})), "false") << cls;
        EXPECT_EQ(m.toString(m.getMember(Value(listener), "heard")), "0") << cls;
        m.advanceClock(40);
        EXPECT_EQ(m.toString(m.getMember(Value(listener), "heard")), "1") << cls;
        EXPECT_EQ(m.getMember(Value(listener), "from").asObject(), picker.asObject()) << cls;
        m.advanceClock(40);
        EXPECT_EQ(m.toString(m.getMember(Value(listener), "heard")), "1") << cls;
        // Once cancelled, a new browse may start.
        EXPECT_EQ(m.toString(m.callMethod(picker, "browse", {})), "true") << cls;
    }
}

TEST(DialogFreeClasses, TextRendererTakesOnlyKnownSettings)
{
    Machine m(8);
    const Value renderer = globalAt(m, "flash.text.TextRenderer");
    EXPECT_EQ(m.toString(m.getMember(renderer, "maxLevel")), "4");
    EXPECT_EQ(m.toString(m.getMember(renderer, "displayMode")), "default");
    m.setMember(renderer, "maxLevel", Value(5.0));
    m.setMember(renderer, "displayMode", Value("sharp"));
    EXPECT_EQ(m.toString(m.getMember(renderer, "maxLevel")), "4");
    EXPECT_EQ(m.toString(m.getMember(renderer, "displayMode")), "default");
    m.setMember(renderer, "maxLevel", Value(7.0));
    m.setMember(renderer, "displayMode", Value("lcd"));
    EXPECT_EQ(m.toString(m.getMember(renderer, "maxLevel")), "7");
    EXPECT_EQ(m.toString(m.getMember(globalAt(m, "textRenderer"), "displayMode")), "lcd");
    // It holds settings; it makes no objects.
    EXPECT_TRUE(m.construct(renderer, {}).isUndefined());
}

TEST(DialogFreeClasses, AbsentBeforeSwf8)
{
    Machine m(7);
    EXPECT_TRUE(globalAt(m, "flash").isUndefined());
    EXPECT_TRUE(globalAt(m, "textRenderer").isUndefined());
    // System.Product is there from SWF 6 on.
    EXPECT_TRUE(globalAt(m, "System.Product").isObject());
}

} // namespace
} // namespace swf::avm1
