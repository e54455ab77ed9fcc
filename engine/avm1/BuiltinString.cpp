// String: the methods index characters (code points), not the UTF-8 bytes.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
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

// String(x) converts; new String(x) wraps the converted text in an object.
Value stringCall(Machine& m, Value, std::span<const Value> args)
{
    return Value(args.empty() ? std::string() : m.toString(args[0]));
}

Value stringConstruct(Machine& m, Value, std::span<const Value> args)
{
    return Value(m.toObject(Value(args.empty() ? std::string() : m.toString(args[0]))));
}

Value stringStaticFromCharCode(Machine& m, Value, std::span<const Value> args)
{
    std::u32string out;
    for (const Value& v : args) {
        auto c = static_cast<char32_t>(static_cast<uint16_t>(m.toInt32(v)));
        if (c != 0)
            out.push_back(c);
    }
    return Value(encodeUtf8(out));
}

Value stringToString(Machine& m, Value self, std::span<const Value>)
{
    Value v = unboxed<StringObject>(self);
    return v.isString() ? v : Value(m.toString(v));
}

Value stringValueOf(Machine& m, Value self, std::span<const Value>)
{
    Value v = unboxed<StringObject>(self);
    return v.isString() ? v : Value(m.toString(v));
}

Value stringCharAt(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    double i = integerArg(m, args, 0, 0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value(std::string());
    return Value(encodeUtf8(s[static_cast<size_t>(i)]));
}

Value stringCharCodeAt(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    double i = integerArg(m, args, 0, 0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value(std::nan(""));
    return Value(static_cast<double>(s[static_cast<size_t>(i)]));
}

Value stringConcat(Machine& m, Value self, std::span<const Value> args)
{
    std::string out = encodeUtf8(thisText(m, self));
    for (const Value& v : args) {
        out += m.toString(v);
        if (out.size() > (size_t{1} << 20))
            throw ScriptAbort{};  // as the + operator: no string past 1 MiB
    }
    return Value(out);
}

Value stringIndexOf(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    std::u32string needle = decodeUtf8(m.toString(arg(args, 0)));
    double from = integerArg(m, args, 1, 0);
    size_t start = clampTo(from, s.size());
    size_t at = s.find(needle, start);
    return Value(at == std::u32string::npos ? -1.0 : static_cast<double>(at));
}

Value stringLastIndexOf(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    std::u32string needle = decodeUtf8(m.toString(arg(args, 0)));
    double from = integerArg(m, args, 1, static_cast<double>(s.size()));
    if (from < 0)
        return Value(-1.0);
    size_t at = s.rfind(needle, clampTo(from, s.size()));
    return Value(at == std::u32string::npos ? -1.0 : static_cast<double>(at));
}

Value stringSlice(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    double n = static_cast<double>(s.size());
    double start = integerArg(m, args, 0, 0);
    double end = integerArg(m, args, 1, n);
    if (start < 0)
        start += n;
    if (end < 0)
        end += n;
    size_t a = clampTo(start, s.size());
    size_t b = clampTo(end, s.size());
    return Value(b > a ? encodeUtf8(s.substr(a, b - a)) : std::string());
}

Value stringSubstring(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    double n = static_cast<double>(s.size());
    size_t a = clampTo(integerArg(m, args, 0, 0), s.size());
    size_t b = clampTo(integerArg(m, args, 1, n), s.size());
    if (a > b)
        std::swap(a, b);
    return Value(encodeUtf8(s.substr(a, b - a)));
}

Value stringSubstr(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    double n = static_cast<double>(s.size());
    double start = integerArg(m, args, 0, 0);
    if (start < 0)
        start = std::max(0.0, start + n);
    double length = integerArg(m, args, 1, n);
    if (length < 0)
        length = std::max(0.0, length + n - start);
    size_t a = clampTo(start, s.size());
    size_t count = clampTo(length, s.size() - a);
    return Value(encodeUtf8(s.substr(a, count)));
}

Value stringToUpperCase(Machine& m, Value self, std::span<const Value>)
{
    return Value(toUpperText(encodeUtf8(thisText(m, self))));
}

Value stringToLowerCase(Machine& m, Value self, std::span<const Value>)
{
    return Value(toLowerText(encodeUtf8(thisText(m, self))));
}

Value stringSplit(Machine& m, Value self, std::span<const Value> args)
{
    std::u32string s = thisText(m, self);
    Object* out = m.newArray();
    double limit = args.size() > 1 && !args[1].isUndefined() ? m.toNumber(args[1]) : 4294967295.0;
    if (std::isnan(limit) || limit < 0)
        limit = 4294967295.0;
    auto add = [&](std::u32string piece) {
        uint32_t n = m.arrayLength(out);
        if (n < limit)
            m.arraySet(out, n, Value(encodeUtf8(piece)));
    };
    if (args.empty() || args[0].isUndefined()) {
        add(s);
        return Value(out);
    }
    std::u32string sep = decodeUtf8(m.toString(args[0]));
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
}

const NativeMethod kStringStaticMethods[] = {
    {"fromCharCode", stringStaticFromCharCode},
};

const NativeMethod kStringMethods[] = {
    {"toString", stringToString},
    {"valueOf", stringValueOf},
    {"charAt", stringCharAt},
    {"charCodeAt", stringCharCodeAt},
    {"concat", stringConcat},
    {"indexOf", stringIndexOf},
    {"lastIndexOf", stringLastIndexOf},
    {"slice", stringSlice},
    {"substring", stringSubstring},
    {"substr", stringSubstr},
    {"toUpperCase", stringToUpperCase},
    {"toLowerCase", stringToLowerCase},
    {"split", stringSplit},
};

} // namespace

void installStringClass(Machine& m)
{
    Object* proto = m.make<StringObject>(m.protos().object, Value(std::string()));
    m.protos().string = proto;
    Object* ctor = m.newClass("String", proto, stringCall, stringConstruct);
    defineMethods(m, ctor, kStringStaticMethods);
    defineMethods(m, proto, kStringMethods);
}

} // namespace swf::avm1
