#pragma once

// Comparing a run's trace with the recorded one. Where a case allows it, numbers may
// differ a little: lines that are a number alone ("bare numbers"), or the numbers that
// given patterns pick out of a line, match when they lie within an epsilon of the
// recorded ones; every other character must be the same.

#include <string>
#include <vector>

namespace lanfan::conformance {

struct TraceApproximation {
    bool enabled = false;
    double epsilon = 0;
    bool bareNumbers = false;
    // ECMAScript regular expressions whose capture groups are numbers.
    std::vector<std::string> numberPatterns;
};

// Both traces already normalised (line ends "\n", no final empty line).
bool tracesMatch(const std::string& actual, const std::string& expected, const TraceApproximation& approximation);

// The strings of a TOML array of basic strings, e.g. `["a\\d", "b"]`, escapes undone.
std::vector<std::string> tomlStringArray(const std::string& raw);

} // namespace lanfan::conformance
