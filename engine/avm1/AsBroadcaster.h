#pragma once

// AsBroadcaster: the listener list that Key, Mouse, Stage, MovieClipLoader and a
// script's own objects share. `initializeBroadcaster` gives an object the very
// addListener, removeListener and broadcastMessage functions of AsBroadcaster itself
// and an empty `_listeners` array, as AsBroadcaster.initialize does.

namespace swf::avm1 {

class Machine;
class Object;

void initializeBroadcaster(Machine& m, Object* target);

} // namespace swf::avm1
