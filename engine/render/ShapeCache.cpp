#include "engine/render/ShapeCache.h"

#include "engine/render/StylePaint.h"

#include <algorithm>
#include <cmath>

#include <QPainterPathStroker>

namespace swf::render {

namespace {

// Ratios arrive as 16-bit fractions from PlaceObject; keys of that precision make
// equal ratios hit the same entry.
uint32_t ratioKey(double ratio)
{
    return static_cast<uint32_t>(std::lround(std::clamp(ratio, 0.0, 1.0) * 65535.0));
}

size_t pathBytes(const QPainterPath& path)
{
    return sizeof(QPainterPath) + static_cast<size_t>(path.elementCount()) * sizeof(QPainterPath::Element);
}

// The path with its curves flattened to lines at `scale` device pixels per unit of the
// path. Qt's polygons stray up to half a pixel inside a curve, which thins the outside
// of round shapes visibly next to what the rasteriser draws from the curves; made at
// four times the size they stay within an eighth.
QPainterPath flattenedAt(const QPainterPath& path, double scale)
{
    constexpr double kFiner = 4;
    const QTransform up = QTransform::fromScale(scale * kFiner, scale * kFiner);
    const QTransform down = QTransform::fromScale(1 / (scale * kFiner), 1 / (scale * kFiner));
    QPainterPath out;
    out.setFillRule(path.fillRule());
    for (const QPolygonF& polygon : path.toSubpathPolygons(up))
        out.addPolygon(down.map(polygon));
    return out;
}

// Kept paths for a shape drawn under `linear` (its translation left out), whose paths
// are mapped by `toUnits` into the units the kept paths are in, at `scale` device
// pixels per such unit. `widthIn` turns a stroke's device width into those units.
template <class WidthIn>
KeptPaths keep(const CachedShape& cached, const QTransform& toUnits, double scale, const Matrix& linear,
               WidthIn&& widthIn)
{
    const ShapeDef& shape = *cached.shape;
    KeptPaths kept;
    kept.paths.reserve(cached.paths.paths.size());
    kept.runs.resize(cached.paths.paths.size());
    kept.strokeWidths.reserve(cached.paths.paths.size());
    for (const StylePath& p : cached.paths.paths) {
        std::optional<QPainterPath>& out = kept.paths.emplace_back();
        double& width = kept.strokeWidths.emplace_back(0.0);
        if (p.role == PathRole::Fill) {
            if (p.style >= shape.fillStyles.size())
                continue;
            const FillStyle& fill = shape.fillStyles[p.style];
            if (fill.kind == FillKind::Bitmap && !fill.bitmapRepeats)
                continue;
            out = flattenedAt(toUnits.map(p.path), scale);
        } else {
            if (p.style >= shape.lineStyles.size())
                continue;
            const LineStyle& line = shape.lineStyles[p.style];
            // Hinting snaps the stroke to the device grid where it lands, which moves
            // with the translation.
            if (line.pixelHinting)
                continue;
            // Kept outlines are drawn only where the stroke is wider than a pixel (the
            // hairline rule draws thinner ones), so one first seen thinner is kept at
            // its own width rather than the one-pixel minimum: the same shape grown
            // past a pixel within the same flattening step then finds it fits.
            const double raw = line.width * strokeScale(line, linear);
            width = widthIn(raw > 0 && std::isfinite(raw) ? raw : strokeWidth(line, linear));
            out = strokeOutline(toUnits.map(p.path), line, width, scale);
        }
        kept.bytes += pathBytes(*out);
    }
    return kept;
}

// Scales within a quarter octave share a flattening, made for the top of their step.
int scaleStep(double scale)
{
    return static_cast<int>(std::ceil(std::log2(scale) * 4));
}

bool finiteLinear(const Matrix& m)
{
    return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d);
}

} // namespace

bool KeptPaths::spanFill(size_t i, QPainter& painter, const QTransform& toDevice, uint32_t color) const
{
    if (i >= paths.size() || !paths[i])
        return false;
    if (i >= runs.size())
        return render::spanFill(painter, *paths[i], toDevice, color);
    const size_t before = runs[i].bytes();
    const bool filled = render::spanFill(painter, *paths[i], toDevice, color, &runs[i]);
    runBytes = runBytes + runs[i].bytes() - before;
    return filled;
}

QPainterPath strokeOutline(const QPainterPath& centre, const LineStyle& line, double width, double scale)
{
    const QTransform up = QTransform::fromScale(scale, scale);
    const QPainterPathStroker stroker(strokeShapePen(line, width * scale));
    const QPainterPath outline = stroker.createStroke(up.map(centre));
    return QTransform::fromScale(1 / scale, 1 / scale).map(flattenedAt(outline, 1.0));
}

double keptScale(double scale)
{
    return std::exp2(scaleStep(scale) / 4.0);
}

double evenScale(const Matrix& world)
{
    const double a = world.a, b = world.b, c = world.c, d = world.d;
    if (!finiteLinear(world))
        return 0;
    // Columns of equal length at right angles: a turn (or mirror) times one scale.
    const double x = std::hypot(a, b);
    const double y = std::hypot(c, d);
    const double tolerance = 1e-9 * std::max(x, y);
    if (x <= 0 || std::abs(x - y) > tolerance || std::abs(a * c + b * d) > tolerance * std::max(x, y))
        return 0;
    return x;
}

