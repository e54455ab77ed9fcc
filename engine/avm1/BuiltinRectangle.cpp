// flash.geom.Rectangle: `x`, `y`, `width` and `height` are plain properties that may
// hold anything; the edges and corners (left, top, right, bottom, topLeft, bottomRight,
// size) are computed from them and write back into them. Tests that meet NaN answer
// undefined rather than false, as the reference player's comparisons do.

#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

double num(Machine& m, const Value& target, const char* name)
{
    return m.toNumber(m.getMember(target, name));
}

void setNumbers(Machine& m, const Value& self, double x, double y, double width, double height)
{
    m.setMember(self, "x", Value(x));
    m.setMember(self, "y", Value(y));
    m.setMember(self, "width", Value(width));
    m.setMember(self, "height", Value(height));
}

Value rectConstruct(Machine& m, Value self, std::span<const Value> args)
{
    if (!self.isObject())
        return Value();
    if (args.empty()) {
        setNumbers(m, self, 0, 0, 0, 0);
        return Value();
    }
    m.setMember(self, "x", arg(args, 0));
    m.setMember(self, "y", arg(args, 1));
    m.setMember(self, "width", arg(args, 2));
    m.setMember(self, "height", arg(args, 3));
    return Value();
}

Value rectLeft(Machine& m, Value self, std::span<const Value>) { return m.getMember(self, "x"); }
Value rectTop(Machine& m, Value self, std::span<const Value>) { return m.getMember(self, "y"); }
Value rectRight(Machine& m, Value self, std::span<const Value>) { return Value(num(m, self, "x") + num(m, self, "width")); }
Value rectBottom(Machine& m, Value self, std::span<const Value>) { return Value(num(m, self, "y") + num(m, self, "height")); }

// Moving the left or top edge keeps the opposite edge where it was.
Value rectSetLeft(Machine& m, Value self, std::span<const Value> args)
{
    const Value v = arg(args, 0);
    m.setMember(self, "width", Value(num(m, self, "x") + num(m, self, "width") - m.toNumber(v)));
    m.setMember(self, "x", v);
    return Value();
}

Value rectSetTop(Machine& m, Value self, std::span<const Value> args)
{
    const Value v = arg(args, 0);
    m.setMember(self, "height", Value(num(m, self, "y") + num(m, self, "height") - m.toNumber(v)));
    m.setMember(self, "y", v);
    return Value();
}

Value rectSetRight(Machine& m, Value self, std::span<const Value> args)
{
    m.setMember(self, "width", Value(m.toNumber(arg(args, 0)) - num(m, self, "x")));
    return Value();
}

Value rectSetBottom(Machine& m, Value self, std::span<const Value> args)
{
    m.setMember(self, "height", Value(m.toNumber(arg(args, 0)) - num(m, self, "y")));
    return Value();
}

Value rectTopLeft(Machine& m, Value self, std::span<const Value>)
{
    Object* p = newPoint(m, 0, 0);
    p->put("x", m.getMember(self, "x"));
    p->put("y", m.getMember(self, "y"));
    return Value(p);
}

Value rectSetTopLeft(Machine& m, Value self, std::span<const Value> args)
{
    const Value p = arg(args, 0);
    const Value x = p.isObject() ? m.getMember(p, "x") : Value();
    const Value y = p.isObject() ? m.getMember(p, "y") : Value();
    const double right = num(m, self, "x") + num(m, self, "width");
    const double bottom = num(m, self, "y") + num(m, self, "height");
    m.setMember(self, "x", x);
    m.setMember(self, "y", y);
    m.setMember(self, "width", Value(right - m.toNumber(x)));
    m.setMember(self, "height", Value(bottom - m.toNumber(y)));
    return Value();
}

Value rectBottomRight(Machine& m, Value self, std::span<const Value>)
{
    return Value(newPoint(m, num(m, self, "x") + num(m, self, "width"), num(m, self, "y") + num(m, self, "height")));
}

Value rectSetBottomRight(Machine& m, Value self, std::span<const Value> args)
{
    const Value p = arg(args, 0);
    const double px = p.isObject() ? num(m, p, "x") : NAN;
    const double py = p.isObject() ? num(m, p, "y") : NAN;
    m.setMember(self, "width", Value(px - num(m, self, "x")));
    m.setMember(self, "height", Value(py - num(m, self, "y")));
    return Value();
}

Value rectSize(Machine& m, Value self, std::span<const Value>)
{
    Object* p = newPoint(m, 0, 0);
    p->put("x", m.getMember(self, "width"));
    p->put("y", m.getMember(self, "height"));
    return Value(p);
}

Value rectSetSize(Machine& m, Value self, std::span<const Value> args)
{
    const Value p = arg(args, 0);
    m.setMember(self, "width", p.isObject() ? m.getMember(p, "x") : Value());
    m.setMember(self, "height", p.isObject() ? m.getMember(p, "y") : Value());
    return Value();
}

