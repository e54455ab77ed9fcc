#include "engine/format/LineStyle.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

CapStyle capFromBits(uint32_t bits)
{
    switch (bits) {
    case 1: return CapStyle::None;
    case 2: return CapStyle::Square;
    default: return CapStyle::Round;
    }
}

JoinStyle joinFromBits(uint32_t bits)
{
    switch (bits) {
    case 1: return JoinStyle::Bevel;
    case 2: return JoinStyle::Miter;
    default: return JoinStyle::Round;
    }
}

} // namespace

bool readLineStyle2Flags(ByteReader& r, LineStyle& style)
{
    BitReader bits(r);
    style.startCap = capFromBits(bits.ub(2));
    style.join = joinFromBits(bits.ub(2));
    bool hasFill = bits.flag();
    style.noHScale = bits.flag();
    style.noVScale = bits.flag();
    style.pixelHinting = bits.flag();
    bits.ub(5);  // reserved
    style.noClose = bits.flag();
    style.endCap = capFromBits(bits.ub(2));
    if (style.join == JoinStyle::Miter)
        style.miterLimit = std::max(1.0, static_cast<double>(r.fixed8()));
    style.hasFill = hasFill;
    return hasFill;
}

LineStyle readLineStyle(ByteReader& r, ColorFormat format, bool lineStyle2)
{
    LineStyle style;
    style.width = r.u16();
    if (!lineStyle2) {
        style.color = readColor(r, format);
        return style;
    }
    if (readLineStyle2Flags(r, style)) {
        style.fill = readFillStyle(r, format);
        // A solid fill on a stroke is just its colour; keep both in step.
        if (style.fill.kind == FillKind::Solid) {
            style.color = style.fill.color;
            style.hasFill = false;
        }
    } else {
        style.color = readRgba(r);
    }
    return style;
}

std::vector<LineStyle> readLineStyles(ByteReader& r, ColorFormat format, bool lineStyle2, bool extendedCount)
{
    // The smallest line style is a width and an RGB colour: five bytes.
    size_t count = readStyleCount(r, extendedCount, 5);
    std::vector<LineStyle> lines;
    lines.reserve(count);
    for (size_t i = 0; i < count; ++i)
        lines.push_back(readLineStyle(r, format, lineStyle2));
    return lines;
}

LineStyle lerpLine(const LineStyle& from, const LineStyle& to, double t)
{
    LineStyle out = from;
    out.width = static_cast<uint16_t>(std::lround(std::clamp(from.width + (to.width - from.width) * t, 0.0, 65535.0)));
    out.color = lerpColor(from.color, to.color, t);
    if (from.hasFill)
        out.fill = lerpFill(from.fill, to.fill, t);
    return out;
}

} // namespace swf
