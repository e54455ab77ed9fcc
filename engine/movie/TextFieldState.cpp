#include "engine/movie/TextFieldState.h"

#include "engine/movie/HtmlText.h"
#include "engine/movie/TextFieldScript.h"
#include "engine/render/TextLayout.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>

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

TextFieldState TextFieldState::fromDefinition(std::shared_ptr<const EditTextDef> def, int swfVersion,
                                              std::shared_ptr<const render::EmbeddedFonts> fonts)
{
    TextFieldState state;
    render::TextFieldLook look = render::TextFieldLook::fromDefinition(def);
    look.fonts = std::move(fonts);
    look.wholePixelAdvances = swfVersion <= 7;
    // The running field keeps plain characters; the HTML flag stays with the state
    // and decides how scripts read and write them.
    if (look.html) {
        // HTML text starts plain: its tags, not the embedded font's style flags, make
        // it bold or italic.
        render::TextFormat base = htmlBaseFormat(look);
        base.bold = false;
        base.italic = false;
        HtmlReading reading = htmlReading(swfVersion, look.multiline, false);
        reading.keepBlankStretches = true;
        FormattedText formatted = parseHtml(look.text, base, reading);
        look.text = std::move(formatted.text);
        look.spans = std::move(formatted.spans);
    }
    look.html = false;
    if (def) {
        state.html = def->html;
        state.maxChars = def->maxLength.value_or(0);
        state.selectable = !def->noSelect;
        state.input = !def->readOnly;
        state.autoSize = def->autoSize ? AutoSize::Left : AutoSize::None;
        state.variable = def->variableName;
    }
    state.look = std::make_shared<render::TextFieldLook>(std::move(look));
    // A field the timeline places fits its text as one a script sizes does.
    state.fitToText();
    return state;
}

double TextFieldState::fitToText()
{
    if (autoSize == AutoSize::None || !look)
        return 0;
    const render::TextFieldLook& current = *look;
    // Device fonts are measured through Qt's font database, which needs a GUI application.
    if (!render::usesEmbeddedFont(current) && !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 0;
    render::GlyphCache glyphs;
    const render::FieldLayout layout = render::layoutField(current, glyphs, render::LayoutExtent::Whole);
    // The box takes the text and the gutter round it: its height always, its width
    // unless the text wraps. The side the mode names stays put (the centre for
    // "center"), so the field moves by what its left edge would.
    const double gutter = 2 * render::kFieldPadding;
    const Rect old = current.bounds;
    Rect bounds = old;
    // An empty field has no line to measure: only the gutter is left.
    const double textHeight = current.text.empty() ? 0.0 : layout.textHeight;
    bounds.yMax = old.yMin + static_cast<int32_t>(std::lround(std::min(textHeight + gutter, 1e8)));
    double shift = 0;
    if (!current.wordWrap) {
        const int32_t width = static_cast<int32_t>(std::lround(std::min(layout.textWidth + gutter, 1e8)));
        bounds.xMax = old.xMin + width;
        if (autoSize == AutoSize::Right)
            shift = old.width() - width;
        else if (autoSize == AutoSize::Center)
            shift = (old.width() - width) / 2.0;
    }
    if (bounds != old)
        editLook().bounds = bounds;
    return shift;
}

TextFieldState TextFieldState::created(const Rect& bounds, std::shared_ptr<const render::EmbeddedFonts> fonts,
                                       int swfVersion)
{
    auto def = std::make_shared<EditTextDef>();
    def->bounds = bounds;
    def->height = 240;  // 12 px
    def->readOnly = true;
    TextFieldState state = fromDefinition(def, swfVersion, std::move(fonts));
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
