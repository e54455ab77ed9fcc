#include "engine/render/ShapeCache.h"

#include <algorithm>
#include <cmath>

namespace swf::render {

namespace {

// Ratios arrive as 16-bit fractions from PlaceObject; keys of that precision make
// equal ratios hit the same entry.
uint32_t ratioKey(double ratio)
{
    return static_cast<uint32_t>(std::lround(std::clamp(ratio, 0.0, 1.0) * 65535.0));
}

std::unique_ptr<CachedShape> convert(std::shared_ptr<const ShapeDef> shape)
{
    auto cached = std::make_unique<CachedShape>();
    cached->paths = buildShapePaths(*shape);
    cached->shape = std::move(shape);
    return cached;
}

} // namespace

namespace {

// The path with its curves flattened to lines as the rasteriser would at this size.
QPainterPath flattened(const QPainterPath& path)
{
    QPainterPath out;
    out.setFillRule(path.fillRule());
    for (const QPolygonF& polygon : path.toSubpathPolygons())
        out.addPolygon(polygon);
    return out;
}

void build(DeviceShape& device, const CachedShape& cached)
{
    const ShapeDef& shape = *cached.shape;
    const QTransform linear(device.a, device.b, device.c, device.d, 0, 0);
    device.paths.clear();
    for (const StylePath& p : cached.paths.paths) {
        std::optional<QPainterPath>& out = device.paths.emplace_back();
        if (p.role == PathRole::Fill) {
            if (p.style >= shape.fillStyles.size())
                continue;
            const FillStyle& fill = shape.fillStyles[p.style];
            if (fill.kind == FillKind::Bitmap && !fill.bitmapRepeats)
                continue;
            out = flattened(linear.map(p.path));
        }
        // Strokes are left to the painter: stroking a flattened centre line, or filling
        // an outline made once, does not cover their edge pixels as the painter's own
        // stroking of the curves does.
    }
    device.built = true;
}

} // namespace

double evenScale(const Matrix& world)
{
    const double a = world.a, b = world.b, c = world.c, d = world.d;
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d))
        return 0;
    // Columns of equal length at right angles: a turn (or mirror) times one scale.
    const double x = std::hypot(a, b);
    const double y = std::hypot(c, d);
    const double tolerance = 1e-9 * std::max(x, y);
    if (x <= 0 || std::abs(x - y) > tolerance || std::abs(a * c + b * d) > tolerance * std::max(x, y))
        return 0;
    return x;
}

namespace {

// Scales within a quarter octave share a flattening, made for the top of their step.
int scaleStep(double scale)
{
    return static_cast<int>(std::ceil(std::log2(scale) * 4));
}

QPainterPath flattenedAt(const QPainterPath& path, double scale)
{
    const QTransform up = QTransform::fromScale(scale, scale);
    const QTransform down = QTransform::fromScale(1 / scale, 1 / scale);
    QPainterPath out;
    out.setFillRule(path.fillRule());
    for (const QPolygonF& polygon : path.toSubpathPolygons(up))
        out.addPolygon(down.map(polygon));
    return out;
}

void build(FlatShape& flat, const CachedShape& cached)
{
    const ShapeDef& shape = *cached.shape;
    const double scale = std::exp2(flat.scaleStep / 4.0);
    flat.paths.clear();
    for (const StylePath& p : cached.paths.paths) {
        std::optional<QPainterPath>& out = flat.paths.emplace_back();
        if (p.role == PathRole::Fill) {
            if (p.style >= shape.fillStyles.size())
                continue;
            const FillStyle& fill = shape.fillStyles[p.style];
            if (fill.kind == FillKind::Bitmap && !fill.bitmapRepeats)
                continue;
            out = flattenedAt(p.path, scale);
        }
        // Strokes are left to the painter: an outline made once in shape space covers
        // the edge pixels a little differently from the painter's own stroking on the
        // device, and the stroke would change look between its first frame and later.
    }
    flat.built = true;
}

} // namespace

const FlatShape* CachedShape::flat(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return nullptr;
    const int step = scaleStep(scale);
    auto found = std::ranges::find_if(flat_, [&](const FlatShape& f) { return f.scaleStep == step; });
    if (found == flat_.end()) {
        flat_.push_front({step, false, {}});
        if (flat_.size() > kFlatShapes)
            flat_.pop_back();
        return nullptr;
    }
    if (found != flat_.begin()) {
        FlatShape moved = std::move(*found);
        flat_.erase(found);
        flat_.push_front(std::move(moved));
        found = flat_.begin();
    }
    if (!found->built)
        build(*found, *this);
    return &*found;
}

const DeviceShape* CachedShape::device(const Matrix& world)
{
    if (!std::isfinite(world.a) || !std::isfinite(world.b) || !std::isfinite(world.c) || !std::isfinite(world.d))
        return nullptr;
    auto found = std::ranges::find_if(device_, [&](const DeviceShape& d) {
        return d.a == world.a && d.b == world.b && d.c == world.c && d.d == world.d;
    });
    if (found == device_.end()) {
        device_.push_front({world.a, world.b, world.c, world.d, false, {}});
        if (device_.size() > kDeviceShapes)
            device_.pop_back();
        return nullptr;
    }
    if (found != device_.begin()) {
        DeviceShape moved = std::move(*found);
        device_.erase(found);
        device_.push_front(std::move(moved));
        found = device_.begin();
    }
    if (!found->built)
        build(*found, *this);
    return &*found;
}

const QPainterPath& CachedShape::area()
{
    if (!area_)
        area_ = filledArea(paths);
    return *area_;
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

void ShapeCache::clear()
{
    shapes_.clear();
    morphs_.clear();
    drawings_.clear();
}

} // namespace swf::render
