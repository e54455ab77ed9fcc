#include "engine/avm1/FilterObject.h"

#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"
#include "engine/avm1/ScriptBitmaps.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace swf::avm1 {

namespace {

constexpr size_t kMaxGradientStops = 16;
constexpr int kMaxConvolutionSide = 15;

const char* className(ScriptFilterKind kind)
{
    switch (kind) {
    case ScriptFilterKind::Blur: return "BlurFilter";
    case ScriptFilterKind::DropShadow: return "DropShadowFilter";
    case ScriptFilterKind::Glow: return "GlowFilter";
    case ScriptFilterKind::Bevel: return "BevelFilter";
    case ScriptFilterKind::GradientGlow: return "GradientGlowFilter";
    case ScriptFilterKind::GradientBevel: return "GradientBevelFilter";
    case ScriptFilterKind::ColorMatrix: return "ColorMatrixFilter";
    case ScriptFilterKind::Convolution: return "ConvolutionFilter";
    case ScriptFilterKind::DisplacementMap: return "DisplacementMapFilter";
    }
    return "BitmapFilter";
}

ScriptFilterSettings defaultsFor(ScriptFilterKind kind)
{
    ScriptFilterSettings s;
    switch (kind) {
    case ScriptFilterKind::Glow:
        s.color = 0xFF0000;
        s.blurX = s.blurY = 6;
        s.strength = 2;
        break;
    case ScriptFilterKind::ColorMatrix:
        s.matrix = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
        break;
    case ScriptFilterKind::Convolution:
    case ScriptFilterKind::DisplacementMap:
        s.alpha = 0;
        break;
    default:
        break;
    }
    return s;
}

double clampNumber(double v, double low, double high)
{
    return std::isnan(v) ? low : std::clamp(v, low, high);
}

// Alpha as a byte, the fraction truncated (0.5 keeps 127).
uint8_t alphaByte(double v)
{
    return static_cast<uint8_t>(clampNumber(v, 0, 1) * 255);
}

Value alphaValue(uint8_t a)
{
    return Value(a / 255.0);
}

// An array's (or a string's) length and items; a number or null has none.
std::vector<Value> listItems(Machine& m, const Value& v, size_t limit)
{
    std::vector<Value> items;
    if (!v.isObject() && !v.isString())
        return items;
    const double length = m.toNumber(m.getMember(v, "length"));
    if (!(length > 0))
        return items;
    const size_t count = std::min(static_cast<size_t>(std::min(length, 1e6)), limit);
    for (size_t i = 0; i < count; ++i)
        items.push_back(v.isObject() ? m.getMember(v, std::to_string(i)) : Value());
    return items;
}

Value numberArray(Machine& m, const std::vector<double>& values)
{
    std::vector<Value> items;
    for (double d : values)
        items.emplace_back(d);
    return Value(m.newArray(items));
}

void setConvolutionSide(ScriptFilterSettings& s, int& side, int value)
{
    side = std::clamp(value, 0, kMaxConvolutionSide);
    // The weights grow to fill the new size; they never shrink.
    const size_t needed = static_cast<size_t>(s.matrixX) * static_cast<size_t>(s.matrixY);
    if (s.matrix.size() < needed)
        s.matrix.resize(needed, 0);
}

const std::string* typeName(const std::string& t)
{
    static const std::string names[] = {"inner", "outer", "full"};
    for (const std::string& n : names) {
        if (n == t)
            return &n;
    }
    return nullptr;
}

Value filterGet(Machine& m, FilterObject& f, std::string_view name)
{
    const ScriptFilterSettings& s = f.settings;
    const bool bevel = f.kind == ScriptFilterKind::Bevel;
    if (name == "blurX")
        return Value(s.blurX);
    if (name == "blurY")
        return Value(s.blurY);
    if (name == "quality")
        return Value(s.quality);
    if (name == "distance")
        return Value(s.distance);
    if (name == "angle")
        return Value(s.angle * 180 / std::numbers::pi);
    if (name == "color" || (bevel && name == "shadowColor"))
        return Value(static_cast<double>(s.color));
    if (name == "alpha" || (bevel && name == "shadowAlpha"))
        return alphaValue(s.alpha);
    if (name == "highlightColor")
        return Value(static_cast<double>(s.highlightColor));
    if (name == "highlightAlpha")
        return alphaValue(s.highlightAlpha);
    if (name == "strength")
        return Value(s.strength);
    if (name == "inner")
        return Value(s.inner);
    if (name == "knockout")
        return Value(s.knockout);
    if (name == "hideObject")
        return Value(s.hideObject);
    if (name == "type")
        return Value(s.type);
    if (name == "colors" || name == "alphas" || name == "ratios") {
        std::vector<double> v;
        for (size_t i = 0; i < s.stops; ++i)
            v.push_back(name == "colors" ? s.colors[i] : name == "alphas" ? s.alphas[i] / 255.0 : s.ratios[i]);
        return numberArray(m, v);
    }
    if (name == "matrix")
        return numberArray(m, s.matrix);
    if (name == "matrixX")
        return Value(s.matrixX);
    if (name == "matrixY")
        return Value(s.matrixY);
    if (name == "divisor")
        return Value(s.divisor);
    if (name == "bias")
        return Value(s.bias);
    if (name == "preserveAlpha")
        return Value(s.preserveAlpha);
    if (name == "clamp")
        return Value(s.clamp);
    if (name == "mapBitmap")
        return s.mapBitmap ? Value(s.mapBitmap) : Value();
    if (name == "mapPoint")
        return Value(newPoint(m, s.mapPointX, s.mapPointY));
    if (name == "componentX")
        return Value(s.componentX);
    if (name == "componentY")
        return Value(s.componentY);
    if (name == "scaleX")
        return Value(s.scaleX);
    if (name == "scaleY")
        return Value(s.scaleY);
    if (name == "mode")
        return Value(s.mode);
    return Value();
}

void filterSet(Machine& m, FilterObject& f, std::string_view name, const Value& v)
{
    ScriptFilterSettings& s = f.settings;
    const bool bevel = f.kind == ScriptFilterKind::Bevel;
    const bool gradient = f.kind == ScriptFilterKind::GradientGlow || f.kind == ScriptFilterKind::GradientBevel;
    auto color = [&] { return static_cast<uint32_t>(m.toInt32(v)) & 0xFFFFFF; };
    if (name == "blurX")
        s.blurX = clampNumber(m.toNumber(v), 0, 255);
    else if (name == "blurY")
        s.blurY = clampNumber(m.toNumber(v), 0, 255);
    else if (name == "quality")
        s.quality = std::clamp(m.toInt32(v), 0, 15);
    else if (name == "distance")
        s.distance = m.toNumber(v);
    else if (name == "angle") {
        const double degrees = std::fmod(m.toNumber(v), 360.0);
        s.angle = std::isfinite(degrees) ? degrees * std::numbers::pi / 180 : 0;
    } else if (name == "color" || (bevel && name == "shadowColor"))
        s.color = color();
    else if (name == "alpha" || (bevel && name == "shadowAlpha"))
        s.alpha = alphaByte(m.toNumber(v));
    else if (name == "highlightColor")
        s.highlightColor = color();
    else if (name == "highlightAlpha")
        s.highlightAlpha = alphaByte(m.toNumber(v));
    else if (name == "strength")
        s.strength = clampNumber(m.toNumber(v), 0, 255);
    else if (name == "inner")
        s.inner = m.toBoolean(v);
    else if (name == "knockout")
        s.knockout = m.toBoolean(v);
    else if (name == "hideObject")
        s.hideObject = m.toBoolean(v);
    else if (name == "type") {
        const std::string* t = typeName(m.toString(v));
        s.type = t ? *t : "full";
    } else if (gradient && name == "colors") {
        // New colours set how many stops there are; the other lists follow.
        const std::vector<Value> items = listItems(m, v, kMaxGradientStops);
        s.stops = items.size();
        for (size_t i = 0; i < items.size(); ++i)
            s.colors[i] = static_cast<uint32_t>(m.toInt32(items[i])) & 0xFFFFFF;
    } else if (gradient && name == "alphas") {
        if (!v.isObject() && !v.isString())
            return;
        // Stops the list does not reach become opaque.
        const std::vector<Value> items = listItems(m, v, s.stops);
        for (size_t i = 0; i < s.stops; ++i)
            s.alphas[i] = i < items.size()
                              ? static_cast<uint8_t>(std::lround(clampNumber(m.toNumber(items[i]), 0, 1) * 255))
                              : 255;
    } else if (gradient && name == "ratios") {
        if (!v.isObject() && !v.isString())
            return;
        // Fewer ratios than colours cut every list to their number.
        const std::vector<Value> items = listItems(m, v, s.stops);
        s.stops = items.size();
        for (size_t i = 0; i < items.size(); ++i)
            s.ratios[i] = static_cast<uint8_t>(std::clamp(m.toInt32(items[i]), 0, 255));
    } else if (name == "matrix" && f.kind == ScriptFilterKind::ColorMatrix) {
        if (v.isNullish())
            return;
        for (size_t i = 0; i < 20; ++i)
            s.matrix[i] = m.toNumber(v.isObject() ? m.getMember(v, std::to_string(i)) : Value());
    } else if (name == "matrix") {
        if (v.isNullish())
            return;
        std::vector<double> weights;
        for (const Value& item : listItems(m, v, 1 << 16))
            weights.push_back(m.toNumber(item));
        const size_t needed = static_cast<size_t>(s.matrixX) * static_cast<size_t>(s.matrixY);
        if (weights.size() < needed)
            weights.resize(needed, 0);
        s.matrix = std::move(weights);
    } else if (name == "matrixX")
        setConvolutionSide(s, s.matrixX, m.toInt32(v));
    else if (name == "matrixY")
        setConvolutionSide(s, s.matrixY, m.toInt32(v));
    else if (name == "divisor")
        s.divisor = m.toNumber(v);
    else if (name == "bias")
        s.bias = m.toNumber(v);
    else if (name == "preserveAlpha")
        s.preserveAlpha = m.toBoolean(v);
    else if (name == "clamp")
        s.clamp = m.toBoolean(v);
    else if (name == "mapBitmap") {
        // Only a BitmapData is taken.
        Object* bitmap = v.asObject();
        Object* proto = m.protos().named("BitmapData");
        if (bitmap && proto && bitmap->proto() == proto)
            s.mapBitmap = bitmap;
    } else if (name == "mapPoint") {
        // Something short of a point (no x or no y) is the origin.
        const Value x = v.isObject() ? m.getMember(v, "x") : Value();
        const Value y = v.isObject() ? m.getMember(v, "y") : Value();
        const bool whole = !x.isUndefined() && !y.isUndefined();
        s.mapPointX = whole ? m.toInt32(x) : 0;
        s.mapPointY = whole ? m.toInt32(y) : 0;
    } else if (name == "componentX")
        s.componentX = m.toInt32(v);
    else if (name == "componentY")
        s.componentY = m.toInt32(v);
    else if (name == "scaleX")
        s.scaleX = clampNumber(m.toNumber(v), -65535, 65535);
    else if (name == "scaleY")
        s.scaleY = clampNumber(m.toNumber(v), -65535, 65535);
    else if (name == "mode") {
        const std::string mode = m.toString(v);
        s.mode = mode == "clamp" || mode == "ignore" || mode == "color" ? mode : "wrap";
    }
}

Value filterClone(Machine& m, Value self, std::span<const Value>)
{
    FilterObject* f = filterOf(self);
    return f ? Value(cloneFilter(m, *f)) : Value();
}

Rgba rgba(uint32_t rgb, uint8_t alpha)
{
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), alpha};
}

