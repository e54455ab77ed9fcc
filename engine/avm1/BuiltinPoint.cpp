// flash.geom.Point: a position held in plain `x` and `y` properties, so scripts may
// store anything there; the arithmetic converts to numbers as it goes.

#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

#include <cmath>

namespace swf::avm1 {

namespace {

double num(Machine& m, const Value& target, const char* name)
{
    return m.toNumber(m.getMember(target, name));
}

Value pointConstruct(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    if (!o)
        return Value();
    if (args.empty()) {
        m.setMember(self, "x", Value(0.0));
        m.setMember(self, "y", Value(0.0));
    } else {
        m.setMember(self, "x", arg(args, 0));
        m.setMember(self, "y", arg(args, 1));
    }
    return Value();
}

Value pointLength(Machine& m, Value self, std::span<const Value>)
{
    return Value(std::hypot(num(m, self, "x"), num(m, self, "y")));
}

Value pointAdd(Machine& m, Value self, std::span<const Value> args)
{
    const Value other = arg(args, 0);
    return Value(newPoint(m, num(m, self, "x") + num(m, other, "x"), num(m, self, "y") + num(m, other, "y")));
}

Value pointSubtract(Machine& m, Value self, std::span<const Value> args)
{
    const Value other = arg(args, 0);
    return Value(newPoint(m, num(m, self, "x") - num(m, other, "x"), num(m, self, "y") - num(m, other, "y")));
}

Value pointEquals(Machine& m, Value self, std::span<const Value> args)
{
    const Value other = arg(args, 0);
    Object* ctor = packageClass(m, "flash.geom", "Point");
    if (!other.isObject() || !m.instanceOf(other, ctor))
        return Value(false);
    return Value(m.looseEquals(m.getMember(self, "x"), m.getMember(other, "x")) &&
                 m.looseEquals(m.getMember(self, "y"), m.getMember(other, "y")));
}

Value pointClone(Machine& m, Value self, std::span<const Value>)
{
    Object* p = newPoint(m, 0, 0);
    m.setMember(Value(p), "x", m.getMember(self, "x"));
    m.setMember(Value(p), "y", m.getMember(self, "y"));
    return Value(p);
}

Value pointNormalize(Machine& m, Value self, std::span<const Value> args)
{
    const double x = num(m, self, "x");
    const double y = num(m, self, "y");
    const double length = std::hypot(x, y);
    if (length > 0) {
        const double scale = m.toNumber(arg(args, 0)) / length;
        m.setMember(self, "x", Value(x * scale));
        m.setMember(self, "y", Value(y * scale));
    }
    return Value();
}

Value pointOffset(Machine& m, Value self, std::span<const Value> args)
{
    m.setMember(self, "x", Value(num(m, self, "x") + m.toNumber(arg(args, 0))));
    m.setMember(self, "y", Value(num(m, self, "y") + m.toNumber(arg(args, 1))));
    return Value();
}

Value pointToString(Machine& m, Value self, std::span<const Value>)
{
    return Value("(x=" + m.toString(m.getMember(self, "x")) + ", y=" + m.toString(m.getMember(self, "y")) + ")");
}

Value pointDistance(Machine& m, Value, std::span<const Value> args)
{
    const Value a = arg(args, 0);
    const Value b = arg(args, 1);
    if (!a.isObject() || !b.isObject())
        return Value();
    return Value(std::hypot(num(m, a, "x") - num(m, b, "x"), num(m, a, "y") - num(m, b, "y")));
}

// The point a fraction `f` of the way from the second point back to the first.
Value pointInterpolate(Machine& m, Value, std::span<const Value> args)
{
    const Value a = arg(args, 0);
    const Value b = arg(args, 1);
    const double f = m.toNumber(arg(args, 2));
    const double bx = num(m, b, "x");
    const double by = num(m, b, "y");
    return Value(newPoint(m, bx + f * (num(m, a, "x") - bx), by + f * (num(m, a, "y") - by)));
}

Value pointPolar(Machine& m, Value, std::span<const Value> args)
{
    const double length = m.toNumber(arg(args, 0));
    const double angle = m.toNumber(arg(args, 1));
    return Value(newPoint(m, length * std::cos(angle), length * std::sin(angle)));
}

const NativeMethod kPointMethods[] = {
    {"add", pointAdd},           {"subtract", pointSubtract}, {"equals", pointEquals},
    {"normalize", pointNormalize}, {"offset", pointOffset},   {"clone", pointClone},
    {"toString", pointToString},
};

const NativeMethod kPointStatics[] = {
    {"distance", pointDistance},
    {"interpolate", pointInterpolate},
    {"polar", pointPolar},
};

const NativeAccessor kPointAccessors[] = {
    {"length", pointLength},
};

} // namespace

Object* newPoint(Machine& m, double x, double y)
{
    Object* proto = m.protos().named("Point");
    Object* p = m.newObject(proto ? proto : m.protos().object);
    p->put("x", Value(x));
    p->put("y", Value(y));
    return p;
}

PointValue readPoint(Machine& m, const Value& point)
{
    return {num(m, point, "x"), num(m, point, "y")};
}

void installPointClass(Machine& m)
{
    Object* proto = m.newObject();
    Object* ctor = definePackageClass(m, "flash.geom", "Point", proto, pointConstruct);
    defineMethods(m, proto, kPointMethods);
    defineAccessors(m, proto, kPointAccessors, PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    defineMethods(m, ctor, kPointStatics);
}

} // namespace swf::avm1
