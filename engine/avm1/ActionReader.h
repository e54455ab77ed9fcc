#pragma once

// Action records as stored in DoAction bodies: a code byte and, for codes >= 0x80, a
// 16-bit length and that many bytes of payload.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace swf::avm1 {

enum class ActionCode : uint8_t {
    End = 0x00,
    NextFrame = 0x04,
    PrevFrame = 0x05,
    Play = 0x06,
    Stop = 0x07,
    ToggleQuality = 0x08,
    StopSounds = 0x09,
    Not = 0x12,
    Pop = 0x17,
    Trace = 0x26,
    GotoFrame = 0x81,
    GetUrl = 0x83,
    ConstantPool = 0x88,
    WaitForFrame = 0x8A,
    SetTarget = 0x8B,
    GotoLabel = 0x8C,
    Push = 0x96,
    Jump = 0x99,
    If = 0x9D,
};

struct ActionRecord {
    uint8_t code = 0;
    std::span<const uint8_t> payload;
    size_t offset = 0;      // of the code byte
    size_t nextOffset = 0;  // of the record after this one

    bool is(ActionCode c) const { return code == static_cast<uint8_t>(c); }
};

// Reads records one by one. A record whose length runs past the end of the code ends
// the stream, as does the End action; jumps move the reader anywhere inside the code.
class ActionReader {
public:
    explicit ActionReader(std::span<const uint8_t> code) : code_(code) {}

    std::optional<ActionRecord> next();
    // Continue at `offset`; false (and the stream ends) when it lies outside the code.
    bool jumpTo(size_t offset);
    size_t position() const { return pos_; }

private:
    std::span<const uint8_t> code_;
    size_t pos_ = 0;
    bool ended_ = false;
};

} // namespace swf::avm1
