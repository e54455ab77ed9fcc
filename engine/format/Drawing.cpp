#include "engine/format/Drawing.h"

#include "engine/format/Bitmap.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

bool finite(Point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

int32_t toTwips(double v, bool up)
{
    const double r = up ? std::ceil(v) : std::floor(v);
    return static_cast<int32_t>(std::clamp(r, -2147483648.0, 2147483647.0));
}

} // namespace

void Drawing::Extent::add(double x, double y, double pad)
{
    if (!any) {
        xMin = xMax = x;
        yMin = yMax = y;
        any = true;
    }
    xMin = std::min(xMin, x - pad);
    xMax = std::max(xMax, x + pad);
    yMin = std::min(yMin, y - pad);
    yMax = std::max(yMax, y + pad);
}

void Drawing::clear()
{
    *this = Drawing();
}

bool Drawing::admit()
{
    if (commands_ >= kMaxCommands)
        return false;
    ++commands_;
    return true;
}

void Drawing::setLineStyle(const std::optional<LineStyle>& style)
{
    if (!admit())
        return;
    if (!style) {
        line_ = 0;
        return;
    }
    if (state_.layers.empty())
        state_.layers.push_back({});
    StyleLayer& layer = state_.layers.back();
    // A style already in the current layer can be selected again; one from an earlier
    // layer cannot, as that layer's strokes are drawn beneath the fills since.
    if (line_ != 0 && line_ - 1 >= layer.firstLine && state_.lineStyles[line_ - 1] == *style)
        return;
    state_.lineStyles.push_back(*style);
    ++layer.lineCount;
    line_ = static_cast<uint32_t>(state_.lineStyles.size());
    if (style->noHScale || style->noVScale)
        state_.usesNonScalingStrokes = true;
    else
        state_.usesScalingStrokes = true;
}

void Drawing::setLineFill(const FillStyle& fill)
{
    if (line_ == 0) {
        admit();
        return;
    }
    LineStyle style = state_.lineStyles[line_ - 1];
    style.hasFill = true;
    style.fill = fill;
    setLineStyle(style);
}

void Drawing::beginFill(const FillStyle& fill)
{
    if (!admit())
        return;
    if (fillOpen_) {
        // The fill still open is closed, but the new one starts where the script's pen
        // is, not back at the closed outline's start.
        const Point pen = pen_;
        closeOutline();
        if (pen_ != pen) {
            pen_ = pen;
            penRecorded_ = false;
        }
    }
    StyleLayer layer;
    layer.firstFill = static_cast<uint32_t>(state_.fillStyles.size());
    layer.fillCount = 1;
    layer.firstLine = static_cast<uint32_t>(state_.lineStyles.size());
    state_.fillStyles.push_back(fill);
    // The current line style moves into the new layer, so that lines drawn from now on
    // lie above this fill.
    if (line_ != 0) {
        state_.lineStyles.push_back(state_.lineStyles[line_ - 1]);
        layer.lineCount = 1;
        line_ = static_cast<uint32_t>(state_.lineStyles.size());
    }
    state_.layers.push_back(layer);
    fill_ = static_cast<uint32_t>(state_.fillStyles.size());
    fillOpen_ = true;
    fillStart_ = pen_;
    outlineHasEdges_ = false;
    changed();
}

void Drawing::endFill()
{
    if (!admit())
        return;
    if (fillOpen_)
        closeOutline();
    fillOpen_ = false;
    fill_ = 0;
}

void Drawing::moveTo(Point to)
{
    if (!finite(to) || !admit())
        return;
    if (fillOpen_)
        closeOutline();
    pen_ = to;
    fillStart_ = to;
    penRecorded_ = false;
}

void Drawing::lineTo(Point to)
{
    if (!finite(to) || !admit())
        return;
    addEdge(ShapeRecordKind::StraightEdge, {}, to, line_);
}

void Drawing::curveTo(Point control, Point to)
{
    if (!finite(control) || !finite(to) || !admit())
        return;
    addEdge(ShapeRecordKind::CurvedEdge, control, to, line_);
}

