#pragma once

// Listener lists of the built-in broadcasters (Key, Selection): kept in the owner's
// hidden `_listeners` array, as AsBroadcaster keeps them, so scripts that look there
// see them.

#include "engine/avm1/Value.h"

#include <span>
#include <string_view>
#include <vector>

namespace swf::avm1 {

class Machine;
class Object;

// Puts `listener` last on `owner`'s list (moving it there when it is on it already).
void addListener(Machine& m, Object* owner, Object* listener);
// Takes `listener` off; true when it was on the list.
bool removeListener(Machine& m, Object* owner, Object* listener);
// The objects on the list, in order.
std::vector<Object*> listenersOf(Machine& m, Object* owner);
// Calls `method` with `args` on each listener that has it, in order. A throw goes on
// to the caller.
void broadcast(Machine& m, Object* owner, std::string_view method, std::span<const Value> args);

} // namespace swf::avm1
