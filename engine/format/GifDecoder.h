#pragma once

// GIF images, which DefineBitsJPEG2/3/4 may carry in place of JPEG data.

#include "engine/format/Bitmap.h"

namespace swf {

// True when `data` starts with a GIF87a or GIF89a signature.
bool looksLikeGif(std::span<const uint8_t> data);

// Decodes the first frame onto a transparent canvas of the logical screen's size (the
// frame's own size when the screen is given as empty), honouring the frame's transparent
// colour and interlacing. LZW data that ends early leaves the rest of the frame
// transparent. FormatError for malformed or oversized data.
BitmapData decodeGif(std::span<const uint8_t> data);

} // namespace swf
