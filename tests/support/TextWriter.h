#pragma once

// Encodes font, text and text field tag bodies for tests. The engine's own record types
// state what to write, so a test reads as the definition it expects back.

#include "engine/format/EditText.h"
#include "engine/format/Font.h"
#include "engine/format/Text.h"
#include "tests/support/ShapeWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lanfan::test {

struct GlyphSpec {
    RecordWriter outline;  // fill1(1) (or fill0(1)) selects the glyph's fill
    uint16_t code = 0;
    int16_t advance = 0;
    swf::Rect bounds;
};

struct FontSpec {
    int tagCode = 48;  // 48 or 75
    std::string name = "Test";
    bool bold = false;
    bool italic = false;
    bool wideOffsets = false;
    bool wideCodes = true;
    bool layout = false;
    uint16_t ascent = 0, descent = 0;
    int16_t leading = 0;
    std::vector<GlyphSpec> glyphs;
    std::vector<swf::KerningPair> kerning;
};

// A square outline covering x 0..size, y -size..0 (above the baseline), for glyphs.
RecordWriter squareGlyph(int32_t size);

// Tag bodies without the leading character id; withId() puts one in front.
std::vector<uint8_t> encodeDefineFont2(const FontSpec& font);
std::vector<uint8_t> encodeDefineFont(const std::vector<RecordWriter>& outlines);
// 13 (DefineFontInfo: codes 16-bit when `wideCodes`) or 62 (DefineFontInfo2).
std::vector<uint8_t> encodeDefineFontInfo(int tagCode, const std::string& name, const std::vector<uint16_t>& codes,
                                          bool wideCodes);
// 11 or 33; glyph and advance widths are the smallest that hold the records' values.
std::vector<uint8_t> encodeDefineText(int tagCode, const swf::Rect& bounds, const swf::Matrix& matrix,
                                      const std::vector<swf::TextRecord>& records);
std::vector<uint8_t> encodeDefineEditText(const swf::EditTextDef& field);

std::vector<uint8_t> withId(uint16_t id, const std::vector<uint8_t>& body);

std::shared_ptr<swf::FontDef> buildFont(const FontSpec& font);

} // namespace lanfan::test
