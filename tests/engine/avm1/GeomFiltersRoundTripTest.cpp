// The script classes' less travelled paths: Point arithmetic, Rectangle's corner
// setters, filters converted to the renderer's records and back without losing a
// setting, and BitmapData methods that copy, clone, dissolve into NaN or hit-test.

#include "engine/avm1/FilterObject.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Packages.h"

#include <gtest/gtest.h>

#include <vector>

namespace swf::avm1 {
namespace {

struct Script {
    Machine m{10};

    Value make(std::string_view package, std::string_view name, std::vector<Value> args = {})
    {
        Object* ctor = packageClass(m, package, name);
        return ctor ? m.construct(Value(ctor), args) : Value();
    }
    Value point(double x, double y) { return make("flash.geom", "Point", {x, y}); }
    std::string show(const Value& v) { return m.toString(v); }
    Value call(const Value& target, std::string_view method, std::vector<Value> args = {})
    {
        return m.callMethod(target, method, args);
    }
    Value statics(std::string_view cls, std::string_view method, std::vector<Value> args)
    {
        return m.callMethod(Value(packageClass(m, "flash.geom", cls)), method, args);
    }
};

TEST(GeomRoundTrip, PointArithmetic)
{
    Script s;
    struct Case {
        std::string got;
        const char* expected;
    };
    const Case cases[] = {
        {s.show(s.call(s.point(1, 2), "add", {s.point(3, 4)})), "(x=4, y=6)"},
        {s.show(s.call(s.point(1, 2), "subtract", {s.point(3, 5)})), "(x=-2, y=-3)"},
        {s.show(s.m.getMember(s.point(3, 4), "length")), "5"},
        {s.show(s.statics("Point", "distance", {s.point(0, 0), s.point(3, 4)})), "5"},
        {s.show(s.statics("Point", "interpolate", {s.point(10, 10), s.point(0, 0), 0.25})), "(x=2.5, y=2.5)"},
        {s.show(s.statics("Point", "polar", {2, 0})), "(x=2, y=0)"},
        {s.show(s.call(s.point(1, 2), "equals", {s.point(1, 2)})), "true"},
        {s.show(s.call(s.point(1, 2), "equals", {Value(s.m.newObject())})), "false"},
        {s.show(s.make("flash.geom", "Point")), "(x=0, y=0)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.expected);

    const Value p = s.point(3, 4);
    s.call(p, "normalize", {10});
    EXPECT_EQ(s.show(p), "(x=6, y=8)");
    const Value zero = s.point(0, 0);
    s.call(zero, "normalize", {10});  // no direction: stays
    EXPECT_EQ(s.show(zero), "(x=0, y=0)");
}

TEST(GeomRoundTrip, RectangleCornersKeepTheOppositeCorner)
{
    Script s;
    const Value r = s.make("flash.geom", "Rectangle", {1, 3, 5, 7});
    s.m.setMember(r, "topLeft", s.point(0, 0));
    EXPECT_EQ(s.show(r), "(x=0, y=0, w=6, h=10)");
    s.m.setMember(r, "bottomRight", s.point(10, 20));
    EXPECT_EQ(s.show(r), "(x=0, y=0, w=10, h=20)");
    s.m.setMember(r, "size", s.point(2, 3));
    EXPECT_EQ(s.show(r), "(x=0, y=0, w=2, h=3)");
    s.call(r, "inflate", {1, 2});
    EXPECT_EQ(s.show(r), "(x=-1, y=-2, w=4, h=7)");
    s.call(r, "offsetPoint", {s.point(1, 2)});
    EXPECT_EQ(s.show(r), "(x=0, y=0, w=4, h=7)");
    EXPECT_EQ(s.show(s.call(r, "isEmpty")), "false");
    s.call(r, "setEmpty");
    EXPECT_EQ(s.show(s.call(r, "isEmpty")), "true");
}

TEST(GeomRoundTrip, FiltersSurviveTheTripToRenderRecordsAndBack)
{
    struct Case {
        const char* cls;
        std::vector<std::pair<const char*, Value>> settings;
    };
    const Case cases[] = {
        {"BlurFilter", {{"blurX", Value(12)}, {"blurY", Value(3)}, {"quality", Value(3)}}},
        {"DropShadowFilter",
         {{"distance", Value(7)}, {"angle", Value(90)}, {"color", Value(0x123456)}, {"alpha", Value(0.5)},
          {"inner", Value(true)}, {"knockout", Value(true)}, {"hideObject", Value(true)}}},
        {"GlowFilter", {{"color", Value(0x00FF00)}, {"strength", Value(3)}, {"inner", Value(true)}}},
        {"BevelFilter",
         {{"highlightColor", Value(0xFF0000)}, {"shadowColor", Value(0x0000FF)}, {"shadowAlpha", Value(0.25)},
          {"type", Value("outer")}}},
        {"BevelFilter", {{"type", Value("full")}}},
        {"ConvolutionFilter",
         {{"matrixX", Value(2)}, {"matrixY", Value(1)}, {"divisor", Value(3)}, {"bias", Value(2)},
          {"clamp", Value(false)}, {"color", Value(0xABCDEF)}, {"alpha", Value(1)}}},
    };
    for (const Case& c : cases) {
        Script s;
        const Value f = s.make("flash.filters", c.cls);
        for (const auto& [name, value] : c.settings)
            s.m.setMember(f, name, value);
        const FilterObject* original = filterOf(f);
        ASSERT_NE(original, nullptr) << c.cls;
        const auto record = toRenderFilter(*original);
        ASSERT_TRUE(record.has_value()) << c.cls;
        const Value back(fromRenderFilter(s.m, *record));
        for (const auto& [name, value] : c.settings)
            EXPECT_EQ(s.show(s.m.getMember(back, name)), s.show(s.m.getMember(f, name))) << c.cls << "." << name;
    }
}

TEST(GeomRoundTrip, GradientStopsAndMatricesReachTheRecord)
{
    Script s;
    const Value glow = s.make("flash.filters", "GradientGlowFilter");
    auto list = [&](std::vector<Value> items) { return Value(s.m.newArray(items)); };
    s.m.setMember(glow, "colors", list({Value(0xFF0000), Value(0x0000FF)}));
    s.m.setMember(glow, "alphas", list({Value(1), Value(0)}));
    s.m.setMember(glow, "ratios", list({Value(0), Value(255)}));
    const auto record = toRenderFilter(*filterOf(glow));
    ASSERT_TRUE(record.has_value());
    ASSERT_EQ(record->gradient.size(), 2u);
    EXPECT_EQ(record->gradient[0].color, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(record->gradient[1].ratio, 255);

    // NaN weights do not reach the renderer.
    const Value cm = s.make("flash.filters", "ColorMatrixFilter", {Value(s.m.newArray({}))});
    const auto matrix = toRenderFilter(*filterOf(cm));
    ASSERT_TRUE(matrix.has_value());
    for (float w : matrix->colorMatrix)
        EXPECT_EQ(w, 0.0f);

    // Without a map bitmap a displacement filter gives the renderer nothing to draw.
    EXPECT_FALSE(toRenderFilter(*filterOf(s.make("flash.filters", "DisplacementMapFilter"))).has_value());
}

TEST(GeomRoundTrip, BitmapDataCloneDisposeAndHitTest)
{
    Script s;
    const Value b = s.make("flash.display", "BitmapData", {4, 4, true, 0});
    s.call(b, "fillRect", {s.make("flash.geom", "Rectangle", {1, 1, 2, 2}), Value(static_cast<double>(0xFF00FF00))});
    const Value copy = s.call(b, "clone");
    s.call(copy, "setPixel32", {1, 1, 0});
    EXPECT_EQ(s.show(s.call(b, "getPixel", {1, 1})), std::to_string(0x00FF00));
    EXPECT_EQ(s.show(s.call(copy, "getPixel32", {1, 1})), "0");

    struct Case {
        Value second;
        const char* answer;
    };
    const Case cases[] = {
        {s.point(1, 1), "true"},
        {s.point(0, 0), "false"},
        {s.point(-5, 100), "false"},
        {s.make("flash.geom", "Rectangle", {0, 0, 2, 2}), "true"},
        {s.make("flash.geom", "Rectangle", {3, 3, 1, 1}), "false"},
        {Value(5), "-1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(s.show(s.call(b, "hitTest", {s.point(0, 0), 1, c.second})), c.answer) << s.show(c.second);

    EXPECT_TRUE(s.call(b, "dispose").isUndefined());
    EXPECT_EQ(s.show(s.call(b, "dispose")), "-1");
    EXPECT_EQ(s.show(s.call(b, "clone")), "-1");
}

TEST(GeomRoundTrip, BitmapDataColorTransformNeedsAColorTransform)
{
    Script s;
    const Value b = s.make("flash.display", "BitmapData", {2, 2, false, Value(static_cast<double>(0xFF808080))});
    const Value all = s.make("flash.geom", "Rectangle", {0, 0, 2, 2});
    EXPECT_EQ(s.show(s.call(b, "colorTransform", {all, Value(s.m.newObject())})), "-1");
    const Value ct = s.make("flash.geom", "ColorTransform", {2, 0, 1, 1, 0, 10, 0, 0});
    EXPECT_EQ(s.show(s.call(b, "colorTransform", {all, ct})), "0");
    EXPECT_EQ(s.show(s.call(b, "getPixel", {1, 1})), std::to_string(0xFF0A80));
}

} // namespace
} // namespace swf::avm1
