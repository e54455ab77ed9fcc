#include "engine/format/EditText.h"

namespace swf {

std::shared_ptr<EditTextDef> parseDefineEditText(ByteReader& body)
{
    auto field = std::make_shared<EditTextDef>();
    field->bounds = readRect(body);
    const uint8_t flags1 = body.u8();
    const uint8_t flags2 = body.u8();
    const bool hasText = flags1 & 0x80;
    field->wordWrap = flags1 & 0x40;
    field->multiline = flags1 & 0x20;
    field->password = flags1 & 0x10;
    field->readOnly = flags1 & 0x08;
    const bool hasColor = flags1 & 0x04;
    const bool hasMaxLength = flags1 & 0x02;
    const bool hasFont = flags1 & 0x01;
    const bool hasFontClass = flags2 & 0x80;
    field->autoSize = flags2 & 0x40;
    field->hasLayout = flags2 & 0x20;
    field->noSelect = flags2 & 0x10;
    field->border = flags2 & 0x08;
    field->wasStatic = flags2 & 0x04;
    field->html = flags2 & 0x02;
    field->useOutlines = flags2 & 0x01;

    if (hasFont)
        field->fontId = body.u16();
    if (hasFontClass)
        field->fontClass = body.cstring();
    if (hasFont || hasFontClass)
        field->height = body.u16();
    if (hasColor)
        field->color = readRgba(body);
    if (hasMaxLength)
        field->maxLength = body.u16();
    if (field->hasLayout) {
        const uint8_t align = body.u8();
        field->align = align <= 3 ? static_cast<TextAlign>(align) : TextAlign::Left;
        field->leftMargin = body.u16();
        field->rightMargin = body.u16();
        field->indent = body.s16();
        field->leading = body.s16();
    }
    field->variableName = body.cstring();
    if (hasText) {
        // Some writers end the tag without the text's terminator.
        try {
            field->initialText = body.cstring();
        } catch (const FormatError&) {
            field->initialText = body.string(body.remaining());
        }
    }
    return field;
}

} // namespace swf
