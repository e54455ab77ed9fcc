#include "engine/format/GifLzw.h"

#include <array>

namespace swf {

namespace {

constexpr unsigned kMaxCodeBits = 12;
constexpr size_t kMaxCodes = size_t{1} << kMaxCodeBits;

// Codes are packed least significant bit first.
class CodeReader {
public:
    explicit CodeReader(std::span<const uint8_t> data) : data_(data) {}

    // False when the data runs out before `bits` more bits.
    bool read(unsigned bits, uint16_t& code)
    {
        while (held_ < bits) {
            if (pos_ >= data_.size())
                return false;
            buffer_ |= uint32_t{data_[pos_++]} << held_;
            held_ += 8;
        }
        code = static_cast<uint16_t>(buffer_ & ((1u << bits) - 1));
        buffer_ >>= bits;
        held_ -= bits;
        return true;
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    uint32_t buffer_ = 0;
    unsigned held_ = 0;
};

// The string table: each code is a previous code plus one index.
class LzwTable {
public:
    explicit LzwTable(unsigned minCodeSize)
        : minCodeSize_(minCodeSize), clear_(uint16_t(1u << minCodeSize)), end_(uint16_t(clear_ + 1))
    {
        for (uint16_t c = 0; c < clear_; ++c) {
            suffix_[c] = first_[c] = static_cast<uint8_t>(c);
            prefix_[c] = c;
        }
        reset();
    }

    void reset()
    {
        next_ = end_ + 1;
        codeBits_ = minCodeSize_ + 1;
    }
    uint16_t clearCode() const { return clear_; }
    uint16_t endCode() const { return end_; }
    unsigned codeBits() const { return codeBits_; }
    bool known(uint16_t code) const { return code < clear_ || (code > end_ && code < next_); }
    bool isNext(uint16_t code) const { return code == next_; }
    uint8_t first(uint16_t code) const { return first_[code]; }

    // Adds prev + index; once the table is full the stream must clear it, and until then
    // codes keep their 12 bits.
    void add(uint16_t prev, uint8_t index)
    {
        if (next_ >= kMaxCodes)
            return;
        prefix_[next_] = prev;
        suffix_[next_] = index;
        first_[next_] = first_[prev];
        ++next_;
        if (next_ == (1u << codeBits_) && codeBits_ < kMaxCodeBits)
            ++codeBits_;
    }

    // Writes the string of `code` into `out` from `pos`, clipped to its end; returns the
    // new position.
    size_t emit(uint16_t code, std::span<uint8_t> out, size_t pos)
    {
        size_t depth = 0;
        while (code >= clear_) {
            stack_[depth++] = suffix_[code];
            code = prefix_[code];
        }
        stack_[depth++] = static_cast<uint8_t>(code);
        while (depth > 0 && pos < out.size())
            out[pos++] = stack_[--depth];
        return pos;
    }

private:
    unsigned minCodeSize_;
    uint16_t clear_;
    uint16_t end_;
    uint16_t next_ = 0;
    unsigned codeBits_ = 0;
    std::array<uint16_t, kMaxCodes> prefix_{};
    std::array<uint8_t, kMaxCodes> suffix_{};
    std::array<uint8_t, kMaxCodes> first_{};
    std::array<uint8_t, kMaxCodes + 1> stack_{};
};

} // namespace

size_t decodeGifLzw(std::span<const uint8_t> data, unsigned minCodeSize, std::span<uint8_t> out)
{
    LzwTable table(minCodeSize);
    CodeReader reader(data);
    size_t pos = 0;
    bool havePrev = false;
    uint16_t prev = 0;
    uint16_t code = 0;
    while (pos < out.size() && reader.read(table.codeBits(), code)) {
        if (code == table.clearCode()) {
            table.reset();
            havePrev = false;
            continue;
        }
        if (code == table.endCode())
            break;
        if (!havePrev) {
            if (code >= table.clearCode())
                break;  // the first code after a clear must be a plain index
            pos = table.emit(code, out, pos);
        } else if (table.known(code)) {
            pos = table.emit(code, out, pos);
            table.add(prev, table.first(code));
        } else if (table.isNext(code)) {
            // The code being defined by this very step: prev's string plus its own first index.
            table.add(prev, table.first(prev));
            pos = table.emit(code, out, pos);
        } else {
            break;
        }
        prev = code;
        havePrev = true;
    }
    return pos;
}

} // namespace swf
