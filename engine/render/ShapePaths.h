#pragma once

// Turns a shape's records into paths once, in twips: one filled path per fill style,
// built from the edges that carry that style on either side, and one stroked path per
// line style. The renderer caches the result per character.

#include "engine/format/Shape.h"

#include <QPainterPath>

#include <cstdint>
#include <vector>

namespace swf::render {

enum class PathRole : uint8_t { Fill, Stroke };

struct StylePath {
    PathRole role = PathRole::Fill;
    uint32_t style = 0;  // 0-based into the shape's fillStyles or lineStyles
    QPainterPath path;
};

// Paths in drawing order: per style layer, its fills in style order, then its strokes.
struct ShapePaths {
    std::vector<StylePath> paths;
};

ShapePaths buildShapePaths(const ShapeDef& shape);

// Everything the shape fills, as one path (its masks use this).
QPainterPath filledArea(const ShapePaths& paths);

} // namespace swf::render
