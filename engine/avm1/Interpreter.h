#pragma once

// The action loop: runs frame scripts and script functions over the Machine. One
// Context per running block or call holds its stack, registers, scope chain, `this` and
// the clip its timeline actions address.

#include "engine/avm1/ActionReader.h"
#include "engine/avm1/DecodedBlock.h"
#include "engine/avm1/Machine.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace swf::avm1 {

// What one running block or call holds. Frames come from a pool kept on the Machine,
// so a call reuses the stack and register storage of an earlier one.
struct InterpreterFrame {
    std::span<const uint8_t> code;
    std::shared_ptr<DecodedBlock> block;  // `code`, decoded
    std::shared_ptr<const ConstantStrings> constants;
    std::shared_ptr<const Scope> scope;  // innermost first
    Object* target = nullptr;            // the clip timeline actions address
    // A tellTarget named no clip: timeline actions go to the root, but the target's
    // own properties read as undefined.
    bool targetMissing = false;
    Object* baseClip = nullptr;          // the clip the block belongs to
    // The block's clip had already left the stage when it began (an unload handler, a
    // method of a removed clip): its timeline keeps its variables in the scope chain.
    bool startedOnRemovedClip = false;
    Value self;
    Object* activation = nullptr;        // where `var` writes inside a function
    // `arguments` and `super` are made on first use unless the function's code names
    // them (see Interpreter::argumentsFor and superFor); until then the frame keeps what
    // they are made from.
    Object* arguments = nullptr;
    Object* superObject = nullptr;
    Object* superConstructor = nullptr;
    Object* superHome = nullptr;  // the prototype `super` starts above
    // A frame not entered through `super` takes its home from `this.__proto__` as it
    // is each time `super` is used, so a script that re-points it meanwhile is followed.
    bool superFollowsThis = false;
    Object* callee = nullptr;
    Object* caller = nullptr;
    std::span<const Value> callArgs;
    bool argumentsPending = false;
    // Whether `this` and `super` are names the function's code can read: not when
    // its DefineFunction2 preloads them into registers or suppresses them.
    bool thisNamed = true;
    bool superNamed = true;
    std::vector<Value> registers;
    // Registers past a function's own count are those of the frame script that
    // runs it.
    std::vector<Value>* outerRegisters = nullptr;
    std::vector<Value> stack;
    Value returned;

    // Back to a fresh frame, keeping the storage of its stack and registers.
    void reset();
};

// What the interpreter keeps between runs on one Machine: decoded blocks and spare frames.
class InterpreterState {
public:
    DecodedBlockCache blocks;
    // The constant pool the last ConstantPool action declared, anywhere. A block that
    // starts (a frame script, a clip event) reads constants from it until it declares
    // its own: the reference player keeps one pool across blocks, so a later tag may
    // use an earlier tag's constants.
    std::shared_ptr<const ConstantStrings> lastPool;
    // The movie bytes that hold the byte at an address, empty when none do. A frame
    // script that jumps out of its own tag runs on from there in those bytes, as the
    // reference player runs actions straight from the file (obfuscated movies jump
    // back into earlier tags' code).
    std::function<std::span<const uint8_t>(const uint8_t*)> codeRegion;

    std::unique_ptr<InterpreterFrame> acquireFrame();
    void releaseFrame(std::unique_ptr<InterpreterFrame> frame);
    size_t spareFrames() const { return spare_.size(); }

private:
    std::vector<std::unique_ptr<InterpreterFrame>> spare_;
};

class Interpreter {
public:
    explicit Interpreter(Machine& machine) : m_(machine) {}

    ExecutionResult runBlock(std::span<const uint8_t> code, Object* clip);
    Value callFunction(Object* function, const Value& self, std::span<const Value> args, Object* home);
    // Runs a frame's script inside the running one (ActionCall); throws propagate.
    void runNested(std::span<const uint8_t> code, Object* clip);

private:
    using Context = InterpreterFrame;
    enum class Flow { Fallthrough, Return, JumpOut };
    struct Outcome {
        Flow flow = Flow::Fallthrough;
        size_t offset = 0;
    };
    // The record being carried out; `next` is where the block continues, which the
    // actions that own a body after their record (functions, try, with) move past it.
    struct Step {
        const ActionRecord& action;
        size_t next;
        const DecodedAction& decoded;
    };
    using Handler = Outcome (Interpreter::*)(Context&, Step&);

    // What a running frame holds, for the collector.
    static void visitContext(const Context& ctx, Visitor& visitor);
    // A pooled frame for running `code`, handed back when the lease ends.
    class FrameLease;
    Outcome execute(Context& ctx, size_t begin, size_t end);
    // A frame script's jump out of its own code: carried on in the movie bytes around
    // it (InterpreterState::codeRegion), until the code ends or leaves those too.
    void runOutside(Context& ctx, Outcome outcome);
    // The pool a new block starts with: the last one declared, else an empty one.
    std::shared_ptr<const ConstantStrings> startingPool();
    // Whether `action` calls something (a method of undefined or null calls nothing),
    // and whether the clip the running block belongs to has left the stage.
    static bool makesCall(const Context& ctx, const ActionRecord& action);
    static bool baseClipRemoved(const Context& ctx);
    static const Handler* dispatchTable();

    // One handler per action of Actions.def, defined in the Actions<Topic>.cpp files.
#define ACTION(name, code, version, payload) Outcome action##name(Context& ctx, Step& step);
#include "engine/avm1/Actions.def"
#undef ACTION
    Outcome actionUnknown(Context& ctx, Step& step);

