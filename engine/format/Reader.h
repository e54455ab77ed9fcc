#pragma once

#include "engine/format/Error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace swf {

// Little-endian byte reader over a borrowed buffer. Every read is bounds-checked
// and throws FormatError past the end; nothing here trusts a length in the data.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    size_t position() const { return pos_; }
    size_t size() const { return data_.size(); }
    size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    std::span<const uint8_t> data() const { return data_; }

    void seek(size_t pos);
    void skip(size_t count);

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    int8_t s8() { return static_cast<int8_t>(u8()); }
    int16_t s16() { return static_cast<int16_t>(u16()); }
    int32_t s32() { return static_cast<int32_t>(u32()); }
    float f32();
    double f64();           // IEEE double, little-endian (DefineFunction2 etc.)
    double f64Swapped();    // ActionScript push doubles: the two 32-bit halves swapped
    float fixed8();         // 8.8 signed fixed point
    double fixed16();       // 16.16 signed fixed point
    uint32_t encodedU32();  // variable-length, 1 to 5 bytes

    // Bytes as a view into the buffer (no copy).
    std::span<const uint8_t> bytes(size_t count);
    // Rest of the buffer from here.
    std::span<const uint8_t> rest();
    // NUL-terminated string; throws when no terminator is left.
    std::string cstring();
    // Fixed-length string (may contain anything).
    std::string string(size_t count);

    // A reader over the next `count` bytes, advancing this one past them.
    ByteReader sub(size_t count);

private:
    void need(size_t count) const;

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

// Bit-packed reader, most significant bit first, as SWF's RECT, MATRIX and shape
// records are stored. It reads from a ByteReader and leaves it at the next whole byte
// after align().
class BitReader {
public:
    explicit BitReader(ByteReader& bytes) : bytes_(bytes) {}

    uint32_t ub(unsigned bits);
    int32_t sb(unsigned bits);
    double fb(unsigned bits);  // signed 16.16 fixed point
    bool flag() { return ub(1) != 0; }
    // Discards the rest of the current byte.
    void align() { bitsLeft_ = 0; }

private:
    ByteReader& bytes_;
    uint8_t current_ = 0;
    unsigned bitsLeft_ = 0;
};

} // namespace swf
