#pragma once

// What each lanfan-swf command does; each returns the process exit code.

#include "tools/lanfan-swf/Options.h"

#include <iosfwd>

namespace lanfan::tool {

constexpr int kExitOk = 0;
constexpr int kExitCannotRead = 1;
constexpr int kExitUsage = 2;

int runCommand(const Options& options, std::ostream& out, std::ostream& err);

} // namespace lanfan::tool
