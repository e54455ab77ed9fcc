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
    m.a = xScale / 100 * std::cos(r);
    m.b = xScale / 100 * std::sin(r);
    m.c = -yScale / 100 * std::sin(r);
    m.d = yScale / 100 * std::cos(r);
}

} // namespace swf::movie
