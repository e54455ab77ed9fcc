// Array: elements are ordinary properties named by index, `length` kept in step.

#include "engine/avm1/Machine.h"
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

} // namespace

void installArrayClass(Machine& m)
{
    Object* proto = m.make<ArrayObject>(m.protos().object);
    m.protos().array = proto;
    auto build = [](Machine& mm, Value, std::span<const Value> args) -> Value {
        Object* a = mm.newArray();
        if (args.size() == 1 && args[0].isNumber()) {
            double n = args[0].asNumber();
            if (n >= 0 && n < 4294967295.0 && n == std::trunc(n))
                mm.setArrayLength(a, static_cast<uint32_t>(n));
            else if (n < 0)
                // A negative length is kept as it is: the array reads as empty.
                a->put("length", Value(n), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
            else
                mm.arrayAssign(a, args);
        } else {
            mm.arrayAssign(a, args);
        }
        return Value(a);
    };
    Object* ctor = m.newClass("Array", proto, build, build);
    ctor->put("CASEINSENSITIVE", Value(1.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("DESCENDING", Value(2.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("UNIQUESORT", Value(4.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("RETURNINDEXEDARRAY", Value(8.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    ctor->put("NUMERIC", Value(16.0), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);

    m.defineMethod(proto, "toString", [](Machine& mm, Value s, std::span<const Value>) -> Value {
        Object* a = self(mm, s);
        return a ? Value(joinItems(mm, a, ",")) : Value();
    });
    m.defineMethod(proto, "join", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        std::string sep = args.empty() || args[0].isUndefined() ? std::string(",") : mm.toString(args[0]);
        return a ? Value(joinItems(mm, a, sep)) : Value();
    });
    m.defineMethod(proto, "push", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        if (!a)
            return Value();
        uint32_t n = mm.arrayLength(a);
        for (const Value& v : args)
            mm.arraySet(a, n++, v);
        mm.setArrayLength(a, n);
        return Value(static_cast<double>(n));
    });
    m.defineMethod(proto, "pop", [](Machine& mm, Value s, std::span<const Value>) -> Value {
        Object* a = self(mm, s);
        uint32_t n = a ? mm.arrayLength(a) : 0;
        if (n == 0)
            return Value();
        Value last = mm.arrayGet(a, n - 1);
        mm.setArrayLength(a, n - 1);
        return last;
    });
    m.defineMethod(proto, "shift", [](Machine& mm, Value s, std::span<const Value>) -> Value {
        Object* a = self(mm, s);
        if (!a || mm.arrayLength(a) == 0)
            return Value();
        std::vector<Value> items = mm.arrayItems(a);
        Value first = items.front();
        items.erase(items.begin());
        mm.arrayAssign(a, items);
        return first;
    });
    m.defineMethod(proto, "unshift", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        if (!a)
            return Value();
        std::vector<Value> items = mm.arrayItems(a);
        items.insert(items.begin(), args.begin(), args.end());
        mm.arrayAssign(a, items);
        return Value(static_cast<double>(items.size()));
    });
    m.defineMethod(proto, "reverse", [](Machine& mm, Value s, std::span<const Value>) -> Value {
        Object* a = self(mm, s);
        if (!a)
            return Value();
        std::vector<Value> items = mm.arrayItems(a);
        std::reverse(items.begin(), items.end());
        mm.arrayAssign(a, items);
        return Value(a);
    });
    m.defineMethod(proto, "slice", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        if (!a)
            return Value();
        uint32_t n = mm.arrayLength(a);
        uint32_t start = args.empty() ? 0 : clampIndex(mm.toNumber(args[0]), n);
        uint32_t end = args.size() < 2 || args[1].isUndefined() ? n : clampIndex(mm.toNumber(args[1]), n);
        std::vector<Value> out;
        for (uint32_t i = start; i < end; ++i)
            out.push_back(mm.arrayGet(a, i));
        return Value(mm.newArray(out));
    });
    m.defineMethod(proto, "splice", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        if (!a || args.empty() || args[0].isUndefined())
            return Value();
        std::vector<Value> items = mm.arrayItems(a);
        auto n = static_cast<uint32_t>(items.size());
        uint32_t start = clampIndex(mm.toNumber(args[0]), n);
        uint32_t count = n - start;
        if (args.size() > 1) {
            double c = mm.toNumber(args[1]);
            count = std::isnan(c) || c < 0 ? 0 : static_cast<uint32_t>(std::min(c, static_cast<double>(n - start)));
        }
        std::vector<Value> removed(items.begin() + start, items.begin() + start + count);
        items.erase(items.begin() + start, items.begin() + start + count);
        if (args.size() > 2)
            items.insert(items.begin() + start, args.begin() + 2, args.end());
        mm.arrayAssign(a, items);
        return Value(mm.newArray(removed));
    });
    m.defineMethod(proto, "concat", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        std::vector<Value> items = a ? mm.arrayItems(a) : std::vector<Value>{};
        for (const Value& v : args) {
            Object* o = v.asObject();
            if (o && o->as<ArrayObject>()) {
                auto more = mm.arrayItems(o);
                items.insert(items.end(), more.begin(), more.end());
            } else {
                items.push_back(v);
            }
        }
        return Value(mm.newArray(items));
    });
    m.defineMethod(proto, "sort", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        if (!a)
            return Value();
        Object* compareFn = arg(args, 0).asObject();
        int flags = parseFlags(mm, compareFn ? arg(args, 1) : arg(args, 0));
        std::vector<std::pair<Value, uint32_t>> items;
        uint32_t i = 0;
        for (Value& v : mm.arrayItems(a))
            items.emplace_back(std::move(v), i++);
        std::function<int(const Value&, const Value&)> compare;
        if (compareFn && compareFn->function()) {
            compare = [&mm, compareFn](const Value& x, const Value& y) {
                Value pair[] = {x, y};
                double r = mm.toNumber(mm.call(Value(compareFn), Value(), pair));
                return r < 0 ? -1 : r > 0 ? 1 : 0;
            };
        } else {
            compare = [&mm, flags](const Value& x, const Value& y) { return compareValues(mm, x, y, flags); };
        }
        return finishSort(mm, a, items, flags, compare);
    });
    m.defineMethod(proto, "sortOn", [](Machine& mm, Value s, std::span<const Value> args) -> Value {
        Object* a = self(mm, s);
        if (!a)
            return Value();
        std::vector<std::string> fields;
        std::vector<int> fieldFlags;
        Object* names = arg(args, 0).asObject();
        if (names && names->as<ArrayObject>()) {
            for (const Value& v : mm.arrayItems(names))
                fields.push_back(mm.toString(v));
        } else {
            fields.push_back(mm.toString(arg(args, 0)));
        }
        Object* flagList = arg(args, 1).asObject();
        int flags = 0;
        if (flagList && flagList->as<ArrayObject>()) {
            for (const Value& v : mm.arrayItems(flagList))
                fieldFlags.push_back(mm.toInt32(v));
        } else {
            flags = parseFlags(mm, arg(args, 1));
        }
        std::vector<std::pair<Value, uint32_t>> items;
        uint32_t i = 0;
        for (Value& v : mm.arrayItems(a))
            items.emplace_back(std::move(v), i++);
        auto compare = [&](const Value& x, const Value& y) {
            for (size_t f = 0; f < fields.size(); ++f) {
                int ff = f < fieldFlags.size() ? fieldFlags[f] : flags;
                int c = compareValues(mm, mm.getMember(x, fields[f]), mm.getMember(y, fields[f]), ff);
                if (f < fieldFlags.size() && (ff & SortFlag::Descending))
                    c = -c;
                if (c != 0)
                    return c;
            }
            return 0;
        };
        return finishSort(mm, a, items, flags, compare);
    });
}

} // namespace swf::avm1
