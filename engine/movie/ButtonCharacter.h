#pragma once

// A button as the dictionary holds it: the parsed definition with the characters its
// records name, looked up once when the button is defined (a record may only name a
// character defined before it).

#include "engine/format/Button.h"

#include <vector>

namespace swf::movie {

struct Character;
struct MovieDef;

// What a placed button shows: the up, over or down records, as the pointer leaves it.
enum class ButtonVisual : uint8_t { Up, Over, Down };

struct ButtonCharacter {
    ButtonDef def;
    // One per record of def.records: null where the id names nothing we can show.
    std::vector<const Character*> characters;
    // The movie the button belongs to: sprites shown in a state look up what their
    // first frame places in its dictionary.
    const MovieDef* movie = nullptr;
};

} // namespace swf::movie
