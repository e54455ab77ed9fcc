// String: the methods index UTF-16 code units, as the player's strings are made of them.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/BoxedObject.h"
#include "engine/avm1/StringUtil.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

std::u16string thisText(Machine& m, const Value& self)
{
    return utf8ToUtf16(m.toString(unboxed<StringObject>(self)));
}

Value textValue(std::u16string_view text)
{
    return Value(utf16ToUtf8(text));
}

// Positions and counts convert as 32-bit integers: 4294967297 is 1, NaN is 0.
double integerArg(Machine& m, std::span<const Value> args, size_t i, double fallback)
{
    if (i >= args.size() || args[i].isUndefined())
        return fallback;
    return toInt32(m.toNumber(args[i]));
}

size_t clampTo(double v, size_t size)
{
    return static_cast<size_t>(std::clamp(v, 0.0, static_cast<double>(size)));
}

// String(x) converts; new String(x) wraps the converted text in an object.
Value stringCall(Machine& m, Value self, std::span<const Value> args)
{
    Value text(args.empty() ? std::string() : m.toString(args[0]));
    // An instance of a class built on String gets its text here, through super().
    if (Object* target = stateTarget(m, self)) {
        target->attachNative(m.make<StringObject>(m.protos().string, text));
        const auto length = static_cast<double>(utf16Length(text.asString()));
        target->put("length", Value(length), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    }
    return text;
}

Value stringConstruct(Machine& m, Value, std::span<const Value> args)
{
    return Value(m.toObject(Value(args.empty() ? std::string() : m.toString(args[0]))));
}

// Each argument is one UTF-16 unit; a zero ends the string there.
Value stringStaticFromCharCode(Machine& m, Value, std::span<const Value> args)
{
    std::u16string out;
    for (const Value& v : args) {
        auto c = static_cast<char16_t>(static_cast<uint16_t>(m.toInt32(v)));
        if (c == 0)
            break;
        out.push_back(c);
    }
    return textValue(out);
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
    std::u16string s = thisText(m, self);
    double i = integerArg(m, args, 0, 0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value(std::string());
    return textValue(std::u16string(1, s[static_cast<size_t>(i)]));
}

Value stringCharCodeAt(Machine& m, Value self, std::span<const Value> args)
{
    std::u16string s = thisText(m, self);
    double i = integerArg(m, args, 0, 0);
    // SWF 5 reads past the end as 0.
    if (i >= static_cast<double>(s.size()) && m.version() < 6 && i >= 0)
        return Value(0.0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value(std::nan(""));
    return Value(static_cast<double>(s[static_cast<size_t>(i)]));
}

Value stringConcat(Machine& m, Value self, std::span<const Value> args)
{
    std::string out = m.toString(unboxed<StringObject>(self));
    for (const Value& v : args) {
        out += m.toString(v);
        if (out.size() > (size_t{1} << 20))
            throw ScriptAbort{};  // as the + operator: no string past 1 MiB
    }
    return Value(out);
}

Value stringIndexOf(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    std::u16string s = thisText(m, self);
    std::u16string needle = utf8ToUtf16(m.toString(args[0]));
    double from = std::max(0.0, integerArg(m, args, 1, 0));
    if (from > static_cast<double>(s.size()))
        return Value(-1.0);
    size_t at = s.find(needle, static_cast<size_t>(from));
    return Value(at == std::u16string::npos ? -1.0 : static_cast<double>(at));
}

Value stringLastIndexOf(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    std::u16string s = thisText(m, self);
    std::u16string needle = utf8ToUtf16(m.toString(args[0]));
    double from = integerArg(m, args, 1, static_cast<double>(s.size()));
    if (from < 0)
        return Value(-1.0);
    size_t at = s.rfind(needle, clampTo(from, s.size()));
    return Value(at == std::u16string::npos ? -1.0 : static_cast<double>(at));
}

Value stringSlice(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    std::u16string s = thisText(m, self);
    double n = static_cast<double>(s.size());
    double start = integerArg(m, args, 0, 0);
    double end = integerArg(m, args, 1, n);
    if (start < 0)
        start += n;
    if (end < 0)
        end += n;
    size_t a = clampTo(start, s.size());
    size_t b = clampTo(end, s.size());
    return b > a ? textValue(std::u16string_view(s).substr(a, b - a)) : Value(std::string());
}

Value stringSubstring(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    std::u16string s = thisText(m, self);
    double n = static_cast<double>(s.size());
    size_t a = clampTo(integerArg(m, args, 0, 0), s.size());
    size_t b = clampTo(integerArg(m, args, 1, n), s.size());
    if (a > b)
        std::swap(a, b);
    return textValue(std::u16string_view(s).substr(a, b - a));
}

Value stringSubstr(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    std::u16string s = thisText(m, self);
    double n = static_cast<double>(s.size());
    double start = integerArg(m, args, 0, 0);
    if (start < 0)
        start = std::max(0.0, start + n);
    double length = integerArg(m, args, 1, n);
    if (length < 0) {
        // A negative count is taken from the end of the string; a piece reaching the
        // end that way is empty.
        length += n;
        if (start + length >= n)
            return Value(std::string());
    }
    size_t a = clampTo(start, s.size());
    size_t count = clampTo(length, s.size() - a);
    return textValue(std::u16string_view(s).substr(a, count));
}

Value stringToUpperCase(Machine& m, Value self, std::span<const Value>)
{
    return Value(toUpperText(m.toString(unboxed<StringObject>(self))));
}

Value stringToLowerCase(Machine& m, Value self, std::span<const Value>)
{
    return Value(toLowerText(m.toString(unboxed<StringObject>(self))));
}

Value stringSplit(Machine& m, Value self, std::span<const Value> args)
{
    std::u16string s = thisText(m, self);
    Object* out = m.newArray();
    double limit = 4294967295.0;
    if (args.size() > 1 && !args[1].isUndefined()) {
        limit = m.toInt32(args[1]);
        if (limit < 0)
            limit = 0;
    }
    auto add = [&](std::u16string_view piece) {
        uint32_t n = m.arrayLength(out);
        if (n < limit)
            m.arraySet(out, n, textValue(piece));
    };
    const bool swf5 = m.version() < 6;
    std::u16string sep;
    if (args.empty() || args[0].isUndefined()) {
        // No separator: the whole string, whatever the limit; SWF 5 splits at commas.
        if (!swf5) {
            m.arraySet(out, 0, textValue(s));
            return Value(out);
        }
        sep = u",";
    } else {
        sep = utf8ToUtf16(m.toString(args[0]));
    }
    if (sep.empty() && swf5) {
        add(s);
        return Value(out);
    }
    if (sep.empty()) {
        for (char16_t c : s)
            add(std::u16string(1, c));
        return Value(out);
    }
    if (s.empty()) {
        add(s);
        return Value(out);
    }
    size_t start = 0;
    while (m.arrayLength(out) < limit) {
        size_t at = s.find(sep, start);
        if (at == std::u16string::npos) {
            add(std::u16string_view(s).substr(start));
            break;
        }
        add(std::u16string_view(s).substr(start, at - start));
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
