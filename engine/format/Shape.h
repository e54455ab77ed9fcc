#pragma once

// Shape characters (DefineShape 1-4) and morph shapes (DefineMorphShape 1-2) as parsed
// records. The renderer turns them into paths; the timeline only stores and places them.

#include "engine/format/Primitives.h"

#include <cstdint>
#include <memory>

namespace swf {

struct ShapeDef;       // fill and line styles, edges, bounds
struct MorphShapeDef;  // start and end shapes with paired styles

// `body` starts right after the character id. `tagCode` is 2, 22, 32 or 83 for
// DefineShape, DefineShape2, 3 and 4.
std::shared_ptr<const ShapeDef> parseDefineShape(int tagCode, ByteReader& body);
// `tagCode` is 46 (DefineMorphShape) or 84 (DefineMorphShape2).
std::shared_ptr<const MorphShapeDef> parseDefineMorphShape(int tagCode, ByteReader& body);

Rect shapeBounds(const ShapeDef& shape);
Rect morphBounds(const MorphShapeDef& morph, double ratio);

} // namespace swf
