#include "engine/format/Filter.h"

#include "engine/format/Error.h"

#include <algorithm>

namespace swf {

namespace {

// Stored blur sizes are 16.16 fixed point; the reference player keeps them in 0..255.
double readBlur(ByteReader& r)
{
    const double v = r.fixed16();
    return std::clamp(v, 0.0, 255.0);
}

double readStrength(ByteReader& r)
{
    return std::clamp(static_cast<double>(r.fixed8()), 0.0, 255.0);
}

// The flag byte shadows, glows and bevels end with: inner, knockout, composite source,
// then (bevels and gradient filters) on top, and the pass count in the bits left.
void readEffectFlags(ByteReader& r, Filter& f, bool hasOnTop)
{
    const uint8_t flags = r.u8();
    f.inner = flags & 0x80;
    f.knockout = flags & 0x40;
    f.compositeSource = flags & 0x20;
    f.onTop = hasOnTop && (flags & 0x10);
    f.passes = flags & (hasOnTop ? 0x0f : 0x1f);
}

// What every filter after its colours stores: blur sizes, the offset's angle and
// distance where it has one, strength, flags.
void readEffect(ByteReader& r, Filter& f, bool hasOffset, bool hasOnTop)
{
    f.blurX = readBlur(r);
    f.blurY = readBlur(r);
    if (hasOffset) {
        f.angle = r.fixed16();
        f.distance = r.fixed16();
    }
    f.strength = readStrength(r);
    readEffectFlags(r, f, hasOnTop);
}

// A drop shadow, or a glow (a shadow without an offset).
Filter readShadow(ByteReader& r, FilterKind kind)
{
    Filter f;
    f.kind = kind;
    f.color = readRgba(r);
    readEffect(r, f, kind == FilterKind::DropShadow, false);
    return f;
}

Filter readBlurFilter(ByteReader& r)
{
    Filter f;
    f.kind = FilterKind::Blur;
    f.blurX = readBlur(r);
    f.blurY = readBlur(r);
    f.passes = r.u8() >> 3;
    return f;
}

Filter readBevel(ByteReader& r)
{
    Filter f;
    f.kind = FilterKind::Bevel;
    // Movies store the highlight first, then the shadow.
    f.color = readRgba(r);
    f.shadowColor = readRgba(r);
    readEffect(r, f, true, true);
    return f;
}

Filter readGradientFilter(ByteReader& r, FilterKind kind)
{
    Filter f;
    f.kind = kind;
    const unsigned count = r.u8();
    f.gradient.resize(count);
    for (FilterGradientStop& stop : f.gradient)
        stop.color = readRgba(r);
    for (FilterGradientStop& stop : f.gradient)
        stop.ratio = r.u8();
    readEffect(r, f, true, true);
    return f;
}

Filter readConvolution(ByteReader& r)
{
    Filter f;
    f.kind = FilterKind::Convolution;
    f.matrixX = r.u8();
    f.matrixY = r.u8();
    f.divisor = r.f32();
    f.bias = r.f32();
    const size_t cells = size_t(f.matrixX) * size_t(f.matrixY);
    if (r.remaining() < cells * 4)
        throw FormatError("convolution filter: matrix cut short");
    f.matrix.resize(cells);
    for (float& w : f.matrix)
        w = r.f32();
    f.defaultColor = readRgba(r);
    const uint8_t flags = r.u8();
    f.clamp = flags & 0x02;
    f.preserveAlpha = flags & 0x01;
    return f;
}

Filter readColorMatrix(ByteReader& r)
{
    Filter f;
    f.kind = FilterKind::ColorMatrix;
    for (float& v : f.colorMatrix)
        v = r.f32();
    return f;
}

} // namespace

std::vector<Filter> readFilterList(ByteReader& r)
{
    const unsigned count = r.u8();
    std::vector<Filter> filters;
    filters.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        switch (r.u8()) {
        case 0: filters.push_back(readShadow(r, FilterKind::DropShadow)); break;
        case 1: filters.push_back(readBlurFilter(r)); break;
        case 2: filters.push_back(readShadow(r, FilterKind::Glow)); break;
        case 3: filters.push_back(readBevel(r)); break;
        case 4: filters.push_back(readGradientFilter(r, FilterKind::GradientGlow)); break;
        case 5: filters.push_back(readConvolution(r)); break;
        case 6: filters.push_back(readColorMatrix(r)); break;
        case 7: filters.push_back(readGradientFilter(r, FilterKind::GradientBevel)); break;
        default: throw FormatError("unknown filter kind");
        }
    }
    return filters;
}

} // namespace swf
