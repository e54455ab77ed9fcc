// flash.filters.DisplacementMapFilter: pixels moved by the colours of a map bitmap; `mode` is wrap, clamp, ignore or color (anything else reads as wrap).

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"mapBitmap", "mapPoint", "componentX", "componentY", "scaleX", "scaleY", "mode", "color", "alpha"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"mapBitmap", "mapPoint", "componentX", "componentY", "scaleX", "scaleY", "mode", "color", "alpha"};

} // namespace

void installDisplacementMapFilterClass(Machine& m)
{
    defineFilterClass(m, "DisplacementMapFilter", ScriptFilterKind::DisplacementMap, kMembers, kArguments);
}

} // namespace swf::avm1
