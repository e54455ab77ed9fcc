// flash.filters.GradientGlowFilter: a glow coloured through a gradient of up to 16 stops; the colours decide how many stops there are, fewer ratios cut every list short.

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "quality", "strength", "knockout", "type"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "strength", "quality", "type", "knockout"};

} // namespace

void installGradientGlowFilterClass(Machine& m)
{
    defineFilterClass(m, "GradientGlowFilter", ScriptFilterKind::GradientGlow, kMembers, kArguments);
}

} // namespace swf::avm1
