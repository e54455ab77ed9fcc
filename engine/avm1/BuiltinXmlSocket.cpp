// XMLSocket: a connection to a server that sends XML documents. A movie played from
// disk may not reach the network, so a connection is never made: connect() says what
// the movie asked for (host and port, the movie's own host "localhost" when none is
// given) and answers false, as the reference player does when the sandbox refuses a
// connection outright, with one notice per movie; nothing is ever received, so
// onConnect, onData and onXML are not called. The default onData still turns text
// into an XML object for onXML, for scripts that call it themselves.

#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

#include <cmath>

namespace swf::avm1 {

namespace {

constexpr std::string_view kRefusedSlot = "XMLSocket.refused";

Value socketConnect(Machine& m, Value, std::span<const Value> args)
{
    data::OutgoingRequest request;
    request.kind = data::OutgoingRequest::Kind::Socket;
    request.host = args.empty() || args[0].isNullish() ? std::string("localhost") : m.toString(args[0]);
    const double port = args.size() > 1 ? m.toNumber(args[1]) : 0;
    request.port = std::isfinite(port) && port > 0 && port < 65536 ? static_cast<int>(port) : 0;
    LoadHost* host = m.loadHost();
    if (!host)
        return Value(false);
    host->requestMade(request);
    if (!m.protos().named(kRefusedSlot)) {
        m.protos().setNamed(kRefusedSlot, m.newObject(nullptr));
        host->notice("a local movie may not reach the network: its socket to " + request.host + ":" +
                     std::to_string(request.port) + " was not opened");
    }
    return Value(false);
}

Value socketSend(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value socketClose(Machine&, Value, std::span<const Value>)
{
    return Value();
}

// The text of one message as an XML document, for onXML.
Value socketOnData(Machine& m, Value self, std::span<const Value> args)
{
    const Value text = args.empty() ? Value() : args[0];
    RootedValues document(m, {m.construct(m.getMember(Value(m.global()), "XML"), std::span(&text, 1))});
    m.callMethod(self, "onXML", document);
    return Value();
}

const NativeMethod kSocketMethods[] = {
    {"connect", socketConnect},
    {"send", socketSend},
    {"close", socketClose},
    {"onData", socketOnData},
};

Value socketCall(Machine&, Value, std::span<const Value>)
{
    return Value();
}

} // namespace

void installXmlSocketClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("XMLSocket", proto);
    m.newClass("XMLSocket", proto, socketCall);
    defineMethods(m, proto, kSocketMethods);
}

} // namespace swf::avm1
