#include "engine/movie/SeekIndex.h"

#include <algorithm>

namespace swf::movie {

namespace {

// About 500 MiB of snapshots; a movie showing a thousand objects keeps 2,000 of them.
constexpr size_t kMaxSnapshotObjects = 2'000'000;

size_t countObjects(const ClipState& clip)
{
    size_t count = clip.children.size();
    for (const DisplayObject& child : clip.children)
        if (child.clip)
            count += countObjects(*child.clip);
    return count;
}

} // namespace

SeekIndex::SeekIndex(const MovieDef& movie, int interval)
    : movie_(movie), stepper_(movie, {}), interval_(std::max(interval, 1))
{
    stepper_.setScriptsEnabled(false);
    stepper_.setLoop(false);
}

ClipState SeekIndex::stateAt(int frame)
{
    frame = std::clamp(frame, 1, movie_.root.frameCount());
    size_t index = static_cast<size_t>((frame - 1) / interval_);
    while (snapshots_.size() <= index) {
        if (snapshots_.empty()) {
            ClipState root = stepper_.makeRoot();
            stepper_.step(root);
            snapshotObjects_ += countObjects(root);
            snapshots_.push_back(std::move(root));
            continue;
        }
        if (snapshotObjects_ > kMaxSnapshotObjects)
            break;
        ClipState next = snapshots_.back();
        for (int i = 0; i < interval_; ++i)
            stepper_.step(next);
        snapshotObjects_ += countObjects(next);
        snapshots_.push_back(std::move(next));
    }
    ClipState state = snapshots_[std::min(index, snapshots_.size() - 1)];
    while (state.frame < frame)
        stepper_.step(state);
    return state;
}

} // namespace swf::movie
