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

} // namespace swf::avm1
