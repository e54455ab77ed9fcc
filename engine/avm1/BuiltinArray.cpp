// Array: elements are ordinary properties named by index, `length` kept in step.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/ArrayObject.h"
#include "engine/avm1/StringUtil.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

namespace SortFlag {
constexpr int CaseInsensitive = 1;
constexpr int Descending = 2;
constexpr int UniqueSort = 4;
constexpr int ReturnIndexedArray = 8;
constexpr int Numeric = 16;
}

Object* self(Machine& m, const Value& v)
{
    Object* o = v.asObject();
    return o ? o : m.toObject(v);
}

// Relative index arguments as slice and splice read them.
uint32_t clampIndex(double v, uint32_t length)
{
    if (std::isnan(v))
        return 0;
    v = std::trunc(v);
    if (v < 0)
        v = std::max(0.0, v + length);
    return static_cast<uint32_t>(std::min(v, static_cast<double>(length)));
}

std::string joinItems(Machine& m, Object* array, const std::string& separator)
{
    // A sparse array claiming four billion items, or a long separator, must not let one
    // call take seconds or gigabytes: every 4 items cost an action of the frame's
    // budget, and the text stops growing at 16 MiB.
    constexpr size_t kMaxJoinedBytes = size_t{16} << 20;
    std::string out;
    uint32_t n = std::min<uint32_t>(m.arrayLength(array), 1u << 22);
    for (uint32_t i = 0; i < n && out.size() < kMaxJoinedBytes; ++i) {
        if (i % 4 == 3)
            m.spendAction();
        if (i)
            out += separator;
        Value v = m.arrayGet(array, i);
        if (!v.isUndefined() || m.version() < 7)
            out += v.isUndefined() ? std::string() : m.toString(v);
        else
            out += "undefined";
    }
    return out;
}

int compareValues(Machine& m, const Value& a, const Value& b, int flags)
{
    if (flags & SortFlag::Numeric) {
        double x = m.toNumber(a);
        double y = m.toNumber(b);
        if (x < y)
            return -1;
        if (x > y)
            return 1;
        return 0;
    }
    std::string x = m.toString(a);
    std::string y = m.toString(b);
    if (flags & SortFlag::CaseInsensitive) {
        x = toLowerText(x);
        y = toLowerText(y);
    }
    return x < y ? -1 : x > y ? 1 : 0;
}

int parseFlags(Machine& m, const Value& v)
{
    return v.isNumber() ? m.toInt32(v) : 0;
}

// Sorts `items` (with their original indices) by `less`; the result as sort() returns it.
Value finishSort(Machine& m, Object* array, std::vector<std::pair<Value, uint32_t>>& items, int flags,
                 const std::function<int(const Value&, const Value&)>& compare)
{
    std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
        // Undefined sorts last whatever the order, as the player does.
        if (a.first.isUndefined() != b.first.isUndefined())
            return b.first.isUndefined();
        int c = compare(a.first, b.first);
        return (flags & SortFlag::Descending) ? c > 0 : c < 0;
    });
    if (flags & SortFlag::UniqueSort) {
        for (size_t i = 1; i < items.size(); ++i) {
            if (compare(items[i - 1].first, items[i].first) == 0)
                return Value(0.0);
        }
    }
    if (flags & SortFlag::ReturnIndexedArray) {
        std::vector<Value> indices;
        for (const auto& item : items)
            indices.push_back(Value(static_cast<double>(item.second)));
        return Value(m.newArray(indices));
    }
    std::vector<Value> sorted;
    for (const auto& item : items)
        sorted.push_back(item.first);
    m.arrayAssign(array, sorted);
    return Value(array);
}

Value arrayToString(Machine& m, Value s, std::span<const Value>)
{
    Object* a = self(m, s);
    return a ? Value(joinItems(m, a, ",")) : Value();
}

Value arrayJoin(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    std::string sep = args.empty() || args[0].isUndefined() ? std::string(",") : m.toString(args[0]);
    return a ? Value(joinItems(m, a, sep)) : Value();
}

Value arrayPush(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    if (!a)
        return Value();
    uint32_t n = m.arrayLength(a);
    for (const Value& v : args)
        m.arraySet(a, n++, v);
    m.setArrayLength(a, n);
    return Value(static_cast<double>(n));
}

