// The CSS a style sheet reads: which texts are CSS, and the rules they hold.

#include "engine/avm1/Machine.h"
#include "engine/avm1/StyleSheetCss.h"
#include "engine/avm1/TextFormatObject.h"

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

// The sheet object: styles are copies both ways, CSS replaces a selector's style whole,
// and transform reads CSS values into TextFormat settings.
TEST(StyleSheetObject, KeepsCopiesAndTransformsStyles)
{
    Machine m{8};
    const Value textField = m.getMember(Value(m.global()), "TextField");
    const Value sheet = m.construct(m.getMember(textField, "StyleSheet"), {});
    auto call = [&](const char* method, std::vector<Value> args) { return m.callMethod(sheet, method, args); };

    Object* given = m.newObject(m.protos().object);
    given->put("color", Value("#00FF00"));
    call("setStyle", {Value("a"), Value(given)});
    given->put("color", Value("#0000FF"));
    Value got = call("getStyle", {Value("a")});
    EXPECT_EQ(m.toString(m.getMember(got, "color")), "#00FF00");
    m.setMember(got, "color", Value("#FF0000"));
    EXPECT_EQ(m.toString(m.getMember(call("getStyle", {Value("a")}), "color")), "#00FF00");
    EXPECT_TRUE(call("getStyle", {Value("b")}).isNull());

    EXPECT_TRUE(m.toBoolean(call("parseCSS", {Value("a { font-style: italic } b { color: red; }")})));
    EXPECT_TRUE(m.getMember(call("getStyle", {Value("a")}), "color").isUndefined());
    EXPECT_FALSE(m.toBoolean(call("parseCSS", {Value("c { color: red")})));
    EXPECT_TRUE(call("getStyle", {Value("c")}).isNull());
    EXPECT_EQ(m.toString(call("getStyleNames", {})), "a,b");
    call("clear", {});
    EXPECT_EQ(m.toString(call("getStyleNames", {})), "");

    Object* style = m.newObject(m.protos().object);
    style->put("color", Value("#FAFAFA"));
    style->put("fontSize", Value(" 12px"));
    style->put("marginLeft", Value("-4"));
    style->put("fontWeight", Value("bold"));
    style->put("fontFamily", Value(" Serif ,, Sans"));
    const TextFormatData* d = textFormatData(call("transform", {Value(style)}));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->color, 0xFAFAFA);
    EXPECT_EQ(d->size, 12);
    EXPECT_EQ(d->leftMargin, 0);
    EXPECT_EQ(d->bold, true);
    EXPECT_EQ(d->font, "Serif ,Sans");
    EXPECT_EQ(d->kerning, false);
    EXPECT_TRUE(call("transform", {Value(Null{})}).isNull());
}

} // namespace
} // namespace swf::avm1
