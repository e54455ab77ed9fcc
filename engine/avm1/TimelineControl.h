#pragma once

// What a script may ask of the timeline it runs in. The movie layer implements it for
// each clip; the machine knows nothing of display lists.

#include <string>
#include <string_view>

namespace swf::avm1 {

class TimelineControl {
public:
    virtual ~TimelineControl() = default;

    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void nextFrame() = 0;
    virtual void prevFrame() = 0;
    // `frame` counts from 0, as ActionGotoFrame stores it.
    virtual void gotoFrame(int frame) = 0;
    // False when the timeline has no such label (the goto then does nothing).
    virtual bool gotoLabel(std::string_view label) = 0;
    virtual void toggleQuality() = 0;
    virtual void stopSounds() = 0;
    virtual void getUrl(const std::string& url, const std::string& target) = 0;
    virtual void trace(const std::string& line) = 0;
};

} // namespace swf::avm1
