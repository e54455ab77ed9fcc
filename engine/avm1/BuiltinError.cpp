// Error: a message and a name; toString gives the message.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

namespace swf::avm1 {

namespace {

Value errorToString(Machine& m, Value self, std::span<const Value>)
{
    return Value(m.toString(m.getMember(self, "message")));
}

const NativeMethod kErrorMethods[] = {
    {"toString", errorToString},
};

Value errorConstruct(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    if (!o) {
        o = m.newObject(m.protos().error);
    }
    if (!args.empty() && !args[0].isUndefined())
        o->put("message", args[0]);
    return Value(o);
}

} // namespace

void installErrorClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().error = proto;
    proto->put("name", Value("Error"), PropertyFlag::DontEnum);
    proto->put("message", Value("Error"), PropertyFlag::DontEnum);
    m.newClass("Error", proto, errorConstruct);
    defineMethods(m, proto, kErrorMethods);
}

} // namespace swf::avm1
