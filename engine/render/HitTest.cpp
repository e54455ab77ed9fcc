#include "engine/render/HitTest.h"

#include "engine/render/ShapeCache.h"
#include "engine/render/ShapePaths.h"

#include <algorithm>

namespace swf::render {

namespace {

double maxLineWidth(const ShapeDef& shape)
{
    double widest = kTwipsPerPixel;
    for (const LineStyle& line : shape.lineStyles)
        widest = std::max(widest, static_cast<double>(line.width));
    return widest;
}

} // namespace

bool ShapeHitTester::contains(const std::shared_ptr<const ShapeDef>& shape, Point local, bool strokes)
{
    if (!shape)
        return false;
    // A drawing's bounds may leave out half its lines' width.
    const Rect& bounds = shape->bounds;
    const double margin = strokes ? maxLineWidth(*shape) / 2 : 0;
    if (local.x < bounds.xMin - margin || local.x > bounds.xMax + margin || local.y < bounds.yMin - margin ||
        local.y > bounds.yMax + margin)
        return false;
    auto it = areas_.find(shape.get());
    if (it == areas_.end()) {
        std::vector<QPainterPath> fills;
        for (StylePath& p : buildShapePaths(*shape).paths) {
            if (p.role == PathRole::Fill)
                fills.push_back(std::move(p.path));
        }
        it = areas_.emplace(shape.get(), Entry{shape, std::move(fills), std::nullopt}).first;
    }
    const QPointF at(local.x, local.y);
    if (std::ranges::any_of(it->second.fills, [&at](const QPainterPath& fill) { return fill.contains(at); }))
        return true;
    if (!strokes)
        return false;
    if (!it->second.lines) {
        // Each line as wide as drawn, a hairline one pixel wide.
        QPainterPath lines;
        lines.setFillRule(Qt::WindingFill);
        for (const StylePath& p : buildShapePaths(*shape).paths) {
            if (p.role != PathRole::Stroke || p.style >= shape->lineStyles.size())
                continue;
            const LineStyle& line = shape->lineStyles[p.style];
            const double width = line.width > 0 ? line.width : kTwipsPerPixel;
            lines.addPath(strokeOutline(p.path, line, width, 1.0));
        }
        it->second.lines = std::move(lines);
    }
    return it->second.lines->contains(at);
}

} // namespace swf::render
