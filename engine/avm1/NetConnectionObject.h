#pragma once

// NetConnection's objects, which NetStream asks whether they are connected. Only the
// local "connection" (connect(null)) plays anything: the player has no media server.

#include "engine/avm1/Object.h"
#include "engine/data/Amf0.h"

#include <string>
#include <vector>

namespace swf::avm1 {

class NetConnectionObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    using Object::Object;

    // A connection's `__proto__` can be cut but never pointed at another object.
    bool prototypeRepointable() const override { return false; }

    enum class State { Closed, Local, Remote };
    State state = State::Closed;
    // connect() to a server address: refused on the next frame, unless closed before.
    bool refusalPending = false;
    // A remoting gateway (an http or https address): calls go to `url` as AMF
    // packets, those of one frame together, with the headers addHeader set.
    std::string url;
    std::vector<data::AmfHeader> headers;
    std::vector<data::AmfMessage> pendingCalls;
    uint32_t callsMade = 0;

    // isConnected: whether the local connection is open; read-only.
    bool getComputed(Machine& machine, std::string_view name, Value& out) override;
};

} // namespace swf::avm1
