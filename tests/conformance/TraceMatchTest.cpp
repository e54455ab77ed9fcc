#include "tests/conformance/TraceMatch.h"

#include <gtest/gtest.h>

namespace lanfan::conformance {
namespace {

TEST(TraceMatch, ExactComparisonWithoutAllowance)
{
    const TraceApproximation none;
    EXPECT_TRUE(tracesMatch("a\n1", "a\n1", none));
    EXPECT_FALSE(tracesMatch("a\n1", "a\n1.5", none));
}

TEST(TraceMatch, BareNumbersWithinEpsilon)
{
    TraceApproximation bare{true, 5.0, true, {}};
    EXPECT_TRUE(tracesMatch("//w\n286\n18", "//w\n283\n18", bare));
    EXPECT_TRUE(tracesMatch("NaN", "NaN", bare));
    EXPECT_FALSE(tracesMatch("//w\n292", "//w\n286", bare));     // past epsilon
    EXPECT_FALSE(tracesMatch("//x\n286", "//w\n286", bare));     // text must be the same
    EXPECT_FALSE(tracesMatch("w 286", "w 285", bare));           // a number inside text is not bare
    EXPECT_FALSE(tracesMatch("286\n1", "286", bare));            // line counts differ
    EXPECT_FALSE(tracesMatch("NaN", "0", bare));
    EXPECT_FALSE(tracesMatch(" 286", "286", bare));
}

TEST(TraceMatch, PatternsPickNumbersOutOfLines)
{
    TraceApproximation patterns{true, 1e-14, false, tomlStringArray(R"toml(["(\\d+\\.\\d+)"])toml")};
    ASSERT_EQ(patterns.numberPatterns.size(), 1u);
    EXPECT_EQ(patterns.numberPatterns[0], R"re((\d+\.\d+))re");
    EXPECT_TRUE(tracesMatch("sin 0.30000000000000004 x 2", "sin 0.3 x 2", patterns));
    EXPECT_FALSE(tracesMatch("sin 0.31 x 2", "sin 0.3 x 2", patterns));
    EXPECT_FALSE(tracesMatch("sin 0.3 x 3", "sin 0.3 x 2", patterns));  // outside the captures
    EXPECT_FALSE(tracesMatch("cos 0.3", "sin 0.3", patterns));

    TraceApproximation angle{true, 0.001, false, tomlStringArray(R"toml(["angle=([\\d.]+)", "x"])toml")};
    ASSERT_EQ(angle.numberPatterns.size(), 2u);
    EXPECT_TRUE(tracesMatch("f angle=44.9999 q", "f angle=45 q", angle));
    EXPECT_FALSE(tracesMatch("f angle=44.99 q", "f angle=45 q", angle));
}

TEST(TraceMatch, BrokenPatternAllowsNothing)
{
    TraceApproximation broken{true, 1.0, false, {"(unclosed"}};
    EXPECT_FALSE(tracesMatch("1.0", "1.5", broken));
    EXPECT_TRUE(tracesMatch("same", "same", broken));
    EXPECT_TRUE(tomlStringArray("[\"unclosed").empty());
}

} // namespace
} // namespace lanfan::conformance
