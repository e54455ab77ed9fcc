// Object and Function: the root of every prototype chain and the calling methods.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/PrimitiveObjects.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/MovieClipObject.h"

namespace swf::avm1 {

namespace {

Value objectToString(Machine& m, Value self, std::span<const Value>)
{
    Object* o = self.asObject();
    if (o && o->function())
        return Value("[type Function]");
    // A clip's own toString is this one, which does not give its path (converting
    // the clip to a string does). A text field on the stage reads as its path.
    if (o && o->as<MovieClipObject>())
        return Value("[object Object]");
    if (std::optional<std::string> path = o ? o->defaultString() : std::nullopt)
        return Value(*path);
    (void)m;
    return Value("[object Object]");
}

Value objectToLocaleString(Machine& m, Value self, std::span<const Value>)
{
    return m.callMethod(self, "toString", {});
}

Value objectValueOf(Machine&, Value self, std::span<const Value>)
{
    return self;
}

Value objectHasOwnProperty(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    if (!o || args.empty())
        return Value(false);
    std::string name = m.toString(args[0]);
    // An object's prototype link counts as its own property.
    if (m.isProtoName(name))
        return Value(o->proto() != nullptr || o->findOwn(name) != nullptr);
    return Value(!name.empty() && o->findOwn(name) != nullptr);
}

Value objectIsPropertyEnumerable(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    const Property* p = o ? o->findOwn(m.toString(arg(args, 0))) : nullptr;
    return Value(p && !(p->flags & PropertyFlag::DontEnum));
}

Value objectIsPrototypeOf(Machine&, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    Object* other = arg(args, 0).asObject();
    int guard = 0;
    for (Object* p = other ? other->proto() : nullptr; p && guard < 10000; p = p->proto(), ++guard) {
        if (p == o)
            return Value(true);
    }
    return Value(false);
}

Value objectAddProperty(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    std::string name = m.toString(arg(args, 0));
    Object* getter = arg(args, 1).asObject();
    Value setterValue = arg(args, 2);
    Object* setter = setterValue.asObject();
    if (!o || name.empty() || !getter || !getter->function())
        return Value(false);
    if (setter && !setter->function())
        return Value(false);
    // A read-only property says so with a null setter; a missing one is refused.
    if (!setter && !setterValue.isNull())
        return Value(false);
    // The property keeps the value it held, which an accessor that is already running
    // reads and writes instead of running again. A watcher of the name hears of the
    // change, and what it answers becomes that value.
    Value value;
    if (const Property* existing = o->findOwn(name))
        value = existing->value;
    if (auto it = o->watches.find(name); it != o->watches.end() && it->second.callback) {
        Value watchArgs[] = {Value(name), value, Value(), it->second.userData};
        value = m.call(Value(it->second.callback), self, watchArgs);
    }
    Property& p = o->ensure(name);
    p.getter = getter;
    p.setter = setter;
    p.accessorId = m.newAccessorId();
    p.value = std::move(value);
    return Value(true);
}

Value objectWatch(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    Object* callback = arg(args, 1).asObject();
    if (!o || !callback || !callback->function())
        return Value(false);
    o->watches[m.toString(arg(args, 0))] = Watch{callback, arg(args, 2)};
    return Value(true);
}

Value objectUnwatch(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    if (!o)
        return Value(false);
    std::string name = m.toString(arg(args, 0));
    // A watch on a getter/setter property stays: the player does not take it off.
    if (const Property* p = o->findOwn(name); p && p->isAccessor())
        return Value(false);
    return Value(o->watches.erase(name) > 0);
}

Value objectStaticRegisterClass(Machine& m, Value, std::span<const Value> args)
{
    // Both are needed, and the class is a function, or nothing to unregister the name.
    if (args.size() < 2)
        return Value(false);
    std::string name = m.toString(arg(args, 0));
    Object* cls = arg(args, 1).asObject();
    if (name.empty() || (cls && !cls->function()) || (!cls && !arg(args, 1).isNullish()))
        return Value(false);
    // Before version 7 names are case-blind: a name in other letters replaces the one
    // registered before it.
    auto sameName = [&m, &name](const std::string& other) {
        return m.caseSensitive() ? other == name : toLowerText(other) == toLowerText(name);
    };
    std::erase_if(m.classAliasOrder(), sameName);
    std::erase_if(m.registeredClasses(), [&sameName](const auto& entry) { return sameName(entry.first); });
    if (cls) {
        m.registeredClasses()[name] = cls;
        m.classAliasOrder().push_back(name);
    }
    return Value(true);
}

const NativeMethod kObjectMethods[] = {
    {"toString", objectToString},
    {"toLocaleString", objectToLocaleString},
    {"valueOf", objectValueOf},
    {"hasOwnProperty", objectHasOwnProperty},
    {"isPropertyEnumerable", objectIsPropertyEnumerable},
    {"isPrototypeOf", objectIsPrototypeOf},
    {"addProperty", objectAddProperty},
    {"watch", objectWatch},
    {"unwatch", objectUnwatch},
};

const NativeMethod kObjectStaticMethods[] = {
    {"registerClass", objectStaticRegisterClass},
};

// Object(v) and new Object(v): v as an object, or a new empty one.
Value objectConstruct(Machine& m, Value, std::span<const Value> args)
{
    Value v = arg(args, 0);
    if (Object* o = m.toObject(v))
        return Value(o);
    return Value(m.newObject());
}

// An object with no prototype at all (it converts as "[type Object]").
Object* bareObject(Machine& m)
{
    Object* o = m.newObject();
    o->setProto(nullptr);
    return o;
}

// Object(x) called without new: x as an object, or for nothing a bare object.
Value objectCall(Machine& m, Value, std::span<const Value> args)
{
    if (Object* o = m.toObject(arg(args, 0)))
        return Value(o);
    return Value(bareObject(m));
}

} // namespace

void installObjectClass(Machine& m)
{
    Object* proto = m.protos().object;
    Object* ctor = m.newClass("Object", proto, objectCall, objectConstruct);

    defineMethods(m, proto, kObjectMethods);
    defineMethods(m, ctor, kObjectStaticMethods);
}

namespace {

// `this` for call and apply: an object as given; a string, number or boolean as the
// object its type's global class makes of it; nothing, or a value no class makes an
// object of, the global object.
Value thisForCall(Machine& m, const Value& given)
{
    if (given.isObject())
        return given;
    Object* coerced = given.isNullish() ? nullptr : coercedObject(m, given);
    return Value(coerced ? coerced : m.global());
}

Value functionCall(Machine& m, Value self, std::span<const Value> args)
{
    RootedValues thisArg(m, {thisForCall(m, arg(args, 0))});
    std::span<const Value> rest = args.empty() ? args : args.subspan(1);
    return m.call(self, thisArg.front(), rest);
}

Value functionApply(Machine& m, Value self, std::span<const Value> args)
{
    RootedValues thisArg(m, {thisForCall(m, arg(args, 0))});
    std::vector<Value> list;
    if (Object* a = arg(args, 1).asObject())
        list = m.arrayItems(a);
    return m.call(self, thisArg.front(), list);
}

const NativeMethod kFunctionMethods[] = {
    {"call", functionCall},
    {"apply", functionApply},
};

// Function(x) called without new gives x back as it is, or for nothing a bare object.
Value functionConstructorCall(Machine& m, Value, std::span<const Value> args)
{
    Value v = arg(args, 0);
    return v.isNullish() ? Value(bareObject(m)) : v;
}

Value functionConstruct(Machine& m, Value, std::span<const Value>)
{
    return Value(m.newObject());
}

} // namespace

void installFunctionClass(Machine& m)
{
    Object* proto = m.protos().function;
    m.newClass("Function", proto, functionConstructorCall, functionConstruct);
    defineMethods(m, proto, kFunctionMethods);
}

} // namespace swf::avm1
