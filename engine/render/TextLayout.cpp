#include "engine/render/TextLayout.h"

#include "engine/format/AsciiCase.h"
#include "engine/render/DeviceFonts.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace swf::render {

namespace {

// Tab stops every 32 pixels where a paragraph sets none.
constexpr double kDefaultTabStep = 32 * 20.0;
// How far a bulleted paragraph's text starts right of its margin, and its bullet.
constexpr double kBulletIndent = 36 * 20.0;
constexpr char32_t kBullet = 0x2022;

// One character of a paragraph, measured.
struct Item {
    char32_t code = 0;
    size_t format = 0;
    uint32_t glyph = 0;
    bool hasGlyph = false;
    bool fallback = false;
    double advance = 0;
    // What the field's reported text width counts for the character, when not its
    // advance (see Measurer::measure).
    std::optional<double> reportedWidth;
};

// Device fonts are measured as the screen shows them: each character's advance, and the
// font's ascent and descent, come to whole pixels (twips here), the way hinted system
// text lines up on the pixel grid.
double toWholePixels(double twips)
{
    return std::round(twips / 20.0) * 20.0;
}

// Characters set in a kerned format move by their embedded font's kerning table: each
// pair it lists closes up (or opens) by the pair's adjustment, scaled to the size of
// the first character's format. Both characters must be set in the same font.
void applyKerning(const FieldLayout& layout, std::vector<Item>& items)
{
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        const TextFormat& format = layout.formats[items[i].format];
        const FontDef* fontOf = layout.fonts[items[i].format].get();
        if (!fontOf || fontOf->kerning.empty() || fontOf != layout.fonts[items[i + 1].format].get())
            continue;
        const FontDef& font = *fontOf;
        if (!format.kerning || !items[i].hasGlyph || !items[i + 1].hasGlyph || items[i].code > 0xFFFF
            || items[i + 1].code > 0xFFFF)
            continue;
        const int16_t adjustment =
            font.kerningFor(static_cast<uint16_t>(items[i].code), static_cast<uint16_t>(items[i + 1].code));
        items[i].advance += adjustment * format.size / font.emSquare();
        if (items[i].reportedWidth)
            *items[i].reportedWidth += adjustment * format.size / font.emSquare();
    }
}

bool isSpace(char32_t c)
{
    return c == U' ' || c == U'\t' || c == 0x3000;
}

// Measures characters in the formats of one field, remembering what it looked up.
class Measurer {
public:
    Measurer(const FieldLayout& layout, GlyphCache& glyphs, bool wholePixels)
        : layout_(layout), glyphs_(glyphs), wholePixels_(wholePixels)
    {
    }

    void measure(Item& item)
    {
        const TextFormat& format = layout_.formats[item.format];
        if (const std::shared_ptr<const FontDef>& embedded = layout_.fonts[item.format]) {
            const FontDef& font = *embedded;
            const double scale = format.size / font.emSquare();
            auto index = item.code <= 0xFFFF ? font.glyphForCode(static_cast<uint16_t>(item.code)) : std::nullopt;
            if (index) {
                item.glyph = *index;
                item.hasGlyph = true;
                if (font.hasLayout) {
                    // Whole twips, cut short, as recorded text widths add up.
                    item.advance = std::floor(font.glyphs[*index].advance * scale);
                    // Older movies measure fonts of the older kind (a 1024-unit square)
                    // in whole pixels, each advance rounded up, though the glyphs are
                    // drawn where their own advances put them.
                    if (wholePixels_ && font.emSquare() == 1024.0)
                        item.reportedWidth =
                            std::ceil(font.glyphs[*index].advance * scale / kTwipsPerPixel - 1e-9) * kTwipsPerPixel;
                } else {
                    const QPainterPath* outline = glyphs_.glyph(embedded, *index);
                    item.advance = outline ? outline->boundingRect().right() * scale : 0;
                }
            }
        } else {
            auto key = std::make_pair(item.format, item.code);
            auto found = device_.find(key);
            if (found == device_.end()) {
                const DeviceFace& face = deviceFaceFor(item.format);
                Item measured = item;
                const bool primary = face.primary.isValid() && face.primary.supportsCharacter(item.code);
                const QRawFont& raw =
                    primary || !face.fallback.isValid() || !face.fallback.supportsCharacter(item.code) ? face.primary
                                                                                                       : face.fallback;
                if (raw.isValid()) {
                    const QList<quint32> indexes = raw.glyphIndexesForString(QString::fromUcs4(&item.code, 1));
                    if (!indexes.isEmpty()) {
                        measured.glyph = indexes.front();
                        measured.hasGlyph = true;
                        measured.fallback = &raw == &face.fallback;
                        const QList<QPointF> advances = raw.advancesForGlyphIndexes(indexes, QRawFont::UseDesignMetrics);
                        measured.advance = advances.isEmpty() ? 0 : toWholePixels(advances.front().x());
                    }
                }
                found = device_.emplace(key, measured).first;
            }
            item = found->second;
        }
        item.advance += format.letterSpacing;
        if (item.reportedWidth)
            *item.reportedWidth += format.letterSpacing;
    }

