#pragma once

// Strings are stored as UTF-8; scripts index them by character. These convert between
// the two so that the string methods count characters, not bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace swf::avm1 {

std::u32string decodeUtf8(std::string_view text);
std::string encodeUtf8(std::u32string_view text);
std::string encodeUtf8(char32_t c);
// ASCII-only case mapping plus Latin-1, as the player's toUpperCase does for them.
std::string toUpperText(std::string_view text);
std::string toLowerText(std::string_view text);

} // namespace swf::avm1
