#pragma once

// The CSS that TextField.StyleSheet reads: rules of comma-separated selectors and
// `property: value;` declarations, with /* comments */. Hyphenated property names
// become camel case (font-family is fontFamily); a value runs from its first
// non-blank character to the `;` or `}` that ends it.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swf::avm1 {

struct CssRule {
    std::vector<std::string> selectors;
    std::vector<std::pair<std::string, std::string>> declarations;
    friend bool operator==(const CssRule&, const CssRule&) = default;
};

// The rules of `text` in order, or nothing when it is not CSS this player reads.
std::optional<std::vector<CssRule>> parseCss(std::string_view text);

class Machine;
class Value;
struct TextFormatData;

// The TextFormat of the style `selector` names ("p", ".note") in the style sheet
// `sheet`, or nothing when the sheet has no such style.
std::optional<TextFormatData> styleSheetFormat(Machine& m, const Value& sheet, std::string_view selector);

} // namespace swf::avm1
