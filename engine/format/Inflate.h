#pragma once

// The one zlib inflation loop of the engine, for compressed movies and bitmap data
// alike: output grows as the stream proves long, never past a limit, and whatever
// came out before a stream ended early or went bad is kept for the caller to judge.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace swf {

struct Inflated {
    std::vector<uint8_t> bytes;
    bool ended = false;      // the stream reached its proper end
    bool corrupt = false;    // the data stopped being a valid zlib stream
    bool inputLeft = false;  // stopped at the limit with compressed input still unread
    std::string error;       // zlib's word on what went bad, when corrupt
};

// Inflates at most `limit` bytes. Throws FormatError only when zlib cannot start.
Inflated inflateZlib(std::span<const uint8_t> input, size_t limit);

} // namespace swf
