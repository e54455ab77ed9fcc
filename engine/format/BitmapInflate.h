#pragma once

// zlib inflation for bitmap data, never producing more than the caller can use.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace swf {

// Inflates a zlib stream, stopping once `limit` bytes have come out (bitmap tags may carry
// trailing junk or lie about their size; nothing past the limit is ever allocated).
// Returns fewer bytes when the stream ends or is cut short first; throws FormatError when
// the data is not a valid zlib stream.
std::vector<uint8_t> inflateUpTo(std::span<const uint8_t> compressed, size_t limit);

// As inflateUpTo, but FormatError unless exactly `size` bytes come out; `what` names
// the data in the message.
std::vector<uint8_t> inflateExactly(std::span<const uint8_t> compressed, size_t size, const char* what);

} // namespace swf
