// Stage.align and Stage.scaleMode keep what scripts give them in the reference
// player's form: the edges named, in the order L, T, R, B; one of the four modes in
// its own spelling, showAll for anything else.

#include "engine/avm1/Machine.h"
#include "engine/avm1/StageObject.h"

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

// The stage's size is the movie's until the movie asks not to be scaled; then it is
// the player area's, and listeners hear onResize each time the size they see moves,
// never when it stays. displayState takes either state in any case and tells
// onFullScreen listeners of each change.
TEST(StageObject, SizeFollowsThePlayerAreaOnlyWhenNotScaled)
{
    Machine m(8);
    StageObject* stage = stageObject(m);
    ASSERT_NE(stage, nullptr);
    std::vector<std::string> heard;
    Object* listener = m.newObject();
    for (const char* event : {"onResize", "onFullScreen"}) {
        listener->put(event, Value(m.newNativeFunction(event, [&heard, event](Machine& mm, Value, std::span<const Value> args) {
            heard.push_back(std::string(event) + (args.empty() ? "" : " " + mm.toString(args[0])));
            return Value();
        })));
    }
    const Value listenerArgs[] = {Value(listener)};
    m.callMethod(Value(stage), "addListener", listenerArgs);
    auto size = [&] {
        return m.toString(m.getMember(Value(stage), "width")) + "x" + m.toString(m.getMember(Value(stage), "height"));
    };

    stage->setMovieSize(550, 400);
    stage->setViewport(m, 900, 700);
    EXPECT_EQ(size(), "550x400");
    m.setMember(Value(stage), "width", Value(10));  // read-only
    EXPECT_EQ(size(), "550x400");
    m.setMember(Value(stage), "scaleMode", Value("noScale"));
    EXPECT_EQ(size(), "900x700");
    stage->setViewport(m, 900, 700);
    stage->setViewport(m, 640, 480);
    EXPECT_EQ(size(), "640x480");
    m.setMember(Value(stage), "scaleMode", Value("exactFit"));
    stage->setViewport(m, 300, 300);
    EXPECT_EQ(size(), "550x400");
    EXPECT_EQ(heard, (std::vector<std::string>{"onResize", "onResize", "onResize"}));

    heard.clear();
    for (const char* state : {"A", "fullScreen", "FULLSCREEN", "NORMAL", "normal"})
        m.setMember(Value(stage), "displayState", Value(state));
    EXPECT_EQ(heard, (std::vector<std::string>{"onFullScreen true", "onFullScreen false"}));
    EXPECT_EQ(m.toString(m.getMember(Value(stage), "displayState")), "normal");
}

} // namespace
} // namespace swf::avm1
