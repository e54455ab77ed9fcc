// Variables, paths and the stack: reading and writing variables by name or target path,
// locals, registers, the constant pool and the stack-shuffling actions; and the lookups
// of scope chains and target paths behind them.

#include "engine/avm1/ActionPayloads.h"
#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/format/Error.h"
#include "engine/format/Reader.h"

#include <algorithm>
#include <utility>

namespace swf::avm1 {

using support::equalsNoCase;
using support::isClip;
using support::startsWithNoCase;

Interpreter::Outcome Interpreter::actionPush(Context& ctx, Step& step)
{
    // The operands were decoded with the block; a payload that did not decode pushes
    // what came before the fault, then ends the block.
    for (const PushOperand& item : step.decoded.operands()) {
        switch (item.type) {
        case PushType::Register:
            if (Value* slot = registerSlot(ctx, item.index))
                pushValue(ctx, *slot);
            else
                pushValue(ctx, Value());
            break;
        case PushType::Constant8:
        case PushType::Constant16: {
            const ConstantStrings& pool = *ctx.constants;
            pushValue(ctx, item.index < pool.size() ? pool[item.index] : Value());
            break;
        }
        default: pushValue(ctx, item.value); break;
        }
    }
    if (step.decoded.malformed)
        throw FormatError("malformed push payload");
    return {};
}

Interpreter::Outcome Interpreter::actionPop(Context& ctx, Step&)
{
    pop(ctx);
    return {};
}

Interpreter::Outcome Interpreter::actionPushDuplicate(Context& ctx, Step&)
{
    pushValue(ctx, ctx.stack.empty() ? Value() : ctx.stack.back());
    return {};
}

Interpreter::Outcome Interpreter::actionStackSwap(Context& ctx, Step&)
{
    Value b = pop(ctx);
    Value a = pop(ctx);
    pushValue(ctx, std::move(b));
    pushValue(ctx, std::move(a));
    return {};
}

Interpreter::Outcome Interpreter::actionConstantPool(Context& ctx, Step& step)
{
    // The pool's strings were made once, when the block was decoded.
    if (step.decoded.malformed)
        throw FormatError("malformed constant pool");
    ctx.constants = step.decoded.pool();
    m_.interpreterState().lastPool = ctx.constants;
    return {};
}

Interpreter::Outcome Interpreter::actionStoreRegister(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    uint8_t reg = r.u8();
    if (Value* slot = registerSlot(ctx, reg))
        *slot = ctx.stack.empty() ? Value() : ctx.stack.back();
    return {};
}

Interpreter::Outcome Interpreter::actionGetVariable(Context& ctx, Step&)
{
    std::string scratch;
    Value name = pop(ctx);
    pushValue(ctx, getVariable(ctx, nameText(name, scratch)));
    return {};
}

Interpreter::Outcome Interpreter::actionSetVariable(Context& ctx, Step&)
{
    std::string scratch;
    Value value = pop(ctx);
    Value name = pop(ctx);
    setVariable(ctx, nameText(name, scratch), std::move(value));
    return {};
}

Interpreter::Outcome Interpreter::actionDefineLocal(Context& ctx, Step&)
{
    Value value = pop(ctx);
    std::string name = m_.toString(pop(ctx));
    defineLocal(ctx, name, std::move(value));
    return {};
}

Interpreter::Outcome Interpreter::actionDefineLocal2(Context& ctx, Step&)
{
    // Declares without changing an existing value.
    std::string name = m_.toString(pop(ctx));
    Object* local = ctx.activation ? ctx.activation : ctx.baseClip;
    // A name its prototypes already answer is left alone too, so that their value
    // stays visible.
    if (local && !m_.hasProperty(local, name))
        local->put(name, Value());
    return {};
}

Interpreter::Outcome Interpreter::actionDelete2(Context& ctx, Step&)
{
    std::string name = m_.toString(pop(ctx));
    pushValue(ctx, Value(deleteVariable(ctx, name)));
    return {};
}

bool Interpreter::specialName(Context& ctx, std::string_view name, Value& out)
{
    if (name == "this" || (!m_.caseSensitive() && equalsNoCase(name, "this"))) {
        // A function without the name finds the clip's own `this`: the clip (from
        // SWF 6, where functions keep the scope they were made in; before, nothing).
        if (ctx.thisNamed)
            out = ctx.self;
        else
            out = isClip(ctx.baseClip) && (m_.version() >= 6 || !ctx.activation) ? Value(ctx.baseClip) : Value();
        return true;
    }
    if (name.empty() || name[0] != '_') {
        if (equalsNoCase(name, "super") && ctx.superNamed && superFor(ctx)) {
            out = Value(ctx.superObject);
            return true;
        }
        if (equalsNoCase(name, "arguments") && ctx.activation && !ctx.activation->findOwn("arguments") && argumentsFor(ctx)) {
            out = Value(ctx.arguments);
            return true;
        }
        return false;
    }
    Object* base = isClip(ctx.target) ? ctx.target : ctx.baseClip;
    // From SWF 7 these names are case-sensitive like every other: _LeVeL0 is nothing.
    const bool exact = m_.caseSensitive();
    auto is = [exact, name](std::string_view word) { return exact ? name == word : equalsNoCase(name, word); };
    if (is("_global") && m_.version() >= 6) {
        out = Value(m_.global());
        return true;
    }
    if (is("_root")) {
        out = isClip(base) ? Value(clipHost(base)->rootObject()) : Value(m_.level(0));
        return true;
    }
    if (is("_parent")) {
        out = isClip(base) ? Value(clipHost(base)->parentObject()) : Value();
        if (out.isNull())
            out = Value();
        return true;
    }
    // _flashN is an older name of _levelN. A member of that name the timeline holds
    // itself comes first, as it does for a clip's member of that name.
    if (auto n = support::levelNumber(name, exact)) {
        if (Property* own = isClip(base) ? base->findOwn(name) : nullptr) {
            out = own->isAccessor() ? m_.getMember(Value(base), name) : own->value;
            return true;
        }
        Object* level = m_.level(*n);
        out = level ? Value(level) : Value();
        return true;
    }
    return false;
}

Value Interpreter::getVariable(Context& ctx, const std::string& name)
{
    Value v = lookupVariable(ctx, name);
    // SWF 4 has no clip values: a name that reaches a clip reads as undefined.
    if (m_.version() < 5 && v.isObject() && isClip(v.asObject()))
        return Value();
    return v;
}

Value Interpreter::pathMember(Object* owner, const std::string& variable)
{
    if (variable.starts_with('_')) {
        Context scratch;
        scratch.target = owner;
        scratch.baseClip = owner;
        Value special;
        if (specialName(scratch, variable, special))
            return special;
    }
    return m_.getMember(Value(owner), variable);
}

Value Interpreter::lookupVariable(Context& ctx, const std::string& name)
{
    std::string path, variable;
    if (splitPath(name, path, variable)) {
        Object* o = resolveVariablePath(ctx, path, variable);
        return o ? pathMember(o, variable) : Value();
    }
    // A slash path names a clip, quietly; one that names none may still be a
    // variable's name.
    if (name.find('/') != std::string::npos) {
        if (Object* o = quietly([&] { return resolveTarget(ctx, name); }))
            return Value(o);
    }
    Value special;
    if (specialName(ctx, name, special))
        return special;
    const Atom atom = m_.heap().atoms().find(name);
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        Object* object = scopeObject(ctx, s);
        if (object && object->plain() && name != "__proto__") {
            // A plain object (locals, _global) holds only stored members: one walk up
            // its chain both finds the variable and reads it.
            if (Property* p = m_.findProperty(object, atom))
                return p->isAccessor() ? m_.getMember(Value(object), name) : p->value;
            continue;
        }
        if (m_.hasProperty(object, name))
            return m_.getMember(Value(object), name);
    }
    return Value();
}

