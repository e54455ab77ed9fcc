#pragma once

// Plays timelines: steps clips frame by frame, applies control tags to display lists,
// carries out gotos (a backward goto rebuilds the list as if played from frame 1) and
// runs the frame scripts that entering frames queues, after the display-list changes.

#include "engine/movie/DisplayList.h"
#include "engine/movie/MovieDef.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace swf::movie {

// Where scripts reach outside the timeline.
struct MovieHooks {
    std::function<void(const std::string&)> trace;
    std::function<void(const std::string& url, const std::string& target)> getUrl;
    std::function<void()> toggleQuality;
    std::function<void()> stopSounds;
};

// A clip is named by the depths leading to it from the root, so that queued work
// survives the display lists changing underneath it.
using ClipPath = std::vector<uint16_t>;

class TimelinePlayer {
public:
    TimelinePlayer(const MovieDef& movie, MovieHooks hooks);

    // Scripts off: frames play their display-list changes only (AS3 movies, seeking).
    void setScriptsEnabled(bool enabled) { scriptsEnabled_ = enabled; }
    bool scriptsEnabled() const { return scriptsEnabled_; }
    // Whether the main timeline starts again after its last frame (sprites always do).
    void setLoop(bool loop) { loop_ = loop; }
    bool loop() const { return loop_; }

    // A fresh main timeline before its first frame.
    ClipState makeRoot() const;

    // One frame of the movie clock: the main timeline moves on if it is playing
    // (entering frame 1 the first time), every nested clip likewise, then the queued
    // scripts run.
    void step(ClipState& root);
    // Moves the clip at `path` to `frame` (clamped into range), queuing the target
    // frame's scripts; runs them when `runNow`.
    void gotoFrame(ClipState& root, const ClipPath& path, int frame, bool runNow);
    // Queues the scripts of the root's current frame and runs them (after a seek).
    void runFrameScripts(ClipState& root);
    // Runs queued scripts, oldest first, within the per-frame budget.
    void runQueuedScripts(ClipState& root);

    static ClipState* resolve(ClipState& root, const ClipPath& path);

private:
    friend class ClipControl;

    struct StepMode {
        bool markFresh = false;    // new objects wait for the next step before stepping
        bool instantiate = true;   // false: plan a list without creating clip states
    };
    struct QueuedScript {
        ClipPath path;
        std::span<const uint8_t> code;
    };

    void advanceClip(ClipState& clip, ClipPath& path, bool isRoot);
    void gotoInClip(ClipState& clip, ClipPath& path, int frame);
    void rebuildTo(ClipState& clip, ClipPath& path, int frame, StepMode mode);
    void applyFrame(ClipState& clip, ClipPath& path, int frame, StepMode mode, bool queueScripts);
    void place(ClipState& clip, ClipPath& path, const PlaceObject& tag, int frame, StepMode mode);
    void instantiateClip(DisplayObject& object, ClipPath& path);
    void queueScripts(const ClipState& clip, const ClipPath& path, int frame);

    const MovieDef& movie_;
    MovieHooks hooks_;
    bool scriptsEnabled_ = true;
    bool loop_ = true;
    std::deque<QueuedScript> queue_;
};

} // namespace swf::movie