Value rectClone(Machine& m, Value self, std::span<const Value>)
{
    Object* r = newRectangle(m, 0, 0, 0, 0);
    for (const char* name : {"x", "y", "width", "height"})
        r->put(name, m.getMember(self, name));
    return Value(r);
}

Value rectEquals(Machine& m, Value self, std::span<const Value> args)
{
    const Value other = arg(args, 0);
    if (!other.isObject() || !m.instanceOf(other, packageClass(m, "flash.geom", "Rectangle")))
        return Value(false);
    for (const char* name : {"x", "y", "width", "height"}) {
        if (!m.looseEquals(m.getMember(self, name), m.getMember(other, name)))
            return Value(false);
    }
    return Value(true);
}

Value rectIsEmpty(Machine& m, Value self, std::span<const Value>)
{
    const double w = num(m, self, "width");
    const double h = num(m, self, "height");
    return Value(!(w > 0) || !(h > 0));
}

Value rectSetEmpty(Machine& m, Value self, std::span<const Value>)
{
    setNumbers(m, self, 0, 0, 0, 0);
    return Value();
}

// a >= b and a < b as the player answers them: undefined when either side is NaN.
Value atLeast(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? Value() : Value(a >= b);
}
Value below(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? Value() : Value(a < b);
}

// The first of the tests that is not true (false or undefined), else true.
Value allOf(std::initializer_list<Value> tests)
{
    for (const Value& t : tests) {
        if (!t.isBool() || !t.asBool())
            return t;
    }
    return Value(true);
}

Value containsXY(Machine& m, const Value& self, double px, double py)
{
    const double x = num(m, self, "x");
    const double y = num(m, self, "y");
    return allOf({atLeast(px, x), below(px, x + num(m, self, "width")), atLeast(py, y),
                  below(py, y + num(m, self, "height"))});
}

Value rectContains(Machine& m, Value self, std::span<const Value> args)
{
    if (args.size() < 2)
        return Value();
    return containsXY(m, self, m.toNumber(args[0]), m.toNumber(args[1]));
}

Value rectContainsPoint(Machine& m, Value self, std::span<const Value> args)
{
    const Value p = arg(args, 0);
    if (!p.isObject())
        return Value();
    return containsXY(m, self, num(m, p, "x"), num(m, p, "y"));
}

Value rectContainsRectangle(Machine& m, Value self, std::span<const Value> args)
{
    const Value r = arg(args, 0);
    if (!r.isObject())
        return Value();
    const double x = num(m, self, "x"), y = num(m, self, "y");
    const double right = x + num(m, self, "width"), bottom = y + num(m, self, "height");
    const double rx = num(m, r, "x"), ry = num(m, r, "y");
    const double rRight = rx + num(m, r, "width"), rBottom = ry + num(m, r, "height");
    auto atMost = [](double a, double b) { return std::isnan(a) || std::isnan(b) ? Value() : Value(a <= b); };
    return allOf({atLeast(rx, x), atLeast(ry, y), atMost(rRight, right), atMost(rBottom, bottom)});
}

void inflateBy(Machine& m, const Value& self, double dx, double dy)
{
    m.setMember(self, "x", Value(num(m, self, "x") - dx));
    m.setMember(self, "width", Value(num(m, self, "width") + 2 * dx));
    m.setMember(self, "y", Value(num(m, self, "y") - dy));
    m.setMember(self, "height", Value(num(m, self, "height") + 2 * dy));
}

Value rectInflate(Machine& m, Value self, std::span<const Value> args)
{
    inflateBy(m, self, m.toNumber(arg(args, 0)), m.toNumber(arg(args, 1)));
    return Value();
}

Value rectInflatePoint(Machine& m, Value self, std::span<const Value> args)
{
    const Value p = arg(args, 0);
    inflateBy(m, self, p.isObject() ? num(m, p, "x") : NAN, p.isObject() ? num(m, p, "y") : NAN);
    return Value();
}

void offsetBy(Machine& m, const Value& self, double dx, double dy)
{
    m.setMember(self, "x", Value(num(m, self, "x") + dx));
    m.setMember(self, "y", Value(num(m, self, "y") + dy));
}

Value rectOffset(Machine& m, Value self, std::span<const Value> args)
{
    offsetBy(m, self, m.toNumber(arg(args, 0)), m.toNumber(arg(args, 1)));
    return Value();
}

Value rectOffsetPoint(Machine& m, Value self, std::span<const Value> args)
{
    const Value p = arg(args, 0);
    offsetBy(m, self, p.isObject() ? num(m, p, "x") : NAN, p.isObject() ? num(m, p, "y") : NAN);
    return Value();
}

struct Edges {
    double left, top, right, bottom;
};

