#pragma once

// Just enough TOML for the corpus's test.toml files: tables, arrays of tables, dotted
// and quoted keys, and scalar values. Every value is flattened under its full key, with
// arrays of tables numbered: "image_comparisons.output.checks.1.tolerance".

#include <map>
#include <optional>
#include <string>

namespace lanfan::conformance {

class TomlLite {
public:
    static TomlLite parse(const std::string& text);

    std::optional<std::string> string(const std::string& key) const;
    std::optional<long> integer(const std::string& key) const;
    // True when any key lies under `prefix` (a table that was declared or given keys).
    bool hasTable(const std::string& prefix) const;

private:
    void flattenInlineTable(const std::string& key, const std::string& value);
    std::map<std::string, std::string> values_;  // raw value text
};

} // namespace lanfan::conformance