    Outcome defineFunction(Context& ctx, Step& step, bool version2);
    // A function call's `arguments` array and `super` object, made when first asked
    // for; null when the frame has none.
    Object* argumentsFor(Context& ctx);
    Object* superFor(Context& ctx);
    void refreshSuperHome(Context& ctx);
    Value callSuperConstructor(Context& ctx, std::span<const Value> args);
    // The text of a name operand: a string is read in place (no copy), anything else
    // is converted into `scratch`.
    const std::string& nameText(const Value& name, std::string& scratch)
    {
        if (name.isString())
            return name.asString();
        scratch = m_.toString(name);
        return scratch;
    }
    // The interned number of a name operand whose text nameText gave: a string
    // operand remembers it, so a name from a constant pool is looked up only once.
    Atom nameAtom(const Value& name, const std::string& text)
    {
        return name.isString() ? m_.heap().atoms().find(name.asStringBody()) : m_.heap().atoms().find(text);
    }
    Value logical(bool value) const;  // the result of a comparison or logical action
    // a + b, charged to the action budget by size; too long a result aborts the run.
    std::string concatenated(const std::string& a, const std::string& b);
    // An operand of Add2 converted to a primitive.
    Value addOperand(const Value& operand);
    void stringExtract(Context& ctx, bool multibyte);
    void charToCode(Context& ctx, bool multibyte);
    void codeToChar(Context& ctx, bool multibyte);
    void enumerate(Context& ctx, Object* object);

    // Variables by name or path.
    Value getVariable(Context& ctx, const std::string& name);
    Value lookupVariable(Context& ctx, const std::string& name);
    void setVariable(Context& ctx, const std::string& name, Value value);
    void defineLocal(Context& ctx, const std::string& name, Value value);
    bool deleteVariable(Context& ctx, const std::string& name);
    bool specialName(Context& ctx, std::string_view name, Value& out);
    // A clip or object named by a target path ("/a/b", "_root.a", "../b", "a:b"), as
    // tellTarget and GetProperty walk it from the current target; null for none.
    Object* resolveTarget(Context& ctx, const std::string& path);
    // `afterSlash`: the walk goes on from a segment a slash ended.
    Object* walkTargetPath(Object* start, std::string_view path, bool afterSlash = false);
    Object* walkSlashPath(Object* start, std::string_view path);  // SWF 4's paths
    Object* targetPathStep(Object* current, std::string_view name, bool exact);
    // The object the path part of "path:variable" or "path.variable" names: a dotted
    // path through the scopes' variables, else the target path, else a path whose
    // first segment is any variable in scope.
    Object* resolveVariablePath(Context& ctx, const std::string& path, const std::string& variable);
    Object* resolveScopedPath(Context& ctx, const std::string& path);
    // `variable` of the object a path led to: _root, _parent and _levelN from there.
    Value pathMember(Object* owner, const std::string& variable);
    // The clip GetProperty and SetProperty act on: an object as given, else the clip a
    // target path names, the current target for an empty path.
    Object* propertyTarget(Context& ctx, const Value& target);
    Object* resolvePathFrom(Context& ctx, Object* start, std::string_view path);
    // A scope's object, with the timeline swapped for tellTarget's target.
    Object* scopeObject(const Context& ctx, const Scope* scope) const;
    // The clip tellTarget / SetTarget switches to.
    Object* tellTarget(Context& ctx, const std::string& path);
    Object* resolveDottedInScopes(Context& ctx, const std::string& path, const std::string& variable = {});
    // Splits "path:var" / "a.b.c" at the last colon or dot; false when there is none.
    bool splitPath(const std::string& name, std::string& path, std::string& variable) const;

    Value callValue(Context& ctx, const Value& function, const Value& self, std::span<const Value> args);
    void gotoFrameValue(Object* clip, const Value& frame, bool play, int bias);
    // WaitForFrame: whether frame `index` (0-based) of the target has loaded, and the
    // offset past the `count` actions after `next` that are skipped when it has not.
    bool frameLoaded(Context& ctx, int64_t index);
    static size_t skipActions(Context& ctx, size_t next, unsigned count);

    // Register `index` as the running code sees it; null when there is none.
    static Value* registerSlot(Context& ctx, size_t index);
    // Every action pushes or pops: these are inline, and move the value in and out.
    void pushValue(Context& ctx, Value v)
    {
        // A script that only ever pushes would grow without end; past the limit the new
        // values are dropped.
        if (ctx.stack.size() < kMaxStackDepth)
            ctx.stack.push_back(std::move(v));
    }
    Value pop(Context& ctx)
    {
        if (ctx.stack.empty())
            return Value();
        Value v = std::move(ctx.stack.back());
        ctx.stack.pop_back();
        return v;
    }
    static constexpr size_t kMaxStackDepth = 65536;
    RootedValues popArgs(Context& ctx);
    ClipHost* targetClip(Context& ctx);
    // The target clip unless a tellTarget's path named nothing.
    ClipHost* namedTargetClip(Context& ctx);
    // The clip ActionCall runs a frame of: the target, or what stands in for it once
    // it has been removed.
    Object* liveTarget(Context& ctx);

    // `resolve` run without the notices of paths that meet a string or number.
    template <typename Resolve>
    Object* quietly(Resolve resolve)
    {
        const bool wasQuiet = std::exchange(quietPaths_, true);
        try {
            Object* o = resolve();
            quietPaths_ = wasQuiet;
            return o;
        } catch (...) {
            quietPaths_ = wasQuiet;
            throw;
        }
    }

    Machine& m_;
    bool quietPaths_ = false;
};

} // namespace swf::avm1
