// Object and function actions: members, construction, calls, enumeration, type tests,
// classes and function definitions.

#include "engine/avm1/ActionPayloads.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/PrimitiveObjects.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

using support::isClip;

Interpreter::Outcome Interpreter::actionGetMember(Context& ctx, Step&)
{
    std::string scratch;
    Value name = pop(ctx);
    Value object = pop(ctx);
    const std::string& text = nameText(name, scratch);
    pushValue(ctx, m_.getMember(object, text, nameAtom(name, text)));
    return {};
}

Interpreter::Outcome Interpreter::actionSetMember(Context& ctx, Step&)
{
    std::string scratch;
    Value value = pop(ctx);
    Value name = pop(ctx);
    Value object = pop(ctx);
    const std::string& text = nameText(name, scratch);
    m_.setMember(object, text, nameAtom(name, text), std::move(value));
    return {};
}

Interpreter::Outcome Interpreter::actionDelete(Context& ctx, Step&)
{
    std::string name = m_.toString(pop(ctx));
    Value object = pop(ctx);
    pushValue(ctx, Value(m_.deleteMember(object.asObject(), name)));
    return {};
}

Interpreter::Outcome Interpreter::actionCallFunction(Context& ctx, Step&)
{
    std::string name = m_.toString(pop(ctx));
    RootedValues args = popArgs(ctx);
    Value function = getVariable(ctx, name);
    // super(...) as a function call, as compiled classes write it.
    if (Object* o = function.asObject(); o && o == ctx.superObject) {
        pushValue(ctx, callSuperConstructor(ctx, args));
        return {};
    }
    // The function runs with the scope object it was found on as `this`: the
    // timeline's clip (inside tellTarget, the target's), an enclosing function's
    // locals, a with() object, _global. A name given by a path
    // ("_root.clip.gotoAndStop") runs on the path's object.
    Value self;
    std::string path, variable;
    if (name.find_first_of("./:") != std::string::npos && splitPath(name, path, variable)) {
        Object* owner = resolveVariablePath(ctx, path, variable);
        if (owner)
            self = Value(owner);
        pushValue(ctx, callValue(ctx, function, self, args));
        return {};
    }
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        Object* object = scopeObject(ctx, s);
        if (object && m_.hasProperty(object, name)) {
            self = Value(object);
            break;
        }
    }
    pushValue(ctx, callValue(ctx, function, self, args));
    return {};
}

// super(...): the __constructor__ the home has or inherits, read at this call (a
// getter's answer too, never a __resolve's); a clip as the home has none. The
// superclass constructor's own `super` is one prototype further up.
Value Interpreter::callSuperConstructor(Context& ctx, std::span<const Value> args)
{
    refreshSuperHome(ctx);
    Object* home = ctx.superHome;
    ctx.superConstructor = nullptr;
    if (home && !isClip(home->referent(m_))) {
        ctx.superConstructor = m_.getMemberWithoutResolve(Value(home), "__constructor__").asObject();
        // Prototypes linked by hand (no __constructor__ anywhere) reach the constructor
        // of the prototype above.
        if (!ctx.superConstructor && home->proto())
            ctx.superConstructor = m_.getMemberWithoutResolve(Value(home->proto()), "constructor").asObject();
    }
    m_.pendingHome = ctx.superObject ? ctx.superObject->proto() : nullptr;
    return callValue(ctx, Value(ctx.superConstructor), ctx.self, args);
}

