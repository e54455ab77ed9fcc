#pragma once

// SWF JPEG data as libjpeg needs it. Movies store JPEG data in shapes a standalone file
// never has: the tables in a separate JPEGTables tag (DefineBits), tables and image as two
// complete SOI..EOI blocks back to back, or a stray "FF D9 FF D8" before the real start.
// Joining rewrites all of these into one SOI, the marker segments in order, one EOI.

#include <cstdint>
#include <span>
#include <vector>

namespace swf {

// Joins the parts (e.g. the JPEGTables body, then the image) into one JPEG stream. Every
// SOI and EOI inside is dropped; the stream ends after the first image's scan data is
// closed by an EOI, and anything after that is ignored. A part cut short is taken as far
// as it goes (libjpeg then decodes what it can). FormatError when no scan is found.
std::vector<uint8_t> joinJpegParts(std::span<const std::span<const uint8_t>> parts);

} // namespace swf
