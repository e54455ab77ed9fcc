#pragma once

// Video objects on the display list: an embedded video stream placed like any other
// character, showing the frame its placement's ratio names.

#include "engine/movie/DisplayList.h"
#include "engine/render/RenderTree.h"

namespace swf::movie {

// Fills in what `node` needs to draw the video `object` shows.
void addVideo(const DisplayObject& object, render::RenderNode& node);

} // namespace swf::movie
