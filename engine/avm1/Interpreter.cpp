#include "engine/avm1/Interpreter.h"

// GCC 12 reports std::variant moves of Value as maybe-uninitialized when it inlines
// them into the big action switch; the values are always constructed.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/format/Reader.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

constexpr size_t kMaxStackDepth = 65536;
constexpr size_t kMaxArgs = 65536;

bool isClip(const Object* o)
{
    return clipHost(const_cast<Object*>(o)) != nullptr;
}

size_t relative(size_t base, int16_t offset)
{
    auto target = static_cast<std::ptrdiff_t>(base) + offset;
    return target < 0 ? SIZE_MAX : static_cast<size_t>(target);
}

// DefineFunction2 flags. The suppress flags for `this` (0x02) and `super` (0x20) need
// nothing here: compilers set them only on functions that never name either, and both
// are resolved from the call's context rather than stored in the activation.
namespace Function2 {
constexpr uint16_t PreloadThis = 0x01;
constexpr uint16_t PreloadArguments = 0x04;
constexpr uint16_t SuppressArguments = 0x08;
constexpr uint16_t PreloadSuper = 0x10;
constexpr uint16_t PreloadRoot = 0x40;
constexpr uint16_t PreloadParent = 0x80;
constexpr uint16_t PreloadGlobal = 0x100;
}

} // namespace

void Interpreter::visitContext(const Context& ctx, Visitor& visitor)
{
    visitor.visit(ctx.scope.get());
    visitor.visit(ctx.target);
    visitor.visit(ctx.baseClip);
    visitor.visit(ctx.self);
    visitor.visit(ctx.activation);
    visitor.visit(ctx.arguments);
    visitor.visit(ctx.superObject);
    visitor.visit(ctx.superConstructor);
    for (const Value& v : ctx.registers)
        visitor.visit(v);
    for (const Value& v : ctx.stack)
        visitor.visit(v);
    visitor.visit(ctx.returned);
}

ExecutionResult Interpreter::runBlock(std::span<const uint8_t> code, Object* clip)
{
    Context ctx;
    ScopedRoot frameRoot(m_, [&ctx](Visitor& visitor) { visitContext(ctx, visitor); });
    ctx.code = code;
    ctx.constants = std::make_shared<ConstantStrings>();
    auto globalScope = std::make_shared<Scope>(Scope{m_.global(), nullptr});
    ctx.scope = clip ? std::make_shared<Scope>(Scope{clip, globalScope}) : globalScope;
    ctx.target = clip;
    ctx.baseClip = clip;
    ctx.self = Value(clip);
    ctx.registers.resize(4);
    Object* previousClip = m_.currentClip();
    m_.setCurrentClip(clip);
    ExecutionResult result = ExecutionResult::Finished;
    try {
        execute(ctx, 0, code.size());
    } catch (const ScriptThrow&) {
        // An uncaught throw ends the block.
    } catch (const ScriptAbort&) {
        result = ExecutionResult::BudgetExhausted;
    } catch (const FormatError&) {
        // A malformed payload ends the block, as the reference player does.
    }
    m_.setCurrentClip(previousClip);
    return result;
}

void Interpreter::runNested(std::span<const uint8_t> code, Object* clip)
{
    Context ctx;
    ScopedRoot frameRoot(m_, [&ctx](Visitor& visitor) { visitContext(ctx, visitor); });
    ctx.code = code;
    ctx.constants = std::make_shared<ConstantStrings>();
    auto globalScope = std::make_shared<Scope>(Scope{m_.global(), nullptr});
    ctx.scope = std::make_shared<Scope>(Scope{clip, globalScope});
    ctx.target = clip;
    ctx.baseClip = clip;
    ctx.self = Value(clip);
    ctx.registers.resize(4);
    execute(ctx, 0, code.size());
}

