// String: the methods index characters (code points), not the UTF-8 bytes.

#include "engine/avm1/Machine.h"
#include "engine/avm1/BoxedObject.h"
#include "engine/avm1/StringUtil.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

std::u32string thisText(Machine& m, const Value& self)
{
    return decodeUtf8(m.toString(unboxed<StringObject>(self)));
}

double integerArg(Machine& m, std::span<const Value> args, size_t i, double fallback)
{
    if (i >= args.size() || args[i].isUndefined())
        return fallback;
    double v = m.toNumber(args[i]);
    return std::isnan(v) ? 0 : std::trunc(v);
}

size_t clampTo(double v, size_t size)
{
    return static_cast<size_t>(std::clamp(v, 0.0, static_cast<double>(size)));
}

} // namespace

void installStringClass(Machine& m)
{
    Object* proto = m.make<StringObject>(m.protos().object, Value(std::string()));
    m.protos().string = proto;
    Object* ctor = m.newClass(
        "String", proto,
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            return Value(args.empty() ? std::string() : mm.toString(args[0]));
        },
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            Object* o = mm.toObject(Value(args.empty() ? std::string() : mm.toString(args[0])));
            return Value(o);
        });
    m.defineMethod(ctor, "fromCharCode", [](Machine& mm, Value, std::span<const Value> args) -> Value {
        std::u32string out;
        for (const Value& v : args) {
            auto c = static_cast<char32_t>(static_cast<uint16_t>(mm.toInt32(v)));
            if (c != 0)
                out.push_back(c);
        }
        return Value(encodeUtf8(out));
    });
    m.defineMethod(proto, "toString", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        Value v = unboxed<StringObject>(self);
        return v.isString() ? v : Value(mm.toString(v));
    });
    m.defineMethod(proto, "valueOf", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        Value v = unboxed<StringObject>(self);
        return v.isString() ? v : Value(mm.toString(v));
    });
    m.defineMethod(proto, "charAt", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        double i = integerArg(mm, args, 0, 0);
        if (i < 0 || i >= static_cast<double>(s.size()))
            return Value(std::string());
        return Value(encodeUtf8(s[static_cast<size_t>(i)]));
    });
    m.defineMethod(proto, "charCodeAt", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        double i = integerArg(mm, args, 0, 0);
        if (i < 0 || i >= static_cast<double>(s.size()))
            return Value(std::nan(""));
        return Value(static_cast<double>(s[static_cast<size_t>(i)]));
    });
    m.defineMethod(proto, "concat", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::string out = encodeUtf8(thisText(mm, self));
        for (const Value& v : args) {
            out += mm.toString(v);
            if (out.size() > (size_t{1} << 20))
                throw ScriptAbort{};  // as the + operator: no string past 1 MiB
        }
        return Value(out);
    });
    m.defineMethod(proto, "indexOf", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        std::u32string needle = decodeUtf8(mm.toString(arg(args, 0)));
        double from = integerArg(mm, args, 1, 0);
        size_t start = clampTo(from, s.size());
        size_t at = s.find(needle, start);
        return Value(at == std::u32string::npos ? -1.0 : static_cast<double>(at));
    });
    m.defineMethod(proto, "lastIndexOf", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        std::u32string needle = decodeUtf8(mm.toString(arg(args, 0)));
        double from = integerArg(mm, args, 1, static_cast<double>(s.size()));
        if (from < 0)
            return Value(-1.0);
        size_t at = s.rfind(needle, clampTo(from, s.size()));
        return Value(at == std::u32string::npos ? -1.0 : static_cast<double>(at));
    });
    m.defineMethod(proto, "slice", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        double n = static_cast<double>(s.size());
        double start = integerArg(mm, args, 0, 0);
        double end = integerArg(mm, args, 1, n);
        if (start < 0)
            start += n;
        if (end < 0)
            end += n;
        size_t a = clampTo(start, s.size());
        size_t b = clampTo(end, s.size());
        return Value(b > a ? encodeUtf8(s.substr(a, b - a)) : std::string());
    });
    m.defineMethod(proto, "substring", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        double n = static_cast<double>(s.size());
        size_t a = clampTo(integerArg(mm, args, 0, 0), s.size());
        size_t b = clampTo(integerArg(mm, args, 1, n), s.size());
        if (a > b)
            std::swap(a, b);
        return Value(encodeUtf8(s.substr(a, b - a)));
    });
    m.defineMethod(proto, "substr", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        double n = static_cast<double>(s.size());
        double start = integerArg(mm, args, 0, 0);
        if (start < 0)
            start = std::max(0.0, start + n);
        double length = integerArg(mm, args, 1, n);
        if (length < 0)
            length = std::max(0.0, length + n - start);
        size_t a = clampTo(start, s.size());
        size_t count = clampTo(length, s.size() - a);
        return Value(encodeUtf8(s.substr(a, count)));
    });
    m.defineMethod(proto, "toUpperCase", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        return Value(toUpperText(encodeUtf8(thisText(mm, self))));
    });
    m.defineMethod(proto, "toLowerCase", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        return Value(toLowerText(encodeUtf8(thisText(mm, self))));
    });
    m.defineMethod(proto, "split", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        std::u32string s = thisText(mm, self);
        Object* out = mm.newArray();
        double limit = args.size() > 1 && !args[1].isUndefined() ? mm.toNumber(args[1]) : 4294967295.0;
        if (std::isnan(limit) || limit < 0)
            limit = 4294967295.0;
        auto add = [&](std::u32string piece) {
            uint32_t n = mm.arrayLength(out);
            if (n < limit)
                mm.arraySet(out, n, Value(encodeUtf8(piece)));
        };
        if (args.empty() || args[0].isUndefined()) {
            add(s);
            return Value(out);
        }
        std::u32string sep = decodeUtf8(mm.toString(args[0]));
        if (sep.empty()) {
            for (char32_t c : s)
                add(std::u32string(1, c));
            return Value(out);
        }
        if (s.empty()) {
            add(s);
            return Value(out);
        }
        size_t start = 0;
        while (true) {
            size_t at = s.find(sep, start);
            if (at == std::u32string::npos) {
                add(s.substr(start));
                break;
            }
            add(s.substr(start, at - start));
            start = at + sep.size();
        }
        return Value(out);
    });
}

} // namespace swf::avm1