Interpreter::Outcome Interpreter::actionCallMethod(Context& ctx, Step&)
{
    Value name = pop(ctx);
    Value object = pop(ctx);
    RootedValues args = popArgs(ctx);
    std::string method = name.isUndefined() ? std::string() : m_.toString(name);
    Object* o = object.asObject();
    if (o && o == ctx.superObject) {
        // super(...) and super.method(...) run with this call's `this`.
        if (method.empty()) {
            pushValue(ctx, callSuperConstructor(ctx, args));
            return {};
        }
        refreshSuperHome(ctx);
        Object* home = nullptr;
        for (Object* p = o->proto(); p; p = p->proto()) {
            if (p->findOwn(method)) {
                home = p;
                break;
            }
        }
        Value function = m_.getMember(object, method);
        m_.pendingHome = home;
        pushValue(ctx, callValue(ctx, function, ctx.self, args));
        return {};
    }
    if (method.empty()) {
        // Calling a string, number or boolean calls the object its class makes of it
        // (which, not being a function, answers undefined).
        RootedValues callee(m_, {object});
        if (!object.isObject() && !object.isNullish()) {
            Object* coerced = coercedObject(m_, object);
            callee.front() = coerced ? Value(coerced) : Value();
        }
        pushValue(ctx, callValue(ctx, callee.front(), Value(), args));
        return {};
    }
    // The method's `super` starts above `this.__proto__`, wherever on the chain the
    // method itself was found.
    Value function = m_.getMember(object, method);
    pushValue(ctx, callValue(ctx, function, object, args));
    return {};
}

Interpreter::Outcome Interpreter::actionNewObject(Context& ctx, Step&)
{
    std::string name = m_.toString(pop(ctx));
    RootedValues args = popArgs(ctx);
    Value constructor = getVariable(ctx, name);
    pushValue(ctx, m_.construct(constructor, args));
    return {};
}

Interpreter::Outcome Interpreter::actionNewMethod(Context& ctx, Step&)
{
    Value name = pop(ctx);
    Value object = pop(ctx);
    RootedValues args = popArgs(ctx);
    std::string method = name.isUndefined() ? std::string() : m_.toString(name);
    RootedValues constructor(m_, {method.empty() ? object : m_.getMember(object, method)});
    // `new` of a string, number or boolean is `new` of the object its class makes of it.
    if (method.empty() && !object.isObject() && !object.isNullish()) {
        Object* coerced = coercedObject(m_, object);
        constructor.front() = coerced ? Value(coerced) : Value();
    }
    pushValue(ctx, m_.construct(constructor.front(), args));
    return {};
}

Interpreter::Outcome Interpreter::actionInitArray(Context& ctx, Step&)
{
    // A count past what the stack holds makes no array: undefined, and the values
    // stay where they are.
    if (!ctx.stack.empty()) {
        double n = m_.toNumber(ctx.stack.back());
        if (n > static_cast<double>(ctx.stack.size() - 1)) {
            pop(ctx);
            pushValue(ctx, Value());
            return {};
        }
    }
    RootedValues items = popArgs(ctx);
    pushValue(ctx, Value(m_.newArray(items)));
    return {};
}

Interpreter::Outcome Interpreter::actionInitObject(Context& ctx, Step&)
{
    double n = m_.toNumber(pop(ctx));
    size_t count = std::isnan(n) || n < 0 ? 0 : static_cast<size_t>(std::min(n, 65536.0));
    std::vector<std::string> names;
    RootedValues values(m_);
    for (size_t i = 0; i < count && !ctx.stack.empty(); ++i) {
        values.push_back(pop(ctx));
        names.push_back(m_.toString(pop(ctx)));
    }
    // Members are made in the order they come off the stack, the last written first,
    // so for..in (newest first) lists them in the order the script wrote them.
    // A name written twice keeps the value written last.
    Object* o = m_.newObject();
    for (size_t i = 0; i < names.size(); ++i) {
        if (!o->findOwn(names[i]))
            m_.setMember(Value(o), names[i], std::move(values[i]));
    }
    pushValue(ctx, Value(o));
    return {};
}

Interpreter::Outcome Interpreter::actionTypeOf(Context& ctx, Step&)
{
    pushValue(ctx, Value(m_.typeOf(pop(ctx))));
    return {};
}

