// TextFormat: the constructor taking the common settings in order, and each setting as
// a getter/setter pair on TextFormat.prototype that converts what it is given the way
// the player does (null and undefined unset a setting).

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/TextFormatObject.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace textformat {

double toWhole(double value)
{
    constexpr double kInvalid = std::numeric_limits<int32_t>::min();
    if (!std::isfinite(value))
        return kInvalid;
    double rounded = std::nearbyint(value);  // the default rounding mode: halves to even
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return kInvalid;
    return rounded;
}

double toMargin(double value)
{
    return toWhole(0 < value ? value : 0);
}

double toColor(double value)
{
    return static_cast<double>(static_cast<uint32_t>(avm1::toInt32(value)));
}

} // namespace textformat

namespace {

// Tab stops beyond this many are dropped: no field has room for more.
constexpr uint32_t kMaxTabStops = 1000;

TextFormatData* dataOf(const Value& self)
{
    Object* o = self.asObject();
    TextFormatObject* format = o ? o->as<TextFormatObject>() : nullptr;
    return format ? &format->data : nullptr;
}

Value nullOr(const std::optional<std::string>& v)
{
    return v ? Value(*v) : Value(Null{});
}
Value nullOr(const std::optional<double>& v)
{
    return v ? Value(*v) : Value(Null{});
}
Value nullOr(const std::optional<bool>& v)
{
    return v ? Value(*v) : Value(Null{});
}

std::optional<std::string> stringSetting(Machine& m, const Value& v)
{
    if (v.isNullish())
        return std::nullopt;
    return m.toString(v);
}

std::optional<double> numberSetting(Machine& m, const Value& v, double (*convert)(double))
{
    if (v.isNullish())
        return std::nullopt;
    double n = m.toNumber(v);
    return convert ? convert(n) : n;
}

// Font names are kept to their first 64 characters.
std::optional<std::string> fontSetting(Machine& m, const Value& v)
{
    constexpr size_t kMaxFontName = 64;
    std::optional<std::string> name = stringSetting(m, v);
    if (!name)
        return name;
    size_t chars = 0;
    for (size_t i = 0; i < name->size(); ++i) {
        if ((static_cast<unsigned char>((*name)[i]) & 0xC0) != 0x80 && chars++ == kMaxFontName) {
            name->resize(i);
            break;
        }
    }
    return name;
}

std::optional<bool> boolSetting(Machine& m, const Value& v)
{
    if (v.isNullish())
        return std::nullopt;
    return m.toBoolean(v);
}

// A known alignment (any case) replaces the setting; anything else, null and
// undefined too, leaves it.
void setAlign(Machine& m, TextFormatData& d, const Value& v)
{
    if (v.isNullish())
        return;
    std::string align = toLowerText(m.toString(v));
    if (align == "left" || align == "center" || align == "right" || align == "justify")
        d.align = align;
}

// Any object with a length is read as a list of stops.
void setTabStops(Machine& m, TextFormatData& d, const Value& v)
{
    Object* list = v.asObject();
    if (!list) {
        d.tabStops.reset();
        return;
    }
    double length = m.toNumber(m.getMember(v, "length"));
    uint32_t count = std::isfinite(length) && length > 0 ? static_cast<uint32_t>(std::min<double>(length, kMaxTabStops)) : 0;
    std::vector<double> stops;
    stops.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        stops.push_back(textformat::toWhole(m.toNumber(m.getMember(v, std::to_string(i)))));
    d.tabStops = std::move(stops);
}

Value tabStopsValue(Machine& m, const TextFormatData& d)
{
    if (!d.tabStops)
        return Value(Null{});
    std::vector<Value> items;
    items.reserve(d.tabStops->size());
    for (double stop : *d.tabStops)
        items.emplace_back(stop);
    return Value(m.newArray(items));
}

// Each setting: how it reads and how it is written.
struct Setting {
    const char* name;
    Value (*get)(Machine&, const TextFormatData&);
    void (*set)(Machine&, TextFormatData&, const Value&);
};

const Setting kSettings[] = {
    {"font", [](Machine&, const TextFormatData& d) { return nullOr(d.font); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.font = fontSetting(m, v); }},
    {"size", [](Machine&, const TextFormatData& d) { return nullOr(d.size); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.size = numberSetting(m, v, textformat::toWhole); }},
    {"color", [](Machine&, const TextFormatData& d) { return nullOr(d.color); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.color = numberSetting(m, v, textformat::toColor); }},
    {"url", [](Machine&, const TextFormatData& d) { return nullOr(d.url); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.url = stringSetting(m, v); }},
    {"target", [](Machine&, const TextFormatData& d) { return nullOr(d.target); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.target = stringSetting(m, v); }},
    {"bold", [](Machine&, const TextFormatData& d) { return nullOr(d.bold); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.bold = boolSetting(m, v); }},
    {"italic", [](Machine&, const TextFormatData& d) { return nullOr(d.italic); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.italic = boolSetting(m, v); }},
    {"underline", [](Machine&, const TextFormatData& d) { return nullOr(d.underline); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.underline = boolSetting(m, v); }},
    {"align", [](Machine&, const TextFormatData& d) { return nullOr(d.align); }, setAlign},
    {"leftMargin", [](Machine&, const TextFormatData& d) { return nullOr(d.leftMargin); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.leftMargin = numberSetting(m, v, textformat::toMargin); }},
    {"rightMargin", [](Machine&, const TextFormatData& d) { return nullOr(d.rightMargin); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.rightMargin = numberSetting(m, v, textformat::toMargin); }},
    {"indent", [](Machine&, const TextFormatData& d) { return nullOr(d.indent); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.indent = numberSetting(m, v, textformat::toWhole); }},
    {"leading", [](Machine&, const TextFormatData& d) { return nullOr(d.leading); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.leading = numberSetting(m, v, textformat::toWhole); }},
    {"blockIndent", [](Machine&, const TextFormatData& d) { return nullOr(d.blockIndent); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.blockIndent = numberSetting(m, v, textformat::toWhole); }},
    {"tabStops", tabStopsValue, setTabStops},
    {"bullet", [](Machine&, const TextFormatData& d) { return nullOr(d.bullet); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.bullet = boolSetting(m, v); }},
    {"kerning", [](Machine&, const TextFormatData& d) { return nullOr(d.kerning); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.kerning = boolSetting(m, v); }},
    {"letterSpacing", [](Machine&, const TextFormatData& d) { return nullOr(d.letterSpacing); },
     [](Machine& m, TextFormatData& d, const Value& v) { d.letterSpacing = numberSetting(m, v, nullptr); }},
    // Only the exact words count; anything else is a block.
    {"display", [](Machine&, const TextFormatData& d) { return Value(d.display); },
     [](Machine& m, TextFormatData& d, const Value& v) {
         std::string display = v.isNullish() ? std::string() : m.toString(v);
         d.display = display == "inline" || display == "none" ? display : "block";
     }},
};

constexpr size_t kSettingCount = std::size(kSettings);

template <size_t I>
Value textFormatGet(Machine& m, Value self, std::span<const Value>)
{
    const TextFormatData* d = dataOf(self);
    return d ? kSettings[I].get(m, *d) : Value();
}

template <size_t I>
Value textFormatSet(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFormatData* d = dataOf(self))
        kSettings[I].set(m, *d, arg(args, 0));
    return Value();
}

