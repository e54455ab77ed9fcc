#pragma once

// The clip a script dragged with startDrag follows the pointer: its registration point
// goes where the pointer is (or keeps the distance it had when the drag began), held
// inside the drag's box, and the clip under the pointer becomes its _droptarget.

#include "engine/movie/DisplayList.h"

namespace swf::movie {

class TimelinePlayer;

// Moves the dragged clip, if any, to the pointer the timeline knows, and notes the clip
// it is over. True when the clip moved.
bool followDrag(ClipState& root, TimelinePlayer& timeline);

} // namespace swf::movie
