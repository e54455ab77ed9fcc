#include "tests/engine/format/bitmap/ImageWriters.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <jpeglib.h>
#include <zlib.h>

namespace swf::test {

Samples gradient(int width, int height, int components)
{
    Samples s{width, height, components, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                s.data.push_back(static_cast<uint8_t>((x * 255 / std::max(1, width - 1) * (c + 1)
                                                       + y * 255 / std::max(1, height - 1) * (3 - c)) / 4));
    return s;
}

std::vector<uint8_t> zlibCompress(std::span<const uint8_t> data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK)
        throw std::runtime_error("zlib compress failed");
    out.resize(size);
    return out;
}

namespace {

// A compressor writing into memory that libjpeg allocates with malloc.
class JpegCompressor {
public:
    JpegCompressor()
    {
        info_.err = jpeg_std_error(&errors_);
        jpeg_create_compress(&info_);
    }
    ~JpegCompressor()
    {
        jpeg_destroy_compress(&info_);
        std::free(buffer_);
    }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;

    jpeg_compress_struct& info() { return info_; }

    void setup(const Samples& image, JpegColor color, int quality)
    {
        info_.image_width = static_cast<JDIMENSION>(image.width);
        info_.image_height = static_cast<JDIMENSION>(image.height);
        info_.input_components = image.components;
        info_.in_color_space = color == JpegColor::Gray ? JCS_GRAYSCALE : color == JpegColor::Rgb ? JCS_RGB : JCS_CMYK;
        jpeg_set_defaults(&info_);
        jpeg_set_quality(&info_, quality, TRUE);
    }

    void toMemory()
    {
        std::free(buffer_);
        buffer_ = nullptr;
        size_ = 0;
        jpeg_mem_dest(&info_, &buffer_, &size_);
    }

    void writeImage(const Samples& image, bool withTables)
    {
        jpeg_start_compress(&info_, withTables ? TRUE : FALSE);
        while (info_.next_scanline < info_.image_height) {
            auto* row = const_cast<JSAMPROW>(image.at(0, static_cast<int>(info_.next_scanline)));
            jpeg_write_scanlines(&info_, &row, 1);
        }
        jpeg_finish_compress(&info_);
    }

    std::vector<uint8_t> output() const { return {buffer_, buffer_ + size_}; }

private:
    jpeg_compress_struct info_{};
    jpeg_error_mgr errors_{};
    unsigned char* buffer_ = nullptr;
    unsigned long size_ = 0;
};

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void pngChunk(std::vector<uint8_t>& out, std::string_view type, std::span<const uint8_t> body)
{
    put32(out, static_cast<uint32_t>(body.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), body.begin(), body.end());
    put32(out, static_cast<uint32_t>(crc32(0, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt))));
}

int paethPredict(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

std::vector<uint8_t> filterRow(uint8_t type, const std::vector<uint8_t>& raw, const std::vector<uint8_t>& prior, size_t bpp)
{
    std::vector<uint8_t> out{type};
    for (size_t i = 0; i < raw.size(); ++i) {
        const int left = i >= bpp ? raw[i - bpp] : 0;
        const int up = prior[i];
        const int upLeft = i >= bpp ? prior[i - bpp] : 0;
        const int predict = type == 1 ? left : type == 2 ? up : type == 3 ? (left + up) / 2
                          : type == 4 ? paethPredict(left, up, upLeft) : 0;
        out.push_back(static_cast<uint8_t>(raw[i] - predict));
    }
    return out;
}

int pngChannels(uint8_t colorType) { return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1; }

// Filtered rows of one (sub)image.
void appendFiltered(std::vector<uint8_t>& out, const std::vector<std::vector<uint8_t>>& rows, size_t bpp,
                    std::span<const uint8_t> filters, size_t& rowCounter)
{
    if (rows.empty())
        return;
    std::vector<uint8_t> prior(rows[0].size(), 0);
    for (const auto& row : rows) {
        const uint8_t type = filters.empty() ? 0 : filters[rowCounter++ % filters.size()];
        const auto filtered = filterRow(type, row, prior, bpp);
        out.insert(out.end(), filtered.begin(), filtered.end());
        prior = row;
    }
}

} // namespace

std::vector<uint8_t> encodeJpeg(const Samples& image, JpegColor color, int quality, bool progressive)
{
    JpegCompressor c;
    c.toMemory();
    c.setup(image, color, quality);
    if (progressive)
        jpeg_simple_progression(&c.info());
    c.writeImage(image, true);
    return c.output();
}

SplitJpeg encodeSplitJpeg(const Samples& image)
{
    JpegCompressor c;
    c.toMemory();
    c.setup(image, JpegColor::Rgb, 90);
    jpeg_write_tables(&c.info());
    SplitJpeg split;
    split.tables = c.output();
    c.toMemory();
    jpeg_suppress_tables(&c.info(), TRUE);
    c.writeImage(image, false);
    split.image = c.output();
    return split;
}

std::vector<uint8_t> encodePng(int width, int height, const std::vector<std::vector<uint8_t>>& rows,
                               const PngOptions& o, std::span<const uint8_t> filters)
{
    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {o.depth, o.colorType, 0, 0, static_cast<uint8_t>(o.interlaced ? 1 : 0)});
    pngChunk(out, "IHDR", header);
    if (!o.palette.empty())
        pngChunk(out, "PLTE", o.palette);
    if (!o.transparency.empty())
        pngChunk(out, "tRNS", o.transparency);

