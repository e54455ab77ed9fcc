#pragma once

// Clip event handlers (onClipEvent) as PlaceObject2/3 stores them: a list of event
// masks, each with its actions.

#include <cstdint>
#include <span>
#include <vector>

namespace swf::movie {

namespace ClipEvent {
constexpr uint32_t Load = 0x1;
constexpr uint32_t EnterFrame = 0x2;
constexpr uint32_t Unload = 0x4;
constexpr uint32_t MouseMove = 0x8;
constexpr uint32_t MouseDown = 0x10;
constexpr uint32_t MouseUp = 0x20;
constexpr uint32_t KeyDown = 0x40;
constexpr uint32_t KeyUp = 0x80;
constexpr uint32_t Data = 0x100;
constexpr uint32_t Initialize = 0x200;
constexpr uint32_t Construct = 0x40000;
}

struct ClipEventHandler {
    uint32_t events = 0;
    std::span<const uint8_t> code;
};

// Before SWF 6 the masks are 16 bits wide, later 32. Damaged lists yield the handlers
// read before the damage.
std::vector<ClipEventHandler> parseClipEvents(std::span<const uint8_t> clipActions, int swfVersion);
// False when a handler runs past the list or a key-press handler has no key code: the
// damage the reference player's loader stops at.
bool clipActionsWellFormed(std::span<const uint8_t> clipActions, int swfVersion);

} // namespace swf::movie
