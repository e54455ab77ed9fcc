#include "engine/movie/HtmlText.h"

#include "engine/avm1/StringUtil.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace swf::movie {

namespace {

constexpr double kTwips = 20.0;
// Sizes, margins and spacings past this (in pixels) are taken as this.
constexpr double kMaxPixels = 10000;
// The largest font size <font size> gives, in pixels.
constexpr double kMaxMarkupSize = 127;

using render::TextFormat;
using render::TextSpan;

std::string lower(std::string_view s)
{
    std::string out(s);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string decodeEntity(std::string_view name)
{
    if (name == "lt")
        return "<";
    if (name == "gt")
        return ">";
    if (name == "amp")
        return "&";
    if (name == "quot")
        return "\"";
    if (name == "apos")
        return "'";
    if (name == "nbsp")
        return "\xC2\xA0";
    if (name.size() > 1 && name[0] == '#') {
        bool hex = name.size() > 2 && (name[1] == 'x' || name[1] == 'X');
        uint32_t code = 0;
        for (char c : name.substr(hex ? 2 : 1)) {
            int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : hex && std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10 : -1;
            if (digit < 0 || code > 0x10FFFF)
                return {};
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        }
        if (code > 0 && code <= 0x10FFFF)
            return avm1::encodeUtf8(static_cast<char32_t>(code));
    }
    return {};
}

// A tag as written: its lower-case name (with a leading '/' when it closes) and its
// attributes, names in lower case, values with their quotes and entities removed.
struct Tag {
    std::string name;
    std::map<std::string, std::string> attributes;

    const std::string* attribute(const char* key) const
    {
        auto found = attributes.find(key);
        return found == attributes.end() ? nullptr : &found->second;
    }
};

std::string decodeEntities(std::string_view text);

Tag parseTag(std::string_view inside)
{
    Tag tag;
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < inside.size() && std::isspace(static_cast<unsigned char>(inside[i])))
            ++i;
    };
    skipSpace();
    size_t start = i;
    while (i < inside.size() && !std::isspace(static_cast<unsigned char>(inside[i])) && inside[i] != '/'
           && !(i > start && inside[i] == '>'))
        ++i;
    if (i == start && i < inside.size() && inside[i] == '/') {  // a closing tag
        ++i;
        while (i < inside.size() && !std::isspace(static_cast<unsigned char>(inside[i])))
            ++i;
    }
    tag.name = lower(inside.substr(start, i - start));
    while (i < inside.size()) {
        skipSpace();
        size_t nameStart = i;
        while (i < inside.size() && inside[i] != '=' && !std::isspace(static_cast<unsigned char>(inside[i])))
            ++i;
        std::string name = lower(inside.substr(nameStart, i - nameStart));
        skipSpace();
        std::string value;
        if (i < inside.size() && inside[i] == '=') {
            ++i;
            skipSpace();
            if (i < inside.size() && (inside[i] == '"' || inside[i] == '\'')) {
                const char quote = inside[i++];
                size_t end = inside.find(quote, i);
                if (end == std::string_view::npos)
                    end = inside.size();
                value = decodeEntities(inside.substr(i, end - i));
                i = std::min(end + 1, inside.size());
            } else {
                size_t valueStart = i;
                while (i < inside.size() && !std::isspace(static_cast<unsigned char>(inside[i])))
                    ++i;
                value = decodeEntities(inside.substr(valueStart, i - valueStart));
            }
        }
        if (!name.empty() && name != "/")
            tag.attributes.emplace(std::move(name), std::move(value));
        else if (i == nameStart)
            ++i;  // a stray character
    }
    return tag;
}

