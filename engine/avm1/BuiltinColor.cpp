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
    // The offsets as they are, negative ones included, or-ed into one number.
    const ColorTransform cx = clip->colorTransform();
    auto channel = [](float add) { return static_cast<uint32_t>(static_cast<int32_t>(offsetOf(add))); };
    return Value(static_cast<double>(static_cast<int32_t>(channel(cx.rAdd) << 16 | channel(cx.gAdd) << 8 | channel(cx.bAdd))));
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
    // Only the fields the object has itself change; the others keep their value. The
    // player keeps each as a 16-bit number, multipliers in 1/256ths: what does not fit
    // wraps round, and what is no number at all is 0.
    auto sixteenBits = [](double v) {
        if (!std::isfinite(v))
            return 0.0;
        return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(std::fmod(std::trunc(v), 65536.0)))));
    };
    Object* given = args[0].asObject();
    auto take = [&](const char* name, float& field, bool multiplier) {
        if (!given->findOwn(name))
            return;
        const double v = m.toNumber(m.getMember(args[0], name));
        field = multiplier ? static_cast<float>(sixteenBits(v * 256 / 100) / 256) : static_cast<float>(sixteenBits(v));
    };
    take("ra", cx.rMul, true);
    take("rb", cx.rAdd, false);
    take("ga", cx.gMul, true);
    take("gb", cx.gAdd, false);
    take("ba", cx.bMul, true);
    take("bb", cx.bAdd, false);
    take("aa", cx.aMul, true);
    take("ab", cx.aAdd, false);
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
    lockPrototype(color);
    color->target = arg(args, 0).asObject();
    // What it was made for, as given, for scripts to read.
    color->put("target", arg(args, 0), PropertyFlag::DontEnum);
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
