#pragma once

// Renders small trees into QImages and reads back pixels for the render tests.

#include "engine/render/Renderer.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace lanfan::test {

inline swf::render::RenderNode shapeNode(std::shared_ptr<const swf::ShapeDef> shape, uint16_t depth = 1)
{
    swf::render::RenderNode node;
    node.depth = depth;
    node.shape = std::move(shape);
    return node;
}

inline swf::Matrix translate(double tx, double ty)
{
    return {1, 0, 0, 1, tx, ty};
}

inline swf::Matrix scale(double sx, double sy)
{
    return {sx, 0, 0, sy, 0, 0};
}

// One pixel is 20 twips unless the test passes its own stage matrix.
inline const swf::Matrix kTwipsToPixels = scale(1 / 20.0, 1 / 20.0);

class Canvas {
public:
    Canvas(int width, int height, QColor background = Qt::white)
        : image_(width, height, QImage::Format_ARGB32_Premultiplied)
    {
        image_.fill(background);
    }

    Canvas& draw(swf::render::Renderer& renderer, const swf::render::RenderNode& root,
                 const swf::Matrix& toDevice = kTwipsToPixels, swf::render::Quality quality = swf::render::Quality::High)
    {
        QPainter painter(&image_);
        renderer.render(painter, root, toDevice, quality);
        return *this;
    }

    Canvas& draw(const swf::render::RenderNode& root, const swf::Matrix& toDevice = kTwipsToPixels,
                 swf::render::Quality quality = swf::render::Quality::High)
    {
        swf::render::Renderer renderer;
        return draw(renderer, root, toDevice, quality);
    }

    QColor at(int x, int y) const { return QColor::fromRgba(image_.pixel(x, y)); }
    const QImage& image() const { return image_; }

private:
    QImage image_;
};

inline swf::render::RenderNode rootOf(std::vector<swf::render::RenderNode> children)
{
    swf::render::RenderNode root;
    root.children = std::move(children);
    return root;
}

// Channel-wise comparison with a tolerance for anti-aliasing and rounding.
inline ::testing::AssertionResult near(const QColor& actual, const QColor& expected, int tolerance = 3)
{
    auto off = [&](int a, int b) { return std::abs(a - b) > tolerance; };
    if (off(actual.red(), expected.red()) || off(actual.green(), expected.green())
        || off(actual.blue(), expected.blue()) || off(actual.alpha(), expected.alpha())) {
        return ::testing::AssertionFailure() << "got " << actual.name(QColor::HexArgb).toStdString() << ", expected "
                                             << expected.name(QColor::HexArgb).toStdString();
    }
    return ::testing::AssertionSuccess();
}

} // namespace lanfan::test
