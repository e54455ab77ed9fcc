// Error: a message and a name; toString gives the message.

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

void installErrorClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().error = proto;
    proto->put("name", Value("Error"), PropertyFlag::DontEnum);
    proto->put("message", Value("Error"), PropertyFlag::DontEnum);
    m.newClass("Error", proto, [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        if (!o) {
            o = mm.newObject(mm.protos().error);
        }
        if (!args.empty() && !args[0].isUndefined())
            o->put("message", args[0]);
        return Value(o);
    });
    m.defineMethod(proto, "toString", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        return Value(mm.toString(mm.getMember(self, "message")));
    });
}

} // namespace swf::avm1
