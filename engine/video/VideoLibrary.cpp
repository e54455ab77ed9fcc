#include "engine/video/VideoLibrary.h"

namespace swf::video {

namespace {

// What the kept pictures of all streams together may take.
constexpr size_t kLibraryCacheBytes = size_t{48} << 20;

} // namespace

QImage VideoLibrary::picture(const std::shared_ptr<const EmbeddedVideo>& video, int frame)
{
    if (!video)
        return {};
    VideoFrames& stream = frames(video);
    QImage picture = stream.picture(frame);
    trimCaches(stream);
    return picture;
}

void VideoLibrary::trimCaches(const VideoFrames& used)
{
    size_t total = 0;
    for (const auto& [key, stream] : streams_)
        total += stream->cacheBytes();
    if (total <= kLibraryCacheBytes)
        return;
    for (auto& [key, stream] : streams_) {
        if (stream.get() != &used)
            stream->dropCache();
    }
}

VideoFrames& VideoLibrary::frames(const std::shared_ptr<const EmbeddedVideo>& video)
{
    std::unique_ptr<VideoFrames>& slot = streams_[video.get()];
    if (!slot)
        slot = std::make_unique<VideoFrames>(video, notice_);
    return *slot;
}

} // namespace swf::video
