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
        {P::YScale, kInf, kInf},
        {P::Rotation, 2, 2}, {P::Rotation, 370, 10}, {P::Rotation, kNaN, kUnchanged}, {P::Rotation, kInf, kNaN},
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
    DisplayObject object;
    EXPECT_TRUE(setSharedDisplayProperty(object, P::Visible, avm1::Value(kNaN), machine_));
    EXPECT_FALSE(object.visible);
    EXPECT_TRUE(setSharedDisplayProperty(object, P::Visible, avm1::Value("abc"), machine_));
    EXPECT_EQ(object.visible, machine_.toBoolean(avm1::Value("abc")));
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

} // namespace
} // namespace swf::movie
