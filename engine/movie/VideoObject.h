#pragma once

// Video objects on the display list: an embedded video stream placed like any other
// character, showing the frame its placement's ratio names.

#include "engine/movie/DisplayList.h"
#include "engine/render/RenderTree.h"

namespace swf::avm1 {
class Machine;
class Object;
}

namespace swf::movie {

// Fills in what `node` needs to draw the video `object` shows: its own stream's frame,
// or the picture of the NetStream a script attached to it.
void addVideo(const DisplayObject& object, render::RenderNode& node);

// The script object of a video on the stage, made on first reach; null when `object`
// is not a video (or there is no machine).
// `parent` is the script object of the clip it sits in.
avm1::Object* videoScriptObject(avm1::Machine* machine, DisplayObject& object, avm1::Object* parent);

} // namespace swf::movie
