#pragma once

// hitTest(x, y, true): whether a point lies on what a clip shows (its shapes' filled
// areas, what scripts drew, the boxes of texts and videos), not just in its bounds.
// Hidden children count, as the reference player tests them; masks do not.

#include "engine/format/Primitives.h"

namespace swf::movie {

struct ClipState;

// `local` is in the clip's own twips.
bool clipContentContains(const ClipState& clip, Point local);

} // namespace swf::movie
