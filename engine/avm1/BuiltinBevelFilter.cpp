// flash.filters.BevelFilter: a highlight and a shadow on opposite sides of the object's edges; `type` is inner, outer or full (anything else reads as full).

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"distance", "angle", "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha", "quality", "strength", "knockout", "blurX", "blurY", "type"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"distance", "angle", "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha", "blurX", "blurY", "strength", "quality", "type", "knockout"};

} // namespace

void installBevelFilterClass(Machine& m)
{
    defineFilterClass(m, "BevelFilter", ScriptFilterKind::Bevel, kMembers, kArguments);
}

} // namespace swf::avm1