Object* Interpreter::scopeObject(const Context& ctx, const Scope* scope) const
{
    // Inside tellTarget the timeline in the scope chain is the target's.
    if (scope->object == ctx.baseClip && ctx.target != ctx.baseClip && isClip(ctx.target))
        return ctx.target;
    // A timeline that has left the stage while the block ran gives way to the clip now
    // at its path, and when there is none to the root: its variables are out of reach.
    if (auto* clip = scope->object->as<MovieClipObject>(); clip && !clip->host() && !ctx.startedOnRemovedClip) {
        Object* now = clip->referent(m_);
        return clipHost(now) ? now : m_.level(0);
    }
    return scope->object;
}

void Interpreter::setVariable(Context& ctx, const std::string& name, Value value)
{
    std::string path, variable;
    if (splitPath(name, path, variable)) {
        Object* o = resolveVariablePath(ctx, path, {});
        if (o)
            m_.setMember(Value(o), variable, std::move(value));
        return;
    }
    // The innermost scope that has the variable takes the write; otherwise the
    // timeline (the scope just inside the global one) gets a new variable.
    Object* fallback = nullptr;
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        if (s->object == m_.global())
            break;
        Object* object = scopeObject(ctx, s);
        fallback = object;
        if (object->findOwn(name) || m_.hasProperty(object, name)) {
            m_.setMember(Value(object), name, std::move(value));
            return;
        }
    }
    if (isClip(ctx.target) && !ctx.activation)
        fallback = ctx.target;
    if (fallback)
        m_.setMember(Value(fallback), name, std::move(value));
}

void Interpreter::defineLocal(Context& ctx, const std::string& name, Value value)
{
    // Outside a function, inside `with`, an object of the with-chain that holds the
    // name itself takes the write (one that only inherits it does not).
    if (!ctx.activation) {
        for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
            Object* object = s->object;
            if (object == ctx.baseClip || object == m_.global() || isClip(object))
                break;
            if (object->findOwn(name)) {
                m_.setMember(Value(object), name, std::move(value));
                return;
            }
        }
    }
    Object* local = ctx.activation ? ctx.activation : (isClip(ctx.target) ? ctx.target : ctx.baseClip);
    if (local)
        m_.setMember(Value(local), name, std::move(value));
}

bool Interpreter::deleteVariable(Context& ctx, const std::string& name)
{
    // "o.a" and "o:a" delete a member of the object the path leads to; the last
    // separator of either kind ends the path, so "o:c.f" deletes f of o:c.
    std::string path, variable;
    if (splitPath(name, path, variable)) {
        Object* o = resolveVariablePath(ctx, path, variable);
        return o && m_.deleteMember(o, variable);
    }
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        if (s->object->findOwn(name))
            return m_.deleteMember(s->object, name);
    }
    return false;
}

} // namespace swf::avm1
