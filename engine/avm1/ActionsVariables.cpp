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
    if (name.size() > 6 && (exact ? name.starts_with("_level") : startsWithNoCase(name, "_level"))) {
        int n = 0;
        for (char c : name.substr(6)) {
            if (c < '0' || c > '9')
                return false;
            n = std::min(n * 10 + (c - '0'), 1 << 20);
        }
        Object* level = m_.level(n);
        out = level ? Value(level) : Value();
        return true;
    }
    return false;
}

bool Interpreter::splitPath(const std::string& name, std::string& path, std::string& variable) const
{
    auto colon = name.rfind(':');
    if (colon != std::string::npos) {
        path = name.substr(0, colon);
        variable = name.substr(colon + 1);
        return true;
    }
    auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) {
        path = name.substr(0, dot);
        variable = name.substr(dot + 1);
        return true;
    }
    return false;
}

Value Interpreter::getVariable(Context& ctx, const std::string& name)
{
    std::string path, variable;
    if (name.find('/') != std::string::npos && name.find(':') == std::string::npos && name.find('.') == std::string::npos) {
        // A bare slash path names a clip.
        Object* o = resolveTarget(ctx, name);
        return o ? Value(o) : Value();
    }
    if (splitPath(name, path, variable)) {
        if (Object* o = resolveDottedInScopes(ctx, path, variable))
            return m_.getMember(Value(o), variable);
        Object* o = resolveTarget(ctx, path);
        if (!o)
            return Value();
        return m_.getMember(Value(o), variable);
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
    return scope->object;
}

void Interpreter::setVariable(Context& ctx, const std::string& name, Value value)
{
    std::string path, variable;
    if (splitPath(name, path, variable)) {
        Object* o = resolveDottedInScopes(ctx, path);
        if (!o)
            o = resolveTarget(ctx, path);
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
        const size_t colon = name.rfind(':');
        const size_t dot = name.rfind('.');
        if (colon != std::string::npos && dot != std::string::npos && dot > colon + 1 && dot + 1 < name.size()) {
            path = name.substr(0, dot);
            variable = name.substr(dot + 1);
        }
        Object* o = resolveDottedInScopes(ctx, path, variable);
        if (!o)
            o = resolveTarget(ctx, path);
        if (!o) {
            // A path that ends at a string, number or boolean is not made an object to
            // delete from; the player says so in its log.
            const Value at = getVariable(ctx, path);
            if (at.isString() || at.isNumber() || at.isBool())
                m_.trace("Parameters of primitive types are no longer coerced into the required type - Object.");
        }
        return o && m_.deleteMember(o, variable);
    }
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        if (s->object->findOwn(name))
            return m_.deleteMember(s->object, name);
    }
    return false;
}

Object* Interpreter::resolveDottedInScopes(Context& ctx, const std::string& path, const std::string& variable)
{
    // "a.b" is looked for scope by scope: a scope whose `a` does not lead to an
    // object gives way to the next one out. When reading "a.b.c", a scope whose "a.b"
    // has no `c` gives way too; if no scope has it, the first "a.b" found is used.
    if (path.find_first_of(":/") != std::string::npos)
        return nullptr;
    std::string first = path.substr(0, path.find('.'));
    if (first.empty() || first[0] == '_' || first == "this" || first == "..")
        return nullptr;
    Object* firstFound = nullptr;
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        if (!m_.hasProperty(s->object, first))
            continue;
        Object* o = resolvePathFrom(ctx, s->object, path);
        if (!o)
            continue;
        if (variable.empty() || m_.hasProperty(o, variable))
            return o;
        if (!firstFound)
            firstFound = o;
    }
    return firstFound;
}

Object* Interpreter::propertyTarget(Context& ctx, const Value& target)
{
    // A clip or field is taken as it is; any other object names a path by its toString.
    if (Object* object = target.asObject(); object && (isClip(object->referent(m_)) || textFieldHost(object)))
        return object;
    std::string path = m_.toString(target);
    if (path.empty())
        return ctx.targetMissing ? nullptr : ctx.target;
    return resolveTarget(ctx, path);
}

