#pragma once

// The pictures of one embedded video stream by frame number, for playing and seeking
// alike. A picture is decoded from the nearest key frame at or before it, or onward
// from where the decoder stands when that is on the way; recent pictures are kept, so
// that going back a little or showing the same frame again costs no decoding.
// A picture that cannot be decoded shows the last good one before it.

#include "engine/format/Video.h"
#include "engine/video/VideoDecoder.h"

#include <QImage>

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace swf::video {

class VideoFrames {
public:
    // `video` must outlive this object (it belongs to the loaded movie). `notice` hears
    // of decoding problems: the first of each stream, as one line.
    VideoFrames(std::shared_ptr<const EmbeddedVideo> video, std::function<void(const std::string&)> notice = {});

    // The picture frame `number` shows; null when the stream has nothing to show yet.
    QImage picture(int number);

    // How many pictures were decoded so far (tests and benchmarks read it).
    size_t decodedCount() const { return decodedCount_; }
    // Drops the kept pictures, as when memory is short; the decoder's state stays.
    void dropCache();
    // What the kept pictures take.
    size_t cacheBytes() const { return cacheBytes_; }

private:
    // Decodes forward until the picture at `index` (an index into the frames).
    QImage decodeTo(int index);
    void keep(int index, const QImage& image);
    const QImage* kept(int index);
    void report(const std::string& what);

    std::shared_ptr<const EmbeddedVideo> video_;
    std::function<void(const std::string&)> notice_;
    VideoDecoder decoder_;
    std::vector<bool> keyFrames_;  // by frame index
    int position_ = -1;            // index of the last picture fed to the decoder
    int lastGoodIndex_ = -1;       // index of the picture the decoder holds
    size_t decodedCount_ = 0;
    bool reported_ = false;
    // Most recently used first; bounded in bytes.
    std::list<std::pair<int, QImage>> cache_;
    size_t cacheBytes_ = 0;
};

} // namespace swf::video
