// NetConnection: connect(null) opens the local "connection" that NetStream plays files
// through; an address of a media server is refused on the next frame (the player has
// no network), unless closed before. Status events go to onStatus as {level, code}
// objects, with the reference player's codes and order: a connection closed by a new
// connect says Closed before Success, and closing one still being attempted says
// Closed and then calls onStatus with no event at all.
//
// An http or https address is a remoting gateway, which needs no connection of its
// own: call() queues a message, and the frame's calls go out together after its
// scripts as one AMF packet with the headers addHeader set, as the reference player
// sends them. The packet is shown to the request observer; a movie from disk may not
// reach the network, so it is then refused (one notice a movie) and the connection's
// onStatus hears NetConnection.Call.Failed.

#include "engine/avm1/AmfScript.h"
#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/NetConnectionObject.h"
#include "engine/avm1/StringUtil.h"

#include <algorithm>

namespace swf::avm1 {

namespace {

NetConnectionObject* connectionOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<NetConnectionObject>() : nullptr;
}

constexpr std::string_view kRefusedSlot = "NetConnection.refused";

bool isGatewayAddress(const std::string& address)
{
    const std::string lower = toLowerText(address);
    return lower.starts_with("http:") || lower.starts_with("https:");
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
    connection->url.clear();
    connection->headers.clear();
    connection->pendingCalls.clear();
    connection->callsMade = 0;
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
    connection->state = NetConnectionObject::State::Remote;
    if (const std::string url = m.toString(address); isGatewayAddress(url)) {
        connection->url = url;
        return Value(true);
    }
    // A media server: the attempt fails, as it does without a network, a frame on.
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

// The frame's calls as one packet: shown to the observer, then refused.
void sendCalls(Machine& m, NetConnectionObject* connection)
{
    m.removeFrameTask(connection);
    if (connection->pendingCalls.empty())
        return;
    data::OutgoingRequest request;
    request.kind = data::OutgoingRequest::Kind::Fetch;
    request.url = connection->url;
    request.method = "POST";
    request.mimeType = "application/x-amf";
    request.body = data::writeAmfPacket(connection->headers, connection->pendingCalls);
    connection->pendingCalls.clear();
    if (LoadHost* host = m.loadHost()) {
        host->requestMade(request);
        if (!m.protos().named(kRefusedSlot)) {
            m.protos().setNamed(kRefusedSlot, m.newObject(nullptr));
            host->notice("a local movie may not reach the network: its remoting calls to " + request.url +
                         " were not sent");
        }
    }
    sendStatus(m, connection, "error", "NetConnection.Call.Failed");
}

// call(method, responder, args...): the arguments travel as a strict array, each
// message with its own table of references. The answer would come back to "/N", N
// counting the calls with a responder; a call without one expects no answer.
Value netConnectionCall(Machine& m, Value self, std::span<const Value> args)
{
    NetConnectionObject* connection = connectionOf(self);
    if (!connection || connection->url.empty() || args.empty())
        return Value();
    data::AmfMessage message;
    message.target = m.toString(args[0]);
    if (arg(args, 1).asObject())
        message.response = "/" + std::to_string(++connection->callsMade);
    else
        message.response = "null";
    message.body.type = data::AmfValue::Type::StrictArray;
    AmfWriter writer(m, nullptr, AmfWriter::Channel::Remoting);
    for (const Value& value : args.subspan(std::min<size_t>(args.size(), 2)))
        message.body.elements.push_back(writer.value(value, 1));
    // Past the packet's 16-bit count of messages the calls are dropped.
    if (connection->pendingCalls.size() >= 0xFFFF)
        return Value();
    connection->pendingCalls.push_back(std::move(message));
    if (connection->pendingCalls.size() == 1)
        m.addFrameTask(connection, [connection](Machine& machine, double) { sendCalls(machine, connection); }, true);
    return Value();
}

// addHeader(name, mustUnderstand, value): a header every later packet carries; a name
// given again replaces its header in place, keeping its flag when none is given.
Value netConnectionAddHeader(Machine& m, Value self, std::span<const Value> args)
{
    NetConnectionObject* connection = connectionOf(self);
    if (!connection || args.empty())
        return Value();
    data::AmfHeader header;
    header.name = m.toString(args[0]);
    AmfWriter writer(m, nullptr, AmfWriter::Channel::Remoting);
    header.value = args.size() > 2 ? writer.value(args[2], 0) : data::AmfValue::makeNull();
    auto same = std::ranges::find(connection->headers, header.name, &data::AmfHeader::name);
    if (args.size() > 1)
        header.mustUnderstand = m.toBoolean(args[1]);
    else if (same != connection->headers.end())
        header.mustUnderstand = same->mustUnderstand;
    if (same != connection->headers.end())
        *same = std::move(header);
    else if (connection->headers.size() < 0xFFFF)
        connection->headers.push_back(std::move(header));
    return Value();
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
    {"call", netConnectionCall},
    {"addHeader", netConnectionAddHeader},
};

Value netConnectionConstruct(Machine& m, Value self, std::span<const Value>)
{
    auto* connection = m.make<NetConnectionObject>(m.protos().named("NetConnection"));
    // Run on an existing object (a subclass's super()), it makes that object a
    // connection in place, and answers nothing.
    if (Object* target = stateTarget(m, self)) {
        target->attachNative(connection);
        return Value();
    }
    return Value(connection);
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
