#pragma once

// The filters that work on each pixel's colour: the colour matrix, and convolution,
// which mixes each pixel with its neighbours. Both work on colour that is not
// premultiplied, as the reference player's do.

#include "engine/format/Filter.h"

class QImage;

namespace swf::render {

void applyColorMatrixFilter(QImage& surface, const Filter& filter);
void applyConvolutionFilter(QImage& surface, const Filter& filter);

} // namespace swf::render