Value Interpreter::callFunction(Object* function, const Value& self, std::span<const Value> args, Object* home)
{
    FunctionData& f = *function->function();
    Context ctx;
    ScopedRoot frameRoot(m_, [&ctx](Visitor& visitor) { visitContext(ctx, visitor); });
    ctx.code = f.code;
    ctx.constants = f.constants ? f.constants : std::make_shared<ConstantStrings>();
    ctx.self = self;
    ctx.baseClip = f.definingClip;
    // From SWF 6 a function's target is the clip it was defined on; before, the clip
    // whose script calls it.
    ctx.target = m_.version() >= 6 && isClip(f.definingClip) ? f.definingClip : m_.currentClip();
    Object* activation = m_.heap().make(nullptr);
    ctx.activation = activation;
    ctx.scope = std::make_shared<Scope>(Scope{activation, f.scope});

    // `arguments`, and `super` from the prototype the method was found on.
    Object* arguments = m_.newArray(args);
    arguments->put("callee", Value(function), PropertyFlag::DontEnum);
    arguments->put("caller", m_.runningFunctions.empty() ? Value(Null{}) : Value(m_.runningFunctions.back()),
                   PropertyFlag::DontEnum);
    ctx.arguments = arguments;
    Object* thisObject = self.asObject();
    if (!home && thisObject)
        home = thisObject->proto();
    if (home) {
        ctx.superObject = m_.newObject(home->proto());
        ctx.superObject->setProto(home->proto());
        const Property* ctor = home->findOwn("__constructor__");
        if (!ctor && home->proto())
            ctor = m_.findProperty(home->proto(), "constructor");
        ctx.superConstructor = ctor ? ctor->value.asObject() : nullptr;
    }

    if (f.isFunction2) {
        ctx.registers.resize(std::max<size_t>(f.registerCount, 1));
        size_t r = 1;
        auto preload = [&](Value v) {
            if (r < ctx.registers.size())
                ctx.registers[r] = std::move(v);
            ++r;
        };
        if (f.flags & Function2::PreloadThis)
            preload(self);
        if (f.flags & Function2::PreloadArguments)
            preload(Value(arguments));
        if (f.flags & Function2::PreloadSuper)
            preload(Value(ctx.superObject));
        if (f.flags & Function2::PreloadRoot)
            preload(isClip(ctx.target) ? Value(clipHost(ctx.target)->rootObject()) : Value());
        if (f.flags & Function2::PreloadParent)
            preload(isClip(ctx.target) ? Value(clipHost(ctx.target)->parentObject()) : Value());
        if (f.flags & Function2::PreloadGlobal)
            preload(Value(m_.global()));
        if (!(f.flags & Function2::SuppressArguments) && !(f.flags & Function2::PreloadArguments))
            activation->put("arguments", Value(arguments));
        for (size_t i = 0; i < f.params.size(); ++i) {
            Value v = i < args.size() ? args[i] : Value();
            uint8_t reg = i < f.paramRegisters.size() ? f.paramRegisters[i] : 0;
            if (reg != 0 && reg < ctx.registers.size())
                ctx.registers[reg] = std::move(v);
            else
                activation->put(f.params[i], std::move(v));
        }
    } else {
        ctx.registers.resize(4);
        activation->put("arguments", Value(arguments));
        for (size_t i = 0; i < f.params.size(); ++i)
            activation->put(f.params[i], i < args.size() ? args[i] : Value());
    }

    struct Running {
        std::vector<Object*>& stack;
        Running(std::vector<Object*>& s, Object* f) : stack(s) { stack.push_back(f); }
        ~Running() { stack.pop_back(); }
    } running(m_.runningFunctions, function);
    Outcome outcome = execute(ctx, 0, ctx.code.size());
    if (outcome.flow == Flow::Return)
        return ctx.returned;
    return Value();
}

