#pragma once

// Readable listings of action code, for the tool's `actions` command and for tests:
// one line per action with its offset, name and decoded operands; function, with and
// try bodies indented under the action that owns them. Damaged code is listed as far as
// it can be read, and the listing says where and why it stopped.

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>

namespace swf::avm1 {

struct DisassemblyOptions {
    std::string indent = "  ";  // before every line, nested bodies add two spaces each
};

// Lists `code` (a DoAction body, a button or clip event script) on `out`. Returns false
// when the listing stopped before the end of the code (a record running past it, or
// nesting too deep); the reason is the last line written.
bool disassemble(std::span<const uint8_t> code, std::ostream& out, const DisassemblyOptions& options = {});

} // namespace swf::avm1
