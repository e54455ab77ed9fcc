#include "engine/avm1/ClipDisplayMembers.h"

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/FilterObject.h"
#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"

#include <algorithm>
#include <array>
#include <cmath>

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

// The scroll window as a Rectangle in pixels; undefined without one.
Value scrollRectValue(Machine& m, ClipHost& host)
{
    const std::optional<Rect> window = host.scrollRect();
    if (!window)
        return Value();
    const double px = 1.0 / kTwipsPerPixel;
    return Value(newRectangle(m, window->xMin * px, window->yMin * px, window->width() * px, window->height() * px));
}

// A rectangle (anything with x, y, width and height) opens a window of it, in pixels;
// anything else closes it.
void setScrollRect(Machine& m, ClipHost& host, const Value& value)
{
    if (!value.isObject()) {
        host.setScrollRect(std::nullopt);
        return;
    }
    const RectValue r = readRect(m, value);
    auto twips = [](double px) {
        const double t = std::round(px * kTwipsPerPixel);
        return std::isfinite(t) ? static_cast<int32_t>(std::clamp(t, -1e9, 1e9)) : 0;
    };
    const int32_t x = twips(r.x), y = twips(r.y);
    const int32_t w = std::max(0, twips(r.width)), h = std::max(0, twips(r.height));
    host.setScrollRect(Rect{x, x + w, y, y + h});
}

// The background colour as 0xRRGGBB; undefined without one.
Value opaqueBackgroundValue(ClipHost& host)
{
    const std::optional<Rgba> c = host.opaqueBackground();
    if (!c)
        return Value();
    return Value(static_cast<double>((uint32_t(c->r) << 16) | (uint32_t(c->g) << 8) | c->b));
}

// A colour number fills the clip's bounds beneath it; undefined or null takes it away.
void setOpaqueBackground(Machine& m, ClipHost& host, const Value& value)
{
    if (value.isNullish()) {
        host.setOpaqueBackground(std::nullopt);
        return;
    }
    const uint32_t rgb = static_cast<uint32_t>(m.toInt32(value));
    host.setOpaqueBackground(Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255});
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

bool isClipDisplayMember(const Machine& m, std::string_view name)
{
    return m.version() >= 8 && (name == "filters" || name == "blendMode" || name == "cacheAsBitmap" ||
                                name == "scrollRect" || name == "opaqueBackground" || name == "transform");
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
    else if (name == "scrollRect")
        out = scrollRectValue(m, host);
    else if (name == "opaqueBackground")
        out = opaqueBackgroundValue(host);
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
    } else if (name == "scrollRect") {
        setScrollRect(m, host, value);
    } else if (name == "opaqueBackground") {
        setOpaqueBackground(m, host, value);
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
