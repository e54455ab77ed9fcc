#pragma once

// What a text field shows at one moment: its definition's font and layout with the
// parts scripts may change (text, colours, box, size, wrapping) as they stand now. The
// timeline keeps one per placed field; the renderer draws it.

#include "engine/format/EditText.h"
#include "engine/format/Primitives.h"

#include <memory>
#include <string>
#include <vector>

namespace swf::render {

// How a stretch of a field's text is set: the character part (font, size, colour,
// style, link) and the paragraph part, which the paragraph's first character carries.
struct TextFormat {
    std::string face;    // a system font's name, or the embedded font's
    double size = 240;   // twips
    Rgba color{0, 0, 0, 255};
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::string url;     // a link's address; empty: no link
    std::string target;  // the window a link opens in
    double letterSpacing = 0;  // twips added after every character
    bool kerning = false;

    TextAlign align = TextAlign::Left;
    double leftMargin = 0;  // twips
    double rightMargin = 0;
    double indent = 0;       // the paragraph's first line
    double blockIndent = 0;  // every line of the paragraph
    double leading = 0;      // between lines
    bool bullet = false;
    std::vector<double> tabStops;  // twips from the left margin

    friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

// The embedded fonts a movie defines with outlines, which fields that embed their fonts
// find by the name a format gives (see embeddedFontFor).
using EmbeddedFonts = std::vector<std::shared_ptr<const FontDef>>;

// `bytes` bytes of the field's UTF-8 text set in `format`.
struct TextSpan {
    size_t bytes = 0;
    TextFormat format;

    friend bool operator==(const TextSpan&, const TextSpan&) = default;
};

struct TextFieldLook {
    // Font, size, margins and alignment; never null.
    std::shared_ptr<const EditTextDef> def;
    Rect bounds;       // twips, in the field's space
    std::string text;  // UTF-8; HTML markup when `html`
    bool html = false;
    bool password = false;
    bool wordWrap = false;
    bool multiline = false;
    Rgba textColor{0, 0, 0, 255};
    bool border = false;
    Rgba borderColor{0, 0, 0, 255};
    bool background = false;
    Rgba backgroundColor{255, 255, 255, 255};
    // The system font drawn with when the field does not use its embedded glyphs.
    std::string deviceFont;
    // Whether text draws with embedded outlines (the definition's flag, or a script's
    // embedFonts) rather than system fonts.
    bool embedFonts = false;
    // The movie's embedded fonts, in which each format's face is looked up; null: only
    // the definition's own font.
    std::shared_ptr<const EmbeddedFonts> fonts;
    // Formatted stretches covering `text` in order (HTML text sets them). Empty: all of
    // it in defaultFormat(). Bytes past the last span take the last span's format.
    std::vector<TextSpan> spans;
    // Movies of SWF 7 and earlier report the width of text in embedded fonts of the
    // older kind (a 1024-unit square) in whole pixels, each advance rounded up.
    bool wholePixelAdvances = false;

    // The format the field's definition and its colour give every character.
    TextFormat defaultFormat() const;

    // The look a field has as its definition places it.
    static TextFieldLook fromDefinition(std::shared_ptr<const EditTextDef> def);

    friend bool operator==(const TextFieldLook&, const TextFieldLook&) = default;
};

} // namespace swf::render
