#pragma once

// The script face of one text field: answers its TextField object's questions from the
// field's state and carries out what scripts change. It lives in the field's state and
// detaches the object when the field goes away.

#include "engine/avm1/TextFieldHost.h"
#include "engine/movie/DisplayList.h"

#include <memory>
#include <optional>
#include <string>

namespace swf::avm1 {
class Machine;
struct TextFieldScriptSettings;
}

namespace swf::movie {

class TimelinePlayer;

class TextFieldScript final : public avm1::TextFieldHost {
public:
    TextFieldScript(TimelinePlayer& player, std::weak_ptr<avm1::Machine> machine, TextFieldState& self,
                    ClipState& parent, avm1::Object* object);
    ~TextFieldScript() override;
    TextFieldScript(const TextFieldScript&) = delete;
    TextFieldScript& operator=(const TextFieldScript&) = delete;

    avm1::Object* scriptObject() override { return object_; }
    avm1::Object* parentObject() override;

    avm1::Value get(avm1::TextFieldProperty property) override;
    void set(avm1::TextFieldProperty property, const avm1::Value& value) override;
    avm1::Value getDisplayProperty(avm1::ClipProperty property) override;
    void setDisplayProperty(avm1::ClipProperty property, const avm1::Value& value) override;

    std::string name() override;
    int depth() override;
    std::string targetPath(bool slashes) override;
    bool remove() override;
    avm1::Object* duplicate(const std::string& newName, int depth) override;
    avm1::TextFormatData textFormat(size_t begin, size_t end) override;
    void setTextFormat(size_t begin, size_t end, const avm1::TextFormatData& format) override;
    avm1::TextFormatData newTextFormat() override;
    void setNewTextFormat(const avm1::TextFormatData& format) override;
    size_t length() override;
    Selection selection() override;
    void setSelection(int anchor, int caret) override;
    void replaceSelection(const std::string& text) override;

    // Which field instance this is (what a clip it masks holds).
    uint64_t instanceSerial() const { return self_.serial.value; }

private:
    DisplayObject* displayObject();
    // The format new text takes.
    render::TextFormat newFormat() const;
    // Sets the text and, for a bound field, its variable.
    void setText(std::string text, bool html);
    // A bound field's variable takes its text.
    void updateVariable();
    // An auto-sized field's box fitted to its text, as the text or its format changes.
    void applyAutoSize();

    TimelinePlayer& player_;
    std::weak_ptr<avm1::Machine> machine_;
    TextFieldState& self_;
    ClipState& parent_;
    avm1::Object* object_;
    // The script-side settings when the field has a style sheet, else null.
    avm1::TextFieldScriptSettings* styledSettings() const;
    // The object the bound variable held when the text was last read (compared only,
    // never followed).
    const avm1::Object* lastBoundObject_ = nullptr;
    // The bound variable's text when the field last took it or gave it its own.
    std::optional<std::string> lastBoundText_;
};

// Shows `text` in the field (read as HTML when the field is an HTML one) without
// touching its variable; nothing changes when it already shows it.
void showBoundText(TextFieldState& field, std::string text);
// The text a field shows as plain characters (HTML markup reduced, entities decoded).
std::string plainTextOf(const render::TextFieldLook& look);
// The field's text as the reference player's htmlText gives it (see HtmlText.h).
std::string htmlTextOf(const render::TextFieldLook& look);
// The format HTML text starts from: the field's, named by its font (Times New Roman
// when it has none).
render::TextFormat htmlBaseFormat(const render::TextFieldLook& look);

} // namespace swf::movie
