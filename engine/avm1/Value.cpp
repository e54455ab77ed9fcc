#include "engine/avm1/Value.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace swf::avm1 {

std::string numberToString(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0)
        return "0";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text(buffer);
    if (std::isinf(std::strtod(buffer, nullptr))) {
        // Rounding up past the largest number would write a value that reads back as
        // infinity: the player cuts the digits off there instead (1.79769313486231e+308).
        std::snprintf(buffer, sizeof buffer, "%.20e", value);
        std::string exact(buffer);
        const size_t e = exact.find('e');
        std::string mantissa = exact.substr(0, std::min<size_t>(e, value < 0 ? 17 : 16));
        while (mantissa.back() == '0')
            mantissa.pop_back();
        if (mantissa.back() == '.')
            mantissa.pop_back();
        text = mantissa + exact.substr(e);
    }
    // C writes exponents with a sign and at least two digits ("1e-05"); the player
    // writes "1e-5" and "1e+15".
    auto e = text.find('e');
    if (e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        char sign = text[e + 1];
        std::string digits = text.substr(e + 2);
        while (digits.size() > 1 && digits.front() == '0')
            digits.erase(digits.begin());
        text = mantissa + 'e' + sign + digits;
    }
    return text;
}

std::string numberToRadix(double value, int radix)
{
    if (radix < 2 || radix > 36 || radix == 10)
        return numberToString(value);
    // NaN and the infinities become the smallest integer, as the player's conversion
    // of a number it cannot hold does. That one stays negative when negated, and the
    // player writes its digits from negative remainders: characters below '0'.
    const int32_t n = std::isfinite(value) ? toInt32(value) : INT32_MIN;
    const bool negative = n < 0;
    int32_t rest = n == INT32_MIN ? n : (negative ? -n : n);
    std::string digits;
    do {
        const int32_t d = rest % radix;
        digits.insert(digits.begin(), static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10));
        rest /= radix;
    } while (rest);
    return negative ? "-" + digits : digits;
}

int32_t toInt32(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return 0;
    double t = std::trunc(value);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return static_cast<int32_t>(static_cast<uint32_t>(m));
}

double toInteger(double value)
{
    if (std::isnan(value))
        return 0;
    return std::trunc(value);
}

std::string Value::toString(int swfVersion) const
{
    switch (tag_) {
    case Tag::Undefined: return swfVersion >= 7 ? "undefined" : "";
    case Tag::Null: return "null";
    case Tag::Bool: return swfVersion >= 5 ? (word_.boolean ? "true" : "false") : (word_.boolean ? "1" : "0");
    case Tag::Number: return numberToString(word_.number);
    case Tag::String: return word_.string->str();
    case Tag::Object: break;
    }
    return "[object Object]";
}

double stringToNumber(std::string_view text, int swfVersion)
{
    double failed = swfVersion >= 5 ? std::nan("") : 0.0;
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return failed;
    std::string trimmed(text.substr(begin));
    if (swfVersion < 5) {
        // SWF 4 reads the longest decimal prefix: "150a" is 150, "0x96" is 0.
        char* end = nullptr;
        double v = std::strtod(trimmed.c_str(), &end);
        if (end == trimmed.c_str())
            return 0.0;
        for (const char* p = trimmed.c_str(); p < end; ++p) {
            if (*p == 'x' || *p == 'X' || *p == 'n' || *p == 'N' || *p == 'i' || *p == 'I')
                return std::strtod(std::string(trimmed.c_str(), static_cast<size_t>(p - trimmed.c_str())).c_str(), nullptr);
        }
        return v;
    }
    // From SWF 6 "0x1F" reads as hexadecimal and "010" (a zero, then only octal
    // digits) as octal; SWF 5 reads neither.
    // Both keep the low 32 bits of what they read, as a signed number.
    auto wrapped = [](std::string_view digits, uint32_t base) -> std::optional<double> {
        uint32_t v = 0;
        for (char c : digits) {
            const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : std::isxdigit(static_cast<unsigned char>(c))        ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                                                      : 99;
            if (d >= static_cast<int>(base))
                return std::nullopt;
            v = v * base + static_cast<uint32_t>(d);
        }
        return static_cast<double>(static_cast<int32_t>(v));
    };
    if (swfVersion >= 6 && trimmed.size() > 2 && trimmed[0] == '0' && (trimmed[1] == 'x' || trimmed[1] == 'X')) {
        // A sign may follow the 0x: "0x-10" is -16.
        std::string_view digits = std::string_view(trimmed).substr(2);
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
            digits.remove_prefix(1);
        std::optional<double> v = digits.empty() ? std::nullopt : wrapped(digits, 16);
        return v ? (negative ? -*v : *v) : failed;
    }
    // An octal number has no space before it, and may carry a sign.
    if (swfVersion >= 6 && begin == 0) {
        std::string_view digits(trimmed);
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
            digits.remove_prefix(1);
        if (digits.size() > 1 && digits[0] == '0') {
            if (std::optional<double> v = wrapped(digits, 8))
                return negative ? -*v : *v;
        }
    }
    // Words C accepts but the player does not.
    for (char c : trimmed) {
        if (c == 'x' || c == 'X' || c == 'n' || c == 'N' || c == 'i' || c == 'I')
            return failed;
    }
    char* end = nullptr;
    double v = std::strtod(trimmed.c_str(), &end);
    if (end == trimmed.c_str())
        return failed;
    // Trailing text makes the whole string unreadable, trailing spaces included.
    if (*end != '\0')
        return failed;
    return v;
}

double Value::toNumber(int swfVersion) const
{
    switch (tag_) {
    case Tag::Undefined:
    case Tag::Null: return swfVersion >= 7 ? std::nan("") : 0.0;
    case Tag::Bool: return word_.boolean ? 1.0 : 0.0;
    case Tag::Number: return word_.number;
    case Tag::String: return stringToNumber(word_.string->str(), swfVersion);
    case Tag::Object: break;
    }
    return std::nan("");
}

bool Value::toBoolean(int swfVersion) const
{
    switch (tag_) {
    case Tag::Undefined:
    case Tag::Null: return false;
    case Tag::Bool: return word_.boolean;
    case Tag::Number: return !std::isnan(word_.number) && word_.number != 0;
    case Tag::String: {
        if (swfVersion >= 7)
            return !word_.string->str().empty();
        // Before SWF 7 a string is true when it reads as a non-zero number.
        double n = stringToNumber(word_.string->str(), swfVersion);
        return !std::isnan(n) && n != 0;
    }
    case Tag::Object: break;
    }
    return true;
}

} // namespace swf::avm1