    // Ascent and descent of a format's font, in twips.
    std::pair<double, double> extent(size_t formatIndex)
    {
        const TextFormat& format = layout_.formats[formatIndex];
        if (const std::shared_ptr<const FontDef>& embedded = layout_.fonts[formatIndex]) {
            const FontDef& font = *embedded;
            if (!font.hasLayout)
                return {format.size * 0.8, format.size * 0.2};
            // Whole twips, cut short: the line heights recorded text measures show.
            const double scale = format.size / font.emSquare();
            return {std::floor(font.ascent * scale), std::floor(font.descent * scale)};
        }
        const DeviceFace& face = deviceFaceFor(formatIndex);
        if (!face.primary.isValid())
            return {format.size * 0.8, format.size * 0.2};
        return {toWholePixels(face.primary.ascent()), toWholePixels(face.primary.descent())};
    }

private:
    const DeviceFace& deviceFaceFor(size_t formatIndex)
    {
        auto found = faces_.find(formatIndex);
        if (found == faces_.end()) {
            const TextFormat& f = layout_.formats[formatIndex];
            found = faces_.emplace(formatIndex, deviceFace(f.face, f.bold, f.italic, f.size)).first;
        }
        return found->second;
    }

    const FieldLayout& layout_;
    GlyphCache& glyphs_;
    bool wholePixels_;
    std::map<std::pair<size_t, char32_t>, Item> device_;
    std::map<size_t, DeviceFace> faces_;
};

// The field's characters, each with the index of its format; line breaks kept as '\n'.
std::vector<std::pair<char32_t, size_t>> charactersOf(const TextFieldLook& look, size_t formats)
{
    const std::string& bytes = look.text;
    // Movies before UTF-8 store text in the author's 8-bit code page.
    const bool latin1 = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).contains(QChar::ReplacementCharacter);
    std::vector<std::pair<char32_t, size_t>> out;
    size_t offset = 0;
    size_t span = 0;
    while (offset < bytes.size()) {
        size_t length = bytes.size() - offset;
        if (span < look.spans.size() && span + 1 < formats)
            length = std::min(length, look.spans[span].bytes);
        const char* start = bytes.data() + offset;
        const QString piece = latin1 ? QString::fromLatin1(start, static_cast<qsizetype>(length))
                                     : QString::fromUtf8(start, static_cast<qsizetype>(length));
        const size_t format = std::min(span, formats - 1);
        for (char32_t c : piece.toUcs4())
            out.emplace_back(c, format);
        offset += length;
        ++span;
    }
    return out;
}

} // namespace

