#pragma once

// What a TextField script object asks of the field it stands for. The movie layer
// implements it for each placed or created field; the machine knows nothing of display
// lists. Values arrive and leave as script values: the field converts them by its
// own rules.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/TextFormatObject.h"
#include "engine/avm1/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace swf::avm1 {

class Object;

// The field properties TextField.prototype exposes as getter/setters.
enum class TextFieldProperty {
    Text, HtmlText, Html, TextColor, Border, BorderColor, Background, BackgroundColor, Multiline, WordWrap,
    Password, MaxChars, Selectable, Type, Variable, Length, AutoSize, EmbedFonts,
    // Where the field is scrolled to and how far it can be, from its laid-out lines.
    Scroll, MaxScroll, BottomScroll, HScroll, MaxHScroll, TextWidth, TextHeight,
};
// "text" -> Text ...; nullopt for other names.
std::optional<TextFieldProperty> textFieldPropertyByName(std::string_view name);
std::string_view textFieldPropertyName(TextFieldProperty property);

// The display properties (`_x`, `_parent` ...) of a TextField object, read and written
// the way clips' are; nullopt / false for names that are not among them, so that the
// usual property lookup goes on.
std::optional<Value> textFieldDisplayMember(Object* field, std::string_view name);
bool setTextFieldDisplayMember(Object* field, std::string_view name, const Value& value);

class TextFieldHost {
public:
    virtual ~TextFieldHost() = default;

    virtual Object* scriptObject() = 0;
    virtual Object* parentObject() = 0;

    virtual Value get(TextFieldProperty property) = 0;
    virtual void set(TextFieldProperty property, const Value& value) = 0;
    // `_x`, `_width` ... as clips have them.
    virtual Value getDisplayProperty(ClipProperty property) = 0;
    virtual void setDisplayProperty(ClipProperty property, const Value& value) = 0;

    virtual std::string name() = 0;
    virtual int depth() = 0;
    // "_level0.a.field" for the dotted form, "/a/field" for slash syntax.
    virtual std::string targetPath(bool slashes) = 0;
    // Takes the field off its parent's display list; false when it cannot go.
    virtual bool remove() = 0;
    // A new field beside this one at `depth` named `newName` (duplicateMovieClip of a
    // field): what its character defines, placed and coloured as this one is. Null
    // when the depth is not one scripts may fill.
    virtual Object* duplicate(const std::string& newName, int depth) = 0;

    // The settings shared by the characters from `begin` up to `end` (character
    // indices, already clamped to the text), the others unset.
    virtual TextFormatData textFormat(size_t begin, size_t end) = 0;
    // Applies the settings that are set to those characters.
    virtual void setTextFormat(size_t begin, size_t end, const TextFormatData& format) = 0;
    // The format text that scripts set or users type takes.
    virtual TextFormatData newTextFormat() = 0;
    virtual void setNewTextFormat(const TextFormatData& format) = 0;
    // Characters in the text.
    virtual size_t length() = 0;

    // The selected characters [begin, end) and the caret, -1 each while the field has
    // no selection.
    struct Selection {
        int begin = -1;
        int end = -1;
        int caret = -1;
    };
    virtual Selection selection() = 0;
    // Selects from `anchor` to `caret` (character indices, clamped to the text).
    virtual void setSelection(int anchor, int caret) = 0;
    // Replaces the selection with `text` and puts the caret after it.
    virtual void replaceSelection(const std::string& text) = 0;
};

} // namespace swf::avm1
