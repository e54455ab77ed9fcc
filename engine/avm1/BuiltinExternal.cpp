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

// The helpers the class uses to pass values to a page and back, as text: a value to
// its XML form (<undefined/>, <number>4</number>, <string>..</string>, <array> and
// <object> of <property id=".."> elements) and such an XML node back to a value.

bool inheritsFrom(const Object* o, const Object* proto)
{
    for (int depth = 0; o && depth < 256; ++depth, o = o->proto()) {
        if (o->proto() == proto)
            return true;
    }
    return false;
}

std::string valueToXml(Machine& m, const Value& v, int depth);

// Elements 0 to length-1 (read by index, so a string's are undefined).
std::string arrayToXml(Machine& m, const Value& v, int depth)
{
    std::string out = "<array>";
    const Value length = m.getMember(v, "length");
    const double count = length.isUndefined() ? 0 : m.toNumber(length);
    for (uint32_t i = 0; i < count && i < 0x10000; ++i) {
        const std::string index = std::to_string(i);
        out += "<property id=\"" + index + "\">" + valueToXml(m, m.getMember(v, index), depth + 1) + "</property>";
    }
    return out + "</array>";
}

// Every enumerable name in the order a for..in loop visits them (the last of
// enumerableNames first); the name itself goes in unescaped.
std::string objectToXml(Machine& m, const Value& v, int depth)
{
    std::string out = "<object>";
    if (Object* o = v.asObject()) {
        const std::vector<std::string> names = m.enumerableNames(o);
        for (auto name = names.rbegin(); name != names.rend(); ++name)
            out += "<property id=\"" + *name + "\">" + valueToXml(m, m.getMember(v, *name), depth + 1) + "</property>";
    }
    return out + "</object>";
}

std::string valueToXml(Machine& m, const Value& v, int depth)
{
    if (depth > 64)
        return "<null/>";
    if (v.isUndefined())
        return "<undefined/>";
    if (v.isNull())
        return "<null/>";
    if (v.isBool())
        return v.asBool() ? "<true/>" : "<false/>";
    if (v.isNumber())
        return "<number>" + m.toString(v) + "</number>";
    if (v.isString())  // empty text escapes to null, which reads "null"
        return "<string>" + (v.asString().empty() ? std::string("null") : data::escapeXml(v.asString())) + "</string>";
    Object* o = v.asObject();
    if (!o || o->function())
        return "<null/>";
    if (inheritsFrom(o, m.protos().array))
        return arrayToXml(m, v, depth);
    return objectToXml(m, v, depth);
}

Value externalToXml(Machine& m, Value, std::span<const Value> args)
{
    return Value(valueToXml(m, args.empty() ? Value() : args[0], 0));
}

Value externalArrayToXml(Machine& m, Value, std::span<const Value> args)
{
    return Value(arrayToXml(m, args.empty() ? Value() : args[0], 0));
}

Value externalObjectToXml(Machine& m, Value, std::span<const Value> args)
{
    return Value(objectToXml(m, args.empty() ? Value() : args[0], 0));
}

// A call's arguments after the first (the function's name), one element each.
Value externalArgumentsToXml(Machine& m, Value, std::span<const Value> args)
{
    std::string out = "<arguments>";
    if (!args.empty()) {
        const Value length = m.getMember(args[0], "length");
        const double count = length.isUndefined() ? 0 : m.toNumber(length);
        for (uint32_t i = 1; i < count && i < 0x10000; ++i)
            out += valueToXml(m, m.getMember(args[0], std::to_string(i)), 1);
    }
    return Value(out + "</arguments>");
}

Value xmlNodeToValue(Machine& m, const Value& node, int depth);

// The element children of an XML node, as its childNodes array lists them.
std::vector<Value> childrenOf(Machine& m, const Value& node)
{
    std::vector<Value> out;
    const Value children = node.asObject() ? m.getMember(node, "childNodes") : Value();
    if (Object* list = children.asObject()) {
        const double count = m.toNumber(m.getMember(children, "length"));
        for (uint32_t i = 0; i < count && i < 0x10000; ++i)
            out.push_back(m.getMember(Value(list), std::to_string(i)));
    }
    return out;
}

// <property id="k">value</property> children become members k of `target`.
Value propertiesToValue(Machine& m, const Value& node, Object* target, int depth)
{
    RootedValues keep(m, {Value(target)});
    for (const Value& child : childrenOf(m, node)) {
        keep.push_back(child);
        const Value attributes = m.getMember(child, "attributes");
        const std::string id = m.toString(attributes.asObject() ? m.getMember(attributes, "id") : Value());
        m.setMember(Value(target), id, xmlNodeToValue(m, m.getMember(child, "firstChild"), depth + 1));
    }
    return Value(target);
}

Value xmlNodeToValue(Machine& m, const Value& node, int depth)
{
    if (!node.asObject() || depth > 64)
        return Value();
    const Value name = m.getMember(node, "nodeName");
    const auto is = [&](const char* kind) { return m.looseEquals(name, Value(kind)); };
    if (is("null"))
        return Value(Null{});
    if (is("true"))
        return Value(true);
    if (is("false"))
        return Value(false);
    if (is("string"))
        return Value(m.toString(m.getMember(node, "firstChild")));
    if (is("number"))
        return Value(m.toNumber(Value(m.toString(m.getMember(node, "firstChild")))));
    if (is("array"))
        return propertiesToValue(m, node, m.newArray(), depth);
    if (is("object"))
        return propertiesToValue(m, node, m.newObject(), depth);
    return Value();
}

Value externalToAs(Machine& m, Value, std::span<const Value> args)
{
    return xmlNodeToValue(m, args.empty() ? Value() : args[0], 0);
}

