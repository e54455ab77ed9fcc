// The values scripts give to the display properties clips and text fields share, and
// what reading them back yields, as the reference player stores them.

#include "engine/avm1/Machine.h"
#include "engine/movie/DisplayProperties.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace swf::movie {
namespace {

using P = avm1::ClipProperty;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kUnchanged = -999;  // the property keeps the value it had

struct Case {
    P property;
    avm1::Value given;
    double expected;
};

class SharedDisplayProperties : public ::testing::Test {
protected:
    // Sets the property on an object that shows `before` for it, and reads it back.
    double setAndRead(P property, const avm1::Value& given, double before)
    {
        DisplayObject object;
        EXPECT_TRUE(setSharedDisplayProperty(object, property, avm1::Value(before), machine_));
        EXPECT_TRUE(setSharedDisplayProperty(object, property, given, machine_));
        return sharedDisplayProperty(&object, property)->asNumber();
    }
    avm1::Machine machine_{7};
};

TEST_F(SharedDisplayProperties, NumbersInfinitiesAndNonNumbers)
{
    const double minTwips = -107374182.4;  // the smallest 32-bit twip count, in pixels
    const Case cases[] = {
        {P::X, 2, 2}, {P::X, -5, -5}, {P::X, 1.5, 1.5}, {P::X, "10", 10}, {P::X, true, 1},
        {P::X, "abc", kUnchanged}, {P::X, kNaN, kUnchanged}, {P::X, avm1::Value(), kUnchanged},
        {P::X, kInf, minTwips}, {P::X, -kInf, minTwips}, {P::X, 1e10, minTwips}, {P::Y, kInf, minTwips},
        {P::Y, 0.03, 0.05},  // whole twips
        {P::Alpha, 2, 1.953125}, {P::Alpha, -5, -4.6875}, {P::Alpha, 1.5, 1.171875}, {P::Alpha, 100, 100},
        {P::Alpha, kInf, 0}, {P::Alpha, -kInf, 0}, {P::Alpha, kNaN, kUnchanged},
        {P::XScale, 2, 2}, {P::XScale, kInf, kInf}, {P::XScale, kNaN, kUnchanged},
        {P::XScale, -321, -321}, {P::YScale, -0.5, -0.5},  // a flip reads back as given
        {P::YScale, kInf, kInf},
        {P::Rotation, 2, 2}, {P::Rotation, 370, 10}, {P::Rotation, kNaN, kUnchanged}, {P::Rotation, kInf, kNaN},
        {P::Rotation, 270, -90}, {P::Rotation, -190, 170},
        {P::X, avm1::Null{}, kUnchanged}, {P::Alpha, avm1::Value(), kUnchanged}, {P::XScale, avm1::Null{}, kUnchanged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "property " << static_cast<int>(c.property) << " given " << machine_.toString(c.given));
        for (double before : {0.0, 50.0}) {
            double read = setAndRead(c.property, c.given, before);
            double expected = c.expected == kUnchanged ? before : c.expected;
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(read)) << read;
            else if (std::isinf(expected))
                EXPECT_EQ(read, expected);
            else
                EXPECT_NEAR(read, expected, 1e-9);
        }
    }
}

TEST_F(SharedDisplayProperties, VisibilityAndNameConvertAndOthersAreNotShared)
{
    // _visible takes a number: NaN (and undefined, null, words) leave it, 0 hides.
    const struct {
        avm1::Value given;
        bool fromShown, fromHidden;
    } visibility[] = {
        {false, false, false}, {"1", true, true}, {"false", true, false}, {avm1::Value(), true, false},
        {kNaN, true, false}, {avm1::Null{}, true, false}, {"0000", false, false}, {-2, true, true},
    };
    for (const auto& v : visibility) {
        for (bool before : {true, false}) {
            DisplayObject shown;
            shown.visible = before;
            EXPECT_TRUE(setSharedDisplayProperty(shown, P::Visible, v.given, machine_));
            EXPECT_EQ(shown.visible, before ? v.fromShown : v.fromHidden) << machine_.toString(v.given);
        }
    }
    DisplayObject object;
    EXPECT_TRUE(setSharedDisplayProperty(object, P::Name, avm1::Value(12), machine_));
    EXPECT_EQ(object.name, "12");
    EXPECT_FALSE(object.scriptTransformed) << "neither moves the object";
    EXPECT_TRUE(setSharedDisplayProperty(object, P::X, avm1::Value(kNaN), machine_));
    EXPECT_TRUE(object.scriptTransformed) << "the script has taken the position over";
    for (P other : {P::Width, P::Height, P::CurrentFrame, P::Target}) {
        EXPECT_FALSE(setSharedDisplayProperty(object, other, avm1::Value(1), machine_));
        EXPECT_FALSE(sharedDisplayProperty(&object, other).has_value());
    }
    EXPECT_EQ(sharedDisplayProperty(nullptr, P::Alpha)->asNumber(), 100);
}

TEST_F(SharedDisplayProperties, ScriptScalesLastOnlyWhileTheMatrixIsTheirs)
{
    DisplayObject object;
    ASSERT_TRUE(setSharedDisplayProperty(object, P::XScale, avm1::Value(-50), machine_));
    ASSERT_TRUE(setSharedDisplayProperty(object, P::Rotation, avm1::Value(30), machine_));
    EXPECT_NEAR(sharedDisplayProperty(&object, P::XScale)->asNumber(), -50, 1e-9);
    EXPECT_NEAR(sharedDisplayProperty(&object, P::Rotation)->asNumber(), 30, 1e-9);
    // A matrix from elsewhere (the timeline, a transform) is read as it is.
    object.matrix = Matrix{2, 0, 0, 1, 0, 0};
    EXPECT_NEAR(sharedDisplayProperty(&object, P::XScale)->asNumber(), 200, 1e-9);
    EXPECT_NEAR(sharedDisplayProperty(&object, P::Rotation)->asNumber(), 0, 1e-9);
}

} // namespace
} // namespace swf::movie
