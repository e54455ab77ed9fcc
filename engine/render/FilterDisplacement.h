#pragma once

// The displacement map filter: each pixel of the surface takes the colour of another,
// found by moving it by the map's colour at that place.

#include "engine/format/Filter.h"

class QImage;

namespace swf::render {

// Where the filtered object's own origin lies on its surface, in device pixels: the
// map is laid relative to it.
struct SurfaceOrigin {
    double x = 0, y = 0;
};

// `scaleX`/`scaleY` are how many device pixels one object pixel is: the map is read at
// object pixels and its moves grow with the scale.
void applyDisplacementMapFilter(QImage& surface, const Filter& filter, double scaleX, double scaleY,
                                SurfaceOrigin origin);

} // namespace swf::render
