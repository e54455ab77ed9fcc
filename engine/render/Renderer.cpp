#include "engine/render/Renderer.h"

#include "engine/render/AliasedFill.h"
#include "engine/render/BlendLayer.h"
#include "engine/render/CachedBitmap.h"
#include "engine/render/Filters.h"
#include "engine/render/ShapeCache.h"
#include "engine/render/SpanFill.h"
#include "engine/render/StylePaint.h"
#include "engine/render/TextDraw.h"
#include "engine/render/VideoDraw.h"
#include "engine/format/Video.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <cmath>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>

namespace swf::render {

struct Renderer::Caches {
    ShapeCache shapes;
    const BitmapSource* bitmaps = nullptr;
    TextCaches text;
    SurfaceCache surfaces;
    VideoSource* videos = nullptr;
};

namespace {

// The reference player's largest bitmap: 8191 pixels a side, 16,777,215 in all.
constexpr double kMaxSurfaceSide = 8191;
constexpr double kMaxSurfacePixels = 16777215;

// A one-pixel line at low quality whose centre runs along a pixel edge could light the
// pixels on either side of it. On the stage and in blend layers the reference player
// lights those left of a vertical line and above a horizontal one, where the painter
// lights the others; such lines move off the edge by the painter's smallest step,
// which leaves lines that cross pixel edges elsewhere where they were. There its lines
// also end without caps: a line from row 100 to row 200 lights rows 100 to 199. In a
// cached or filtered object's surface, which sits on the pixel grid, the step is not
// taken: level and upright lines light the pixels they run through (see
// levelLinePixels), others the pixels whose centres lie within half a pixel of them.
constexpr double kEdgeStep = 1.0 / 64;

// The pixels a one-pixel line at low quality lights, for a path of level and upright
// lines only (boxes, grids), as the reference player lights them: along a line those
// whose centres lie between its ends, ends included, whichever way it runs; across
// it the pixel it runs through, or the one left of or above it where it runs along a
// pixel edge. Where two such lines meet on a pixel edge at a box's left corner,
// neither lights the corner. Worked in whole twips, as the reference player does, so
// that ends on a pixel centre are found there. In a cached or filtered object's
// surface (placed on the pixel grid, see onSurfaceGrid), and for hairlines (thinner
// than a pixel) anywhere, the reference player lights the pixels the line runs
// through, from the one holding its start to the one holding its end, both included;
// along a pixel edge, the pixels right of or below it. `byPoints` asks for that rule.
// Empty where the path has other lines or curves, or more lines than a region joins
// quickly (Qt then draws them).
QRegion levelLinePixels(const QPainterPath& path, bool byPoints)
{
    constexpr int kMaxElements = 1024;
    if (path.elementCount() > kMaxElements)
        return {};
    QRegion out;
    int64_t lastX = 0, lastY = 0;
    auto floorDiv = [](int64_t a, int64_t b) { return a / b - ((a % b) < 0 ? 1 : 0); };
    auto ceilDiv = [&](int64_t a, int64_t b) { return -floorDiv(-a, b); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (!(std::abs(e.x) < 1e6) || !(std::abs(e.y) < 1e6))
            return {};
        const int64_t x = std::llround(e.x * 20), y = std::llround(e.y * 20);
        if (e.isMoveTo()) {
            lastX = x;
            lastY = y;
            continue;
        }
        if (!e.isLineTo() || (x != lastX && y != lastY))
            return {};
        // Pixel k's centre is at 20 k + 10 twips.
        auto along = [&](int64_t a, int64_t b) {
            if (byPoints)
                return std::pair{floorDiv(std::min(a, b), 20), floorDiv(std::max(a, b), 20) + 1};
            return std::pair{ceilDiv(std::min(a, b) - 10, 20), floorDiv(std::max(a, b) - 10, 20) + 1};
        };
        auto across = [&](int64_t c) { return byPoints ? floorDiv(c, 20) : ceilDiv(c, 20) - 1; };
        if (y == lastY) {
            const auto [from, to] = along(x, lastX);
            if (to > from)
                out += QRect(int(from), int(across(y)), int(to - from), 1);
        } else {
            const auto [from, to] = along(y, lastY);
            if (to > from)
                out += QRect(int(across(x)), int(from), 1, int(to - from));
        }
        lastX = x;
        lastY = y;
    }
    return out;
}

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

// What a node draws itself covers in twips: a shape's or a text's bounds, a morph's at
// the ratio it is drawn at.
Rect boundsOf(const RenderNode& node)
{
    if (node.shape)
        return node.shape->bounds;
    if (node.text)
        return node.text->bounds;
    if (node.textField)
        return node.textField->bounds;
    if (node.editText)
        return node.editText->bounds;
    if (node.video)
        return node.video->bounds();
    const Rect& a = node.morph->startBounds;
    const Rect& b = node.morph->endBounds;
    const double t = std::isfinite(node.morphRatio) ? std::clamp(node.morphRatio, 0.0, 1.0) : 0.0;
    auto mix = [t](int32_t from, int32_t to) { return static_cast<int32_t>(std::lround(from + (to - from) * t)); };
    return {mix(a.xMin, b.xMin), mix(a.xMax, b.xMax), mix(a.yMin, b.yMin), mix(a.yMax, b.yMax)};
}

// Grows `area` by what `node` and its drawn children cover in device pixels, from their
// declared bounds (strokes included). Masks are left out: they are never drawn.
void addDeviceBounds(const RenderNode& node, const Matrix& world, QRectF& area)
{
    if (node.drawing) {
        RenderNode drawn;
        drawn.shape = node.drawing;
        addDeviceBounds(drawn, world, area);
    }
    if (node.shape || node.morph || node.text || node.editText || node.textField || node.video) {
        const Box box = world.mapRect(boundsOf(node));
        const double x0 = box.xMin, x1 = box.xMax, y0 = box.yMin, y1 = box.yMax;
        // NaN fails every comparison, so this also drops matrices that went bad.
        if (x0 <= x1 && y0 <= y1 && std::isfinite(x0) && std::isfinite(x1) && std::isfinite(y0) && std::isfinite(y1))
            area = area.isNull() ? QRectF(QPointF(x0, y0), QPointF(x1, y1)) : area.united(QRectF(QPointF(x0, y0), QPointF(x1, y1)));
    }
    for (const RenderNode& child : node.children) {
        if (child.visible && child.clipDepth == 0)
            addDeviceBounds(child, world * child.matrix, area);
    }
}

// One frame's walk over the render tree.
class FrameDrawer {
public:
    // `layer`: the image `painter` draws on when this walk fills a blend layer.
    FrameDrawer(QPainter& painter, ShapeCache& cache, const BitmapSource* bitmaps, bool smooth, QImage* layer = nullptr)
        : painter_(painter), cache_(cache), bitmaps_(bitmaps), smooth_(smooth), layer_(layer)
    {
    }

