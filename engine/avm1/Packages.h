#pragma once

// The flash.* packages scripts of SWF 8 and later see (flash.geom, flash.display,
// flash.filters), and the pieces their classes share: a class placed in a package
// rather than on the global object, and members read and written through native
// accessors.

#include "engine/avm1/FunctionObject.h"
#include "engine/avm1/Object.h"

#include <span>
#include <string>
#include <string_view>

namespace swf::avm1 {

class Machine;

// The package object at a dotted path ("flash.geom"), made on first use. The global
// `flash` exists only for movies of SWF 8 and later.
Object* packageObject(Machine& m, std::string_view dottedPath);

// A class living in `package` under `name`: its constructor, with `prototype` and
// `constructor` linked as for global classes. The prototype is also registered under
// `name` in the machine's prototypes.
Object* definePackageClass(Machine& m, std::string_view package, const std::string& name, Object* proto,
                           NativeFunction call, NativeFunction construct = nullptr);

// The constructor of a class defined with definePackageClass, or null.
Object* packageClass(Machine& m, std::string_view package, std::string_view name);

struct NativeAccessor {
    const char* name;
    Value (*get)(Machine& m, Value self, std::span<const Value> args);
    Value (*set)(Machine& m, Value self, std::span<const Value> args) = nullptr;
};

// One getter/setter property per entry on `target`, in the table's order.
void defineAccessors(Machine& m, Object* target, std::span<const NativeAccessor> accessors, uint16_t flags);

} // namespace swf::avm1
