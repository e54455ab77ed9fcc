// flash.filters.DropShadowFilter: the object's outline blurred, coloured and moved `distance` pixels at `angle` degrees, drawn behind it (or inside it).

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"distance", "angle", "color", "alpha", "quality", "inner", "knockout", "blurX", "blurY", "strength", "hideObject"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"distance", "angle", "color", "alpha", "blurX", "blurY", "strength", "quality", "inner", "knockout", "hideObject"};

} // namespace

void installDropShadowFilterClass(Machine& m)
{
    defineFilterClass(m, "DropShadowFilter", ScriptFilterKind::DropShadow, kMembers, kArguments);
}

} // namespace swf::avm1