    // Glyph and text paths; without them texts and text fields draw nothing.
    void setTextCaches(TextCaches* text) { text_ = text; }
    // Where videos get their pictures; without one they draw nothing.
    void setVideoSource(VideoSource* videos) { videos_ = videos; }

    // Where surfaces of cached and filtered objects are kept between frames (none:
    // drawn afresh each time), and the stage scale filters are drawn at.
    void setSurfaces(SurfaceCache* surfaces, FilterScale scale)
    {
        surfaces_ = surfaces;
        filterScale_ = scale;
    }

    // A drawer for an off-screen layer or surface, with every source this one has, so
    // that text, video and nested filtered objects draw there as they do on screen.
    FrameDrawer innerDrawer(QPainter& painter, QImage* target) const
    {
        FrameDrawer inner(painter, cache_, bitmaps_, smooth_, target);
        inner.setTextCaches(text_);
        inner.setVideoSource(videos_);
        inner.setSurfaces(surfaces_, filterScale_);
        inner.inSurface_ = inSurface_;
        return inner;
    }

    // `drawing`: what scripts drew into the clip that holds `nodes`, drawn first.
    void drawRange(std::span<const RenderNode> nodes, const Matrix& parent, const ColorTransform& parentCx,
                   const std::shared_ptr<const ShapeDef>& drawing = nullptr)
    {
        if (drawing)
            drawShape(cache_.drawing(drawing), parent, parentCx);
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
        if (node.scriptMask) {
            // Seen only through the mask a script gave it.
            QPainterPath clip;
            clip.setFillRule(Qt::WindingFill);
            addMaskArea(*node.scriptMask, parent, clip);
            if (drawMaskedThroughLayer(clip, std::span<const RenderNode>(&node, 1), parent, parentCx, true))
                return;
            painter_.save();
            painter_.resetTransform();
            painter_.setClipPath(clip, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
            drawNodeUnmasked(node, parent, parentCx);
            painter_.restore();
            return;
        }
        drawNodeUnmasked(node, parent, parentCx);
    }

    void drawNodeUnmasked(const RenderNode& node, const Matrix& parent, const ColorTransform& parentCx)
    {
        // A loaded movie's shapes fill from its own bitmaps, for the whole subtree.
        const BitmapSource* outer = bitmaps_;
        if (node.bitmaps)
            bitmaps_ = node.bitmaps.get();
        drawNodeWith(node, parent, parentCx);
        bitmaps_ = outer;
    }

    void drawNodeWith(const RenderNode& node, const Matrix& parent, const ColorTransform& parentCx)
    {
        Matrix world = parent * node.matrix;
        const ColorTransform cx = parentCx * node.colorTransform;
        if (node.scrollRect) {
            // Only the window is seen, its top-left at the node's origin.
            const Rect& r = *node.scrollRect;
            if (r.width() <= 0 || r.height() <= 0)
                return;
            const QTransform toDevice = toQTransform(world);
            const QRectF area(0, 0, r.width(), r.height());
            painter_.save();
            painter_.resetTransform();
            const Qt::ClipOperation op = painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip;
            const QRectF box = toDevice.mapRect(area);
            if (!smooth_ && toDevice.type() <= QTransform::TxScale && std::abs(box.left()) < 1e6 && std::abs(box.top()) < 1e6
                && box.width() < 1e6 && box.height() < 1e6) {
                // At low quality the window shows the pixels whose centres it covers,
                // as fills do, wherever its edges fall between pixels.
                auto first = [](double v) { return int(std::ceil(v - 0.5)); };
                painter_.setClipRect(QRect(QPoint(first(box.left()), first(box.top())),
                                           QPoint(first(box.right()) - 1, first(box.bottom()) - 1)),
                                     op);
            } else {
                QPainterPath window;
                window.addRect(area);
                painter_.setClipPath(toDevice.map(window), op);
            }
            world = world * Matrix{1, 0, 0, 1, -double(r.xMin), -double(r.yMin)};
        }
        if (drawsThroughSurface(node))
            drawThroughSurface(node, world, cx);
        else if (node.blendMode != BlendMode::Normal)
            drawBlended(node, world, cx);
        else
            drawContent(node, world, cx);
        if (node.scrollRect)
            painter_.restore();
    }

    // What the node draws itself and its children, in place.
    void drawContent(const RenderNode& node, const Matrix& world, const ColorTransform& cx)
    {
        if (node.opaqueBackground)
            fillBackground(node, world, cx);
        if (node.drawing)
            drawShape(cache_.drawing(node.drawing), world, cx);
        if (node.shape)
            drawShape(cache_.shape(node.shape), world, cx);
        else if (node.morph)
            drawShape(cache_.morph(node.morph, node.morphRatio), world, cx);
        else if (node.text && text_)
            drawStaticText(painter_, *text_, node.text, world, cx);
        else if (node.textField && text_)
            drawTextField(painter_, *text_, *node.textField, world, cx);
        else if (node.editText && text_)
            drawEditText(painter_, *text_, node.editText, world, cx);
        else if (node.video && videos_)
            drawVideo(painter_, videos_->picture(node.video, node.videoFrame), *node.video, world, cx, smooth_);
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
        if (drawMaskedThroughLayer(clip, masked, parent, parentCx))
            return;
        painter_.save();
        painter_.resetTransform();
        painter_.setClipPath(clip, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        drawRange(masked, parent, parentCx);
        painter_.restore();
    }

    // Qt cuts every span filled under a clip path against the clip's spans one by one,
    // which costs more than the fill itself when many small shapes sit under a curved
    // mask. Instead the masked objects are drawn unclipped into a layer the size of the
    // mask's bounds, the mask's area (filled as the clip would be: anti-aliased at
    // the qualities that smooth edges, as the reference player's masks are) cuts the
    // layer once, and the layer is drawn in their place. Blend
    // modes read and change what lies below them, which a layer would hide from them:
    // masked objects with one are clipped as before. False when not drawn here.
    // `scriptMasked`: `masked` is the one node a script's mask covers, drawn here
    // without it.
    bool drawMaskedThroughLayer(const QPainterPath& clip, std::span<const RenderNode> masked, const Matrix& parent,
                                const ColorTransform& parentCx, bool scriptMasked = false)
    {
        // The layer need not reach past what the masked objects cover, unless filters
        // draw past their bounds or a scroll window shifts what it shows.
        QRectF drawn;
        bool spills = false;
        for (const RenderNode& node : masked) {
            if (blendsBelow(node, spills))
                return false;
            if (node.visible && node.clipDepth == 0)
                addDeviceBounds(node, parent * node.matrix, drawn);
        }
        painter_.resetTransform();
        QRectF visible(0, 0, painter_.device()->width(), painter_.device()->height());
        if (painter_.hasClipping())
            visible = visible.intersected(painter_.clipBoundingRect());
        QRectF reach = clip.boundingRect();
        if (!spills)
            reach = reach.intersected(drawn.adjusted(-1, -1, 1, 1));
        const QRect area = reach.intersected(visible).toAlignedRect().intersected(visible.toAlignedRect());
        if (area.isEmpty())
            return true;  // nothing of the masked objects can be seen
        QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
        if (layer.isNull())
            return false;  // out of memory: clip instead
        // The mask's area, kept from earlier frames where the mask has not moved.
        const QImage cut = cache_.maskCuts().cut(clip, area, smooth_, [&] {
            QImage made(area.size(), QImage::Format_Alpha8);
            if (made.isNull())
                return made;
            made.fill(Qt::transparent);
            QPainter p(&made);
            p.setRenderHint(QPainter::Antialiasing, smooth_);
            p.setPen(Qt::NoPen);
            p.translate(-area.x(), -area.y());
            p.fillPath(clip, Qt::black);
            return made;
        });
        if (cut.isNull())
            return false;
        layer.fill(Qt::transparent);
        const Matrix toLayer{1, 0, 0, 1, -double(area.x()), -double(area.y())};
        {
            QPainter p(&layer);
            p.setRenderHint(QPainter::Antialiasing, smooth_);
            p.setPen(Qt::NoPen);
            FrameDrawer inner = innerDrawer(p, nullptr);
            if (scriptMasked)
                inner.drawNodeUnmasked(masked.front(), toLayer * parent, parentCx);
            else
                inner.drawRange(masked, toLayer * parent, parentCx);
        }
        if (blendCutLayer(painter_, area.topLeft(), layer, cut))
            return true;
        {
            QPainter p(&layer);
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.drawImage(0, 0, cut);
        }
        painter_.drawImage(area.topLeft(), layer);
        return true;
    }

    // Whether `node` or a node under it has a blend mode that reads what lies below;
    // `spills` is set where one draws outside its declared bounds (filters, scroll
    // windows).
    static bool blendsBelow(const RenderNode& node, bool& spills)
    {
        if ((node.filters && !node.filters->empty()) || node.scrollRect)
            spills = true;
        if (node.blendMode != BlendMode::Normal && node.blendMode != BlendMode::Layer)
            return true;
        for (const RenderNode& child : node.children) {
            if (blendsBelow(child, spills))
                return true;
        }
        return false;
    }

    // The mask's filled area in device pixels: its own shape and its children's.
    void addMaskArea(const RenderNode& node, const Matrix& parent, QPainterPath& clip)
    {
        const Matrix world = parent * node.matrix;
        if (node.drawing) {
            CachedShape& drawing = cache_.drawing(node.drawing);
            if (!drawing.area().isEmpty())
                clip.addPath(toQTransform(world).map(drawing.area()));
        }
        CachedShape* shape = nullptr;
        if (node.shape)
            shape = &cache_.shape(node.shape);
        else if (node.morph)
            shape = &cache_.morph(node.morph, node.morphRatio);
        if (shape && !shape->area().isEmpty())
            clip.addPath(toQTransform(world).map(shape->area()));
        if (node.text && text_)
            clip.addPath(staticTextArea(*text_, node.text, world));
        if (node.textField && text_)
            clip.addPath(textFieldArea(*text_, *node.textField, world));
        else if (node.editText && text_)
            clip.addPath(editTextArea(*text_, node.editText, world));
        if (node.video)
            clip.addPath(videoMaskArea(*node.video, world));
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
        // Kept paths: in shape space for a matrix that scales evenly, on the device for
        // its linear part otherwise.
        const double even = evenScale(world);
        const KeptPaths* flat = even > 0 ? cached.flat(world, even) : nullptr;
        const KeptPaths* device = even > 0 ? nullptr : cached.device(world);
        const size_t keptBefore = cached.keptBytes();
        for (size_t i = 0; i < cached.paths.paths.size(); ++i) {
            const StylePath& p = cached.paths.paths[i];
            // Without anti-aliasing the painter's own stroking covers other pixels than
            // filling an outline does, and those are the pixels low quality shows.
            const bool keptStroke = p.role == PathRole::Stroke && smooth_;
            if (!smooth_ && p.role == PathRole::Fill && fillAliased(cached, i, toDevice, cx))
                continue;
            if (keptStroke && drawHairline(p, shape, world, toDevice, cx))
                continue;
            if (flat && flat->paths[i] && (p.role == PathRole::Fill || keptStroke)) {
                painter_.setTransform(toDevice);
                if (p.role == PathRole::Fill) {
                    fillKept(*flat, i, p, shape, QTransform(), cx);
                    continue;
                }
                // Hairlines and strokes that do not scale need another width as the
                // shape is resized: outlined afresh, the way the kept one was made.
                const LineStyle& line = shape.lineStyles[p.style];
                const double width = strokeWidth(line, world) / even;
                if (std::abs(width - flat->strokeWidths[i]) <= 1e-6 * width)
                    fillKept(*flat, i, p, shape, QTransform(), cx);
                else
                    fillStroke(strokeOutline(p.path, line, width, keptScale(even)), line, cx, QTransform());
                continue;
            }
            if (device && device->paths[i] && (p.role == PathRole::Fill || keptStroke)) {
                painter_.setTransform(QTransform::fromTranslate(world.tx, world.ty));
                fillKept(*device, i, p, shape, QTransform(world.a, world.b, world.c, world.d, 0, 0), cx);
                continue;
            }
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
                if (line.pixelHinting || !smooth_) {
                    QPen pen = strokePen(line, cx, world, bitmaps_);
                    if (line.pixelHinting) {
                        snapToPixels(path, strokeWidth(line, world));
                    } else if (strokeWidth(line, world) <= 1) {
                        // On the stage a shape that stays put keeps its line pixels; a
                        // surface is kept whole, its lines worked out when it is drawn.
                        const QSize size(painter_.device()->width(), painter_.device()->height());
                        const bool hairline = line.width * strokeScale(line, world) < 1;
                        auto make = [&](std::vector<QRect>& out) {
                            const QRegion region = levelLinePixels(path, inSurface_ || hairline);
                            out.assign(region.begin(), region.end());
                            return !out.empty();
                        };
                        std::vector<QRect> own;
                        const std::vector<QRect>* pixels = inSurface_ ? (make(own) ? &own : nullptr)
                                                                      : cached.pixelRects(i, toDevice, size, make);
                        if (pixels) {
                            for (const QRect& r : *pixels)
                                painter_.fillRect(r, pen.brush());
                            continue;
                        }
                        if (!inSurface_) {
                            path.translate(-kEdgeStep, -kEdgeStep);
                            pen.setCapStyle(Qt::FlatCap);
                        } else {
                            // In a surface on the pixel grid the reference player's
                            // slanted and curved one-pixel lines light the pixels whose
                            // centres lie within half a pixel of them, as a one-pixel
                            // outline filled like a shape.
                            const QPainterPath outline = aliasedOutline(strokeOutline(path, line, 1.0, 1.0), QTransform());
                            if (aliasedFill(painter_, outline, pen.brush()))
                                continue;
                        }
                    }
                    painter_.strokePath(path, pen);
                } else {
                    fillStroke(strokeOutline(path, line, strokeWidth(line, world), 1.0), line, cx, toDevice);
                }
            }
        }
        if (flat || device)
            cached.recount(keptBefore);
        painter_.resetTransform();
    }

    // A stroke no wider than a pixel on the device (a hairline, or scaled down to
    // one) is one pixel wide whatever the shape's size: it is drawn as a line the
    // painter keeps one pixel wide, which needs no outline. False for other strokes.
    bool drawHairline(const StylePath& p, const ShapeDef& shape, const Matrix& world, const QTransform& toDevice,
                      const ColorTransform& cx)
    {
        const LineStyle& line = shape.lineStyles[p.style];
        const double scaled = line.width * strokeScale(line, world);
        if (line.pixelHinting || !(scaled <= 1))
            return false;
        QPen pen = strokeShapePen(line, 1);
        pen.setCosmetic(true);
        pen.setBrush(strokeBrush(line, cx, QTransform(), bitmaps_));
        painter_.setTransform(toDevice);
        painter_.strokePath(p.path, pen);
        return true;
    }

    // Kept path `i` (a fill or stroke outline), filled under the painter's transform;
    // `brushTo` maps the style's brush from shape space into the kept path's units.
    // Solid ones go through the span fill with the runs kept for that path.
    void fillKept(const KeptPaths& kept, size_t i, const StylePath& p, const ShapeDef& shape,
                  const QTransform& brushTo, const ColorTransform& cx)
    {
        const QPainterPath& path = *kept.paths[i];
        if (p.role == PathRole::Stroke) {
            const LineStyle& line = shape.lineStyles[p.style];
            if (!line.hasFill && kept.spanFill(i, painter_, painter_.transform(), premultiplied(line.color, cx)))
                return;
            painter_.fillPath(path, strokeBrush(line, cx, brushTo, bitmaps_));
            return;
        }
        const FillStyle& fill = shape.fillStyles[p.style];
        if (fill.kind == FillKind::Solid && kept.spanFill(i, painter_, painter_.transform(), premultiplied(fill.color, cx)))
            return;
        if (fill.kind == FillKind::Bitmap)
            painter_.setRenderHint(QPainter::SmoothPixmapTransform, smooth_ && fill.bitmapSmoothed);
        painter_.fillPath(path, fillBrush(fill, cx, brushTo, bitmaps_));
    }

    static uint32_t premultiplied(Rgba colour, const ColorTransform& cx)
    {
        return qPremultiply(toQColor(colour, cx).rgba());
    }

    // A fill at low quality, the pixels whose centres it covers (see AliasedFill);
    // false for fills drawn another way (clamped bitmaps). In a cached or filtered
    // object's surface too, once the surface sits on the pixel grid (onSurfaceGrid).
    bool fillAliased(CachedShape& cached, size_t i, const QTransform& toDevice, const ColorTransform& cx)
    {
        const StylePath& p = cached.paths.paths[i];
        const ShapeDef& shape = *cached.shape;
        if (p.style >= shape.fillStyles.size())
            return false;
        const FillStyle& fill = shape.fillStyles[p.style];
        if (fill.kind == FillKind::Bitmap && !fill.bitmapRepeats)
            return false;
        painter_.resetTransform();
        const QBrush brush = fillBrush(fill, cx, toDevice, bitmaps_);
        if (fill.kind == FillKind::Bitmap)
            painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
        const QSize size(painter_.device()->width(), painter_.device()->height());
        const std::vector<QRect>* runs = cached.pixelRects(i, toDevice, size, [&](std::vector<QRect>& out) {
            return aliasedRuns(aliasedOutline(p.path, toDevice), size.width(), size.height(), out);
        });
        if (runs)
            fillRuns(painter_, *runs, brush);
        else
            painter_.fillPath(aliasedOutline(p.path, toDevice), brush);
        return true;
    }

    // A stroke's outline (flattened), filled under the painter's transform; `brushTo`
    // as for fillKept.
    void fillStroke(const QPainterPath& outline, const LineStyle& line, const ColorTransform& cx,
                    const QTransform& brushTo)
    {
        if (!line.hasFill && spanFillSolid(outline, line.color, cx))
            return;
        painter_.fillPath(outline, strokeBrush(line, cx, brushTo, bitmaps_));
    }

    // A kept path in one colour filled by spanFill, which gives Qt's pixels in less
    // time for busy outlines; false where Qt must fill it.
    bool spanFillSolid(const QPainterPath& path, Rgba colour, const ColorTransform& cx)
    {
        return spanFill(painter_, path, painter_.transform(), premultiplied(colour, cx));
    }

    // A node with a blend mode: it and its children are drawn into a layer the size of
    // their device bounds, with no colour transform; the node's colour transform then
    // applies to the layer as a whole (so a layer's alpha fades the group, not each
    // child), and the layer meets what lies below in the node's mode.
    void drawBlended(const RenderNode& node, const Matrix& world, const ColorTransform& cx)
    {
        const BlendMode mode = node.blendMode;
        const bool cuts = mode == BlendMode::Alpha || mode == BlendMode::Erase;
        // Alpha and erase act on the layer they sit in; on the stage itself there is
        // none, and the reference player then shows nothing of the object.
        if (cuts && !layer_)
            return;
        if (!cuts && cx.aMul <= 0 && cx.aAdd <= 0)
            return;  // fully transparent
        const QRect area = layerArea(node, world);
        if (area.isEmpty())
            return;
        QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
        if (layer.isNull())
            return;  // out of memory: draw nothing rather than fail
        layer.fill(Qt::transparent);
        {
            QPainter p(&layer);
            p.setRenderHint(QPainter::Antialiasing, smooth_);
            p.setPen(Qt::NoPen);
            FrameDrawer inner = innerDrawer(p, &layer);
            const Matrix toLayer{1, 0, 0, 1, -double(area.x()), -double(area.y())};
            inner.drawContent(node, toLayer * world, ColorTransform{});
        }
        applyColorTransform(layer, cx);
        composite(layer, area.topLeft(), mode);
    }

    // The device pixels a blend layer needs: the node's bounds within what can be seen,
    // and a pixel round them that anti-aliasing may spill into. In every mode the
    // layer's empty pixels change nothing below.
    QRect layerArea(const RenderNode& node, const Matrix& world)
    {
        QRectF bounds;
        addDeviceBounds(node, world, bounds);
        if (bounds.isNull())
            return {};
        bounds.adjust(-1, -1, 1, 1);
        painter_.resetTransform();
        QRectF visible(0, 0, painter_.device()->width(), painter_.device()->height());
        if (painter_.hasClipping())
            visible = visible.intersected(painter_.clipBoundingRect());
        // Intersecting first keeps huge bounds from overflowing the integer rectangle.
        return bounds.intersected(visible).toAlignedRect().intersected(visible.toAlignedRect());
    }

    // A scroll window caches its content as the reference player does.
    static bool drawsThroughSurface(const RenderNode& node)
    {
        return node.cacheAsBitmap || node.scrollRect || (node.filters && !node.filters->empty());
    }

    // An opaque background fills the box round what the node draws, beneath it.
    void fillBackground(const RenderNode& node, const Matrix& world, const ColorTransform& cx)
    {
        RenderNode content = node;
        content.opaqueBackground.reset();
        QRectF bounds;
        addDeviceBounds(content, world, bounds);
        if (bounds.isNull())
            return;
        const Rgba c = cx.apply(*node.opaqueBackground);
        painter_.resetTransform();
        painter_.fillRect(bounds, QColor(c.r, c.g, c.b, c.a));
    }

    // The reference player keeps a cached or filtered object's bitmap on whole device
    // pixels: the object is drawn into it from the top-left corner of its bounds (of
    // its scroll window, where it has one), and the bitmap lands with that corner on
    // the nearest pixel edge, halves going right and down. What the object draws thus
    // moves by up to half a pixel, which at low quality decides the pixels its edges
    // light and so where its filters spread from.
    static Matrix onSurfaceGrid(const RenderNode& node, const Matrix& world)
    {
        if (!node.cacheAsBitmap && !(node.filters && !node.filters->empty()))
            return world;  // a scroll window alone only clips
        QPointF corner;
        if (node.scrollRect) {
            // `world` already shows the window's corner at the node's origin.
            const Rect& r = *node.scrollRect;
            const Point at = world.apply({double(r.xMin), double(r.yMin)});
            corner = QPointF(at.x, at.y);
        } else {
            QRectF bounds;
            addDeviceBounds(node, world, bounds);
            if (bounds.isNull())
                return world;
            corner = bounds.topLeft();
        }
        if (!(std::abs(corner.x()) < 1e9) || !(std::abs(corner.y()) < 1e9))
            return world;
        Matrix snapped = world;
        snapped.tx += std::floor(corner.x() + 0.5) - corner.x();
        snapped.ty += std::floor(corner.y() + 0.5) - corner.y();
        return snapped;
    }

    // A node cached as a bitmap or filtered: it and its children are drawn into a
    // surface with room round them for the filters, the filters work on the surface,
    // and the surface then meets what lies below like a blend layer. Unchanged, the
    // surface is kept and drawn again as it is.
    void drawThroughSurface(const RenderNode& node, const Matrix& placed, const ColorTransform& cx)
    {
        const Matrix world = onSurfaceGrid(node, placed);
        const BlendMode mode = node.blendMode;
        const bool cuts = mode == BlendMode::Alpha || mode == BlendMode::Erase;
        if (cuts && !layer_)
            return;
        if (!cuts && cx.aMul <= 0 && cx.aAdd <= 0)
            return;  // fully transparent
        const std::span<const Filter> filters = node.filters ? std::span<const Filter>(*node.filters) : std::span<const Filter>();
        QRectF bounds;
        addDeviceBounds(node, world, bounds);
        if (bounds.isNull())
            return;
        const FilterReach reach = filterReach(filters, filterScale_);
        bounds.adjust(-1.0 - reach.left, -1.0 - reach.top, 1.0 + reach.right, 1.0 + reach.bottom);
        if (!node.cacheAsBitmap) {
            // Only what can be seen, and what the filters pull into it from round it.
            painter_.resetTransform();
            QRectF visible(0, 0, painter_.device()->width(), painter_.device()->height());
            if (painter_.hasClipping())
                visible = visible.intersected(painter_.clipBoundingRect());
            visible.adjust(-reach.right, -reach.bottom, reach.left, reach.top);
            bounds = bounds.intersected(visible);
            if (bounds.isEmpty())
                return;
        }
        if (!(bounds.width() <= kMaxSurfaceSide && bounds.height() <= kMaxSurfaceSide
              && bounds.width() * bounds.height() <= kMaxSurfacePixels)) {
            // Past the reference player's bitmap limits an object is drawn as it is,
            // without its surface or filters.
            if (mode != BlendMode::Normal)
                drawBlended(node, world, cx);
            else
                drawContent(node, world, cx);
            return;
        }
        const QRect area = bounds.toAlignedRect();
        const SurfacePlacement placement{world, area.topLeft(), area.size(), filterScale_.x, filterScale_.y};
        QImage surface;
        if (const QImage* kept = surfaces_ ? surfaces_->find(node, placement) : nullptr) {
            surface = *kept;  // shared until changed
        } else {
            surface = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
            if (surface.isNull())
                return;  // out of memory: draw nothing rather than fail
            surface.fill(Qt::transparent);
            {
                QPainter p(&surface);
                p.setRenderHint(QPainter::Antialiasing, smooth_);
                p.setPen(Qt::NoPen);
                FrameDrawer inner = innerDrawer(p, &surface);
                inner.inSurface_ = true;
                const Matrix toSurface{1, 0, 0, 1, -double(area.x()), -double(area.y())};
                inner.drawContent(node, toSurface * world, ColorTransform{});
            }
            applyFilters(surface, filters, filterScale_, {world.tx - area.x(), world.ty - area.y()});
            if (surfaces_)
                surfaces_->store(node, placement, surface);
        }
        applyColorTransform(surface, cx);
        composite(surface, area.topLeft(), mode);
    }

    void composite(QImage& layer, QPoint at, BlendMode mode)
    {
        painter_.resetTransform();
        const QRect area(at, layer.size());
        if (mode == BlendMode::Subtract || mode == BlendMode::Invert) {
            if (layer_) {
                // Inside a layer the pixels below are ours to read: combine them by hand
                // and put the result back through the painter, so that masks still clip.
                QImage backdrop = layer_->copy(area);
                blendPixels(backdrop, layer, mode);
                painter_.setCompositionMode(QPainter::CompositionMode_Source);
                painter_.drawImage(at, backdrop);
            } else if (mode == BlendMode::Invert) {
                // The stage is opaque: difference with white inverts it.
                whitenKeepingAlpha(layer);
                painter_.setCompositionMode(QPainter::CompositionMode_Difference);
                painter_.drawImage(at, layer);
            } else {
                // The stage is opaque, and the painter's device may not be readable:
                // subtracting is inverting, adding, and inverting back.
                painter_.setCompositionMode(QPainter::CompositionMode_Difference);
                painter_.fillRect(area, Qt::white);
                painter_.setCompositionMode(QPainter::CompositionMode_Plus);
                painter_.drawImage(at, layer);
                painter_.setCompositionMode(QPainter::CompositionMode_Difference);
                painter_.fillRect(area, Qt::white);
            }
        } else {
            if (mode == BlendMode::Alpha)
                makeEmptyPixelsOpaque(layer);
            painter_.setCompositionMode(compositionModeFor(mode));
            painter_.drawImage(at, layer);
        }
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    QPainter& painter_;
    ShapeCache& cache_;
    const BitmapSource* bitmaps_;
    bool smooth_;
    QImage* layer_;
    // Drawing into a cached or filtered object's surface, where one-pixel lines keep
    // the painter's choice of pixels (see kEdgeStep).
    bool inSurface_ = false;
    TextCaches* text_ = nullptr;
    SurfaceCache* surfaces_ = nullptr;
    FilterScale filterScale_;
    VideoSource* videos_ = nullptr;
};

} // namespace

Renderer::Renderer() : caches_(std::make_unique<Caches>()) {}

Renderer::~Renderer() = default;

void Renderer::setBitmapSource(const BitmapSource* bitmaps)
{
    caches_->bitmaps = bitmaps;
}

void Renderer::setVideoSource(VideoSource* videos)
{
    caches_->videos = videos;
}

void Renderer::clearCaches()
{
    caches_->shapes.clear();
    caches_->text.clear();
    caches_->surfaces.clear();
}

void Renderer::render(QPainter& painter, const RenderNode& root, const Matrix& twipsToDevice, Quality quality)
{
    // Qt's raster engine splits every fill of more than about a hundred spans across
    // the global thread pool and waits for the pieces; a frame of many small shapes
    // then spends more time handing spans to threads and waking up than filling them
    // (on a busy machine, much more). A fill made on one of the pool's own threads is
    // never split, so the frame is drawn there, as one task, while this thread waits.
    // Only the raster engine draws into memory any thread may touch while this one
    // waits; when every pool thread is busy the frame is drawn here rather than queued
    // behind other work. A failure on the pool thread is raised again here.
    QThreadPool* pool = QThreadPool::globalInstance();
    // Text drawn there keeps device fonts whose FreeType faces belong to the thread that
    // made them; a pool thread idle for its expiry time would end and free them under
    // fonts kept for later frames. The pool's threads stay for the process's life.
    static std::once_flag keepThreads;
    std::call_once(keepThreads, [pool] { pool->setExpiryTimeout(-1); });
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || pool->contains(QThread::currentThread())) {
        renderHere(painter, root, twipsToDevice, quality);
        return;
    }
    QSemaphore done;
    std::exception_ptr failure;
    const bool started = pool->tryStart([&] {
        try {
            renderHere(painter, root, twipsToDevice, quality);
        } catch (...) {
            failure = std::current_exception();
        }
        done.release();
    });
    if (!started) {
        renderHere(painter, root, twipsToDevice, quality);
        return;
    }
    done.acquire();
    if (failure)
        std::rethrow_exception(failure);
}

void Renderer::renderHere(QPainter& painter, const RenderNode& root, const Matrix& twipsToDevice, Quality quality)
{
    painter.save();
    const bool smooth = quality != Quality::Low;
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.setPen(Qt::NoPen);
    FrameDrawer drawer(painter, caches_->shapes, root.bitmaps ? root.bitmaps.get() : caches_->bitmaps, smooth);
    drawer.setTextCaches(&caches_->text);
    // Filters are sized in stage pixels and grow as the stage is scaled to the device.
    const FilterScale stageScale{std::hypot(twipsToDevice.a, twipsToDevice.b) * kTwipsPerPixel,
                                 std::hypot(twipsToDevice.c, twipsToDevice.d) * kTwipsPerPixel};
    drawer.setSurfaces(&caches_->surfaces, stageScale);
    drawer.setVideoSource(caches_->videos);
    drawer.drawRange(root.children, twipsToDevice * root.matrix, root.colorTransform, root.drawing);
    painter.restore();
    caches_->shapes.dropReplacedDrawings();
    caches_->shapes.endFrame();
    caches_->surfaces.endFrame();
}

} // namespace swf::render
