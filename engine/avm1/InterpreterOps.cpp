// The stack-only actions (arithmetic, comparison, strings, objects, calls) and the
// variable and target-path lookups they rely on.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/TextFieldObject.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

// A script doubling a string in a loop reaches gigabytes long before its action budget
// runs out, copying the whole string at every step. Past this length the script run
// ends, as it would on running out of memory; below it, every KiB made costs an action
// of the frame's budget, so one frame's scripts copy at most about a gigabyte of text.
constexpr size_t kMaxStringBytes = size_t{1} << 20;

std::string concatenated(Machine& m, const std::string& a, const std::string& b)
{
    size_t size = a.size() + b.size();
    if (size > kMaxStringBytes)
        throw ScriptAbort{};
    for (size_t charged = 1024; charged <= size; charged += 1024)
        m.spendAction();
    return a + b;
}

bool isClip(const Object* o)
{
    return clipHost(const_cast<Object*>(o)) != nullptr;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithNoCase(a, b);
}

} // namespace

bool Interpreter::stepSimple(Context& ctx, uint8_t code)
{
    const int version = m_.version();
    ClipHost* clip = targetClip(ctx);
    switch (code) {
    case 0x04: if (clip) clip->nextFrame(); break;
    case 0x05: if (clip) clip->prevFrame(); break;
    case 0x06: if (clip) clip->play(); break;
    case 0x07: if (clip) clip->stop(); break;
    case 0x08: if (clip) clip->toggleQuality(); break;
    case 0x09: if (clip) clip->stopSounds(); break;
    case 0x0A:    // Add
    case 0x0B:    // Subtract
    case 0x0C:    // Multiply
    case 0x0D: {  // Divide
        Value bv = pop(ctx);
        Value av = pop(ctx);
        double a = m_.toNumber(av);  // left operand converts first
        double b = m_.toNumber(bv);
        double r = code == 0x0A ? a + b : code == 0x0B ? a - b : code == 0x0C ? a * b : a / b;
        if (code == 0x0D && b == 0 && version < 5)
            pushValue(ctx, Value(std::string("#ERROR#")));
        else
            pushValue(ctx, Value(r));
        break;
    }
    case 0x0E: {  // Equals (numeric)
        Value bv = pop(ctx);
        Value av = pop(ctx);
        double b = m_.toNumber(bv);  // unlike arithmetic, the right operand converts first
        double a = m_.toNumber(av);
        pushValue(ctx, version < 5 ? Value(a == b ? 1.0 : 0.0) : Value(a == b));
        break;
    }
    case 0x0F: {  // Less (numeric)
        Value bv = pop(ctx);
        Value av = pop(ctx);
        double a = m_.toNumber(av);  // left operand converts first
        double b = m_.toNumber(bv);
        pushValue(ctx, version < 5 ? Value(a < b ? 1.0 : 0.0) : Value(a < b));
        break;
    }
    case 0x10:    // And
    case 0x11: {  // Or
        bool b = m_.toBoolean(pop(ctx));
        bool a = m_.toBoolean(pop(ctx));
        bool r = code == 0x10 ? (a && b) : (a || b);
        pushValue(ctx, version < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
        break;
    }
    case 0x12: {  // Not
        bool r = !m_.toBoolean(pop(ctx));
        pushValue(ctx, version < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
        break;
    }
    case 0x13: {  // StringEquals
        std::string b = m_.toString(pop(ctx));
        std::string a = m_.toString(pop(ctx));
        pushValue(ctx, version < 5 ? Value(a == b ? 1.0 : 0.0) : Value(a == b));
        break;
    }
    case 0x14:  // StringLength
        pushValue(ctx, Value(static_cast<double>(m_.toString(pop(ctx)).size())));
        break;
    case 0x31:  // MBStringLength
        pushValue(ctx, Value(static_cast<double>(decodeUtf8(m_.toString(pop(ctx))).size())));
        break;
    case 0x15:    // StringExtract
    case 0x35: {  // MBStringExtract
        double count = m_.toNumber(pop(ctx));
        double index = m_.toNumber(pop(ctx));
        std::string s = m_.toString(pop(ctx));
        std::u32string chars = code == 0x35 ? decodeUtf8(s) : std::u32string(s.begin(), s.end());
        double start = std::isnan(index) ? 0 : std::max(0.0, std::trunc(index) - 1);
        if (start >= static_cast<double>(chars.size())) {
            pushValue(ctx, Value(std::string()));
            break;
        }
        double n = std::isnan(count) || count < 0 ? static_cast<double>(chars.size()) : std::trunc(count);
        auto piece = chars.substr(static_cast<size_t>(start), static_cast<size_t>(std::min(n, static_cast<double>(chars.size()))));
        if (code == 0x35)
            pushValue(ctx, Value(encodeUtf8(piece)));
        else
            pushValue(ctx, Value(std::string(piece.begin(), piece.end())));
        break;
    }
    case 0x17: pop(ctx); break;
    case 0x18:  // ToInteger: truncates and wraps to 32 bits (0xFFFFFFFF gives -1)
        pushValue(ctx, Value(static_cast<double>(toInt32(m_.toNumber(pop(ctx))))));
        break;
    case 0x1C: {  // GetVariable
        std::string name = m_.toString(pop(ctx));
        pushValue(ctx, getVariable(ctx, name));
        break;
    }
    case 0x1D: {  // SetVariable
        Value value = pop(ctx);
        std::string name = m_.toString(pop(ctx));
        setVariable(ctx, name, std::move(value));
        break;
    }
    case 0x20: {  // SetTarget2
        Value target = pop(ctx);
        if (Object* o = target.asObject())
            ctx.target = o;
        else
            ctx.target = tellTarget(ctx, m_.toString(target));
        break;
    }
    case 0x21: {  // StringAdd
        std::string b = m_.toString(pop(ctx));
        std::string a = m_.toString(pop(ctx));
        pushValue(ctx, Value(concatenated(m_, a, b)));
        break;
    }
    case 0x22: {  // GetProperty
        double index = toInteger(m_.toNumber(pop(ctx)));
        Object* target = propertyTarget(ctx, pop(ctx));
        if (isClip(target) && index >= 0 && index <= 21)
            pushValue(ctx, clipHost(target)->getProperty(static_cast<ClipProperty>(static_cast<int>(index))));
        else
            pushValue(ctx, Value());
        break;
    }
    case 0x23: {  // SetProperty
        Value value = pop(ctx);
        double index = toInteger(m_.toNumber(pop(ctx)));
        Object* target = propertyTarget(ctx, pop(ctx));
        if (isClip(target) && index >= 0 && index <= 21)
            clipHost(target)->setProperty(static_cast<ClipProperty>(static_cast<int>(index)), value);
        break;
    }
    case 0x24: {  // CloneSprite
        double depth = m_.toNumber(pop(ctx));
        std::string name = m_.toString(pop(ctx));
        Value source = pop(ctx);
        Object* o = source.asObject() ? source.asObject() : resolveTarget(ctx, m_.toString(source));
        if (isClip(o) && !std::isnan(depth))
            clipHost(o)->duplicate(name, static_cast<int>(std::clamp(depth, -1e9, 1e9)));
        break;
    }
    case 0x25: {  // RemoveSprite
        Value source = pop(ctx);
        Object* o = source.asObject() ? source.asObject() : resolveTarget(ctx, m_.toString(source));
        if (isClip(o))
            clipHost(o)->removeClip();
        break;
    }
    case 0x26: {  // Trace: undefined prints as a word whatever the version
        Value v = pop(ctx);
        m_.trace(v.isUndefined() ? std::string("undefined") : m_.toString(v));
        break;
    }
    case 0x27: {  // StartDrag: nothing to drag without a pointer
        pop(ctx);
        pop(ctx);
        if (m_.toBoolean(pop(ctx))) {
            for (int i = 0; i < 4; ++i)
                pop(ctx);
        }
        break;
    }
    case 0x28: break;  // EndDrag
    case 0x29:    // StringLess
    case 0x68: {  // StringGreater
        std::string b = m_.toString(pop(ctx));
        std::string a = m_.toString(pop(ctx));
        bool r = code == 0x29 ? a < b : a > b;
        pushValue(ctx, version < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
        break;
    }
    case 0x2B: {  // CastOp
        Value object = pop(ctx);
        Value constructor = pop(ctx);
        pushValue(ctx, m_.instanceOf(object, constructor.asObject()) ? object : Value(Null{}));
        break;
    }
    case 0x2C: {  // ImplementsOp
        Value constructor = pop(ctx);
        std::vector<Value> interfaces = popArgs(ctx);
        if (Object* ctor = constructor.asObject()) {
            Value proto = m_.getMember(constructor, "prototype");
            if (Object* p = proto.asObject())
                p->put("__interfaces__", Value(m_.newArray(interfaces)), PropertyFlag::DontEnum);
            (void)ctor;
        }
        break;
    }
    case 0x30: {  // RandomNumber
        double max = m_.toNumber(pop(ctx));
        int32_t n = std::isnan(max) ? 0 : toInt32(max);
        pushValue(ctx, Value(n > 0 ? static_cast<double>(m_.nextRandom() % static_cast<uint32_t>(n)) : 0.0));
        break;
    }
    case 0x32:    // CharToAscii
    case 0x36: {  // MBCharToAscii
        std::string s = m_.toString(pop(ctx));
        if (s.empty()) {
            pushValue(ctx, Value(0.0));
        } else if (code == 0x36 || version >= 6) {
            pushValue(ctx, Value(static_cast<double>(decodeUtf8(s)[0])));
        } else {
            pushValue(ctx, Value(static_cast<double>(static_cast<unsigned char>(s[0]))));
        }
        break;
    }
    case 0x33:    // AsciiToChar
    case 0x37: {  // MBAsciiToChar
        double n = m_.toNumber(pop(ctx));
        auto c = static_cast<char32_t>(static_cast<uint32_t>(toInt32(n)) & (code == 0x33 && version < 6 ? 0xFF : 0x1FFFFF));
        if (code == 0x33 && version < 6)
            pushValue(ctx, Value(std::string(1, static_cast<char>(c))));
        else
            pushValue(ctx, Value(c == 0 ? std::string() : encodeUtf8(c)));
        break;
    }
    case 0x34: pushValue(ctx, Value(std::floor(m_.now()))); break;  // GetTime
    case 0x3A: {  // Delete
        std::string name = m_.toString(pop(ctx));
        Value object = pop(ctx);
        pushValue(ctx, Value(m_.deleteMember(object.asObject(), name)));
        break;
    }
    case 0x3B: {  // Delete2
        std::string name = m_.toString(pop(ctx));
        pushValue(ctx, Value(deleteVariable(ctx, name)));
        break;
    }
    case 0x3C: {  // DefineLocal
        Value value = pop(ctx);
        std::string name = m_.toString(pop(ctx));
        defineLocal(ctx, name, std::move(value));
        break;
    }
    case 0x41: {  // DefineLocal2: declares without changing an existing value
        std::string name = m_.toString(pop(ctx));
        Object* local = ctx.activation ? ctx.activation : ctx.baseClip;
        // A name its prototypes already answer is left alone too, so that their value
        // stays visible.
        if (local && !m_.hasProperty(local, name))
            local->put(name, Value());
        break;
    }
    case 0x3D: {  // CallFunction
        std::string name = m_.toString(pop(ctx));
        std::vector<Value> args = popArgs(ctx);
        Value function = getVariable(ctx, name);
        // The function runs with the scope object it was found on as `this`: the
        // timeline's clip, an enclosing function's locals, a with() object, _global.
        Value self;
        for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
            if (m_.hasProperty(s->object, name)) {
                self = Value(s->object);
                break;
            }
        }
        pushValue(ctx, callValue(ctx, function, self, args));
        break;
    }
    case 0x3F: {  // Modulo
        Value bv = pop(ctx);
        Value av = pop(ctx);
        double a = m_.toNumber(av);  // left operand converts first
        double b = m_.toNumber(bv);
        pushValue(ctx, Value(std::fmod(a, b)));
        break;
    }
    case 0x40: {  // NewObject
        std::string name = m_.toString(pop(ctx));
        std::vector<Value> args = popArgs(ctx);
        Value constructor = getVariable(ctx, name);
        pushValue(ctx, m_.construct(constructor, args));
        break;
    }
    case 0x42: {  // InitArray
        std::vector<Value> items = popArgs(ctx);
        pushValue(ctx, Value(m_.newArray(items)));
        break;
    }
    case 0x43: {  // InitObject
        double n = m_.toNumber(pop(ctx));
        size_t count = std::isnan(n) || n < 0 ? 0 : static_cast<size_t>(std::min(n, 65536.0));
        std::vector<std::pair<std::string, Value>> pairs;
        for (size_t i = 0; i < count && !ctx.stack.empty(); ++i) {
            Value value = pop(ctx);
            std::string name = m_.toString(pop(ctx));
            pairs.emplace_back(std::move(name), std::move(value));
        }
        Object* o = m_.newObject();
        for (auto it = pairs.rbegin(); it != pairs.rend(); ++it)
            m_.setMember(Value(o), it->first, std::move(it->second));
        pushValue(ctx, Value(o));
        break;
    }
    case 0x44: pushValue(ctx, Value(m_.typeOf(pop(ctx)))); break;  // TypeOf
    case 0x45: {  // TargetPath
        Value v = pop(ctx);
        Object* o = v.asObject();
        if (isClip(o))
            pushValue(ctx, Value(clipHost(o)->targetPath(false)));
        else if (TextFieldHost* field = textFieldHost(o))
            pushValue(ctx, Value(field->targetPath(false)));
        else
            pushValue(ctx, Value());
        break;
    }
    case 0x46:    // Enumerate
    case 0x55: {  // Enumerate2
        Value v = pop(ctx);
        Object* o = code == 0x55 ? v.asObject() : getVariable(ctx, m_.toString(v)).asObject();
        pushValue(ctx, Value(Null{}));
        if (o) {
            for (const std::string& name : m_.enumerableNames(o))
                pushValue(ctx, Value(name));
        }
        break;
    }
    case 0x47: {  // Add2
        Value bv = pop(ctx);
        Value a = m_.toPrimitive(pop(ctx));
        Value b = m_.toPrimitive(bv);
        if (a.isString() || b.isString())
            pushValue(ctx, Value(concatenated(m_, m_.toString(a), m_.toString(b))));
        else
            pushValue(ctx, Value(m_.toNumber(a) + m_.toNumber(b)));
        break;
    }
    case 0x48: {  // Less2
        Value b = pop(ctx);
        Value a = pop(ctx);
        pushValue(ctx, m_.lessThan(a, b));
        break;
    }
    case 0x67: {  // Greater
        Value b = pop(ctx);
        Value a = pop(ctx);
        pushValue(ctx, m_.lessThan(b, a));
        break;
    }
    case 0x49: {  // Equals2
        Value b = pop(ctx);
        Value a = pop(ctx);
        pushValue(ctx, Value(m_.looseEquals(a, b)));
        break;
    }
    case 0x66: {  // StrictEquals
        Value b = pop(ctx);
        Value a = pop(ctx);
        pushValue(ctx, Value(m_.strictEquals(a, b)));
        break;
    }
    case 0x4A: pushValue(ctx, Value(m_.toNumber(pop(ctx)))); break;  // ToNumber
    case 0x4B: pushValue(ctx, Value(m_.toString(pop(ctx)))); break;  // ToString
    case 0x4C: pushValue(ctx, ctx.stack.empty() ? Value() : ctx.stack.back()); break;  // PushDuplicate
    case 0x4D: {  // StackSwap
        Value b = pop(ctx);
        Value a = pop(ctx);
        pushValue(ctx, std::move(b));
        pushValue(ctx, std::move(a));
        break;
    }
    case 0x4E: {  // GetMember
        Value name = pop(ctx);
        Value object = pop(ctx);
        pushValue(ctx, m_.getMember(object, m_.toString(name)));
        break;
    }
    case 0x4F: {  // SetMember
        Value value = pop(ctx);
        Value name = pop(ctx);
        Value object = pop(ctx);
        m_.setMember(object, m_.toString(name), std::move(value));
        break;
    }
    case 0x50: pushValue(ctx, Value(m_.toNumber(pop(ctx)) + 1)); break;  // Increment
    case 0x51: pushValue(ctx, Value(m_.toNumber(pop(ctx)) - 1)); break;  // Decrement
    case 0x52: callMethodAction(ctx); break;
    case 0x53: {  // NewMethod
        Value name = pop(ctx);
        Value object = pop(ctx);
        std::vector<Value> args = popArgs(ctx);
        std::string method = name.isUndefined() ? std::string() : m_.toString(name);
        Value constructor = method.empty() ? object : m_.getMember(object, method);
        pushValue(ctx, m_.construct(constructor, args));
        break;
    }
    case 0x54: {  // InstanceOf
        Value constructor = pop(ctx);
        Value object = pop(ctx);
        pushValue(ctx, Value(m_.instanceOf(object, constructor.asObject())));
        break;
    }
    case 0x60:    // BitAnd
    case 0x61:    // BitOr
    case 0x62:    // BitXor
    case 0x63:    // BitLShift
    case 0x64:    // BitRShift
    case 0x65: {  // BitURShift
        int32_t b = m_.toInt32(pop(ctx));
        int32_t a = m_.toInt32(pop(ctx));
        double r = 0;
        auto shift = static_cast<uint32_t>(b) & 31;
        switch (code) {
        case 0x60: r = a & b; break;
        case 0x61: r = a | b; break;
        case 0x62: r = a ^ b; break;
        case 0x63: r = static_cast<int32_t>(static_cast<uint32_t>(a) << shift); break;
        case 0x64: r = a >> shift; break;
        // The unsigned result reads back as a signed 32-bit integer.
        default: r = static_cast<int32_t>(static_cast<uint32_t>(a) >> shift); break;
        }
        pushValue(ctx, Value(r));
        break;
    }
    case 0x69: {  // Extends
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
        break;
    }
    default: return false;
    }
    return true;
}

void Interpreter::callMethodAction(Context& ctx)
{
    Value name = pop(ctx);
    Value object = pop(ctx);
    std::vector<Value> args = popArgs(ctx);
    std::string method = name.isUndefined() ? std::string() : m_.toString(name);
    Object* o = object.asObject();
    if (o && o == ctx.superObject) {
        // super(...) and super.method(...) run with this call's `this`.
        if (method.empty()) {
            // The superclass constructor's own `super` is one prototype further up.
            m_.pendingHome = o->proto();
            pushValue(ctx, callValue(ctx, Value(ctx.superConstructor), ctx.self, args));
            return;
        }
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
        return;
    }
    if (method.empty()) {
        pushValue(ctx, callValue(ctx, object, Value(), args));
        return;
    }
    Value function = m_.getMember(object, method);
    if (o) {
        int guard = 0;
        for (Object* p = o; p && guard < 10000; p = p->proto(), ++guard) {
            if (p->findOwn(method)) {
                m_.pendingHome = p == o ? o->proto() : p;
                break;
            }
        }
    }
    pushValue(ctx, callValue(ctx, function, object, args));
}

Value Interpreter::callValue(Context& ctx, const Value& function, const Value& self, std::span<const Value> args)
{
    (void)ctx;
    Object* f = function.asObject();
    if (!f || !f->function()) {
        m_.pendingHome = nullptr;
        return Value();
    }
    return m_.call(function, self, args);
}

bool Interpreter::specialName(Context& ctx, std::string_view name, Value& out)
{
    if (name == "this" || (!m_.caseSensitive() && equalsNoCase(name, "this"))) {
        out = ctx.self;
        return true;
    }
    if (name.empty() || name[0] != '_') {
        if (equalsNoCase(name, "super") && ctx.superObject) {
            out = Value(ctx.superObject);
            return true;
        }
        if (equalsNoCase(name, "arguments") && ctx.arguments && ctx.activation && !ctx.activation->findOwn("arguments")) {
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
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        Object* object = scopeObject(ctx, s);
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
    Object* local = ctx.activation ? ctx.activation : (isClip(ctx.target) ? ctx.target : ctx.baseClip);
    if (local)
        m_.setMember(Value(local), name, std::move(value));
}

bool Interpreter::deleteVariable(Context& ctx, const std::string& name)
{
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
    if (Object* object = target.asObject())
        return object;
    std::string path = m_.toString(target);
    return path.empty() ? ctx.target : resolveTarget(ctx, path);
}

Object* Interpreter::tellTarget(Context& ctx, const std::string& path)
{
    // An empty path returns to the script's own clip; one that names nothing sends
    // the actions to the movie's root (so undefined, which reads as "undefined" from
    // SWF 7, does too).
    if (path.empty())
        return ctx.baseClip;
    if (Object* o = resolveTarget(ctx, path))
        return o;
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
