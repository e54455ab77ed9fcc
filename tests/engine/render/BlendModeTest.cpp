// Blend modes: each mode's arithmetic on known colours, on the stage and inside a layer,
// grouping of a layer's alpha, alpha and erase against the layer they sit in, masks
// around a blended node, and bad geometry.

#include "RenderFixture.h"
#include "engine/render/BlendLayer.h"
#include "tests/support/ShapeWriter.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

const QColor kWhite(255, 255, 255);

std::shared_ptr<const ShapeDef> box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgba color)
{
    StyleArrays styles(32);
    uint32_t fill = styles.solid(color);
    RecordWriter w;
    w.fill0(fill).rect(x0, y0, x1, y1);
    return buildShape(32, {x0, x1, y0, y1}, styles, w);
}

RenderNode sprite(uint16_t depth, std::vector<RenderNode> children, BlendMode mode = BlendMode::Normal)
{
    RenderNode node;
    node.depth = depth;
    node.children = std::move(children);
    node.blendMode = mode;
    return node;
}

// The backdrop (100, 200, 250) fills the canvas; a sprite in `mode` holds a square of
// (200, 100, 50) over its middle.
RenderNode backdrop()
{
    return shapeNode(box(0, 0, 2000, 2000, {100, 200, 250, 255}), 1);
}

RenderNode blended(BlendMode mode, uint16_t depth = 2)
{
    return sprite(depth, {shapeNode(box(500, 500, 1500, 1500, {200, 100, 50, 255}))}, mode);
}

struct ModeCase {
    BlendMode mode;
    QColor expected;
};

const ModeCase kModeCases[] = {
    {BlendMode::Normal, QColor(200, 100, 50)},
    {BlendMode::Layer, QColor(200, 100, 50)},
    {BlendMode::Multiply, QColor(78, 78, 49)},
    {BlendMode::Screen, QColor(222, 222, 251)},
    {BlendMode::Lighten, QColor(200, 200, 250)},
    {BlendMode::Darken, QColor(100, 100, 50)},
    {BlendMode::Difference, QColor(100, 100, 200)},
    {BlendMode::Add, QColor(255, 255, 255)},
    {BlendMode::Subtract, QColor(0, 100, 200)},
    {BlendMode::Invert, QColor(155, 55, 5)},
    {BlendMode::Overlay, QColor(157, 188, 247)},
    {BlendMode::HardLight, QColor(188, 157, 98)},
};

TEST(BlendMode, EachModeCombinesKnownColoursOnTheStageAndInsideALayer)
{
    for (const ModeCase& m : kModeCases) {
        SCOPED_TRACE(static_cast<int>(m.mode));
        Canvas onStage(100, 100);
        onStage.draw(rootOf({backdrop(), blended(m.mode)}));
        EXPECT_TRUE(near(onStage.at(50, 50), m.expected));
        EXPECT_TRUE(near(onStage.at(10, 10), QColor(100, 200, 250))) << "outside the object";

        // Inside a layer the pixels below are the layer's own (subtract and invert take
        // another path there); the result must be the same.
        Canvas inLayer(100, 100);
        inLayer.draw(rootOf({sprite(1, {backdrop(), blended(m.mode)}, BlendMode::Layer)}));
        EXPECT_TRUE(near(inLayer.at(50, 50), m.expected));
        EXPECT_TRUE(near(inLayer.at(10, 10), QColor(100, 200, 250)));
    }
}

TEST(BlendMode, TranslucentSubtractAndInvertAgreeOnTheStageAndInALayer)
{
    // At half alpha the object subtracts half its colour, and inverts half way.
    const std::pair<BlendMode, QColor> cases[] = {
        {BlendMode::Subtract, QColor(0, 150, 225)},
        {BlendMode::Invert, QColor(128, 128, 128)},
    };
    for (const auto& [mode, expected] : cases) {
        SCOPED_TRACE(static_cast<int>(mode));
        RenderNode object = blended(mode);
        object.colorTransform.aMul = 0.5f;
        Canvas onStage(100, 100);
        onStage.draw(rootOf({backdrop(), object}));
        EXPECT_TRUE(near(onStage.at(50, 50), expected));
        Canvas inLayer(100, 100);
        inLayer.draw(rootOf({sprite(1, {backdrop(), object}, BlendMode::Layer)}));
        EXPECT_TRUE(near(inLayer.at(50, 50), expected));
    }
}

