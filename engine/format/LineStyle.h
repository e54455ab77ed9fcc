#pragma once

// Line styles: LINESTYLE (width and colour; round caps and joins) and LINESTYLE2 of
// DefineShape4 with caps, joins, scaling flags and fills on strokes.

#include "engine/format/FillStyle.h"

#include <cstdint>
#include <vector>

namespace swf {

enum class CapStyle : uint8_t { Round, None, Square };
enum class JoinStyle : uint8_t { Round, Bevel, Miter };

struct LineStyle {
    uint16_t width = 0;  // twips; 0 draws a hairline
    Rgba color;
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    bool hasFill = false;  // stroke painted with `fill` instead of `color`
    FillStyle fill;
    friend bool operator==(const LineStyle&, const LineStyle&) = default;
};

// `lineStyle2` for DefineShape4's LINESTYLE2 records.
LineStyle readLineStyle(ByteReader& r, ColorFormat format, bool lineStyle2);
std::vector<LineStyle> readLineStyles(ByteReader& r, ColorFormat format, bool lineStyle2, bool extendedCount);

// The flag word of LINESTYLE2 (shared with MORPHLINESTYLE2), applied to `style`.
// Returns whether a fill style follows in place of the colour.
bool readLineStyle2Flags(ByteReader& r, LineStyle& style);

LineStyle lerpLine(const LineStyle& from, const LineStyle& to, double t);

} // namespace swf
