#pragma once

#include "engine/format/Reader.h"

#include <algorithm>
#include <cstdint>

namespace swf {

// One pixel is 20 twips.
constexpr double kTwipsPerPixel = 20.0;

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A rectangle in twips, as stored (xMin, xMax, yMin, yMax).
struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    int32_t width() const { return xMax - xMin; }
    int32_t height() const { return yMax - yMin; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    double x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// An axis-aligned box in unrounded coordinates.
struct Box {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// 2x3 affine matrix: x' = a*x + c*y + tx, y' = b*x + d*y + ty (translation in twips).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1;
    double tx = 0, ty = 0;

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // this * other: apply `other` first, then this.
    Matrix operator*(const Matrix& o) const
    {
        return {a * o.a + c * o.b, b * o.a + d * o.b, a * o.c + c * o.d, b * o.c + d * o.d,
                a * o.tx + c * o.ty + tx, b * o.tx + d * o.ty + ty};
    }
    bool invertible() const { return a * d - b * c != 0; }
    Matrix inverted() const;
    // The box covering rectangle `r` once mapped: the bounds of its four corners. A
    // matrix gone bad (NaN) gives NaN edges.
    Box mapRect(const Rect& r) const;
    friend bool operator==(const Matrix&, const Matrix&) = default;
};

// Colour transform with multiply terms as floats (1.0 = unchanged) and add terms in
// 0..255 units, applied per channel and clamped to 0..255.
struct ColorTransform {
    float rMul = 1, gMul = 1, bMul = 1, aMul = 1;
    float rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

    bool isIdentity() const
    {
        return rMul == 1 && gMul == 1 && bMul == 1 && aMul == 1 && rAdd == 0 && gAdd == 0 && bAdd == 0
            && aAdd == 0;
    }
    Rgba apply(Rgba c) const;
    // this * inner: apply `inner` first, then this (parent applied after child).
    ColorTransform operator*(const ColorTransform& inner) const;
    friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

Rgba readRgb(ByteReader& r);
Rgba readRgba(ByteReader& r);
Rgba readArgb(ByteReader& r);
Rect readRect(ByteReader& r);
Matrix readMatrix(ByteReader& r);
ColorTransform readColorTransform(ByteReader& r, bool withAlpha);

} // namespace swf
