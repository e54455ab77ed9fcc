#pragma once

// Delivery to the listeners of the built-in broadcasters (Key, Selection), which
// AsBroadcaster gave their `_listeners` array.

#include "engine/avm1/Value.h"

#include <span>
#include <string_view>
#include <vector>

namespace swf::avm1 {

class Machine;
class Object;

// The objects on the list, in order.
std::vector<Object*> listenersOf(Machine& m, Object* owner);
// Calls `method` with `args` on each listener that has it, in order. A throw goes on
// to the caller.
void broadcast(Machine& m, Object* owner, std::string_view method, std::span<const Value> args);

} // namespace swf::avm1
