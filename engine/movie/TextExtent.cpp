// TextFormat.getTextExtent: lays the text out in a throw-away field of the format, the
// way a created text field would show it, and reads the lines' measures.

#include "engine/movie/TextFieldFormat.h"
#include "engine/movie/TextFieldScript.h"
#include "engine/movie/TextFieldState.h"
#include "engine/render/TextLayout.h"

#include <QGuiApplication>

#include <cmath>

namespace swf::movie {

namespace {
constexpr double kTwips = 20.0;
// Wide enough that an unwrapped line never meets the field's edge.
constexpr int32_t kUnboundedWidth = 1 << 28;
} // namespace

std::optional<avm1::TextExtent> measureTextExtent(const avm1::TextFormatData& format, const std::string& text,
                                                  std::optional<double> width)
{
    const double boxWidth = width ? std::min(*width * kTwips + 2 * render::kFieldPadding, double(kUnboundedWidth))
                                  : double(kUnboundedWidth);
    TextFieldState state = TextFieldState::created(Rect{0, static_cast<int32_t>(boxWidth), 0, kUnboundedWidth});
    render::TextFieldLook& look = state.editLook();
    render::TextFormat f = htmlBaseFormat(look);
    applyTextFormat(f, format);
    look.text = text;
    look.spans.clear();
    if (!text.empty())
        look.spans.push_back({text.size(), f});
    look.multiline = true;
    look.wordWrap = width.has_value();
    // Device fonts are measured through Qt's font database, which needs a GUI application.
    if (!render::usesEmbeddedFont(look) && !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return std::nullopt;
    render::GlyphCache glyphs;
    const render::FieldLayout layout = render::layoutField(look, glyphs, render::LayoutExtent::Whole);
    avm1::TextExtent out;
    if (!layout.lines.empty()) {
        out.ascent = std::round(layout.lines.front().ascent / kTwips);
        out.descent = std::round(layout.lines.front().descent / kTwips);
    }
    out.width = std::round(layout.textWidth / kTwips);
    out.height = std::round(layout.textHeight / kTwips);
    const double gutter = 2 * render::kFieldPadding / kTwips;
    out.fieldWidth = width ? *width : out.width + gutter;
    out.fieldHeight = out.height + gutter;
    return out;
}

} // namespace swf::movie
