#include "engine/avm1/PrimitiveObjects.h"

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

PrimitiveClass objectForPrimitive(Machine& m, const Value& primitive, Object*& made)
{
    made = nullptr;
    const char* name = nullptr;
    Object* builtInProto = nullptr;
    if (primitive.isString()) {
        name = "String";
        builtInProto = m.protos().string;
    } else if (primitive.isNumber()) {
        name = "Number";
        builtInProto = m.protos().number;
    } else if (primitive.isBool()) {
        name = "Boolean";
        builtInProto = m.protos().boolean;
    } else {
        return PrimitiveClass::None;
    }
    const Value ctorValue = m.getMemberWithoutResolve(Value(m.global()), name);
    Object* ctor = ctorValue.asObject();
    FunctionData* function = ctor ? ctor->function() : nullptr;
    if (!function)
        return PrimitiveClass::None;
    // A built-in class: the type's own when its prototype is the type's prototype
    // (boxed as always); any other builds what `new` would build, if anything.
    if (function->native) {
        const Property* proto = ctor->findOwn("prototype");
        if (proto && !proto->isAccessor() && proto->value.asObject() == builtInProto)
            return PrimitiveClass::BuiltIn;
        RootedValues held(m, {ctorValue, primitive});
        const Value result = m.construct(ctorValue, std::span(&primitive, 1));
        made = result.asObject();
        return made ? PrimitiveClass::Made : PrimitiveClass::None;
    }
    // A script class: an object whose __proto__ is the class's `prototype`, whatever
    // that holds, given to the constructor with the value.
    RootedValues held(m, {ctorValue, primitive});
    const Value protoValue = m.getMember(ctorValue, "prototype");
    held.push_back(protoValue);
    Object* o = protoValue.asObject() ? m.newObject(protoValue.asObject()) : m.heap().make<Object>(nullptr);
    held.push_back(Value(o));
    if (!protoValue.asObject())
        m.setMember(Value(o), "__proto__", protoValue);
    o->put("__constructor__", ctorValue, PropertyFlag::DontEnum);
    if (m.version() < 7)
        o->put("constructor", ctorValue, PropertyFlag::DontEnum);
    m.pendingConstruct = true;
    m.call(ctorValue, Value(o), std::span(&primitive, 1));
    made = o;
    return PrimitiveClass::Made;
}

Object* coercedObject(Machine& m, const Value& primitive)
{
    Object* made = nullptr;
    switch (objectForPrimitive(m, primitive, made)) {
    case PrimitiveClass::BuiltIn:
        return m.toObject(primitive);
    case PrimitiveClass::Made:
        return made;
    case PrimitiveClass::None:
        break;
    }
    return nullptr;
}

} // namespace swf::avm1
