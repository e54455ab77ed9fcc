// Arithmetic, comparison, logic and bitwise actions, and the two that make numbers
// from outside the stack (RandomNumber, GetTime).

#include "engine/avm1/Interpreter.h"
#include "engine/avm1/StringUtil.h"

#include <cmath>

namespace swf::avm1 {

namespace {

enum class Arith { Add, Subtract, Multiply, Divide };
enum class Bits { And, Or, Xor, LShift, RShift, URShift };

} // namespace

// The SWF 4 arithmetic: both operands as numbers; Add and Multiply convert the left
// one first, Subtract and Divide the right one.
static Value arithmetic(Machine& m, const Value& av, const Value& bv, Arith op)
{
    bool rightFirst = op == Arith::Subtract || op == Arith::Divide;
    double b = rightFirst ? m.toNumber(bv) : 0;
    double a = m.toNumber(av);
    if (!rightFirst)
        b = m.toNumber(bv);
    switch (op) {
    case Arith::Add: return Value(a + b);
    case Arith::Subtract: return Value(a - b);
    case Arith::Multiply: return Value(a * b);
    case Arith::Divide:
        if (b == 0 && m.version() < 5)
            return Value(std::string("#ERROR#"));
        return Value(a / b);
    }
    return Value();
}

static double bitwise(int32_t a, int32_t b, Bits op)
{
    auto shift = static_cast<uint32_t>(b) & 31;
    switch (op) {
    case Bits::And: return a & b;
    case Bits::Or: return a | b;
    case Bits::Xor: return a ^ b;
    case Bits::LShift: return static_cast<int32_t>(static_cast<uint32_t>(a) << shift);
    case Bits::RShift: return a >> shift;
    // The unsigned result reads back as a signed 32-bit integer.
    case Bits::URShift: return static_cast<int32_t>(static_cast<uint32_t>(a) >> shift);
    }
    return 0;
}

#define LANFAN_ARITH(name)                                                   \
    Interpreter::Outcome Interpreter::action##name(Context& ctx, Step&)      \
    {                                                                        \
        Value bv = pop(ctx);                                                 \
        Value av = pop(ctx);                                                 \
        pushValue(ctx, arithmetic(m_, av, bv, Arith::name));                 \
        return {};                                                           \
    }
LANFAN_ARITH(Add)
LANFAN_ARITH(Subtract)
LANFAN_ARITH(Multiply)
LANFAN_ARITH(Divide)
#undef LANFAN_ARITH

#define LANFAN_BITS(name, op)                                                \
    Interpreter::Outcome Interpreter::action##name(Context& ctx, Step&)      \
    {                                                                        \
        int32_t b = m_.toInt32(pop(ctx));                                    \
        int32_t a = m_.toInt32(pop(ctx));                                    \
        pushValue(ctx, Value(bitwise(a, b, Bits::op)));                      \
        return {};                                                           \
    }
LANFAN_BITS(BitAnd, And)
LANFAN_BITS(BitOr, Or)
LANFAN_BITS(BitXor, Xor)
LANFAN_BITS(BitLShift, LShift)
LANFAN_BITS(BitRShift, RShift)
LANFAN_BITS(BitURShift, URShift)
#undef LANFAN_BITS

Interpreter::Outcome Interpreter::actionEquals(Context& ctx, Step&)
{
    Value bv = pop(ctx);
    Value av = pop(ctx);
    double b = m_.toNumber(bv);  // unlike arithmetic, the right operand converts first
    double a = m_.toNumber(av);
    pushValue(ctx, logical(a == b));
    return {};
}

Interpreter::Outcome Interpreter::actionLess(Context& ctx, Step&)
{
    Value bv = pop(ctx);
    Value av = pop(ctx);
    double a = m_.toNumber(av);  // left operand converts first
    double b = m_.toNumber(bv);
    pushValue(ctx, logical(a < b));
    return {};
}

Interpreter::Outcome Interpreter::actionAnd(Context& ctx, Step&)
{
    bool b = m_.toBoolean(pop(ctx));
    bool a = m_.toBoolean(pop(ctx));
    pushValue(ctx, logical(a && b));
    return {};
}

Interpreter::Outcome Interpreter::actionOr(Context& ctx, Step&)
{
    bool b = m_.toBoolean(pop(ctx));
    bool a = m_.toBoolean(pop(ctx));
    pushValue(ctx, logical(a || b));
    return {};
}

Interpreter::Outcome Interpreter::actionNot(Context& ctx, Step&)
{
    pushValue(ctx, logical(!m_.toBoolean(pop(ctx))));
    return {};
}

Interpreter::Outcome Interpreter::actionToInteger(Context& ctx, Step&)
{
    // Truncates and wraps to 32 bits (0xFFFFFFFF gives -1).
    pushValue(ctx, Value(static_cast<double>(toInt32(m_.toNumber(pop(ctx))))));
    return {};
}

Interpreter::Outcome Interpreter::actionModulo(Context& ctx, Step&)
{
    Value bv = pop(ctx);
    Value av = pop(ctx);
    double a = m_.toNumber(av);  // left operand converts first
    double b = m_.toNumber(bv);
    pushValue(ctx, Value(std::fmod(a, b)));
    return {};
}

Interpreter::Outcome Interpreter::actionAdd2(Context& ctx, Step&)
{
    Value bv = pop(ctx);
    Value av = pop(ctx);
    Value a = addOperand(av);
    Value b = addOperand(bv);
    if (a.isString() || b.isString())
        pushValue(ctx, Value(concatenated(m_.toString(a), m_.toString(b))));
    else
        pushValue(ctx, Value(m_.toNumber(a) + m_.toNumber(b)));
    return {};
}

Value Interpreter::addOperand(const Value& operand)
{
    Value p = m_.toPrimitive(operand);
    // An object without the conversion method gives undefined, which adds as the word
    // "undefined" to a string and as NaN to a number from SWF 7. SWF 6 reads it as the
    // word, where undefined alone would read as an empty string; before SWF 6 as nothing.
    if (operand.isObject() && p.isUndefined() && m_.version() == 6)
        return Value(std::string("undefined"));
    return p;
}

Interpreter::Outcome Interpreter::actionLess2(Context& ctx, Step&)
{
    Value b = pop(ctx);
    Value a = pop(ctx);
    pushValue(ctx, m_.lessThan(a, b));
    return {};
}

Interpreter::Outcome Interpreter::actionGreater(Context& ctx, Step&)
{
    Value b = pop(ctx);
    Value a = pop(ctx);
    pushValue(ctx, m_.greaterThan(a, b));
    return {};
}

Interpreter::Outcome Interpreter::actionEquals2(Context& ctx, Step&)
{
    Value b = pop(ctx);
    Value a = pop(ctx);
    pushValue(ctx, Value(m_.looseEquals(a, b)));
    return {};
}

Interpreter::Outcome Interpreter::actionStrictEquals(Context& ctx, Step&)
{
    Value b = pop(ctx);
    Value a = pop(ctx);
    pushValue(ctx, Value(m_.strictEquals(a, b)));
    return {};
}

Interpreter::Outcome Interpreter::actionToNumber(Context& ctx, Step&)
{
    pushValue(ctx, Value(m_.toNumber(pop(ctx))));
    return {};
}

Interpreter::Outcome Interpreter::actionIncrement(Context& ctx, Step&)
{
    pushValue(ctx, Value(m_.toNumber(pop(ctx)) + 1));
    return {};
}

Interpreter::Outcome Interpreter::actionDecrement(Context& ctx, Step&)
{
    pushValue(ctx, Value(m_.toNumber(pop(ctx)) - 1));
    return {};
}

Interpreter::Outcome Interpreter::actionRandomNumber(Context& ctx, Step&)
{
    double max = m_.toNumber(pop(ctx));
    int32_t n = std::isnan(max) ? 0 : toInt32(max);
    pushValue(ctx, Value(n > 0 ? static_cast<double>(m_.nextRandom() % static_cast<uint32_t>(n)) : 0.0));
    return {};
}

Interpreter::Outcome Interpreter::actionGetTime(Context& ctx, Step&)
{
    pushValue(ctx, Value(std::floor(m_.now())));
    return {};
}

} // namespace swf::avm1
