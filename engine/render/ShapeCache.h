#pragma once

// Converted paths per shape character, so that each shape's records are turned into
// paths once rather than every frame. Morph shapes keep a few recent ratios, as a
// morph is usually drawn at a new ratio each frame but often revisits them when the
// movie loops or several instances play in step.

#include "engine/format/Shape.h"
#include "engine/render/ShapePaths.h"

#include <QPainterPath>

#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>

namespace swf::render {

struct CachedShape {
    std::shared_ptr<const ShapeDef> shape;  // keeps the key's address from being reused
    ShapePaths paths;

    // Union of the fills, built on first use as a mask.
    const QPainterPath& area();

private:
    std::optional<QPainterPath> area_;
};

class ShapeCache {
public:
    CachedShape& shape(const std::shared_ptr<const ShapeDef>& shape);
    CachedShape& morph(const std::shared_ptr<const MorphShapeDef>& morph, double ratio);
    // A clip's script drawing. Drawings are replaced whenever a script draws, so their
    // entries are kept apart and dropped once nothing else holds the drawing.
    CachedShape& drawing(const std::shared_ptr<const ShapeDef>& drawing);
    void dropReplacedDrawings();
    void clear();

    static constexpr size_t kRatiosPerMorph = 8;

private:
    struct MorphFrame {
        uint32_t ratioKey = 0;
        std::unique_ptr<CachedShape> shape;
    };
    struct MorphEntry {
        std::shared_ptr<const MorphShapeDef> morph;
        std::deque<MorphFrame> frames;  // most recently built last
    };

    std::unordered_map<const ShapeDef*, std::unique_ptr<CachedShape>> shapes_;
    std::unordered_map<const MorphShapeDef*, MorphEntry> morphs_;
    std::unordered_map<const ShapeDef*, std::unique_ptr<CachedShape>> drawings_;
};

} // namespace swf::render
