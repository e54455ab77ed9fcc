#pragma once

// Embedded fonts (DefineFont, DefineFont2, DefineFont3) as parsed records: one outline
// per glyph, the character code each glyph stands for and, when the font carries them,
// the metrics that text fields lay out with. Static texts name glyphs by index, so they
// need only the outlines; text fields look glyphs up by character code.

#include "engine/format/Shape.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace swf {

struct Glyph {
    // The outline with one solid fill, in font units (see FontDef::emSquare()), baseline
    // at y = 0 and y growing downwards. Empty for a glyph that could not be read.
    std::shared_ptr<const ShapeDef> shape;
    uint16_t code = 0;     // the character it draws (UCS-2, or the font's 8-bit set)
    // Font units; 0 without layout. Unsigned: the reference player reads advances
    // past 32767 as long ones, not as steps back.
    uint16_t advance = 0;
    Rect bounds;           // font units; empty without layout
};

struct KerningPair {
    uint16_t left = 0, right = 0;  // character codes
    int16_t adjustment = 0;        // font units
};

struct FontDef {
    int tagCode = 0;  // 10, 48 or 75
    std::string name;
    bool bold = false;
    bool italic = false;
    bool smallText = false;
    bool wideCodes = false;
    uint8_t languageCode = 0;
    std::vector<Glyph> glyphs;

    bool hasLayout = false;
    uint16_t ascent = 0;   // font units
    uint16_t descent = 0;  // font units
    int16_t leading = 0;   // font units
    std::vector<KerningPair> kerning;  // sorted by left, then right code

    // Glyph outlines are drawn on a square of this many units per text height:
    // 1024 for DefineFont and DefineFont2, twenty times finer for DefineFont3.
    double emSquare() const { return tagCode == 75 ? 20480.0 : 1024.0; }
    // A font with no outlines names a system font for the player to use instead.
    bool hasOutlines() const;
    // The glyph drawing character `code`, if the font has one.
    std::optional<uint16_t> glyphForCode(uint16_t code) const;
    // How much closer (negative) or further apart `right` sets after `left` in font
    // units, from the kerning table; 0 for pairs it does not list.
    int16_t kerningFor(uint16_t left, uint16_t right) const;

    // Filled in by the parser (and by DefineFontInfo) from the glyphs' codes.
    std::unordered_map<uint16_t, uint16_t> glyphByCode;
};

// `body` starts right after the font id. DefineFont (10) carries only outlines.
std::shared_ptr<FontDef> parseDefineFont(ByteReader& body);
// `tagCode` is 48 (DefineFont2) or 75 (DefineFont3).
std::shared_ptr<FontDef> parseDefineFont2(int tagCode, ByteReader& body);

// DefineFontInfo (13) and DefineFontInfo2 (62), `body` after the font id: the name,
// style flags and code table of a DefineFont font. Returns the font with them applied.
std::shared_ptr<FontDef> applyDefineFontInfo(int tagCode, ByteReader& body, const FontDef& font);

// Indexes the glyphs' codes for glyphForCode(); the first glyph with a code wins.
void indexGlyphCodes(FontDef& font);

} // namespace swf
