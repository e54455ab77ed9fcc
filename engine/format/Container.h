#pragma once

// The three containers a movie comes in: FWS (plain), CWS (zlib from byte 8) and ZWS
// (LZMA from byte 12). Decoding is capped so that a hostile length cannot make us
// allocate without bound, and a stream that stops early yields what it had.

#include "engine/format/Error.h"
#include "engine/format/Header.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace swf {

// Why a container was refused; the loader maps each to its own message.
class ContainerError : public FormatError {
public:
    enum class Reason { NotAMovie, TooLarge, Corrupt };
    ContainerError(Reason reason, const std::string& what) : FormatError(what), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// The most any movie may expand to; larger ones are refused rather than half-loaded.
constexpr size_t kMaxMovieBytes = size_t{256} << 20;

struct DecodedMovie {
    Header header;
    // Uncompressed bytes after the 8-byte prefix (header tail, then the tags).
    std::vector<uint8_t> body;
    // Offset of the first tag within `body`.
    size_t tagsOffset = 0;
    // The data ended before the length the header declared.
    bool truncated = false;
};

// Identifies the container by its signature, without decoding anything.
bool looksLikeMovie(std::span<const uint8_t> file);

DecodedMovie decodeMovie(std::span<const uint8_t> file, size_t ceiling = kMaxMovieBytes);

} // namespace swf
