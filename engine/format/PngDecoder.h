#pragma once

// PNG images, which DefineBitsJPEG2/3/4 may carry in place of JPEG data.

#include "engine/format/Bitmap.h"

namespace swf {

// True when `data` starts with the PNG signature.
bool looksLikePng(std::span<const uint8_t> data);

// Decodes the first image of a PNG file: every colour type and bit depth, transparency
// chunks and Adam7 interlacing. Gamma and colour-space chunks are ignored, as the movie's
// colours are used as given. FormatError for malformed, incomplete or oversized data.
BitmapData decodePng(std::span<const uint8_t> data);

} // namespace swf
