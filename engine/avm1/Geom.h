#pragma once

// flash.geom objects as the other built-in classes make and read them: BitmapData
// hands back Rectangles and takes Points, Matrices and ColorTransforms.

#include "engine/avm1/Value.h"

#include <array>

namespace swf::avm1 {

class Machine;
class Object;

Object* newPoint(Machine& m, double x, double y);
Object* newRectangle(Machine& m, double x, double y, double width, double height);

// A Rectangle (or any object with x, y, width and height) as numbers.
struct RectValue {
    double x = 0, y = 0, width = 0, height = 0;
};
RectValue readRect(Machine& m, const Value& rect);

// A Point (or any object with x and y) as numbers.
struct PointValue {
    double x = 0, y = 0;
};
PointValue readPoint(Machine& m, const Value& point);

// a, b, c, d, tx, ty of a Matrix; the identity for what is not an object.
struct MatrixValue {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};
MatrixValue readMatrix(Machine& m, const Value& matrix);
Object* newMatrix(Machine& m, const MatrixValue& value);

// Multipliers and offsets of a ColorTransform object, red, green, blue, alpha.
struct ColorTransformValue {
    std::array<double, 4> mul{1, 1, 1, 1};
    std::array<double, 4> add{0, 0, 0, 0};
};
// Null when `v` is not a ColorTransform.
bool readColorTransform(const Value& v, ColorTransformValue& out);
Object* newColorTransform(Machine& m, const ColorTransformValue& value);

} // namespace swf::avm1
