#include "tests/support/TextWriter.h"

#include <algorithm>
#include <cstdlib>

namespace lanfan::test {

namespace {

std::vector<uint8_t> glyphBytes(const RecordWriter& outline)
{
    BitWriter w;
    outline.write(w, 1, 0);
    return w.take();
}

void code(BitWriter& w, uint16_t value, bool wide)
{
    if (wide)
        w.u16(value);
    else
        w.u8(static_cast<uint8_t>(value));
}

} // namespace

RecordWriter squareGlyph(int32_t size)
{
    RecordWriter w;
    w.moveTo(0, 0).fill1(1).lineTo(0, -size).lineTo(size, -size).lineTo(size, 0).lineTo(0, 0);
    return w;
}

std::vector<uint8_t> encodeDefineFont2(const FontSpec& font)
{
    BitWriter w;
    const bool wideCodes = font.wideCodes;
    w.u8(static_cast<uint8_t>((font.layout ? 0x80 : 0) | (font.wideOffsets ? 0x08 : 0) | (wideCodes ? 0x04 : 0)
                              | (font.italic ? 0x02 : 0) | (font.bold ? 0x01 : 0)));
    w.u8(0);  // language
    w.u8(static_cast<uint8_t>(font.name.size()));
    for (char c : font.name)
        w.u8(static_cast<uint8_t>(c));
    w.u16(static_cast<uint16_t>(font.glyphs.size()));

    std::vector<std::vector<uint8_t>> shapes;
    for (const GlyphSpec& glyph : font.glyphs)
        shapes.push_back(glyphBytes(glyph.outline));
    const uint32_t offsetSize = font.wideOffsets ? 4 : 2;
    uint32_t offset = offsetSize * static_cast<uint32_t>(shapes.size() + 1);
    for (const auto& shape : shapes) {
        font.wideOffsets ? w.u32(offset) : w.u16(static_cast<uint16_t>(offset));
        offset += static_cast<uint32_t>(shape.size());
    }
    font.wideOffsets ? w.u32(offset) : w.u16(static_cast<uint16_t>(offset));  // the code table
    for (const auto& shape : shapes)
        w.bytes(shape);
    for (const GlyphSpec& glyph : font.glyphs)
        code(w, glyph.code, wideCodes);
    if (font.layout) {
        w.u16(font.ascent);
        w.u16(font.descent);
        w.u16(static_cast<uint16_t>(font.leading));
        for (const GlyphSpec& glyph : font.glyphs)
            w.u16(static_cast<uint16_t>(glyph.advance));
        for (const GlyphSpec& glyph : font.glyphs)
            w.rect(glyph.bounds);
        w.u16(static_cast<uint16_t>(font.kerning.size()));
        for (const swf::KerningPair& pair : font.kerning) {
            code(w, pair.left, wideCodes);
            code(w, pair.right, wideCodes);
            w.u16(static_cast<uint16_t>(pair.adjustment));
        }
    }
    return w.take();
}

std::vector<uint8_t> encodeDefineFont(const std::vector<RecordWriter>& outlines)
{
    BitWriter w;
    std::vector<std::vector<uint8_t>> shapes;
    for (const RecordWriter& outline : outlines)
        shapes.push_back(glyphBytes(outline));
    uint32_t offset = 2 * static_cast<uint32_t>(shapes.size());
    for (const auto& shape : shapes) {
        w.u16(static_cast<uint16_t>(offset));
        offset += static_cast<uint32_t>(shape.size());
    }
    for (const auto& shape : shapes)
        w.bytes(shape);
    return w.take();
}

std::vector<uint8_t> encodeDefineFontInfo(int tagCode, const std::string& name, const std::vector<uint16_t>& codes,
                                          bool wideCodes)
{
    BitWriter w;
    w.u8(static_cast<uint8_t>(name.size()));
    for (char c : name)
        w.u8(static_cast<uint8_t>(c));
    const bool wide = wideCodes || tagCode == 62;
    w.u8(wide ? 0x01 : 0x00);
    if (tagCode == 62)
        w.u8(1);  // language
    for (uint16_t c : codes)
        code(w, c, wide);
    return w.take();
}

std::vector<uint8_t> encodeDefineText(int tagCode, const swf::Rect& bounds, const swf::Matrix& matrix,
                                      const std::vector<swf::TextRecord>& records)
{
    uint32_t maxIndex = 0;
    int32_t maxAdvance = 0;
    for (const swf::TextRecord& rec : records) {
        for (const swf::GlyphEntry& g : rec.glyphs) {
            maxIndex = std::max(maxIndex, g.index);
            maxAdvance = std::max(maxAdvance, std::abs(g.advance));
        }
    }
    const unsigned glyphBits = BitWriter::unsignedBits(maxIndex);
    const unsigned advanceBits = BitWriter::signedBits(maxAdvance);
    BitWriter w;
    w.rect(bounds);
    w.matrix(matrix);
    w.u8(static_cast<uint8_t>(glyphBits));
    w.u8(static_cast<uint8_t>(advanceBits));
    for (const swf::TextRecord& rec : records) {
        w.u8(static_cast<uint8_t>(0x80 | (rec.fontId ? 0x08 : 0) | (rec.color ? 0x04 : 0) | (rec.yOffset ? 0x02 : 0)
                                  | (rec.xOffset ? 0x01 : 0)));
        if (rec.fontId)
            w.u16(*rec.fontId);
        if (rec.color)
            tagCode == 33 ? w.rgba(*rec.color) : w.rgb(*rec.color);
        if (rec.xOffset)
            w.u16(static_cast<uint16_t>(*rec.xOffset));
        if (rec.yOffset)
            w.u16(static_cast<uint16_t>(*rec.yOffset));
        if (rec.fontId)
            w.u16(rec.height);
        w.u8(static_cast<uint8_t>(rec.glyphs.size()));
        for (const swf::GlyphEntry& g : rec.glyphs) {
            w.ub(g.index, glyphBits);
            w.sb(g.advance, advanceBits);
        }
        w.align();
    }
    w.u8(0);
    return w.take();
}

std::vector<uint8_t> encodeDefineEditText(const swf::EditTextDef& field)
{
    BitWriter w;
    w.rect(field.bounds);
    w.u8(static_cast<uint8_t>((field.initialText ? 0x80 : 0) | (field.wordWrap ? 0x40 : 0)
                              | (field.multiline ? 0x20 : 0) | (field.password ? 0x10 : 0)
                              | (field.readOnly ? 0x08 : 0) | (field.color ? 0x04 : 0) | (field.maxLength ? 0x02 : 0)
                              | (field.fontId ? 0x01 : 0)));
    w.u8(static_cast<uint8_t>((!field.fontClass.empty() ? 0x80 : 0) | (field.autoSize ? 0x40 : 0)
                              | (field.hasLayout ? 0x20 : 0) | (field.noSelect ? 0x10 : 0) | (field.border ? 0x08 : 0)
                              | (field.wasStatic ? 0x04 : 0) | (field.html ? 0x02 : 0)
                              | (field.useOutlines ? 0x01 : 0)));
    if (field.fontId)
        w.u16(*field.fontId);
    if (!field.fontClass.empty())
        w.cstring(field.fontClass);
    if (field.fontId || !field.fontClass.empty())
        w.u16(field.height);
    if (field.color)
        w.rgba(*field.color);
    if (field.maxLength)
        w.u16(*field.maxLength);
    if (field.hasLayout) {
        w.u8(static_cast<uint8_t>(field.align));
        w.u16(field.leftMargin);
        w.u16(field.rightMargin);
        w.u16(field.indent);
        w.u16(static_cast<uint16_t>(field.leading));
    }
    w.cstring(field.variableName);
    if (field.initialText)
        w.cstring(*field.initialText);
    return w.take();
}

std::vector<uint8_t> withId(uint16_t id, const std::vector<uint8_t>& body)
{
    BitWriter w;
    w.u16(id);
    w.bytes(body);
    return w.take();
}

std::shared_ptr<swf::FontDef> buildFont(const FontSpec& font)
{
    auto bytes = encodeDefineFont2(font);
    swf::ByteReader reader(bytes);
    return swf::parseDefineFont2(font.tagCode, reader);
}

} // namespace lanfan::test
