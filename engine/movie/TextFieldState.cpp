#include "engine/movie/TextFieldState.h"

#include "engine/movie/HtmlText.h"
#include "engine/movie/TextFieldScript.h"

namespace swf::movie {

TextFieldLink::TextFieldLink() = default;
TextFieldLink::TextFieldLink(const TextFieldLink&) {}
TextFieldLink::TextFieldLink(TextFieldLink&&) noexcept {}
TextFieldLink::~TextFieldLink() = default;

TextFieldLink& TextFieldLink::operator=(const TextFieldLink& other)
{
    if (this != &other)
        host_.reset();
    return *this;
}

TextFieldLink& TextFieldLink::operator=(TextFieldLink&& other) noexcept
{
    if (this != &other)
        host_.reset();
    return *this;
}

void TextFieldLink::set(std::unique_ptr<TextFieldScript> host)
{
    host_ = std::move(host);
}

TextFieldBox::~TextFieldBox() = default;

TextFieldState TextFieldState::fromDefinition(std::shared_ptr<const EditTextDef> def, int swfVersion)
{
    TextFieldState state;
    render::TextFieldLook look = render::TextFieldLook::fromDefinition(def);
    // The running field keeps plain characters; the HTML flag stays with the state
    // and decides how scripts read and write them.
    if (look.html) {
        // HTML text starts plain: its tags, not the embedded font's style flags, make
        // it bold or italic.
        render::TextFormat base = htmlBaseFormat(look);
        base.bold = false;
        base.italic = false;
        FormattedText formatted = parseHtml(look.text, base, {htmlReading(swfVersion, look.multiline, false).lineBreaks, false, true});
        look.text = std::move(formatted.text);
        look.spans = std::move(formatted.spans);
    }
    look.html = false;
    if (def) {
        state.html = def->html;
        state.maxChars = def->maxLength.value_or(0);
        state.selectable = !def->noSelect;
        state.input = !def->readOnly;
        state.embedFonts = def->useOutlines;
        state.autoSize = def->autoSize ? AutoSize::Left : AutoSize::None;
        state.variable = def->variableName;
    }
    state.look = std::make_shared<render::TextFieldLook>(std::move(look));
    return state;
}

TextFieldState TextFieldState::created(const Rect& bounds)
{
    auto def = std::make_shared<EditTextDef>();
    def->bounds = bounds;
    def->height = 240;  // 12 px
    def->readOnly = true;
    TextFieldState state = fromDefinition(def);
    render::TextFieldLook& look = state.editLook();
    look.deviceFont = "Times New Roman";
    look.border = false;
    look.background = false;
    state.input = false;
    return state;
}

render::TextFieldLook& TextFieldState::editLook()
{
    if (!look)
        look = std::make_shared<render::TextFieldLook>();
    else if (look.use_count() > 1)
        look = std::make_shared<render::TextFieldLook>(*look);
    return *look;
}

} // namespace swf::movie