// Appends the text up to `<` with its entities decoded; returns where it stopped.
size_t appendText(std::string& out, std::string_view html, size_t i)
{
    while (i < html.size() && html[i] != '<') {
        if (html[i] == '&') {
            size_t semi = html.find(';', i);
            if (semi != std::string_view::npos && semi > i && semi - i <= 10) {
                std::string decoded = decodeEntity(html.substr(i + 1, semi - i - 1));
                if (!decoded.empty()) {
                    out += decoded;
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += html[i++];
    }
    return i;
}

std::string decodeEntities(std::string_view text)
{
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        i = appendText(out, text, i);
        if (i < text.size())
            out += text[i++];
    }
    return out;
}

std::optional<double> number(const std::string& text)
{
    double value = 0;
    const char* begin = text.data();
    while (begin < text.data() + text.size() && *begin == ' ')
        ++begin;
    if (begin < text.data() + text.size() && *begin == '+')
        ++begin;
    auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc() || end == begin || !std::isfinite(value))
        return std::nullopt;
    return std::clamp(value, -kMaxPixels, kMaxPixels);
}

// A colour as the player reads it: "#", blanks, then hex digits up to the first other
// character, of which the last six count. Without the "#", or with no digit, the
// attribute is ignored.
std::optional<Rgba> colour(const std::string& text)
{
    std::string_view rest = text;
    if (!rest.starts_with('#'))
        return std::nullopt;
    rest.remove_prefix(1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    uint32_t rgb = 0;
    size_t digits = 0;
    for (char c : rest) {
        const int value = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (value < 0)
            break;
        rgb = ((rgb << 4) | static_cast<uint32_t>(value)) & 0xFFFFFF;
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
}

void applyFont(TextFormat& f, const Tag& tag, bool readKerning)
{
    if (const std::string* face = tag.attribute("face"); face && !face->empty())
        f.face = *face;
    if (const std::string* size = tag.attribute("size")) {
        if (auto n = number(*size)) {
            // "+2" and "-2" change the size by that much.
            const bool relative = !size->empty() && ((*size)[0] == '+' || (*size)[0] == '-');
            const double pixels = relative ? f.size / kTwips + *n : *n;
            // Whole pixels, cut short, from 1 to the largest size markup sets.
            f.size = std::clamp(std::trunc(pixels), 1.0, kMaxMarkupSize) * kTwips;
        }
    }
    if (const std::string* color = tag.attribute("color")) {
        if (auto c = colour(*color))
            f.color = *c;
    }
    if (const std::string* spacing = tag.attribute("letterspacing")) {
        if (auto n = number(*spacing))
            f.letterSpacing = *n * kTwips;
    }
    if (const std::string* kerning = tag.attribute("kerning"); kerning && readKerning) {
        if (auto n = number(*kerning))
            f.kerning = *n != 0;
    }
}

void applyTextFormat(TextFormat& f, const Tag& tag)
{
    auto pixels = [&](const char* key, double& into) {
        if (const std::string* v = tag.attribute(key)) {
            if (auto n = number(*v))
                into = *n * kTwips;
        }
    };
    pixels("leftmargin", f.leftMargin);
    pixels("rightmargin", f.rightMargin);
    pixels("indent", f.indent);
    pixels("blockindent", f.blockIndent);
    pixels("leading", f.leading);
    if (const std::string* stops = tag.attribute("tabstops")) {
        f.tabStops.clear();
        size_t start = 0;
        while (start <= stops->size() && f.tabStops.size() < 1000) {
            size_t comma = stops->find(',', start);
            if (comma == std::string::npos)
                comma = stops->size();
            if (auto n = number(stops->substr(start, comma - start)))
                f.tabStops.push_back(*n * kTwips);
            start = comma + 1;
        }
    }
}

// The font part of a format: face, size, colour, spacing and kerning.
void copyFont(TextFormat& into, const TextFormat& from)
{
    into.face = from.face;
    into.size = from.size;
    into.color = from.color;
    into.letterSpacing = from.letterSpacing;
    into.kerning = from.kerning;
}

// The character part: the font, bold, italic, underline and the link.
void copyCharacterFormat(TextFormat& into, const TextFormat& from)
{
    copyFont(into, from);
    into.bold = from.bold;
    into.italic = from.italic;
    into.underline = from.underline;
    into.url = from.url;
    into.target = from.target;
}

TextAlign alignNamed(const std::string& name, TextAlign current)
{
    const std::string a = lower(name);
    if (a == "left")
        return TextAlign::Left;
    if (a == "right")
        return TextAlign::Right;
    if (a == "center")
        return TextAlign::Center;
    if (a == "justify")
        return TextAlign::Justify;
    return current;
}

// Builds the text and its spans as characters arrive in formats.
class Builder {
public:
    void append(std::string_view text, const TextFormat& format)
    {
        if (text.empty())
            return;
        out_.text += text;
        if (!out_.spans.empty() && out_.spans.back().format == format)
            out_.spans.back().bytes += text.size();
        else
            out_.spans.push_back({text.size(), format});
    }
    bool endsParagraph() const { return out_.text.empty() || out_.text.back() == '\r'; }
    size_t size() const { return out_.text.size(); }
    // A closing </p> leaves its "\r" in the text; htmlText does not make a line of it.
    FormattedText finish() { return std::move(out_); }

private:
    FormattedText out_;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The characters of one stretch of text between tags as the field keeps them.
void readStretch(std::string& text, bool condenseWhite, bool keepBlanks)
{
    if (!keepBlanks && std::ranges::all_of(text, isBlank)) {
        text.clear();
        return;
    }
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (condenseWhite && isBlank(c)) {
            while (i + 1 < text.size() && isBlank(text[i + 1]))
                ++i;
            out += ' ';
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += '\r';
        } else {
            out += c;
        }
    }
    text = std::move(out);
}

} // namespace

HtmlReading htmlReading(int swfVersion, bool multiline, bool condenseWhite)
{
    // <font kerning> came with SWF 8; older movies' markup cannot turn kerning on.
    return HtmlReading{multiline || swfVersion < 7, condenseWhite, swfVersion >= 8};
}

FormattedText parseHtml(std::string_view html, const TextFormat& base, HtmlReading reading)
{
    Builder builder;
    // Open tags with the format inside each and where the text stood when each opened;
    // the base at the bottom.
    struct Open {
        std::string name;
        TextFormat format;
        size_t textAt = 0;
    };
    std::vector<Open> open{{std::string(), base, 0}};
    constexpr size_t kMaxDepth = 256;
    // The format of the last character of the paragraph being read; none at its start.
    std::optional<TextFormat> lastCharacter;
    // A <font> element closed with nothing inside it leaves its font to every </p> line
    // end after it, even past other text and other paragraphs (a quirk the reference
    // player's reader has: "<p>a<font color='#111111'></font></p>" ends its line in
    // that colour).
    std::optional<TextFormat> emptyFont;
    auto appendLineEnd = [&](const TextFormat& format) {
        builder.append("\r", format);
        lastCharacter.reset();
    };
    // A </p> ends its line in the paragraph's own format with the font and style of the
    // paragraph's last character (the text's base format in an empty paragraph), or
    // the font of the last empty <font> element.
    auto paragraphEndFormat = [&] {
        TextFormat f = open.back().format;
        copyCharacterFormat(f, lastCharacter ? *lastCharacter : base);
        if (emptyFont)
            copyFont(f, *emptyFont);
        return f;
    };
    // Whether the last thing read was an opening tag (blanks an element holds alone
    // are kept in stored markup).
    bool afterOpeningTag = false;
    size_t i = 0;
    std::string text;
    while (i < html.size()) {
        text.clear();
        i = appendText(text, html, i);
        const bool beforeClosingTag = i + 1 < html.size() && html[i] == '<' && html[i + 1] == '/';
        readStretch(text, reading.condenseWhite, reading.keepBlankStretches && afterOpeningTag && beforeClosingTag);
        builder.append(text, open.back().format);
        if (!text.empty()) {
            if (text.back() == '\r')
                lastCharacter.reset();
            else
                lastCharacter = open.back().format;
        }
        if (i >= html.size())
            break;
        const size_t close = html.find('>', i);
        if (close == std::string_view::npos)
            break;  // an unclosed tag hides the rest
        const Tag tag = parseTag(html.substr(i + 1, close - i - 1));
        i = close + 1;
        afterOpeningTag = false;
        const TextFormat& current = open.back().format;
        if (tag.name.starts_with('/')) {
            // Only a closing tag with its opening one open does anything: a stray
            // </p> ends no paragraph.
            const std::string name = tag.name.substr(1);
            // A style closes only as the innermost element: "<b>a<i>b</b>c</i>" keeps
            // "c" bold.
            const bool innermostOnly = name == "b" || name == "i" || name == "u";
            for (size_t k = open.size(); k-- > 1;) {
                if (innermostOnly && k + 1 != open.size())
                    break;
                if (open[k].name == name) {
                    if (name == "font" && open[k].textAt == builder.size())
                        emptyFont = open[k].format;
                    if (name == "p" && reading.lineBreaks)
                        appendLineEnd(paragraphEndFormat());
                    else if (name == "li" && reading.lineBreaks)
                        appendLineEnd(open.back().format);
                    open.resize(k);
                    break;
                }
            }
            continue;
        }
        if (tag.name == "br" || tag.name == "br/" || tag.name == "sbr") {
            if (reading.lineBreaks)
                appendLineEnd(current);
            continue;
        }
        TextFormat inner = current;
        // The style sheet's styles for the tag and its class come first; what the
        // tag's own attributes say (a paragraph's align, a font's colour) goes over them.
        const auto applyStyle = [&] {
            if (reading.style)
                reading.style(tag.name, tag.attribute("class"), inner);
        };
        if (tag.name == "p" || tag.name == "li") {
            // A <p> inside an open <p> takes that one's place without a line break
            // (elements opened inside the old one stay open); text before a <p> runs
            // on into it, text before an <li> is a paragraph of its own.
            auto openParagraph = std::ranges::find_if(open, [](const Open& o) { return o.name == "p"; });
            if (tag.name == "p" && openParagraph != open.end()) {
                open.erase(openParagraph);
                inner = open.back().format;
            } else if (tag.name == "li" && !builder.endsParagraph() && reading.lineBreaks) {
                appendLineEnd(current);
            }
            applyStyle();
            if (tag.name == "li")
                inner.bullet = true;
            else if (const std::string* align = tag.attribute("align"))
                inner.align = alignNamed(*align, inner.align);
        } else if (tag.name == "font") {
            applyStyle();
            applyFont(inner, tag, reading.kerning);
        } else if (tag.name == "b") {
            applyStyle();
            inner.bold = true;
        } else if (tag.name == "i") {
            applyStyle();
            inner.italic = true;
        } else if (tag.name == "u") {
            applyStyle();
            inner.underline = true;
        } else if (tag.name == "a") {
            applyStyle();
            if (const std::string* href = tag.attribute("href"))
                inner.url = *href;
            if (const std::string* target = tag.attribute("target"))
                inner.target = *target;
        } else if (tag.name == "textformat") {
            applyStyle();
            applyTextFormat(inner, tag);
        } else if (tag.name == "span") {
            applyStyle();
        } else {
            continue;  // not a tag of the subset (images are not shown yet)
        }
        afterOpeningTag = true;
        if (open.size() < kMaxDepth)
            open.push_back({tag.name, std::move(inner), builder.size()});
    }
    return builder.finish();
}

std::string stripMarkup(std::string_view html)
{
    return parseHtml(html, TextFormat()).text;
}

namespace {

void appendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
}

const char* alignName(TextAlign align)
{
    switch (align) {
    case TextAlign::Right: return "RIGHT";
    case TextAlign::Center: return "CENTER";
    case TextAlign::Justify: return "JUSTIFY";
    case TextAlign::Left: break;
    }
    return "LEFT";
}

std::string pixelsText(double twips)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", std::round(twips / kTwips * 100) / 100);
    return buffer;
}

std::string colourText(const Rgba& c)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", c.r, c.g, c.b);
    return buffer;
}

