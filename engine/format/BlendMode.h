#pragma once

// How a placed object's pixels combine with what lies below it. The numbering is the
// byte PlaceObject3 stores.

#include <cstdint>

namespace swf {

enum class BlendMode : uint8_t {
    Normal = 1,
    Layer,
    Multiply,
    Screen,
    Lighten,
    Darken,
    Difference,
    Add,
    Subtract,
    Invert,
    Alpha,
    Erase,
    Overlay,
    HardLight,
};

// The stored byte as a mode: 0 and values past the last mode mean normal.
BlendMode blendModeFromByte(uint8_t value);

} // namespace swf
