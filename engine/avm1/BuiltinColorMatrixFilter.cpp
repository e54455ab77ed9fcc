// flash.filters.ColorMatrixFilter: each pixel's colour through a 4 x 5 matrix (offsets in 0..255 units); a matrix written as anything but an array of 20 numbers fills with NaN where numbers are missing.

#include "engine/avm1/FilterObject.h"

namespace swf::avm1 {

namespace {

// In the order for..in lists them.
constexpr const char* kMembers[] = {"matrix"};
// In the order the constructor takes them.
constexpr const char* kArguments[] = {"matrix"};

} // namespace

void installColorMatrixFilterClass(Machine& m)
{
    defineFilterClass(m, "ColorMatrixFilter", ScriptFilterKind::ColorMatrix, kMembers, kArguments);
}

} // namespace swf::avm1