std::string fontAttributes(const TextFormat& f, const TextFormat* outer)
{
    std::string out;
    auto add = [&](const char* name, const std::string& value) {
        out += std::string(" ") + name + "=\"";
        appendEscaped(out, value);
        out += '"';
    };
    if (!outer || outer->face != f.face)
        add("FACE", f.face);
    if (!outer || outer->size != f.size)
        add("SIZE", pixelsText(f.size));
    if (!outer || outer->color != f.color)
        add("COLOR", colourText(f.color));
    if (!outer || outer->letterSpacing != f.letterSpacing)
        add("LETTERSPACING", pixelsText(f.letterSpacing));
    if (!outer || outer->kerning != f.kerning)
        add("KERNING", f.kerning ? "1" : "0");
    return out;
}

bool sameFont(const TextFormat& a, const TextFormat& b)
{
    return a.face == b.face && a.size == b.size && a.color == b.color && a.letterSpacing == b.letterSpacing
        && a.kerning == b.kerning;
}

bool sameStyle(const TextFormat& a, const TextFormat& b)
{
    return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.url == b.url
        && a.target == b.target;
}

// The <FONT> tags open inside a paragraph, as the reference player nests them: a
// stretch whose font one of the open levels already has closes back to that level;
// any other opens a new level inside the current one, naming what differs from it.
class FontStack {
public:
    FontStack(std::string& out, const TextFormat& paragraph) : out_(out), levels_{&paragraph} {}