TEST(BlendMode, LayerAppliesAlphaToTheGroupNotToEachChild)
{
    auto pair = [](BlendMode mode) {
        RenderNode group = sprite(1,
                                  {shapeNode(box(0, 0, 1500, 2000, {255, 0, 0, 255}), 1),
                                   shapeNode(box(500, 0, 2000, 2000, {0, 0, 255, 255}), 2)},
                                  mode);
        group.colorTransform.aMul = 0.5f;
        Canvas c(100, 100);
        c.draw(rootOf({group}));
        return c;
    };
    Canvas normal = pair(BlendMode::Normal);
    // Each child fades on its own: red shows through the blue where they overlap.
    EXPECT_TRUE(near(normal.at(50, 50), QColor(128, 64, 191), 4));
    EXPECT_TRUE(near(normal.at(10, 50), QColor(255, 128, 128), 4));
    Canvas layer = pair(BlendMode::Layer);
    // The group fades as one: the overlap is half blue over white, no red in it.
    EXPECT_TRUE(near(layer.at(50, 50), QColor(128, 128, 255), 4));
    EXPECT_TRUE(near(layer.at(10, 50), QColor(255, 128, 128), 4));
    EXPECT_TRUE(near(layer.at(90, 50), QColor(128, 128, 255), 4));
}

TEST(BlendMode, ColourTransformOfABlendedNodeAppliesToItsLayer)
{
    RenderNode object = blended(BlendMode::Multiply);
    object.colorTransform.rMul = 0;
    object.colorTransform.rAdd = 255;  // the square becomes (255, 100, 50)
    Canvas c(100, 100);
    c.draw(rootOf({backdrop(), object}));
    EXPECT_TRUE(near(c.at(50, 50), QColor(100, 78, 49)));
}

// A layer holding red over its left three quarters, and an object in `mode` covering
// the left half with a quarter of its alpha.
Canvas cutIntoRed(BlendMode mode, bool inLayer)
{
    RenderNode cutter = shapeNode(box(0, 0, 1000, 2000, {0, 0, 0, 64}), 2);
    cutter.blendMode = mode;
    std::vector<RenderNode> children = {shapeNode(box(0, 0, 1500, 2000, {255, 0, 0, 255}), 1), cutter};
    Canvas c(100, 100);
    c.draw(rootOf({inLayer ? sprite(1, children, BlendMode::Layer) : sprite(1, children)}));
    return c;
}

TEST(BlendMode, AlphaAndEraseCutIntoTheLayerTheySitIn)
{
    Canvas alpha = cutIntoRed(BlendMode::Alpha, true);
    EXPECT_TRUE(near(alpha.at(25, 50), QColor(255, 191, 191), 4)) << "a quarter of the red is kept";
    EXPECT_TRUE(near(alpha.at(60, 50), QColor(255, 0, 0))) << "what the object does not cover stays";
    EXPECT_TRUE(near(alpha.at(90, 50), kWhite));

    Canvas erase = cutIntoRed(BlendMode::Erase, true);
    EXPECT_TRUE(near(erase.at(25, 50), QColor(255, 64, 64), 4)) << "a quarter of the red is removed";
    EXPECT_TRUE(near(erase.at(60, 50), QColor(255, 0, 0)));

    // Without a layer to cut into, the object shows nothing and cuts nothing.
    for (BlendMode mode : {BlendMode::Alpha, BlendMode::Erase}) {
        Canvas loose = cutIntoRed(mode, false);
        EXPECT_TRUE(near(loose.at(25, 50), QColor(255, 0, 0)));
        EXPECT_TRUE(near(loose.at(90, 50), kWhite));
    }
}

TEST(BlendMode, MasksClipBlendedNodesAndWorkInsideThem)
{
    // A mask over the left half clips a difference layer that covers everything.
    RenderNode mask = shapeNode(box(0, 0, 1000, 2000, {0, 0, 0, 255}), 2);
    mask.clipDepth = 3;
    RenderNode inverted = sprite(3, {shapeNode(box(0, 0, 2000, 2000, {255, 255, 255, 255}))}, BlendMode::Difference);
    Canvas around(100, 100);
    around.draw(rootOf({backdrop(), mask, inverted}));
    EXPECT_TRUE(near(around.at(25, 50), QColor(155, 55, 5)));
    EXPECT_TRUE(near(around.at(75, 50), QColor(100, 200, 250)));

    // Inside the layer, a mask over the top half clips the layer's content.
    RenderNode innerMask = shapeNode(box(0, 0, 2000, 1000, {0, 0, 0, 255}), 1);
    innerMask.clipDepth = 2;
    RenderNode layer = sprite(2, {innerMask, shapeNode(box(0, 0, 2000, 2000, {200, 100, 50, 255}), 2)},
                              BlendMode::Multiply);
    Canvas inside(100, 100);
    inside.draw(rootOf({backdrop(), layer}));
    EXPECT_TRUE(near(inside.at(50, 25), QColor(78, 78, 49)));
    EXPECT_TRUE(near(inside.at(50, 75), QColor(100, 200, 250)));
}

