#pragma once

// Fill styles of shapes: solid colours, gradients in the 16384-twip gradient square and
// bitmap fills by character id.

#include "engine/format/Primitives.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

class LiveBitmap;

enum class FillKind : uint8_t { Solid, LinearGradient, RadialGradient, FocalGradient, Bitmap };
enum class SpreadMode : uint8_t { Pad, Reflect, Repeat };
enum class GradientInterpolation : uint8_t { Normal, LinearRgb };

struct GradientStop {
    uint8_t ratio = 0;  // 0..255 along the gradient square
    Rgba color;
    friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

struct Gradient {
    // Maps the gradient square (-16384..16384 twips on each axis) into shape space.
    Matrix matrix;
    SpreadMode spread = SpreadMode::Pad;
    GradientInterpolation interpolation = GradientInterpolation::Normal;
    std::vector<GradientStop> stops;
    double focalPoint = 0;  // -1..1 along the x axis; radial gradients with a focus only
    friend bool operator==(const Gradient&, const Gradient&) = default;
};

struct FillStyle {
    FillKind kind = FillKind::Solid;
    Rgba color;         // Solid
    Gradient gradient;  // the gradient kinds
    // Bitmap fills: the bitmap character and the matrix mapping its pixels into shape space.
    uint16_t bitmapId = 0;
    Matrix bitmapMatrix;
    bool bitmapRepeats = true;
    bool bitmapSmoothed = true;
    // A bitmap a script made (beginBitmapFill), shown in place of the character.
    std::shared_ptr<const LiveBitmap> scriptBitmap;
    friend bool operator==(const FillStyle&, const FillStyle&) = default;
};

// How colours are stored in a shape tag: RGB in DefineShape 1/2, RGBA from DefineShape3.
enum class ColorFormat : uint8_t { Rgb, Rgba };

Rgba readColor(ByteReader& r, ColorFormat format);
FillStyle readFillStyle(ByteReader& r, ColorFormat format);
// A fill style array: count in one byte, or 0xFF followed by a 16-bit count when
// `extendedCount` (DefineShape2 and later).
std::vector<FillStyle> readFillStyles(ByteReader& r, ColorFormat format, bool extendedCount);

// Linear interpolation of two fill styles of the same kind, for morph shapes.
FillStyle lerpFill(const FillStyle& from, const FillStyle& to, double t);
Rgba lerpColor(Rgba from, Rgba to, double t);
Matrix lerpMatrix(const Matrix& from, const Matrix& to, double t);

// Reads a count and checks that `minBytesEach` bytes per item are left, so a corrupt
// count cannot make us allocate more than the data could hold.
size_t readStyleCount(ByteReader& r, bool extendedCount, size_t minBytesEach);

} // namespace swf
