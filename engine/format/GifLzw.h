#pragma once

// The variable-length LZW code of GIF image data.

#include <cstddef>
#include <cstdint>
#include <span>

namespace swf {

// Decodes `data` (the image's sub-blocks already joined) into colour indices, stopping
// when `out` is full, at the end code, at the end of data or at a code that cannot occur
// in a valid stream. Returns the number of indices written. `minCodeSize` is 1..11.
size_t decodeGifLzw(std::span<const uint8_t> data, unsigned minCodeSize, std::span<uint8_t> out);

} // namespace swf