Interpreter::Outcome Interpreter::execute(Context& ctx, size_t begin, size_t end)
{
    size_t pos = begin;
    while (pos < end) {
        ActionReader reader(ctx.code);
        if (!reader.jumpTo(pos))
            return {Flow::JumpOut, pos};
        auto action = reader.next();
        if (!action)
            return {Flow::JumpOut, ctx.code.size()};
        if (action->is(ActionCode::End))
            return {Flow::JumpOut, ctx.code.size()};
        m_.spendAction();
        size_t next = action->nextOffset;
        Outcome o;
        try {
            o = step(ctx, *action, next, begin, end);
        } catch (const FormatError&) {
            // A malformed payload ends this block (or function body) here.
            return {Flow::JumpOut, ctx.code.size()};
        }
        if (o.flow == Flow::Return)
            return o;
        if (o.flow == Flow::JumpOut) {
            if (o.offset >= begin && o.offset < end) {
                pos = o.offset;
                continue;
            }
            if (o.offset == end)
                return {Flow::Fallthrough, end};
            return o;
        }
        pos = next;
    }
    return {Flow::Fallthrough, pos};
}

void Interpreter::pushValue(Context& ctx, Value v)
{
    // A script that only ever pushes would grow without end; past the limit the new
    // values are dropped.
    if (ctx.stack.size() < kMaxStackDepth)
        ctx.stack.push_back(std::move(v));
}

Value Interpreter::pop(Context& ctx)
{
    if (ctx.stack.empty())
        return Value();
    Value v = std::move(ctx.stack.back());
    ctx.stack.pop_back();
    return v;
}

std::vector<Value> Interpreter::popArgs(Context& ctx)
{
    double n = m_.toNumber(pop(ctx));
    size_t count = (std::isnan(n) || n < 0) ? 0 : static_cast<size_t>(std::min(n, static_cast<double>(kMaxArgs)));
    count = std::min(count, ctx.stack.size());
    std::vector<Value> args;
    args.reserve(count);
    for (size_t i = 0; i < count; ++i)
        args.push_back(pop(ctx));
    return args;
}

ClipHost* Interpreter::targetClip(Context& ctx)
{
    return clipHost(ctx.target);
}

void Interpreter::push(Context& ctx, std::span<const uint8_t> payload)
{
    ByteReader r(payload);
    while (!r.atEnd()) {
        switch (r.u8()) {
        case 0: pushValue(ctx, Value(r.cstring())); break;
        case 1: pushValue(ctx, Value(static_cast<double>(r.f32()))); break;
        case 2: pushValue(ctx, Value(Null{})); break;
        case 3: pushValue(ctx, Value()); break;
        case 4: {
            uint8_t reg = r.u8();
            pushValue(ctx, reg < ctx.registers.size() ? ctx.registers[reg] : Value());
            break;
        }
        case 5: pushValue(ctx, Value(r.u8() != 0)); break;
        case 6: pushValue(ctx, Value(r.f64Swapped())); break;
        case 7: pushValue(ctx, Value(static_cast<double>(r.s32()))); break;
        case 8:
        case 9: {
            bool wide = payload[r.position() - 1] == 9;
            unsigned index = wide ? r.u16() : r.u8();
            const ConstantStrings& pool = *ctx.constants;
            pushValue(ctx, index < pool.size() ? Value(pool[index]) : Value());
            break;
        }
        default: throw FormatError("unknown push type");
        }
    }
}