    void moveTo(const TextFormat& f)
    {
        for (size_t k = levels_.size(); k-- > 0;) {
            if (sameFont(*levels_[k], f)) {
                closeTo(k + 1);
                return;
            }
        }
        out_ += "<FONT" + fontAttributes(f, levels_.back()) + ">";
        levels_.push_back(&f);
    }
    // Closes every level but the paragraph's own.
    void closeAll() { closeTo(1); }

private:
    void closeTo(size_t count)
    {
        for (; levels_.size() > count; levels_.pop_back())
            out_ += "</FONT>";
    }

    std::string& out_;
    std::vector<const TextFormat*> levels_;
};

// One stretch inside a paragraph, in the font `fonts` has moved to: the link, bold,
// italic and underline it has.
void appendStretch(std::string& out, std::string_view text, const TextFormat& f)
{
    if (!f.url.empty()) {
        out += "<A HREF=\"";
        appendEscaped(out, f.url);
        out += "\" TARGET=\"";
        appendEscaped(out, f.target);
        out += "\">";
    }
    if (f.bold)
        out += "<B>";
    if (f.italic)
        out += "<I>";
    if (f.underline)
        out += "<U>";
    appendEscaped(out, text);
    if (f.underline)
        out += "</U>";
    if (f.italic)
        out += "</I>";
    if (f.bold)
        out += "</B>";
    if (!f.url.empty())
        out += "</A>";
}

} // namespace

