#include "engine/format/BlendMode.h"

#include <array>

namespace swf {

namespace {

constexpr uint8_t kFirst = static_cast<uint8_t>(BlendMode::Normal);
constexpr uint8_t kLast = static_cast<uint8_t>(BlendMode::HardLight);

// Indexed by the mode's value minus kFirst.
constexpr std::array<std::string_view, kLast - kFirst + 1> kNames = {
    "normal", "layer", "multiply", "screen", "lighten", "darken", "difference",
    "add", "subtract", "invert", "alpha", "erase", "overlay", "hardlight",
};

} // namespace

BlendMode blendModeFromByte(uint8_t value)
{
    if (value < kFirst || value > kLast)
        return BlendMode::Normal;
    return static_cast<BlendMode>(value);
}

std::string_view blendModeName(BlendMode mode)
{
    const auto value = static_cast<uint8_t>(mode);
    if (value < kFirst || value > kLast)
        return kNames[0];
    return kNames[value - kFirst];
}

std::optional<BlendMode> blendModeFromName(std::string_view name)
{
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name)
            return static_cast<BlendMode>(kFirst + i);
    }
    return std::nullopt;
}

} // namespace swf
