// The flash.geom, flash.filters and flash.display.BitmapData classes as scripts call
// them: each filter setting's clamping and rounding, gradient stops that remember what
// was written, the answers BitmapData gives to bad arguments, and the geometry edge
// cases where NaN answers undefined.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Packages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace swf::avm1 {
namespace {

struct Script {
    Machine m{10};

    Value make(std::string_view package, std::string_view name, std::vector<Value> args = {})
    {
        Object* ctor = packageClass(m, package, name);
        EXPECT_NE(ctor, nullptr) << name;
        return ctor ? m.construct(Value(ctor), args) : Value();
    }
    std::string show(const Value& v) { return m.toString(v); }
    std::string get(const Value& target, std::string_view name) { return show(m.getMember(target, name)); }
    Value call(const Value& target, std::string_view method, std::vector<Value> args = {})
    {
        return m.callMethod(target, method, args);
    }
};

TEST(GeomClasses, PackagesExistOnlyFromSwf8)
{
    Machine old(7);
    EXPECT_TRUE(old.getMember(Value(old.global()), "flash").isUndefined());
    Machine current(8);
    EXPECT_TRUE(current.getMember(Value(current.global()), "flash").isObject());
}

TEST(GeomClasses, RectangleEdgesMoveOneSideAndNaNAnswersUndefined)
{
    Script s;
    const Value r = s.make("flash.geom", "Rectangle", {1, 3, 5, 7});
    s.m.setMember(r, "left", Value(0));
    EXPECT_EQ(s.show(r), "(x=0, y=3, w=6, h=7)");
    s.m.setMember(r, "bottom", Value(20));
    EXPECT_EQ(s.show(r), "(x=0, y=3, w=6, h=17)");

    struct Case {
        Value x, y;
        const char* answer;
    };
    const Case cases[] = {
        {Value(0), Value(3), "true"},        {Value(6), Value(3), "false"},
        {Value(3), Value(NAN), "undefined"}, {Value(), Value(5), "undefined"},
        {Value(3), Value(INFINITY), "false"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(s.show(s.call(r, "contains", {c.x, c.y})), c.answer) << s.show(c.x) << "," << s.show(c.y);

    EXPECT_EQ(s.show(s.call(r, "intersection", {})), "(x=0, y=0, w=0, h=0)");
    EXPECT_EQ(s.show(s.call(r, "union", {})), "(x=NaN, y=NaN, w=NaN, h=NaN)");
    EXPECT_EQ(s.show(s.call(r, "union", {s.make("flash.geom", "Rectangle", {-1, -1, 2, 2})})),
              "(x=-1, y=-1, w=7, h=21)");
}

TEST(GeomClasses, MatrixOperationsMatchKnownResults)
{
    Script s;
    const Value m = s.make("flash.geom", "Matrix", {2, 3, 5, 7, 9, 11});
    s.call(m, "invert");
    EXPECT_EQ(s.show(m), "(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)");

    const Value g = s.make("flash.geom", "Matrix");
    s.call(g, "createGradientBox", {200, 300});
    EXPECT_EQ(s.show(g), "(a=0.1220703125, b=0, c=0, d=0.18310546875, tx=100, ty=150)");

    const Value box = s.make("flash.geom", "Matrix");
    s.call(box, "createBox", {2, 3});
    EXPECT_EQ(s.show(box), "(a=NaN, b=NaN, c=NaN, d=NaN, tx=0, ty=0)");

    const Value p = s.call(s.make("flash.geom", "Matrix", {2, 3, 5, 7, 11, 13}), "transformPoint",
                           {s.make("flash.geom", "Point", {1, 1})});
    EXPECT_EQ(s.show(p), "(x=18, y=23)");
    EXPECT_EQ(s.show(s.make("flash.geom", "Matrix", {1})), "(a=1, b=undefined, c=undefined, d=undefined, tx=undefined, ty=undefined)");
}

TEST(GeomClasses, ColorTransformRgbAndConcat)
{
    Script s;
    const Value ct = s.make("flash.geom", "ColorTransform", {0.5, 0.5, 0.5, 0.5, 10, 20, 30, 40});
    s.call(ct, "concat", {s.make("flash.geom", "ColorTransform", {0.5, 0.5, 0.5, 0.5, 50, 60, 70, 80})});
    EXPECT_EQ(s.show(ct), "(redMultiplier=0.25, greenMultiplier=0.25, blueMultiplier=0.25, alphaMultiplier=0.25, "
                          "redOffset=35, greenOffset=50, blueOffset=65, alphaOffset=80)");
    s.m.setMember(ct, "rgb", Value(0x203040));
    EXPECT_EQ(s.get(ct, "redMultiplier"), "0");
    EXPECT_EQ(s.get(ct, "blueOffset"), "64");
    EXPECT_EQ(s.get(ct, "rgb"), std::to_string(0x203040));
    s.m.setMember(ct, "greenMultiplier", Value("Test123"));
    EXPECT_EQ(s.get(ct, "greenMultiplier"), "NaN");
}

TEST(FilterClasses, SettingsAreClampedAndRoundedAsThePlayerDoes)
{
    struct Case {
        const char* cls;
        const char* member;
        Value written;
        const char* read;
    };
    const Case cases[] = {
        {"BlurFilter", "blurX", Value(-1), "0"},
        {"BlurFilter", "blurX", Value(100.5), "100.5"},
        {"BlurFilter", "blurY", Value(256), "255"},
        {"BlurFilter", "quality", Value(2.5), "2"},
        {"BlurFilter", "quality", Value(100), "15"},
        {"BlurFilter", "quality", Value(-1), "0"},
        {"DropShadowFilter", "angle", Value(366), "6"},
        {"DropShadowFilter", "angle", Value(-1), "-1"},
        {"DropShadowFilter", "alpha", Value(0.5), "0.498039215686275"},
        {"DropShadowFilter", "alpha", Value(1.5), "1"},
        {"DropShadowFilter", "color", Value(-305419896), "13347208"},
        {"DropShadowFilter", "strength", Value(256), "255"},
        {"DropShadowFilter", "distance", Value(-1), "-1"},
        {"GlowFilter", "inner", Value(), "false"},
        {"BevelFilter", "type", Value("INNER"), "full"},
        {"BevelFilter", "type", Value("outer"), "outer"},
        {"BevelFilter", "shadowAlpha", Value(-1), "0"},
        {"ConvolutionFilter", "matrixX", Value(100), "15"},
        {"ConvolutionFilter", "clamp", Value(Null{}), "false"},
        {"DisplacementMapFilter", "componentX", Value(-234.5), "-234"},
        {"DisplacementMapFilter", "scaleX", Value(65536), "65535"},
        {"DisplacementMapFilter", "mode", Value("Color"), "wrap"},
        {"DisplacementMapFilter", "mode", Value("ignore"), "ignore"},
    };
    for (const Case& c : cases) {
        Script s;
        const Value f = s.make("flash.filters", c.cls);
        s.m.setMember(f, c.member, c.written);
        EXPECT_EQ(s.get(f, c.member), c.read) << c.cls << "." << c.member << " = " << s.show(c.written);
    }
}

TEST(FilterClasses, DefaultsAndCloneGiveIndependentCopies)
{
    Script s;
    const Value glow = s.make("flash.filters", "GlowFilter");
    EXPECT_EQ(s.get(glow, "color"), "16711680");
    EXPECT_EQ(s.get(glow, "strength"), "2");
    EXPECT_EQ(s.get(s.make("flash.filters", "BevelFilter"), "angle"), "44.9999999772279");
    const Value copy = s.call(glow, "clone");
    s.m.setMember(copy, "blurX", Value(9));
    EXPECT_EQ(s.get(glow, "blurX"), "6");
    EXPECT_EQ(s.get(copy, "blurX"), "9");
    EXPECT_TRUE(s.call(s.make("flash.filters", "BitmapFilter"), "clone").isUndefined());
}

TEST(FilterClasses, GradientStopsFollowTheColoursAndKeepWhatWasWritten)
{
    Script s;
    const Value f = s.make("flash.filters", "GradientGlowFilter");
    auto list = [&](std::vector<Value> items) { return Value(s.m.newArray(items)); };
    auto stops = [&] { return s.get(f, "colors") + "|" + s.get(f, "alphas") + "|" + s.get(f, "ratios"); };

    s.m.setMember(f, "alphas", list({Value(1)}));
    EXPECT_EQ(stops(), "||");
    s.m.setMember(f, "colors", list({Value(-305419896), Value(10)}));
    EXPECT_EQ(stops(), "13347208,10|0,0|0,0");
    s.m.setMember(f, "ratios", list({Value(500), Value(50.5), Value(100)}));
    EXPECT_EQ(stops(), "13347208,10|0,0|255,50");
    s.m.setMember(f, "colors", Value("ASDF"));
    EXPECT_EQ(stops(), "0,0,0,0|0,0,0,0|255,50,0,0");
    s.m.setMember(f, "alphas", list({Value(0.5), Value(1.5), Value(-0.5)}));
    EXPECT_EQ(stops(), "0,0,0,0|0.501960784313725,1,0,1|255,50,0,0");
    s.m.setMember(f, "ratios", list({Value(50)}));
    EXPECT_EQ(stops(), "0|0.501960784313725|50");
    s.m.setMember(f, "colors", Value(5));
    EXPECT_EQ(stops(), "||");
}

TEST(FilterClasses, MatricesFillMissingEntries)
{
    Script s;
    const Value cm = s.make("flash.filters", "ColorMatrixFilter", {Value(-1)});
    EXPECT_EQ(s.get(cm, "matrix"), "NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN");
    s.m.setMember(cm, "matrix", Value(Null{}));  // ignored
    EXPECT_EQ(s.get(cm, "matrix").substr(0, 3), "NaN");

    const Value conv = s.make("flash.filters", "ConvolutionFilter");
    s.m.setMember(conv, "matrix", Value(s.m.newArray(std::vector<Value>{Value(-1000.5)})));
    s.m.setMember(conv, "matrixX", Value(2));
    EXPECT_EQ(s.get(conv, "matrix"), "-1000.5");  // 2 x 0 needs nothing more
    s.m.setMember(conv, "matrixY", Value(2));
    EXPECT_EQ(s.get(conv, "matrix"), "-1000.5,0,0,0");
    s.m.setMember(conv, "matrixX", Value(-100));
    EXPECT_EQ(s.get(conv, "matrix"), "-1000.5,0,0,0");  // never shrinks
}

TEST(BitmapDataClass, ConstructionFailsForBadSizes)
{
    struct Case {
        std::vector<Value> args;
        bool made;
    };
    const Case cases[] = {
        {{}, false},
        {{Value(5)}, false},
        {{Value(5), Value(6)}, true},
        {{Value(Null{}), Value(6)}, false},
        {{Value(5), Value("x")}, false},
        {{Value(8191), Value(1)}, true},
        {{Value(8192), Value(1)}, false},
        {{Value(4096), Value(4096)}, false},
        {{Value(-3), Value(4)}, false},
    };
    for (const Case& c : cases) {
        Script s;
        EXPECT_EQ(s.make("flash.display", "BitmapData", c.args).isObject(), c.made) << c.args.size();
    }
}

TEST(BitmapDataClass, MethodsAnswerErrorCodesForBadArguments)
{
    Script s;
    const Value target = s.make("flash.display", "BitmapData", {3, 3});
    const Value source = s.make("flash.display", "BitmapData", {3, 3});
    const Value gone = s.make("flash.display", "BitmapData", {3, 3});
    s.call(gone, "dispose");
    const Value rect = s.make("flash.geom", "Rectangle", {0, 0, 2, 2});
    const Value point = s.make("flash.geom", "Point", {1, 1});
    const Value plain = Value(s.m.newObject());

    struct Case {
        const char* method;
        std::vector<Value> args;
        const char* answer;
    };
    const Case cases[] = {
        {"copyPixels", {source, rect}, "-1"},
        {"copyPixels", {plain, rect, point}, "-2"},
        {"copyPixels", {gone, rect, point}, "-3"},
        {"copyPixels", {source, plain, point}, "-4"},
        {"copyPixels", {source, rect, Value()}, "0"},
        {"copyChannel", {source, rect, point, 1, 4}, "-1"},
        {"fillRect", {plain, 0}, "-1"},
        {"fillRect", {rect, 0}, "0"},
        {"getPixel32", {1}, "-1"},
        {"compare", {}, "-1"},
        {"compare", {gone}, "-2"},
        {"compare", {s.make("flash.display", "BitmapData", {4, 3})}, "-3"},
        // pixelDissolve needs a seed and a count before it looks at its source.
        {"pixelDissolve", {source, rect, point, 100}, "-1"},
        {"pixelDissolve", {Value(), rect, point}, "-1"},
        {"pixelDissolve", {Value(), rect, point, 100, 40}, "-2"},
        {"pixelDissolve", {gone, rect, point, 100, 40}, "-3"},
        {"pixelDissolve", {source, Value(), point, 100, 40}, "-4"},
        {"pixelDissolve", {source, s.make("flash.geom", "Rectangle", {0, 0, 0, 0}), point, 100, 40}, "100"},
        {"pixelDissolve", {source, rect, point, 100, 0}, "100"},
        {"pixelDissolve", {source, rect, point, 100, 2}, "3"},
        // perlinNoise needs six arguments.
        {"perlinNoise", {3, 3, 4, 100, false}, "-1"},
        {"perlinNoise", {3, 3, 4, 100, false, false}, "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(s.show(s.call(target, c.method, c.args)), c.answer) << c.method << " with " << c.args.size();

    EXPECT_EQ(s.show(s.call(source, "compare", {s.make("flash.display", "BitmapData", {3, 3})})), "0");
    for (const char* member : {"width", "height", "transparent", "rectangle"})
        EXPECT_EQ(s.get(gone, member), "-1") << member;
    EXPECT_EQ(s.show(s.call(gone, "getPixel", {0, 0})), "-1");
    for (const char* method : {"pixelDissolve", "perlinNoise"})
        EXPECT_EQ(s.show(s.call(gone, method)), "-1") << method;
}

TEST(BitmapDataClass, PixelsReadBackThroughPremultipliedStorage)
{
    Script s;
    const Value b = s.make("flash.display", "BitmapData", {2, 2, true, Value(static_cast<double>(0xAABBCCDD))});
    EXPECT_EQ(s.show(s.call(b, "getPixel32", {0, 0})), std::to_string(static_cast<int32_t>(0xAABBCCDC)));
    s.call(b, "setPixel32", {1, 1, Value(static_cast<double>(0x12345678))});
    EXPECT_EQ(s.show(s.call(b, "getPixel32", {1, 1})), std::to_string(0x12395571));
    EXPECT_EQ(s.show(s.call(b, "getPixel", {1, 1})), std::to_string(0x395571));
    const Value bounds = s.call(b, "getColorBoundsRect", {Value(static_cast<double>(0xFFFFFFFF)),
                                                          Value(static_cast<double>(0x12345678))});
    EXPECT_EQ(s.show(bounds), "(x=1, y=1, w=1, h=1)");
}

} // namespace
} // namespace swf::avm1
