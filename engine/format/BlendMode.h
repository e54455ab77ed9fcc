#pragma once

// How a placed object's pixels combine with what lies below it. The numbering is the
// byte PlaceObject3 stores; scripts name the modes by the strings blendModeName gives.

#include <cstdint>
#include <optional>
#include <string_view>

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

// "normal", "layer", "multiply" ... "hardlight".
std::string_view blendModeName(BlendMode mode);

// The mode a script names (exact lower-case names as blendModeName gives them), or
// nullopt for anything else.
std::optional<BlendMode> blendModeFromName(std::string_view name);

} // namespace swf
