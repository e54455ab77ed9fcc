#include "engine/format/BlendMode.h"

namespace swf {

BlendMode blendModeFromByte(uint8_t value)
{
    if (value < static_cast<uint8_t>(BlendMode::Normal) || value > static_cast<uint8_t>(BlendMode::HardLight))
        return BlendMode::Normal;
    return static_cast<BlendMode>(value);
}

} // namespace swf
