#pragma once

// Action records as stored in DoAction bodies: a code byte and, for codes >= 0x80, a
// 16-bit length and that many bytes of payload.

#include "engine/avm1/Actions.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace swf::avm1 {

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