Edges edgesOf(Machine& m, const Value& r)
{
    if (!r.isObject())
        return {NAN, NAN, NAN, NAN};
    const double x = num(m, r, "x"), y = num(m, r, "y");
    return {x, y, x + num(m, r, "width"), y + num(m, r, "height")};
}

bool emptyEdges(const Edges& e)
{
    return !(e.right > e.left) || !(e.bottom > e.top);
}

// Math.min and Math.max: NaN on either side gives NaN.
double minOf(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? NAN : std::min(a, b);
}
double maxOf(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? NAN : std::max(a, b);
}

Edges overlap(const Edges& a, const Edges& b)
{
    return {maxOf(a.left, b.left), maxOf(a.top, b.top), minOf(a.right, b.right), minOf(a.bottom, b.bottom)};
}

// Union skips a side only when its size is plainly not positive; NaN sizes take part.
bool plainlyEmpty(const Edges& e)
{
    return e.right - e.left <= 0 || e.bottom - e.top <= 0;
}

Value rectIntersection(Machine& m, Value self, std::span<const Value> args)
{
    const Edges a = edgesOf(m, self);
    const Edges b = edgesOf(m, arg(args, 0));
    const Edges r = overlap(a, b);
    if (emptyEdges(r))
        return Value(newRectangle(m, 0, 0, 0, 0));
    return Value(newRectangle(m, r.left, r.top, r.right - r.left, r.bottom - r.top));
}

Value rectIntersects(Machine& m, Value self, std::span<const Value> args)
{
    const Edges a = edgesOf(m, self);
    const Edges b = edgesOf(m, arg(args, 0));
    return Value(!emptyEdges(overlap(a, b)));
}

Value rectUnion(Machine& m, Value self, std::span<const Value> args)
{
    const Edges a = edgesOf(m, self);
    const Edges b = edgesOf(m, arg(args, 0));
    if (plainlyEmpty(a))
        return Value(newRectangle(m, b.left, b.top, b.right - b.left, b.bottom - b.top));
    if (plainlyEmpty(b))
        return Value(newRectangle(m, a.left, a.top, a.right - a.left, a.bottom - a.top));
    const Edges r{minOf(a.left, b.left), minOf(a.top, b.top), maxOf(a.right, b.right), maxOf(a.bottom, b.bottom)};
    return Value(newRectangle(m, r.left, r.top, r.right - r.left, r.bottom - r.top));
}

Value rectToString(Machine& m, Value self, std::span<const Value>)
{
    return Value("(x=" + m.toString(m.getMember(self, "x")) + ", y=" + m.toString(m.getMember(self, "y")) +
                 ", w=" + m.toString(m.getMember(self, "width")) + ", h=" + m.toString(m.getMember(self, "height")) +
                 ")");
}

const NativeMethod kRectangleMethods[] = {
    {"toString", rectToString},
    {"clone", rectClone},
    {"equals", rectEquals},
    {"isEmpty", rectIsEmpty},
    {"setEmpty", rectSetEmpty},
    {"contains", rectContains},
    {"containsPoint", rectContainsPoint},
    {"containsRectangle", rectContainsRectangle},
    {"inflate", rectInflate},
    {"inflatePoint", rectInflatePoint},
    {"intersection", rectIntersection},
    {"intersects", rectIntersects},
    {"offset", rectOffset},
    {"offsetPoint", rectOffsetPoint},
    {"union", rectUnion},
};

const NativeAccessor kRectangleAccessors[] = {
    {"left", rectLeft, rectSetLeft},
    {"top", rectTop, rectSetTop},
    {"right", rectRight, rectSetRight},
    {"bottom", rectBottom, rectSetBottom},
    {"topLeft", rectTopLeft, rectSetTopLeft},
    {"bottomRight", rectBottomRight, rectSetBottomRight},
    {"size", rectSize, rectSetSize},
};

} // namespace

Object* newRectangle(Machine& m, double x, double y, double width, double height)
{
    Object* proto = m.protos().named("Rectangle");
    Object* r = m.newObject(proto ? proto : m.protos().object);
    r->put("x", Value(x));
    r->put("y", Value(y));
    r->put("width", Value(width));
    r->put("height", Value(height));
    return r;
}

RectValue readRect(Machine& m, const Value& rect)
{
    return {num(m, rect, "x"), num(m, rect, "y"), num(m, rect, "width"), num(m, rect, "height")};
}

void installRectangleClass(Machine& m)
{
    Object* proto = m.newObject();
    definePackageClass(m, "flash.geom", "Rectangle", proto, rectConstruct);
    defineMethods(m, proto, kRectangleMethods);
    defineAccessors(m, proto, kRectangleAccessors, PropertyFlag::DontEnum | PropertyFlag::DontDelete);
}

} // namespace swf::avm1
