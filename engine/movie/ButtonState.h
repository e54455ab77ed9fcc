#pragma once

// Drawing a placed button: the records of the state it shows become children of its
// render node.

#include "engine/movie/ButtonCharacter.h"
#include "engine/format/ControlTags.h"
#include "engine/render/RenderTree.h"

#include <vector>

namespace swf::movie {

struct TimelineDef;

// An object a sprite's first frame places, as a sprite inside a button shows it.
struct FirstFramePlacement {
    uint16_t depth = 0;
    const Character* character = nullptr;  // null where the id names nothing
    PlaceObject place;
};
// In depth order.
std::vector<FirstFramePlacement> firstFramePlacements(const TimelineDef& sprite, const MovieDef& movie);

// The record flag of a shown state.
uint8_t stateFlag(ButtonVisual visual);

// Adds to `node` the characters of `button`'s records for `visual`, in depth order,
// each with its record's matrix, colour transform and blend mode. A sprite in a state
// shows what its first frame places.
void addButtonChildren(const ButtonCharacter& button, ButtonVisual visual, render::RenderNode& node);

} // namespace swf::movie
