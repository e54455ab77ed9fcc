#include "engine/render/Renderer.h"

#include "engine/render/ShapeCache.h"
#include "engine/render/StylePaint.h"
#include "engine/render/TextDraw.h"

#include <QPainter>

#include <cmath>
#include <span>

namespace swf::render {

struct Renderer::Caches {
    ShapeCache shapes;
    const BitmapSource* bitmaps = nullptr;
    TextCaches text;
};

namespace {

// Pixel hinting: a stroke's points move to where the stroke covers whole pixels, so that
// a hinted line is crisp: onto pixel centres for odd widths, onto pixel edges for even.
void snapToPixels(QPainterPath& path, double width)
{
    const bool odd = static_cast<long long>(std::llround(width)) % 2 == 1;
    auto snap = [odd](double v) { return odd ? std::floor(v) + 0.5 : std::round(v); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        path.setElementPositionAt(i, snap(e.x), snap(e.y));
    }
}

// One frame's walk over the render tree.
class FrameDrawer {
public:
    FrameDrawer(QPainter& painter, ShapeCache& cache, const BitmapSource* bitmaps, bool smooth)
        : painter_(painter), cache_(cache), bitmaps_(bitmaps), smooth_(smooth)
    {
    }

    // Glyph and text paths; without them texts and text fields draw nothing.
    void setTextCaches(TextCaches* text) { text_ = text; }

    void drawRange(std::span<const RenderNode> nodes, const Matrix& parent, const ColorTransform& parentCx)
    {
        size_t i = 0;
        while (i < nodes.size()) {
            const RenderNode& node = nodes[i];
            if (node.clipDepth == 0) {
                if (node.visible)
                    drawNode(node, parent, parentCx);
                ++i;
                continue;
            }
            // A mask covers the siblings after it up to its clip depth; it is never drawn.
            size_t end = i + 1;
            while (end < nodes.size() && nodes[end].depth <= node.clipDepth)
                ++end;
            drawMasked(node, nodes.subspan(i + 1, end - i - 1), parent, parentCx);
            i = end;
        }
    }

private:
    void drawNode(const RenderNode& node, const Matrix& parent, const ColorTransform& parentCx)
    {
        const Matrix world = parent * node.matrix;
        const ColorTransform cx = parentCx * node.colorTransform;
        if (node.shape)
            drawShape(cache_.shape(node.shape), world, cx);
        else if (node.morph)
            drawShape(cache_.morph(node.morph, node.morphRatio), world, cx);
        else if (node.text && text_)
            drawStaticText(painter_, *text_, node.text, world, cx);
        else if (node.editText && text_)
            drawEditText(painter_, *text_, node.editText, world, cx);
        drawRange(node.children, world, cx);
    }

    void drawMasked(const RenderNode& mask, std::span<const RenderNode> masked, const Matrix& parent,
                    const ColorTransform& parentCx)
    {
        if (masked.empty())
            return;
        QPainterPath clip;
        clip.setFillRule(Qt::WindingFill);
        addMaskArea(mask, parent, clip);
        painter_.save();
        painter_.resetTransform();
        painter_.setClipPath(clip, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        drawRange(masked, parent, parentCx);
        painter_.restore();
    }

    // The mask's filled area in device pixels: its own shape and its children's.
    void addMaskArea(const RenderNode& node, const Matrix& parent, QPainterPath& clip)
    {
        const Matrix world = parent * node.matrix;
        CachedShape* shape = nullptr;
        if (node.shape)
            shape = &cache_.shape(node.shape);
        else if (node.morph)
            shape = &cache_.morph(node.morph, node.morphRatio);
        if (shape && !shape->area().isEmpty())
            clip.addPath(toQTransform(world).map(shape->area()));
        if (node.text && text_)
            clip.addPath(staticTextArea(*text_, node.text, world));
        for (const RenderNode& child : node.children) {
            if (child.clipDepth == 0)
                addMaskArea(child, world, clip);
        }
    }

    void drawShape(CachedShape& cached, const Matrix& world, const ColorTransform& cx)
    {
        if (cx.aMul <= 0 && cx.aAdd <= 0)
            return;  // fully transparent
        const ShapeDef& shape = *cached.shape;
        const QTransform toDevice = toQTransform(world);
        for (const StylePath& p : cached.paths.paths) {
            if (p.role == PathRole::Fill) {
                const FillStyle& fill = shape.fillStyles[p.style];
                painter_.setTransform(toDevice);
                if (fill.kind == FillKind::Bitmap) {
                    painter_.setRenderHint(QPainter::SmoothPixmapTransform, smooth_ && fill.bitmapSmoothed);
                    if (!fill.bitmapRepeats) {
                        fillClampedBitmap(painter_, p.path, fill, cx, toDevice, bitmaps_);
                        continue;
                    }
                }
                painter_.fillPath(p.path, fillBrush(fill, cx, QTransform(), bitmaps_));
            } else {
                const LineStyle& line = shape.lineStyles[p.style];
                // Strokes are drawn in device pixels so that their width rules (minimum
                // one pixel, axes that do not scale) are applied to the final size.
                painter_.resetTransform();
                QPainterPath path = toDevice.map(p.path);
                if (line.pixelHinting)
                    snapToPixels(path, strokeWidth(line, world));
                painter_.strokePath(path, strokePen(line, cx, world, bitmaps_));
            }
        }
        painter_.resetTransform();
    }

    QPainter& painter_;
    ShapeCache& cache_;
    const BitmapSource* bitmaps_;
    bool smooth_;
    TextCaches* text_ = nullptr;
};

} // namespace

Renderer::Renderer() : caches_(std::make_unique<Caches>()) {}

Renderer::~Renderer() = default;

void Renderer::setBitmapSource(const BitmapSource* bitmaps)
{
    caches_->bitmaps = bitmaps;
}

void Renderer::clearCaches()
{
    caches_->shapes.clear();
    caches_->text.clear();
}

void Renderer::render(QPainter& painter, const RenderNode& root, const Matrix& twipsToDevice, Quality quality)
{
    painter.save();
    const bool smooth = quality != Quality::Low;
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.setPen(Qt::NoPen);
    FrameDrawer drawer(painter, caches_->shapes, caches_->bitmaps, smooth);
    drawer.setTextCaches(&caches_->text);
    drawer.drawRange(root.children, twipsToDevice * root.matrix, root.colorTransform);
    painter.restore();
}

} // namespace swf::render
