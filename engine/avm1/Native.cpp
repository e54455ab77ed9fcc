#include "engine/avm1/Native.h"

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

void defineMethods(Machine& m, Object* target, std::span<const NativeMethod> methods)
{
    for (const NativeMethod& method : methods)
        target->put(method.name, Value(m.newNativeFunction(method.name, method.function)), method.flags);
}

} // namespace swf::avm1
