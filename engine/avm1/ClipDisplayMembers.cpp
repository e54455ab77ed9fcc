#include "engine/avm1/ClipDisplayMembers.h"

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/FilterObject.h"
#include "engine/avm1/Machine.h"

#include <array>

namespace swf::avm1 {

namespace {

constexpr std::array<std::pair<BlendMode, std::string_view>, 14> kBlendModeNames = {{
    {BlendMode::Normal, "normal"},
    {BlendMode::Layer, "layer"},
    {BlendMode::Multiply, "multiply"},
    {BlendMode::Screen, "screen"},
    {BlendMode::Lighten, "lighten"},
    {BlendMode::Darken, "darken"},
    {BlendMode::Difference, "difference"},
    {BlendMode::Add, "add"},
    {BlendMode::Subtract, "subtract"},
    {BlendMode::Invert, "invert"},
    {BlendMode::Alpha, "alpha"},
    {BlendMode::Erase, "erase"},
    {BlendMode::Overlay, "overlay"},
    {BlendMode::HardLight, "hardlight"},
}};

std::string_view blendModeName(BlendMode mode)
{
    for (const auto& [value, name] : kBlendModeNames) {
        if (value == mode)
            return name;
    }
    return "normal";
}

Value filterList(Machine& m, ClipHost& host)
{
    RootedValues items(m);
    for (const Filter& f : host.filters())
        items.push_back(Value(fromRenderFilter(m, f)));
    return Value(m.newArray(items));
}

void setFilterList(Machine& m, ClipHost& host, const Value& v)
{
    Object* list = v.asObject();
    if (!list)
        return;
    std::vector<Filter> filters;
    const uint32_t length = std::min<uint32_t>(m.arrayLength(list), 1000);
    for (uint32_t i = 0; i < length; ++i) {
        if (FilterObject* f = filterOf(m.arrayGet(list, i))) {
            if (auto record = toRenderFilter(*f))
                filters.push_back(std::move(*record));
        }
    }
    host.setFilters(std::move(filters));
}

} // namespace

// A mode by name, or by its number (1 normal .. 14 hardlight); nullopt for neither.
std::optional<BlendMode> blendModeOf(Machine& m, const Value& v)
{
    if (v.isNumber()) {
        const double n = v.asNumber();
        if (n >= 1 && n <= 14 && n == static_cast<int>(n))
            return blendModeFromByte(static_cast<uint8_t>(n));
        return std::nullopt;
    }
    const std::string name = m.toString(v);
    for (const auto& [value, text] : kBlendModeNames) {
        if (text == name)
            return value;
    }
    return std::nullopt;
}

bool getClipDisplayMember(Machine& m, Object* clip, ClipHost& host, std::string_view name, Value& out)
{
    if (m.version() < 8)
        return false;
    if (name == "filters")
        out = filterList(m, host);
    else if (name == "blendMode")
        out = Value(std::string(blendModeName(host.blendMode())));
    else if (name == "cacheAsBitmap")
        out = Value(host.cacheAsBitmap());
    else if (name == "transform")
        out = Value(newTransform(m, clip));
    else
        return false;
    return true;
}

bool setClipDisplayMember(Machine& m, ClipHost& host, std::string_view name, const Value& value)
{
    if (m.version() < 8)
        return false;
    if (name == "filters") {
        setFilterList(m, host, value);
    } else if (name == "blendMode") {
        if (auto mode = blendModeOf(m, value))
            host.setBlendMode(*mode);
    } else if (name == "cacheAsBitmap") {
        host.setCacheAsBitmap(m.toBoolean(value));
    } else if (name == "transform") {
        // Another clip's transform copies its matrix and colours; anything else is ignored.
        Object* t = value.asObject();
        if (!t)
            return true;
        const Value matrix = m.getMember(value, "matrix");
        const Value colors = m.getMember(value, "colorTransform");
        if (matrix.isObject() && colors.isObject()) {
            m.setMember(Value(newTransform(m, host.scriptObject())), "matrix", matrix);
            m.setMember(Value(newTransform(m, host.scriptObject())), "colorTransform", colors);
        }
    } else {
        return false;
    }
    return true;
}

} // namespace swf::avm1