Value arrayPop(Machine& m, Value s, std::span<const Value>)
{
    Object* a = self(m, s);
    uint32_t n = a ? m.arrayLength(a) : 0;
    if (n == 0)
        return Value();
    Value last = m.arrayGet(a, n - 1);
    m.setArrayLength(a, n - 1);
    return last;
}

// Moving elements deletes and re-creates them one by one, as the player does: where
// they land in for..in order follows from it, a DontDelete element stays where it
// was and a ReadOnly one keeps its value.
void deleteIndex(Machine& m, Object* a, uint32_t i)
{
    m.deleteMember(a, std::to_string(i));
}

void setIndex(Machine& m, Object* a, uint32_t i, const Value& v)
{
    m.setMember(Value(a), std::to_string(i), v);
}

Value arrayShift(Machine& m, Value s, std::span<const Value>)
{
    Object* a = self(m, s);
    if (!a || m.arrayLength(a) == 0)
        return Value();
    RootedValues items(m, m.arrayItems(a));
    auto n = static_cast<uint32_t>(items.size());
    for (uint32_t i = 0; i < n; ++i)
        deleteIndex(m, a, i);
    for (uint32_t i = 0; i + 1 < n; ++i)
        setIndex(m, a, i, items[i + 1]);
    m.setArrayLength(a, n - 1);
    return items.front();
}

Value arrayUnshift(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    if (!a)
        return Value();
    RootedValues items(m, m.arrayItems(a));
    auto n = static_cast<uint32_t>(items.size());
    auto k = static_cast<uint32_t>(args.size());
    for (uint32_t i = 0; i < n; ++i)
        deleteIndex(m, a, i);
    // The old elements move up from the last one down, then the new ones go in front.
    for (uint32_t i = n; i-- > 0;)
        setIndex(m, a, i + k, items[i]);
    for (uint32_t i = 0; i < k; ++i)
        setIndex(m, a, i, args[i]);
    m.setArrayLength(a, n + k);
    return Value(static_cast<double>(n + k));
}

Value arrayReverse(Machine& m, Value s, std::span<const Value>)
{
    Object* a = self(m, s);
    if (!a)
        return Value();
    RootedValues items(m, m.arrayItems(a));
    auto n = static_cast<uint32_t>(items.size());
    // Pair by pair from the outside in; the middle element of an odd count stays.
    for (uint32_t i = 0; i < n / 2; ++i) {
        uint32_t j = n - 1 - i;
        deleteIndex(m, a, i);
        deleteIndex(m, a, j);
        setIndex(m, a, i, items[j]);
        setIndex(m, a, j, items[i]);
    }
    return Value(a);
}

Value arraySlice(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    if (!a)
        return Value();
    uint32_t n = m.arrayLength(a);
    uint32_t start = args.empty() ? 0 : clampIndex(m.toNumber(args[0]), n);
    uint32_t end = args.size() < 2 || args[1].isUndefined() ? n : clampIndex(m.toNumber(args[1]), n);
    std::vector<Value> out;
    for (uint32_t i = start; i < end; ++i)
        out.push_back(m.arrayGet(a, i));
    return Value(m.newArray(out));
}

Value arraySplice(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    if (!a || args.empty() || args[0].isUndefined())
        return Value();
    std::vector<Value> items = m.arrayItems(a);
    auto n = static_cast<uint32_t>(items.size());
    uint32_t start = clampIndex(m.toNumber(args[0]), n);
    uint32_t count = n - start;
    if (args.size() > 1) {
        double c = m.toNumber(args[1]);
        // A count that is undefined or below zero removes nothing and answers nothing.
        if (args[1].isUndefined() || c < 0)
            return Value();
        count = std::isnan(c) || c < 0 ? 0 : static_cast<uint32_t>(std::min(c, static_cast<double>(n - start)));
    }
    RootedValues removed(m, std::vector<Value>(items.begin() + start, items.begin() + start + count));
    items.erase(items.begin() + start, items.begin() + start + count);
    if (args.size() > 2)
        items.insert(items.begin() + start, args.begin() + 2, args.end());
    m.arrayAssign(a, items);
    return Value(m.newArray(removed));
}

Value arrayConcat(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    std::vector<Value> items = a ? m.arrayItems(a) : std::vector<Value>{};
    for (const Value& v : args) {
        Object* o = v.asObject();
        if (o && o->as<ArrayObject>()) {
            auto more = m.arrayItems(o);
            items.insert(items.end(), more.begin(), more.end());
        } else {
            items.push_back(v);
        }
    }
    return Value(m.newArray(items));
}