Interpreter::Outcome Interpreter::step(Context& ctx, const ActionRecord& action, size_t& next, size_t begin, size_t end)
{
    ByteReader payload(action.payload);
    ClipHost* clip = targetClip(ctx);
    switch (action.code) {
    case 0x81:  // GotoFrame: goes to the frame and stops there
        if (clip) {
            clip->gotoFrame(payload.u16() + 1);
            clip->stop();
        }
        return {};
    case 0x83: {  // GetURL
        std::string url = payload.cstring();
        std::string target = payload.cstring();
        if (clip)
            clip->getUrl(url, target);
        return {};
    }
    case 0x88: {  // ConstantPool
        auto pool = std::make_shared<ConstantStrings>();
        unsigned count = payload.u16();
        for (unsigned i = 0; i < count && !payload.atEnd(); ++i)
            pool->push_back(payload.cstring());
        ctx.constants = std::move(pool);
        return {};
    }
    case 0x8A:  // WaitForFrame: the whole movie is loaded, nothing to skip.
        return {};
    case 0x8B: {  // SetTarget
        ctx.target = tellTarget(ctx, payload.cstring());
        return {};
    }
    case 0x8C:  // GotoLabel
        if (clip)
            clip->gotoLabel(payload.cstring());
        return {};
    case 0x8D:  // WaitForFrame2
        pop(ctx);
        return {};
    case 0x87: {  // StoreRegister
        uint8_t reg = payload.u8();
        if (reg < ctx.registers.size())
            ctx.registers[reg] = ctx.stack.empty() ? Value() : ctx.stack.back();
        return {};
    }
    case 0x89:  // StrictMode
        return {};
    case 0x8E: return defineFunction(ctx, action, true, next);
    case 0x9B: return defineFunction(ctx, action, false, next);
    case 0x8F: return runTry(ctx, action, next, begin, end);
    case 0x94: return runWith(ctx, action, next, begin, end);
    case 0x96: push(ctx, action.payload); return {};
    case 0x99: return {Flow::JumpOut, relative(action.nextOffset, payload.s16())};
    case 0x9D: {  // If
        int16_t offset = payload.s16();
        if (m_.toBoolean(pop(ctx)))
            return {Flow::JumpOut, relative(action.nextOffset, offset)};
        return {};
    }
    case 0x9A: {  // GetURL2
        Value target = pop(ctx);
        Value url = pop(ctx);
        if (clip)
            clip->getUrl(m_.toString(url), m_.toString(target));
        return {};
    }
    case 0x9E: {  // Call: run another frame's actions on the target, then go on
        std::string frame = m_.toString(pop(ctx));
        Object* target = ctx.target;
        auto colon = frame.rfind(':');
        if (colon != std::string::npos) {
            target = resolveTarget(ctx, frame.substr(0, colon));
            frame = frame.substr(colon + 1);
        }
        if (clipHost(target)) {
            for (std::span<const uint8_t> code : clipHost(target)->frameScripts(frame))
                Interpreter(m_).runNested(code, target);
        }
        return {};
    }
    case 0x9F: gotoFrame2(ctx, action.payload); return {};
    case 0x3E:  // Return
        ctx.returned = pop(ctx);
        return {Flow::Return, 0};
    case 0x2A:  // Throw
        throw ScriptThrow{pop(ctx)};
    default:
        if (!stepSimple(ctx, action.code)) {
            // Unknown actions are skipped by their length.
        }
        return {};
    }
}

