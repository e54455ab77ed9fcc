#pragma once

// The decoders of a movie's embedded videos, one per stream, made when the stream is
// first drawn. The renderer asks it for pictures by stream and frame.

#include "engine/render/RenderTree.h"
#include "engine/video/VideoFrames.h"

#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

namespace swf::video {

class VideoLibrary : public render::VideoSource {
public:
    // `notice` hears of decoding problems, one line each, the first of each stream.
    explicit VideoLibrary(std::function<void(const std::string&)> notice = {}) : notice_(std::move(notice)) {}

    QImage picture(const std::shared_ptr<const EmbeddedVideo>& video, int frame) override;

    // The frames of `video`, made on first use.
    VideoFrames& frames(const std::shared_ptr<const EmbeddedVideo>& video);

private:
    // Keeps what all streams keep within one budget: past it, every stream but the one
    // just drawn lets go of its pictures.
    void trimCaches(const VideoFrames& used);

    std::function<void(const std::string&)> notice_;
    std::unordered_map<const EmbeddedVideo*, std::unique_ptr<VideoFrames>> streams_;
};

} // namespace swf::video
