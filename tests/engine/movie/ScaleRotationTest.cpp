// _xscale, _yscale and _rotation written to a placed object whose matrix is mirrored or
// skewed: the axes keep the angle between them, and quarter turns come out exact.

#include "engine/movie/DisplayProperties.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace swf::movie {
namespace {

std::string show(const Matrix& m)
{
    auto num = [](double v) {
        // Two decimals, as the scripts that check these print them; -0 prints as 0.
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", v == 0 ? 0.0 : v);
        return std::string(text);
    };
    return num(m.a) + " " + num(m.b) + " " + num(m.c) + " " + num(m.d);
}

TEST(ScaleRotation, WritesKeepTheMirrorAndSkewOfThePlacedMatrix)
{
    enum class Set { XScale, YScale, Rotation };
    struct Step {
        Set what;
        double value;
        const char* matrix;
    };
    struct Case {
        const char* name;
        Matrix placed;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"mirrored in y",
         Matrix{1, 0, 0, -2, 0, 0},
         {{Set::YScale, 100, "1.00 0.00 0.00 -1.00"},
          {Set::YScale, -100, "1.00 0.00 0.00 1.00"},
          {Set::YScale, 100, "1.00 0.00 0.00 -1.00"},
          {Set::XScale, -100, "-1.00 0.00 0.00 -1.00"}}},
        {"skewed",
         Matrix{-1, 0, 2, 1, 0, 0},
         {{Set::YScale, 100, "-1.00 0.00 0.89 0.45"}, {Set::Rotation, 0, "1.00 0.00 -0.89 -0.45"}}},
        {"quarter turns of a script's negative scale are exact",
         Matrix{1, 0, 0, 1, 0, 0},
         {{Set::YScale, -200, "1.00 0.00 0.00 -2.00"},
          {Set::Rotation, -90, "0.00 -1.00 -2.00 0.00"},
          {Set::Rotation, 90, "0.00 1.00 2.00 0.00"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayObject object;
        object.matrix = c.placed;
        for (const Step& step : c.steps) {
            const ScriptScale now = scaleAndRotation(object);
            switch (step.what) {
            case Set::XScale: setScaleAndRotation(object, step.value, now.yScale, now.rotation); break;
            case Set::YScale: setScaleAndRotation(object, now.xScale, step.value, now.rotation); break;
            case Set::Rotation: setScaleAndRotation(object, now.xScale, now.yScale, step.value); break;
            }
            EXPECT_EQ(show(object.matrix), step.matrix);
        }
    }
    // Exact zeros, not rounding residue, at a quarter turn.
    DisplayObject turned;
    setScaleAndRotation(turned, 100, 100, 90);
    EXPECT_EQ(turned.matrix.a, 0.0);
    EXPECT_EQ(turned.matrix.d, 0.0);
}

} // namespace
} // namespace swf::movie
