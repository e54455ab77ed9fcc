#pragma once

// Reading the SHAPE record stream shared by DefineShape and DefineMorphShape.

#include "engine/format/Shape.h"

#include <functional>
#include <vector>

namespace swf {

// Reads one "new styles" block (fill array, line array) into the shape's style lists and
// returns the layer it forms. Shapes that may not carry new styles pass an empty function.
using NewStylesReader = std::function<StyleLayer(ByteReader&)>;

// Reads records up to and including the end record. `fillBits`/`lineBits` are the index
// widths read just before the records; `layer` is the style array in force at the start.
std::vector<ShapeRecord> readShapeRecords(ByteReader& r, StyleLayer layer, const NewStylesReader& newStyles);

} // namespace swf
