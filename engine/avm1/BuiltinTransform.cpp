// flash.geom.Transform: a clip's matrix and colour transform as Matrix and
// ColorTransform objects (copies: changing one changes the clip only when it is
// written back), the same concatenated with every parent's, and the clip's bounds on
// the stage in pixels.

#include "engine/avm1/ClipDisplayMembers.h"
#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

constexpr double kTwipsPerPixel = 20;

class TransformObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    using Object::Object;
    Object* clip = nullptr;
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        visitor.visit(clip);
    }
};

ClipHost* hostOf(const Value& self)
{
    Object* o = self.asObject();
    TransformObject* t = o ? o->as<TransformObject>() : nullptr;
    return t ? clipHost(t->clip) : nullptr;
}

MatrixValue toScript(const Matrix& m)
{
    return {m.a, m.b, m.c, m.d, m.tx / kTwipsPerPixel, m.ty / kTwipsPerPixel};
}

ColorTransformValue toScript(const ColorTransform& c)
{
    return {{c.rMul, c.gMul, c.bMul, c.aMul}, {c.rAdd, c.gAdd, c.bAdd, c.aAdd}};
}

// The clip's chain from the outermost parent down to itself (at most 256 deep).
std::vector<ClipHost*> chainOf(ClipHost& host)
{
    std::vector<ClipHost*> chain{&host};
    while (chain.size() < 256) {
        ClipHost* parent = clipHost(chain.back()->parentObject());
        if (!parent)
            break;
        chain.push_back(parent);
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

Matrix concatenatedMatrix(ClipHost& host)
{
    Matrix total;
    for (ClipHost* h : chainOf(host))
        total = total * h->matrix();
    return total;
}

Value transformConstruct(Machine& m, Value self, std::span<const Value> args)
{
    Object* clip = arg(args, 0).asObject();
    if (!clipHost(clip))
        return Value();
    return adoptState(m, self, newTransform(m, clip));
}

Value transformGetMatrix(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* host = hostOf(self);
    return host ? Value(newMatrix(m, toScript(host->matrix()))) : Value();
}

Value transformSetMatrix(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* host = hostOf(self);
    const Value value = arg(args, 0);
    if (!host || !value.isObject() || !m.instanceOf(value, packageClass(m, "flash.geom", "Matrix")))
        return Value();
    const MatrixValue v = readMatrix(m, value);
    const double parts[] = {v.a, v.b, v.c, v.d, v.tx, v.ty};
    for (double p : parts) {
        if (!std::isfinite(p))
            return Value();
    }
    host->setMatrix({v.a, v.b, v.c, v.d, v.tx * kTwipsPerPixel, v.ty * kTwipsPerPixel});
    return Value();
}

Value transformGetColorTransform(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* host = hostOf(self);
    return host ? Value(newColorTransform(m, toScript(host->colorTransform()))) : Value();
}

Value transformSetColorTransform(Machine&, Value self, std::span<const Value> args)
{
    ClipHost* host = hostOf(self);
    ColorTransformValue v;
    if (!host || !readColorTransform(arg(args, 0), v))
        return Value();
    auto narrow = [](double d) { return std::isfinite(d) ? static_cast<float>(std::clamp(d, -1e6, 1e6)) : 0.0f; };
    host->setColorTransform({narrow(v.mul[0]), narrow(v.mul[1]), narrow(v.mul[2]), narrow(v.mul[3]),
                             narrow(v.add[0]), narrow(v.add[1]), narrow(v.add[2]), narrow(v.add[3])});
    return Value();
}

Value transformConcatenatedMatrix(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* host = hostOf(self);
    return host ? Value(newMatrix(m, toScript(concatenatedMatrix(*host)))) : Value();
}

// Outer colour transforms apply last: each parent's multipliers scale its child's
// offsets.
Value transformConcatenatedColorTransform(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* host = hostOf(self);
    if (!host)
        return Value();
    ColorTransformValue total;
    for (ClipHost* h : chainOf(*host)) {
        const ColorTransformValue c = toScript(h->colorTransform());
        for (size_t i = 0; i < 4; ++i) {
            total.add[i] += total.mul[i] * c.add[i];
            total.mul[i] *= c.mul[i];
        }
    }
    // The player keeps the result as it keeps any colour transform, in 16 bits:
    // multipliers in 8.8 fixed point, offsets whole; both wrap past that.
    auto wrap16 = [](double v) {
        if (!std::isfinite(v) || std::abs(v) >= 2147483648.0)
            return 0.0;
        return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(v))));
    };
    for (size_t i = 0; i < 4; ++i) {
        total.mul[i] = wrap16(std::trunc(total.mul[i] * 256)) / 256;
        total.add[i] = wrap16(std::floor(total.add[i]));
    }
    return Value(newColorTransform(m, total));
}

Value transformPixelBounds(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* host = hostOf(self);
    if (!host)
        return Value();
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    host->bounds(nullptr, true, xMin, yMin, xMax, yMax);
    const MatrixValue t = toScript(concatenatedMatrix(*host));
    double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (auto [x, y] : {std::pair{xMin, yMin}, {xMax, yMin}, {xMin, yMax}, {xMax, yMax}}) {
        const double px = t.a * x + t.c * y + t.tx;
        const double py = t.b * x + t.d * y + t.ty;
        left = std::min(left, px);
        right = std::max(right, px);
        top = std::min(top, py);
        bottom = std::max(bottom, py);
    }
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom))
        return Value(newRectangle(m, 0, 0, 0, 0));
    return Value(newRectangle(m, std::round(left), std::round(top), std::round(right - left), std::round(bottom - top)));
}

Value ignoreWrite(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeAccessor kTransformAccessors[] = {
    {"matrix", transformGetMatrix, transformSetMatrix},
    {"colorTransform", transformGetColorTransform, transformSetColorTransform},
    {"concatenatedMatrix", transformConcatenatedMatrix, ignoreWrite},
    {"concatenatedColorTransform", transformConcatenatedColorTransform, ignoreWrite},
    {"pixelBounds", transformPixelBounds, ignoreWrite},
};

} // namespace

Object* newTransform(Machine& m, Object* clip)
{
    auto* t = m.make<TransformObject>(m.protos().named("Transform"));
    t->clip = clip;
    return t;
}

void installTransformClass(Machine& m)
{
    Object* proto = m.newObject();
    definePackageClass(m, "flash.geom", "Transform", proto, transformConstruct, transformConstruct);
    defineAccessors(m, proto, kTransformAccessors, PropertyFlag::DontDelete);
}

} // namespace swf::avm1
