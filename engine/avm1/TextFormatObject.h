#pragma once

// TextFormat: a set of character and paragraph settings, each of which may be unset
// (null). Scripts make them with `new TextFormat(...)` and trade them with text fields
// (getTextFormat, setTextFormat, getNewTextFormat, setNewTextFormat); a field fills in
// what is the same over the range asked and leaves the rest null.

#include "engine/avm1/Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swf::avm1 {

// Sizes, margins and indents are whole pixels; colour is 0xRRGGBB; align is "left",
// "center", "right" or "justify".
struct TextFormatData {
    std::optional<std::string> font;
    std::optional<double> size;
    std::optional<double> color;
    std::optional<std::string> url;
    std::optional<std::string> target;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<std::string> align;
    std::optional<double> leftMargin;
    std::optional<double> rightMargin;
    std::optional<double> indent;
    std::optional<double> leading;
    std::optional<double> blockIndent;
    std::optional<std::vector<double>> tabStops;
    std::optional<bool> bullet;
    std::optional<bool> kerning;
    std::optional<double> letterSpacing;
    std::string display = "block";

    friend bool operator==(const TextFormatData&, const TextFormatData&) = default;
};

class TextFormatObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    using Object::Object;
    TextFormatData data;
};

// The settings of `value` when it is a TextFormat, else null.
inline const TextFormatData* textFormatData(const Value& value)
{
    Object* object = value.asObject();
    const TextFormatObject* format = object ? object->as<TextFormatObject>() : nullptr;
    return format ? &format->data : nullptr;
}

// What TextFormat.getTextExtent reports of a text set in a format, whole pixels: the
// first line's ascent and descent, the widest line and the lines' height, and the size
// a text field needs to show it (its 2-pixel gutter included; the width asked for when
// the text was wrapped to one).
struct TextExtent {
    double ascent = 0, descent = 0;
    double width = 0, height = 0;
    double fieldWidth = 0, fieldHeight = 0;
};

class Machine;
// A new TextFormat object holding `data`.
Object* newTextFormat(Machine& m, TextFormatData data);

// The conversions TextFormat's setters apply, shared with tests.
namespace textformat {
// Whole pixels as the player stores them: halves to even, anything outside 32 bits
// (NaN and infinities too) to -2^31.
double toWhole(double value);
// Margins never go below 0 (NaN and -Infinity count as 0).
double toMargin(double value);
// Colours wrap into 32 bits unsigned; NaN and infinities are 0.
double toColor(double value);
} // namespace textformat

} // namespace swf::avm1
