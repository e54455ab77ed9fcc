#pragma once

// What the engine knows about each action, generated from Actions.def: the code enum
// and, per code, its name, the first SWF version that has it and its payload layout.

#include <cstdint>
#include <span>

namespace swf::avm1 {

// How a record's payload is laid out; the disassembler decodes by it.
enum class PayloadKind : uint8_t {
    None,          // no payload (codes below 0x80)
    Frame,         // u16 frame index
    UrlAndTarget,  // two strings
    FrameAndSkip,  // u16 frame, u8 count of actions to skip
    String,        // one string
    Skip,          // u8 count of actions to skip
    Push,          // typed values
    Branch,        // s16 offset from the next record
    UrlFlags,      // u8 method and flags
    GotoFrame2,    // u8 flags, u16 scene bias when flagged
    Register,      // u8 register number
    ConstantPool,  // u16 count, strings
    BlockSize,     // u16 size of the body that follows
    Function,      // DefineFunction header; the body follows the record
    Function2,     // DefineFunction2 header; the body follows the record
    Try,           // flags, three block sizes, catch name or register
    Flag,          // u8
};

enum class ActionCode : uint8_t {
#define ACTION(name, code, version, payload) name = code,
#include "engine/avm1/Actions.def"
#undef ACTION
};

struct ActionInfo {
    uint8_t code;
    const char* name;
    uint8_t minVersion;
    PayloadKind payload;
};

// The table's entry for `code`; nullptr for a code the engine does not know.
const ActionInfo* actionInfo(uint8_t code);
// Every known action, in the table's order.
std::span<const ActionInfo> allActions();

} // namespace swf::avm1
