// TextField: the field properties as getter/setters on TextField.prototype, the display
// properties shared with clips, getDepth and removeTextField, and the MovieClip method
// that makes fields. Everything is forwarded to the field's host; a field that has gone
// answers undefined and ignores writes.

#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/avm1/TextFieldHost.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cmath>
#include <optional>

namespace swf::avm1 {

namespace {

using support::equalsNoCase;

// The properties the field's host answers, in TextFieldProperty's order.
constexpr std::array<std::string_view, 25> kPropertyNames = {
    "text", "htmlText", "html", "textColor", "border", "borderColor", "background", "backgroundColor", "multiline",
    "wordWrap", "password", "maxChars", "selectable", "type", "variable", "length", "autoSize", "embedFonts",
    "scroll", "maxscroll", "bottomScroll", "hscroll", "maxhscroll", "textWidth", "textHeight"};

// Every accessor of TextField.prototype, in the order it is made: for..in lists them
// from the last, as the reference player does.
constexpr std::string_view kPrototypeOrder[] = {
    "gridFitType", "antiAliasType", "thickness", "sharpness", "filters", "scroll", "maxscroll", "borderColor",
    "backgroundColor", "textColor", "tabIndex", "autoSize", "text", "type", "htmlText", "variable", "hscroll",
    "maxhscroll", "maxChars", "embedFonts", "html", "border", "background", "wordWrap", "password", "multiline",
    "selectable", "length", "bottomScroll", "textWidth", "textHeight", "restrict", "condenseWhite",
    "mouseWheelEnabled", "styleSheet"};

// Depths scripts give are offset from the timeline's, which start at -16384.
constexpr int kScriptDepthOffset = 16384;

// Fields, as clips, tell where the pointer is in their own space (_xmouse, _ymouse).
bool isPointerProperty(ClipProperty property)
{
    return property == ClipProperty::XMouse || property == ClipProperty::YMouse;
}

TextFieldHost* host(const Value& self)
{
    return textFieldHost(self.asObject());
}

} // namespace

std::optional<TextFieldProperty> textFieldPropertyByName(std::string_view name)
{
    for (size_t i = 0; i < kPropertyNames.size(); ++i) {
        if (kPropertyNames[i] == name)
            return static_cast<TextFieldProperty>(i);
    }
    return std::nullopt;
}

std::string_view textFieldPropertyName(TextFieldProperty property)
{
    return kPropertyNames[static_cast<size_t>(property)];
}

std::optional<Value> textFieldDisplayMember(Object* field, std::string_view name)
{
    if (name.empty() || name[0] != '_')
        return std::nullopt;
    if (equalsNoCase(name, "_parent")) {
        TextFieldHost* host = textFieldHost(field);
        Object* parent = host ? host->parentObject() : nullptr;
        return parent ? Value(parent) : Value();
    }
    auto property = clipPropertyByName(name);
    if (!property || !(isPlacedObjectProperty(*property) || isPointerProperty(*property)))
        return std::nullopt;
    TextFieldHost* host = textFieldHost(field);
    return host ? host->getDisplayProperty(*property) : Value();
}

bool setTextFieldDisplayMember(Object* field, std::string_view name, const Value& value)
{
    if (name.empty() || name[0] != '_')
        return false;
    if (equalsNoCase(name, "_parent"))
        return true;  // read-only
    auto property = clipPropertyByName(name);
    if (!property || !(isPlacedObjectProperty(*property) || isPointerProperty(*property)))
        return false;
    if (isPointerProperty(*property))
        return true;  // read-only
    if (TextFieldHost* host = textFieldHost(field); host && *property != ClipProperty::Target)
        host->setDisplayProperty(*property, value);
    return true;
}

namespace {

Value textFieldGetDepth(Machine&, Value self, std::span<const Value>)
{
    TextFieldHost* field = host(self);
    return field ? Value(static_cast<double>(field->depth() - kScriptDepthOffset)) : Value();
}

Value textFieldRemoveTextField(Machine&, Value self, std::span<const Value>)
{
    if (TextFieldHost* field = host(self))
        field->remove();  // destroys the host: nothing may touch it afterwards
    return Value();
}

// The character range a getTextFormat/setTextFormat call names: none, the whole
// text; one index, that character; two, from the first up to the second. Indices are
// clamped to the text; a range that is empty or reversed is nullopt.
std::optional<std::pair<size_t, size_t>> formatRange(Machine& m, TextFieldHost& field, std::span<const Value> args)
{
    const size_t length = field.length();
    auto index = [&](const Value& v) {
        double n = m.toNumber(v);
        if (std::isnan(n) || n < 0)
            return size_t(0);
        return static_cast<size_t>(std::min(n, static_cast<double>(length)));
    };
    size_t begin = 0;
    size_t end = length;
    if (!args.empty() && !args[0].isUndefined())
        begin = index(args[0]);
    if (args.size() >= 2 && !args[1].isUndefined())
        end = index(args[1]);
    else if (!args.empty() && !args[0].isUndefined())
        end = std::min(begin + 1, length);
    if (begin > end)
        return std::nullopt;
    return std::make_pair(begin, end);
}

Value textFieldGetTextFormat(Machine& m, Value self, std::span<const Value> args)
{
    TextFieldHost* field = host(self);
    if (!field)
        return Value();
    auto range = formatRange(m, *field, args);
    if (!range)
        return Value(newTextFormat(m, field->newTextFormat()));
    return Value(newTextFormat(m, field->textFormat(range->first, range->second)));
}

// setTextFormat([begin, [end,]] format): the format is the last argument.
Value textFieldSetTextFormat(Machine& m, Value self, std::span<const Value> args)
{
    TextFieldHost* field = host(self);
    if (!field || args.empty())
        return Value();
    const TextFormatData* format = textFormatData(args.back());
    if (!format)
        return Value();
    auto range = formatRange(m, *field, args.first(args.size() - 1));
    if (range && range->first < range->second)
        field->setTextFormat(range->first, range->second, *format);
    return Value();
}

Value textFieldGetNewTextFormat(Machine& m, Value self, std::span<const Value>)
{
    TextFieldHost* field = host(self);
    return field ? Value(newTextFormat(m, field->newTextFormat())) : Value();
}

Value textFieldSetNewTextFormat(Machine&, Value self, std::span<const Value> args)
{
    TextFieldHost* field = host(self);
    const TextFormatData* format = textFormatData(arg(args, 0));
    if (field && format)
        field->setNewTextFormat(*format);
    return Value();
}

// replaceSel(text): the field's selection becomes `text`.
Value textFieldReplaceSel(Machine& m, Value self, std::span<const Value> args)
{
    TextFieldHost* field = host(self);
    if (field && !args.empty())
        field->replaceSelection(m.toString(args[0]));
    return Value();
}

// new TextField() makes nothing: fields come from the timeline and createTextField.
Value textFieldConstruct(Machine& m, Value self, std::span<const Value>)
{
    markNativeState(m, self);
    return self;
}

template <size_t I>
Value textFieldGetProperty(Machine&, Value self, std::span<const Value>)
{
    TextFieldHost* field = host(self);
    return field ? field->get(static_cast<TextFieldProperty>(I)) : Value();
}

template <size_t I>
Value textFieldSetProperty(Machine&, Value self, std::span<const Value> args)
{
    if (TextFieldHost* field = host(self))
        field->set(static_cast<TextFieldProperty>(I), arg(args, 0));
    return Value();
}

template <size_t... I>
constexpr std::array<NativeFn, sizeof...(I)> propertyGetters(std::index_sequence<I...>)
{
    return {&textFieldGetProperty<I>...};
}

template <size_t... I>
constexpr std::array<NativeFn, sizeof...(I)> propertySetters(std::index_sequence<I...>)
{
    return {&textFieldSetProperty<I>...};
}

// One getter and one setter per property, as named functions over its index.
constexpr auto kPropertyGetters = propertyGetters(std::make_index_sequence<kPropertyNames.size()>());
constexpr auto kPropertySetters = propertySetters(std::make_index_sequence<kPropertyNames.size()>());

// ---- Settings kept on the script side ----

TextFieldScriptSettings* settingsOf(const Value& self)
{
    TextFieldObject* field = self.asObject() ? self.asObject()->as<TextFieldObject>() : nullptr;
    return field && field->host() ? &field->settings : nullptr;
}

Value getRestrict(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? s->restrict : Value();
}

// Null, undefined or an empty text lift the restriction.
Value setRestrict(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self)) {
        const Value v = arg(args, 0);
        std::string text = v.isNullish() ? std::string() : m.toString(v);
        s->restrict = text.empty() ? Value(Null{}) : Value(std::move(text));
    }
    return Value();
}

