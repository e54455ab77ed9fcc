// Math: constants and functions over numbers; random() from the machine's generator.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace swf::avm1 {

namespace {

// Every Math function reads its first two arguments as numbers, in order, whether it
// uses the second or not, and ignores the rest.
std::span<const Value> firstTwo(std::span<const Value> args)
{
    return args.first(std::min<size_t>(args.size(), 2));
}

// Math.max / Math.min over the (first two) arguments, converted in order.
template <class Pick>
double extreme(Machine& m, std::span<const Value> args, Pick pick, double start)
{
    args = firstTwo(args);
    double result = start;
    bool sawNaN = false;
    for (const Value& v : args) {
        double x = m.toNumber(v);
        sawNaN = sawNaN || std::isnan(x);
        result = pick(result, x);
    }
    return sawNaN || args.size() == 1 ? std::nan("") : result;
}

// The one-argument functions: NaN without an argument.
#define LANFAN_MATH_UNARY(name, expression)                                \
    Value math##name(Machine& m, Value, std::span<const Value> args)       \
    {                                                                      \
        if (args.empty())                                                  \
            return Value(std::nan(""));                                    \
        double x = m.toNumber(args[0]);                                    \
        if (args.size() > 1)                                               \
            m.toNumber(args[1]);                                           \
        return Value(expression);                                          \
    }
LANFAN_MATH_UNARY(Abs, std::fabs(x))
LANFAN_MATH_UNARY(Acos, std::acos(x))
LANFAN_MATH_UNARY(Asin, std::asin(x))
LANFAN_MATH_UNARY(Atan, std::atan(x))
LANFAN_MATH_UNARY(Ceil, std::ceil(x))
LANFAN_MATH_UNARY(Cos, std::cos(x))
LANFAN_MATH_UNARY(Exp, std::exp(x))
LANFAN_MATH_UNARY(Floor, std::floor(x))
LANFAN_MATH_UNARY(Log, std::log(x))
LANFAN_MATH_UNARY(Round, std::floor(x + 0.5))
LANFAN_MATH_UNARY(Sin, std::sin(x))
LANFAN_MATH_UNARY(Sqrt, std::sqrt(x))
LANFAN_MATH_UNARY(Tan, std::tan(x))
#undef LANFAN_MATH_UNARY

// The two-argument functions; a missing argument reads as NaN.
double numberArg(Machine& m, std::span<const Value> args, size_t i)
{
    return i < args.size() ? m.toNumber(args[i]) : std::nan("");
}

Value mathAtan2(Machine& m, Value, std::span<const Value> args)
{
    if (args.size() < 2)
        return Value(std::nan(""));
    double y = m.toNumber(args[0]);
    double x = m.toNumber(args[1]);
    return Value(std::atan2(y, x));
}

Value mathPow(Machine& m, Value, std::span<const Value> args)
{
    if (args.empty())
        return Value(std::nan(""));
    double base = numberArg(m, args, 0);
    double exponent = numberArg(m, args, 1);
    return Value(std::pow(base, exponent));
}

// With a single argument both answer NaN, as the reference player does, after
// converting it (its valueOf runs). Every argument is converted, NaN or not.
Value mathMax(Machine& m, Value, std::span<const Value> args)
{
    return Value(extreme(m, args, [](double a, double b) { return std::max(a, b); }, -INFINITY));
}

Value mathMin(Machine& m, Value, std::span<const Value> args)
{
    return Value(extreme(m, args, [](double a, double b) { return std::min(a, b); }, INFINITY));
}

Value mathRandom(Machine& m, Value, std::span<const Value> args)
{
    for (const Value& v : firstTwo(args))
        m.toNumber(v);
    return Value(m.nextRandom() / 4294967296.0);
}

const NativeMethod kMathMethods[] = {
    {"abs", mathAbs},
    {"acos", mathAcos},
    {"asin", mathAsin},
    {"atan", mathAtan},
    {"ceil", mathCeil},
    {"cos", mathCos},
    {"exp", mathExp},
    {"floor", mathFloor},
    {"log", mathLog},
    {"round", mathRound},
    {"sin", mathSin},
    {"sqrt", mathSqrt},
    {"tan", mathTan},
    {"atan2", mathAtan2},
    {"pow", mathPow},
    {"max", mathMax},
    {"min", mathMin},
    {"random", mathRandom},
};

} // namespace

void installMathObject(Machine& m)
{
    Object* math = m.newObject();
    lockPrototype(math);
    m.global()->put("Math", Value(math), PropertyFlag::DontEnum);
    const uint8_t constant = PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly;
    math->put("E", Value(std::numbers::e), constant);
    math->put("LN10", Value(std::numbers::ln10), constant);
    math->put("LN2", Value(std::numbers::ln2), constant);
    math->put("LOG10E", Value(std::numbers::log10e), constant);
    math->put("LOG2E", Value(std::numbers::log2e), constant);
    math->put("PI", Value(std::numbers::pi), constant);
    math->put("SQRT1_2", Value(1 / std::numbers::sqrt2), constant);
    math->put("SQRT2", Value(std::numbers::sqrt2), constant);

    defineMethods(m, math, kMathMethods);
}

} // namespace swf::avm1
