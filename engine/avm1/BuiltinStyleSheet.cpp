// TextField.StyleSheet: named styles (plain objects of CSS properties in camel case)
// that scripts set one by one or read from CSS text, and turn into TextFormats for
// text fields. Styles are kept as copies: getStyle hands out a fresh object and
// setStyle takes a snapshot of what it is given.

#include "engine/avm1/Loading.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/StyleSheetCss.h"
#include "engine/avm1/TextFormatObject.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

bool isCssSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isCssSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isCssSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// font-family is fontFamily: each hyphen goes and the letter after it is capitalised.
std::string camelCase(std::string_view name)
{
    std::string out;
    bool upper = false;
    for (char c : name) {
        if (c == '-') {
            upper = true;
            continue;
        }
        out += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        upper = false;
    }
    return out;
}

// The text with its comments blanked out; an unclosed comment runs to the end.
std::string withoutComments(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "/*") == 0) {
            const size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? text.size() : end + 2;
            out += ' ';
            continue;
        }
        out += text[i++];
    }
    return out;
}

} // namespace

std::optional<std::vector<CssRule>> parseCss(std::string_view source)
{
    const std::string text = withoutComments(source);
    std::vector<CssRule> rules;
    size_t i = 0;
    while (true) {
        while (i < text.size() && isCssSpace(text[i]))
            ++i;
        if (i >= text.size())
            break;
        const size_t open = text.find('{', i);
        if (open == std::string::npos)
            return std::nullopt;
        CssRule rule;
        std::string_view selectors(text.data() + i, open - i);
        if (selectors.find('}') != std::string_view::npos)
            return std::nullopt;
        while (true) {
            const size_t comma = selectors.find(',');
            std::string_view one = trimmed(selectors.substr(0, comma));
            if (one.empty())
                return std::nullopt;
            rule.selectors.emplace_back(one);
            if (comma == std::string_view::npos)
                break;
            selectors.remove_prefix(comma + 1);
        }
        const size_t close = text.find('}', open + 1);
        if (close == std::string::npos)
            return std::nullopt;
        std::string_view body(text.data() + open + 1, close - open - 1);
        while (!trimmed(body).empty()) {
            const size_t colon = body.find(':');
            const size_t semicolon = body.find(';');
            if (colon == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < colon)) {
                // A declaration without a value is skipped.
                if (semicolon == std::string_view::npos)
                    break;
                body.remove_prefix(semicolon + 1);
                continue;
            }
            std::string_view name = trimmed(body.substr(0, colon));
            std::string_view value = body.substr(colon + 1);
            while (!value.empty() && isCssSpace(value.front()))
                value.remove_prefix(1);
            const size_t end = value.find(';');
            std::string_view kept = value.substr(0, end);
            if (name.empty())
                return std::nullopt;
            rule.declarations.emplace_back(camelCase(name), std::string(kept));
            if (end == std::string_view::npos)
                break;
            body = value.substr(end + 1);
        }
        rules.push_back(std::move(rule));
        i = close + 1;
    }
    return rules;
}

namespace {

// The styles, by name in the order they were first set.
class StyleSheetObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    using Object::Object;
    std::vector<std::pair<std::string, Object*>> styles;
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        for (auto& entry : styles)
            visitor.visit(entry.second);
    }
};

StyleSheetObject* sheetOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<StyleSheetObject>() : nullptr;
}

Object* copyOf(Machine& m, Object* from)
{
    Object* copy = m.newObject(m.protos().object);
    std::vector<std::string> names = m.enumerableNames(from);
    std::reverse(names.begin(), names.end());
    for (const std::string& name : names)
        copy->put(name, m.getMember(Value(from), name));
    return copy;
}

void putStyle(StyleSheetObject& sheet, const std::string& name, Object* style)
{
    auto it = std::find_if(sheet.styles.begin(), sheet.styles.end(),
                           [&](const auto& entry) { return entry.first == name; });
    if (!style) {
        if (it != sheet.styles.end())
            sheet.styles.erase(it);
        return;
    }
    if (it != sheet.styles.end())
        it->second = style;
    else
        sheet.styles.emplace_back(name, style);
}

} // namespace

TextFormatData styleToFormat(Machine& m, const Value& style);

