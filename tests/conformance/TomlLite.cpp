#include "tests/conformance/TomlLite.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace lanfan::conformance {

namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// "a.\"b.c\".d" -> "a.b.c.d" with quoted parts kept whole.
std::string normaliseKey(const std::string& raw)
{
    std::string out;
    std::string part;
    bool quoted = false;
    auto flush = [&] {
        std::string t = quoted ? part : trim(part);
        if (!out.empty())
            out += '.';
        out += t;
        part.clear();
    };
    bool inQuotes = false;
    for (char c : raw) {
        if (c == '"') {
            inQuotes = !inQuotes;
            quoted = true;
            continue;
        }
        if (c == '.' && inQuotes) {
            part += '\x1f';  // a dot inside a quoted key does not split it
            continue;
        }
        if (c == '.' && !inQuotes) {
            flush();
            quoted = false;
            continue;
        }
        part += c;
    }
    flush();
    return out;
}

// Where a `#` comment starts outside a string, or npos.
size_t commentStart(const std::string& line)
{
    bool inString = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            inString = !inString;
        else if (line[i] == '#' && !inString)
            return i;
    }
    return std::string::npos;
}

int bracketBalance(const std::string& s)
{
    int depth = 0;
    bool inString = false;
    for (char c : s) {
        if (c == '"')
            inString = !inString;
        else if (!inString && (c == '[' || c == '{'))
            ++depth;
        else if (!inString && (c == ']' || c == '}'))
            --depth;
    }
    return depth;
}

} // namespace

TomlLite TomlLite::parse(const std::string& text)
{
    TomlLite toml;
    std::istringstream in(text);
    std::string line;
    std::string table;
    std::map<std::string, int> arrayCounts;
    while (std::getline(in, line)) {
        if (size_t c = commentStart(line); c != std::string::npos)
            line.erase(c);
        line = trim(line);
        if (line.empty())
            continue;
        if (line.starts_with("[[")) {
            std::string name = normaliseKey(line.substr(2, line.rfind("]]") - 2));
            int index = arrayCounts[name]++;
            table = name + "." + std::to_string(index);
            toml.values_[table] = "{}";
            continue;
        }
        if (line.front() == '[') {
            table = normaliseKey(line.substr(1, line.rfind(']') - 1));
            toml.values_[table] = "{}";
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = normaliseKey(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        // Arrays and inline tables may run over several lines.
        while (bracketBalance(value) > 0 && std::getline(in, line))
            value += ' ' + trim(line);
        if (value.starts_with("\"\"\"")) {
            while (value.size() < 6 || !value.ends_with("\"\"\"")) {
                if (!std::getline(in, line))
                    break;
                value += '\n' + line;
            }
        }
        const std::string full = table.empty() ? key : table + "." + key;
        toml.values_[full] = value;
        if (value.starts_with('{'))
            toml.flattenInlineTable(full, value);
    }
    return toml;
}

// `{ width = 900, height = 900 }`: each member also under "key.member" (one level:
// the corpus nests none deeper).
void TomlLite::flattenInlineTable(const std::string& key, const std::string& value)
{
    const size_t close = value.rfind('}');
    if (close == std::string::npos || close == 0)
        return;
    std::string member;
    bool inString = false;
    auto flush = [&] {
        if (size_t eq = member.find('='); eq != std::string::npos)
            values_[key + "." + normaliseKey(member.substr(0, eq))] = trim(member.substr(eq + 1));
        member.clear();
    };
    for (char c : value.substr(1, close - 1)) {
        if (c == '"')
            inString = !inString;
        if (c == ',' && !inString)
            flush();
        else
            member += c;
    }
    flush();
}

std::optional<std::string> TomlLite::string(const std::string& key) const
{
    auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    std::string v = it->second;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.substr(1, v.size() - 2);
    return v;
}

std::optional<long> TomlLite::integer(const std::string& key) const
{
    auto v = string(key);
    if (!v)
        return std::nullopt;
    char* end = nullptr;
    long n = std::strtol(v->c_str(), &end, 10);
    if (end == v->c_str())
        return std::nullopt;
    return n;
}

bool TomlLite::hasTable(const std::string& prefix) const
{
    for (const auto& [key, value] : values_) {
        if (key == prefix || key.starts_with(prefix + "."))
            return true;
    }
    return false;
}

} // namespace lanfan::conformance