TEST(BlendMode, BadGeometryDrawsNothingAndHugeBoundsAreClipped)
{
    RenderNode broken = blended(BlendMode::Multiply);
    broken.matrix = {std::numeric_limits<double>::quiet_NaN(), 0, 0, 1, 0, 0};
    Canvas c(100, 100);
    c.draw(rootOf({backdrop(), broken}));
    EXPECT_TRUE(near(c.at(50, 50), QColor(100, 200, 250)));

    RenderNode huge = blended(BlendMode::Multiply);
    huge.matrix = {1e12, 0, 0, 1e12, -1e15, -1e15};
    Canvas h(100, 100);
    h.draw(rootOf({backdrop(), huge}));
    EXPECT_TRUE(near(h.at(50, 50), QColor(78, 78, 49)));
}

} // namespace

namespace {

// A layer's colour transform gives every pixel what transforming it alone gives,
// whatever runs of equal pixels, transparent gaps and alternations lie before it.
TEST(BlendMode, LayerColourTransformTreatsEachPixelAsItself)
{
    const QRgb pixels[] = {qPremultiply(qRgba(200, 100, 50, 255)), qPremultiply(qRgba(10, 220, 90, 128)), 0,
                           qPremultiply(qRgba(255, 255, 255, 1)), qPremultiply(qRgba(0, 0, 0, 255))};
    // Rows of runs, gaps and alternations built from those pixels.
    const std::vector<std::vector<int>> rows = {
        {0, 0, 0, 0, 1, 1, 2, 2, 0, 0}, {2, 0, 2, 0, 3, 3, 3, 4, 4, 1}, {1, 0, 1, 0, 1, 0, 2, 1, 1, 1}};
    ColorTransform cx;
    cx.rMul = 0.5f;
    cx.gAdd = 40;
    cx.aMul = 0.75f;
    cx.bAdd = -30;
    QImage layer(10, 3, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x)
            layer.setPixel(x, y, pixels[rows[size_t(y)][size_t(x)]]);
    QImage expected = layer;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) {
            QImage one(1, 1, QImage::Format_ARGB32_Premultiplied);
            one.setPixel(0, 0, layer.pixel(x, y));
            applyColorTransform(one, cx);
            expected.setPixel(x, y, one.pixel(0, 0));
        }
    applyColorTransform(layer, cx);
    EXPECT_TRUE(layer == expected);
    EXPECT_EQ(layer.pixel(2, 0), layer.pixel(0, 0)) << "a run is transformed alike";
    EXPECT_NE(layer.pixel(0, 0), pixels[0]) << "and transformed";
}

// Every channel value through transforms that clamp at both ends, and a pixel of each
// alpha: the layer's colours are the transform applied to the straight colour, then
// premultiplied again.
TEST(BlendMode, LayerColourTransformIsTheTransformOfTheStraightColour)
{
    std::vector<ColorTransform> transforms(3);
    transforms[0].rMul = 0.5f;
    transforms[0].gAdd = 40;
    transforms[0].bAdd = -30;
    transforms[0].aMul = 0.75f;
    transforms[1].rMul = 1.7f;
    transforms[1].gMul = -0.4f;
    transforms[1].gAdd = 200;
    transforms[1].bMul = 0.33f;
    transforms[1].aAdd = 60;
    transforms[2].rAdd = -255;
    transforms[2].aMul = 2.5f;
    transforms[2].aAdd = -100;
    QImage layer(256, 4, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 256; ++x) {
        layer.setPixel(x, 0, qRgba(x, 255 - x, x / 2, 255));
        layer.setPixel(x, 1, qPremultiply(qRgba(255 - x, x, (x * 7) % 256, x)));
        layer.setPixel(x, 2, qPremultiply(qRgba((x * 13) % 256, (x * 29) % 256, 255 - x, (x * 5) % 256)));
        layer.setPixel(x, 3, qPremultiply(qRgba(x, x, x, std::max(x, 1))));
    }
    for (const ColorTransform& cx : transforms) {
        QImage actual = layer;
        applyColorTransform(actual, cx);
        for (int y = 0; y < layer.height(); ++y) {
            for (int x = 0; x < layer.width(); ++x) {
                const QRgb in = layer.pixel(x, y);
                if (qAlpha(in) == 0) {
                    EXPECT_EQ(actual.pixel(x, y), in);
                    continue;
                }
                const QRgb straight = qUnpremultiply(in);
                const Rgba c = cx.apply(Rgba{uint8_t(qRed(straight)), uint8_t(qGreen(straight)), uint8_t(qBlue(straight)),
                                             uint8_t(qAlpha(straight))});
                ASSERT_EQ(actual.pixel(x, y), qPremultiply(qRgba(c.r, c.g, c.b, c.a))) << x << "," << y;
            }
        }
    }
}

} // namespace
