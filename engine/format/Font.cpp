#include "engine/format/Font.h"

#include "engine/format/ShapeRecords.h"

#include <algorithm>
#include <map>

namespace swf {

namespace {

constexpr int kDefineFont = 10;
constexpr int kDefineFont2 = 48;
constexpr int kDefineFont3 = 75;
constexpr int kDefineFontInfo2 = 62;

// A glyph is a SHAPE with one implied solid fill and no line styles. Glyph outlines are
// made of overlapping contours in some fonts, so they fill by the non-zero rule.
std::shared_ptr<const ShapeDef> readGlyphShape(std::span<const uint8_t> bytes)
{
    auto shape = std::make_shared<ShapeDef>();
    shape->tagCode = 2;
    shape->nonZeroWinding = true;
    shape->fillStyles.push_back(FillStyle{});
    shape->layers.push_back({0, 1, 0, 0});
    if (bytes.empty())
        return shape;
    ByteReader r(bytes);
    try {
        shape->records = readShapeRecords(r, shape->layers.front(), {});
    } catch (const FormatError&) {
        // A damaged outline draws nothing; the other glyphs keep their indices.
        shape->records.clear();
    }
    return shape;
}

// Reads the glyph outlines from `table`, where offsets are counted from the table's
// start. A glyph's bytes end where the next glyph (by position, not by index) starts, so
// that lying offsets can never make the same bytes be read more than once; glyphs that
// share a start share one outline.
std::vector<std::shared_ptr<const ShapeDef>> readGlyphShapes(std::span<const uint8_t> table,
                                                             const std::vector<uint32_t>& offsets, uint32_t tableEnd)
{
    std::vector<uint32_t> starts(offsets);
    starts.push_back(tableEnd);
    std::ranges::sort(starts);
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

    std::map<uint32_t, std::shared_ptr<const ShapeDef>> byStart;
    std::vector<std::shared_ptr<const ShapeDef>> shapes;
    shapes.reserve(offsets.size());
    for (uint32_t begin : offsets) {
        auto& shape = byStart[begin];
        if (!shape) {
            auto next = std::ranges::upper_bound(starts, begin);
            size_t end = next == starts.end() ? table.size() : *next;
            end = std::min(end, table.size());
            std::span<const uint8_t> bytes;
            if (begin < end)
                bytes = table.subspan(begin, end - begin);
            shape = readGlyphShape(bytes);
        }
        shapes.push_back(shape);
    }
    return shapes;
}

uint16_t readCode(ByteReader& r, bool wide)
{
    return wide ? r.u16() : r.u8();
}

// Ascent, descent, leading, advances, bounds and kerning. Fonts cut short in here keep
// their outlines and lose only the metrics.
void readLayout(ByteReader& r, FontDef& font)
{
    const size_t count = font.glyphs.size();
    uint16_t ascent = 0, descent = 0;
    int16_t leading = 0;
    std::vector<uint16_t> advances(count);
    std::vector<Rect> bounds(count);
    try {
        ascent = r.u16();
        descent = r.u16();
        leading = r.s16();
        for (uint16_t& advance : advances)
            advance = r.u16();
        for (Rect& rect : bounds)
            rect = readRect(r);
    } catch (const FormatError&) {
        return;
    }
    font.hasLayout = true;
    font.ascent = ascent;
    font.descent = descent;
    font.leading = leading;
    for (size_t i = 0; i < count; ++i) {
        font.glyphs[i].advance = advances[i];
        font.glyphs[i].bounds = bounds[i];
    }
    try {
        const unsigned pairs = r.u16();
        const size_t pairBytes = font.wideCodes ? 6 : 4;
        font.kerning.reserve(std::min<size_t>(pairs, r.remaining() / pairBytes));
        for (unsigned i = 0; i < pairs; ++i) {
            KerningPair pair;
            pair.left = readCode(r, font.wideCodes);
            pair.right = readCode(r, font.wideCodes);
            pair.adjustment = r.s16();
            font.kerning.push_back(pair);
        }
    } catch (const FormatError&) {
        // Kerning cut short: the pairs read so far stand.
    }
    // Sorted for kerningFor's search; a pair listed twice keeps its first adjustment.
    std::ranges::stable_sort(font.kerning, {}, [](const KerningPair& p) { return std::pair(p.left, p.right); });
}

} // namespace

bool FontDef::hasOutlines() const
{
    return std::ranges::any_of(glyphs, [](const Glyph& g) { return g.shape && !g.shape->records.empty(); });
}

std::optional<uint16_t> FontDef::glyphForCode(uint16_t code) const
{
    auto it = glyphByCode.find(code);
    if (it == glyphByCode.end())
        return std::nullopt;
    return it->second;
}

int16_t FontDef::kerningFor(uint16_t left, uint16_t right) const
{
    auto it = std::ranges::lower_bound(kerning, std::pair(left, right), {},
                                       [](const KerningPair& p) { return std::pair(p.left, p.right); });
    return it != kerning.end() && it->left == left && it->right == right ? it->adjustment : 0;
}

void indexGlyphCodes(FontDef& font)
{
    font.glyphByCode.clear();
    for (size_t i = 0; i < font.glyphs.size(); ++i)
        font.glyphByCode.try_emplace(font.glyphs[i].code, static_cast<uint16_t>(i));
}

std::shared_ptr<FontDef> parseDefineFont(ByteReader& body)
{
    auto font = std::make_shared<FontDef>();
    font->tagCode = kDefineFont;
    const std::span<const uint8_t> table = body.rest();
    ByteReader r(table);
    if (r.atEnd())
        return font;  // a font with no glyphs
    // The first offset points just past the table, so it also gives the glyph count.
    const uint16_t first = r.u16();
    const size_t count = first / 2;
    if (count == 0 || first > table.size())
        throw FormatError("DefineFont's offset table does not fit its tag");
    std::vector<uint32_t> offsets{first};
    for (size_t i = 1; i < count; ++i)
        offsets.push_back(r.u16());
    auto shapes = readGlyphShapes(table, offsets, static_cast<uint32_t>(table.size()));
    font->glyphs.resize(count);
    for (size_t i = 0; i < count; ++i) {
        font->glyphs[i].shape = std::move(shapes[i]);
        font->glyphs[i].code = static_cast<uint16_t>(i);
    }
    return font;
}

std::shared_ptr<FontDef> parseDefineFont2(int tagCode, ByteReader& body)
{
    if (tagCode != kDefineFont2 && tagCode != kDefineFont3)
        throw FormatError("not a DefineFont2 or DefineFont3 tag: " + std::to_string(tagCode));
    auto font = std::make_shared<FontDef>();
    font->tagCode = tagCode;
    const uint8_t flags = body.u8();
    const bool hasLayout = flags & 0x80;
    font->smallText = flags & 0x20;
    const bool wideOffsets = flags & 0x08;
    // DefineFont3 fonts are written with two-byte codes, but the reference player reads
    // the flag for them too: a DefineFont3 that clears it keeps one-byte codes.
    font->wideCodes = flags & 0x04;
    font->italic = flags & 0x02;
    font->bold = flags & 0x01;
    font->languageCode = body.u8();
    font->name = body.string(body.u8());
    if (auto nul = font->name.find('\0'); nul != std::string::npos)
        font->name.resize(nul);
    const uint16_t count = body.u16();

    // Everything from the offset table on; offsets and the code table are counted from here.
    const std::span<const uint8_t> table = body.rest();
    ByteReader r(table);
    const size_t offsetSize = wideOffsets ? 4 : 2;
    if (table.size() / offsetSize < count)
        throw FormatError("DefineFont2's offset table is longer than its tag");
    std::vector<uint32_t> offsets(count);
    for (uint32_t& offset : offsets)
        offset = wideOffsets ? r.u32() : r.u16();
    // Fonts without glyphs (system font references) may leave out the code table offset.
    std::optional<uint32_t> codeTable;
    if (r.remaining() >= offsetSize)
        codeTable = wideOffsets ? r.u32() : r.u16();

    const uint32_t glyphsEnd = codeTable.value_or(static_cast<uint32_t>(table.size()));
    auto shapes = readGlyphShapes(table, offsets, glyphsEnd);
    font->glyphs.resize(count);
    for (size_t i = 0; i < count; ++i)
        font->glyphs[i].shape = std::move(shapes[i]);

    if (!codeTable || *codeTable > table.size())
        return font;  // no codes, and no telling where the layout would be
    ByteReader codes(table);
    codes.seek(*codeTable);
    try {
        for (Glyph& glyph : font->glyphs)
            glyph.code = readCode(codes, font->wideCodes);
    } catch (const FormatError&) {
        indexGlyphCodes(*font);
        return font;
    }
    indexGlyphCodes(*font);
    if (hasLayout)
        readLayout(codes, *font);
    return font;
}

std::shared_ptr<FontDef> applyDefineFontInfo(int tagCode, ByteReader& body, const FontDef& font)
{
    auto out = std::make_shared<FontDef>(font);
    out->name = body.string(body.u8());
    if (auto nul = out->name.find('\0'); nul != std::string::npos)
        out->name.resize(nul);
    const uint8_t flags = body.u8();
    out->smallText = flags & 0x20;
    out->italic = flags & 0x04;
    out->bold = flags & 0x02;
    out->wideCodes = (flags & 0x01) || tagCode == kDefineFontInfo2;
    if (tagCode == kDefineFontInfo2)
        out->languageCode = body.u8();
    // Codes the tag does not have room for keep their glyph indices as codes.
    for (Glyph& glyph : out->glyphs) {
        if (body.remaining() < (out->wideCodes ? 2u : 1u))
            break;
        glyph.code = readCode(body, out->wideCodes);
    }
    indexGlyphCodes(*out);
    return out;
}

} // namespace swf
