#include "engine/movie/TextFieldScript.h"

#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/SelectionObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/StyleSheetCss.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/HtmlText.h"
#include "engine/movie/TextFieldFormat.h"
#include "engine/movie/DisplayProperties.h"
#include "engine/movie/MatrixParts.h"
#include "engine/movie/Timeline.h"
#include "engine/render/TextLayout.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace swf::movie {

namespace {

constexpr double kTwips = kTwipsPerPixel;
// Read markup as the newest movies do when no script machine says which version runs.
constexpr int kNoVersion = 10;
// Field sizes scripts may give, in twips: far past any screen, well inside 32 bits.
constexpr double kMaxFieldTwips = 1e8;

int32_t twips(double v)
{
    return static_cast<int32_t>(std::clamp(std::round(v), -kMaxFieldTwips, kMaxFieldTwips));
}

double colorNumber(const Rgba& c)
{
    return static_cast<double>((uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b);
}

size_t codePoints(std::string_view text)
{
    size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace

std::string plainTextOf(const render::TextFieldLook& look)
{
    return look.html ? stripMarkup(look.text) : look.text;
}

render::TextFormat htmlBaseFormat(const render::TextFieldLook& look)
{
    render::TextFormat base = look.defaultFormat();
    const EditTextDef* def = look.def.get();
    base.face = def && def->font ? def->font->name : look.deviceFont;
    if (base.face.empty())
        base.face = "Times New Roman";
    return base;
}

void showBoundText(TextFieldState& field, std::string text)
{
    if (field.html) {
        FormattedText formatted =
            parseHtml(text, field.newFormat ? *field.newFormat : htmlBaseFormat(*field.look));
        if (formatted.text == field.look->text && formatted.spans == field.look->spans)
            return;
        render::TextFieldLook& look = field.editLook();
        look.text = std::move(formatted.text);
        look.spans = std::move(formatted.spans);
        field.fitToText();
        return;
    }
    if (field.look->text != text) {
        field.editLook().text = std::move(text);
        field.fitToText();
    }
}

std::string htmlTextOf(const render::TextFieldLook& look)
{
    return toHtml(look.text, look.spans, htmlBaseFormat(look));
}

TextFieldScript::TextFieldScript(TimelinePlayer& player, std::weak_ptr<avm1::Machine> machine, TextFieldState& self,
                                 ClipState& parent, avm1::Object* object)
    : player_(player), machine_(std::move(machine)), self_(self), parent_(parent), object_(object)
{
}

TextFieldScript::~TextFieldScript()
{
    if (!machine_.expired())
        static_cast<avm1::TextFieldObject*>(object_)->detach();
}

DisplayObject* TextFieldScript::displayObject()
{
    for (DisplayObject& o : parent_.children) {
        if (o.textField.get() == &self_)
            return &o;
    }
    return nullptr;
}

avm1::Object* TextFieldScript::parentObject()
{
    ClipScript* parent = parent_.script.get();
    return parent ? parent->scriptObject() : nullptr;
}

void TextFieldScript::setText(std::string text, bool html)
{
    render::TextFieldLook& look = self_.editLook();
    if (html) {
        auto* field = object_ ? object_->as<avm1::TextFieldObject>() : nullptr;
        const avm1::Machine* m = player_.machine();
        HtmlReading reading = htmlReading(m ? m->version() : kNoVersion, look.multiline,
                                          field && field->settings.condenseWhite);
        if (field && m && field->settings.styleSheet.isObject()) {
            // The sheet's style for the tag, then the one for its class, over what the
            // tag inherits. Only paragraphs, list items and links take a style by their
            // tag's name; the other tags by their class alone.
            avm1::Machine* machine = player_.machine();
            const avm1::Value sheet = field->settings.styleSheet;
            reading.style = [machine, sheet](std::string_view tag, const std::string* className, render::TextFormat& f) {
                const bool styledByName = tag == "p" || tag == "li" || tag == "a";
                if (auto byTag = styledByName ? avm1::styleSheetFormat(*machine, sheet, tag) : std::nullopt)
                    applyTextFormat(f, *byTag);
                if (className) {
                    if (auto byClass = avm1::styleSheetFormat(*machine, sheet, "." + *className))
                        applyTextFormat(f, *byClass);
                }
            };
        }
        FormattedText formatted = parseHtml(text, newFormat(), reading);
        look.text = std::move(formatted.text);
        look.spans = std::move(formatted.spans);
    } else {
        look.text = std::move(text);
        look.spans.clear();
        if (self_.newFormat && !look.text.empty())
            look.spans.push_back({look.text.size(), *self_.newFormat});
    }
    look.html = false;
    updateVariable();
}

void TextFieldScript::updateVariable()
{
    if (!self_.variable.empty()) {
        if (avm1::Object* owner = parentObject()) {
            player_.setBoundVariable(owner, self_.variable, avm1::Value(self_.look->text));
            // What the variable holds now: the text, or its old value when it would
            // not change.
            const avm1::Value held = player_.boundValue(owner, self_.variable);
            lastBoundText_.reset();
            if (held.isString())
                lastBoundText_ = held.asString();
        }
    }
}

namespace {

// How the field's laid-out lines fit its box: the lines in all, how many fit from each
// first line shown, and how wide and high the text is (pixels).
struct ScrollMetrics {
    int lines = 1;
    int maxScroll = 1;
    int maxHScroll = 0;
    double textWidth = 0, textHeight = 0;
    std::vector<double> tops, bottoms;  // each line's extent, twips
    double visibleHeight = 0;           // twips
    // The last line wholly shown when `first` (1-based) is the first.
    int bottomLine(int first) const
    {
        if (tops.empty() || first < 1 || first > lines)
            return first;
        int last = first;
        for (int i = first; i < lines && bottoms[static_cast<size_t>(i)] - tops[static_cast<size_t>(first - 1)] <= visibleHeight; ++i)
            last = i + 1;
        return last;
    }
};

ScrollMetrics scrollMetrics(const render::TextFieldLook& look)
{
    // Device fonts are measured through Qt's font database, which needs a GUI
    // application; without one (a bare headless run) only embedded fonts can be.
    if (!render::usesEmbeddedFont(look) && !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    render::GlyphCache glyphs;
    const render::FieldLayout layout = render::layoutField(look, glyphs, render::LayoutExtent::Whole);
    ScrollMetrics out;
    out.textWidth = std::floor(layout.textWidth / kTwips + 1e-6);
    // Whole pixels, cut short (a hair's room for rounding errors of the sum).
    out.textHeight = std::floor(layout.textHeight / kTwips + 1e-6);
    for (const render::LaidLine& line : layout.lines) {
        out.tops.push_back(line.baseline - line.ascent);
        out.bottoms.push_back(line.baseline + line.descent);
    }
    out.lines = std::max<int>(1, static_cast<int>(layout.lines.size()));
    if (out.tops.empty()) {
        out.tops.push_back(0);
        out.bottoms.push_back(0);
    }
    out.visibleHeight = std::max(0.0, look.bounds.height() - 2 * render::kFieldPadding);
    // The highest first line that still shows the last line whole.
    out.maxScroll = out.lines;
    while (out.maxScroll > 1
           && out.bottoms.back() - out.tops[static_cast<size_t>(out.maxScroll - 2)] <= out.visibleHeight)
        --out.maxScroll;
    const double visibleWidth = look.bounds.width() - 2 * render::kFieldPadding;
    out.maxHScroll = std::max(0, static_cast<int>(std::floor((layout.textWidth - visibleWidth) / kTwips)));
    return out;
}

} // namespace

void TextFieldScript::applyAutoSize()
{
    const double shift = self_.fitToText();
    if (shift != 0) {
        if (DisplayObject* d = displayObject()) {
            d->matrix.tx += d->matrix.a * shift;
            d->matrix.ty += d->matrix.b * shift;
        }
    }
}

avm1::Value TextFieldScript::get(avm1::TextFieldProperty property)
{
    using P = avm1::TextFieldProperty;
    if ((property == P::Text || property == P::HtmlText) && !self_.variable.empty()) {
        // A bound field shows its variable's value the moment it is read.
        if (avm1::Object* owner = parentObject()) {
            const avm1::Value value = player_.boundValue(owner, self_.variable);
            avm1::Machine* m = player_.machine();
            // An object shows as it converted when it was put there: its conversion
            // is redone as frames end, not on every read.
            const avm1::Object* object = value.isObject() ? value.asObject() : nullptr;
            if (!value.isUndefined() && m && (!object || object != lastBoundObject_)) {
                // A value the field already took (or could not give the variable,
                // when the variable is read-only) leaves the field's own text alone.
                std::string text = m->toString(value);
                if (object || !lastBoundText_ || *lastBoundText_ != text) {
                    lastBoundText_ = text;
                    showBoundText(self_, std::move(text));
                }
            }
            lastBoundObject_ = object;
        }
    }
    const render::TextFieldLook& look = *self_.look;
    switch (property) {
    case P::Text: return avm1::Value(look.text);
    case P::HtmlText: {
        // A field with a style sheet reads back the markup it was given, or else its
        // text as markup, whether or not it is an HTML field.
        if (const avm1::TextFieldScriptSettings* styled = styledSettings()) {
            if (styled->styledSource)
                return avm1::Value(*styled->styledSource);
            return avm1::Value(htmlTextOf(look));
        }
        return avm1::Value(self_.html ? htmlTextOf(look) : look.text);
    }
    case P::Html: return avm1::Value(self_.html);
    case P::TextColor: return avm1::Value(colorNumber(look.textColor));
    case P::Border: return avm1::Value(look.border);
    case P::BorderColor: return avm1::Value(colorNumber(look.borderColor));
    case P::Background: return avm1::Value(look.background);
    case P::BackgroundColor: return avm1::Value(colorNumber(look.backgroundColor));
    case P::Multiline: return avm1::Value(look.multiline);
    case P::WordWrap: return avm1::Value(look.wordWrap);
    case P::Password: return avm1::Value(look.password);
    case P::MaxChars: return self_.maxChars > 0 ? avm1::Value(static_cast<double>(self_.maxChars)) : avm1::Value(avm1::Null{});
    case P::Selectable: return avm1::Value(self_.selectable);
    case P::Type: return avm1::Value(self_.input ? "input" : "dynamic");
    case P::Variable: return self_.variable.empty() ? avm1::Value(avm1::Null{}) : avm1::Value(self_.variable);
    case P::Length: return avm1::Value(static_cast<double>(codePoints(look.text)));
    case P::AutoSize:
        switch (self_.autoSize) {
        case AutoSize::Left: return avm1::Value("left");
        case AutoSize::Center: return avm1::Value("center");
        case AutoSize::Right: return avm1::Value("right");
        case AutoSize::None: break;
        }
        return avm1::Value("none");
    case P::EmbedFonts: return avm1::Value(look.embedFonts);
    case P::Scroll: return avm1::Value(static_cast<double>(std::min(self_.scroll, scrollMetrics(look).maxScroll)));
    case P::MaxScroll: return avm1::Value(static_cast<double>(scrollMetrics(look).maxScroll));
    case P::BottomScroll: {
        const ScrollMetrics metrics = scrollMetrics(look);
        return avm1::Value(static_cast<double>(metrics.bottomLine(std::min(self_.scroll, metrics.maxScroll))));
    }
    case P::HScroll: return avm1::Value(static_cast<double>(std::min(self_.hscroll, scrollMetrics(look).maxHScroll)));
    case P::MaxHScroll: return avm1::Value(static_cast<double>(scrollMetrics(look).maxHScroll));
    case P::TextWidth: return avm1::Value(scrollMetrics(look).textWidth);
    case P::TextHeight: return avm1::Value(scrollMetrics(look).textHeight);
    }
    return avm1::Value();
}

namespace {

// A single-line field shows styled markup's paragraphs run together: the breaks go,
// and each formatted stretch loses the ones it held.
void dropLineBreaks(render::TextFieldLook& look)
{
    std::string kept;
    kept.reserve(look.text.size());
    size_t at = 0;
    for (render::TextSpan& span : look.spans) {
        const size_t end = std::min(look.text.size(), at + span.bytes);
        size_t breaks = 0;
        for (; at < end; ++at) {
            if (look.text[at] == '\r')
                ++breaks;
            else
                kept += look.text[at];
        }
        span.bytes -= std::min(span.bytes, breaks);
    }
    for (; at < look.text.size(); ++at) {
        if (look.text[at] != '\r')
            kept += look.text[at];
    }
    look.text = std::move(kept);
    std::erase_if(look.spans, [](const render::TextSpan& span) { return span.bytes == 0; });
}

} // namespace

avm1::TextFieldScriptSettings* TextFieldScript::styledSettings() const
{
    auto* field = object_ ? object_->as<avm1::TextFieldObject>() : nullptr;
    return field && field->settings.styleSheet.isObject() ? &field->settings : nullptr;
}

void TextFieldScript::set(avm1::TextFieldProperty property, const avm1::Value& value)
{
    using P = avm1::TextFieldProperty;
    avm1::Machine* m = player_.machine();
    if (!m)
        return;
    auto color = [m](const avm1::Value& v) {
        uint32_t rgb = static_cast<uint32_t>(m->toInt32(v)) & 0xFFFFFF;
        return Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
    };
    switch (property) {
    case P::Text:
    case P::HtmlText: {
        // With a style sheet, text and htmlText alike take markup.
        const std::string text = m->toString(value);
        avm1::TextFieldScriptSettings* styled = styledSettings();
        if (auto* field = object_ ? object_->as<avm1::TextFieldObject>() : nullptr)
            field->settings.styledSource.reset();
        if (styled)
            styled->styledSource = text;
        setText(text, styled || (property == P::HtmlText && self_.html));
        if (styled && !self_.look->multiline)
            dropLineBreaks(self_.editLook());
        break;
    }
    case P::Html: self_.html = m->toBoolean(value); break;
    case P::TextColor: {
        // The colour of all the text, its formatted stretches too.
        render::TextFieldLook& look = self_.editLook();
        look.textColor = color(value);
        for (render::TextSpan& span : look.spans)
            span.format.color = look.textColor;
        break;
    }
    case P::Border: self_.editLook().border = m->toBoolean(value); break;
    case P::BorderColor: self_.editLook().borderColor = color(value); break;
    case P::Background: self_.editLook().background = m->toBoolean(value); break;
    case P::BackgroundColor: self_.editLook().backgroundColor = color(value); break;
    case P::Multiline: self_.editLook().multiline = m->toBoolean(value); break;
    case P::WordWrap: self_.editLook().wordWrap = m->toBoolean(value); break;
    case P::Password: self_.editLook().password = m->toBoolean(value); break;
    case P::MaxChars: {
        double n = m->toNumber(value);
        self_.maxChars = std::isfinite(n) && n > 0 ? static_cast<int>(std::min(n, 2147483647.0)) : 0;
        break;
    }
    case P::Selectable: self_.selectable = m->toBoolean(value); break;
    case P::Type: {
        std::string type = avm1::toLowerText(m->toString(value));
        if (type == "input" || type == "dynamic")
            self_.input = type == "input";
        break;
    }
    case P::Variable: {
        self_.variable = value.isNullish() ? std::string() : m->toString(value);
        // A new variable binds as the field did when it appeared: one not yet set
        // takes the text the field was defined with.
        const EditTextDef* def = self_.look->def.get();
        if (avm1::Object* owner = parentObject(); owner && !self_.variable.empty())
            player_.bindTextField(owner, self_, def && def->initialText ? *def->initialText : std::string());
        break;
    }
    case P::Length: break;  // read-only
    case P::AutoSize: {
        if (value.isBool()) {
            self_.autoSize = value.asBool() ? AutoSize::Left : AutoSize::None;
            break;
        }
        std::string mode = avm1::toLowerText(m->toString(value));
        self_.autoSize = mode == "left" ? AutoSize::Left
            : mode == "center"          ? AutoSize::Center
            : mode == "right"           ? AutoSize::Right
                                        : AutoSize::None;
        break;
    }
    case P::EmbedFonts: {
        const bool embed = m->toBoolean(value);
        if (embed != self_.look->embedFonts)
            self_.editLook().embedFonts = embed;
        break;
    }
    case P::Scroll:
    case P::HScroll: {
        // Whole lines (pixels) as a 32-bit integer, kept within what the text allows.
        const int n = m->toInt32(value);
        const ScrollMetrics metrics = scrollMetrics(*self_.look);
        if (property == P::Scroll)
            self_.scroll = std::clamp(n, 1, metrics.maxScroll);
        else
            self_.hscroll = std::clamp(n, 0, metrics.maxHScroll);
        break;
    }
    case P::MaxScroll:
    case P::BottomScroll:
    case P::MaxHScroll:
    case P::TextWidth:
    case P::TextHeight: break;  // read-only
    }
    switch (property) {
    case P::Text:
    case P::HtmlText:
    case P::AutoSize:
    case P::WordWrap:
    case P::Multiline:
    case P::Password:
    case P::EmbedFonts: applyAutoSize(); break;
    default: break;
    }
}

avm1::Value TextFieldScript::getDisplayProperty(avm1::ClipProperty property)
{
    using P = avm1::ClipProperty;
    DisplayObject* d = displayObject();
    Matrix m = d ? d->matrix : Matrix{};
    const Rect& b = self_.look->bounds;
    // A field stands where its box's top left corner is in the parent, not where its
    // own origin is: a box that starts left of or above the origin moves it back.
    if (property == P::X || property == P::Y) {
        // The corner's offset from the origin is on whole twips.
        const double offset = property == P::X ? m.a * b.xMin + m.c * b.yMin : m.b * b.xMin + m.d * b.yMin;
        const double origin = property == P::X ? m.tx : m.ty;
        return avm1::Value((origin + (std::isfinite(offset) ? std::round(offset) : 0.0)) / kTwips);
    }
    if (auto shared = sharedDisplayProperty(d, property))
        return *shared;
    switch (property) {
    case P::Width:
    case P::Height: {
        // The box's extent in the parent, rotation included, its edges on whole twips.
        const Box box = m.mapRect(b);
        const double extent = property == P::Width ? std::round(box.xMax) - std::round(box.xMin)
                                                   : std::round(box.yMax) - std::round(box.yMin);
        return avm1::Value(std::isfinite(extent) ? extent / kTwips : 0.0);
    }
    case P::Target: return avm1::Value(targetPath(true));
    case P::XMouse:
    case P::YMouse: {
        // The pointer where the field's parent has it, brought into the field's space.
        avm1::ClipHost* parent = avm1::clipHost(parentObject());
        if (!parent || !m.invertible())
            return avm1::Value(0.0);
        const auto coordinate = [parent](P p) {
            const avm1::Value v = parent->getProperty(p);
            return v.isNumber() ? v.asNumber() * kTwips : 0.0;
        };
        const Point local = m.inverted().apply({coordinate(P::XMouse), coordinate(P::YMouse)});
        return avm1::Value((property == P::XMouse ? local.x : local.y) / kTwips);
    }
    default: return avm1::Value();
    }
}

void TextFieldScript::setDisplayProperty(avm1::ClipProperty property, const avm1::Value& value)
{
    using P = avm1::ClipProperty;
    avm1::Machine* machine = player_.machine();
    DisplayObject* d = displayObject();
    if (!d || !machine)
        return;
    if (property == P::X || property == P::Y) {
        // The number places the box's corner, so the origin goes that far short of it.
        const Rect& b = self_.look->bounds;
        const double offset = property == P::X ? d->matrix.a * b.xMin + d->matrix.c * b.yMin
                                               : d->matrix.b * b.xMin + d->matrix.d * b.yMin;
        double& origin = property == P::X ? d->matrix.tx : d->matrix.ty;
        const double before = origin;
        origin = std::numeric_limits<double>::quiet_NaN();  // tells whether the number was taken
        setSharedDisplayProperty(*d, property, value, *machine);
        if (std::isnan(origin))
            origin = before;
        else if (std::isfinite(offset))
            origin -= std::round(offset);
        return;
    }
    if (setSharedDisplayProperty(*d, property, value, *machine)) {
        if (property == P::Visible)
            avm1::settleFocus(*machine);
        return;
    }
    if (property != P::Width && property != P::Height)
        return;
    // A field's size is its box's, not a scale: the text keeps its size. The box takes
    // the number as it is, whatever scale the field is shown at.
    noteScriptTransform(*d, property);
    double n = machine->toNumber(value);
    if (!std::isfinite(n) || n < 0)
        return;
    Rect& b = self_.editLook().bounds;
    if (property == P::Width)
        b.xMax = twips(b.xMin + n * kTwips);
    else
        b.yMax = twips(b.yMin + n * kTwips);
}

std::string TextFieldScript::name()
{
    DisplayObject* d = displayObject();
    return d ? d->name : std::string();
}

int TextFieldScript::depth()
{
    DisplayObject* d = displayObject();
    return d ? d->depth : 0;
}

std::string TextFieldScript::targetPath(bool slashes)
{
    ClipScript* parent = parent_.script.get();
    std::string base = parent ? parent->targetPath(slashes) : (slashes ? "/" : "_level0");
    if (slashes)
        return (base == "/" ? base : base + "/") + name();
    return base + "." + name();
}

render::TextFormat TextFieldScript::newFormat() const
{
    return self_.newFormat ? *self_.newFormat : htmlBaseFormat(*self_.look);
}

size_t TextFieldScript::length()
{
    return codePoints(self_.look->text);
}

avm1::TextFormatData TextFieldScript::textFormat(size_t begin, size_t end)
{
    const render::TextFieldLook& look = *self_.look;
    if (look.text.empty())
        return textFormatData(newFormat());
    return sharedTextFormat(look.text, look.spans, htmlBaseFormat(look), byteOffsetOf(look.text, begin),
                            byteOffsetOf(look.text, end));
}

void TextFieldScript::setTextFormat(size_t begin, size_t end, const avm1::TextFormatData& format)
{
    render::TextFieldLook& look = self_.editLook();
    look.spans = withTextFormat(look.text, look.spans, htmlBaseFormat(look), byteOffsetOf(look.text, begin),
                                byteOffsetOf(look.text, end), format);
    applyAutoSize();
}

avm1::TextFormatData TextFieldScript::newTextFormat()
{
    return textFormatData(newFormat());
}

void TextFieldScript::setNewTextFormat(const avm1::TextFormatData& format)
{
    render::TextFormat f = newFormat();
    applyTextFormat(f, format);
    self_.newFormat = f;
}

avm1::TextFieldHost::Selection TextFieldScript::selection()
{
    if (self_.caret < 0 || self_.selectionAnchor < 0)
        return {};
    const int length = static_cast<int>(codePoints(self_.look->text));
    int anchor = std::min(self_.selectionAnchor, length);
    int caret = std::min(self_.caret, length);
    return {std::min(anchor, caret), std::max(anchor, caret), caret};
}

void TextFieldScript::setSelection(int anchor, int caret)
{
    const int length = static_cast<int>(codePoints(self_.look->text));
    self_.selectionAnchor = std::clamp(anchor, 0, length);
    self_.caret = std::clamp(caret, 0, length);
}

void TextFieldScript::replaceSelection(const std::string& text)
{
    Selection s = selection();
    // A field never given a selection has its caret before the first character.
    if (s.begin < 0)
        s = {0, 0, 0};
    render::TextFieldLook& look = self_.editLook();
    const size_t from = byteOffsetOf(look.text, static_cast<size_t>(s.begin));
    const size_t to = byteOffsetOf(look.text, static_cast<size_t>(s.end));
    // The new characters take the format of the first one they replace (or of the
    // one before them).
    if (!look.spans.empty()) {
        std::vector<render::TextSpan> out;
        size_t at = 0;
        bool inserted = false;
        for (const render::TextSpan& span : coveringSpans(look.text, look.spans, htmlBaseFormat(look))) {
            const size_t spanEnd = at + span.bytes;
            size_t keep = (at < from ? std::min(spanEnd, from) - at : 0) + (spanEnd > to ? spanEnd - std::max(at, to) : 0);
            if (!inserted && from >= at && from <= spanEnd) {
                keep += text.size();
                inserted = true;
            }
            if (keep > 0)
                out.push_back({keep, span.format});
            at = spanEnd;
        }
        look.spans = std::move(out);
    }
    look.text = look.text.substr(0, from) + text + look.text.substr(to);
    updateVariable();
    const int caret = s.begin + static_cast<int>(codePoints(text));
    self_.selectionAnchor = caret;
    self_.caret = caret;
    applyAutoSize();
}

bool TextFieldScript::remove()
{
    if (avm1::Machine* machine = player_.machine()) {
        avm1::Object* self = scriptObject();
        avm1::ScopedRoot keep(*machine, [self](avm1::Visitor& visitor) { visitor.visit(self); });
        // The focus leaves first, while the field can still be named; the scripts that
        // hear of it may have removed the field themselves.
        if (avm1::dropFocusWithin(*machine, self) && avm1::textFieldHost(self) != this)
            return true;
    }
    DisplayObject* d = displayObject();
    if (!d || d->depth < kScriptDepthBase)
        return false;
    avm1::Machine* machine = player_.machine();
    // Removing destroys this host; nothing may touch it afterwards.
    parent_.remove(d->depth);
    if (machine)
        avm1::settleFocus(*machine);
    return true;
}

avm1::Object* TextFieldScript::duplicate(const std::string& newName, int newDepth)
{
    DisplayObject* d = displayObject();
    ClipScript* parent = parent_.script.get();
    if (!d || !parent || !scriptDepthAllowed(newDepth))
        return nullptr;
    return player_.duplicateTextField(parent_, parent->path(), *d, newName, newDepth);
}

} // namespace swf::movie
