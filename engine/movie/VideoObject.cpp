#include "engine/movie/VideoObject.h"

#include "engine/format/Video.h"
#include "engine/movie/MovieDef.h"

namespace swf::movie {

void addVideo(const DisplayObject& object, render::RenderNode& node)
{
    if (!object.character || !object.character->video)
        return;
    node.video = object.character->video;
    node.videoFrame = object.ratio;
}

} // namespace swf::movie
