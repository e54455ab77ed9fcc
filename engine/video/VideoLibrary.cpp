#include "engine/video/VideoLibrary.h"

namespace swf::video {

QImage VideoLibrary::picture(const std::shared_ptr<const EmbeddedVideo>& video, int frame)
{
    if (!video)
        return {};
    return frames(video).picture(frame);
}

VideoFrames& VideoLibrary::frames(const std::shared_ptr<const EmbeddedVideo>& video)
{
    std::unique_ptr<VideoFrames>& slot = streams_[video.get()];
    if (!slot)
        slot = std::make_unique<VideoFrames>(video, notice_);
    return *slot;
}

} // namespace swf::video