const TextFormat* formatAt(const FieldLayout& layout, double x, double y)
{
    for (const LaidLine& line : layout.lines) {
        if (y < line.baseline - line.ascent || y > line.baseline + line.descent)
            continue;
        for (const LaidRun& run : line.runs) {
            if (x >= run.left && x <= run.right)
                return &layout.formats[run.span];
        }
    }
    return nullptr;
}

namespace {

// The field's own font, when it has outlines to draw with.
std::shared_ptr<const FontDef> definitionFont(const TextFieldLook& look)
{
    if (look.def && look.def->font && look.def->font->hasOutlines())
        return look.def->font;
    return nullptr;
}

} // namespace

std::shared_ptr<const FontDef> embeddedFontFor(const TextFieldLook& look, const TextFormat& format)
{
    if (!look.embedFonts)
        return nullptr;
    if (look.fonts) {
        std::shared_ptr<const FontDef> named;
        for (const std::shared_ptr<const FontDef>& font : *look.fonts) {
            if (!font || !font->hasOutlines() || !equalsNoCase(font->name, format.face))
                continue;
            if (font->bold == format.bold && font->italic == format.italic)
                return font;
            if (!named)
                named = font;
        }
        if (named)
            return named;
    }
    return definitionFont(look);
}

bool usesEmbeddedFont(const TextFieldLook& look)
{
    // The formats the text is set in decide; the field's default format only where it
    // holds no formatted text (a script-made field's default names a device face even
    // when every run names an embedded font).
    if (look.spans.empty())
        return embeddedFontFor(look, look.defaultFormat()) != nullptr;
    return std::ranges::all_of(look.spans, [&look](const TextSpan& span) { return embeddedFontFor(look, span.format) != nullptr; });
}

