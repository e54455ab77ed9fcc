// What a movie played by the stand-alone player finds of the world around it:
// ExternalInterface (no browser page to talk to, so not available),
// System.security (the local-with-file sandbox every movie from disk plays in) and
// LocalConnection (channels between movies; this player runs one movie, so a
// connection has no peers and messages reach no one).

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

#include <cctype>

namespace swf::avm1 {

namespace {

// ---- ExternalInterface ----

Value externalAddCallback(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

Value externalCall(Machine&, Value, std::span<const Value>)
{
    return Value(Null{});
}

// ---- System.security ----

Value securityAllowDomain(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value securityLoadPolicyFile(Machine&, Value, std::span<const Value>)
{
    return Value();
}

// ---- LocalConnection ----

// Channel names taken by connect() in this movie, so that a second connect to the same
// name fails as it does when another receiver holds it.
constexpr std::string_view kChannelsSlot = "LocalConnection.channels";

Object* channels(Machine& m)
{
    Object* table = m.protos().named(kChannelsSlot);
    if (!table) {
        table = m.newObject(nullptr);
        m.protos().setNamed(kChannelsSlot, table);
    }
    return table;
}

std::string lowerName(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

Value connectionConnect(Machine& m, Value self, std::span<const Value> args)
{
    Object* connection = self.asObject();
    if (!connection || args.empty() || !args[0].isString() || args[0].asString().empty())
        return Value(false);
    if (connection->findOwn("__channel"))
        return Value(false);  // already connected
    const std::string channel = lowerName(args[0].asString());
    Object* taken = channels(m);
    if (taken->findOwn(channel))
        return Value(false);
    taken->put(channel, Value(connection));
    connection->put("__channel", Value(channel), PropertyFlag::DontEnum);
    return Value(true);
}

Value connectionClose(Machine& m, Value self, std::span<const Value>)
{
    Object* connection = self.asObject();
    const Property* channel = connection ? connection->findOwn("__channel") : nullptr;
    if (!channel)
        return Value(false);
    channels(m)->erase(m.toString(channel->value));
    connection->erase("__channel");
    return Value();
}

// The domain a movie from disk reports for its connections.
Value connectionDomain(Machine&, Value, std::span<const Value>)
{
    return Value("localhost");
}

const NativeMethod kConnectionMethods[] = {
    {"connect", connectionConnect},
    {"close", connectionClose},
    {"domain", connectionDomain},
};

Value noConstruct(Machine&, Value, std::span<const Value>)
{
    return Value();
}

} // namespace

void installExternalObjects(Machine& m)
{
    Object* g = m.global();

    Object* externalProto = m.newObject();
    Object* external = m.newClass("ExternalInterface", externalProto, noConstruct);
    external->put("available", Value(false), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    const NativeMethod externalMethods[] = {{"addCallback", externalAddCallback}, {"call", externalCall}};
    defineMethods(m, external, externalMethods);

    // System exists already (the stage objects); security hangs off it.
    if (Object* system = m.getMember(Value(g), "System").asObject()) {
        Object* security = m.newObject();
        system->put("security", Value(security), PropertyFlag::DontEnum);
        security->put("sandboxType", Value("localWithFile"), PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
        const NativeMethod securityMethods[] = {{"allowDomain", securityAllowDomain},
                                                {"allowInsecureDomain", securityAllowDomain},
                                                {"loadPolicyFile", securityLoadPolicyFile}};
        defineMethods(m, security, securityMethods);
    }

    Object* connectionProto = m.newObject();
    m.protos().setNamed("LocalConnection", connectionProto);
    m.newClass("LocalConnection", connectionProto, noConstruct);
    defineMethods(m, connectionProto, kConnectionMethods);
}

} // namespace swf::avm1
