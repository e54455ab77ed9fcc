#pragma once

// What a text field shows at one moment: its definition's font and layout with the
// parts scripts may change (text, colours, box, size, wrapping) as they stand now. The
// timeline keeps one per placed field; the renderer draws it.

#include "engine/format/EditText.h"
#include "engine/format/Primitives.h"

#include <memory>
#include <string>

namespace swf::render {

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

    // The look a field has as its definition places it.
    static TextFieldLook fromDefinition(std::shared_ptr<const EditTextDef> def);

    friend bool operator==(const TextFieldLook&, const TextFieldLook&) = default;
};

} // namespace swf::render