CachedShape::~CachedShape()
{
    if (budget)
        budget->bytes -= std::min(budget->bytes, keptBytes());
}

void CachedShape::count(size_t before)
{
    if (budget) {
        const size_t total = budget->bytes + keptBytes();
        budget->bytes = total >= before ? total - before : 0;
        lastDrawn_ = budget->frame;
    }
}

void CachedShape::dropKept()
{
    const size_t before = keptBytes();
    flat_.clear();
    device_.clear();
    rects_.clear();
    rectBytes_ = 0;
    if (budget)
        budget->bytes -= std::min(budget->bytes, before);
}

const KeptPaths* CachedShape::flat(const Matrix& world, double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return nullptr;
    const size_t before = keptBytes();
    const KeptPaths* kept = flat_.use(scaleStep(scale), [&](int step) {
        const Matrix linear{world.a, world.b, world.c, world.d, 0, 0};
        return keep(*this, QTransform(), std::exp2(step / 4.0), linear, [scale](double w) { return w / scale; });
    });
    count(before);
    return kept;
}

const KeptPaths* CachedShape::device(const Matrix& world)
{
    if (!finiteLinear(world))
        return nullptr;
    const size_t before = keptBytes();
    const KeptPaths* kept = device_.use(LinearPart{world.a, world.b, world.c, world.d}, [&](const LinearPart& l) {
        const Matrix linear{l.a, l.b, l.c, l.d, 0, 0};
        return keep(*this, QTransform(l.a, l.b, l.c, l.d, 0, 0), 1.0, linear, [](double w) { return w; });
    });
    count(before);
    return kept;
}

const QPainterPath& CachedShape::area()
{
    if (!area_)
        area_ = filledArea(paths);
    return *area_;
}

std::unique_ptr<CachedShape> ShapeCache::convert(std::shared_ptr<const ShapeDef> shape)
{
    auto cached = std::make_unique<CachedShape>();
    cached->paths = buildShapePaths(*shape);
    cached->shape = std::move(shape);
    cached->budget = budget_.get();
    return cached;
}

CachedShape& ShapeCache::shape(const std::shared_ptr<const ShapeDef>& shape)
{
    auto& slot = shapes_[shape.get()];
    if (!slot)
        slot = convert(shape);
    return *slot;
}

CachedShape& ShapeCache::morph(const std::shared_ptr<const MorphShapeDef>& morph, double ratio)
{
    MorphEntry& entry = morphs_[morph.get()];
    entry.morph = morph;
    const uint32_t key = ratioKey(ratio);
    for (MorphFrame& frame : entry.frames) {
        if (frame.ratioKey == key)
            return *frame.shape;
    }
    if (entry.frames.size() >= kRatiosPerMorph)
        entry.frames.pop_front();
    auto shape = std::make_shared<const ShapeDef>(morphShapeAt(*morph, key / 65535.0));
    entry.frames.push_back({key, convert(std::move(shape))});
    return *entry.frames.back().shape;
}

CachedShape& ShapeCache::drawing(const std::shared_ptr<const ShapeDef>& drawing)
{
    auto& slot = drawings_[drawing.get()];
    if (!slot)
        slot = convert(drawing);
    return *slot;
}

void ShapeCache::dropReplacedDrawings()
{
    // The entry's own reference is the last one when the clip has drawn something else
    // since, or is gone.
    std::erase_if(drawings_, [](const auto& entry) { return entry.second->shape.use_count() <= 1; });
}

QImage MaskCuts::cut(const QPainterPath& clip, const QRect& area, bool smooth, const std::function<QImage()>& make)
{
    std::vector<Point> points(static_cast<size_t>(clip.elementCount()));
    for (int i = 0; i < clip.elementCount(); ++i) {
        const QPainterPath::Element& e = clip.elementAt(i);
        points[size_t(i)] = {e.x, e.y, int(e.type)};
    }
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (it->area == area && it->smooth == smooth && it->rule == clip.fillRule() && it->points == points) {
            std::rotate(kept_.begin(), it, it + 1);
            return kept_.front().image;
        }
    }
    QImage image = make();
    if (!image.isNull() && qsizetype(area.width()) * area.height() <= kMaxPixels) {
        if (kept_.size() >= kKept)
            kept_.pop_back();
        kept_.insert(kept_.begin(), Entry{std::move(points), clip.fillRule(), area, smooth, image});
    }
    return image;
}

void ShapeCache::clear()
{
    maskCuts_.clear();
    shapes_.clear();
    morphs_.clear();
    drawings_.clear();
}

void ShapeCache::endFrame()
{
    KeptBudget& budget = *budget_;
    ++budget.frame;
    if (budget.bytes <= budget.limit)
        return;
    std::vector<CachedShape*> holding;
    auto consider = [&](CachedShape& shape) {
        if (shape.keptBytes() > 0)
            holding.push_back(&shape);
    };
    for (auto& [key, shape] : shapes_)
        consider(*shape);
    for (auto& [key, entry] : morphs_) {
        for (MorphFrame& frame : entry.frames)
            consider(*frame.shape);
    }
    for (auto& [key, shape] : drawings_)
        consider(*shape);
    std::ranges::sort(holding, {}, &CachedShape::lastDrawn);
    const size_t target = budget.limit / 4 * 3;
    for (CachedShape* shape : holding) {
        if (budget.bytes <= target)
            break;
        shape->dropKept();
    }
}

} // namespace swf::render