Value externalArrayToAs(Machine& m, Value, std::span<const Value> args)
{
    return propertiesToValue(m, args.empty() ? Value() : args[0], m.newArray(), 0);
}

Value externalObjectToAs(Machine& m, Value, std::span<const Value> args)
{
    return propertiesToValue(m, args.empty() ? Value() : args[0], m.newObject(), 0);
}

// <arguments> children, each a value, in order.
Value externalArgumentsToAs(Machine& m, Value, std::span<const Value> args)
{
    Object* array = m.newArray();
    RootedValues keep(m, {Value(array)});
    const Value node = args.empty() ? Value() : args[0];
    uint32_t index = 0;
    for (const Value& child : childrenOf(m, node)) {
        keep.push_back(child);
        m.arraySet(array, index++, xmlNodeToValue(m, child, 1));
    }
    return Value(array);
}

// Text for a double-quoted script string: only the quotes are escaped. Nothing (or
// empty text) gives null.
Value externalJsQuoteString(Machine& m, Value, std::span<const Value> args)
{
    const std::string text = args.empty() ? std::string() : m.toString(args[0]);
    if (text.empty())
        return Value(Null{});
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '"')
            out += '\\';
        out += c;
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

// The full name of a channel, without regard to case: a name starting with "_" is
// the same for every domain, any other is under its movie's domain ("localhost" for a
// movie from disk) unless it names one before a colon.
std::string channelName(const std::string& name)
{
    std::string full = lowerName(name);
    if (full.starts_with('_') || full.find(':') != std::string::npos)
        return full;
    return "localhost:" + full;
}

Value connectionConnect(Machine& m, Value self, std::span<const Value> args)
{
    Object* connection = self.asObject();
    if (!connection || args.empty() || !args[0].isString() || args[0].asString().empty())
        return Value(false);
    if (connection->findOwn("__channel"))
        return Value(false);  // already connected
    // A name with a colon names another domain's connection, which a movie cannot take.
    if (args[0].asString().find(':') != std::string::npos)
        return Value(false);
    const std::string channel = channelName(args[0].asString());
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
    const std::string channel = channelName(args[0].asString());
    const std::string method = args[1].asString();
    // The connection's own methods cannot be called from outside.
    static constexpr std::string_view kReserved[] = {"send", "connect", "close", "allowDomain", "allowInsecureDomain",
                                                    "domain"};
    if (args[0].asString().empty() || method.empty() || std::ranges::find(kReserved, method) != std::end(kReserved))
        return Value(false);
    AmfWriter writer(m, nullptr, AmfWriter::Channel::LocalConnection);
    std::vector<data::AmfValue> message;
    for (const Value& arg : args.subspan(2))
        message.push_back(writer.value(arg, 0));
    // The task's owner keeps the sender alive until the message has gone. A message
    // goes only to a name someone listened on when it was sent, and reaches whoever
    // listens on it when it is delivered; the sender hears first.
    Object* carrier = m.newObject(nullptr);
    carrier->put("sender", Value(sender));
    const bool heardWhenSent = channels(m)->findOwn(channel) != nullptr;
    m.addFrameTask(carrier, [carrier, sender, channel, method, heardWhenSent,
                             message = std::move(message)](Machine& machine, double) {
        machine.removeFrameTask(carrier);
        const Property* listening = heardWhenSent ? channels(machine)->findOwn(channel) : nullptr;
        RootedValues receiver(machine);
        if (listening)
            receiver.push_back(listening->value);
        Object* status = machine.newObject();
        status->put("level", Value(listening ? "status" : "error"));
        const Value info(status);
        machine.callMethod(Value(sender), "onStatus", std::span(&info, 1));
        if (receiver.empty())
            return;
        AmfReader reader(machine);
        RootedValues values(machine);
        for (const data::AmfValue& value : message)
            values.push_back(reader.value(value));
        const Value target = receiver[0];
        const Value handler = machine.getMember(target, method);
        if (handler.asObject() && handler.asObject()->function())
            machine.call(handler, target, values);
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
                                            {"_unescapeXML", externalUnescapeXml},
                                            {"_jsQuoteString", externalJsQuoteString},
                                            {"_toXML", externalToXml},
                                            {"_arrayToXML", externalArrayToXml},
                                            {"_objectToXML", externalObjectToXml},
                                            {"_argumentsToXML", externalArgumentsToXml},
                                            {"_toAS", externalToAs},
                                            {"_arrayToAS", externalArrayToAs},
                                            {"_objectToAS", externalObjectToAs},
                                            {"_argumentsToAS", externalArgumentsToAs}};
    defineMethods(m, external, externalMethods);

    // System exists already (the stage objects); security hangs off it.
    if (Object* system = m.getMember(Value(g), "System").asObject()) {
        Object* security = m.getMember(Value(system), "security").asObject();
        if (!security) {
            security = m.newObject();
            system->put("security", Value(security), PropertyFlag::DontEnum);
        }
        security->put("sandboxType", Value("localWithFile"), PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
        const NativeMethod securityMethods[] = {{"allowDomain", securityAllowDomain},
                                                {"allowInsecureDomain", securityAllowDomain},
                                                {"loadPolicyFile", securityLoadPolicyFile}};
        defineMethods(m, security, securityMethods);
    }

    Object* connectionProto = m.newObject();
    m.protos().setNamed("LocalConnection", connectionProto);
    // Run through a subclass's super(), it answers the object it was run on.
    m.newClass("LocalConnection", connectionProto, [](Machine& machine, Value self, std::span<const Value>) {
        markNativeState(machine, self);
        Object* o = self.asObject();
        return o && o != machine.global() ? self : Value();
    });
    defineMethods(m, connectionProto, kConnectionMethods);
}

} // namespace swf::avm1
