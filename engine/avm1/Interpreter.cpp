#include "engine/avm1/Interpreter.h"

#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/SuperObject.h"

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/format/Reader.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace swf::avm1 {

namespace {

constexpr size_t kMaxArgs = 65536;

using support::isClip;

// DefineFunction2 flags. A preloaded or suppressed `this` or `super` is no name in
// the function: reading it finds what the scope chain holds (the clip for `this`); a
// suppressed one preloads undefined.
namespace Function2 {
constexpr uint16_t PreloadThis = 0x01;
constexpr uint16_t SuppressThis = 0x02;
constexpr uint16_t SuppressSuper = 0x20;
constexpr uint16_t PreloadArguments = 0x04;
constexpr uint16_t SuppressArguments = 0x08;
constexpr uint16_t PreloadSuper = 0x10;
constexpr uint16_t PreloadRoot = 0x40;
constexpr uint16_t PreloadParent = 0x80;
constexpr uint16_t PreloadGlobal = 0x100;
}

// Whether a function's code could name `super` or `arguments`: its bytes or the
// constants it was defined under hold the word, in any case, anywhere (a conservative
// test that sees every push, pool and record decoded from inside another). Worked out
// once per function.
struct FunctionNameUse {
    bool super = true;
    bool arguments = true;
};

bool holdsWordNoCase(std::string_view text, std::string_view word)
{
    for (size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (support::equalsNoCase(text.substr(i, word.size()), word))
            return true;
    }
    return false;
}

const FunctionNameUse& nameUse(FunctionData& f)
{
    static const FunctionNameUse known[2][2] = {{{false, false}, {false, true}}, {{true, false}, {true, true}}};
    if (f.nameUse < 0) {
        std::string_view code(reinterpret_cast<const char*>(f.code.data()), f.code.size());
        bool super = holdsWordNoCase(code, "super");
        bool arguments = holdsWordNoCase(code, "arguments");
        if (f.constants) {
            for (const Value& c : *f.constants) {
                if (c.isString()) {
                    super = super || holdsWordNoCase(c.asString(), "super");
                    arguments = arguments || holdsWordNoCase(c.asString(), "arguments");
                }
            }
        }
        f.nameUse = static_cast<int8_t>((super ? 2 : 0) | (arguments ? 1 : 0));
    }
    return known[f.nameUse >> 1][f.nameUse & 1];
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
    visitor.visit(ctx.superHome);
    visitor.visit(ctx.callee);
    visitor.visit(ctx.caller);
    for (const Value& v : ctx.callArgs)
        visitor.visit(v);
    for (const Value& v : ctx.registers)
        visitor.visit(v);
    for (const Value& v : ctx.stack)
        visitor.visit(v);
    visitor.visit(ctx.returned);
}

namespace {

// Makes a frame script's registers the ones functions reach past their own count,
// for as long as it runs.
class FrameRegistersScope {
public:
    FrameRegistersScope(Machine& m, std::vector<Value>& registers) : m_(m), saved_(m.frameRegisters)
    {
        m_.frameRegisters = &registers;
    }
    ~FrameRegistersScope() { m_.frameRegisters = saved_; }
    FrameRegistersScope(const FrameRegistersScope&) = delete;
    FrameRegistersScope& operator=(const FrameRegistersScope&) = delete;

private:
    Machine& m_;
    std::vector<Value>* saved_;
};

// Lends the machine's one operand stack to a frame for as long as it runs: the frame
// starts on what the script that called it (or the frame's earlier blocks) left, and
// hands back what it leaves itself.
class SharedStackLease {
public:
    SharedStackLease(Machine& m, std::vector<Value>& stack) : m_(m), stack_(stack), outer_(m.operandStack()), saved_(m.activeStack())
    {
        stack_.swap(*outer_);
        m_.setActiveStack(&stack_);
    }
    ~SharedStackLease()
    {
        m_.setActiveStack(saved_);
        stack_.swap(*outer_);
    }
    SharedStackLease(const SharedStackLease&) = delete;
    SharedStackLease& operator=(const SharedStackLease&) = delete;

private:
    Machine& m_;
    std::vector<Value>& stack_;
    std::vector<Value>* outer_;
    std::vector<Value>* saved_;
};

} // namespace

void InterpreterFrame::reset()
{
    // A frame that once held a huge stack gives the memory back rather than keep it.
    constexpr size_t kKeptCapacity = 4096;
    code = {};
    block.reset();
    constants.reset();
    scope.reset();
    target = baseClip = nullptr;
    targetMissing = false;
    startedOnRemovedClip = false;
    self = Value();
    activation = arguments = superObject = superConstructor = superHome = callee = caller = nullptr;
    callArgs = {};
    argumentsPending = false;
    thisNamed = superNamed = true;
    registers.clear();
    outerRegisters = nullptr;
    stack.clear();
    if (stack.capacity() > kKeptCapacity)
        std::vector<Value>().swap(stack);
    if (registers.capacity() > kKeptCapacity)
        std::vector<Value>().swap(registers);
    returned = Value();
}

std::unique_ptr<InterpreterFrame> InterpreterState::acquireFrame()
{
    if (spare_.empty())
        return std::make_unique<InterpreterFrame>();
    std::unique_ptr<InterpreterFrame> frame = std::move(spare_.back());
    spare_.pop_back();
    return frame;
}

void InterpreterState::releaseFrame(std::unique_ptr<InterpreterFrame> frame)
{
    // As many spare frames as the deepest recursion seen, up to a bound.
    constexpr size_t kMaxSpare = 64;
    frame->reset();
    if (spare_.size() < kMaxSpare) {
        try {
            spare_.push_back(std::move(frame));
        } catch (const std::bad_alloc&) {
            // The frame is simply freed.
        }
    }
}

class Interpreter::FrameLease {
public:
    explicit FrameLease(Machine& machine)
        : state_(machine.interpreterState()), frame_(state_.acquireFrame())
    {
    }
    ~FrameLease() { state_.releaseFrame(std::move(frame_)); }
    FrameLease(const FrameLease&) = delete;
    FrameLease& operator=(const FrameLease&) = delete;
    InterpreterFrame& frame() { return *frame_; }

private:
    InterpreterState& state_;
    std::unique_ptr<InterpreterFrame> frame_;
};

std::shared_ptr<const ConstantStrings> Interpreter::startingPool()
{
    const auto& last = m_.interpreterState().lastPool;
    return last ? last : std::make_shared<ConstantStrings>();
}

ExecutionResult Interpreter::runBlock(std::span<const uint8_t> code, Object* clip)
{
    FrameLease lease(m_);
    Context& ctx = lease.frame();
    ScopedRoot frameRoot(m_, [&ctx](Visitor& visitor) { visitContext(ctx, visitor); });
    ctx.code = code;
    ctx.block = m_.interpreterState().blocks.get(code);
    ctx.constants = startingPool();
    auto globalScope = std::make_shared<Scope>(Scope{m_.global(), nullptr});
    ctx.scope = clip ? std::make_shared<Scope>(Scope{clip, globalScope}) : globalScope;
    ctx.target = clip;
    ctx.baseClip = clip;
    ctx.startedOnRemovedClip = baseClipRemoved(ctx);
    ctx.self = Value(clip);
    ctx.registers.resize(4);
    FrameRegistersScope registersScope(m_, ctx.registers);
    SharedStackLease sharedStack(m_, ctx.stack);
    Object* previousClip = m_.currentClip();
    m_.setCurrentClip(clip);
    ExecutionResult result = ExecutionResult::Finished;
    try {
        runOutside(ctx, execute(ctx, 0, code.size()));
    } catch (const ScriptThrow& thrown) {
        // An uncaught throw ends the block.
        m_.reportUncaught(thrown.value);
    } catch (const ScriptAbort&) {
        result = ExecutionResult::BudgetExhausted;
    } catch (const FormatError&) {
        // A malformed payload ends the block, as the reference player does.
    }
    m_.setCurrentClip(previousClip);
    return result;
}

void Interpreter::runOutside(Context& ctx, Outcome outcome)
{
    const auto& region = m_.interpreterState().codeRegion;
    // Each leap may land in other code that leaps again; the action budget bounds the
    // whole, this bounds the blocks decoded for it.
    constexpr int kMaxLeaps = 4096;
    for (int leap = 0; leap < kMaxLeaps && region; ++leap) {
        if (outcome.flow != Flow::JumpOut || outcome.offset <= ctx.code.size())
            return;
        std::span<const uint8_t> bytes = region(ctx.code.data());
        if (bytes.empty())
            return;
        // Unsigned arithmetic: an offset before the code has wrapped round (see
        // support::relative), and wraps back here.
        const uintptr_t start = reinterpret_cast<uintptr_t>(bytes.data());
        const uintptr_t target = reinterpret_cast<uintptr_t>(ctx.code.data()) + outcome.offset;
        if (target < start || target >= start + bytes.size())
            return;
        ctx.code = bytes.subspan(target - start);
        ctx.block = m_.interpreterState().blocks.get(ctx.code);
        outcome = execute(ctx, 0, ctx.code.size());
    }
}

void Interpreter::runNested(std::span<const uint8_t> code, Object* clip)
{
    FrameLease lease(m_);
    Context& ctx = lease.frame();
    ScopedRoot frameRoot(m_, [&ctx](Visitor& visitor) { visitContext(ctx, visitor); });
    ctx.code = code;
    ctx.block = m_.interpreterState().blocks.get(code);
    ctx.constants = startingPool();
    auto globalScope = std::make_shared<Scope>(Scope{m_.global(), nullptr});
    ctx.scope = std::make_shared<Scope>(Scope{clip, globalScope});
    ctx.target = clip;
    ctx.baseClip = clip;
    ctx.startedOnRemovedClip = baseClipRemoved(ctx);
    ctx.self = Value(clip);
    ctx.registers.resize(4);
    FrameRegistersScope registersScope(m_, ctx.registers);
    SharedStackLease sharedStack(m_, ctx.stack);
    execute(ctx, 0, code.size());
}

Value Interpreter::callFunction(Object* function, const Value& self, std::span<const Value> args, Object* home)
{
    FunctionData& f = *function->function();
    FrameLease lease(m_);
    Context& ctx = lease.frame();
    ScopedRoot frameRoot(m_, [&ctx](Visitor& visitor) { visitContext(ctx, visitor); });
    ctx.code = f.code;
    if (!f.decoded)
        f.decoded = m_.interpreterState().blocks.get(f.code);
    ctx.block = f.decoded;
    ctx.constants = f.constants ? f.constants : std::make_shared<ConstantStrings>();
    ctx.self = self;
    ctx.baseClip = f.definingClip;
    // A function whose clip has left the stage runs on the clip that has taken its
    // place at its path; when none has, on its `this` when that is a clip, otherwise
    // on the root.
    if (auto* defining = f.definingClip ? f.definingClip->as<MovieClipObject>() : nullptr;
        defining && !defining->host()) {
        ctx.startedOnRemovedClip = true;
        Object* now = defining->referent(m_);
        Object* thisClip = self.asObject();
        ctx.baseClip = clipHost(now) ? now : isClip(thisClip) ? thisClip : m_.level(0);
    }
    // From SWF 6 a function's target is the clip it was defined on; before, the clip
    // whose script calls it.
    ctx.target = m_.version() >= 6 && isClip(ctx.baseClip) ? ctx.baseClip : m_.currentClip();
    Object* activation = m_.heap().make(nullptr);
    ctx.activation = activation;
    if (m_.version() >= 6) {
        ctx.scope = std::make_shared<Scope>(Scope{activation, f.scope});
    } else {
        // Before SWF 6 a function keeps no scope of its own: it runs in the clip it
        // is called on (or else the clip whose script calls it), then the globals.
        Object* thisClip = self.asObject() && isClip(self.asObject()) ? self.asObject() : nullptr;
        Object* clip = thisClip ? thisClip : m_.currentClip();
        if (isClip(clip)) {
            ctx.target = clip;
            ctx.baseClip = clip;
            auto globalScope = std::make_shared<Scope>(Scope{m_.global(), nullptr});
            ctx.scope = std::make_shared<Scope>(Scope{activation, std::make_shared<Scope>(Scope{clip, globalScope})});
        } else {
            ctx.scope = std::make_shared<Scope>(Scope{activation, f.scope});
        }
    }

    if (baseClipRemoved(ctx))
        ctx.startedOnRemovedClip = true;

    // `arguments`, and `super` from the prototype above `this` (or, for a call made
    // through `super`, one prototype above the caller's home). Both cost
    // objects on every call, so they are made here only when the function's code could
    // name them; otherwise the first read of the name makes them.
    const FunctionNameUse& uses = nameUse(f);
    ctx.callee = function;
    ctx.caller = m_.runningFunctions.empty() ? nullptr : m_.runningFunctions.back();
    ctx.callArgs = args;
    ctx.argumentsPending = true;
    Object* thisObject = self.asObject();
    ctx.superFollowsThis = !home && thisObject;
    if (!home && thisObject)
        home = thisObject->proto();
    ctx.superHome = home;
    const bool preloadsArguments = f.isFunction2 && (f.flags & Function2::PreloadArguments);
    Object* arguments = uses.arguments || preloadsArguments ? argumentsFor(ctx) : nullptr;
    if (uses.super)
        superFor(ctx);

    if (f.isFunction2) {
        ctx.registers.resize(std::max<size_t>(f.registerCount, 1));
        ctx.outerRegisters = m_.frameRegisters;
        size_t r = 1;
        auto preload = [&](Value v) {
            if (r < ctx.registers.size())
                ctx.registers[r] = std::move(v);
            ++r;
        };
        if (f.flags & Function2::PreloadThis)
            preload(f.flags & Function2::SuppressThis ? Value() : self);
        if (f.flags & Function2::PreloadArguments)
            preload(Value(arguments));
        if (f.flags & Function2::PreloadSuper)
            preload(f.flags & Function2::SuppressSuper ? Value() : Value(superFor(ctx)));
        ctx.thisNamed = !(f.flags & (Function2::PreloadThis | Function2::SuppressThis));
        ctx.superNamed = !(f.flags & (Function2::PreloadSuper | Function2::SuppressSuper));
        if (f.flags & Function2::PreloadRoot)
            preload(isClip(ctx.target) ? Value(clipHost(ctx.target)->rootObject()) : Value());
        if (f.flags & Function2::PreloadParent) {
            // A clip without a parent (a level's root) takes no register: the values
            // after it move up one.
            Object* parent = isClip(ctx.target) ? clipHost(ctx.target)->parentObject() : nullptr;
            if (parent)
                preload(Value(parent));
        }
        if (f.flags & Function2::PreloadGlobal)
            preload(Value(m_.global()));
        if (arguments && !(f.flags & Function2::SuppressArguments) && !(f.flags & Function2::PreloadArguments))
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
        if (arguments)
            activation->put("arguments", Value(arguments));
        for (size_t i = 0; i < f.params.size(); ++i)
            activation->put(f.params[i], i < args.size() ? args[i] : Value());
    }

    struct Running {
        std::vector<Object*>& stack;
        Running(std::vector<Object*>& s, Object* f) : stack(s) { stack.push_back(f); }
        ~Running() { stack.pop_back(); }
    } running(m_.runningFunctions, function);
    SharedStackLease sharedStack(m_, ctx.stack);
    Outcome outcome = execute(ctx, 0, ctx.code.size());
    if (outcome.flow == Flow::Return)
        return ctx.returned;
    return Value();
}

Object* Interpreter::argumentsFor(Context& ctx)
{
    if (ctx.argumentsPending) {
        ctx.argumentsPending = false;
        ctx.arguments = m_.newArray(ctx.callArgs);
        ctx.arguments->put("callee", Value(ctx.callee), PropertyFlag::DontEnum);
        ctx.arguments->put("caller", ctx.caller ? Value(ctx.caller) : Value(Null{}), PropertyFlag::DontEnum);
    }
    return ctx.arguments;
}

void Interpreter::refreshSuperHome(Context& ctx)
{
    Object* thisObject = ctx.self.asObject();
    if (!ctx.superFollowsThis || !thisObject)
        return;
    Object* home = thisObject->proto();
    if (home == ctx.superHome)
        return;
    ctx.superHome = home;
    if (ctx.superObject) {
        Object* above = home && !isClip(home->referent(m_)) ? home->proto() : nullptr;
        ctx.superObject->setProto(above);
    }
}

Object* Interpreter::superFor(Context& ctx)
{
    refreshSuperHome(ctx);
    if (!ctx.superObject && ctx.superHome) {
        // A clip as the home gives a `super` with nothing above it.
        Object* home = ctx.superHome;
        Object* above = isClip(home->referent(m_)) ? nullptr : home->proto();
        ctx.superObject = m_.make<SuperObject>(above);
        ctx.superObject->setProto(above);
    }
    return ctx.superObject;
}

const Interpreter::Handler* Interpreter::dispatchTable()
{
    // Every code gets a handler: the table's own, or one that skips the record, as the
    // reference player skips actions it does not know by their length.
    static const std::array<Handler, 256> table = [] {
        std::array<Handler, 256> t;
        t.fill(&Interpreter::actionUnknown);
#define ACTION(name, code, version, payload) t[code] = &Interpreter::action##name;
#include "engine/avm1/Actions.def"
#undef ACTION
        return t;
    }();
    return table.data();
}

Interpreter::Outcome Interpreter::actionUnknown(Context&, Step&)
{
    return {};
}

bool Interpreter::makesCall(const Context& ctx, const ActionRecord& action)
{
    if (action.is(ActionCode::CallFunction) || action.is(ActionCode::NewObject) || action.is(ActionCode::Call))
        return true;
    if (!action.is(ActionCode::CallMethod) && !action.is(ActionCode::NewMethod))
        return false;
    // A method of undefined or null is no call at all.
    return ctx.stack.size() >= 2 && !ctx.stack[ctx.stack.size() - 2].isNullish();
}

bool Interpreter::baseClipRemoved(const Context& ctx)
{
    const auto* clip = ctx.baseClip ? ctx.baseClip->as<MovieClipObject>() : nullptr;
    return clip && !clip->host();
}

Interpreter::Outcome Interpreter::execute(Context& ctx, size_t begin, size_t end)
{
    const Handler* handlers = dispatchTable();
    // Only a script that started while its clip was on the stage is stopped when the
    // clip leaves (unload handlers run on clips already gone).
    const bool startedLive = !baseClipRemoved(ctx);
    // The frame's block reference keeps it alive for the whole run, even if a call
    // inside drops it from the cache.
    DecodedBlock& block = *ctx.block;
    size_t pos = begin;
    uint32_t index = pos < end ? block.at(pos) : DecodedBlock::kOutside;
    while (pos < end) {
        if (index == DecodedBlock::kOutside)
            return {Flow::JumpOut, pos};
        const DecodedAction& decoded = block.action(index);
        if (decoded.endOfStream)
            return {Flow::JumpOut, ctx.code.size()};
        const ActionRecord& action = decoded.record;
        if (!action.is(ActionCode::End))
            m_.spendAction();
        Step step{action, action.nextOffset, decoded};
        const bool calls = startedLive && makesCall(ctx, action);
        Outcome o;
        try {
            o = (this->*handlers[action.code])(ctx, step);
        } catch (const FormatError&) {
            // A malformed payload ends this block (or function body) here.
            return {Flow::JumpOut, ctx.code.size()};
        }
        // A script whose clip has left the stage goes no further once it calls
        // something, as in the reference player; the script that called it carries on.
        if (calls && baseClipRemoved(ctx))
            return {Flow::Return, pos};
        if (o.flow == Flow::Return)
            return o;
        if (o.flow == Flow::JumpOut) {
            if (o.offset >= begin && o.offset < end) {
                pos = o.offset;
                if (o.offset != decoded.branchOffset)
                    index = block.at(pos);
                else
                    index = decoded.branch != DecodedAction::kUnlinked ? decoded.branch : block.branchTarget(index);
                continue;
            }
            if (o.offset == end)
                return {Flow::Fallthrough, end};
            return o;
        }
        pos = step.next;
        // The common case, the record after this one already linked, costs one load.
        if (pos < end) {
            if (pos != action.nextOffset)
                index = block.at(pos);
            else
                index = decoded.next != DecodedAction::kUnlinked ? decoded.next : block.following(index);
        }
    }
    return {Flow::Fallthrough, pos};
}

Value* Interpreter::registerSlot(Context& ctx, size_t index)
{
    if (index < ctx.registers.size())
        return &ctx.registers[index];
    if (ctx.outerRegisters && index < ctx.outerRegisters->size())
        return &(*ctx.outerRegisters)[index];
    return nullptr;
}

RootedValues Interpreter::popArgs(Context& ctx)
{
    double n = m_.toNumber(pop(ctx));
    size_t count = (std::isnan(n) || n < 0) ? 0 : static_cast<size_t>(std::min(n, static_cast<double>(kMaxArgs)));
    count = std::min(count, ctx.stack.size());
    RootedValues args(m_);
    args.reserve(count);
    for (size_t i = 0; i < count; ++i)
        args.push_back(pop(ctx));
    return args;
}

Value Interpreter::logical(bool value) const
{
    // SWF 4 has booleans too; they only print as 1 and 0 there.
    return Value(value);
}

Value Interpreter::callValue(Context&, const Value& function, const Value& self, std::span<const Value> args)
{
    Object* f = function.asObject();
    if (!f || !f->function()) {
        m_.pendingHome = nullptr;
        return Value();
    }
    return m_.call(function, self, args);
}

} // namespace swf::avm1
