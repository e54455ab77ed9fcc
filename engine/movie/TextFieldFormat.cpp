#include "engine/movie/TextFieldFormat.h"

#include "engine/movie/Limits.h"

#include <algorithm>
#include <cmath>

namespace swf::movie {

namespace {

constexpr double kTwips = 20;

double pixels(double twips)
{
    return std::round(twips / kTwips);
}

// Pixels from a script to twips, kept inside what layout can hold.
double twipsOf(double pixels)
{
    return std::clamp(pixels, -1e6, 1e6) * kTwips;
}

std::string_view alignName(TextAlign align)
{
    switch (align) {
    case TextAlign::Right: return "right";
    case TextAlign::Center: return "center";
    case TextAlign::Justify: return "justify";
    case TextAlign::Left: break;
    }
    return "left";
}

template <class T>
void keepIfSame(std::optional<T>& shared, const std::optional<T>& other)
{
    if (shared && shared != other)
        shared.reset();
}

} // namespace

avm1::TextFormatData textFormatData(const render::TextFormat& f)
{
    avm1::TextFormatData d;
    d.font = f.face;
    d.size = pixels(f.size);
    d.color = static_cast<double>((uint32_t(f.color.r) << 16) | (uint32_t(f.color.g) << 8) | f.color.b);
    d.url = f.url;
    d.target = f.target;
    d.bold = f.bold;
    d.italic = f.italic;
    d.underline = f.underline;
    d.align = std::string(alignName(f.align));
    d.leftMargin = pixels(f.leftMargin);
    d.rightMargin = pixels(f.rightMargin);
    d.indent = pixels(f.indent);
    d.leading = pixels(f.leading);
    d.blockIndent = pixels(f.blockIndent);
    std::vector<double> stops;
    for (double stop : f.tabStops)
        stops.push_back(pixels(stop));
    d.tabStops = std::move(stops);
    d.bullet = f.bullet;
    d.kerning = f.kerning;
    d.letterSpacing = f.letterSpacing / kTwips;
    return d;
}

void applyTextFormat(render::TextFormat& f, const avm1::TextFormatData& d)
{
    if (d.font)
        f.face = *d.font;
    if (d.size)
        f.size = std::clamp(*d.size, 0.0, 65535.0 / kTwips) * kTwips;
    if (d.color) {
        auto rgb = static_cast<uint32_t>(*d.color);
        f.color = Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
    }
    if (d.url)
        f.url = *d.url;
    if (d.target)
        f.target = *d.target;
    if (d.bold)
        f.bold = *d.bold;
    if (d.italic)
        f.italic = *d.italic;
    if (d.underline)
        f.underline = *d.underline;
    if (d.align) {
        f.align = *d.align == "right" ? TextAlign::Right
            : *d.align == "center"    ? TextAlign::Center
            : *d.align == "justify"   ? TextAlign::Justify
                                      : TextAlign::Left;
    }
    if (d.leftMargin)
        f.leftMargin = twipsOf(*d.leftMargin);
    if (d.rightMargin)
        f.rightMargin = twipsOf(*d.rightMargin);
    if (d.indent)
        f.indent = twipsOf(*d.indent);
    if (d.leading)
        f.leading = twipsOf(*d.leading);
    if (d.blockIndent)
        f.blockIndent = twipsOf(*d.blockIndent);
    if (d.tabStops) {
        f.tabStops.clear();
        for (double stop : *d.tabStops)
            f.tabStops.push_back(twipsOf(stop));
    }
    if (d.bullet)
        f.bullet = *d.bullet;
    if (d.kerning)
        f.kerning = *d.kerning;
    if (d.letterSpacing && std::isfinite(*d.letterSpacing))
        f.letterSpacing = twipsOf(*d.letterSpacing);
}

size_t byteOffsetOf(std::string_view text, size_t index)
{
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == index)
                return i;
            ++chars;
        }
    }
    return text.size();
}

std::vector<render::TextSpan> coveringSpans(std::string_view text, const std::vector<render::TextSpan>& spans,
                                            const render::TextFormat& base)
{
    std::vector<render::TextSpan> out;
    size_t covered = 0;
    for (const render::TextSpan& span : spans) {
        if (covered >= text.size())
            break;
        size_t bytes = std::min(span.bytes, text.size() - covered);
        if (bytes > 0)
            out.push_back({bytes, span.format});
        covered += bytes;
    }
    if (covered < text.size())
        out.push_back({text.size() - covered, spans.empty() ? base : spans.back().format});
    return out;
}

avm1::TextFormatData sharedTextFormat(std::string_view text, const std::vector<render::TextSpan>& spans,
                                      const render::TextFormat& base, size_t begin, size_t end)
{
    std::vector<render::TextSpan> covering = coveringSpans(text, spans, base);
    if (covering.empty())
        return textFormatData(spans.empty() ? base : spans.back().format);
    if (begin >= end)
        end = begin + 1;
    std::optional<avm1::TextFormatData> shared;
    size_t at = 0;
    for (const render::TextSpan& span : covering) {
        size_t spanEnd = at + span.bytes;
        bool overlaps = spanEnd > begin && at < end;
        if (overlaps || (!shared && &span == &covering.back())) {
            avm1::TextFormatData d = textFormatData(span.format);
            if (!shared) {
                shared = std::move(d);
            } else {
                keepIfSame(shared->font, d.font);
                keepIfSame(shared->size, d.size);
                keepIfSame(shared->color, d.color);
                keepIfSame(shared->url, d.url);
                keepIfSame(shared->target, d.target);
                keepIfSame(shared->bold, d.bold);
                keepIfSame(shared->italic, d.italic);
                keepIfSame(shared->underline, d.underline);
                keepIfSame(shared->align, d.align);
                keepIfSame(shared->leftMargin, d.leftMargin);
                keepIfSame(shared->rightMargin, d.rightMargin);
                keepIfSame(shared->indent, d.indent);
                keepIfSame(shared->leading, d.leading);
                keepIfSame(shared->blockIndent, d.blockIndent);
                keepIfSame(shared->tabStops, d.tabStops);
                keepIfSame(shared->bullet, d.bullet);
                keepIfSame(shared->kerning, d.kerning);
                keepIfSame(shared->letterSpacing, d.letterSpacing);
            }
        }
        at = spanEnd;
    }
    return shared ? *shared : textFormatData(base);
}

std::vector<render::TextSpan> withTextFormat(std::string_view text, const std::vector<render::TextSpan>& spans,
                                             const render::TextFormat& base, size_t begin, size_t end,
                                             const avm1::TextFormatData& data)
{
    std::vector<render::TextSpan> out;
    auto push = [&out](size_t bytes, const render::TextFormat& format) {
        if (bytes == 0)
            return;
        if (!out.empty() && out.back().format == format)
            out.back().bytes += bytes;
        else
            out.push_back({bytes, format});
    };
    size_t at = 0;
    for (const render::TextSpan& span : coveringSpans(text, spans, base)) {
        size_t spanEnd = at + span.bytes;
        size_t from = std::clamp(begin, at, spanEnd);
        size_t to = std::clamp(end, at, spanEnd);
        render::TextFormat changed = span.format;
        applyTextFormat(changed, data);
        push(from - at, span.format);
        push(to - from, changed);
        push(spanEnd - to, span.format);
        at = spanEnd;
    }
    return out;
}

} // namespace swf::movie
