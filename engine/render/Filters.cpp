#include "engine/render/Filters.h"

#include "engine/render/FilterBlur.h"
#include "engine/render/FilterColor.h"
#include "engine/render/FilterShadow.h"

#include <QImage>

#include <algorithm>
#include <cstdlib>

namespace swf::render {

namespace {

FilterReach blurOnly(const Filter& filter, FilterScale scale)
{
    const int x = blurReach(deviceBlurSize(filter.blurX, scale.x), filter.passes);
    const int y = blurReach(deviceBlurSize(filter.blurY, scale.y), filter.passes);
    return {x, y, x, y};
}

FilterReach add(FilterReach a, FilterReach b)
{
    return {a.left + b.left, a.top + b.top, a.right + b.right, a.bottom + b.bottom};
}

} // namespace

FilterReach filterReach(const Filter& filter, FilterScale scale)
{
    switch (filter.kind) {
    case FilterKind::Blur:
    case FilterKind::Glow: return filter.inner ? FilterReach{} : blurOnly(filter, scale);
    case FilterKind::DropShadow:
    case FilterKind::GradientGlow: {
        if (filter.inner)
            return {};
        // The blurred copy, moved by the shadow's offset.
        const FilterReach blur = blurOnly(filter, scale);
        const PixelOffset off = filterOffset(filter, scale);
        return {blur.left + std::max(0, -off.x), blur.top + std::max(0, -off.y), blur.right + std::max(0, off.x),
                blur.bottom + std::max(0, off.y)};
    }
    case FilterKind::Bevel:
    case FilterKind::GradientBevel: {
        if (filter.inner && !filter.onTop)
            return {};
        // The outline moved both ways along the angle.
        const FilterReach blur = blurOnly(filter, scale);
        const PixelOffset off = filterOffset(filter, scale);
        return add(blur, {std::abs(off.x), std::abs(off.y), std::abs(off.x), std::abs(off.y)});
    }
    case FilterKind::Convolution:
    case FilterKind::ColorMatrix:
    case FilterKind::DisplacementMap: break;  // each pixel stays where it is or takes another's
    }
    return {};
}

FilterReach filterReach(std::span<const Filter> filters, FilterScale scale)
{
    FilterReach total;
    for (const Filter& f : filters)
        total = add(total, filterReach(f, scale));
    return total;
}

void applyFilter(QImage& surface, const Filter& filter, FilterScale scale, SurfaceOrigin origin)
{
    switch (filter.kind) {
    case FilterKind::Blur: applyBlurFilter(surface, filter, scale); break;
    case FilterKind::DropShadow:
    case FilterKind::Glow:
    case FilterKind::GradientGlow: applyShadowFilter(surface, filter, scale); break;
    case FilterKind::Bevel:
    case FilterKind::GradientBevel: applyBevelFilter(surface, filter, scale); break;
    case FilterKind::ColorMatrix: applyColorMatrixFilter(surface, filter); break;
    case FilterKind::Convolution: applyConvolutionFilter(surface, filter); break;
    case FilterKind::DisplacementMap: applyDisplacementMapFilter(surface, filter, scale.x, scale.y, origin); break;
    }
}

void applyFilters(QImage& surface, std::span<const Filter> filters, FilterScale scale, SurfaceOrigin origin)
{
    for (const Filter& f : filters)
        applyFilter(surface, f, scale, origin);
}

} // namespace swf::render