Interpreter::Outcome Interpreter::defineFunction(Context& ctx, const ActionRecord& action, bool version2, size_t& next)
{
    ByteReader r(action.payload);
    auto data = std::make_unique<FunctionData>();
    data->name = r.cstring();
    unsigned paramCount = r.u16();
    if (version2) {
        data->isFunction2 = true;
        data->registerCount = r.u8();
        data->flags = r.u16();
        for (unsigned i = 0; i < paramCount; ++i) {
            data->paramRegisters.push_back(r.u8());
            data->params.push_back(r.cstring());
        }
    } else {
        for (unsigned i = 0; i < paramCount; ++i)
            data->params.push_back(r.cstring());
    }
    size_t codeSize = r.u16();
    size_t bodyStart = action.nextOffset;
    size_t bodyEnd = std::min(bodyStart + codeSize, ctx.code.size());
    data->code = ctx.code.subspan(bodyStart, bodyEnd - bodyStart);
    data->scope = ctx.scope;
    data->constants = ctx.constants;
    data->definingClip = ctx.baseClip;
    next = bodyEnd;

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

Interpreter::Outcome Interpreter::runTry(Context& ctx, const ActionRecord& action, size_t& next, size_t begin, size_t end)
{
    ByteReader r(action.payload);
    uint8_t flags = r.u8();
    size_t trySize = r.u16();
    size_t catchSize = r.u16();
    size_t finallySize = r.u16();
    bool hasCatch = flags & 1;
    bool hasFinally = flags & 2;
    bool catchInRegister = flags & 4;
    std::string catchName;
    uint8_t catchRegister = 0;
    if (catchInRegister)
        catchRegister = r.u8();
    else
        catchName = r.cstring();

    size_t tryStart = action.nextOffset;
    size_t catchStart = std::min(tryStart + trySize, ctx.code.size());
    size_t finallyStart = std::min(catchStart + catchSize, ctx.code.size());
    size_t after = std::min(finallyStart + finallySize, ctx.code.size());

    Outcome outcome;
    bool pending = false;
    Value pendingValue;
    const size_t stackAtTry = ctx.stack.size();
    try {
        outcome = execute(ctx, tryStart, catchStart);
    } catch (ScriptThrow& thrown) {
        // What the try block left on the stack is dropped; what it took off stays off.
        if (ctx.stack.size() > stackAtTry)
            ctx.stack.resize(stackAtTry);
        if (hasCatch) {
            if (catchInRegister) {
                if (catchRegister < ctx.registers.size())
                    ctx.registers[catchRegister] = thrown.value;
            } else {
                defineLocal(ctx, catchName, thrown.value);
            }
            try {
                outcome = execute(ctx, catchStart, finallyStart);
            } catch (ScriptThrow& again) {
                pending = true;
                pendingValue = std::move(again.value);
            }
        } else {
            pending = true;
            pendingValue = std::move(thrown.value);
        }
    }
    if (hasFinally) {
        Outcome fin = execute(ctx, finallyStart, after);
        if (fin.flow != Flow::Fallthrough)
            return fin;  // a return or jump in finally wins over everything
    }
    if (pending)
        throw ScriptThrow{std::move(pendingValue)};
    if (outcome.flow == Flow::Fallthrough) {
        next = after;
        return {};
    }
    (void)begin;
    (void)end;
    return outcome;
}

Interpreter::Outcome Interpreter::runWith(Context& ctx, const ActionRecord& action, size_t& next, size_t begin, size_t end)
{
    ByteReader r(action.payload);
    size_t size = r.u16();
    Object* object = m_.toObject(pop(ctx));
    size_t bodyStart = action.nextOffset;
    size_t bodyEnd = std::min(bodyStart + size, ctx.code.size());
    auto saved = ctx.scope;
    if (object)
        ctx.scope = std::make_shared<Scope>(Scope{object, saved});
    Outcome outcome;
    try {
        outcome = execute(ctx, bodyStart, bodyEnd);
    } catch (...) {
        ctx.scope = saved;
        throw;
    }
    ctx.scope = saved;
    (void)begin;
    (void)end;
    if (outcome.flow == Flow::Fallthrough) {
        next = bodyEnd;
        return {};
    }
    return outcome;
}

void Interpreter::gotoFrame2(Context& ctx, std::span<const uint8_t> payload)
{
    ByteReader r(payload);
    uint8_t flags = r.u8();
    int bias = (flags & 2) ? r.u16() : 0;
    Value frame = pop(ctx);
    gotoFrameValue(ctx.target, frame, flags & 1, bias);
    if (frame.isString()) {
        // "target:frame" addresses another clip.
        const std::string& text = frame.asString();
        auto colon = text.rfind(':');
        if (colon != std::string::npos) {
            Object* other = resolveTarget(ctx, text.substr(0, colon));
            gotoFrameValue(other, Value(text.substr(colon + 1)), flags & 1, bias);
        }
    }
}

void Interpreter::gotoFrameValue(Object* target, const Value& frame, bool play, int bias)
{
    if (!isClip(target))
        return;
    ClipHost* clip = clipHost(target);
    if (frame.isString()) {
        const std::string& text = frame.asString();
        if (text.find(':') != std::string::npos)
            return;
        double n = stringToNumber(text, 7);
        if (!std::isnan(n))
            clip->gotoFrame(static_cast<int>(std::clamp(n, -1e9, 1e9)) + bias);
        else if (!clip->gotoLabel(text))
            return;
    } else {
        double n = m_.toNumber(frame);
        if (std::isnan(n))
            return;
        clip->gotoFrame(static_cast<int>(std::clamp(n, -1e9, 1e9)) + bias);
    }
    if (play)
        clip->play();
    else
        clip->stop();
}

} // namespace swf::avm1
