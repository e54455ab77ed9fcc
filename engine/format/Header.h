#pragma once

// The fixed part at the start of every movie: signature, version, length, then (inside
// the compressed part for CWS/ZWS) the stage rectangle, frame rate and frame count.

#include "engine/format/Primitives.h"

#include <cstdint>

namespace swf {

enum class Compression { None, Zlib, Lzma };

struct Header {
    int version = 0;
    Compression compression = Compression::None;
    uint32_t declaredLength = 0;  // uncompressed file length, the 8-byte prefix included
    Rect stage;                   // twips
    double frameRate = 0;         // frames per second
    int frameCount = 0;           // as declared; the tag stream may hold more or fewer
};

// Reads the stage rectangle, frame rate and frame count from the start of the
// uncompressed body (the bytes after the 8-byte prefix), leaving `body` at the first tag.
void readHeaderTail(ByteReader& body, Header& header);

} // namespace swf
