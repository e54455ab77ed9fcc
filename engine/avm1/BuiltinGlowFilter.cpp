// flash.filters.GlowFilter: the object's outline blurred and coloured, around it or inside it.

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"color", "alpha", "quality", "inner", "knockout", "blurX", "blurY", "strength"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"color", "alpha", "blurX", "blurY", "strength", "quality", "inner", "knockout"};

} // namespace

void installGlowFilterClass(Machine& m)
{
    defineFilterClass(m, "GlowFilter", ScriptFilterKind::Glow, kMembers, kArguments);
}

} // namespace swf::avm1
