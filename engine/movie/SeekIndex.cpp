#include "engine/movie/SeekIndex.h"

#include "engine/movie/MovieDef.h"

#include <algorithm>

namespace swf::movie {

namespace {

// About 500 MiB of snapshots; a movie showing a thousand objects keeps 2,000 of them.
constexpr size_t kMaxSnapshotObjects = 2'000'000;

} // namespace

SeekIndex::SeekIndex(int interval) : interval_(std::max(interval, 1)) {}

size_t SeekIndex::snapshotCount() const
{
    size_t count = 0;
    for (const auto& [timeline, plans] : snapshots_)
        count += plans.size();
    return count;
}

ClipState SeekIndex::planAt(const TimelineDef& timeline, int frame, const ApplyFrame& apply)
{
    frame = std::clamp(frame, 1, timeline.frameCount());
    size_t wanted = static_cast<size_t>(frame / interval_);  // snapshots at or before `frame`
    std::vector<ClipState>* plans = nullptr;
    if (wanted > 0) {
        plans = &snapshots_[&timeline];
        while (plans->size() < wanted && snapshotObjects_ <= kMaxSnapshotObjects) {
            ClipState next;
            int from = 1;
            if (!plans->empty()) {
                next = plans->back();
                from = static_cast<int>(plans->size()) * interval_ + 1;
            } else {
                next.timeline = &timeline;
            }
            int to = static_cast<int>(plans->size() + 1) * interval_;
            for (int f = from; f <= to; ++f)
                apply(next, f);
            next.frame = to;
            snapshotObjects_ += next.children.size() + 1;
            plans->push_back(std::move(next));
        }
    }
    ClipState plan;
    if (plans && !plans->empty()) {
        plan = (*plans)[std::min(wanted, plans->size()) - 1];
    } else {
        plan.timeline = &timeline;
    }
    for (int f = plan.frame + 1; f <= frame; ++f)
        apply(plan, f);
    plan.frame = frame;
    return plan;
}

} // namespace swf::movie
