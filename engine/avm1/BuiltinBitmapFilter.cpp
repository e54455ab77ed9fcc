// flash.filters.BitmapFilter: the base every filter class's prototype inherits. A bare
// BitmapFilter has no settings and clones to nothing.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

namespace swf::avm1 {

namespace {

Value bitmapFilterConstruct(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value bitmapFilterClone(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeMethod kBitmapFilterMethods[] = {
    {"clone", bitmapFilterClone},
};

} // namespace

void installBitmapFilterClass(Machine& m)
{
    Object* proto = m.newObject();
    definePackageClass(m, "flash.filters", "BitmapFilter", proto, bitmapFilterConstruct);
    defineMethods(m, proto, kBitmapFilterMethods);
}

} // namespace swf::avm1
