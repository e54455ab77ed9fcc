#pragma once

// JPEG decoding with libjpeg-turbo, contained so that libjpeg's errors come back as
// FormatError and never end the process.

#include "engine/format/Bitmap.h"

namespace swf {

// Decodes `image`, with `tables` (a JPEGTables body, possibly empty) spliced in front.
// The result is opaque. Grayscale, YCbCr, RGB, CMYK and YCCK sources come out as RGB.
// Data cut off mid-scan decodes as far as it goes; a fatal error after some rows have
// been decoded keeps those rows and leaves the rest transparent.
BitmapData decodeJpeg(std::span<const uint8_t> tables, std::span<const uint8_t> image);

} // namespace swf
