#include "engine/movie/SeekIndex.h"

#include <algorithm>

namespace swf::movie {

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
            snapshots_.push_back(std::move(root));
            continue;
        }
        ClipState next = snapshots_.back();
        for (int i = 0; i < interval_; ++i)
            stepper_.step(next);
        snapshots_.push_back(std::move(next));
    }
    ClipState state = snapshots_[index];
    while (state.frame < frame)
        stepper_.step(state);
    return state;
}

} // namespace swf::movie