FieldLayout layoutField(const TextFieldLook& look, GlyphCache& glyphs, LayoutExtent extent)
{
    FieldLayout layout;
    if (!look.def)
        return layout;
    if (look.spans.empty()) {
        layout.formats.push_back(look.defaultFormat());
    } else {
        for (const TextSpan& span : look.spans)
            layout.formats.push_back(span.format);
    }
    for (TextFormat& f : layout.formats) {
        f.size = std::clamp(f.size, 0.0, 65535.0);
        layout.fonts.push_back(embeddedFontFor(look, f));
    }

    std::vector<std::pair<char32_t, size_t>> characters = charactersOf(look, layout.formats.size());
    if (look.password) {
        for (auto& c : characters) {
            if (c.first != U'\r' && c.first != U'\n')
                c.first = U'*';
        }
    }

    Measurer measurer(layout, glyphs, look.wholePixelAdvances);
    const Rect& box = look.bounds;
    double previousBottom = box.yMin + kFieldPadding;  // the last line's descent and leading below it
    double bottomBeforeTrailing = previousBottom;       // the same before the last line
    bool endsInTrailingLine = false;

    size_t at = 0;
    while (at <= characters.size()) {
        // One paragraph: up to the next line break.
        size_t end = at;
        while (end < characters.size() && characters[end].first != U'\r' && characters[end].first != U'\n')
            ++end;
        const size_t paragraphFormat = at < characters.size() ? characters[at].second
                                       : characters.empty()   ? 0
                                                              : characters.back().second;
        const TextFormat& para = layout.formats[paragraphFormat];
        // The empty line after a final line break: the caret's place, not a paragraph.
        const bool trailingLine = at == characters.size() && at > 0;
        std::vector<Item> items;
        items.reserve(end - at);
        for (size_t i = at; i < end; ++i) {
            Item item;
            item.code = characters[i].first;
            item.format = characters[i].second;
            if (item.code != U'\t')
                measurer.measure(item);
            items.push_back(item);
        }
        applyKerning(layout, items);
        endsInTrailingLine = trailingLine;

        // A bulleted paragraph's lines all start a bullet's indent further right, the
        // bullet in the space that leaves on its first line.
        const double bulletIndent = para.bullet ? kBulletIndent : 0;
        const double outer =
            box.width() - 2 * kFieldPadding - para.leftMargin - para.rightMargin - para.blockIndent - bulletIndent;
        size_t pos = 0;
        bool firstOfParagraph = true;
        do {
            // A negative indent pulls the first line left, but never past the padding.
            const double indent = firstOfParagraph ? std::max(para.indent, -(para.leftMargin + para.blockIndent)) : 0;
            const double available = outer - indent;
            // A line pushed wholly past the right edge (a huge indent) is not wrapped: its
            // text runs on out of sight rather than a character to a line.
            const bool wraps = look.wordWrap && available > 0;
            // Tabs reach the next stop, measured from the line's start. Past a
            // paragraph's last stop a tab moves nothing; without stops of its own a
            // paragraph has one every 32 pixels.
            auto tabAdvance = [&](double width) {
                if (para.tabStops.empty())
                    return kDefaultTabStep - std::fmod(width, kDefaultTabStep);
                for (double stop : para.tabStops) {
                    if (stop > width)
                        return stop - width;
                }
                return 0.0;
            };
            double width = 0;
            size_t stop = pos;
            size_t lastBreak = pos;
            bool overflowed = false;
            while (stop < items.size()) {
                Item& item = items[stop];
                if (item.code == U'\t')
                    item.advance = tabAdvance(width);
                if (wraps && stop > pos && width + item.advance > available && !isSpace(item.code)) {
                    overflowed = true;
                    break;
                }
                if (isCjk(item.code) && stop > pos)
                    lastBreak = stop;
                width += item.advance;
                ++stop;
                if (isSpace(item.code) || isCjk(item.code))
                    lastBreak = stop;
            }
            if (overflowed) {
                const bool cjkEdge = isCjk(items[stop].code) || isCjk(items[stop - 1].code);
                if (!cjkEdge && lastBreak > pos)
                    stop = lastBreak;
            }

            // Place the line.
            LaidLine line;
            double ascent = 0, descent = 0;
            for (size_t i = pos; i < stop; ++i) {
                auto [a, d] = measurer.extent(items[i].format);
                ascent = std::max(ascent, a);
                descent = std::max(descent, d);
            }
            if (pos == stop)
                std::tie(ascent, descent) = measurer.extent(paragraphFormat);
            size_t shown = stop;
            while (shown > pos && isSpace(items[shown - 1].code))
                --shown;
            double textWidth = 0;
            for (size_t i = pos; i < shown; ++i)
                textWidth += items[i].advance;
            const double lineStart = box.xMin + kFieldPadding + para.leftMargin + para.blockIndent;
            double x = lineStart + bulletIndent + indent;
            const double slack = available - textWidth;
            if (para.align == TextAlign::Right)
                x += slack;
            else if (para.align == TextAlign::Center)
                x += slack / 2;
            line.ascent = ascent;
            line.descent = descent;
            line.baseline = previousBottom + ascent;
            line.left = x;
            line.width = textWidth;
            for (size_t i = pos; i < stop; ++i) {
                const Item& item = items[i];
                if (line.runs.empty() || line.runs.back().span != item.format) {
                    LaidRun run;
                    run.span = item.format;
                    run.left = x;
                    line.runs.push_back(std::move(run));
                }
                LaidRun& run = line.runs.back();
                if (item.hasGlyph && !isSpace(item.code))
                    run.glyphs.push_back({item.glyph, item.fallback, x});
                x += item.advance;
                if (i < shown)
                    run.right = x;
                else
                    run.right = std::max(run.right, run.left);
            }
            if (para.bullet && firstOfParagraph && !trailingLine) {
                Item bullet;
                bullet.code = kBullet;
                bullet.format = paragraphFormat;
                measurer.measure(bullet);
                if (bullet.hasGlyph) {
                    LaidRun run;
                    run.span = paragraphFormat;
                    run.left = run.right = lineStart + (kBulletIndent - bullet.advance) / 2;
                    run.glyphs.push_back({bullet.glyph, bullet.fallback, run.left});
                    line.runs.push_back(std::move(run));
                }
            }
            bottomBeforeTrailing = previousBottom;
            previousBottom = line.baseline + descent + para.leading;
            // The text's width counts the spaces ending a paragraph, which alignment leaves
            // out, and those a line wraps at when it is aligned left.
            // It is the characters' alone: margins, indents and a bullet's indent are
            // not counted.
            const size_t counted = stop == items.size() || para.align == TextAlign::Left ? stop : shown;
            double fullWidth = 0;
            for (size_t i = pos; i < counted; ++i)
                fullWidth += items[i].reportedWidth.value_or(items[i].advance);
            layout.textWidth = std::max(layout.textWidth, fullWidth);
            layout.lines.push_back(std::move(line));
            firstOfParagraph = false;
            pos = stop;
            // Lines below the field's bottom edge are clipped away when drawing; stop
            // laying them out then.
            if (extent == LayoutExtent::Visible && layout.lines.back().baseline - ascent > box.yMax)
                break;
        } while (pos < items.size());
        if (extent == LayoutExtent::Visible && !layout.lines.empty()
            && layout.lines.back().baseline - layout.lines.back().ascent > box.yMax)
            break;
        if (end >= characters.size())
            break;
        // "\r\n" is one line break.
        at = end + 1;
        if (characters[end].first == U'\r' && at < characters.size() && characters[at].first == U'\n')
            ++at;
    }
    if (layout.lines.size() == 1) {
        // A lone line measures with the leading below it, as recorded text heights show;
        // between lines the leading counts, after the last of several it does not.
        layout.textHeight = previousBottom - (box.yMin + kFieldPadding);
    } else if (endsInTrailingLine) {
        // Text ending in a line break measures to the last line of text with its
        // leading; the empty line after it adds nothing.
        layout.textHeight = bottomBeforeTrailing - (box.yMin + kFieldPadding);
    } else if (!layout.lines.empty()) {
        layout.textHeight = layout.lines.back().baseline + layout.lines.back().descent - (box.yMin + kFieldPadding);
    }
    return layout;
}

