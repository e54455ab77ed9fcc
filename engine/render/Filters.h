#pragma once

// Filters applied to an object's off-screen surface (an ARGB32 premultiplied image):
// blur, drop shadow, glow, bevel, their gradient forms, colour matrix and convolution.
// The surface holds room round the object for what the filters spread into; filterReach
// says how much. Sizes in a filter are stage pixels: `FilterScale` is how many device
// pixels one stage pixel is, so filters grow with the stage as the reference player
// draws them.

#include "engine/format/Filter.h"
#include "engine/render/FilterDisplacement.h"

#include <span>

class QImage;

namespace swf::render {

struct FilterScale {
    double x = 1, y = 1;
};

// Room a filter needs round what it filters, in device pixels on each side.
struct FilterReach {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const FilterReach&, const FilterReach&) = default;
};

FilterReach filterReach(const Filter& filter, FilterScale scale);
// A list's filters each work on what the ones before made, so their reaches add up.
FilterReach filterReach(std::span<const Filter> filters, FilterScale scale);

// Applies `filter` to the surface in place; other formats are left alone. `origin` is
// where the object's origin lies on the surface (for a displacement map).
void applyFilter(QImage& surface, const Filter& filter, FilterScale scale, SurfaceOrigin origin = {});
void applyFilters(QImage& surface, std::span<const Filter> filters, FilterScale scale, SurfaceOrigin origin = {});

} // namespace swf::render
