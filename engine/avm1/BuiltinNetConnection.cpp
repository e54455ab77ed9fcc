// NetConnection: connect(null) opens the local "connection" that NetStream plays files
// through; an address of a media or remoting server is refused on the next frame (the
// player has no network), unless closed before. Status events go to onStatus as
// {level, code} objects, with the reference player's codes and order: a connection
// closed by a new connect says Closed before Success, and closing one still being
// attempted says Closed and then calls onStatus with no event at all.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/NetConnectionObject.h"

namespace swf::avm1 {

namespace {

NetConnectionObject* connectionOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<NetConnectionObject>() : nullptr;
}

void sendStatus(Machine& m, Object* target, const char* level, const char* code)
{
    Object* event = m.newObject();
    event->put("level", Value(level));
    event->put("code", Value(code));
    const Value args[] = {Value(event)};
    m.callMethod(Value(target), "onStatus", args);
}

// Ends whatever connection there is, with the events the reference player gives.
void closeConnection(Machine& m, NetConnectionObject* connection)
{
    const auto was = connection->state;
    connection->state = NetConnectionObject::State::Closed;
    connection->refusalPending = false;
    m.removeFrameTask(connection);
    if (was == NetConnectionObject::State::Closed)
        return;
    sendStatus(m, connection, "status", "NetConnection.Connect.Closed");
    if (was == NetConnectionObject::State::Remote)
        m.callMethod(Value(connection), "onStatus", {});
}

Value netConnectionConnect(Machine& m, Value self, std::span<const Value> args)
{
    NetConnectionObject* connection = connectionOf(self);
    if (!connection)
        return Value();
    closeConnection(m, connection);
    const Value address = arg(args, 0);
    if (address.isNullish()) {
        connection->state = NetConnectionObject::State::Local;
        sendStatus(m, connection, "status", "NetConnection.Connect.Success");
        return Value(true);
    }
    // A server address: the attempt fails, as it does without a network, a frame on.
    connection->state = NetConnectionObject::State::Remote;
    connection->refusalPending = true;
    m.addFrameTask(connection, [connection](Machine& machine, double) {
        machine.removeFrameTask(connection);
        if (!connection->refusalPending)
            return;
        connection->refusalPending = false;
        connection->state = NetConnectionObject::State::Closed;
        sendStatus(machine, connection, "error", "NetConnection.Connect.Failed");
    });
    return Value(true);
}

Value netConnectionClose(Machine& m, Value self, std::span<const Value>)
{
    if (NetConnectionObject* connection = connectionOf(self))
        closeConnection(m, connection);
    return Value();
}

const NativeMethod kNetConnectionMethods[] = {
    {"connect", netConnectionConnect},
    {"close", netConnectionClose},
};

Value netConnectionConstruct(Machine& m, Value, std::span<const Value>)
{
    return Value(m.make<NetConnectionObject>(m.protos().named("NetConnection")));
}

} // namespace

bool NetConnectionObject::getComputed(Machine& machine, std::string_view name, Value& out)
{
    if (name == "isConnected") {
        out = Value(state == State::Local);
        return true;
    }
    return Object::getComputed(machine, name, out);
}

void installNetConnectionClass(Machine& m)
{
    // Movies before version 6 have no NetConnection.
    if (m.version() < 6)
        return;
    Object* proto = m.newObject();
    m.protos().setNamed("NetConnection", proto);
    m.newClass("NetConnection", proto, netConnectionConstruct, netConnectionConstruct);
    defineMethods(m, proto, kNetConnectionMethods);
}

} // namespace swf::avm1