namespace {

size_t hashOf(const TextFieldLook& look)
{
    size_t h = std::hash<std::string>()(look.text);
    auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    mix(std::hash<const void*>()(look.def.get()));
    mix(std::hash<int64_t>()((int64_t(look.bounds.xMin) << 32) ^ look.bounds.xMax));
    mix(std::hash<int64_t>()((int64_t(look.bounds.yMin) << 32) ^ look.bounds.yMax));
    mix(look.spans.size());
    return h;
}

// Layouts unused for this many look-ups are dropped once the cache is this big.
constexpr size_t kMaxLayouts = 256;

} // namespace

const FieldLayout& LayoutCache::layout(const TextFieldLook& look, GlyphCache& glyphs)
{
    ++uses_;
    const size_t hash = hashOf(look);
    auto [first, last] = entries_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        if (it->second.look == look) {
            it->second.lastUsed = uses_;
            return it->second.layout;
        }
    }
    if (entries_.size() >= kMaxLayouts) {
        std::erase_if(entries_, [this](const auto& e) { return e.second.lastUsed + kMaxLayouts / 2 < uses_; });
        if (entries_.size() >= kMaxLayouts)
            entries_.clear();
    }
    Entry entry{look, layoutField(look, glyphs), uses_};
    return entries_.emplace(hash, std::move(entry))->second.layout;
}

TextFormat TextFieldLook::defaultFormat() const
{
    TextFormat f;
    f.color = textColor;
    if (!def)
        return f;
    f.face = embedFonts && definitionFont(*this) && !def->font->name.empty() ? def->font->name : deviceFont;
    f.size = def->height;
    if (def->font) {
        f.bold = def->font->bold;
        f.italic = def->font->italic;
    }
    f.align = def->align;
    f.leftMargin = def->leftMargin;
    f.rightMargin = def->rightMargin;
    f.indent = def->indent;
    f.leading = def->leading;
    return f;
}

} // namespace swf::render
