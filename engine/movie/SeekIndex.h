#pragma once

// Random access to a timeline's placements: which characters stand at which depths at
// frame n, as if the timeline had played from its first frame. A goto rebuilds the
// display list from this plan, keeping the instances that stay. The plan of every
// `interval`-th frame is kept once first computed, so a rebuild replays at most
// interval-1 frames' control tags whatever the frame number. Plans hold display
// objects without clip states: they say what to place, not how placed clips have run.
// Snapshots stop once they hold kMaxSnapshotObjects display objects together: a long
// timeline with a crowded display list would otherwise cost gigabytes, and plans past
// the last snapshot replay from there instead.

#include "engine/movie/DisplayList.h"

#include <functional>
#include <unordered_map>
#include <vector>

namespace swf::movie {

struct TimelineDef;

class SeekIndex {
public:
    // Applies one frame's placements and removals to a plan.
    using ApplyFrame = std::function<void(ClipState& plan, int frame)>;

    explicit SeekIndex(int interval = 32);

    // The plan of `timeline` at `frame`, clamped into its frames; `apply` replays
    // the frames not covered by a snapshot.
    ClipState planAt(const TimelineDef& timeline, int frame, const ApplyFrame& apply);

    int interval() const { return interval_; }
    // Snapshots held for all timelines together.
    size_t snapshotCount() const;

private:
    int interval_;
    // Per timeline, [i] holds the plan at frame (i + 1) * interval.
    std::unordered_map<const TimelineDef*, std::vector<ClipState>> snapshots_;
    size_t snapshotObjects_ = 0;  // display objects held by all snapshots together
};

} // namespace swf::movie
