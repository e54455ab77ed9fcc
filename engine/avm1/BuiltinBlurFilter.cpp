// flash.filters.BlurFilter: a box blur run `quality` times, blurX and blurY pixels wide (0 to 255).

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"blurX", "blurY", "quality"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"blurX", "blurY", "quality"};

} // namespace

void installBlurFilterClass(Machine& m)
{
    defineFilterClass(m, "BlurFilter", ScriptFilterKind::Blur, kMembers, kArguments);
}

} // namespace swf::avm1
