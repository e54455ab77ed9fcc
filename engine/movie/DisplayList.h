#pragma once

// Running state of a timeline: the playhead and the objects on its display list, by
// depth. Plain values: copying a ClipState copies the whole subtree, which is what
// seek snapshots rely on.

#include "engine/format/Primitives.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swf::movie {

struct Character;
struct TimelineDef;
struct DisplayObject;

struct ClipState {
    const TimelineDef* timeline = nullptr;
    int frame = 0;  // 1-based; 0 until the first frame is entered
    bool playing = true;
    std::vector<DisplayObject> children;  // sorted by depth, at most one per depth

    DisplayObject* find(uint16_t depth);
    const DisplayObject* find(uint16_t depth) const;
    // Inserts in depth order; the depth must be free.
    DisplayObject& insert(DisplayObject object);
    bool remove(uint16_t depth);

    friend bool operator==(const ClipState&, const ClipState&) = default;
};

struct DisplayObject {
    uint16_t depth = 0;
    uint16_t characterId = 0;
    const Character* character = nullptr;  // null when the id names nothing we can show
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0;
    bool visible = true;
    // The parent frame whose PlaceObject created this instance; a backward goto keeps
    // an instance only when the rebuilt list places the same character at the same
    // depth from the same frame.
    int placedAt = 0;
    // Created during the current frame step, so it does not step again until the next.
    bool fresh = false;
    std::optional<ClipState> clip;  // for sprite instances

    friend bool operator==(const DisplayObject&, const DisplayObject&) = default;
};

} // namespace swf::movie