std::optional<TextFormatData> styleSheetFormat(Machine& m, const Value& sheet, std::string_view selector)
{
    const StyleSheetObject* styles = sheetOf(sheet);
    if (!styles)
        return std::nullopt;
    // Text finds its styles by name whatever the letters' case ("classred" and
    // "CLASSRED" both take ".classRed"); a style of exactly that name comes first.
    const auto sameLetters = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::ranges::equal(a, b, [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (const auto& [key, style] : styles->styles) {
        if (key == selector)
            return styleToFormat(m, Value(style));
    }
    for (const auto& [key, style] : styles->styles) {
        if (sameLetters(key, selector))
            return styleToFormat(m, Value(style));
    }
    return std::nullopt;
}

namespace {

Value styleSheetGetStyle(Machine& m, Value self, std::span<const Value> args)
{
    StyleSheetObject* sheet = sheetOf(self);
    if (!sheet || args.empty())
        return Value();
    const std::string name = m.toString(args[0]);
    for (const auto& [key, style] : sheet->styles) {
        if (key == name)
            return Value(copyOf(m, style));
    }
    return Value(Null{});
}

Value styleSheetSetStyle(Machine& m, Value self, std::span<const Value> args)
{
    StyleSheetObject* sheet = sheetOf(self);
    if (!sheet || args.empty())
        return Value();
    Object* style = arg(args, 1).asObject();
    putStyle(*sheet, m.toString(args[0]), style ? copyOf(m, style) : nullptr);
    return Value();
}

Value styleSheetGetStyleNames(Machine& m, Value self, std::span<const Value>)
{
    StyleSheetObject* sheet = sheetOf(self);
    if (!sheet)
        return Value();
    std::vector<Value> names;
    for (const auto& entry : sheet->styles)
        names.emplace_back(entry.first);
    return Value(m.newArray(names));
}

Value styleSheetClear(Machine&, Value self, std::span<const Value>)
{
    if (StyleSheetObject* sheet = sheetOf(self))
        sheet->styles.clear();
    return Value();
}

Value styleSheetParseCss(Machine& m, Value self, std::span<const Value> args)
{
    StyleSheetObject* sheet = sheetOf(self);
    if (!sheet || args.empty())
        return Value(false);
    const std::optional<std::vector<CssRule>> rules = parseCss(m.toString(args[0]));
    if (!rules)
        return Value(false);
    for (const CssRule& rule : *rules) {
        for (const std::string& selector : rule.selectors) {
            Object* style = m.newObject(m.protos().object);
            for (const auto& [name, value] : rule.declarations)
                style->put(name, Value(value));
            putStyle(*sheet, selector, style);
        }
    }
    return Value(true);
}

// What a CSS length or count reads as: a number cut toward zero, or the whole number
// a string starts with (after blanks); anything else is not a number.
double cssNumber(Machine& m, const Value& v)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    if (v.isNumber())
        return std::trunc(m.toNumber(v));
    if (!v.isString())
        return kNaN;
    const std::string s = m.toString(v);
    size_t i = 0;
    while (i < s.size() && isCssSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    if (i >= s.size() || s[i] < '0' || s[i] > '9')
        return kNaN;
    double n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        n = n * 10 + (s[i] - '0');
    return negative ? -n : n;
}

double wholeOrZero(double n)
{
    return std::isfinite(n) ? static_cast<double>(toInt32(n)) : 0;
}

// "#RRGGBB" is a colour; anything else leaves the colour unset.
std::optional<double> cssColor(Machine& m, const Value& v)
{
    if (!v.isString())
        return std::nullopt;
    const std::string s = m.toString(v);
    if (s.size() != 7 || s[0] != '#')
        return std::nullopt;
    uint32_t rgb = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        const int digit = c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'              ? c - 'a' + 10
            : c >= 'A' && c <= 'F'              ? c - 'A' + 10
                                                : -1;
        if (digit < 0)
            return std::nullopt;
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    return static_cast<double>(rgb);
}

// A font list keeps its names in order, each without the blanks before it, and drops
// the empty ones: "  Serif ,, Sans" is "Serif ,Sans".
std::string fontList(std::string_view text)
{
    std::string out;
    while (true) {
        const size_t comma = text.find(',');
        std::string_view name = text.substr(0, comma);
        while (!name.empty() && isCssSpace(name.front()))
            name.remove_prefix(1);
        if (!name.empty())
            out.append(out.empty() ? "" : ",").append(name);
        if (comma == std::string_view::npos)
            return out;
        text.remove_prefix(comma + 1);
    }
}

} // namespace

// The TextFormat a style stands for. A property that is missing or false-like leaves
// its setting unset; kerning starts off.
TextFormatData styleToFormat(Machine& m, const Value& style)
{
    TextFormatData d;
    d.kerning = false;
    auto get = [&](const char* name) -> std::optional<Value> {
        Value v = m.getMember(style, name);
        if (!m.toBoolean(v))
            return std::nullopt;
        return v;
    };
    auto text = [&](const Value& v) { return v.isString() ? m.toString(v) : std::string(); };
    if (auto v = get("color"))
        d.color = cssColor(m, *v);
    if (auto v = get("display")) {
        const std::string display = text(*v);
        d.display = display == "inline" || display == "none" ? display : "block";
    }
    if (auto v = get("fontFamily"))
        d.font = fontList(m.toString(*v));
    if (auto v = get("fontSize")) {
        const double n = cssNumber(m, *v);
        if (n > 0)
            d.size = n;
    }
    if (auto v = get("fontStyle")) {
        const std::string s = text(*v);
        if (s == "normal" || s == "italic")
            d.italic = s == "italic";
    }
    if (auto v = get("fontWeight")) {
        const std::string s = text(*v);
        if (s == "normal" || s == "bold")
            d.bold = s == "bold";
    }
    if (auto v = get("kerning")) {
        const double n = cssNumber(m, *v);
        d.kerning = text(*v) == "true" || (std::isfinite(n) && n != 0);
    }
    if (auto v = get("leading"))
        d.leading = wholeOrZero(cssNumber(m, *v));
    if (auto v = get("letterSpacing"))
        d.letterSpacing = cssNumber(m, *v);
    if (auto v = get("marginLeft"))
        d.leftMargin = std::max(0.0, wholeOrZero(cssNumber(m, *v)));
    if (auto v = get("marginRight"))
        d.rightMargin = std::max(0.0, wholeOrZero(cssNumber(m, *v)));
    if (auto v = get("textAlign")) {
        const std::string align = toLowerText(text(*v));
        if (align == "left" || align == "center" || align == "right" || align == "justify")
            d.align = align;
    }
    if (auto v = get("textDecoration")) {
        const std::string s = text(*v);
        if (s == "none" || s == "underline")
            d.underline = s == "underline";
    }
    if (auto v = get("textIndent"))
        d.indent = wholeOrZero(cssNumber(m, *v));
    return d;
}

namespace {

Value styleSheetTransform(Machine& m, Value, std::span<const Value> args)
{
    const Value style = arg(args, 0);
    if (style.isNullish())
        return Value(Null{});
    return Value(newTextFormat(m, styleToFormat(m, style)));
}

Value styleSheetOnData(Machine& m, Value self, std::span<const Value> args)
{
    const Value text = arg(args, 0);
    if (text.isUndefined()) {
        const Value failed(false);
        m.callMethod(self, "onLoad", std::span(&failed, 1));
        return Value();
    }
    const Value source(m.toString(text));
    const Value parsed(m.toBoolean(m.callMethod(self, "parse", std::span(&source, 1))));
    m.setMember(self, "loaded", parsed);
    m.callMethod(self, "onLoad", std::span(&parsed, 1));
    return Value();
}

Value styleSheetNothing(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeMethod kStyleSheetMethods[] = {
    {"getStyle", styleSheetGetStyle},
    {"setStyle", styleSheetSetStyle},
    {"getStyleNames", styleSheetGetStyleNames},
    {"clear", styleSheetClear},
    {"parseCSS", styleSheetParseCss},
    // What a loaded file's text goes through before onLoad hears whether it was CSS.
    {"parse", styleSheetParseCss},
    {"transform", styleSheetTransform},
    {"load", loadTextMethod},
    {"onData", styleSheetOnData},
    {"onLoad", styleSheetNothing},
};

Value styleSheetConstruct(Machine& m, Value self, std::span<const Value>)
{
    return adoptState(m, self, m.make<StyleSheetObject>(m.protos().named("TextField.StyleSheet")));
}

} // namespace

void installStyleSheetClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("TextField.StyleSheet", proto);
    Object* constructor = m.newNativeFunction("StyleSheet", styleSheetConstruct, styleSheetConstruct);
    constructor->put("prototype", Value(proto), PropertyFlag::DontEnum);
    proto->put("constructor", Value(constructor), PropertyFlag::DontEnum);
    defineMethods(m, proto, kStyleSheetMethods);
    Value textField = m.getMember(Value(m.global()), "TextField");
    if (textField.asObject())
        textField.asObject()->put("StyleSheet", Value(constructor), PropertyFlag::DontEnum);
}

} // namespace swf::avm1
