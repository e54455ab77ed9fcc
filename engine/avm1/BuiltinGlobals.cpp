// Global functions (parseInt, escape, setInterval, ASSetPropFlags ...) and the
// headless stand-ins for Key, Mouse, Stage and friends.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/ArrayObject.h"
#include "engine/avm1/StringUtil.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace swf::avm1 {

namespace {

int digitValue(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<int>(c - 'A' + 10);
    return 99;
}

Value parseInt(Machine& m, std::span<const Value> args)
{
    std::string text = m.toString(arg(args, 0));
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int radix = args.size() > 1 && !args[1].isUndefined() ? m.toInt32(args[1]) : 0;
    if (args.size() > 1 && !args[1].isUndefined() && (radix < 2 || radix > 36))
        return Value(std::nan(""));
    if ((radix == 0 || radix == 16) && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        radix = 16;
        i += 2;
    } else if (radix == 0 && i + 1 < text.size() && text[i] == '0') {
        // A leading zero reads as octal when every digit is one.
        bool octal = true;
        for (size_t k = i; k < text.size() && digitValue(static_cast<unsigned char>(text[k])) < 10; ++k)
            octal = octal && text[k] < '8';
        radix = octal ? 8 : 10;
    }
    if (radix == 0)
        radix = 10;
    double value = 0;
    bool any = false;
    for (; i < text.size(); ++i) {
        int d = digitValue(static_cast<unsigned char>(text[i]));
        if (d >= radix)
            break;
        value = value * radix + d;
        any = true;
    }
    if (!any)
        return Value(std::nan(""));
    return Value(negative ? -value : value);
}

Value parseFloat(Machine& m, std::span<const Value> args)
{
    std::string text = m.toString(arg(args, 0));
    size_t i = text.find_first_not_of(" \t\r\n");
    if (i == std::string::npos)
        return Value(std::nan(""));
    // The longest prefix that reads as a decimal number.
    size_t k = i;
    if (k < text.size() && (text[k] == '+' || text[k] == '-'))
        ++k;
    size_t digitsStart = k;
    while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])))
        ++k;
    if (k < text.size() && text[k] == '.') {
        ++k;
        while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])))
            ++k;
    }
    if (k == digitsStart || (k == digitsStart + 1 && text[digitsStart] == '.'))
        return Value(std::nan(""));
    if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
        size_t e = k + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            ++e;
        if (e < text.size() && std::isdigit(static_cast<unsigned char>(text[e]))) {
            while (e < text.size() && std::isdigit(static_cast<unsigned char>(text[e])))
                ++e;
            k = e;
        }
    }
    return Value(std::strtod(text.substr(i, k - i).c_str(), nullptr));
}

