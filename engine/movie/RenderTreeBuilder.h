#pragma once

// Turns a display list into the tree the renderer draws.

#include "engine/movie/DisplayList.h"
#include "engine/render/RenderTree.h"

namespace swf::movie {

render::RenderNode buildRenderTree(const ClipState& root);

} // namespace swf::movie
