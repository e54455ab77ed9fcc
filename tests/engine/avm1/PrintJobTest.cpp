// PrintJob with no printer: a job never starts (start and addPage answer false), the
// sizes read 0 whatever a script writes, the methods exist from version 7 on and
// scripts may shadow and uncover them; before version 7 objects of the class have no
// Object prototype to convert through.

#include "engine/avm1/Machine.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

TEST(PrintJob, NoJobStartsAndTheSizesStayZero)
{
    struct Case {
        int version;
        const char* converted;
        bool hasMethods;
    };
    for (const Case& c : {Case{6, "[type Object]", false}, Case{7, "[object Object]", true}, Case{8, "[object Object]", true}}) {
        SCOPED_TRACE(c.version);
        Machine m{c.version};
        const Value job = m.construct(m.getMember(Value(m.global()), "PrintJob"), {});
        ASSERT_TRUE(job.isObject());
        EXPECT_EQ(m.toString(job), c.converted);
        for (const char* size : {"paperHeight", "paperWidth", "pageHeight", "pageWidth", "orientation"}) {
            EXPECT_EQ(m.toString(m.getMember(job, size)), "0") << size;
            m.setMember(job, size, Value("test"));
            EXPECT_EQ(m.toString(m.getMember(job, size)), "0") << size;
        }
        for (const char* method : {"start", "addPage", "send"})
            EXPECT_EQ(m.getMember(job, method).isObject(), c.hasMethods) << method;
        if (!c.hasMethods)
            continue;
        EXPECT_EQ(m.toString(m.callMethod(job, "start", {})), "false");
        EXPECT_EQ(m.toString(m.callMethod(job, "addPage", {})), "false");
        // A script's own value hides the method until it is deleted again.
        m.setMember(job, "start", Value("test"));
        EXPECT_EQ(m.toString(m.getMember(job, "start")), "test");
        m.deleteMember(job.asObject(), "start");
        EXPECT_TRUE(m.getMember(job, "start").isObject());
    }
}

} // namespace
} // namespace swf::avm1
