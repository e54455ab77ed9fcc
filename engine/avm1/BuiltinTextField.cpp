// TextField: the field properties as getter/setters on TextField.prototype, the display
// properties shared with clips, getDepth and removeTextField, and the MovieClip method
// that makes fields. Everything is forwarded to the field's host; a field that has gone
// answers undefined and ignores writes.

#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/avm1/TextFieldHost.h"

#include <array>
#include <cctype>
#include <cmath>

namespace swf::avm1 {

namespace {

constexpr std::array<std::string_view, 18> kPropertyNames = {
    "text", "htmlText", "html", "textColor", "border", "borderColor", "background", "backgroundColor", "multiline",
    "wordWrap", "password", "maxChars", "selectable", "type", "variable", "length", "autoSize", "embedFonts"};

// Depths scripts give are offset from the timeline's, which start at -16384.
constexpr int kScriptDepthOffset = 16384;

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The clip display properties a field has too.
bool fieldHasDisplayProperty(ClipProperty property)
{
    using P = ClipProperty;
    switch (property) {
    case P::X: case P::Y: case P::XScale: case P::YScale: case P::Alpha: case P::Visible: case P::Width:
    case P::Height: case P::Rotation: case P::Target: case P::Name:
        return true;
    default:
        return false;
    }
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
    if (!property || !fieldHasDisplayProperty(*property))
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
    if (!property || !fieldHasDisplayProperty(*property))
        return false;
    if (TextFieldHost* host = textFieldHost(field); host && *property != ClipProperty::Target)
        host->setDisplayProperty(*property, value);
    return true;
}

void installTextFieldClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().textField = proto;
    m.newClass("TextField", proto, [](Machine&, Value self, std::span<const Value>) -> Value { return self; });

    for (size_t i = 0; i < kPropertyNames.size(); ++i) {
        const auto property = static_cast<TextFieldProperty>(i);
        Object* getter = m.newNativeFunction(std::string(kPropertyNames[i]), [property](Machine&, Value self, std::span<const Value>) -> Value {
            TextFieldHost* field = host(self);
            return field ? field->get(property) : Value();
        });
        Object* setter = m.newNativeFunction(std::string(kPropertyNames[i]), [property](Machine&, Value self, std::span<const Value> args) -> Value {
            if (TextFieldHost* field = host(self))
                field->set(property, arg(args, 0));
            return Value();
        });
        Property& p = proto->ensure(kPropertyNames[i]);
        p.getter = getter;
        p.setter = setter;
    }

    m.defineMethod(proto, "getDepth", [](Machine&, Value self, std::span<const Value>) -> Value {
        TextFieldHost* field = host(self);
        return field ? Value(static_cast<double>(field->depth() - kScriptDepthOffset)) : Value();
    });
    m.defineMethod(proto, "removeTextField", [](Machine&, Value self, std::span<const Value>) -> Value {
        if (TextFieldHost* field = host(self))
            field->remove();  // destroys the host: nothing may touch it afterwards
        return Value();
    });

    // MovieClip.prototype.createTextField(name, depth, x, y, width, height).
    m.defineMethod(m.protos().movieClip, "createTextField", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        ClipHost* clip = clipHost(self.asObject());
        if (!clip || args.size() < 6)
            return Value();
        // Pixels; what is not a number counts as 0, and sizes stay within what twips in
        // 32 bits can hold.
        auto pixels = [&mm](const Value& v) {
            double n = mm.toNumber(v);
            return std::isfinite(n) ? std::clamp(n, -1e7, 1e7) : 0.0;
        };
        double depth = mm.toNumber(args[1]);
        if (std::isnan(depth))
            return Value();
        int at = static_cast<int>(std::clamp(depth, -1e9, 1e9)) + kScriptDepthOffset;
        Object* field = clip->createTextField(mm.toString(args[0]), at, pixels(args[2]), pixels(args[3]),
                                              pixels(args[4]), pixels(args[5]));
        // Movies from version 8 on get the new field back.
        return field && mm.version() >= 8 ? Value(field) : Value();
    });
}

} // namespace swf::avm1