Value getCondenseWhite(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? Value(s->condenseWhite) : Value();
}

Value setCondenseWhite(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self))
        s->condenseWhite = m.toBoolean(arg(args, 0));
    return Value();
}

Value getMouseWheelEnabled(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? Value(s->mouseWheelEnabled) : Value();
}

Value setMouseWheelEnabled(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self))
        s->mouseWheelEnabled = m.toBoolean(arg(args, 0));
    return Value();
}

Value getStyleSheet(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? s->styleSheet : Value();
}

// Only an object (a StyleSheet) is kept; anything else, a movie clip too, clears it.
// Giving a field a sheet (the one it has, too) styles the markup it was last given
// under a sheet afresh, with the styles the sheet holds now.
Value setStyleSheet(Machine&, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self)) {
        Object* sheet = arg(args, 0).asObject();
        s->styleSheet = sheet && !sheet->as<MovieClipObject>() ? Value(sheet) : Value();
        if (s->styleSheet.isObject() && s->styledSource) {
            if (TextFieldHost* host = textFieldHost(self.asObject()))
                host->set(TextFieldProperty::HtmlText, Value(std::string(*s->styledSource)));
        }
    }
    return Value();
}

Value getTabIndex(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? s->tabIndex : Value();
}

Value setTabIndex(Machine&, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self))
        s->tabIndex = arg(args, 0);
    return Value();
}

