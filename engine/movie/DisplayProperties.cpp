#include "engine/movie/DisplayProperties.h"

#include "engine/avm1/Machine.h"
#include "engine/format/Primitives.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/MatrixParts.h"

#include <cmath>
#include <limits>

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

std::optional<avm1::Value> sharedDisplayProperty(const DisplayObject* object, avm1::ClipProperty property)
{
    using P = avm1::ClipProperty;
    Matrix m = object ? object->matrix : Matrix{};
    switch (property) {
    case P::X: return avm1::Value(m.tx / kTwipsPerPixel);
    case P::Y: return avm1::Value(m.ty / kTwipsPerPixel);
    case P::XScale: return avm1::Value(xScaleOf(m));
    case P::YScale: return avm1::Value(yScaleOf(m));
    case P::Rotation: return avm1::Value(rotationOf(m));
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
    switch (property) {
    case P::Visible: object.visible = machine.toBoolean(value); return true;
    case P::Name: object.name = machine.toString(value); return true;
    case P::X: case P::Y: case P::XScale: case P::YScale: case P::Rotation: case P::Alpha: break;
    default: return false;
    }
    noteScriptTransform(object, property);
    double n = machine.toNumber(value);
    if (std::isnan(n))
        return true;
    Matrix& m = object.matrix;
    switch (property) {
    case P::X: m.tx = positionTwips(n); break;
    case P::Y: m.ty = positionTwips(n); break;
    case P::XScale: setScaleRotation(m, n, yScaleOf(m), rotationOf(m)); break;
    case P::YScale: setScaleRotation(m, xScaleOf(m), n, rotationOf(m)); break;
    case P::Rotation: setScaleRotation(m, xScaleOf(m), yScaleOf(m), std::fmod(n, 360.0)); break;
    case P::Alpha: object.colorTransform.aMul = alphaMultiplier(n); break;
    default: break;
    }
    return true;
}

} // namespace swf::movie
