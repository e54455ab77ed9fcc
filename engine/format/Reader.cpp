#include "engine/format/Reader.h"

#include <bit>
#include <cstring>

namespace swf {

void ByteReader::need(size_t count) const
{
    if (count > data_.size() - pos_)
        throw FormatError("unexpected end of data (needed " + std::to_string(count) + " bytes, "
                          + std::to_string(data_.size() - pos_) + " left)");
}

void ByteReader::seek(size_t pos)
{
    if (pos > data_.size())
        throw FormatError("seek past the end of data");
    pos_ = pos;
}

void ByteReader::skip(size_t count)
{
    need(count);
    pos_ += count;
}

uint8_t ByteReader::u8()
{
    need(1);
    return data_[pos_++];
}

uint16_t ByteReader::u16()
{
    need(2);
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
}

uint32_t ByteReader::u32()
{
    need(4);
    uint32_t v = static_cast<uint32_t>(data_[pos_]) | (static_cast<uint32_t>(data_[pos_ + 1]) << 8)
        | (static_cast<uint32_t>(data_[pos_ + 2]) << 16) | (static_cast<uint32_t>(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return v;
}

float ByteReader::f32()
{
    return std::bit_cast<float>(u32());
}

double ByteReader::f64()
{
    uint64_t lo = u32();
    uint64_t hi = u32();
    return std::bit_cast<double>((hi << 32) | lo);
}

double ByteReader::f64Swapped()
{
    uint64_t hi = u32();
    uint64_t lo = u32();
    return std::bit_cast<double>((hi << 32) | lo);
}

float ByteReader::fixed8()
{
    return static_cast<float>(s16()) / 256.0f;
}

double ByteReader::fixed16()
{
    return static_cast<double>(s32()) / 65536.0;
}

uint32_t ByteReader::encodedU32()
{
    uint32_t result = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t b = u8();
        result |= static_cast<uint32_t>(b & 0x7F) << (7 * i);
        if (!(b & 0x80))
            break;
    }
    return result;
}

std::span<const uint8_t> ByteReader::bytes(size_t count)
{
    need(count);
    auto view = data_.subspan(pos_, count);
    pos_ += count;
    return view;
}

std::span<const uint8_t> ByteReader::rest()
{
    return bytes(remaining());
}

std::string ByteReader::cstring()
{
    const uint8_t* begin = data_.data() + pos_;
    const void* end = std::memchr(begin, 0, remaining());
    if (!end)
        throw FormatError("unterminated string");
    size_t len = static_cast<size_t>(static_cast<const uint8_t*>(end) - begin);
    std::string s(reinterpret_cast<const char*>(begin), len);
    pos_ += len + 1;
    return s;
}

std::string ByteReader::string(size_t count)
{
    auto view = bytes(count);
    return std::string(reinterpret_cast<const char*>(view.data()), view.size());
}

ByteReader ByteReader::sub(size_t count)
{
    return ByteReader(bytes(count));
}

uint32_t BitReader::ub(unsigned bits)
{
    if (bits > 32)
        throw FormatError("bit field wider than 32 bits");
    uint32_t v = 0;
    while (bits > 0) {
        if (bitsLeft_ == 0) {
            current_ = bytes_.u8();
            bitsLeft_ = 8;
        }
        unsigned take = bits < bitsLeft_ ? bits : bitsLeft_;
        unsigned shift = bitsLeft_ - take;
        uint32_t chunk = (static_cast<uint32_t>(current_) >> shift) & ((1u << take) - 1u);
        v = take == 32 ? chunk : ((v << take) | chunk);
        bitsLeft_ -= take;
        bits -= take;
    }
    return v;
}

int32_t BitReader::sb(unsigned bits)
{
    if (bits == 0)
        return 0;
    uint32_t v = ub(bits);
    if (bits < 32 && (v & (1u << (bits - 1))))
        v |= ~((1u << bits) - 1u);
    return static_cast<int32_t>(v);
}

double BitReader::fb(unsigned bits)
{
    return static_cast<double>(sb(bits)) / 65536.0;
}

} // namespace swf
