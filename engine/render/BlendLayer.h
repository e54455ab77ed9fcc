#pragma once

// The pixel side of blend modes: an object with a mode other than normal is drawn into
// a layer of its own, which these functions colour and combine with what lies below.
// Layers are ARGB32 premultiplied images.

#include "engine/format/BlendMode.h"
#include "engine/format/Primitives.h"

#include <QPainter>

class QImage;

namespace swf::render {

// The Qt composition that does what `mode` does, for the modes Qt has (normal, layer,
// multiply, screen, lighten, darken, difference, add, overlay, hard light); source-over
// for the others, which need blendPixels or their own steps.
QPainter::CompositionMode compositionModeFor(BlendMode mode);

// Applies a colour transform to every pixel the layer holds; its empty pixels are not
// part of the object and stay empty.
void applyColorTransform(QImage& layer, const ColorTransform& cx);

// Subtract and invert by hand: `backdrop` (a copy of the pixels under the layer, the
// same size) becomes what they turn into with `layer` over them. Subtract takes the
// layer's colour away from the backdrop's; invert turns the backdrop's colour round
// where the layer covers it, whatever the layer's colour. Other modes leave it alone.
void blendPixels(QImage& backdrop, const QImage& layer, BlendMode mode);

// For the alpha mode: what the object does not cover (its pixels of alpha 0) keeps the
// layer below as it is, as in the reference player, rather than clearing it. Such pixels
// become opaque, which Qt's destination-in composition leaves alone.
void makeEmptyPixelsOpaque(QImage& layer);

// Replaces each pixel's colour by white of the same coverage: the source that turns
// Qt's difference composition into an inversion.
void whitenKeepingAlpha(QImage& layer);

} // namespace swf::render
