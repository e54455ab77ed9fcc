#pragma once

// Glyph outlines as paths, built once per font and glyph, and static texts as one
// filled path per colour, built once per text character. Both live as long as the
// renderer's caches, so drawing a text each frame costs a few fills.

#include "engine/format/Font.h"
#include "engine/format/Text.h"

#include <QPainterPath>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace swf::render {

class GlyphCache {
public:
    // Glyph `index` of `font` in font units (see FontDef::emSquare()), or null for an
    // index past the font's glyphs.
    const QPainterPath* glyph(const std::shared_ptr<const FontDef>& font, uint32_t index);
    void clear() { fonts_.clear(); }

private:
    struct FontEntry {
        std::shared_ptr<const FontDef> font;  // keeps the key's address from being reused
        std::vector<std::optional<QPainterPath>> glyphs;
    };
    std::unordered_map<const FontDef*, FontEntry> fonts_;
};

// The outline of `glyph` drawn `height` twips tall with its origin at (x, y).
QPainterPath placeGlyph(const QPainterPath& glyph, const FontDef& font, double x, double y, double height);

struct TextRun {
    Rgba color;
    QPainterPath path;  // text space (twips), non-zero fill
};

class TextCache {
public:
    // The text's glyphs merged into one path per colour, in the order the colours first
    // appear. Glyphs of missing fonts, or past their font's glyphs, are left out.
    const std::vector<TextRun>& runs(const std::shared_ptr<const TextDef>& text, GlyphCache& glyphs);
    // The text's glyphs where its records place them, in drawing order.
    const std::vector<PlacedGlyph>& glyphs(const std::shared_ptr<const TextDef>& text);
    void clear() { texts_.clear(); }

private:
    struct TextEntry {
        std::shared_ptr<const TextDef> text;
        std::vector<TextRun> runs;
        bool hasRuns = false;
        std::optional<std::vector<PlacedGlyph>> placed;
    };
    TextEntry& entry(const std::shared_ptr<const TextDef>& text);
    std::unordered_map<const TextDef*, TextEntry> texts_;
};

} // namespace swf::render
