#include "engine/format/Primitives.h"

#include <cmath>

namespace swf {

Box Matrix::mapRect(const Rect& r) const
{
    const Point corners[] = {apply({double(r.xMin), double(r.yMin)}), apply({double(r.xMax), double(r.yMin)}),
                             apply({double(r.xMin), double(r.yMax)}), apply({double(r.xMax), double(r.yMax)})};
    Box box{corners[0].x, corners[0].x, corners[0].y, corners[0].y};
    for (const Point& p : corners) {
        box.xMin = std::min(box.xMin, p.x);
        box.xMax = std::max(box.xMax, p.x);
        box.yMin = std::min(box.yMin, p.y);
        box.yMax = std::max(box.yMax, p.y);
    }
    return box;
}

Matrix Matrix::inverted() const
{
    double det = a * d - b * c;
    if (det == 0)
        return {1, 0, 0, 1, -tx, -ty};
    double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return {ia, ib, ic, id, -(ia * tx + ic * ty), -(ib * tx + id * ty)};
}

static uint8_t clampChannel(float v)
{
    if (!(v > 0))  // also catches NaN
        return 0;
    if (v >= 255)
        return 255;
    return static_cast<uint8_t>(v);
}

Rgba ColorTransform::apply(Rgba c) const
{
    return {clampChannel(c.r * rMul + rAdd), clampChannel(c.g * gMul + gAdd), clampChannel(c.b * bMul + bAdd),
            clampChannel(c.a * aMul + aAdd)};
}

ColorTransform ColorTransform::operator*(const ColorTransform& in) const
{
    ColorTransform out;
    out.rMul = rMul * in.rMul;
    out.gMul = gMul * in.gMul;
    out.bMul = bMul * in.bMul;
    out.aMul = aMul * in.aMul;
    out.rAdd = rMul * in.rAdd + rAdd;
    out.gAdd = gMul * in.gAdd + gAdd;
    out.bAdd = bMul * in.bAdd + bAdd;
    out.aAdd = aMul * in.aAdd + aAdd;
    return out;
}

Rgba readRgb(ByteReader& r)
{
    Rgba c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Rgba readRgba(ByteReader& r)
{
    Rgba c = readRgb(r);
    c.a = r.u8();
    return c;
}

Rgba readArgb(ByteReader& r)
{
    Rgba c;
    c.a = r.u8();
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Rect readRect(ByteReader& r)
{
    BitReader bits(r);
    unsigned n = bits.ub(5);
    Rect rect;
    rect.xMin = bits.sb(n);
    rect.xMax = bits.sb(n);
    rect.yMin = bits.sb(n);
    rect.yMax = bits.sb(n);
    return rect;
}

Matrix readMatrix(ByteReader& r)
{
    BitReader bits(r);
    Matrix m;
    if (bits.flag()) {
        unsigned n = bits.ub(5);
        m.a = bits.fb(n);
        m.d = bits.fb(n);
    }
    if (bits.flag()) {
        unsigned n = bits.ub(5);
        m.b = bits.fb(n);
        m.c = bits.fb(n);
    }
    unsigned n = bits.ub(5);
    m.tx = bits.sb(n);
    m.ty = bits.sb(n);
    return m;
}

ColorTransform readColorTransform(ByteReader& r, bool withAlpha)
{
    BitReader bits(r);
    bool hasAdd = bits.flag();
    bool hasMul = bits.flag();
    unsigned n = bits.ub(4);
    ColorTransform cx;
    if (hasMul) {
        cx.rMul = static_cast<float>(bits.sb(n)) / 256.0f;
        cx.gMul = static_cast<float>(bits.sb(n)) / 256.0f;
        cx.bMul = static_cast<float>(bits.sb(n)) / 256.0f;
        if (withAlpha)
            cx.aMul = static_cast<float>(bits.sb(n)) / 256.0f;
    }
    if (hasAdd) {
        cx.rAdd = static_cast<float>(bits.sb(n));
        cx.gAdd = static_cast<float>(bits.sb(n));
        cx.bAdd = static_cast<float>(bits.sb(n));
        if (withAlpha)
            cx.aAdd = static_cast<float>(bits.sb(n));
    }
    return cx;
}

} // namespace swf