// A copy of the list each time, as clips' filters are read.
Value getFilters(Machine& m, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    if (!s)
        return Value();
    if (!s->filters.isObject())
        return Value(m.newArray());
    return m.callMethod(s->filters, "concat", {});
}

Value setFilters(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self)) {
        const Value v = arg(args, 0);
        s->filters = v.isObject() ? m.callMethod(v, "concat", {}) : Value();
    }
    return Value();
}

Value getSharpness(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? Value(s->sharpness) : Value();
}

// Sharpness is kept as written (the recorded player reads 500 back, past the -400 to
// 400 its renderer uses); thickness runs from -200 to 200. NaN leaves them.
Value setSharpness(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self)) {
        const double n = m.toNumber(arg(args, 0));
        if (!std::isnan(n))
            s->sharpness = n;
    }
    return Value();
}

Value getThickness(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? Value(s->thickness) : Value();
}

Value setThickness(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self)) {
        const double n = m.toNumber(arg(args, 0));
        if (!std::isnan(n))
            s->thickness = std::clamp(n, -200.0, 200.0);
    }
    return Value();
}

Value getAntiAliasType(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? Value(s->antiAliasType) : Value();
}

// Only the names the player knows are taken.
Value setAntiAliasType(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self)) {
        const std::string v = m.toString(arg(args, 0));
        if (v == "normal" || v == "advanced")
            s->antiAliasType = v;
    }
    return Value();
}

Value getGridFitType(Machine&, Value self, std::span<const Value>)
{
    TextFieldScriptSettings* s = settingsOf(self);
    return s ? Value(s->gridFitType) : Value();
}

Value setGridFitType(Machine& m, Value self, std::span<const Value> args)
{
    if (TextFieldScriptSettings* s = settingsOf(self)) {
        const std::string v = m.toString(arg(args, 0));
        if (v == "none" || v == "pixel" || v == "subpixel")
            s->gridFitType = v;
    }
    return Value();
}

struct ScriptSideProperty {
    std::string_view name;
    NativeFn get, set;
};

const ScriptSideProperty kScriptSideProperties[] = {
    {"restrict", getRestrict, setRestrict},
    {"condenseWhite", getCondenseWhite, setCondenseWhite},
    {"mouseWheelEnabled", getMouseWheelEnabled, setMouseWheelEnabled},
    {"styleSheet", getStyleSheet, setStyleSheet},
    {"tabIndex", getTabIndex, setTabIndex},
    {"filters", getFilters, setFilters},
    {"sharpness", getSharpness, setSharpness},
    {"thickness", getThickness, setThickness},
    {"antiAliasType", getAntiAliasType, setAntiAliasType},
    {"gridFitType", getGridFitType, setGridFitType},
};

