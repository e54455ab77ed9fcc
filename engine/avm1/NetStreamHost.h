#pragma once

// What NetStream and Video ask of the player: opening a local FLV file under the
// movie's local-file rules, and for an opened file, its pictures and sound following
// the stream's clock. The machine keeps the clock and the events; the player does the
// reading, decoding and mixing.

#include "engine/data/Amf0.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace swf {
struct EmbeddedVideo;
}

namespace swf::avm1 {

class Object;

// The picture a stream shows now: its pictures as a video stream and the index of the
// one on show (-1: none yet). A Video object attached to the stream draws it.
struct VideoFeed {
    std::shared_ptr<const EmbeddedVideo> video;
    int picture = -1;
};

// What a Video object on the stage draws instead of its own embedded stream, and how.
// Shared by the script object and the display object it stands for.
struct VideoAttachment {
    std::shared_ptr<const VideoFeed> feed;  // null: nothing attached
    bool smoothing = false;
    int deblocking = 0;
    // clear(): the picture on show when it was called stays hidden until the next.
    const EmbeddedVideo* clearedVideo = nullptr;
    int clearedPicture = -1;
    // The script object standing for the video on the stage (made on first reach).
    Object* scriptObject = nullptr;
    // What the renderer draws: the feed's pictures in the box of the object's size,
    // remade when the feed's stream or the smoothing changes.
    std::shared_ptr<const EmbeddedVideo> view;
    const EmbeddedVideo* viewSource = nullptr;
    bool viewSmoothing = false;

    // The picture to draw, or -1 for none.
    int pictureOnShow() const
    {
        if (!feed || !feed->video || feed->picture < 0)
            return -1;
        if (feed->video.get() == clearedVideo && feed->picture == clearedPicture)
            return -1;
        return feed->picture;
    }
};

struct StreamScriptTag {
    double time = 0;  // seconds
    std::string name;
    data::AmfValue argument;
};

class OpenedStream {
public:
    virtual ~OpenedStream() = default;

    virtual double duration() const = 0;
    virtual size_t bytesTotal() const = 0;
    // Pictures a second as the file's timestamps space them; 0 without video.
    virtual double frameRate() const = 0;
    // The time of the key frame at or before `seconds`: where a seek lands.
    virtual double keyFrameAtOrBefore(double seconds) const = 0;
    virtual const std::vector<StreamScriptTag>& scriptTags() const = 0;
    // The pictures as a video stream (null without video), and the index of the one
    // `seconds` shows (-1 before the first).
    virtual std::shared_ptr<const EmbeddedVideo> video() const = 0;
    virtual int pictureAt(double seconds) const = 0;
    // Plays the sound from `seconds` on, or stops it.
    virtual void startSound(double seconds) = 0;
    virtual void stopSound() = 0;
    // Groups the stream's sound with a clip's (MovieClip.attachAudio): that clip's Sound
    // settings apply to it from then on. 0: the stream's own group.
    virtual void setSoundScope(uint64_t /*scope*/) {}
};

class NetStreamHost {
public:
    virtual ~NetStreamHost() = default;
    // Opens the FLV file `url` names; null when the local-file rules refuse it or it
    // cannot be read, the player having given its one notice of why.
    virtual std::unique_ptr<OpenedStream> openStream(const std::string& url) = 0;
};

} // namespace swf::avm1
