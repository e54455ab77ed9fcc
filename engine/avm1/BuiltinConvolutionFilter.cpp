// flash.filters.ConvolutionFilter: each pixel from its neighbours weighted by a matrixX x matrixY matrix (each side 0 to 15), divided by `divisor`, plus `bias`.

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"matrixX", "matrixY", "matrix", "divisor", "bias", "preserveAlpha", "clamp", "color", "alpha"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"matrixX", "matrixY", "matrix", "divisor", "bias", "preserveAlpha", "clamp", "color", "alpha"};

} // namespace

void installConvolutionFilterClass(Machine& m)
{
    defineFilterClass(m, "ConvolutionFilter", ScriptFilterKind::Convolution, kMembers, kArguments);
}

} // namespace swf::avm1
