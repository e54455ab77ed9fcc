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

// A shape's paths on the device for one linear part of its transform (scale, rotation,
// skew; the translation left out), with the fills' curves flattened to lines. A shape
// that only moves between frames is filled from these without flattening its curves
// again.
struct DeviceShape {
    double a = 0, b = 0, c = 0, d = 0;
    bool built = false;
    // One per path of the shape; empty where that path is drawn the usual way (strokes,
    // and bitmap fills drawn clamped).
    std::vector<std::optional<QPainterPath>> paths;
};

// A shape's paths in its own space (twips) with every curve flattened to lines, finely
// enough for drawing at up to `scale` device pixels per twip. A shape whose matrix only
// moves, turns, mirrors or scales it evenly is filled from these under its matrix, so its
// curves are not flattened again each frame.
struct FlatShape {
    int scaleStep = 0;  // the scale, as a step of a quarter octave
    bool built = false;
    // One per path of the shape: fills flattened; empty where the path is drawn the
    // usual way (strokes, and bitmap fills drawn clamped).
    std::vector<std::optional<QPainterPath>> paths;
};

// How much `world` scales evenly in every direction (device pixels per twip), or 0 when
// it stretches one way more than another (or is not finite).
double evenScale(const Matrix& world);

struct CachedShape {
    std::shared_ptr<const ShapeDef> shape;  // keeps the key's address from being reused
    ShapePaths paths;

    // Union of the fills, built on first use as a mask.
    const QPainterPath& area();

    // The shape's device paths for `world`'s linear part, built the second time that
    // part is seen (a shape that is resized every frame would only pay for them), or
    // null.
    const DeviceShape* device(const Matrix& world);

    static constexpr size_t kDeviceShapes = 4;

    // The shape flattened for drawing at `scale` (from evenScale), built the second
    // time a scale of that step is seen, or null.
    const FlatShape* flat(double scale);

    static constexpr size_t kFlatShapes = 16;

private:
    std::optional<QPainterPath> area_;
    std::deque<FlatShape> flat_;  // most recently used first
    std::deque<DeviceShape> device_;  // most recently used first
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