Object* Interpreter::tellTarget(Context& ctx, const std::string& path)
{
    // An empty path returns to the script's own clip; one that names nothing sends
    // the actions to the movie's root (so undefined, which reads as "undefined" from
    // SWF 7, does too), where the properties of the empty path read as undefined.
    ctx.targetMissing = false;
    if (path.empty())
        return ctx.baseClip;
    // A script whose clip has left the stage (and that no clip has replaced) reaches
    // nothing by a path: its tellTargets stay on the removed clip, where gotos and the
    // rest do nothing.
    if (auto* own = ctx.baseClip ? ctx.baseClip->as<MovieClipObject>() : nullptr; own && !clipHost(own->referent(m_)))
        return ctx.baseClip;
    // A path names a clip from the script's own clip, whatever target an earlier
    // tellTarget chose ("a" then "a.b" reaches the script's a.b).
    Object* resolved = nullptr;
    {
        Object* current = std::exchange(ctx.target, ctx.baseClip);
        try {
            resolved = resolveTarget(ctx, path);
        } catch (...) {
            ctx.target = current;
            throw;
        }
        ctx.target = current;
    }
    if (resolved)
        return resolved;
    ctx.targetMissing = true;
    Object* base = isClip(ctx.baseClip) ? ctx.baseClip : nullptr;
    return base ? clipHost(base)->rootObject() : m_.level(0);
}

Object* Interpreter::resolveTarget(Context& ctx, const std::string& path)
{
    Object* start = isClip(ctx.target) ? ctx.target : ctx.baseClip;
    if (path.empty())
        return start;
    if (path[0] == '/') {
        Object* root = isClip(start) ? clipHost(start)->rootObject() : m_.level(0);
        return resolvePathFrom(ctx, root, std::string_view(path).substr(1));
    }
    // The first segment of a dotted path may be any variable ("a.b", "this.c").
    std::string_view rest = path;
    auto dot = path.find_first_of("./");
    std::string first = path.substr(0, dot);
    if (first != ".." && !first.empty()) {
        Value v = getVariable(ctx, first);
        if (!v.isObject()) {
            if (!isClip(start))
                return nullptr;
            Value child = m_.getMember(Value(start), first);
            if (!child.isObject())
                return nullptr;
            v = child;
        }
        if (dot == std::string::npos)
            return v.asObject();
        return resolvePathFrom(ctx, v.asObject(), rest.substr(dot + 1));
    }
    return resolvePathFrom(ctx, start, rest);
}

Object* Interpreter::resolvePathFrom(Context& ctx, Object* start, std::string_view path)
{
    Object* current = start;
    // A path with slashes is in slash syntax, where ".." is the parent and dots belong
    // to names; otherwise segments are separated by dots.
    const bool slashSyntax = path.find('/') != std::string_view::npos;
    // One slash may end a path; any other empty segment ("a//b", "a//") names nothing.
    if (slashSyntax && path.ends_with('/')) {
        path.remove_suffix(1);
        if (path.ends_with('/'))
            return nullptr;
    }
    while (current && !path.empty()) {
        auto sep = slashSyntax ? path.find('/') : path.find('.');
        std::string_view segment = path.substr(0, sep);
        path = sep == std::string_view::npos ? std::string_view() : path.substr(sep + 1);
        if (segment.empty()) {
            if (slashSyntax)
                return nullptr;
            continue;
        }
        if (segment == "..") {
            current = isClip(current) ? clipHost(current)->parentObject() : nullptr;
            continue;
        }
        Value special;
        if (segment[0] == '_' && (equalsNoCase(segment, "_root") || equalsNoCase(segment, "_parent") ||
                                  equalsNoCase(segment, "_global") || startsWithNoCase(segment, "_level"))) {
            if (equalsNoCase(segment, "_parent")) {
                current = isClip(current) ? clipHost(current)->parentObject() : nullptr;
                continue;
            }
            Context scratch;
            scratch.target = current;
            scratch.baseClip = current;
            if (specialName(scratch, segment, special)) {
                current = special.asObject();
                continue;
            }
        }
        if (segment == "this" && current == start) {
            current = ctx.self.asObject() ? ctx.self.asObject() : current;
            continue;
        }
        current = m_.getMember(Value(current), segment).asObject();
    }
    return current;
}

} // namespace swf::avm1
