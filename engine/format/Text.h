#pragma once

// Static text characters (DefineText, DefineText2): runs of glyphs, each glyph an index
// into an embedded font with an explicit advance, so drawing one needs no layout beyond
// adding up advances.

#include "engine/format/Font.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace swf {

struct GlyphEntry {
    uint32_t index = 0;   // into the font's glyphs
    int32_t advance = 0;  // twips, in text space
};

// One TEXTRECORD as stored: a field it leaves out keeps the value the previous record
// set (for the x position: continues where the previous record's glyphs ended).
struct TextRecord {
    std::optional<uint16_t> fontId;
    std::optional<Rgba> color;
    std::optional<int16_t> xOffset;
    std::optional<int16_t> yOffset;
    uint16_t height = 0;  // twips; read only with a font id
    std::vector<GlyphEntry> glyphs;
};

struct TextDef {
    int tagCode = 0;  // 11 or 33
    Rect bounds;
    Matrix matrix;  // text space to the character's space
    std::vector<TextRecord> records;
    // The fonts the records name, as the dictionary held them when the text was defined.
    // Filled in by the loader; a font id that is missing here draws nothing.
    std::unordered_map<uint16_t, std::shared_ptr<const FontDef>> fonts;
};

// One glyph where it is drawn: its origin on the baseline in text space (twips) and the
// text height that scales its outline.
struct PlacedGlyph {
    uint16_t fontId = 0;
    uint32_t index = 0;
    double x = 0, y = 0;
    double height = 0;  // twips
    Rgba color;
};

// `body` starts right after the character id; `tagCode` is 11 or 33.
std::shared_ptr<TextDef> parseDefineText(int tagCode, ByteReader& body);

// Resolves the records' inherited fields into glyph positions, in drawing order. Glyphs
// before any record named a font are left out.
std::vector<PlacedGlyph> layoutStaticText(const TextDef& text);

} // namespace swf
