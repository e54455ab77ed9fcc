#pragma once

// `lanfan-swf actions`: every script of a movie as a readable listing, each under a
// heading that says where it lives (frame, sprite frame, init action, button
// condition, clip event).

#include <cstdint>
#include <iosfwd>
#include <span>

namespace lanfan::tool {

// Lists the scripts of a movie file's bytes. Returns the exit code: kExitOk when the
// container could be opened (a damaged tag or script is reported in the listing),
// kExitCannotRead otherwise, with one line on `err`.
int listActions(std::span<const uint8_t> file, std::ostream& out, std::ostream& err);

} // namespace lanfan::tool
