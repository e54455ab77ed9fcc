#pragma once

// Drawing static texts and text fields with the painter: embedded fonts as filled glyph
// outlines, text fields without outlines with a system font. Colours go through the
// placed object's colour transform.

#include "engine/format/EditText.h"
#include "engine/format/Text.h"
#include "engine/render/GlyphBitmaps.h"
#include "engine/render/TextFieldLook.h"
#include "engine/render/TextLayout.h"
#include "engine/render/TextPaths.h"

#include <QPainter>
#include <QString>

namespace swf::render {

struct TextCaches {
    GlyphCache glyphs;
    TextCache texts;
    GlyphBitmaps bitmaps;
    LayoutCache layouts;

    void clear()
    {
        layouts.clear();
        bitmaps.clear();
        texts.clear();
        glyphs.clear();
    }
};

// `world` maps the character's space (twips) to device pixels.
void drawStaticText(QPainter& painter, TextCaches& caches, const std::shared_ptr<const TextDef>& text,
                    const Matrix& world, const ColorTransform& cx);
// The area the text's glyphs cover, in device pixels (a mask made of text uses it).
QPainterPath staticTextArea(TextCaches& caches, const std::shared_ptr<const TextDef>& text, const Matrix& world);

// The field's background and border when it has them, then its stored text, clipped to
// its bounds.
void drawEditText(QPainter& painter, TextCaches& caches, const std::shared_ptr<const EditTextDef>& field,
                  const Matrix& world, const ColorTransform& cx);

// A field as it stands now: background and border where it has them, then its text in
// its colour, clipped to its bounds.
void drawTextField(QPainter& painter, TextCaches& caches, const TextFieldLook& look, const Matrix& world,
                   const ColorTransform& cx);
// The area a field covers as a mask, in device pixels: its box where it has a
// background or border, else its glyphs cut to the box.
QPainterPath textFieldArea(TextCaches& caches, const TextFieldLook& look, const Matrix& world);
QPainterPath editTextArea(TextCaches& caches, const std::shared_ptr<const EditTextDef>& field, const Matrix& world);
// The characters a field's text shows (HTML reduced as below, passwords as stars).
QString displayedText(const TextFieldLook& look);

// The text a field shows for its stored text: HTML reduced to its characters (tags
// dropped, paragraphs and <br> as line breaks, entities decoded), bytes read as UTF-8.
QString displayedText(const EditTextDef& field);

} // namespace swf::render
