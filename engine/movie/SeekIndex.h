#pragma once

// Fast random access to "the movie as if it had played straight to frame n": the main
// timeline's state is snapshotted every `interval` frames as frames are first reached,
// so a seek copies the nearest earlier snapshot and steps at most interval-1 frames.
// Snapshots stop once they hold kMaxSnapshotObjects display objects together: a long
// movie with a crowded display list would otherwise cost gigabytes, and seeks past
// the last snapshot step from there instead.

#include "engine/movie/Timeline.h"

#include <vector>

namespace swf::movie {

class SeekIndex {
public:
    explicit SeekIndex(const MovieDef& movie, int interval = 32);

    // The main timeline's state after playing frames 1..frame with scripts off; frame
    // is clamped into range. Nested clips have stepped along as they would have.
    ClipState stateAt(int frame);

    int interval() const { return interval_; }
    size_t snapshotCount() const { return snapshots_.size(); }

private:
    const MovieDef& movie_;
    TimelinePlayer stepper_;
    int interval_;
    std::vector<ClipState> snapshots_;  // [i] holds frame 1 + i * interval
    size_t snapshotObjects_ = 0;        // display objects held by all snapshots together
};

} // namespace swf::movie
