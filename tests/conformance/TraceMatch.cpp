#include "tests/conformance/TraceMatch.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string_view>

namespace lanfan::conformance {

namespace {

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return lines;
        start = end + 1;
    }
}

// The whole of `text` as a number, as a script prints one (NaN and the infinities too).
std::optional<double> wholeNumber(std::string_view text)
{
    if (text == "NaN")
        return std::nan("");
    if (text == "Infinity")
        return HUGE_VAL;
    if (text == "-Infinity")
        return -HUGE_VAL;
    if (text.empty() || text.front() == ' ' || text.back() == ' ')
        return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size())
        return std::nullopt;
    return value;
}

bool close(double a, double b, double epsilon)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return a == b || std::abs(a - b) <= epsilon;
}

// The line with every capture of `pattern` cut out, and the captures as numbers; null
// when a capture is not a number.
std::optional<std::pair<std::string, std::vector<double>>> withoutNumbers(const std::string& line, const std::regex& pattern)
{
    std::string rest;
    std::vector<double> numbers;
    size_t copied = 0;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), pattern); it != std::sregex_iterator(); ++it) {
        const std::smatch& match = *it;
        for (size_t group = 1; group < match.size(); ++group) {
            if (!match[group].matched)
                continue;
            const auto at = static_cast<size_t>(match.position(static_cast<int>(group)));
            if (at < copied)
                continue;
            auto number = wholeNumber(match.str(group));
            if (!number)
                return std::nullopt;
            rest.append(line, copied, at - copied);
            rest += '\x1f';
            numbers.push_back(*number);
            copied = at + static_cast<size_t>(match.length(static_cast<int>(group)));
        }
    }
    rest.append(line, copied);
    return std::make_pair(std::move(rest), std::move(numbers));
}

bool linesMatch(std::string_view actual, std::string_view expected, const TraceApproximation& approximation,
                const std::vector<std::regex>& patterns)
{
    if (actual == expected)
        return true;
    if (approximation.bareNumbers) {
        auto a = wholeNumber(actual);
        auto e = wholeNumber(expected);
        if (a && e)
            return close(*a, *e, approximation.epsilon);
    }
    for (const std::regex& pattern : patterns) {
        auto a = withoutNumbers(std::string(actual), pattern);
        auto e = withoutNumbers(std::string(expected), pattern);
        if (!a || !e || a->first != e->first || a->second.size() != e->second.size() || a->second.empty())
            continue;
        bool all = true;
        for (size_t i = 0; i < a->second.size() && all; ++i)
            all = close(a->second[i], e->second[i], approximation.epsilon);
        if (all)
            return true;
    }
    return false;
}

} // namespace

bool tracesMatch(const std::string& actual, const std::string& expected, const TraceApproximation& approximation)
{
    if (actual == expected)
        return true;
    if (!approximation.enabled)
        return false;
    const std::vector<std::string_view> a = splitLines(actual);
    const std::vector<std::string_view> e = splitLines(expected);
    if (a.size() != e.size())
        return false;
    std::vector<std::regex> patterns;
    for (const std::string& source : approximation.numberPatterns) {
        try {
            patterns.emplace_back(source, std::regex::ECMAScript);
        } catch (const std::regex_error&) {
            return false;  // a pattern we cannot read allows nothing
        }
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (!linesMatch(a[i], e[i], approximation, patterns))
            return false;
    }
    return true;
}

std::vector<std::string> tomlStringArray(const std::string& raw)
{
    std::vector<std::string> out;
    size_t i = raw.find('[');
    if (i == std::string::npos)
        return out;
    while (true) {
        const size_t open = raw.find('"', i);
        if (open == std::string::npos)
            return out;
        std::string value;
        size_t k = open + 1;
        for (; k < raw.size() && raw[k] != '"'; ++k) {
            if (raw[k] == '\\' && k + 1 < raw.size()) {
                const char next = raw[++k];
                value += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else {
                value += raw[k];
            }
        }
        if (k >= raw.size())
            return out;  // an unclosed string is not a value
        out.push_back(std::move(value));
        i = k + 1;
    }
}

} // namespace lanfan::conformance
