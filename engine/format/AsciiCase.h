#pragma once

// Names compared without regard to ASCII case, the way the player matches font faces,
// variable and clip names in movies of SWF 6 and earlier, and target path words. Other
// characters compare as they are.

#include <string_view>

namespace swf {

constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(text[i]) != asciiLower(prefix[i]))
            return false;
    }
    return true;
}

constexpr bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithNoCase(a, b);
}

} // namespace swf