std::string toHtml(std::string_view text, const std::vector<TextSpan>& spans, const TextFormat& base)
{
    // An empty field has no paragraph to show.
    if (text.empty())
        return {};
    // The format of each byte's stretch, as (end offset, format) pairs.
    std::vector<std::pair<size_t, const TextFormat*>> stretches;
    size_t offset = 0;
    for (const TextSpan& span : spans) {
        offset += span.bytes;
        stretches.emplace_back(std::min(offset, text.size()), &span.format);
    }    if (stretches.empty())
        stretches.emplace_back(text.size(), &base);
    stretches.back().first = std::max(stretches.back().first, text.size());
    auto formatAt = [&](size_t at) -> const TextFormat& {
        for (const auto& [end, format] : stretches) {
            if (at < end)
                return *format;
        }
        return *stretches.back().second;
    };

    std::string out;
    size_t start = 0;
    while (true) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const TextFormat& para = formatAt(start < text.size() ? start : (start > 0 ? start - 1 : 0));
        std::string textFormat;
        auto add = [&](const char* name, double twips) {
            if (twips != 0)
                textFormat += std::string(" ") + name + "=\"" + pixelsText(twips) + "\"";
        };
        add("LEFTMARGIN", para.leftMargin);
        add("RIGHTMARGIN", para.rightMargin);
        add("INDENT", para.indent);
        add("BLOCKINDENT", para.blockIndent);
        add("LEADING", para.leading);
        if (!para.tabStops.empty()) {
            textFormat += " TABSTOPS=\"";
            for (size_t k = 0; k < para.tabStops.size(); ++k)
                textFormat += (k ? "," : "") + pixelsText(para.tabStops[k]);
            textFormat += '"';
        }
        if (!textFormat.empty())
            out += "<TEXTFORMAT" + textFormat + ">";
        out += para.bullet ? std::string("<LI>") : std::string("<P ALIGN=\"") + alignName(para.align) + "\">";
        out += "<FONT" + fontAttributes(para, nullptr) + ">";
        // The paragraph's text, stretch by stretch.
        size_t at = start;
        FontStack fonts(out, para);
        for (size_t k = 0; k < stretches.size() && at < end; ++k) {
            if (stretches[k].first <= at)
                continue;
            // Stretches that differ only in their paragraph part (a bullet a paragraph
            // run into another took along) read back as one.
            const TextFormat& format = *stretches[k].second;
            while (k + 1 < stretches.size() && stretches[k].first < end && sameFont(*stretches[k + 1].second, format)
                   && sameStyle(*stretches[k + 1].second, format))
                ++k;
            const size_t to = std::min(stretches[k].first, end);
            fonts.moveTo(format);
            appendStretch(out, text.substr(at, to - at), format);
            at = to;
        }
        // A paragraph's end in another font or style than its last character (bold,
        // italic, underline, link) shows as an empty stretch in that format; so does the
        // end of an empty paragraph.
        if (end < text.size()) {
            const TextFormat& lineEnd = formatAt(end);
            if (start == end) {
                appendStretch(out, {}, lineEnd);
            } else if (!sameStyle(lineEnd, formatAt(end - 1)) || !sameFont(lineEnd, formatAt(end - 1))) {
                fonts.moveTo(lineEnd);
                appendStretch(out, {}, lineEnd);
            }
        }
        fonts.closeAll();
        out += "</FONT>";
        out += para.bullet ? "</LI>" : "</P>";
        if (!textFormat.empty())
            out += "</TEXTFORMAT>";
        if (end >= text.size())
            break;
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        if (start >= text.size())
            break;
    }
    return out;
}

} // namespace swf::movie
