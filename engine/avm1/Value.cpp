#include "engine/avm1/Value.h"

#include <cmath>
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

std::string Value::toString(int swfVersion) const
{
    return std::visit(
        [swfVersion](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Undefined>)
                return swfVersion >= 7 ? "undefined" : "";
            else if constexpr (std::is_same_v<T, Null>)
                return "null";
            else if constexpr (std::is_same_v<T, bool>)
                return swfVersion >= 5 ? (v ? "true" : "false") : (v ? "1" : "0");
            else if constexpr (std::is_same_v<T, double>)
                return numberToString(v);
            else
                return v;
        },
        data_);
}

namespace {

double stringToNumber(std::string_view text, int swfVersion)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return swfVersion >= 5 ? std::nan("") : 0.0;
    std::string trimmed(text.substr(begin));
    if (trimmed.size() > 2 && trimmed[0] == '0' && (trimmed[1] == 'x' || trimmed[1] == 'X')) {
        char* end = nullptr;
        long long v = std::strtoll(trimmed.c_str() + 2, &end, 16);
        return *end == '\0' ? static_cast<double>(v) : std::nan("");
    }
    char* end = nullptr;
    double v = std::strtod(trimmed.c_str(), &end);
    if (end == trimmed.c_str())
        return swfVersion >= 5 ? std::nan("") : 0.0;
    return v;
}

} // namespace

double Value::toNumber(int swfVersion) const
{
    return std::visit(
        [swfVersion](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Undefined> || std::is_same_v<T, Null>)
                return swfVersion >= 7 ? std::nan("") : 0.0;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? 1.0 : 0.0;
            else if constexpr (std::is_same_v<T, double>)
                return v;
            else
                return stringToNumber(v, swfVersion);
        },
        data_);
}

bool Value::toBoolean(int swfVersion) const
{
    return std::visit(
        [swfVersion](const auto& v) -> bool {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Undefined> || std::is_same_v<T, Null>)
                return false;
            else if constexpr (std::is_same_v<T, bool>)
                return v;
            else if constexpr (std::is_same_v<T, double>)
                return !std::isnan(v) && v != 0;
            else if (swfVersion >= 7)
                return !v.empty();
            else {
                // Before SWF 7 a string is true when it reads as a non-zero number.
                double n = stringToNumber(v, swfVersion);
                return !std::isnan(n) && n != 0;
            }
        },
        data_);
}

} // namespace swf::avm1
