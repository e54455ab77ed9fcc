// Control flow: the end of a block, branches, return, exceptions and with().

#include "engine/avm1/ActionPayloads.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/format/Reader.h"

#include <algorithm>

namespace swf::avm1 {


Interpreter::Outcome Interpreter::actionEnd(Context& ctx, Step&)
{
    return {Flow::JumpOut, ctx.code.size()};
}

Interpreter::Outcome Interpreter::actionJump(Context&, Step& step)
{
    ByteReader r(step.action.payload);
    return {Flow::JumpOut, support::relative(step.action.nextOffset, r.s16())};
}

Interpreter::Outcome Interpreter::actionIf(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    int16_t offset = r.s16();
    if (m_.toBoolean(pop(ctx)))
        return {Flow::JumpOut, support::relative(step.action.nextOffset, offset)};
    return {};
}

Interpreter::Outcome Interpreter::actionReturn(Context& ctx, Step&)
{
    ctx.returned = pop(ctx);
    return {Flow::Return, 0};
}

Interpreter::Outcome Interpreter::actionThrow(Context& ctx, Step&)
{
    throw ScriptThrow{pop(ctx)};
}

Interpreter::Outcome Interpreter::actionStrictMode(Context&, Step&)
{
    return {};
}

Interpreter::Outcome Interpreter::actionTry(Context& ctx, Step& step)
{
    const TryHeader h = readTryHeader(step.action.payload);
    size_t tryStart = step.action.nextOffset;
    size_t catchStart = std::min(tryStart + h.trySize, ctx.code.size());
    size_t finallyStart = std::min(catchStart + h.catchSize, ctx.code.size());
    size_t after = std::min(finallyStart + h.finallySize, ctx.code.size());

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
        if (h.hasCatch) {
            if (h.catchInRegister) {
                if (h.catchRegister < ctx.registers.size())
                    ctx.registers[h.catchRegister] = thrown.value;
            } else {
                defineLocal(ctx, h.catchName, thrown.value);
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
    if (h.hasFinally) {
        // Compilers end the try and catch blocks with a jump to the finally block: that
        // is the way into it, not a jump past it, so the finally block runs once, from
        // where the jump lands, and the code goes on after it.
        size_t finallyFrom = finallyStart;
        if (outcome.flow == Flow::JumpOut && outcome.offset >= finallyStart && outcome.offset <= after) {
            finallyFrom = outcome.offset;
            outcome = {};
        }
        Outcome fin = execute(ctx, finallyFrom, after);
        if (fin.flow != Flow::Fallthrough)
            return fin;  // a return or jump in finally wins over everything
    }
    if (pending)
        throw ScriptThrow{std::move(pendingValue)};
    if (outcome.flow == Flow::Fallthrough) {
        step.next = after;
        return {};
    }
    return outcome;
}

Interpreter::Outcome Interpreter::actionWith(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    size_t size = r.u16();
    Object* object = m_.toObject(pop(ctx));
    size_t bodyStart = step.action.nextOffset;
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
    if (outcome.flow == Flow::Fallthrough) {
        step.next = bodyEnd;
        return {};
    }
    return outcome;
}

} // namespace swf::avm1
