#pragma once

// Small encoders that make the image data the bitmap tests decode: zlib, JPEG through
// libjpeg's compressor, and PNG and GIF files written byte by byte.

#include <cstdint>
#include <span>
#include <vector>

namespace swf::test {

// Samples of one image: `components` bytes a pixel, rows top to bottom, no padding.
struct Samples {
    int width = 0;
    int height = 0;
    int components = 3;
    std::vector<uint8_t> data;

    const uint8_t* at(int x, int y) const { return data.data() + (static_cast<size_t>(y) * width + x) * components; }
};

// A smooth colour picture that JPEG reproduces closely.
Samples gradient(int width, int height, int components = 3);

std::vector<uint8_t> zlibCompress(std::span<const uint8_t> data);

enum class JpegColor { Rgb, Gray, AdobeCmyk };

std::vector<uint8_t> encodeJpeg(const Samples& image, JpegColor color = JpegColor::Rgb, int quality = 95,
                                bool progressive = false);

// The same image as a tables-only stream and an abbreviated image stream without tables,
// as DefineBits and JPEGTables store it.
struct SplitJpeg {
    std::vector<uint8_t> tables;
    std::vector<uint8_t> image;
};
SplitJpeg encodeSplitJpeg(const Samples& image);

struct PngOptions {
    uint8_t colorType = 2;
    uint8_t depth = 8;
    bool interlaced = false;
    std::vector<uint8_t> palette;       // PLTE body
    std::vector<uint8_t> transparency;  // tRNS body
};
// `rows` holds each row's packed samples (without filter bytes); row i is written with
// filter type `filters[i % filters.size()]`, so every filter is exercised.
std::vector<uint8_t> encodePng(int width, int height, const std::vector<std::vector<uint8_t>>& rows,
                               const PngOptions& options, std::span<const uint8_t> filters = {});

struct GifFrame {
    int screenWidth = 0, screenHeight = 0;
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> palette;  // RGB triples; global table
    std::vector<uint8_t> indices;  // width * height, in display order
    int transparentIndex = -1;
    bool interlaced = false;
};
std::vector<uint8_t> encodeGif(const GifFrame& frame);
// The LZW code stream alone (before splitting into sub-blocks).
std::vector<uint8_t> gifLzw(std::span<const uint8_t> indices, unsigned minCodeSize);

} // namespace swf::test
