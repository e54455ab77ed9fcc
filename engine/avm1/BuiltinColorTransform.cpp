// flash.geom.ColorTransform: four multipliers and four offsets, kept as numbers (a
// script writing a string gets NaN) and read through accessors on the prototype, which
// for..in lists. `rgb` reads the offsets as one colour and writing it paints solid:
// offsets from the colour, colour multipliers 0.

#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

namespace swf::avm1 {

namespace {

class ColorTransformObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    using Object::Object;
    ColorTransformValue value;
};

ColorTransformObject* self_(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<ColorTransformObject>() : nullptr;
}

Value ctConstruct(Machine& m, Value self, std::span<const Value> args)
{
    auto* ct = m.make<ColorTransformObject>(m.protos().named("ColorTransform"));
    for (size_t i = 0; i < 8 && i < args.size(); ++i) {
        double& field = i < 4 ? ct->value.mul[i] : ct->value.add[i - 4];
        field = m.toNumber(args[i]);
    }
    return adoptState(m, self, ct);
}

template <bool Offset, size_t Channel>
Value ctGet(Machine&, Value self, std::span<const Value>)
{
    ColorTransformObject* ct = self_(self);
    if (!ct)
        return Value();
    return Value(Offset ? ct->value.add[Channel] : ct->value.mul[Channel]);
}

template <bool Offset, size_t Channel>
Value ctSet(Machine& m, Value self, std::span<const Value> args)
{
    ColorTransformObject* ct = self_(self);
    if (!ct)
        return Value();
    (Offset ? ct->value.add[Channel] : ct->value.mul[Channel]) = m.toNumber(arg(args, 0));
    return Value();
}

Value ctGetRgb(Machine&, Value self, std::span<const Value>)
{
    ColorTransformObject* ct = self_(self);
    if (!ct)
        return Value();
    const auto& add = ct->value.add;
    const uint32_t rgb = static_cast<uint32_t>(toInt32(add[0])) << 16 | static_cast<uint32_t>(toInt32(add[1])) << 8 |
                         static_cast<uint32_t>(toInt32(add[2]));
    return Value(static_cast<double>(static_cast<int32_t>(rgb)));
}

Value ctSetRgb(Machine& m, Value self, std::span<const Value> args)
{
    ColorTransformObject* ct = self_(self);
    if (!ct)
        return Value();
    const auto rgb = static_cast<uint32_t>(m.toInt32(arg(args, 0)));
    for (size_t i = 0; i < 3; ++i) {
        ct->value.mul[i] = 0;
        ct->value.add[i] = static_cast<double>((rgb >> (16 - 8 * i)) & 0xFF);
    }
    return Value();
}

// This transform followed by the argument's: offsets pass through this transform's
// multipliers.
Value ctConcat(Machine&, Value self, std::span<const Value> args)
{
    ColorTransformObject* ct = self_(self);
    ColorTransformValue second;
    if (!ct || !readColorTransform(arg(args, 0), second))
        return Value();
    for (size_t i = 0; i < 4; ++i) {
        ct->value.add[i] += ct->value.mul[i] * second.add[i];
        ct->value.mul[i] *= second.mul[i];
    }
    return Value();
}

Value ctToString(Machine&, Value self, std::span<const Value>)
{
    ColorTransformObject* ct = self_(self);
    if (!ct)
        return Value();
    const auto& v = ct->value;
    static constexpr const char* kNames[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                             "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
    std::string s = "(";
    for (size_t i = 0; i < 8; ++i) {
        if (i)
            s += ", ";
        s += kNames[i];
        s += '=';
        s += numberToString(i < 4 ? v.mul[i] : v.add[i - 4]);
    }
    return Value(s + ")");
}

// for..in lists the prototype's members last defined first: toString, concat, rgb,
// then the offsets and multipliers blue, green, red, alpha.
const NativeAccessor kColorTransformAccessors[] = {
    {"alphaMultiplier", ctGet<false, 3>, ctSet<false, 3>},
    {"redMultiplier", ctGet<false, 0>, ctSet<false, 0>},
    {"greenMultiplier", ctGet<false, 1>, ctSet<false, 1>},
    {"blueMultiplier", ctGet<false, 2>, ctSet<false, 2>},
    {"alphaOffset", ctGet<true, 3>, ctSet<true, 3>},
    {"redOffset", ctGet<true, 0>, ctSet<true, 0>},
    {"greenOffset", ctGet<true, 1>, ctSet<true, 1>},
    {"blueOffset", ctGet<true, 2>, ctSet<true, 2>},
    {"rgb", ctGetRgb, ctSetRgb},
};

const NativeMethod kColorTransformMethods[] = {
    {"concat", ctConcat, 0},
    {"toString", ctToString, 0},
};

} // namespace

bool readColorTransform(const Value& v, ColorTransformValue& out)
{
    ColorTransformObject* ct = self_(v);
    if (!ct)
        return false;
    out = ct->value;
    return true;
}

Object* newColorTransform(Machine& m, const ColorTransformValue& value)
{
    auto* ct = m.make<ColorTransformObject>(m.protos().named("ColorTransform"));
    ct->value = value;
    return ct;
}

void installColorTransformClass(Machine& m)
{
    Object* proto = m.newObject();
    definePackageClass(m, "flash.geom", "ColorTransform", proto, ctConstruct, ctConstruct);
    defineAccessors(m, proto, kColorTransformAccessors, 0);
    defineMethods(m, proto, kColorTransformMethods);
}

} // namespace swf::avm1
