#include "engine/avm1/StringUtil.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace swf::avm1 {

std::u32string decodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0x80 && c < 0xC0)
            extra = 0;
        if (extra == 0 || i + static_cast<size_t>(extra) >= text.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        char32_t cp = c & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            auto d = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!valid) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string encodeUtf8(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

std::string encodeUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        out += encodeUtf8(c);
    return out;
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char32_t c : decodeUtf8(text)) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c > 0x10FFFF ? 0xFFFD : c));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        out += encodeUtf8(c);
    }
    return out;
}

size_t utf16Length(std::string_view text)
{
    size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            n += c >= 0xF0 ? 2 : 1;
    }
    return n;
}

namespace {

// The C library's Unicode case tables, through a UTF-8 locale when the system has one.
locale_t unicodeLocale()
{
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

char32_t upper(char32_t c)
{
    // The player's table pairs final sigma with the unassigned capital beside Sigma,
    // and lunate sigma with Sigma.
    if (c == 0x3C2)
        return 0x3A2;
    if (c == 0x3F2)
        return 0x3A3;
    // Characters outside the basic plane keep their case, as the player's do.
    if (c >= 0x80 && c < 0x10000 && unicodeLocale())
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), unicodeLocale()));
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 32;
    return c;
}

char32_t lower(char32_t c)
{
    if (c == 0x3A2)
        return 0x3C2;
    // Georgian capitals lower to the everyday Mkhedruli letters in the player's table.
    if (c >= 0x10A0 && c <= 0x10C5)
        return c + 0x30;
    if (c >= 0x80 && c < 0x10000 && unicodeLocale())
        return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), unicodeLocale()));
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 32;
    return c;
}

} // namespace

std::string toUpperText(std::string_view text)
{
    std::u32string s = decodeUtf8(text);
    for (char32_t& c : s)
        c = upper(c);
    return encodeUtf8(s);
}

std::string toLowerText(std::string_view text)
{
    std::u32string s = decodeUtf8(text);
    for (char32_t& c : s)
        c = lower(c);
    return encodeUtf8(s);
}

} // namespace swf::avm1
