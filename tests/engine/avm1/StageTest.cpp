// Stage.align and Stage.scaleMode keep what scripts give them in the reference
// player's form: the edges named, in the order L, T, R, B; one of the four modes in
// its own spelling, showAll for anything else.

#include "engine/avm1/Machine.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

TEST(StageObject, AlignAndScaleModeTakeTheirCanonicalForms)
{
    struct Case {
        std::string_view property;
        Value given;
        std::string expected;
    } cases[] = {
        {"align", Value("TL"), "LT"},
        {"align", Value("BR"), "RB"},
        {"align", Value("lb"), "LB"},
        {"align", Value("TllLBbbtRrrlBr"), "LTRB"},
        {"align", Value(" @!#l!!"), "L"},
        {"align", Value("asdf"), ""},
        {"align", Value(true), "TR"},  // "true"
        {"align", Value(), ""},
        {"scaleMode", Value("EXACTFIT"), "exactFit"},
        {"scaleMode", Value("noborder"), "noBorder"},
        {"scaleMode", Value("NOSCALE"), "noScale"},
        {"scaleMode", Value("no scale"), "showAll"},
        {"scaleMode", Value(true), "showAll"},
    };
    for (const Case& c : cases) {
        Machine m(7);
        Value stage = m.getMember(Value(m.global()), "Stage");
        ASSERT_TRUE(stage.isObject());
        m.setMember(stage, "scaleMode", Value("noScale"));
        m.setMember(stage, c.property, c.given);
        EXPECT_EQ(m.toString(m.getMember(stage, c.property)), c.expected) << c.property << " = " << m.toString(c.given);
    }
    Machine fresh(7);
    Value stage = fresh.getMember(Value(fresh.global()), "Stage");
    EXPECT_EQ(fresh.toString(fresh.getMember(stage, "scaleMode")), "showAll");
    EXPECT_EQ(fresh.toString(fresh.getMember(stage, "align")), "");
}

} // namespace
} // namespace swf::avm1
