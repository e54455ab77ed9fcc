// Object and Function: the root of every prototype chain and the calling methods.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"

namespace swf::avm1 {

void installObjectClass(Machine& m)
{
    Object* proto = m.protos().object;
    Object* ctor = m.newClass(
        "Object", proto,
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            Value v = arg(args, 0);
            if (Object* o = mm.toObject(v))
                return Value(o);
            return Value(mm.newObject());
        },
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            Value v = arg(args, 0);
            if (Object* o = mm.toObject(v))
                return Value(o);
            return Value(mm.newObject());
        });

    m.defineMethod(proto, "toString", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        Object* o = self.asObject();
        if (o && o->function())
            return Value("[type Function]");
        // A clip reads as its path; a reference to one since removed, as nothing.
        if (MovieClipObject* clip = o ? o->as<MovieClipObject>() : nullptr)
            return Value(*clip->defaultString());
        (void)mm;
        return Value("[object Object]");
    });
    m.defineMethod(proto, "toLocaleString", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        return mm.callMethod(self, "toString", {});
    });
    m.defineMethod(proto, "valueOf", [](Machine&, Value self, std::span<const Value>) -> Value { return self; });
    m.defineMethod(proto, "hasOwnProperty", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        if (!o || args.empty())
            return Value(false);
        std::string name = mm.toString(args[0]);
        // An object's prototype link counts as its own property.
        if (name == "__proto__")
            return Value(o->proto() != nullptr);
        return Value(!name.empty() && o->findOwn(name) != nullptr);
    });
    m.defineMethod(proto, "isPropertyEnumerable", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        const Property* p = o ? o->findOwn(mm.toString(arg(args, 0))) : nullptr;
        return Value(p && !(p->flags & PropertyFlag::DontEnum));
    });
    m.defineMethod(proto, "isPrototypeOf", [](Machine&, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        Object* other = arg(args, 0).asObject();
        int guard = 0;
        for (Object* p = other ? other->proto() : nullptr; p && guard < 10000; p = p->proto(), ++guard) {
            if (p == o)
                return Value(true);
        }
        return Value(false);
    });
    m.defineMethod(proto, "addProperty", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        std::string name = mm.toString(arg(args, 0));
        Object* getter = arg(args, 1).asObject();
        Value setterValue = arg(args, 2);
        Object* setter = setterValue.asObject();
        if (!o || name.empty() || !getter || !getter->function())
            return Value(false);
        if (setter && !setter->function())
            return Value(false);
        if (!setter && !setterValue.isNull() && !setterValue.isUndefined())
            return Value(false);
        Property& p = o->ensure(name);
        p.getter = getter;
        p.setter = setter;
        p.value = Value();
        return Value(true);
    });
    m.defineMethod(proto, "watch", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        Object* callback = arg(args, 1).asObject();
        if (!o || !callback || !callback->function())
            return Value(false);
        o->watches[mm.toString(arg(args, 0))] = Watch{callback, arg(args, 2)};
        return Value(true);
    });
    m.defineMethod(proto, "unwatch", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        return Value(o && o->watches.erase(mm.toString(arg(args, 0))) > 0);
    });
    m.defineMethod(ctor, "registerClass", [](Machine& mm, Value, std::span<const Value> args) -> Value {
        std::string name = mm.toString(arg(args, 0));
        Object* cls = arg(args, 1).asObject();
        if (name.empty())
            return Value(false);
        if (cls)
            mm.registeredClasses()[name] = cls;
        else
            mm.registeredClasses().erase(name);
        return Value(true);
    });
}

void installFunctionClass(Machine& m)
{
    Object* proto = m.protos().function;
    m.newClass(
        "Function", proto,
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            Value v = arg(args, 0);
            return v.isObject() ? v : Value(mm.newObject());
        },
        [](Machine& mm, Value, std::span<const Value>) -> Value { return Value(mm.newObject()); });
    m.defineMethod(proto, "call", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Value thisArg = arg(args, 0);
        std::span<const Value> rest = args.empty() ? args : args.subspan(1);
        return mm.call(self, thisArg.isNullish() ? Value() : thisArg, rest);
    });
    m.defineMethod(proto, "apply", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Value thisArg = arg(args, 0);
        std::vector<Value> list;
        if (Object* a = arg(args, 1).asObject())
            list = mm.arrayItems(a);
        return mm.call(self, thisArg.isNullish() ? Value() : thisArg, list);
    });
}

} // namespace swf::avm1
