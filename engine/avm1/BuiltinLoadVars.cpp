// LoadVars: variables in URL-encoded text, loaded from a file, decoded onto the object,
// and written back by toString in for..in order. A load completes on a later frame
// (Loading.h): onData hears the text, and the default onData decodes it and calls
// onLoad(success).

#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Loading.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/data/UrlVariables.h"

#include <algorithm>

namespace swf::avm1 {

namespace {

// name=value pairs of the object's enumerable members, newest first as for..in meets
// them; a member's conversion that throws ends the whole conversion.
std::string encodeMembers(Machine& m, Object* object)
{
    data::UrlVariables pairs;
    std::vector<std::string> names = m.enumerableNames(object);
    std::reverse(names.begin(), names.end());
    for (const std::string& name : names)
        pairs.emplace_back(name, m.toString(m.getMember(Value(object), name)));
    return data::encodeUrlVariables(pairs);
}

Value loadVarsToString(Machine& m, Value self, std::span<const Value>)
{
    Object* object = self.asObject();
    return Value(object ? encodeMembers(m, object) : std::string());
}

Value loadVarsDecode(Machine& m, Value self, std::span<const Value> args)
{
    Object* object = self.asObject();
    if (object && !args.empty())
        setVariablesFrom(m, object, m.toString(args[0]));
    return Value();
}

// send(url, window, method): the variables go along with a page opened in a browser
// window, which only a web address can be.
Value loadVarsSend(Machine& m, Value self, std::span<const Value> args)
{
    Object* object = self.asObject();
    if (!object || args.empty())
        return Value(false);
    std::string url = m.toString(args[0]);
    const std::string window = args.size() > 1 ? m.toString(args[1]) : std::string("_self");
    const std::string query = encodeMembers(m, object);
    if (!query.empty())
        url += (url.find('?') == std::string::npos ? "?" : "&") + query;
    if (LoadHost* host = m.loadHost())
        host->openUrl(url, window);
    return Value(true);
}

Value loadVarsOnData(Machine& m, Value self, std::span<const Value> args)
{
    return defaultOnData(m, self, arg(args, 0), "decode");
}

Value loadVarsOnLoad(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value loadVarsGetBytesLoaded(Machine& m, Value self, std::span<const Value>)
{
    return m.getMember(self, "_bytesLoaded");
}

Value loadVarsGetBytesTotal(Machine& m, Value self, std::span<const Value>)
{
    return m.getMember(self, "_bytesTotal");
}

// Headers travel only with network requests, which a movie from disk may not make.
Value loadVarsAddRequestHeader(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeMethod kLoadVarsMethods[] = {
    {"load", loadTextMethod},
    {"send", loadVarsSend},
    {"sendAndLoad", sendAndLoadTextMethod},
    {"decode", loadVarsDecode},
    {"toString", loadVarsToString},
    {"getBytesLoaded", loadVarsGetBytesLoaded},
    {"getBytesTotal", loadVarsGetBytesTotal},
    {"addRequestHeader", loadVarsAddRequestHeader},
    {"onData", loadVarsOnData},
    {"onLoad", loadVarsOnLoad},
};

// `new LoadVars()` is an ordinary object on the prototype; the constructor adds
// nothing, so subclasses built with `extends` work alike.
Value loadVarsConstruct(Machine& m, Value self, std::span<const Value>)
{
    markNativeState(m, self);
    return Value();
}

} // namespace

void installLoadVarsClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("LoadVars", proto);
    m.newClass("LoadVars", proto, loadVarsConstruct);
    defineMethods(m, proto, kLoadVarsMethods);
    proto->put("contentType", Value("application/x-www-form-urlencoded"), PropertyFlag::DontEnum);
}

} // namespace swf::avm1
