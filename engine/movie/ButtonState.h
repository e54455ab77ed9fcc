#pragma once

// What a button state shows: the record flag of each state, and the first frame of a
// sprite in a hit area.

#include "engine/movie/ButtonCharacter.h"
#include "engine/format/ControlTags.h"

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

} // namespace swf::movie
