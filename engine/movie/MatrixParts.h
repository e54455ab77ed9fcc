#pragma once

// A placed object's matrix read and written as scripts see it: scale in percent and
// rotation in degrees, as _xscale, _yscale and _rotation give them.

#include "engine/format/Primitives.h"

#include <cmath>
#include <numbers>

namespace swf::movie {

inline double xScaleOf(const Matrix& m)
{
    return std::sqrt(m.a * m.a + m.b * m.b) * 100;
}

inline double yScaleOf(const Matrix& m)
{
    return std::sqrt(m.c * m.c + m.d * m.d) * 100;
}

inline double rotationOf(const Matrix& m)
{
    return std::atan2(m.b, m.a) * 180 / std::numbers::pi;
}

// Rebuilds the 2x2 part from scales and a rotation; the translation stays.
inline void setScaleRotation(Matrix& m, double xScale, double yScale, double degrees)
{
    double r = degrees * std::numbers::pi / 180;
    // A zero factor stays zero even against an infinite scale, so that an infinite
    // scale without rotation reads back as itself rather than as NaN.
    auto times = [](double scale, double factor) { return factor == 0 ? 0.0 : scale * factor; };
    m.a = times(xScale / 100, std::cos(r));
    m.b = times(xScale / 100, std::sin(r));
    m.c = -times(yScale / 100, std::sin(r));
    m.d = times(yScale / 100, std::cos(r));
}

} // namespace swf::movie
