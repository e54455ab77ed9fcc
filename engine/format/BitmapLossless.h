#pragma once

// DefineBitsLossless (opaque) and DefineBitsLossless2 (with alpha): zlib-compressed
// colour-mapped, 15-bit or 32-bit pixels.

#include "engine/format/Bitmap.h"

namespace swf {

enum class LosslessAlpha : uint8_t { Opaque, Premultiplied };

// `body` starts at the format byte. Lossless2 colours (colour map entries and ARGB
// pixels) are stored premultiplied by their alpha, as the player keeps them in memory;
// they are taken as they are, with channels clamped to alpha.
BitmapData decodeLossless(ByteReader& body, LosslessAlpha alpha);

} // namespace swf