    const size_t bitsPerPixel = static_cast<size_t>(pngChannels(o.colorType)) * o.depth;
    const size_t bpp = std::max<size_t>(1, bitsPerPixel / 8);
    std::vector<uint8_t> filtered;
    size_t rowCounter = 0;
    if (!o.interlaced) {
        appendFiltered(filtered, rows, bpp, filters, rowCounter);
    } else {
        // Whole-byte pixels only: each pass picks every dx-th pixel of every dy-th row.
        const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& p : passes) {
            std::vector<std::vector<uint8_t>> sub;
            for (int y = p[1]; y < height; y += p[3]) {
                std::vector<uint8_t> row;
                for (int x = p[0]; x < width; x += p[2])
                    row.insert(row.end(), rows[y].begin() + x * static_cast<long>(bpp), rows[y].begin() + (x + 1) * static_cast<long>(bpp));
                if (!row.empty())
                    sub.push_back(row);
            }
            appendFiltered(filtered, sub, bpp, filters, rowCounter);
        }
    }
    pngChunk(out, "IDAT", zlibCompress(filtered));
    pngChunk(out, "IEND", {});
    return out;
}

namespace {

// LSB-first code packing, and a mirror of the decoder's code width so both agree.
class LzwWriter {
public:
    LzwWriter(unsigned minCodeSize) : min_(minCodeSize), clear_(1u << minCodeSize) { reset(); }

    void emit(unsigned code)
    {
        buffer_ |= code << held_;
        held_ += bits_;
        while (held_ >= 8) {
            out_.push_back(static_cast<uint8_t>(buffer_));
            buffer_ >>= 8;
            held_ -= 8;
        }
        if (emitted_++ > 0 && decoderNext_ < 4096) {
            ++decoderNext_;
            if (decoderNext_ == (1u << bits_) && bits_ < 12)
                ++bits_;
        }
    }
    void clear()
    {
        emit(clear_);
        reset();
    }
    std::vector<uint8_t> finish()
    {
        emit(clear_ + 1);
        if (held_ > 0)
            out_.push_back(static_cast<uint8_t>(buffer_));
        return out_;
    }

private:
    void reset()
    {
        bits_ = min_ + 1;
        decoderNext_ = clear_ + 2;
        emitted_ = 0;
    }

    unsigned min_, clear_;
    unsigned bits_ = 0, decoderNext_ = 0, emitted_ = 0;
    uint32_t buffer_ = 0;
    unsigned held_ = 0;
    std::vector<uint8_t> out_;
};

} // namespace

std::vector<uint8_t> gifLzw(std::span<const uint8_t> indices, unsigned minCodeSize)
{
    LzwWriter writer(minCodeSize);
    const unsigned firstFree = (1u << minCodeSize) + 2;
    std::map<std::pair<unsigned, uint8_t>, unsigned> dictionary;
    unsigned next = firstFree;
    writer.clear();
    int current = -1;
    for (uint8_t c : indices) {
        if (current < 0) {
            current = c;
            continue;
        }
        const auto found = dictionary.find({static_cast<unsigned>(current), c});
        if (found != dictionary.end()) {
            current = static_cast<int>(found->second);
            continue;
        }
        writer.emit(static_cast<unsigned>(current));
        dictionary[{static_cast<unsigned>(current), c}] = next++;
        if (next >= 4095) {
            writer.clear();
            dictionary.clear();
            next = firstFree;
        }
        current = c;
    }
    if (current >= 0)
        writer.emit(static_cast<unsigned>(current));
    return writer.finish();
}

std::vector<uint8_t> encodeGif(const GifFrame& f)
{
    auto put16 = [](std::vector<uint8_t>& out, int v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    unsigned sizeBits = 0;
    while ((2u << sizeBits) * 3 < f.palette.size())
        ++sizeBits;
    std::vector<uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
    put16(out, f.screenWidth);
    put16(out, f.screenHeight);
    out.insert(out.end(), {static_cast<uint8_t>(0x80 | sizeBits), 0, 0});
    std::vector<uint8_t> table = f.palette;
    table.resize((2u << sizeBits) * 3, 0);
    out.insert(out.end(), table.begin(), table.end());
    if (f.transparentIndex >= 0)
        out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(f.transparentIndex), 0});
    out.push_back(0x2C);
    put16(out, f.left);
    put16(out, f.top);
    put16(out, f.width);
    put16(out, f.height);
    out.push_back(f.interlaced ? 0x40 : 0);
    std::vector<uint8_t> stream = f.indices;
    if (f.interlaced) {
        stream.clear();
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < f.height; y += step)
                stream.insert(stream.end(), f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
    }
    const unsigned minCodeSize = std::max(2u, sizeBits + 1);
    out.push_back(static_cast<uint8_t>(minCodeSize));
    const std::vector<uint8_t> lzw = gifLzw(stream, minCodeSize);
    for (size_t i = 0; i < lzw.size(); i += 255) {
        const size_t n = std::min<size_t>(255, lzw.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), lzw.begin() + static_cast<long>(i), lzw.begin() + static_cast<long>(i + n));
    }
    out.insert(out.end(), {0, 0x3B});
    return out;
}

} // namespace swf::test