void Drawing::select(uint32_t fill, uint32_t line)
{
    if (penRecorded_ && fill == recordedFill_ && line == recordedLine_)
        return;
    ShapeRecord change;
    change.kind = ShapeRecordKind::StyleChange;
    if (!penRecorded_) {
        change.movesTo = true;
        change.to = pen_;
        penRecorded_ = true;
    }
    if (fill != recordedFill_) {
        change.setsFill0 = change.setsFill1 = true;
        change.fill1 = fill;
        recordedFill_ = fill;
    }
    if (line != recordedLine_) {
        change.setsLine = true;
        change.line = line;
        recordedLine_ = line;
    }
    state_.records.push_back(change);
}

void Drawing::addEdge(ShapeRecordKind kind, Point control, Point to, uint32_t line)
{
    const uint32_t fill = fillOpen_ ? fill_ : 0;
    if (fill == 0 && line == 0) {
        // Nothing would show: the pen only moves.
        pen_ = to;
        penRecorded_ = false;
        return;
    }
    select(fill, line);
    ShapeRecord edge;
    edge.kind = kind;
    edge.control = control;
    edge.to = to;
    state_.records.push_back(edge);

    // The reference player's bounds of drawn edges: each end and a curve's control
    // point, grown by the whole line width (not half of it) where the edge is stroked.
    const double pad = line != 0 ? static_cast<double>(state_.lineStyles[line - 1].width) : 0.0;
    bounds_.add(pen_.x, pen_.y, pad);
    bounds_.add(to.x, to.y, pad);
    if (kind == ShapeRecordKind::CurvedEdge)
        bounds_.add(control.x, control.y, pad);
    pen_ = to;
    if (fill != 0)
        outlineHasEdges_ = true;
    changed();
}

void Drawing::closeOutline()
{
    if (outlineHasEdges_ && pen_ != fillStart_)
        addEdge(ShapeRecordKind::StraightEdge, {}, fillStart_, line_);
    outlineHasEdges_ = false;
}

std::shared_ptr<const ShapeDef> Drawing::shape() const
{
    // Script bitmaps the fills show may have changed since: a shape that shows other
    // pixels must be a new object.
    if (published_ && !scriptBitmapsChanged())
        return published_;
    shownBitmaps_.clear();
    for (const FillStyle& fill : state_.fillStyles) {
        if (fill.scriptBitmap)
            shownBitmaps_.push_back(fill.scriptBitmap->current());
    }
    Drawing closed = *this;
    if (closed.fillOpen_)
        closed.closeOutline();
    auto shape = std::make_shared<ShapeDef>(std::move(closed.state_));
    shape->tagCode = 83;
    if (shape->layers.empty())
        shape->layers.push_back({});
    shape->bounds = shape->edgeBounds = bounds();
    published_ = std::move(shape);
    return published_;
}

bool Drawing::scriptBitmapsChanged() const
{
    size_t next = 0;
    for (const FillStyle& fill : state_.fillStyles) {
        if (!fill.scriptBitmap)
            continue;
        if (next >= shownBitmaps_.size() || shownBitmaps_[next] != fill.scriptBitmap->current())
            return true;
        ++next;
    }
    return next != shownBitmaps_.size();
}

Rect Drawing::bounds() const
{
    if (!bounds_.any)
        return {};
    return {toTwips(bounds_.xMin, false), toTwips(bounds_.xMax, true), toTwips(bounds_.yMin, false),
            toTwips(bounds_.yMax, true)};
}

Matrix gradientBoxMatrix(double x, double y, double width, double height, double rotation)
{
    // The gradient square is 32768 twips across.
    const double sx = width * kTwipsPerPixel / 32768.0;
    const double sy = height * kTwipsPerPixel / 32768.0;
    const double cosR = std::cos(rotation), sinR = std::sin(rotation);
    return {cosR * sx, sinR * sx, -sinR * sy, cosR * sy, (x + width / 2) * kTwipsPerPixel,
            (y + height / 2) * kTwipsPerPixel};
}

} // namespace swf
