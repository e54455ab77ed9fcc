#include "engine/format/FillStyle.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr uint8_t kSolid = 0x00;
constexpr uint8_t kLinear = 0x10;
constexpr uint8_t kRadial = 0x12;
constexpr uint8_t kFocal = 0x13;
constexpr uint8_t kBitmapRepeat = 0x40;
constexpr uint8_t kBitmapClipped = 0x41;
constexpr uint8_t kBitmapRepeatHard = 0x42;
constexpr uint8_t kBitmapClippedHard = 0x43;

SpreadMode spreadFromBits(uint32_t bits)
{
    // 3 is reserved; the player treats it as padding.
    switch (bits) {
    case 1: return SpreadMode::Reflect;
    case 2: return SpreadMode::Repeat;
    default: return SpreadMode::Pad;
    }
}

Gradient readGradient(ByteReader& r, ColorFormat format, bool focal)
{
    Gradient g;
    g.matrix = readMatrix(r);
    uint8_t header = r.u8();
    g.spread = spreadFromBits(header >> 6);
    g.interpolation = ((header >> 4) & 3) == 1 ? GradientInterpolation::LinearRgb : GradientInterpolation::Normal;
    size_t count = header & 0x0F;
    g.stops.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        GradientStop stop;
        stop.ratio = r.u8();
        stop.color = readColor(r, format);
        g.stops.push_back(stop);
    }
    if (focal)
        g.focalPoint = std::clamp(static_cast<double>(r.fixed8()), -1.0, 1.0);
    return g;
}

// Morphed colours are truncated, not rounded, as the player does (a morph between red
// and blue just past two thirds shows red 84, not 85).
uint8_t lerpByte(uint8_t from, uint8_t to, double t)
{
    return static_cast<uint8_t>(std::clamp(from + (to - from) * t, 0.0, 255.0));
}

double lerp(double from, double to, double t)
{
    return from + (to - from) * t;
}

} // namespace

Rgba readColor(ByteReader& r, ColorFormat format)
{
    return format == ColorFormat::Rgba ? readRgba(r) : readRgb(r);
}

FillStyle readFillStyle(ByteReader& r, ColorFormat format)
{
    FillStyle fill;
    uint8_t type = r.u8();
    switch (type) {
    case kSolid:
        fill.kind = FillKind::Solid;
        fill.color = readColor(r, format);
        break;
    case kLinear:
        fill.kind = FillKind::LinearGradient;
        fill.gradient = readGradient(r, format, false);
        break;
    case kRadial:
        fill.kind = FillKind::RadialGradient;
        fill.gradient = readGradient(r, format, false);
        break;
    case kFocal:
        fill.kind = FillKind::FocalGradient;
        fill.gradient = readGradient(r, format, true);
        break;
    case kBitmapRepeat:
    case kBitmapClipped:
    case kBitmapRepeatHard:
    case kBitmapClippedHard:
        fill.kind = FillKind::Bitmap;
        fill.bitmapId = r.u16();
        fill.bitmapMatrix = readMatrix(r);
        fill.bitmapRepeats = type == kBitmapRepeat || type == kBitmapRepeatHard;
        fill.bitmapSmoothed = type == kBitmapRepeat || type == kBitmapClipped;
        break;
    default:
        throw FormatError("unknown fill style type " + std::to_string(type));
    }
    return fill;
}

size_t readStyleCount(ByteReader& r, bool extendedCount, size_t minBytesEach)
{
    size_t count = r.u8();
    if (count == 0xFF && extendedCount)
        count = r.u16();
    if (count * minBytesEach > r.remaining())
        throw FormatError("style count " + std::to_string(count) + " exceeds the data left");
    return count;
}

std::vector<FillStyle> readFillStyles(ByteReader& r, ColorFormat format, bool extendedCount)
{
    // The smallest fill style is a solid RGB colour: four bytes.
    size_t count = readStyleCount(r, extendedCount, 4);
    std::vector<FillStyle> fills;
    fills.reserve(count);
    for (size_t i = 0; i < count; ++i)
        fills.push_back(readFillStyle(r, format));
    return fills;
}

Rgba lerpColor(Rgba from, Rgba to, double t)
{
    return {lerpByte(from.r, to.r, t), lerpByte(from.g, to.g, t), lerpByte(from.b, to.b, t),
            lerpByte(from.a, to.a, t)};
}

Matrix lerpMatrix(const Matrix& from, const Matrix& to, double t)
{
    return {lerp(from.a, to.a, t),   lerp(from.b, to.b, t),   lerp(from.c, to.c, t),
            lerp(from.d, to.d, t),   lerp(from.tx, to.tx, t), lerp(from.ty, to.ty, t)};
}

FillStyle lerpFill(const FillStyle& from, const FillStyle& to, double t)
{
    FillStyle out = from;
    out.color = lerpColor(from.color, to.color, t);
    out.bitmapMatrix = lerpMatrix(from.bitmapMatrix, to.bitmapMatrix, t);
    out.gradient.matrix = lerpMatrix(from.gradient.matrix, to.gradient.matrix, t);
    out.gradient.focalPoint = lerp(from.gradient.focalPoint, to.gradient.focalPoint, t);
    size_t paired = std::min(from.gradient.stops.size(), to.gradient.stops.size());
    out.gradient.stops.resize(paired);
    for (size_t i = 0; i < paired; ++i) {
        out.gradient.stops[i].ratio = lerpByte(from.gradient.stops[i].ratio, to.gradient.stops[i].ratio, t);
        out.gradient.stops[i].color = lerpColor(from.gradient.stops[i].color, to.gradient.stops[i].color, t);
    }
    return out;
}

} // namespace swf
