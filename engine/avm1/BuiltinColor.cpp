// Color: tints a movie clip through its colour transform. setRGB paints the clip one
// colour (multipliers 0, offsets the colour); setTransform and getTransform speak in
// the player's percent (ra, ga, ba, aa) and offset (rb, gb, bb, ab) terms.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/MovieClipObject.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

// A Color object: the clip (or whatever object) it was made for.
class ColorObject final : public Object {
public:
    using Object::Object;
    Object* target = nullptr;
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        visitor.visit(target);
    }
};

// The clip a Color object was made for, while it still exists.
ClipHost* targetOf(const Value& self)
{
    Object* o = self.asObject();
    ColorObject* color = o ? o->as<ColorObject>() : nullptr;
    return color ? clipHost(color->target) : nullptr;
}

// Offsets are whole numbers in the player's arithmetic.
double offsetOf(float add)
{
    return std::trunc(static_cast<double>(add));
}

Value colorSetRGB(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* clip = targetOf(self);
    if (!clip || args.empty())
        return Value();
    const auto rgb = static_cast<uint32_t>(toInt32(m.toNumber(args[0])));
    ColorTransform cx = clip->colorTransform();
    cx.rMul = cx.gMul = cx.bMul = 0;
    cx.rAdd = static_cast<float>((rgb >> 16) & 0xFF);
    cx.gAdd = static_cast<float>((rgb >> 8) & 0xFF);
    cx.bAdd = static_cast<float>(rgb & 0xFF);
    clip->setColorTransform(cx);
    return Value();
}

Value colorGetRGB(Machine&, Value self, std::span<const Value>)
{
    ClipHost* clip = targetOf(self);
    if (!clip)
        return Value();
    const ColorTransform cx = clip->colorTransform();
    auto channel = [](float add) { return static_cast<int32_t>(offsetOf(add)) & 0xFF; };
    return Value(static_cast<double>(channel(cx.rAdd) << 16 | channel(cx.gAdd) << 8 | channel(cx.bAdd)));
}

Value colorGetTransform(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* clip = targetOf(self);
    if (!clip)
        return Value();
    const ColorTransform cx = clip->colorTransform();
    Object* t = m.newObject();
    auto percent = [](float mul) { return static_cast<double>(mul) * 100; };
    t->put("ra", Value(percent(cx.rMul)));
    t->put("rb", Value(offsetOf(cx.rAdd)));
    t->put("ga", Value(percent(cx.gMul)));
    t->put("gb", Value(offsetOf(cx.gAdd)));
    t->put("ba", Value(percent(cx.bMul)));
    t->put("bb", Value(offsetOf(cx.bAdd)));
    t->put("aa", Value(percent(cx.aMul)));
    t->put("ab", Value(offsetOf(cx.aAdd)));
    return Value(t);
}

Value colorSetTransform(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* clip = targetOf(self);
    if (!clip || args.empty() || !args[0].asObject())
        return Value();
    ColorTransform cx = clip->colorTransform();
    // Only the fields the object has change; the others keep their value.
    auto take = [&](const char* name, float& field, double scale) {
        if (!m.hasProperty(args[0].asObject(), name))
            return;
        double v = m.toNumber(m.getMember(args[0], name));
        if (std::isfinite(v))
            field = static_cast<float>(std::clamp(v, -1e6, 1e6) / scale);
    };
    take("ra", cx.rMul, 100);
    take("rb", cx.rAdd, 1);
    take("ga", cx.gMul, 100);
    take("gb", cx.gAdd, 1);
    take("ba", cx.bMul, 100);
    take("bb", cx.bAdd, 1);
    take("aa", cx.aMul, 100);
    take("ab", cx.aAdd, 1);
    clip->setColorTransform(cx);
    return Value();
}

const NativeMethod kColorMethods[] = {
    {"setRGB", colorSetRGB},
    {"getRGB", colorGetRGB},
    {"getTransform", colorGetTransform},
    {"setTransform", colorSetTransform},
};

Value colorConstruct(Machine& m, Value, std::span<const Value> args)
{
    auto* color = m.make<ColorObject>(m.protos().color);
    color->target = arg(args, 0).asObject();
    return Value(color);
}

} // namespace

void installColorClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().color = proto;
    m.newClass("Color", proto, colorConstruct, colorConstruct);

    defineMethods(m, proto, kColorMethods);
}

} // namespace swf::avm1
