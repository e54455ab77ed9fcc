#pragma once

// hitTest(x, y, true): whether a point lies on what a clip shows (its shapes' filled
// areas, what scripts drew, the boxes of texts and videos), not just in its bounds.
// Hidden children count, as the reference player tests them. A clipping layer limits
// what it masks below it; masks that scripts set with setMask limit only the clip
// tested itself.

#include "engine/format/Primitives.h"

#include <optional>

namespace swf::movie {

struct ClipState;

// `local` is in the clip's own twips. What lines cover counts, as what shapes fill.
bool clipContentContains(const ClipState& clip, Point local);

// The geometry every hit test walks by: a point in a box, edges included, and a point
// taken into a child's space (none when the child's matrix flattens it).
inline bool inBounds(const Rect& bounds, Point p)
{
    return p.x >= bounds.xMin && p.x <= bounds.xMax && p.y >= bounds.yMin && p.y <= bounds.yMax;
}

inline std::optional<Point> toLocal(const Matrix& matrix, Point p)
{
    if (!matrix.invertible())
        return std::nullopt;
    return matrix.inverted().apply(p);
}

} // namespace swf::movie
