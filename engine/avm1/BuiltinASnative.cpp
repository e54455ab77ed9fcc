// ASnative(table, index): the player's built-in functions by number, as compilers and
// hand-written movies reach them without going through their names. A movie that
// replaces or deletes Math.abs still gets the original from ASnative(200, 0).
//
// Table 2 holds the function telling whether the script function running was
// called by `new`; table 100 global functions (escape, unescape, parseInt,
// parseFloat, trace); table 200 the Math functions in the player's order; table 103 Date.prototype's
// methods (the UTC ones from 128). A number the table does not fill gives a function
// all the same: in table 200 it reads its two arguments as numbers, as every Math
// function does, and answers NaN; in tables 100 and 103 it does nothing.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace swf::avm1 {

namespace {

constexpr int kNewTable = 2;  // 0: whether the running function was called by `new`
constexpr int kGlobalsTable = 100;
constexpr int kMathTable = 200;
constexpr int kDateTable = 103;
constexpr int kDateUtcBase = 128;  // the UTC getters and setters start here in table 103

constexpr std::array kGlobalNames = {"escape", "unescape", "parseInt", "parseFloat"};
constexpr std::array kMathNames = {"abs",  "min",   "max",    "sin",   "cos",  "atan2", "tan",  "exp",  "log",
                                   "sqrt", "round", "random", "floor", "ceil", "atan",  "asin", "acos", "pow"};
// Date.prototype's methods in the player's order: getTime is number 16.
constexpr std::array kDateNames = {"getFullYear",    "getYear",         "getMonth",    "getDate",    "getDay",
                                   "getHours",       "getMinutes",      "getSeconds",  "getMilliseconds",
                                   "setFullYear",    "setMonth",        "setDate",     "setHours",   "setMinutes",
                                   "setSeconds",     "setMilliseconds", "getTime",     "setTime",
                                   "getTimezoneOffset", "toString",     "setYear"};
constexpr std::array kDateUtcNames = {"getUTCFullYear", "getUTCYear",     "getUTCMonth",   "getUTCDate",
                                      "getUTCDay",      "getUTCHours",    "getUTCMinutes", "getUTCSeconds",
                                      "getUTCMilliseconds", "setUTCFullYear", "setUTCMonth", "setUTCDate",
                                      "setUTCHours",    "setUTCMinutes",  "setUTCSeconds", "setUTCMilliseconds"};

Value nativeTrace(Machine& m, Value, std::span<const Value> args)
{
    Value v = arg(args, 0);
    m.trace(v.isUndefined() ? std::string("undefined") : m.toString(v));
    return Value();
}

Value nativeCalledAsConstructor(Machine& m, Value, std::span<const Value>)
{
    return Value(!m.constructing.empty() && m.constructing.back());
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

} // namespace

std::vector<NativeSlotName> parseNativeNames(std::string_view list)
{
    // Comma-separated names, each maybe led by the SWF version from which it exists:
    // one digit 6 to 9, or "10". A lone leading 1 names no version and is dropped.
    std::vector<NativeSlotName> names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string_view::npos)
            comma = list.size();
        std::string_view item = list.substr(start, comma - start);
        NativeSlotName slot;
        if (item.starts_with("10")) {
            slot.flags = PropertyFlag::Version10;
            item.remove_prefix(2);
        } else if (!item.empty()) {
            switch (item.front()) {
            case '6': slot.flags = PropertyFlag::Version6; break;
            case '7': slot.flags = PropertyFlag::Version7; break;
            case '8': slot.flags = PropertyFlag::Version8; break;
            case '9': slot.flags = PropertyFlag::Version9; break;
            default: break;
            }
            if (slot.flags || item.front() == '1')
                item.remove_prefix(1);
        }
        slot.name = std::string(item);
        // A trailing comma ends the list without naming one more.
        if (comma == list.size() && item.empty() && start == list.size() && start != 0)
            break;
        names.push_back(std::move(slot));
        start = comma + 1;
    }
    return names;
}

