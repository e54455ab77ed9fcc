#pragma once

// The filters built on a blurred copy of the object's coverage: drop shadow, glow,
// bevel and their gradient forms. Each works on a premultiplied ARGB32 surface.

#include "engine/format/Filter.h"
#include "engine/render/Filters.h"

class QImage;

namespace swf::render {

void applyBlurFilter(QImage& surface, const Filter& filter, FilterScale scale);
// Drop shadow and glow (a glow is a shadow that is not moved), plain or gradient.
void applyShadowFilter(QImage& surface, const Filter& filter, FilterScale scale);
// Bevel and gradient bevel.
void applyBevelFilter(QImage& surface, const Filter& filter, FilterScale scale);

// The offset a shadow or bevel is moved by, in whole device pixels.
struct PixelOffset {
    int x = 0, y = 0;
};
PixelOffset filterOffset(const Filter& filter, FilterScale scale);

} // namespace swf::render
