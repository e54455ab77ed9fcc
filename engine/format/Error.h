#pragma once

#include <stdexcept>
#include <string>

namespace swf {

// The one error the format layer raises for malformed or unsupported input.
// The loader turns it into a message for the user; it never escapes as a crash.
class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace swf
