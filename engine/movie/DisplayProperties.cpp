#include "engine/movie/DisplayProperties.h"

#include "engine/avm1/Machine.h"
#include "engine/format/Primitives.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/MatrixParts.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace swf::movie {

namespace {

// A double to a 32-bit integer as the processor converts it: out of range (NaN and
// infinities included) gives the smallest integer.
int32_t toInt32Truncating(double v)
{
    if (!(v >= -2147483648.0 && v < 2147483648.0))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// A rotation as the reference player keeps it: within -180 to 180 degrees.
double normalizedDegrees(double degrees)
{
    double r = std::fmod(degrees, 360.0);
    if (r > 180)
        r -= 360;
    else if (r < -180)
        r += 360;
    return r;
}

} // namespace

double positionTwips(double pixels)
{
    double twips = std::round(pixels * kTwipsPerPixel);
    return static_cast<double>(toInt32Truncating(twips));
}

// The alpha multiplier scripts read back is 8.8 fixed point (256 is fully opaque),
// truncated, and wrapped to 16 bits.
double alphaFixed(double multiplier)
{
    auto fixed = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(toInt32Truncating(multiplier * 256))));
    return static_cast<double>(fixed) / 256.0;
}

float alphaMultiplier(double percent)
{
    // Drawn with the percentage as given (the reference pictures show 30 as 0.3, not
    // 76/256); a value past what 16 bits of 8.8 hold wraps as the read-back does.
    const double multiplier = percent / 100;
    if (std::abs(multiplier * 256) < 32768)
        return static_cast<float>(multiplier);
    return static_cast<float>(alphaFixed(multiplier));
}

// The same matrix, a NaN term (an infinite rotation leaves them) matching a NaN: the
// scales and rotation a script gave still read back from it.
static bool sameMatrix(const Matrix& x, const Matrix& y)
{
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    return same(x.a, y.a) && same(x.b, y.b) && same(x.c, y.c) && same(x.d, y.d) && same(x.tx, y.tx) &&
           same(x.ty, y.ty);
}

ScriptScale scaleAndRotation(const DisplayObject& object)
{
    if (object.scriptScale && sameMatrix(object.scriptScale->matrix, object.matrix))
        return *object.scriptScale;
    const Matrix& m = object.matrix;
    return ScriptScale{m, xScaleOf(m), yScaleOf(m), rotationOf(m)};
}

void setScaleAndRotation(DisplayObject& object, double xScale, double yScale, double rotation)
{
    // The axes keep the angle between them (a skew, or a mirror in the placed matrix):
    // the reference player changes only the length of the axis a scale names, and
    // turns both axes together for a rotation.
    const ScriptScale now = scaleAndRotation(object);
    const double skew = skewOf(object.matrix, now.xScale < 0 ? -1 : 1, now.yScale < 0 ? -1 : 1);
    setScaleRotation(object.matrix, xScale, yScale, rotation, std::isfinite(skew) ? skew : 0.0);
    object.scriptScale = ScriptScale{object.matrix, xScale, yScale, rotation};
}

void setDisplaySize(DisplayObject& object, avm1::ClipProperty property, double pixels, const Rect& own,
                    double shownWidth, double shownHeight)
{
    noteScriptTransform(object, property);
    if (std::isnan(pixels))
        return;
    const ScriptScale now = scaleAndRotation(object);
    const double radians = std::isfinite(now.rotation) ? now.rotation * std::numbers::pi / 180 : 0.0;
    const double cosine = std::abs(std::cos(radians));
    const double sine = std::abs(std::sin(radians));
    const double w0 = own.width();
    const double h0 = own.height();
    const double turnedWidth = w0 * cosine + h0 * sine;
    const double turnedHeight = w0 * sine + h0 * cosine;
    const bool width = property == avm1::ClipProperty::Width;
    const double wanted = width ? turnedWidth : turnedHeight;
    const double other = width ? turnedHeight : turnedWidth;
    // A side the box has no extent along scales to nothing: an empty clip given a
    // size shows nothing even once it gets contents.
    auto signOf = [](double scale) { return std::signbit(scale) ? -1.0 : 1.0; };
    auto factor = [](double size, double of) { return of > 0 ? size / of * 100 : 0.0; };
    double xScale = 0;
    double yScale = 0;
    if (width) {
        xScale = signOf(now.xScale) * factor(pixels * kTwipsPerPixel, wanted);
        yScale = signOf(now.yScale) * factor(shownHeight, other);
    } else {
        yScale = signOf(now.yScale) * factor(pixels * kTwipsPerPixel, wanted);
        xScale = signOf(now.xScale) * factor(shownWidth, other);
    }
    setScaleAndRotation(object, xScale, yScale, now.rotation);
}

std::optional<avm1::Value> sharedDisplayProperty(const DisplayObject* object, avm1::ClipProperty property)
{
    using P = avm1::ClipProperty;
    Matrix m = object ? object->matrix : Matrix{};
    switch (property) {
    case P::X: return avm1::Value(m.tx / kTwipsPerPixel);
    case P::Y: return avm1::Value(m.ty / kTwipsPerPixel);
    case P::XScale: return avm1::Value(object ? scaleAndRotation(*object).xScale : 100.0);
    case P::YScale: return avm1::Value(object ? scaleAndRotation(*object).yScale : 100.0);
    case P::Rotation: return avm1::Value(object ? scaleAndRotation(*object).rotation : 0.0);
    case P::Alpha: return avm1::Value(object ? alphaFixed(static_cast<double>(object->colorTransform.aMul)) * 100 : 100.0);
    case P::Visible: return avm1::Value(object ? object->visible : true);
    case P::Name: return avm1::Value(object ? object->name : std::string());
    default: return std::nullopt;
    }
}

bool setSharedDisplayProperty(DisplayObject& object, avm1::ClipProperty property, const avm1::Value& value,
                              avm1::Machine& machine)
{
    using P = avm1::ClipProperty;
    // undefined and null change nothing, in every version (SWF 6 would make them 0).
    if (property != P::Name && value.isNullish())
        return property == P::Visible || property == P::X || property == P::Y || property == P::XScale ||
               property == P::YScale || property == P::Rotation || property == P::Alpha;
    switch (property) {
    case P::Visible: {
        // Taken as a number, like the other properties: NaN leaves it as it was.
        double n = machine.toNumber(value);
        if (!std::isnan(n))
            object.visible = n != 0;
        return true;
    }
    case P::Name:
        // NaN names the object "0", as the reference player writes it.
        object.name = value.isNumber() && std::isnan(value.asNumber()) ? std::string("0") : machine.toString(value);
        return true;
    case P::X: case P::Y: case P::XScale: case P::YScale: case P::Rotation: case P::Alpha: break;
    default: return false;
    }
    noteScriptTransform(object, property);
    double n = machine.toNumber(value);
    if (std::isnan(n))
        return true;
    Matrix& m = object.matrix;
    const ScriptScale now = scaleAndRotation(object);
    switch (property) {
    case P::X: m.tx = positionTwips(n); break;
    case P::Y: m.ty = positionTwips(n); break;
    case P::XScale: setScaleAndRotation(object, n, now.yScale, now.rotation); break;
    case P::YScale: setScaleAndRotation(object, now.xScale, n, now.rotation); break;
    case P::Rotation: setScaleAndRotation(object, now.xScale, now.yScale, normalizedDegrees(n)); break;
    case P::Alpha: object.colorTransform.aMul = alphaMultiplier(n); break;
    default: break;
    }
    return true;
}

} // namespace swf::movie
