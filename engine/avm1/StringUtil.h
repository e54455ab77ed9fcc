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
// Scripts see strings as UTF-16 code units (a character outside the basic plane is two);
// an unpaired surrogate turns into U+FFFD on the way back to UTF-8.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
// The length in UTF-16 code units of UTF-8 text.
size_t utf16Length(std::string_view text);
// ASCII-only case mapping plus Latin-1, as the player's toUpperCase does for them.
std::string toUpperText(std::string_view text);
std::string toLowerText(std::string_view text);

} // namespace swf::avm1
