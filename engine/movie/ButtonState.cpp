#include "engine/movie/ButtonState.h"

#include "engine/movie/MovieDef.h"

#include <map>
#include <variant>

namespace swf::movie {

std::vector<FirstFramePlacement> firstFramePlacements(const TimelineDef& sprite, const MovieDef& movie)
{
    std::map<uint16_t, FirstFramePlacement> byDepth;
    if (sprite.frames.empty())
        return {};
    for (const ControlTag& tag : sprite.frame(1).tags) {
        if (const auto* place = std::get_if<PlaceObject>(&tag)) {
            if (place->characterId)
                byDepth[place->depth] = {place->depth, movie.character(*place->characterId), *place};
        } else if (const auto* remove = std::get_if<RemoveObject>(&tag)) {
            byDepth.erase(remove->depth);
        }
    }
    std::vector<FirstFramePlacement> placements;
    placements.reserve(byDepth.size());
    for (auto& [depth, placed] : byDepth)
        placements.push_back(std::move(placed));
    return placements;
}

uint8_t stateFlag(ButtonVisual visual)
{
    switch (visual) {
    case ButtonVisual::Up: return kButtonUp;
    case ButtonVisual::Over: return kButtonOver;
    case ButtonVisual::Down: return kButtonDown;
    }
    return kButtonUp;
}

} // namespace swf::movie