uint32_t rgbOf(const Rgba& c)
{
    return static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
}

} // namespace

FilterObject::FilterObject(Object* proto, int swfVersion, ScriptFilterKind filterKind)
    : Object(proto, swfVersion), kind(filterKind), settings(defaultsFor(filterKind))
{
}

void FilterObject::visitEdges(Visitor& visitor)
{
    Object::visitEdges(visitor);
    visitor.visit(settings.mapBitmap);
}

FilterObject* filterOf(const Value& v)
{
    Object* o = v.asObject();
    return o ? o->as<FilterObject>() : nullptr;
}

FilterObject* newFilterObject(Machine& m, ScriptFilterKind kind)
{
    Object* proto = m.protos().named(className(kind));
    return m.make<FilterObject>(proto ? proto : m.protos().object, kind);
}

FilterObject* cloneFilter(Machine& m, const FilterObject& filter)
{
    FilterObject* copy = m.make<FilterObject>(filter.proto(), filter.kind);
    copy->settings = filter.settings;
    return copy;
}

std::optional<Filter> toRenderFilter(const FilterObject& f)
{
    const ScriptFilterSettings& s = f.settings;
    Filter r;
    r.blurX = s.blurX;
    r.blurY = s.blurY;
    r.passes = s.quality;
    r.angle = s.angle;
    r.distance = s.distance;
    r.strength = s.strength;
    r.knockout = s.knockout;
    r.color = rgba(s.color, s.alpha);
    auto bevelType = [&] {
        r.inner = s.type != "outer";
        r.onTop = s.type == "full";
    };
    switch (f.kind) {
    case ScriptFilterKind::Blur:
        r.kind = FilterKind::Blur;
        break;
    case ScriptFilterKind::DropShadow:
        r.kind = FilterKind::DropShadow;
        r.inner = s.inner;
        r.compositeSource = !s.hideObject;
        break;
    case ScriptFilterKind::Glow:
        r.kind = FilterKind::Glow;
        r.inner = s.inner;
        r.angle = r.distance = 0;
        break;
    case ScriptFilterKind::Bevel:
        r.kind = FilterKind::Bevel;
        r.color = rgba(s.highlightColor, s.highlightAlpha);
        r.shadowColor = rgba(s.color, s.alpha);
        bevelType();
        break;
    case ScriptFilterKind::GradientGlow:
    case ScriptFilterKind::GradientBevel:
        r.kind = f.kind == ScriptFilterKind::GradientGlow ? FilterKind::GradientGlow : FilterKind::GradientBevel;
        for (size_t i = 0; i < s.stops; ++i)
            r.gradient.push_back({rgba(s.colors[i], s.alphas[i]), s.ratios[i]});
        bevelType();
        break;
    case ScriptFilterKind::ColorMatrix:
        r.kind = FilterKind::ColorMatrix;
        for (size_t i = 0; i < 20 && i < s.matrix.size(); ++i)
            r.colorMatrix[i] = std::isfinite(s.matrix[i]) ? static_cast<float>(s.matrix[i]) : 0.0f;
        break;
    case ScriptFilterKind::Convolution: {
        r.kind = FilterKind::Convolution;
        r.matrixX = s.matrixX;
        r.matrixY = s.matrixY;
        const size_t count = static_cast<size_t>(s.matrixX) * static_cast<size_t>(s.matrixY);
        r.matrix.assign(count, 0.0f);
        for (size_t i = 0; i < count && i < s.matrix.size(); ++i)
            r.matrix[i] = std::isfinite(s.matrix[i]) ? static_cast<float>(s.matrix[i]) : 0.0f;
        r.divisor = std::isfinite(s.divisor) ? static_cast<float>(s.divisor) : 1.0f;
        r.bias = std::isfinite(s.bias) ? static_cast<float>(s.bias) : 0.0f;
        r.defaultColor = rgba(s.color, s.alpha);
        r.clamp = s.clamp;
        r.preserveAlpha = s.preserveAlpha;
        break;
    }
    case ScriptFilterKind::DisplacementMap: {
        r.kind = FilterKind::DisplacementMap;
        if (s.mapBitmap) {
            const std::shared_ptr<const LiveBitmap> live = liveBitmapOf(Value(s.mapBitmap));
            r.displacementMap = live ? live->current() : nullptr;
        } else {
            r.displacementMap = s.mapPixels;
        }
        if (!r.displacementMap)
            return std::nullopt;
        r.mapPointX = s.mapPointX;
        r.mapPointY = s.mapPointY;
        r.componentX = s.componentX;
        r.componentY = s.componentY;
        r.scaleX = s.scaleX;
        r.scaleY = s.scaleY;
        r.displacementMode = s.mode == "clamp"  ? DisplacementMode::Clamp
                             : s.mode == "ignore" ? DisplacementMode::Ignore
                             : s.mode == "color"  ? DisplacementMode::Color
                                                  : DisplacementMode::Wrap;
        break;
    }
    }
    return r;
}

