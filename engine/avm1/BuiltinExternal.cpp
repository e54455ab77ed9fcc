// What a movie played by the stand-alone player finds of the world around it:
// ExternalInterface (no browser page to talk to, so not available),
// System.security (the local-with-file sandbox every movie from disk plays in) and
// LocalConnection (channels between the connections of the movies in this player;
// there is no other player to reach).

#include "engine/avm1/AmfScript.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Packages.h"
#include "engine/avm1/Native.h"
#include "engine/data/Xml.h"

#include <algorithm>
#include <cctype>
#include <utility>

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

// The page-bridge helpers the class keeps for its own use: text with the five XML
// specials as entities and back. Nothing (or empty text) gives null.
Value externalEscapeXml(Machine& m, Value, std::span<const Value> args)
{
    const std::string text = args.empty() ? std::string() : m.toString(args[0]);
    if (text.empty())
        return Value(Null{});
    return Value(data::escapeXml(text));
}

// Only the five named entities, spelt exactly so, turn back into their characters,
// in one pass ("&amp;gt;" becomes "&gt;").
Value externalUnescapeXml(Machine& m, Value, std::span<const Value> args)
{
    const std::string text = args.empty() ? std::string() : m.toString(args[0]);
    if (text.empty())
        return Value(Null{});
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (std::string_view(text).substr(i, entity.size()) == entity) {
                    out += c;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return Value(out);
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

// send(name, method, args...): the arguments travel as AMF0 (copies, as between two
// movies), and the message goes out on the next frame tick, after the script that sent
// it: the receiver connected on that name in this player hears method(args...), then
// the sender's onStatus says whether anyone was listening ("status") or not ("error").
Value connectionSend(Machine& m, Value self, std::span<const Value> args)
{
    Object* sender = self.asObject();
    if (!sender || args.size() < 2 || !args[0].isString() || !args[1].isString())
        return Value(false);
    const std::string channel = lowerName(args[0].asString());
    const std::string method = args[1].asString();
    // The connection's own methods cannot be called from outside.
    static constexpr std::string_view kReserved[] = {"send", "connect", "close", "allowDomain", "allowInsecureDomain",
                                                    "domain"};
    if (channel.empty() || method.empty() || std::ranges::find(kReserved, method) != std::end(kReserved))
        return Value(false);
    AmfWriter writer(m, nullptr, AmfWriter::Functions::AsObjects);
    std::vector<data::AmfValue> message;
    for (const Value& arg : args.subspan(2))
        message.push_back(writer.value(arg, 0));
    // The task's owner keeps the sender alive until the message has gone.
    Object* carrier = m.newObject(nullptr);
    carrier->put("sender", Value(sender));
    m.addFrameTask(carrier, [carrier, sender, channel, method, message = std::move(message)](Machine& machine, double) {
        machine.removeFrameTask(carrier);
        const Property* receiver = channels(machine)->findOwn(channel);
        if (receiver) {
            AmfReader reader(machine);
            RootedValues values(machine);
            for (const data::AmfValue& value : message)
                values.push_back(reader.value(value));
            const Value target = receiver->value;
            const Value handler = machine.getMember(target, method);
            if (handler.asObject() && handler.asObject()->function())
                machine.call(handler, target, values);
        }
        Object* status = machine.newObject();
        status->put("level", Value(receiver ? "status" : "error"));
        const Value info(status);
        machine.callMethod(Value(sender), "onStatus", std::span(&info, 1));
    });
    return Value(true);
}

// The domain a movie from disk reports for its connections.
Value connectionDomain(Machine&, Value, std::span<const Value>)
{
    return Value("localhost");
}

const NativeMethod kConnectionMethods[] = {
    {"connect", connectionConnect},
    {"close", connectionClose},
    {"send", connectionSend},
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

    // ExternalInterface lives in the flash.external package (SWF 8 and later), not on
    // _global itself.
    Object* package = packageObject(m, "flash.external");
    Object* externalProto = m.newObject();
    Object* external = m.newNativeFunction("ExternalInterface", noConstruct);
    external->put("prototype", Value(externalProto), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    externalProto->put("constructor", Value(external), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    package->put("ExternalInterface", Value(external));
    external->put("available", Value(false), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    const NativeMethod externalMethods[] = {{"addCallback", externalAddCallback},
                                            {"call", externalCall},
                                            {"_escapeXML", externalEscapeXml},
                                            {"_unescapeXML", externalUnescapeXml}};
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
