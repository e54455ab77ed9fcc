#pragma once

// A placed object's matrix read and written as scripts see it: scale in percent and
// rotation in degrees, as _xscale, _yscale and _rotation give them.

#include "engine/format/Primitives.h"

#include <cmath>
#include <cstddef>
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

// How far the y axis is turned from a quarter turn past the x axis, in radians, with
// the axes flipped where the script's scales (their signs) say they are. 0 for a plain
// rotation, pi for a mirrored one: a matrix whose axes are square is one or the other
// exactly, so that rebuilding it adds no rounding noise.
inline double skewOf(const Matrix& m, double xSign, double ySign)
{
    const double a = m.a * xSign, b = m.b * xSign, c = m.c * ySign, d = m.d * ySign;
    if (a * c + b * d == 0)
        return a * d - b * c >= 0 ? 0.0 : std::numbers::pi;
    double skew = std::atan2(-c, d) - std::atan2(b, a);
    if (skew > std::numbers::pi)
        skew -= 2 * std::numbers::pi;
    else if (skew <= -std::numbers::pi)
        skew += 2 * std::numbers::pi;
    return skew;
}

// Rebuilds the 2x2 part from scales and a rotation, the y axis kept `skew` radians off
// square from the x axis (see skewOf); the translation stays.
inline void setScaleRotation(Matrix& m, double xScale, double yScale, double degrees, double skew = 0)
{
    double r = degrees * std::numbers::pi / 180;
    // Quarter turns are exact, as the reference player's matrices show them (no
    // rounding residue such as 6e-17 where the terms are zero).
    double cosR = std::cos(r), sinR = std::sin(r);
    if (std::isfinite(degrees) && std::fmod(degrees, 90) == 0) {
        static constexpr double kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
        const auto quarter = static_cast<size_t>(std::fmod(std::fmod(degrees / 90, 4) + 4, 4));
        cosR = kCos[quarter];
        sinR = kSin[quarter];
    }
    // A zero factor stays zero even against an infinite scale, so that an infinite
    // scale without rotation reads back as itself rather than as NaN.
    auto times = [](double scale, double factor) { return factor == 0 ? 0.0 : scale * factor; };
    m.a = times(xScale / 100, cosR);
    m.b = times(xScale / 100, sinR);
    if (skew == 0) {
        m.c = -times(yScale / 100, sinR);
        m.d = times(yScale / 100, cosR);
    } else if (skew == std::numbers::pi) {
        m.c = times(yScale / 100, sinR);
        m.d = -times(yScale / 100, cosR);
    } else {
        m.c = -times(yScale / 100, std::sin(r + skew));
        m.d = times(yScale / 100, std::cos(r + skew));
    }
}

} // namespace swf::movie