FilterObject* fromRenderFilter(Machine& m, const Filter& r)
{
    ScriptFilterKind kind = ScriptFilterKind::Blur;
    switch (r.kind) {
    case FilterKind::DropShadow: kind = ScriptFilterKind::DropShadow; break;
    case FilterKind::Blur: kind = ScriptFilterKind::Blur; break;
    case FilterKind::Glow: kind = ScriptFilterKind::Glow; break;
    case FilterKind::Bevel: kind = ScriptFilterKind::Bevel; break;
    case FilterKind::GradientGlow: kind = ScriptFilterKind::GradientGlow; break;
    case FilterKind::Convolution: kind = ScriptFilterKind::Convolution; break;
    case FilterKind::ColorMatrix: kind = ScriptFilterKind::ColorMatrix; break;
    case FilterKind::GradientBevel: kind = ScriptFilterKind::GradientBevel; break;
    case FilterKind::DisplacementMap: kind = ScriptFilterKind::DisplacementMap; break;
    }
    FilterObject* f = newFilterObject(m, kind);
    ScriptFilterSettings& s = f->settings;
    s.blurX = r.blurX;
    s.blurY = r.blurY;
    s.quality = r.passes;
    s.angle = r.angle;
    s.distance = r.distance;
    s.strength = r.strength;
    s.knockout = r.knockout;
    s.inner = r.inner;
    s.hideObject = !r.compositeSource;
    s.color = rgbOf(r.color);
    s.alpha = r.color.a;
    s.type = r.onTop ? "full" : r.inner ? "inner" : "outer";
    if (kind == ScriptFilterKind::Bevel) {
        s.highlightColor = rgbOf(r.color);
        s.highlightAlpha = r.color.a;
        s.color = rgbOf(r.shadowColor);
        s.alpha = r.shadowColor.a;
    }
    s.stops = std::min(r.gradient.size(), kMaxGradientStops);
    for (size_t i = 0; i < s.stops; ++i) {
        s.colors[i] = rgbOf(r.gradient[i].color);
        s.alphas[i] = r.gradient[i].color.a;
        s.ratios[i] = r.gradient[i].ratio;
    }
    if (kind == ScriptFilterKind::ColorMatrix)
        s.matrix.assign(r.colorMatrix.begin(), r.colorMatrix.end());
    if (kind == ScriptFilterKind::Convolution) {
        s.matrixX = r.matrixX;
        s.matrixY = r.matrixY;
        s.matrix.assign(r.matrix.begin(), r.matrix.end());
        s.divisor = r.divisor;
        s.bias = r.bias;
        s.color = rgbOf(r.defaultColor);
        s.alpha = r.defaultColor.a;
        s.clamp = r.clamp;
        s.preserveAlpha = r.preserveAlpha;
    }
    if (kind == ScriptFilterKind::DisplacementMap) {
        s.mapPixels = r.displacementMap;
        s.mapPointX = r.mapPointX;
        s.mapPointY = r.mapPointY;
        s.componentX = r.componentX;
        s.componentY = r.componentY;
        s.scaleX = r.scaleX;
        s.scaleY = r.scaleY;
        constexpr const char* kModes[] = {"wrap", "clamp", "ignore", "color"};
        s.mode = kModes[static_cast<size_t>(r.displacementMode)];
    }
    return f;
}

