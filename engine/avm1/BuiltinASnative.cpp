// ASnative(table, index): the player's built-in functions by number, as compilers and
// hand-written movies reach them without going through their names. A movie that
// replaces or deletes Math.abs still gets the original from ASnative(200, 0).
//
// Table 100 holds global functions (escape, unescape, parseInt, parseFloat, trace);
// table 200 the Math functions in the player's order. A number the table does not
// fill gives a function all the same: in table 200 it reads its two arguments as
// numbers, as every Math function does, and answers NaN; in table 100 it does nothing.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace swf::avm1 {

namespace {

constexpr int kGlobalsTable = 100;
constexpr int kMathTable = 200;

constexpr std::array kGlobalNames = {"escape", "unescape", "parseInt", "parseFloat"};
constexpr std::array kMathNames = {"abs",  "min",   "max",    "sin",   "cos",  "atan2", "tan",  "exp",  "log",
                                   "sqrt", "round", "random", "floor", "ceil", "atan",  "asin", "acos", "pow"};

Value nativeTrace(Machine& m, Value, std::span<const Value> args)
{
    Value v = arg(args, 0);
    m.trace(v.isUndefined() ? std::string("undefined") : m.toString(v));
    return Value();
}

Value unfilledMathSlot(Machine& m, Value, std::span<const Value> args)
{
    for (size_t i = 0; i < std::min<size_t>(args.size(), 2); ++i)
        m.toNumber(args[i]);
    return Value(std::nan(""));
}

Value unfilledGlobalSlot(Machine&, Value, std::span<const Value>)
{
    return Value();
}

// The original natives, copied when the machine starts, before any script runs.
struct NativeTables {
    std::vector<NativeFunction> globals;
    std::vector<NativeFunction> math;
};

NativeFunction nativeOf(Machine& m, const Value& holder, const char* name)
{
    Object* f = m.getMember(holder, name).asObject();
    return f && f->function() && f->function()->native ? f->function()->native : NativeFunction(unfilledGlobalSlot);
}

} // namespace

void installASnativeFunction(Machine& m)
{
    auto tables = std::make_shared<NativeTables>();
    Value global(m.global());
    for (const char* name : kGlobalNames)
        tables->globals.push_back(nativeOf(m, global, name));
    tables->globals.emplace_back(nativeTrace);
    Value math = m.getMember(global, "Math");
    for (const char* name : kMathNames)
        tables->math.push_back(nativeOf(m, math, name));

    NativeFunction asNative = [tables](Machine& machine, Value, std::span<const Value> args) -> Value {
        // Exactly a table and an index; both read as 32-bit integers.
        if (args.size() != 2)
            return Value();
        const int32_t table = machine.toInt32(args[0]);
        const int32_t index = machine.toInt32(args[1]);
        const std::vector<NativeFunction>* slots = nullptr;
        NativeFunction unfilled;
        if (table == kGlobalsTable) {
            slots = &tables->globals;
            unfilled = unfilledGlobalSlot;
        } else if (table == kMathTable) {
            slots = &tables->math;
            unfilled = unfilledMathSlot;
        } else {
            return Value();
        }
        const bool filled = index >= 0 && static_cast<size_t>(index) < slots->size();
        std::string name = "ASnative(" + std::to_string(table) + "," + std::to_string(index) + ")";
        return Value(machine.newNativeFunction(std::move(name), filled ? (*slots)[static_cast<size_t>(index)] : unfilled));
    };
    Object* f = m.newNativeFunction("ASnative", std::move(asNative));
    m.global()->put("ASnative", Value(f), PropertyFlag::DontEnum);
}

} // namespace swf::avm1
