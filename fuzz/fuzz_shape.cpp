// Shape parsing and drawing: the first byte picks the tag (DefineShape 1-4 or
// DefineMorphShape 1-2), the rest is its body after the character id. What parses is
// drawn through the renderer, scaled so that its bounds fill a small image.

#include "engine/format/Reader.h"
#include "engine/format/Shape.h"
#include "engine/render/RenderTree.h"
#include "engine/render/Renderer.h"
#include "fuzz/FuzzSupport.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>

namespace {

constexpr std::array<int, 6> kTagCodes{2, 22, 32, 83, 46, 84};

// Maps the node's bounds onto the canvas, as the stage transform would for a movie.
swf::Matrix fitting(const swf::Rect& bounds, const QImage& canvas)
{
    // In doubles: absurd bounds may not even have a width that fits in 32 bits.
    double w = std::max(1.0, double(bounds.xMax) - bounds.xMin);
    double h = std::max(1.0, double(bounds.yMax) - bounds.yMin);
    double scale = std::min(canvas.width() / w, canvas.height() / h);
    swf::Matrix m;
    m.a = scale;
    m.d = scale;
    m.tx = -double(bounds.xMin) * scale;
    m.ty = -double(bounds.yMin) * scale;
    return m;
}

void draw(swf::render::RenderNode node, const swf::Rect& bounds)
{
    lanfan::fuzz::ensureGuiApplication();
    QImage canvas = lanfan::fuzz::smallCanvas();
    QPainter painter(&canvas);
    swf::render::RenderNode root;
    root.children.push_back(std::move(node));
    swf::render::Renderer renderer;
    renderer.render(painter, root, fitting(bounds, canvas), swf::render::Quality::High);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int tagCode = kTagCodes[data[0] % kTagCodes.size()];
    swf::ByteReader body(std::span<const uint8_t>(data + 1, size - 1));
    try {
        swf::render::RenderNode node;
        node.depth = 1;
        if (tagCode == 46 || tagCode == 84) {
            auto morph = swf::parseDefineMorphShape(tagCode, body);
            double ratio = (data[0] >> 3) / 31.0;
            node.morph = morph;
            node.morphRatio = ratio;
            draw(std::move(node), swf::morphBounds(*morph, ratio));
        } else {
            auto shape = swf::parseDefineShape(tagCode, body);
            node.shape = shape;
            draw(std::move(node), swf::shapeBounds(*shape));
        }
    } catch (const swf::FormatError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
