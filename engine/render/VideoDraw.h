#pragma once

// Drawing an embedded video's picture: the stream's box in the object's space (its
// width and height in pixels, from the origin), under the object's matrix and colour
// transform, smoothed when the stream asks for it and the quality allows.

#include "engine/format/Primitives.h"

#include <QPainterPath>

class QImage;
class QPainter;

namespace swf {
struct EmbeddedVideo;
}

namespace swf::render {

void drawVideo(QPainter& painter, const QImage& picture, const EmbeddedVideo& video, const Matrix& world,
               const ColorTransform& cx, bool smooth);

// The box as a mask covers it, in device pixels.
QPainterPath videoMaskArea(const EmbeddedVideo& video, const Matrix& world);

} // namespace swf::render
