// The CSS a style sheet reads: which texts are CSS, and the rules they hold.

#include "engine/avm1/StyleSheetCss.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

using Decls = std::vector<std::pair<std::string, std::string>>;

struct CssCase {
    const char* name;
    const char* text;
    std::optional<std::vector<CssRule>> rules;
};

class StyleSheetCss : public ::testing::TestWithParam<CssCase> {};

TEST_P(StyleSheetCss, ParsesAsThePlayerDoes)
{
    const CssCase& c = GetParam();
    EXPECT_EQ(parseCss(c.text), c.rules) << c.text;
}

const CssCase kCases[] = {
    {"Empty", "", std::vector<CssRule>{}},
    {"OnlyBlanksAndComments", "  /* nothing */ \n", std::vector<CssRule>{}},
    {"OneRule", "a { color: blue; }", std::vector<CssRule>{{{"a"}, Decls{{"color", "blue"}}}}},
    // A value runs to its semicolon or brace, blanks before that kept.
    {"ValueKeepsTrailingBlanks", "a { color: blue }", std::vector<CssRule>{{{"a"}, Decls{{"color", "blue "}}}}},
    {"HyphensBecomeCamelCase", ".x{font-family:Serif;text-decoration:none}",
     std::vector<CssRule>{{{".x"}, Decls{{"fontFamily", "Serif"}, {"textDecoration", "none"}}}}},
    {"SelectorList", " h1 , .big,a:hover {font-size: 12px;}",
     std::vector<CssRule>{{{"h1", ".big", "a:hover"}, Decls{{"fontSize", "12px"}}}}},
    {"CommentsAnywhere", "/*x*/p/*y*/{/*z*/color:#FF0000;/* w */}",
     std::vector<CssRule>{{{"p"}, Decls{{"color", "#FF0000"}}}}},
    {"EmptyRuleAndSeveralRules", "a{} b{color:red;}",
     std::vector<CssRule>{{{"a"}, Decls{}}, {{"b"}, Decls{{"color", "red"}}}}},
    {"DeclarationWithoutValueSkipped", "a{junk; color:red}", std::vector<CssRule>{{{"a"}, Decls{{"color", "red"}}}}},
    {"UnclosedRule", "a { color: red;", std::nullopt},
    {"NoBraces", "color: red;", std::nullopt},
    {"EmptySelector", "{ color: red }", std::nullopt},
    {"EmptySelectorInList", "a,,b { color: red }", std::nullopt},
    {"StrayCloseBrace", "} a { color: red }", std::nullopt},
    {"NamelessDeclaration", "a { : red }", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, StyleSheetCss, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace swf::avm1