// for..in: a null marks the end of the names, which follow it on the stack.
void Interpreter::enumerate(Context& ctx, Object* object)
{
    pushValue(ctx, Value(Null{}));
    if (object) {
        for (const std::string& name : m_.enumerableNames(object))
            pushValue(ctx, Value(name));
    }
}

Interpreter::Outcome Interpreter::actionEnumerate(Context& ctx, Step&)
{
    Value v = pop(ctx);
    enumerate(ctx, getVariable(ctx, m_.toString(v)).asObject());
    return {};
}

Interpreter::Outcome Interpreter::actionEnumerate2(Context& ctx, Step&)
{
    Value v = pop(ctx);
    enumerate(ctx, v.asObject());
    return {};
}

Interpreter::Outcome Interpreter::actionInstanceOf(Context& ctx, Step&)
{
    Value constructor = pop(ctx);
    Value object = pop(ctx);
    pushValue(ctx, Value(m_.instanceOf(object, constructor.asObject())));
    return {};
}

Interpreter::Outcome Interpreter::actionCastOp(Context& ctx, Step&)
{
    Value object = pop(ctx);
    Value constructor = pop(ctx);
    pushValue(ctx, m_.instanceOf(object, constructor.asObject()) ? object : Value(Null{}));
    return {};
}

Interpreter::Outcome Interpreter::actionImplementsOp(Context& ctx, Step&)
{
    Value constructor = pop(ctx);
    RootedValues interfaces = popArgs(ctx);
    if (constructor.asObject()) {
        Value proto = m_.getMember(constructor, "prototype");
        if (Object* p = proto.asObject())
            p->put("__interfaces__", Value(m_.newArray(interfaces)), PropertyFlag::DontEnum);
    }
    return {};
}

Interpreter::Outcome Interpreter::actionExtends(Context& ctx, Step&)
{
    Value superclass = pop(ctx);
    Value subclass = pop(ctx);
    Object* sub = subclass.asObject();
    Object* super = superclass.asObject();
    if (sub && super) {
        Object* proto = m_.newObject(m_.getMember(superclass, "prototype").asObject());
        proto->put("__constructor__", superclass, PropertyFlag::DontEnum);
        if (m_.version() < 7)
            proto->put("constructor", superclass, PropertyFlag::DontEnum);
        sub->put("prototype", Value(proto), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    }
    return {};
}

Interpreter::Outcome Interpreter::actionDefineFunction(Context& ctx, Step& step)
{
    return defineFunction(ctx, step, false);
}

Interpreter::Outcome Interpreter::actionDefineFunction2(Context& ctx, Step& step)
{
    return defineFunction(ctx, step, true);
}

Interpreter::Outcome Interpreter::defineFunction(Context& ctx, Step& step, bool version2)
{
    FunctionHeader header = readFunctionHeader(step.action.payload, version2);
    auto data = std::make_unique<FunctionData>();
    data->name = std::move(header.name);
    data->isFunction2 = version2;
    data->registerCount = header.registerCount;
    data->flags = header.flags;
    data->params = std::move(header.params);
    data->paramRegisters = std::move(header.paramRegisters);
    size_t bodyStart = step.action.nextOffset;
    size_t bodyEnd = std::min(bodyStart + header.codeSize, ctx.code.size());
    data->code = ctx.code.subspan(bodyStart, bodyEnd - bodyStart);
    data->scope = ctx.scope;
    data->constants = ctx.constants;
    data->definingClip = ctx.baseClip;
    step.next = bodyEnd;

    std::string name = data->name;
    Object* function = m_.make<FunctionObject>(m_.protos().function, std::move(data));
    Object* prototype = m_.newObject();
    prototype->put("constructor", Value(function), PropertyFlag::DontEnum);
    function->put("prototype", Value(prototype), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    if (name.empty())
        pushValue(ctx, Value(function));
    else
        defineLocal(ctx, name, Value(function));
    return {};
}

} // namespace swf::avm1