template <size_t... I>
constexpr std::array<NativeFn, sizeof...(I)> settingGetters(std::index_sequence<I...>)
{
    return {&textFormatGet<I>...};
}

template <size_t... I>
constexpr std::array<NativeFn, sizeof...(I)> settingSetters(std::index_sequence<I...>)
{
    return {&textFormatSet<I>...};
}

constexpr auto kGetters = settingGetters(std::make_index_sequence<kSettingCount>());
constexpr auto kSetters = settingSetters(std::make_index_sequence<kSettingCount>());

// The constructor's arguments, in order; the rest start unset.
constexpr const char* kConstructorOrder[] = {"font", "size", "color", "bold", "italic", "underline", "url",
                                             "target", "align", "leftMargin", "rightMargin", "indent", "leading"};

Value textFormatConstruct(Machine& m, Value self, std::span<const Value> args)
{
    auto* format = m.make<TextFormatObject>(m.protos().named("TextFormat"));
    RootedValues held(m, {Value(format)});
    for (size_t i = 0; i < std::size(kConstructorOrder) && i < args.size(); ++i) {
        std::string_view name = kConstructorOrder[i];
        // The constructor takes sizes, margins, indent and leading as 32-bit integers,
        // cut toward zero and not kept from going negative, unlike the setters.
        if (name == "size" || name == "leftMargin" || name == "rightMargin" || name == "indent"
            || name == "leading") {
            std::optional<double> n;
            if (!args[i].isNullish())
                n = static_cast<double>(m.toInt32(args[i]));
            TextFormatData& d = format->data;
            (name == "size" ? d.size : name == "leftMargin" ? d.leftMargin : name == "rightMargin" ? d.rightMargin
                 : name == "indent" ? d.indent : d.leading) = n;
            continue;
        }
        for (const Setting& s : kSettings) {
            if (name == s.name)
                s.set(m, format->data, args[i]);
        }
    }
    // Run on an existing object (a subclass's super()), TextFormat makes it a format in
    // place.
    return adoptState(m, self, format);
}

// getTextExtent(text [, width]): how large `text` lays out in this format, on one line
// or wrapped to `width` pixels. The answer is a bare object (no prototype) holding
// the measures, or undefined where text cannot be measured.
Value textFormatGetTextExtent(Machine& m, Value self, std::span<const Value> args)
{
    const TextFormatData* d = dataOf(self);
    if (!d || args.empty())
        return Value();
    const std::string text = m.toString(args[0]);
    std::optional<double> width;
    if (args.size() > 1 && !args[1].isUndefined()) {
        const double w = m.toNumber(args[1]);
        if (std::isfinite(w))
            width = std::max(0.0, std::trunc(w));
    }
    const std::optional<TextExtent> extent = m.measureText(*d, text, width);
    if (!extent)
        return Value();
    Object* out = m.make<Object>(nullptr);
    const std::pair<const char*, double> members[] = {
        {"ascent", extent->ascent},          {"descent", extent->descent},
        {"width", extent->width},            {"height", extent->height},
        {"textFieldHeight", extent->fieldHeight}, {"textFieldWidth", extent->fieldWidth},
    };
    for (const auto& [name, value] : members)
        m.setMember(Value(out), name, Value(value));
    return Value(out);
}

const NativeMethod kTextFormatMethods[] = {
    {"getTextExtent", textFormatGetTextExtent},
};

} // namespace

Object* newTextFormat(Machine& m, TextFormatData data)
{
    auto* format = m.make<TextFormatObject>(m.protos().named("TextFormat"));
    format->data = std::move(data);
    return format;
}

void installTextFormatClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("TextFormat", proto);
    m.newClass("TextFormat", proto, textFormatConstruct, textFormatConstruct);
    for (size_t i = 0; i < kSettingCount; ++i) {
        Property& p = proto->ensure(kSettings[i].name);
        p.getter = m.newNativeFunction(kSettings[i].name, kGetters[i]);
        p.setter = m.newNativeFunction(kSettings[i].name, kSetters[i]);
    }
    defineMethods(m, proto, kTextFormatMethods);
}

} // namespace swf::avm1
