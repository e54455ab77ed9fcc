#pragma once

// Shape characters (DefineShape 1-4) and morph shapes (DefineMorphShape 1-2) as parsed
// records. The renderer turns them into paths; the timeline only stores and places them.

#include "engine/format/FillStyle.h"
#include "engine/format/LineStyle.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

enum class ShapeRecordKind : uint8_t { StyleChange, StraightEdge, CurvedEdge };

// One shape record with absolute coordinates in twips and style indices resolved into
// the shape's concatenated style lists (1-based; 0 means "no style"). A record that
// brought new style arrays selects all three styles explicitly (unset ones as 0), so a
// reader never needs to know which array an index came from.
struct ShapeRecord {
    ShapeRecordKind kind = ShapeRecordKind::StyleChange;
    // Style changes: which selections change, and to what.
    bool movesTo = false;
    bool setsFill0 = false;
    bool setsFill1 = false;
    bool setsLine = false;
    uint32_t fill0 = 0;
    uint32_t fill1 = 0;
    uint32_t line = 0;
    // Edges: the end point (and the control point of curves). Style changes that move
    // store the new pen position in `to`.
    Point control;
    Point to;
    friend bool operator==(const ShapeRecord&, const ShapeRecord&) = default;
};

// Styles introduced by one style array (the initial one or a later "new styles"
// record). Flash draws each layer's fills, then its strokes, before the next layer.
struct StyleLayer {
    uint32_t firstFill = 0;  // 0-based into ShapeDef::fillStyles
    uint32_t fillCount = 0;
    uint32_t firstLine = 0;
    uint32_t lineCount = 0;
};

struct ShapeDef {
    int tagCode = 0;
    Rect bounds;
    Rect edgeBounds;  // DefineShape4 only; otherwise equal to bounds
    bool nonZeroWinding = false;  // DefineShape4's UsesFillWindingRule; even-odd otherwise
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    std::vector<FillStyle> fillStyles;
    std::vector<LineStyle> lineStyles;
    std::vector<StyleLayer> layers;
    std::vector<ShapeRecord> records;
};

struct MorphFillStyle {
    FillStyle start, end;
};

struct MorphLineStyle {
    LineStyle start, end;
};

// Start and end shapes with their records paired one to one: the same number of
// records, the same kinds (a straight edge facing a curve is stored as a curve with its
// control point at the midpoint) and the styles taken from the start shape.
struct MorphShapeDef {
    int tagCode = 0;
    Rect startBounds, endBounds;
    Rect startEdgeBounds, endEdgeBounds;
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    std::vector<MorphFillStyle> fillStyles;
    std::vector<MorphLineStyle> lineStyles;
    std::vector<ShapeRecord> startRecords;
    std::vector<ShapeRecord> endRecords;
};

// `body` starts right after the character id. `tagCode` is 2, 22, 32 or 83 for
// DefineShape, DefineShape2, 3 and 4.
std::shared_ptr<const ShapeDef> parseDefineShape(int tagCode, ByteReader& body);
// `tagCode` is 46 (DefineMorphShape) or 84 (DefineMorphShape2).
std::shared_ptr<const MorphShapeDef> parseDefineMorphShape(int tagCode, ByteReader& body);

Rect shapeBounds(const ShapeDef& shape);
Rect morphBounds(const MorphShapeDef& morph, double ratio);

// The morph shape at `ratio` (0 = start, 1 = end) as an ordinary shape.
ShapeDef morphShapeAt(const MorphShapeDef& morph, double ratio);

} // namespace swf
