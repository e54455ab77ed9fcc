#pragma once

// Whether a point lies on what a shape fills, in the shape's own twips. Buttons ask on
// every pointer move, so each shape's fill outlines are built once and kept.

#include "engine/format/Shape.h"

#include <QPainterPath>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace swf::render {

class ShapeHitTester {
public:
    // `local` is in the shape's coordinates (twips); with `strokes`, what its lines
    // cover counts too.
    bool contains(const std::shared_ptr<const ShapeDef>& shape, Point local, bool strokes = false);
    void clear() { areas_.clear(); }

private:
    struct Entry {
        std::shared_ptr<const ShapeDef> shape;  // keeps the key's address valid
        // Each fill's outline on its own: a point is on the shape when any holds it.
        // Merging them into one area first costs far more on a complex shape.
        std::vector<QPainterPath> fills;
        std::optional<QPainterPath> lines;  // made when first asked for
    };
    std::unordered_map<const ShapeDef*, Entry> areas_;
};

} // namespace swf::render