std::string escape(std::string_view text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        // Only ASCII letters and digits stay as they are; every other byte of the UTF-8
        // text, punctuation included, is written as %XX.
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

std::string unescape(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

Value setTimer(Machine& m, std::span<const Value> args, bool once)
{
    Value first = arg(args, 0);
    Object* o = first.asObject();
    // A timer needs its period: without one nothing is scheduled.
    size_t periodIndex = o && o->function() ? 1 : 2;
    if (args.size() <= periodIndex || args[periodIndex].isUndefined())
        return Value();
    if (o && o->function())
        return Value(static_cast<double>(m.addInterval(first, Value(), {}, m.toNumber(arg(args, 1)),
                                                       std::vector<Value>(args.begin() + std::min<size_t>(2, args.size()), args.end()), once)));
    if (o && args.size() >= 3)
        return Value(static_cast<double>(m.addInterval(Value(), first, m.toString(args[1]), m.toNumber(args[2]),
                                                       std::vector<Value>(args.begin() + 3, args.end()), once)));
    return Value();
}

Value globalTrace(Machine& m, Value, std::span<const Value> args)
{
    m.trace(m.toString(arg(args, 0)));
    return Value();
}

// Without an argument both parseInt and parseFloat answer undefined rather than NaN.
Value globalParseInt(Machine& m, Value, std::span<const Value> args)
{
    return args.empty() ? Value() : parseInt(m, args);
}

Value globalParseFloat(Machine& m, Value, std::span<const Value> args)
{
    return args.empty() ? Value() : parseFloat(m, args);
}

Value globalIsNaN(Machine& m, Value, std::span<const Value> args)
{
    return Value(args.empty() || std::isnan(m.toNumber(args[0])));
}

Value globalIsFinite(Machine& m, Value, std::span<const Value> args)
{
    return Value(!args.empty() && std::isfinite(m.toNumber(args[0])));
}

Value globalClearInterval(Machine& m, Value, std::span<const Value> args)
{
    m.clearInterval(m.toInt32(arg(args, 0)));
    return Value();
}

Value globalClearTimeout(Machine& m, Value, std::span<const Value> args)
{
    m.clearInterval(m.toInt32(arg(args, 0)));
    return Value();
}

Value globalASSetPropFlags(Machine& m, Value, std::span<const Value> args)
{
    Object* o = arg(args, 0).asObject();
    if (!o)
        return Value();
    int set = m.toInt32(arg(args, 2));
    int clear = m.toInt32(arg(args, 3));
    auto apply = [&](Property& p) {
        p.flags = static_cast<uint16_t>((p.flags & ~clear) | set);
    };
    Value names = arg(args, 1);
    if (names.isNull()) {
        for (Property& p : o->properties())
            apply(p);
        return Value();
    }
    std::vector<std::string> list;
    if (Object* a = names.asObject(); a && a->as<ArrayObject>()) {
        for (const Value& v : m.arrayItems(a))
            list.push_back(m.toString(v));
    } else {
        std::string text = m.toString(names);
        size_t start = 0;
        while (start <= text.size()) {
            size_t comma = text.find(',', start);
            list.push_back(text.substr(start, comma - start));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    for (const std::string& n : list) {
        if (Property* p = o->findOwnAnyVersion(n))
            apply(*p);
    }
    return Value();
}

Value globalEscape(Machine& m, Value, std::span<const Value> args)
{
    return Value(escape(m.toString(arg(args, 0))));
}

Value globalUnescape(Machine& m, Value, std::span<const Value> args)
{
    return Value(unescape(m.toString(arg(args, 0))));
}

Value globalGetTimer(Machine& m, Value, std::span<const Value>)
{
    return Value(std::floor(m.now()));
}

Value globalGetVersion(Machine&, Value, std::span<const Value>)
{
    return Value("LNX 10,0,0,0");
}

Value globalSetInterval(Machine& m, Value, std::span<const Value> args)
{
    return setTimer(m, args, false);
}

Value globalSetTimeout(Machine& m, Value, std::span<const Value> args)
{
    return setTimer(m, args, true);
}

Value globalUpdateAfterEvent(Machine&, Value, std::span<const Value>)
{
    return Value();
}

// Global functions can be deleted and replaced; only for..in does not see them.
constexpr uint16_t kGlobalFlags = PropertyFlag::DontEnum;

// Key, Mouse and Stage: no keyboard or pointer reaches scripts yet, so keys read as up
// and listeners are accepted without ever being called.
Value acceptListener(Machine&, Value, std::span<const Value>)
{
    return Value(true);
}

Value mouseShow(Machine&, Value, std::span<const Value>)
{
    return Value(1.0);
}

Value mouseHide(Machine&, Value, std::span<const Value>)
{
    return Value(1.0);
}

const NativeMethod kMouseMethods[] = {
    {"addListener", acceptListener},
    {"removeListener", acceptListener},
    {"show", mouseShow},
    {"hide", mouseHide},
};

const NativeMethod kStageMethods[] = {
    {"addListener", acceptListener},
    {"removeListener", acceptListener},
};

const NativeMethod kGlobalMethods[] = {
    {"trace", globalTrace, kGlobalFlags},
    {"parseInt", globalParseInt, kGlobalFlags},
    {"parseFloat", globalParseFloat, kGlobalFlags},
    {"isNaN", globalIsNaN, kGlobalFlags},
    {"isFinite", globalIsFinite, kGlobalFlags},
    {"escape", globalEscape, kGlobalFlags},
    {"unescape", globalUnescape, kGlobalFlags},
    {"getTimer", globalGetTimer, kGlobalFlags},
    {"getVersion", globalGetVersion, kGlobalFlags},
    {"setInterval", globalSetInterval, kGlobalFlags},
    {"setTimeout", globalSetTimeout, kGlobalFlags},
    {"clearInterval", globalClearInterval, kGlobalFlags},
    {"clearTimeout", globalClearTimeout, kGlobalFlags},
    {"updateAfterEvent", globalUpdateAfterEvent, kGlobalFlags},
    {"ASSetPropFlags", globalASSetPropFlags, kGlobalFlags},
};

} // namespace

void installGlobalFunctions(Machine& m)
{
    Object* g = m.global();
    const uint8_t hidden = PropertyFlag::DontEnum;
    g->put("NaN", Value(std::nan("")), hidden);
    g->put("Infinity", Value(std::numeric_limits<double>::infinity()), hidden);
    defineMethods(m, g, kGlobalMethods);
}

void installStageObjects(Machine& m)
{
    Object* g = m.global();
    Object* mouse = m.newObject();
    g->put("Mouse", Value(mouse), PropertyFlag::DontEnum);
    defineMethods(m, mouse, kMouseMethods);

    Object* stage = m.newObject();
    g->put("Stage", Value(stage), PropertyFlag::DontEnum);
    defineMethods(m, stage, kStageMethods);
    stage->put("scaleMode", Value("showAll"));
    stage->put("align", Value(""));
    stage->put("showMenu", Value(true));

    Object* system = m.newObject();
    g->put("System", Value(system), PropertyFlag::DontEnum);
    Object* capabilities = m.newObject();
    system->put("capabilities", Value(capabilities));
    capabilities->put("version", Value("LNX 10,0,0,0"));
    capabilities->put("playerType", Value("StandAlone"));
    capabilities->put("os", Value("Linux"));
    system->put("useCodepage", Value(false));
}

} // namespace swf::avm1
