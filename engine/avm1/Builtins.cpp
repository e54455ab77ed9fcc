#include "engine/avm1/Machine.h"

namespace swf::avm1 {

#define BUILTIN(installer) void installer(Machine& m);
#include "engine/avm1/Builtins.def"
#undef BUILTIN

void installBuiltins(Machine& m)
{
#define BUILTIN(installer) installer(m);
#include "engine/avm1/Builtins.def"
#undef BUILTIN
}

} // namespace swf::avm1
