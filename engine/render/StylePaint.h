#pragma once

// Qt brushes and pens for shape styles, with the placed object's colour transform
// applied to colours and gradient stops.

#include "engine/format/Shape.h"
#include "engine/render/RenderTree.h"

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

namespace swf::render {

inline QTransform toQTransform(const Matrix& m)
{
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
}

QColor toQColor(Rgba c, const ColorTransform& cx);


// A brush for `fill` in shape space (twips); `toDevice` is applied after the fill's own
// matrix, so a brush for a path already in device pixels passes the shape's matrix and
// one for a path drawn under the painter's transform passes the identity.
QBrush fillBrush(const FillStyle& fill, const ColorTransform& cx, const QTransform& toDevice,
                 const BitmapSource* bitmaps);

// Fills `path` (in shape space, drawn under `toDevice`) with a clipped bitmap fill: the
// bitmap once, and beyond its edges its outermost rows and columns drawn out, as the
// player does instead of repeating it. A missing bitmap draws nothing.
void fillClampedBitmap(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const ColorTransform& cx,
                       const QTransform& toDevice, const BitmapSource* bitmaps);

// The gradient stops Qt needs: the player's 256-entry ramp (each entry flat over its
// 256th of the gradient, channels blended and cut down to whole levels), or the one
// colour of a single-stop gradient.
QGradientStops gradientStops(const Gradient& gradient, const ColorTransform& cx);

// The one factor a stroke's width is scaled by under `toDevice`, for the style's scale
// mode: both axes, only one, or none (then twips become pixels and nothing else).
double strokeScale(const LineStyle& line, const Matrix& toDevice);

// Stroke width in device pixels: the style's width times its scale, never below one
// pixel (hairlines and strokes scaled thinner than a pixel are drawn one pixel wide).
double strokeWidth(const LineStyle& line, const Matrix& toDevice);

// The pen's shape for a stroke of `width`: caps, joins and miter limit (its brush is
// left black).
QPen strokeShapePen(const LineStyle& line, double width);

// What a stroke is painted with, in shape space then `toDevice`, as fillBrush.
QBrush strokeBrush(const LineStyle& line, const ColorTransform& cx, const QTransform& toDevice,
                   const BitmapSource* bitmaps);

QPen strokePen(const LineStyle& line, const ColorTransform& cx, const Matrix& toDevice, const BitmapSource* bitmaps);

} // namespace swf::render