// replaceText(begin, end, text): the characters from begin up to end become `text`;
// the selection stays where it was.
Value textFieldReplaceText(Machine& m, Value self, std::span<const Value> args)
{
    TextFieldHost* field = host(self);
    if (!field || args.size() < 3)
        return Value();
    const double length = static_cast<double>(field->length());
    auto index = [&m, length](const Value& v) {
        const double n = m.toNumber(v);
        return static_cast<int>(std::isnan(n) ? 0.0 : std::clamp(n, 0.0, length));
    };
    const int begin = index(args[0]);
    const int end = std::max(begin, index(args[1]));
    const TextFieldHost::Selection saved = field->selection();
    field->setSelection(begin, end);
    field->replaceSelection(m.toString(args[2]));
    if (saved.begin >= 0) {
        const int anchor = saved.caret == saved.begin ? saved.end : saved.begin;
        field->setSelection(anchor, saved.caret);
    }
    return Value();
}

// MovieClip.prototype.createTextField(name, depth, x, y, width, height).
Value movieClipCreateTextField(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* clip = clipHost(self.asObject());
    if (!clip || args.size() < 6)
        return Value();
    // Pixels; what is not a number counts as 0, and sizes stay within what twips in
    // 32 bits can hold.
    auto pixels = [&m](const Value& v) {
        double n = m.toNumber(v);
        return std::isfinite(n) ? std::clamp(n, -1e7, 1e7) : 0.0;
    };
    double depth = m.toNumber(args[1]);
    if (std::isnan(depth))
        return Value();
    int at = static_cast<int>(std::clamp(depth, -1e9, 1e9)) + kScriptDepthOffset;
    Object* field = clip->createTextField(m.toString(args[0]), at, pixels(args[2]), pixels(args[3]),
                                          pixels(args[4]), pixels(args[5]));
    // Movies from version 8 on get the new field back.
    return field && m.version() >= 8 ? Value(field) : Value();
}

const NativeMethod kMovieClipTextMethods[] = {
    {"createTextField", movieClipCreateTextField},
};

const NativeMethod kTextFieldMethods[] = {
    {"getDepth", textFieldGetDepth},
    {"removeTextField", textFieldRemoveTextField},
    {"getTextFormat", textFieldGetTextFormat},
    {"setTextFormat", textFieldSetTextFormat},
    {"getNewTextFormat", textFieldGetNewTextFormat},
    {"setNewTextFormat", textFieldSetNewTextFormat},
    {"replaceSel", textFieldReplaceSel},
    // Movies from version 8 on have replaceText.
    {"replaceText", textFieldReplaceText, PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::Version8},
};

} // namespace

void installTextFieldClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().textField = proto;
    m.newClass("TextField", proto, textFieldConstruct);

    // Each property is an accessor pair on the prototype.
    for (std::string_view name : kPrototypeOrder) {
        NativeFn get = nullptr, set = nullptr;
        if (auto property = textFieldPropertyByName(name)) {
            get = kPropertyGetters[static_cast<size_t>(*property)];
            set = kPropertySetters[static_cast<size_t>(*property)];
        } else {
            for (const ScriptSideProperty& own : kScriptSideProperties) {
                if (own.name == name) {
                    get = own.get;
                    set = own.set;
                }
            }
        }
        if (!get)
            continue;
        // The display settings of version 8 are, for older movies, names on the
        // prototype with nothing behind them.
        if (m.version() < 8
            && (name == "filters" || name == "sharpness" || name == "thickness" || name == "antiAliasType"
                || name == "gridFitType")) {
            proto->put(name, Value());
            continue;
        }
        Property& p = proto->ensure(name);
        p.getter = m.newNativeFunction(std::string(name), get);
        p.setter = m.newNativeFunction(std::string(name), set);
    }

    defineMethods(m, proto, kTextFieldMethods);
    // Fields broadcast their events (onChanged, onScroller) with AsBroadcaster's own
    // functions; each field is made its own first listener.
    if (const Property* broadcaster = m.global()->findOwn("AsBroadcaster")) {
        for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
            proto->put(name, m.getMember(broadcaster->value, name), PropertyFlag::DontEnum);
    }

    defineMethods(m, m.protos().movieClip, kMovieClipTextMethods);
}

} // namespace swf::avm1
