#pragma once

// Laying out a text field: its text, in its formatted stretches, broken into lines (at
// line breaks, and where a word-wrapping field runs out of width: after spaces, between
// CJK characters, inside a word only when the word alone is wider than the line) and
// placed by margins, indents, alignment and leading. Everything is in twips in the
// field's space, independent of the scale it is drawn at, so a layout is made once per
// text, format and box and drawn every frame.

#include "engine/format/Font.h"
#include "engine/render/TextFieldLook.h"
#include "engine/render/TextPaths.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace swf::render {

// Text sits this far inside a field's bounds on every side.
inline constexpr double kFieldPadding = 2 * 20.0;

struct LaidGlyph {
    uint32_t index = 0;     // in the embedded font, or in the device face
    bool fallback = false;  // a device glyph from the CJK fallback face
    double x = 0;           // its origin
};

// Glyphs of one line in one format.
struct LaidRun {
    size_t span = 0;  // which of the field's formats (see FieldLayout::formats)
    std::vector<LaidGlyph> glyphs;
    double left = 0, right = 0;  // what the run covers, for underlines and links
};

struct LaidLine {
    double baseline = 0;
    double ascent = 0, descent = 0;
    double left = 0, width = 0;  // the characters' extent, trailing spaces left out
    std::vector<LaidRun> runs;
};

struct FieldLayout {
    // The formats runs refer to, and the embedded font each draws with (null: a
    // device font named by the format's face), one for each format.
    std::vector<TextFormat> formats;
    std::vector<std::shared_ptr<const FontDef>> fonts;
    std::vector<LaidLine> lines;
    double textWidth = 0;   // the widest line
    double textHeight = 0;  // from the top of the first line to the bottom of the last
};

// How much of a field's text to lay out: only the lines down to its bottom edge (what
// drawing needs), or every line (what its scroll limits and text size are measured on).
enum class LayoutExtent { Visible, Whole };

// Lays out what `look` shows. `glyphs` gives outlines of fonts without advances.
FieldLayout layoutField(const TextFieldLook& look, GlyphCache& glyphs, LayoutExtent extent = LayoutExtent::Visible);

// The format of the character at (x, y), in the field's space (twips), or null where
// no character is.
const TextFormat* formatAt(const FieldLayout& layout, double x, double y);

// The embedded font text in `format` draws with in a field that embeds its fonts: the
// movie's font of the format's face (its style matched where the movie has it), else the
// field's own font; null where the field uses system fonts.
std::shared_ptr<const FontDef> embeddedFontFor(const TextFieldLook& look, const TextFormat& format);

// Whether all of the field's text draws with embedded outlines, so laying it out needs
// no system font.
bool usesEmbeddedFont(const TextFieldLook& look);

// Layouts of the fields drawn lately, found by what they show: a field is laid out
// again only when its text, formats or box change.
class LayoutCache {
public:
    const FieldLayout& layout(const TextFieldLook& look, GlyphCache& glyphs);
    void clear() { entries_.clear(); }
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        TextFieldLook look;
        FieldLayout layout;
        uint64_t lastUsed = 0;
    };
    std::unordered_multimap<size_t, Entry> entries_;
    uint64_t uses_ = 0;
};

} // namespace swf::render
