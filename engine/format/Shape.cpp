#include "engine/format/Shape.h"

#include "engine/format/ShapeRecords.h"

#include <string>

namespace swf {

namespace {

constexpr int kDefineShape = 2;
constexpr int kDefineShape2 = 22;
constexpr int kDefineShape3 = 32;
constexpr int kDefineShape4 = 83;

// Reads a fill and a line style array onto the end of the shape's lists.
StyleLayer readStyleArrays(ByteReader& r, ShapeDef& shape)
{
    const ColorFormat format = shape.tagCode >= kDefineShape3 ? ColorFormat::Rgba : ColorFormat::Rgb;
    const bool extended = shape.tagCode >= kDefineShape2;
    StyleLayer layer;
    layer.firstFill = static_cast<uint32_t>(shape.fillStyles.size());
    layer.firstLine = static_cast<uint32_t>(shape.lineStyles.size());
    auto fills = readFillStyles(r, format, extended);
    auto lines = readLineStyles(r, format, shape.tagCode == kDefineShape4, extended);
    layer.fillCount = static_cast<uint32_t>(fills.size());
    layer.lineCount = static_cast<uint32_t>(lines.size());
    shape.fillStyles.insert(shape.fillStyles.end(), fills.begin(), fills.end());
    shape.lineStyles.insert(shape.lineStyles.end(), lines.begin(), lines.end());
    shape.layers.push_back(layer);
    return layer;
}

} // namespace

std::shared_ptr<const ShapeDef> parseDefineShape(int tagCode, ByteReader& body)
{
    if (tagCode != kDefineShape && tagCode != kDefineShape2 && tagCode != kDefineShape3 && tagCode != kDefineShape4)
        throw FormatError("not a shape tag: " + std::to_string(tagCode));
    auto shape = std::make_shared<ShapeDef>();
    shape->tagCode = tagCode;
    shape->bounds = readRect(body);
    shape->edgeBounds = shape->bounds;
    if (tagCode == kDefineShape4) {
        shape->edgeBounds = readRect(body);
        uint8_t flags = body.u8();
        shape->nonZeroWinding = flags & 0x04;
        shape->usesNonScalingStrokes = flags & 0x02;
        shape->usesScalingStrokes = flags & 0x01;
    }
    StyleLayer first = readStyleArrays(body, *shape);
    NewStylesReader newStyles;
    if (tagCode != kDefineShape)
        newStyles = [&shape](ByteReader& r) { return readStyleArrays(r, *shape); };
    shape->records = readShapeRecords(body, first, newStyles);
    return shape;
}

Rect shapeBounds(const ShapeDef& shape)
{
    return shape.bounds;
}

} // namespace swf
