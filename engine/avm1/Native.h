#pragma once

// Built-in methods as named functions, registered from a table per class:
//
//     Value stringCharAt(Machine& m, Value self, std::span<const Value> args);
//     const NativeMethod kStringMethods[] = {{"charAt", stringCharAt}, ...};
//     defineMethods(m, proto, kStringMethods);
//
// so that a method can be found by its name in the source and in a stack trace.

#include "engine/avm1/Object.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swf::avm1 {

class Machine;

using NativeFn = Value (*)(Machine& m, Value self, std::span<const Value> args);

struct NativeMethod {
    const char* name;
    NativeFn function;
    // The slot's property flags; built-in methods are hidden from for..in and stay.
    uint16_t flags = PropertyFlag::DontEnum | PropertyFlag::DontDelete;
};

// One name of an ASSetNative list: the name and the version flag its prefix gives.
struct NativeSlotName {
    std::string name;
    uint16_t flags = 0;
};
std::vector<NativeSlotName> parseNativeNames(std::string_view list);

// Puts one native function object per entry on `target`, in the table's order.
void defineMethods(Machine& m, Object* target, std::span<const NativeMethod> methods);

// The object a built-in constructor called as a function (a subclass's super(),
// Date.call(o)) gives its state to in place: `self` when it is an object that holds no
// built-in state yet, else null (the constructor then leaves it as it is). The globals
// object, `this` of a built-in called by its bare name, is never given any.
Object* stateTarget(Machine& m, const Value& self);

// Makes the `__proto__` of `o` read-only, as the reference player makes it on its
// built-in singletons (Math, Key, Mouse, Selection ...) and on Color objects: a write
// to it does nothing until ASSetPropFlags lifts the flag.
inline void lockPrototype(Object* o)
{
    o->setProtoFlags(static_cast<uint16_t>(o->protoFlags() | PropertyFlag::ReadOnly));
}

// What a built-in constructor answers once it has made `state`: run on an existing
// object that holds no state yet (a subclass's super()), that object, given `state`
// in place; otherwise `state` itself, the new instance.
Value adoptState(Machine& m, const Value& self, Object* state);

// For a class whose instances keep all they need in ordinary members (LoadVars,
// PrintJob, MovieClipLoader, a script-made TextField or Button): marks `self`, made by
// `new` or reached through super(), as holding that class's built-in state, as the
// reference player's instances do. It decides whether another built-in constructor
// may later give the object its own state (it may not).
void markNativeState(Machine& m, const Value& self);

} // namespace swf::avm1
