// flash.geom.Matrix: an affine transform in plain properties a, b, c, d, tx, ty (x' =
// a*x + c*y + tx, y' = b*x + d*y + ty). The operations read them as numbers and write
// numbers back; a matrix made with too few arguments keeps undefined where none came.

#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

#include <cmath>

namespace swf::avm1 {

namespace {

constexpr const char* kFields[] = {"a", "b", "c", "d", "tx", "ty"};

void writeMatrix(Machine& m, const Value& target, const MatrixValue& v)
{
    const double parts[] = {v.a, v.b, v.c, v.d, v.tx, v.ty};
    for (size_t i = 0; i < 6; ++i)
        m.setMember(target, kFields[i], Value(parts[i]));
}

// this followed by `next`.
MatrixValue concatenate(const MatrixValue& t, const MatrixValue& n)
{
    return {t.a * n.a + t.b * n.c,          t.a * n.b + t.b * n.d,          t.c * n.a + t.d * n.c,
            t.c * n.b + t.d * n.d,          t.tx * n.a + t.ty * n.c + n.tx, t.tx * n.b + t.ty * n.d + n.ty};
}

Value matrixConstruct(Machine& m, Value self, std::span<const Value> args)
{
    if (!self.isObject())
        return Value();
    if (args.empty()) {
        writeMatrix(m, self, MatrixValue{});
        return Value();
    }
    for (size_t i = 0; i < 6; ++i)
        m.setMember(self, kFields[i], arg(args, i));
    return Value();
}

Value matrixToString(Machine& m, Value self, std::span<const Value>)
{
    std::string s = "(";
    for (size_t i = 0; i < 6; ++i) {
        if (i)
            s += ", ";
        s += kFields[i];
        s += '=';
        s += m.toString(m.getMember(self, kFields[i]));
    }
    return Value(s + ")");
}

Value matrixClone(Machine& m, Value self, std::span<const Value>)
{
    Object* copy = newMatrix(m, MatrixValue{});
    for (const char* field : kFields)
        copy->put(field, m.getMember(self, field));
    return Value(copy);
}

Value matrixIdentity(Machine& m, Value self, std::span<const Value>)
{
    writeMatrix(m, self, MatrixValue{});
    return Value();
}

Value matrixConcat(Machine& m, Value self, std::span<const Value> args)
{
    if (!arg(args, 0).isObject())
        return Value();
    writeMatrix(m, self, concatenate(readMatrix(m, self), readMatrix(m, args[0])));
    return Value();
}

Value matrixInvert(Machine& m, Value self, std::span<const Value>)
{
    const MatrixValue t = readMatrix(m, self);
    const double det = t.a * t.d - t.b * t.c;
    MatrixValue inv;
    if (det == 0) {
        // A flat transform has no inverse; it becomes the identity.
        writeMatrix(m, self, inv);
        return Value();
    }
    inv.a = t.d / det;
    inv.b = -t.b / det;
    inv.c = -t.c / det;
    inv.d = t.a / det;
    inv.tx = -(inv.a * t.tx + inv.c * t.ty);
    inv.ty = -(inv.b * t.tx + inv.d * t.ty);
    writeMatrix(m, self, inv);
    return Value();
}

Value matrixRotate(Machine& m, Value self, std::span<const Value> args)
{
    const double angle = m.toNumber(arg(args, 0));
    if (angle == 0)
        return Value();
    const MatrixValue rotation{std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0};
    writeMatrix(m, self, concatenate(readMatrix(m, self), rotation));
    return Value();
}

Value matrixScale(Machine& m, Value self, std::span<const Value> args)
{
    const double sx = m.toNumber(arg(args, 0));
    const double sy = m.toNumber(arg(args, 1));
    writeMatrix(m, self, concatenate(readMatrix(m, self), MatrixValue{sx, 0, 0, sy, 0, 0}));
    return Value();
}

Value matrixTranslate(Machine& m, Value self, std::span<const Value> args)
{
    MatrixValue t = readMatrix(m, self);
    t.tx += m.toNumber(arg(args, 0));
    t.ty += m.toNumber(arg(args, 1));
    m.setMember(self, "tx", Value(t.tx));
    m.setMember(self, "ty", Value(t.ty));
    return Value();
}

// Scale, then rotation, then translation; a missing translation is 0.
MatrixValue box(double sx, double sy, double rotation, double tx, double ty)
{
    const double cos = std::cos(rotation);
    const double sin = std::sin(rotation);
    return {sx * cos, sy * sin, -sx * sin, sy * cos, tx, ty};
}

double offsetArg(Machine& m, std::span<const Value> args, size_t i)
{
    return arg(args, i).isUndefined() ? 0.0 : m.toNumber(args[i]);
}

Value matrixCreateBox(Machine& m, Value self, std::span<const Value> args)
{
    writeMatrix(m, self,
                box(m.toNumber(arg(args, 0)), m.toNumber(arg(args, 1)), m.toNumber(arg(args, 2)), offsetArg(m, args, 3),
                    offsetArg(m, args, 4)));
    return Value();
}

// The gradient square is 1638.4 pixels wide; the box maps it onto width x height with
// its centre at the box's centre.
Value matrixCreateGradientBox(Machine& m, Value self, std::span<const Value> args)
{
    const double width = m.toNumber(arg(args, 0));
    const double height = m.toNumber(arg(args, 1));
    const double rotation = offsetArg(m, args, 2);
    const double tx = offsetArg(m, args, 3);
    const double ty = offsetArg(m, args, 4);
    writeMatrix(m, self, box(width / 1638.4, height / 1638.4, rotation, tx + width / 2, ty + height / 2));
    return Value();
}

Value matrixTransformPoint(Machine& m, Value self, std::span<const Value> args)
{
    const MatrixValue t = readMatrix(m, self);
    const PointValue p = arg(args, 0).isObject() ? readPoint(m, args[0]) : PointValue{NAN, NAN};
    return Value(newPoint(m, t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty));
}

Value matrixDeltaTransformPoint(Machine& m, Value self, std::span<const Value> args)
{
    const MatrixValue t = readMatrix(m, self);
    const PointValue p = arg(args, 0).isObject() ? readPoint(m, args[0]) : PointValue{NAN, NAN};
    return Value(newPoint(m, t.a * p.x + t.c * p.y, t.b * p.x + t.d * p.y));
}

const NativeMethod kMatrixMethods[] = {
    {"toString", matrixToString},
    {"clone", matrixClone},
    {"identity", matrixIdentity},
    {"concat", matrixConcat},
    {"invert", matrixInvert},
    {"rotate", matrixRotate},
    {"scale", matrixScale},
    {"translate", matrixTranslate},
    {"createBox", matrixCreateBox},
    {"createGradientBox", matrixCreateGradientBox},
    {"transformPoint", matrixTransformPoint},
    {"deltaTransformPoint", matrixDeltaTransformPoint},
};

} // namespace

MatrixValue readMatrix(Machine& m, const Value& matrix)
{
    if (!matrix.isObject())
        return {};
    double parts[6];
    for (size_t i = 0; i < 6; ++i)
        parts[i] = m.toNumber(m.getMember(matrix, kFields[i]));
    return {parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
}

Object* newMatrix(Machine& m, const MatrixValue& v)
{
    Object* proto = m.protos().named("Matrix");
    Object* o = m.newObject(proto ? proto : m.protos().object);
    const double parts[] = {v.a, v.b, v.c, v.d, v.tx, v.ty};
    for (size_t i = 0; i < 6; ++i)
        o->put(kFields[i], Value(parts[i]));
    return o;
}

void installMatrixClass(Machine& m)
{
    Object* proto = m.newObject();
    definePackageClass(m, "flash.geom", "Matrix", proto, matrixConstruct);
    defineMethods(m, proto, kMatrixMethods);
}

} // namespace swf::avm1
