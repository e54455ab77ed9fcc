// Global functions (parseInt, escape, setInterval, ASSetPropFlags ...) and the
// headless stand-ins for Key, Mouse, Stage and friends.

#include "engine/avm1/AsBroadcaster.h"
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
    int radix = 0;
    if (args.size() > 1) {
        radix = m.toInt32(args[1]);
        if (radix < 2 || radix > 36)
            return Value(std::nan(""));
    }
    auto at = [&text](size_t k) { return k < text.size() ? text[k] : '\0'; };
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    size_t i = 0;
    bool negative = false;
    auto skipSpaceAndSign = [&] {
        while (isSpace(at(i)))
            ++i;
        if (at(i) == '-' || at(i) == '+')
            negative = text[i++] == '-';
    };
    if (at(0) == '0' && (at(1) == 'x' || at(1) == 'X')) {
        // A hexadecimal prefix counts only at the very start; spaces and a sign may
        // follow it.
        i = 2;
        if (radix == 0)
            radix = 16;
        skipSpaceAndSign();
    } else if ((at(0) == '-' || at(0) == '+') && at(1) == '0' && (at(2) == 'x' || at(2) == 'X')) {
        // A signed prefix loses its sign and reads on from the "x".
        i = 2;
        if (radix == 0)
            radix = 16;
    } else {
        size_t first = i;
        skipSpaceAndSign();
        // Octal when the whole text, from its first character, is a zero and octal
        // digits (a sign allowed before them).
        bool signOnly = i == first || (i == first + 1 && (text[first] == '-' || text[first] == '+'));
        if (radix == 0 && signOnly && at(i) == '0' &&
            text.find_first_not_of("01234567", i) == std::string::npos)
            radix = 8;
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
    size_t k = text.find_first_not_of(" \t\r\n");
    if (k == std::string::npos)
        return Value(std::nan(""));
    auto isDigit = [&text](size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
    bool negative = false;
    if (text[k] == '+' || text[k] == '-')
        negative = text[k++] == '-';
    // The digits, with every point after the first skipped over (the fraction goes on
    // past them, but no exponent is read then). Each fraction digit adds its tenth,
    // hundredth ... as the player sums them (".1499999" is 0.14999990000000005).
    double digits = 0;
    double place = 1;
    bool any = false;
    bool inFraction = false;
    bool extraPoint = false;
    for (; k < text.size(); ++k) {
        if (isDigit(k)) {
            if (inFraction) {
                place /= 10;
                digits += (text[k] - '0') * place;
            } else {
                digits = digits * 10 + (text[k] - '0');
            }
            any = true;
        } else if (text[k] == '.') {
            extraPoint = extraPoint || inFraction;
            inFraction = true;
        } else {
            break;
        }
    }
    if (!any)
        return Value(std::nan(""));
    int64_t exponent = 0;
    if (!extraPoint && k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
        size_t e = k + 1;
        bool negativeExponent = false;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            negativeExponent = text[e++] == '-';
        int64_t magnitude = 0;
        for (; isDigit(e); ++e)
            magnitude = (magnitude * 10 + (text[e] - '0')) % 4294967296;
        // The exponent wraps as a 32-bit integer.
        exponent = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        if (negativeExponent)
            exponent = -exponent;
    }
    double value = exponent == 0 ? digits : digits * std::pow(10.0, static_cast<double>(exponent));
    return Value(negative ? -value : value);
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
    // The prototype link's member takes flags as a stored one does.
    auto applyProto = [&] { o->setProtoFlags(static_cast<uint16_t>((o->protoFlags() & ~clear) | set)); };
    if (names.isNull()) {
        for (Property& p : o->properties())
            apply(p);
        applyProto();
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
        if (m.isProtoName(n))
            applyProto();
        else if (Property* p = o->findOwnAnyVersion(n))
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
    return Value(std::string(kPlayerVersion));
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

// System.Product: a product of the player's maker that a movie may look for, launch
// or have downloaded. None is ever installed beside this player, so each question
// answers no and each request is refused. A product object names the product it
// was made for, read-only, and keeps its prototype and constructor fixed.
Value productAnswersNo(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

Value productInstalledVersion(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeMethod kProductMethods[] = {
    {"isRunning", productAnswersNo, PropertyFlag::DontEnum},
    {"isInstalled", productAnswersNo, PropertyFlag::DontEnum},
    {"launch", productAnswersNo, PropertyFlag::DontEnum},
    {"download", productAnswersNo, PropertyFlag::DontEnum},
    {"validate", productAnswersNo, PropertyFlag::DontEnum},
    {"installedVersion", productInstalledVersion, PropertyFlag::DontEnum},
};

Value productCall(Machine& m, Value self, std::span<const Value> args)
{
    Object* product = self.asObject();
    Object* system = m.getMember(Value(m.global()), "System").asObject();
    Object* ctor = system ? m.getMember(Value(system), "Product").asObject() : nullptr;
    // Only an object made by `new System.Product` (or a subclass's super()) is set up.
    if (!product || !ctor || product == m.global() || !m.instanceOf(self, ctor))
        return Value();
    const uint16_t fixed = PropertyFlag::ReadOnly | PropertyFlag::DontDelete;
    lockPrototype(product);
    if (Property* made = product->findOwn("__constructor__"))
        made->flags = static_cast<uint16_t>(made->flags | fixed);
    product->put("name", arg(args, 0), static_cast<uint16_t>(fixed | PropertyFlag::DontEnum));
    return Value();
}

} // namespace

void installGlobalFunctions(Machine& m)
{
    Object* g = m.global();
    const uint8_t hidden = PropertyFlag::DontEnum;
    // SWF 4 has no such names: there `NaN` and `Infinity` are undefined variables.
    if (m.version() >= 5) {
        g->put("NaN", Value(std::nan("")), hidden);
        g->put("Infinity", Value(std::numeric_limits<double>::infinity()), hidden);
    }
    defineMethods(m, g, kGlobalMethods);
    // The reference player leaves a hidden global `o` holding null: a script reading
    // an `o` it never set finds that null.
    g->put("o", Value(Null{}), hidden);
}

void installStageObjects(Machine& m)
{
    Object* g = m.global();
    Object* system = m.newObject();
    g->put("System", Value(system), PropertyFlag::DontEnum);
    // The members in the order the reference player makes them.
    Object* capabilities = m.newObject();
    system->put("capabilities", Value(capabilities));
    capabilities->put("version", Value(std::string(kPlayerVersion)));
    capabilities->put("playerType", Value("StandAlone"));
    capabilities->put("os", Value("Linux"));

    Object* productProto = m.newObject();
    Object* product = m.newNativeFunction("Product", productCall);
    product->put("prototype", Value(productProto), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    productProto->put("constructor", Value(product), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    defineMethods(m, productProto, kProductMethods);
    system->put("Product", Value(product));

    // exactSettings: whether local settings are matched by exact domain, true from
    // SWF 7 on; what a script writes is kept as a boolean.
    // The accessor keeps the setting in its own value.
    Property& exact = system->ensure("exactSettings");
    exact.value = Value(m.version() >= 7);
    exact.getter = m.newNativeFunction("", [](Machine&, Value self, std::span<const Value>) {
        Object* o = self.asObject();
        const Property* held = o ? o->findOwn("exactSettings") : nullptr;
        return held ? held->value : Value();
    });
    exact.setter = m.newNativeFunction("", [](Machine& machine, Value self, std::span<const Value> args) {
        Object* o = self.asObject();
        if (Property* held = o ? o->findOwn("exactSettings") : nullptr)
            held->value = Value(machine.toBoolean(arg(args, 0)));
        return Value();
    });
    exact.flags = 0;

    system->put("useCodepage", Value(false));
    // System.security's members come with the classes that use them (see
    // installExternalObjects); the object is made here, in its place among the others.
    system->put("security", Value(m.newObject()), PropertyFlag::DontEnum);
    // The input method editor's object: a broadcaster nothing here ever speaks through.
    Object* ime = m.newObject();
    lockPrototype(ime);
    system->put("IME", Value(ime));
    initializeBroadcaster(m, ime);
}

} // namespace swf::avm1
