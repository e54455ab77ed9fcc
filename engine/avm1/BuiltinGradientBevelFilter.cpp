// flash.filters.GradientBevelFilter: a bevel whose highlight and shadow come from one gradient of up to 16 stops.

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "quality", "strength", "knockout", "type"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "strength", "quality", "type", "knockout"};

} // namespace

void installGradientBevelFilterClass(Machine& m)
{
    defineFilterClass(m, "GradientBevelFilter", ScriptFilterKind::GradientBevel, kMembers, kArguments);
}

} // namespace swf::avm1
