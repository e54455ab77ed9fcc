#pragma once

// The script object of a text field. Its display properties (`_x`, `_parent` ...) read
// and write through the TextFieldHost, as a clip's do; its field properties (`text`,
// `border` ...) are getter/setters on TextField.prototype. It converts to its target
// path while the field exists.

#include "engine/avm1/Object.h"

#include <optional>
#include <string>
#include "engine/avm1/TextFieldHost.h"

namespace swf::avm1 {

// Settings scripts give a field that the field keeps on its script side: what typing
// may enter, and display settings read back as they were written.
struct TextFieldScriptSettings {
    Value restrict = Value(Null{});  // the characters typing may enter; null: any
    bool condenseWhite = false;
    bool mouseWheelEnabled = true;
    Value styleSheet;
    // The markup last given to a field with a style sheet, which htmlText reads back
    // as it was written.
    std::optional<std::string> styledSource;
    Value tabIndex;
    Value filters;  // the array last set, copied out on each read
    double sharpness = 0, thickness = 0;
    std::string antiAliasType = "normal";
    std::string gridFitType = "pixel";
    std::optional<bool> focusRect;  // the field's own _focusrect; none: the root's holds
};

class TextFieldObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    TextFieldObject(Object* proto, int swfVersion, TextFieldHost* host) : Object(proto, swfVersion), host_(host) {}

    TextFieldHost* host() const { return host_; }
    void setHost(TextFieldHost* host) { host_ = host; }
    // The field is gone: nothing may reach its host any more.
    void detach() { host_ = nullptr; }

    bool getComputed(Machine& machine, std::string_view name, Value& out) override;
    bool hasComputed(Machine& machine, std::string_view name) override;
    bool setComputed(Machine& machine, std::string_view name, const Value& value) override;
    std::optional<std::string> defaultString() override;
    bool pinned() const override { return host_ != nullptr; }
    void visitEdges(Visitor& visitor) override;

    TextFieldScriptSettings settings;

private:
    TextFieldHost* host_;
};

// Whether a field's `restrict` text lets typing enter `c`: its characters and ranges
// ("a-z") are allowed, those after a "^" refused (a leading "^" allows all the
// rest), and a backslash takes the next character as it is.
bool restrictAllows(std::u32string_view restrict, char32_t c);
// The character typing enters for `c` under `restrict`: `c`, else its other case where
// only that is allowed, else 0 (refused).
char32_t restrictedCharacter(std::u32string_view restrict, char32_t c);

// The live field `object` stands for, or null.
inline TextFieldHost* textFieldHost(Object* object)
{
    TextFieldObject* field = object ? object->as<TextFieldObject>() : nullptr;
    return field ? field->host() : nullptr;
}

} // namespace swf::avm1
