// Math: constants and functions over numbers; random() from the machine's generator.

#include "engine/avm1/Machine.h"

#include <cmath>
#include <numbers>

namespace swf::avm1 {

namespace {

// Math.max / Math.min over the arguments, each converted to a number in order.
template <class Pick>
double extreme(Machine& m, std::span<const Value> args, Pick pick, double start)
{
    double result = start;
    bool sawNaN = false;
    for (const Value& v : args) {
        double x = m.toNumber(v);
        sawNaN = sawNaN || std::isnan(x);
        result = pick(result, x);
    }
    return sawNaN || args.size() == 1 ? std::nan("") : result;
}

} // namespace

void installMathObject(Machine& m)
{
    Object* math = m.newObject();
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

    auto unary = [&m, math](const char* name, double (*f)(double)) {
        m.defineMethod(math, name, [f](Machine& mm, Value, std::span<const Value> args) -> Value {
            if (args.empty())
                return Value(std::nan(""));
            return Value(f(mm.toNumber(args[0])));
        });
    };
    unary("abs", [](double x) { return std::fabs(x); });
    unary("acos", [](double x) { return std::acos(x); });
    unary("asin", [](double x) { return std::asin(x); });
    unary("atan", [](double x) { return std::atan(x); });
    unary("ceil", [](double x) { return std::ceil(x); });
    unary("cos", [](double x) { return std::cos(x); });
    unary("exp", [](double x) { return std::exp(x); });
    unary("floor", [](double x) { return std::floor(x); });
    unary("log", [](double x) { return std::log(x); });
    unary("round", [](double x) { return std::floor(x + 0.5); });
    unary("sin", [](double x) { return std::sin(x); });
    unary("sqrt", [](double x) { return std::sqrt(x); });
    unary("tan", [](double x) { return std::tan(x); });
    m.defineMethod(math, "atan2", [](Machine& mm, Value, std::span<const Value> args) -> Value {
        if (args.size() < 2)
            return Value(std::nan(""));
        return Value(std::atan2(mm.toNumber(args[0]), mm.toNumber(args[1])));
    });
    m.defineMethod(math, "pow", [](Machine& mm, Value, std::span<const Value> args) -> Value {
        if (args.size() < 2)
            return Value(std::nan(""));
        return Value(std::pow(mm.toNumber(args[0]), mm.toNumber(args[1])));
    });
    // With a single argument both answer NaN, as the reference player does, after
    // converting it (its valueOf runs). Every argument is converted, NaN or not.
    m.defineMethod(math, "max", [](Machine& mm, Value, std::span<const Value> args) -> Value {
        return Value(extreme(mm, args, [](double a, double b) { return std::max(a, b); }, -INFINITY));
    });
    m.defineMethod(math, "min", [](Machine& mm, Value, std::span<const Value> args) -> Value {
        return Value(extreme(mm, args, [](double a, double b) { return std::min(a, b); }, INFINITY));
    });
    m.defineMethod(math, "random", [](Machine& mm, Value, std::span<const Value>) -> Value {
        return Value(mm.nextRandom() / 4294967296.0);
    });
}

} // namespace swf::avm1