namespace {

// The original natives, copied when the machine starts, before any script runs.
struct NativeTables {
    std::vector<NativeFunction> globals;
    std::vector<NativeFunction> math;
    std::vector<NativeFunction> calledAsConstructor{NativeFunction(nativeCalledAsConstructor)};
    std::vector<NativeFunction> date;     // numbers 0 on
    std::vector<NativeFunction> dateUtc;  // numbers kDateUtcBase on
};

NativeFunction nativeOf(Machine& m, const Value& holder, const char* name)
{
    Object* f = m.getMember(holder, name).asObject();
    return f && f->function() && f->function()->native ? f->function()->native : NativeFunction(unfilledGlobalSlot);
}

// What ASSetNative and ASSetNativeAccessor share: the target object, the table, and
// each named slot of the list with the number of its first native. Slots lie `stride`
// numbers apart, and a slot with an empty name uses up its numbers all the same.
template <typename Each>
Value forEachNamedSlot(Machine& machine, std::span<const Value> args, int32_t stride, Each each)
{
    Object* target = arg(args, 0).asObject();
    if (!target || args.size() < 3)
        return Value();
    const int32_t table = machine.toInt32(args[1]);
    int32_t index = machine.toInt32(arg(args, 3));
    for (const NativeSlotName& slot : parseNativeNames(machine.toString(args[2]))) {
        const int32_t number = index;
        index += stride;
        if (!slot.name.empty())
            each(*target, table, number, slot);
    }
    return Value();
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
    Value dateClass = m.getMember(global, "Date");
    Value dateProto = dateClass.isObject() ? m.getMember(dateClass, "prototype") : Value();
    for (const char* name : kDateNames)
        tables->date.push_back(nativeOf(m, dateProto, name));
    for (const char* name : kDateUtcNames)
        tables->dateUtc.push_back(nativeOf(m, dateProto, name));

    // The function in slot `index` of `table`, or null for a table there is none of.
    auto nativeAt = [tables](Machine& machine, int32_t table, int32_t index) -> Object* {
        std::string name = "ASnative(" + std::to_string(table) + "," + std::to_string(index) + ")";
        const std::vector<NativeFunction>* slots = nullptr;
        NativeFunction unfilled;
        if (table == kNewTable) {
            slots = &tables->calledAsConstructor;
            unfilled = unfilledGlobalSlot;
        } else if (table == kGlobalsTable) {
            slots = &tables->globals;
            unfilled = unfilledGlobalSlot;
        } else if (table == kMathTable) {
            slots = &tables->math;
            unfilled = unfilledMathSlot;
        } else if (table == kDateTable) {
            unfilled = unfilledGlobalSlot;
            slots = &tables->date;
            if (index >= kDateUtcBase) {
                slots = &tables->dateUtc;
                index -= kDateUtcBase;
            }
        } else {
            return nullptr;
        }
        const bool filled = index >= 0 && static_cast<size_t>(index) < slots->size();
        return machine.newNativeFunction(std::move(name), filled ? (*slots)[static_cast<size_t>(index)] : unfilled);
    };

    NativeFunction asNative = [nativeAt](Machine& machine, Value, std::span<const Value> args) -> Value {
        // Exactly a table and an index; both read as 32-bit integers.
        if (args.size() != 2)
            return Value();
        Object* f = nativeAt(machine, machine.toInt32(args[0]), machine.toInt32(args[1]));
        return f ? Value(f) : Value();
    };

    // ASSetNative(object, table, "name1,name2,...", first): puts the natives of `table`
    // from number `first` on, one a name, on the object, as the player's own class
    // scripts build their prototypes. ASSetNativeAccessor does the same with getter
    // and setter pairs.
    NativeFunction setNative = [nativeAt](Machine& machine, Value, std::span<const Value> args) -> Value {
        return forEachNamedSlot(machine, args, 1, [&](Object& target, int32_t table, int32_t number,
                                                      const NativeSlotName& slot) {
            Object* f = nativeAt(machine, table, number);
            if (!f)
                return;
            // A name the object already has keeps its flags; only its value changes.
            if (Property* own = target.findOwnAnyVersion(slot.name))
                own->value = Value(f);
            else
                target.put(slot.name, Value(f), slot.flags);
        });
    };
    NativeFunction setNativeAccessor = [nativeAt](Machine& machine, Value, std::span<const Value> args) -> Value {
        return forEachNamedSlot(machine, args, 2, [&](Object& target, int32_t table, int32_t number,
                                                      const NativeSlotName& slot) {
            Object* getter = nativeAt(machine, table, number);
            Object* setter = nativeAt(machine, table, number + 1);
            if (!getter)
                return;
            // The accessor takes the name's place whole, flags and all.
            Property& p = target.ensure(slot.name);
            p.value = Value();
            p.getter = getter;
            p.setter = setter;
            p.flags = slot.flags;
            p.accessorId = machine.newAccessorId();
        });
    };

    Object* f = m.newNativeFunction("ASnative", std::move(asNative));
    m.global()->put("ASnative", Value(f), PropertyFlag::DontEnum);
    m.global()->put("ASSetNative", Value(m.newNativeFunction("ASSetNative", std::move(setNative))), PropertyFlag::DontEnum);
    m.global()->put("ASSetNativeAccessor", Value(m.newNativeFunction("ASSetNativeAccessor", std::move(setNativeAccessor))),
                    PropertyFlag::DontEnum);
}

} // namespace swf::avm1
