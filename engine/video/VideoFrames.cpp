#include "engine/video/VideoFrames.h"

namespace swf::video {

namespace {

// Kept pictures of one stream: some 13 of 640 x 480.
constexpr size_t kCacheBytes = size_t{16} << 20;

} // namespace

VideoFrames::VideoFrames(std::shared_ptr<const EmbeddedVideo> video, std::function<void(const std::string&)> notice)
    : video_(std::move(video)), notice_(std::move(notice)), decoder_(video_->def, video_->codecConfig)
{
    if (video_->keyFrames.size() == video_->frames.size()) {
        keyFrames_ = video_->keyFrames;
    } else {
        keyFrames_.reserve(video_->frames.size());
        for (const VideoFrameTag& frame : video_->frames)
            keyFrames_.push_back(isVideoKeyFrame(video_->def.codec(), frame.data));
    }
    if (!decoder_.usable())
        report(decoder_.error());
}

QImage VideoFrames::picture(int number)
{
    const int index = video_->indexAtOrBefore(number);
    if (index < 0 || !decoder_.usable())
        return {};
    if (const QImage* image = kept(index))
        return *image;
    QImage image = decodeTo(index);
    if (!image.isNull())
        keep(index, image);
    return image;
}

QImage VideoFrames::decodeTo(int index)
{
    // The nearest key frame at or before the target; with none, the stream's start,
    // which the decoder makes what it can of.
    int key = index;
    while (key > 0 && !keyFrames_[static_cast<size_t>(key)])
        --key;
    int start = key;
    if (position_ >= key && position_ < index) {
        start = position_ + 1;  // on the way: carry on from where the decoder stands
    } else {
        decoder_.reset();
        lastGoodIndex_ = -1;
    }
    for (int i = start; i <= index; ++i) {
        position_ = i;
        ++decodedCount_;
        if (decoder_.decode(video_->frames[static_cast<size_t>(i)].data, keyFrames_[static_cast<size_t>(i)]))
            lastGoodIndex_ = i;
        else
            report("video stream " + std::to_string(video_->def.id) + ", frame " +
                   std::to_string(video_->frames[static_cast<size_t>(i)].frameNumber) + ": " + decoder_.error());
    }
    if (lastGoodIndex_ == index)
        return decoder_.picture();
    // The target did not decode: the last good picture before it, kept or decoded.
    if (lastGoodIndex_ >= 0)
        return decoder_.picture();
    for (int i = index - 1; i >= 0; --i) {
        if (const QImage* image = kept(i))
            return *image;
    }
    return {};
}

void VideoFrames::keep(int index, const QImage& image)
{
    const size_t bytes = static_cast<size_t>(image.sizeInBytes());
    cache_.emplace_front(index, image);
    cacheBytes_ += bytes;
    while (cacheBytes_ > kCacheBytes && cache_.size() > 1) {
        cacheBytes_ -= static_cast<size_t>(cache_.back().second.sizeInBytes());
        cache_.pop_back();
    }
}

const QImage* VideoFrames::kept(int index)
{
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->first == index) {
            cache_.splice(cache_.begin(), cache_, it);
            return &cache_.front().second;
        }
    }
    return nullptr;
}

void VideoFrames::dropCache()
{
    cache_.clear();
    cacheBytes_ = 0;
}

void VideoFrames::report(const std::string& what)
{
    if (reported_)
        return;
    reported_ = true;
    if (notice_)
        notice_(what);
}

} // namespace swf::video
