#include "engine/format/Text.h"

#include <string>

namespace swf {

namespace {

constexpr int kDefineText = 11;
constexpr int kDefineText2 = 33;

TextRecord readTextRecord(ByteReader& r, uint8_t flags, bool rgba, unsigned glyphBits, unsigned advanceBits)
{
    TextRecord rec;
    if (flags & 0x08)
        rec.fontId = r.u16();
    if (flags & 0x04)
        rec.color = rgba ? readRgba(r) : readRgb(r);
    if (flags & 0x01)
        rec.xOffset = r.s16();
    if (flags & 0x02)
        rec.yOffset = r.s16();
    if (rec.fontId)
        rec.height = r.u16();
    const unsigned count = r.u8();
    rec.glyphs.resize(count);
    BitReader bits(r);
    for (GlyphEntry& glyph : rec.glyphs) {
        glyph.index = bits.ub(glyphBits);
        glyph.advance = bits.sb(advanceBits);
    }
    return rec;
}

} // namespace

std::shared_ptr<TextDef> parseDefineText(int tagCode, ByteReader& body)
{
    if (tagCode != kDefineText && tagCode != kDefineText2)
        throw FormatError("not a text tag: " + std::to_string(tagCode));
    auto text = std::make_shared<TextDef>();
    text->tagCode = tagCode;
    text->bounds = readRect(body);
    text->matrix = readMatrix(body);
    const unsigned glyphBits = body.u8();
    const unsigned advanceBits = body.u8();
    if (glyphBits > 32 || advanceBits > 32)
        throw FormatError("text glyph fields wider than 32 bits");
    while (!body.atEnd()) {
        const uint8_t flags = body.u8();
        // A byte with the record-type bit clear is the end record.
        if ((flags & 0x80) == 0)
            break;
        try {
            text->records.push_back(readTextRecord(body, flags, tagCode == kDefineText2, glyphBits, advanceBits));
        } catch (const FormatError&) {
            // Cut off inside a record: the whole records before it still draw.
            break;
        }
    }
    return text;
}

std::vector<PlacedGlyph> layoutStaticText(const TextDef& text)
{
    std::vector<PlacedGlyph> out;
    std::optional<uint16_t> font;
    Rgba color{0, 0, 0, 255};
    double x = 0, y = 0, height = 0;
    for (const TextRecord& rec : text.records) {
        if (rec.fontId) {
            font = rec.fontId;
            height = rec.height;
        }
        if (rec.color)
            color = *rec.color;
        if (rec.xOffset)
            x = *rec.xOffset;
        if (rec.yOffset)
            y = *rec.yOffset;
        for (const GlyphEntry& glyph : rec.glyphs) {
            if (font)
                out.push_back({*font, glyph.index, x, y, height, color});
            x += glyph.advance;
        }
    }
    return out;
}

} // namespace swf