Value arraySort(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    if (!a)
        return Value();
    Object* compareFn = arg(args, 0).asObject();
    int flags = parseFlags(m, compareFn ? arg(args, 1) : arg(args, 0));
    std::vector<std::pair<Value, uint32_t>> items;
    uint32_t i = 0;
    for (Value& v : m.arrayItems(a))
        items.emplace_back(std::move(v), i++);
    std::function<int(const Value&, const Value&)> compare;
    if (compareFn && compareFn->function()) {
        compare = [&m, compareFn](const Value& x, const Value& y) {
            Value pair[] = {x, y};
            double r = m.toNumber(m.call(Value(compareFn), Value(), pair));
            return r < 0 ? -1 : r > 0 ? 1 : 0;
        };
    } else {
        compare = [&m, flags](const Value& x, const Value& y) { return compareValues(m, x, y, flags); };
    }
    return finishSort(m, a, items, flags, compare);
}

Value arraySortOn(Machine& m, Value s, std::span<const Value> args)
{
    Object* a = self(m, s);
    if (!a)
        return Value();
    std::vector<std::string> fields;
    std::vector<int> fieldFlags;
    Object* names = arg(args, 0).asObject();
    if (names && names->as<ArrayObject>()) {
        for (const Value& v : m.arrayItems(names))
            fields.push_back(m.toString(v));
    } else {
        fields.push_back(m.toString(arg(args, 0)));
    }
    Object* flagList = arg(args, 1).asObject();
    int flags = 0;
    if (flagList && flagList->as<ArrayObject>()) {
        for (const Value& v : m.arrayItems(flagList))
            fieldFlags.push_back(m.toInt32(v));
    } else {
        flags = parseFlags(m, arg(args, 1));
    }
    std::vector<std::pair<Value, uint32_t>> items;
    uint32_t i = 0;
    for (Value& v : m.arrayItems(a))
        items.emplace_back(std::move(v), i++);
    auto compare = [&](const Value& x, const Value& y) {
        for (size_t f = 0; f < fields.size(); ++f) {
            int ff = f < fieldFlags.size() ? fieldFlags[f] : flags;
            int c = compareValues(m, m.getMember(x, fields[f]), m.getMember(y, fields[f]), ff);
            if (f < fieldFlags.size() && (ff & SortFlag::Descending))
                c = -c;
            if (c != 0)
                return c;
        }
        return 0;
    };
    return finishSort(m, a, items, flags, compare);
}

const NativeMethod kArrayMethods[] = {
    {"toString", arrayToString},
    {"join", arrayJoin},
    {"push", arrayPush},
    {"pop", arrayPop},
    {"shift", arrayShift},
    {"unshift", arrayUnshift},
    {"reverse", arrayReverse},
    {"slice", arraySlice},
    {"splice", arraySplice},
    {"concat", arrayConcat},
    {"sort", arraySort},
    {"sortOn", arraySortOn},
};

Value arrayConstruct(Machine& m, Value self, std::span<const Value> args)
{
    // Run on an existing object (a subclass's super(), Array.call(o)), Array makes that
    // object an array in place: its elements and length are its own properties.
    Object* a = stateTarget(m, self);
    if (a)
        a->attachNative(m.make<ArrayObject>(m.protos().array));
    else
        a = m.newArray();
    if (args.size() == 1 && args[0].isNumber()) {
        double n = args[0].asNumber();
        if (n >= 0 && n < 4294967295.0 && n == std::trunc(n))
            m.setArrayLength(a, static_cast<uint32_t>(n));
        else if (n < 0)
            // A negative length is kept as it is: the array reads as empty.
            a->put("length", Value(n), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
        else
            m.arrayAssign(a, args);
    } else {
        m.arrayAssign(a, args);
    }
    return Value(a);
}

} // namespace

void installArrayClass(Machine& m)
{
    Object* proto = m.make<ArrayObject>(m.protos().object);
    m.protos().array = proto;
    // Array(...) and new Array(...) build the same.
    Object* ctor = m.newClass("Array", proto, arrayConstruct, arrayConstruct);
    ctor->put("CASEINSENSITIVE", Value(1.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("DESCENDING", Value(2.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("UNIQUESORT", Value(4.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("RETURNINDEXEDARRAY", Value(8.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("NUMERIC", Value(16.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);

    defineMethods(m, proto, kArrayMethods);
}

} // namespace swf::avm1
