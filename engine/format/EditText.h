#pragma once

// Text field characters (DefineEditText): a box with its own font, colour, layout and
// initial text. Scripts may change the text later; the definition keeps what the movie
// stored.

#include "engine/format/Font.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace swf {

enum class TextAlign : uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };

struct EditTextDef {
    Rect bounds;  // twips, in the character's space
    bool wordWrap = false;
    bool multiline = false;
    bool password = false;
    bool readOnly = false;
    bool autoSize = false;
    bool noSelect = false;
    bool border = false;  // a black border round a white background
    bool wasStatic = false;
    bool html = false;
    bool useOutlines = false;  // draw with the embedded font's glyphs

    std::optional<uint16_t> fontId;
    std::string fontClass;
    uint16_t height = 240;  // twips
    std::optional<Rgba> color;
    std::optional<uint16_t> maxLength;

    bool hasLayout = false;
    TextAlign align = TextAlign::Left;
    uint16_t leftMargin = 0;   // twips
    uint16_t rightMargin = 0;  // twips
    int16_t indent = 0;        // twips, negative: the first line starts further left
    int16_t leading = 0;       // twips

    std::string variableName;
    std::optional<std::string> initialText;

    // The font `fontId` names, as the dictionary held it when the field was defined.
    // Filled in by the loader; null when the id names no font.
    std::shared_ptr<const FontDef> font;
};

// `body` starts right after the character id.
std::shared_ptr<EditTextDef> parseDefineEditText(ByteReader& body);

} // namespace swf