void defineFilterMembers(Machine& m, Object* proto, std::span<const char* const> names)
{
    // for..in lists the settings in this order, clone last.
    for (const char* const entry : names) {
        const std::string name = entry;
        Property& p = proto->ensure(name);
        p.getter = m.newNativeFunction(name, [name](Machine& machine, Value self, std::span<const Value>) {
            FilterObject* f = filterOf(self);
            return f ? filterGet(machine, *f, name) : Value();
        });
        p.setter = m.newNativeFunction(name, [name](Machine& machine, Value self, std::span<const Value> args) {
            if (FilterObject* f = filterOf(self))
                filterSet(machine, *f, name, arg(args, 0));
            return Value();
        });
        p.flags = 0;
    }
    proto->put("clone", Value(m.newNativeFunction("clone", filterClone)));
}

Object* defineFilterClass(Machine& m, const std::string& name, ScriptFilterKind kind,
                          std::span<const char* const> members, std::span<const char* const> argNames)
{
    Object* base = m.protos().named("BitmapFilter");
    Object* proto = m.newObject(base ? base : m.protos().object);
    std::vector<std::string> args(argNames.begin(), argNames.end());
    auto construct = [kind, args](Machine& machine, Value self, std::span<const Value> given) {
        FilterObject* f = newFilterObject(machine, kind);
        for (size_t i = 0; i < args.size() && i < given.size(); ++i) {
            if (!given[i].isUndefined())
                filterSet(machine, *f, args[i], given[i]);
        }
        // Run on an existing object (a subclass's super()), the class makes it a filter
        // in place.
        return adoptState(machine, self, f);
    };
    Object* ctor = definePackageClass(m, "flash.filters", name, proto, construct, construct);
    defineFilterMembers(m, proto, members);
    return ctor;
}

} // namespace swf::avm1
