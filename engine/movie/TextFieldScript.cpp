#include "engine/movie/TextFieldScript.h"

#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/avm1/StringUtil.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/MatrixParts.h"
#include "engine/movie/Timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace swf::movie {

namespace {

constexpr int kScriptDepthBase = 16384;
constexpr double kTwips = 20.0;
// Field sizes scripts may give, in twips: far past any screen, well inside 32 bits.
constexpr double kMaxFieldTwips = 1e8;

int32_t twips(double v)
{
    return static_cast<int32_t>(std::clamp(std::round(v), -kMaxFieldTwips, kMaxFieldTwips));
}

std::string decodeEntity(std::string_view name)
{
    if (name == "lt")
        return "<";
    if (name == "gt")
        return ">";
    if (name == "amp")
        return "&";
    if (name == "quot")
        return "\"";
    if (name == "apos")
        return "'";
    if (name == "nbsp")
        return "\xC2\xA0";
    if (name.size() > 1 && name[0] == '#') {
        bool hex = name.size() > 2 && (name[1] == 'x' || name[1] == 'X');
        uint32_t code = 0;
        for (char c : name.substr(hex ? 2 : 1)) {
            int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : hex && std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10 : -1;
            if (digit < 0 || code > 0x10FFFF)
                return {};
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        }
        if (code > 0 && code <= 0x10FFFF)
            return avm1::encodeUtf8(static_cast<char32_t>(code));
    }
    return {};
}

void appendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
}

const char* alignName(TextAlign align)
{
    switch (align) {
    case TextAlign::Right: return "RIGHT";
    case TextAlign::Center: return "CENTER";
    case TextAlign::Justify: return "JUSTIFY";
    case TextAlign::Left: break;
    }
    return "LEFT";
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

std::string stripMarkup(std::string_view html)
{
    std::string out;
    size_t i = 0;
    while (i < html.size()) {
        char c = html[i];
        if (c == '<') {
            size_t close = html.find('>', i);
            if (close == std::string_view::npos)
                break;  // an unclosed tag hides the rest
            std::string tag;
            for (char t : html.substr(i + 1, close - i - 1)) {
                if (t == ' ' || t == '\t' || t == '\n' || t == '\r')
                    break;
                tag += static_cast<char>(std::tolower(static_cast<unsigned char>(t)));
            }
            if (tag == "br" || tag == "br/" || tag == "/p" || tag == "/li")
                out += '\r';
            i = close + 1;
            continue;
        }
        if (c == '&') {
            size_t semi = html.find(';', i);
            if (semi != std::string_view::npos && semi > i && semi - i <= 10) {
                std::string decoded = decodeEntity(html.substr(i + 1, semi - i - 1));
                if (!decoded.empty()) {
                    out += decoded;
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    // The last paragraph's end is not a line of its own.
    if (!out.empty() && out.back() == '\r')
        out.pop_back();
    return out;
}

std::string plainTextOf(const render::TextFieldLook& look)
{
    return look.html ? stripMarkup(look.text) : look.text;
}

std::string htmlTextOf(const render::TextFieldLook& look)
{
    const EditTextDef* def = look.def.get();
    std::string face = def && def->font ? def->font->name : look.deviceFont;
    if (face.empty())
        face = "Times New Roman";
    char size[32];
    std::snprintf(size, sizeof size, "%g", def ? def->height / kTwips : 12.0);
    char color[16];
    std::snprintf(color, sizeof color, "#%02X%02X%02X", look.textColor.r, look.textColor.g, look.textColor.b);
    std::string open = std::string("<P ALIGN=\"") + alignName(def ? def->align : TextAlign::Left) + "\"><FONT FACE=\"";
    appendEscaped(open, face);
    open += std::string("\" SIZE=\"") + size + "\" COLOR=\"" + color + "\" LETTERSPACING=\"0\" KERNING=\"0\">";
    std::string text = plainTextOf(look);
    std::string out;
    size_t start = 0;
    while (true) {
        size_t end = text.find_first_of("\r\n", start);
        out += open;
        appendEscaped(out, std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start));
        out += "</FONT></P>";
        if (end == std::string::npos)
            break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (start >= text.size())
            break;
    }
    return out;
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
    look.text = html ? stripMarkup(text) : std::move(text);
    look.html = false;
    if (!self_.variable.empty()) {
        if (avm1::Object* owner = parentObject())
            player_.setBoundVariable(owner, self_.variable, avm1::Value(look.text));
    }
}

avm1::Value TextFieldScript::get(avm1::TextFieldProperty property)
{
    using P = avm1::TextFieldProperty;
    const render::TextFieldLook& look = *self_.look;
    switch (property) {
    case P::Text: return avm1::Value(look.text);
    case P::HtmlText: return avm1::Value(self_.html ? htmlTextOf(look) : look.text);
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
    case P::EmbedFonts: return avm1::Value(self_.embedFonts);
    }
    return avm1::Value();
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
    case P::Text: setText(m->toString(value), false); break;
    case P::HtmlText: setText(m->toString(value), self_.html); break;
    case P::Html: self_.html = m->toBoolean(value); break;
    case P::TextColor: self_.editLook().textColor = color(value); break;
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
    case P::Variable:
        self_.variable = value.isNullish() ? std::string() : m->toString(value);
        break;
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
    case P::EmbedFonts: self_.embedFonts = m->toBoolean(value); break;
    }
}

avm1::Value TextFieldScript::getDisplayProperty(avm1::ClipProperty property)
{
    using P = avm1::ClipProperty;
    DisplayObject* d = displayObject();
    Matrix m = d ? d->matrix : Matrix{};
    const Rect& b = self_.look->bounds;
    switch (property) {
    case P::X: return avm1::Value(m.tx / kTwips);
    case P::Y: return avm1::Value(m.ty / kTwips);
    case P::XScale: return avm1::Value(xScaleOf(m));
    case P::YScale: return avm1::Value(yScaleOf(m));
    case P::Alpha: return avm1::Value(d ? static_cast<double>(d->colorTransform.aMul) * 100 : 100.0);
    case P::Visible: return avm1::Value(d ? d->visible : true);
    case P::Width: return avm1::Value(b.width() * xScaleOf(m) / 100 / kTwips);
    case P::Height: return avm1::Value(b.height() * yScaleOf(m) / 100 / kTwips);
    case P::Rotation: return avm1::Value(rotationOf(m));
    case P::Target: return avm1::Value(targetPath(true));
    case P::Name: return avm1::Value(name());
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
    double n = machine->toNumber(value);
    bool numeric = std::isfinite(n);
    Matrix& m = d->matrix;
    noteScriptTransform(*d, property);
    switch (property) {
    case P::X:
        if (numeric)
            m.tx = twips(n * kTwips);
        break;
    case P::Y:
        if (numeric)
            m.ty = twips(n * kTwips);
        break;
    case P::XScale:
        if (numeric)
            setScaleRotation(m, n, yScaleOf(m), rotationOf(m));
        break;
    case P::YScale:
        if (numeric)
            setScaleRotation(m, xScaleOf(m), n, rotationOf(m));
        break;
    case P::Rotation:
        if (numeric)
            setScaleRotation(m, xScaleOf(m), yScaleOf(m), std::fmod(n, 360.0));
        break;
    case P::Alpha:
        if (numeric)
            d->colorTransform.aMul = static_cast<float>(std::clamp(n, -1e6, 1e6) / 100);
        break;
    case P::Visible: d->visible = machine->toBoolean(value); break;
    case P::Width:
    case P::Height: {
        // A field's size is its box's, not a scale: the text keeps its size.
        double scale = (property == P::Width ? xScaleOf(m) : yScaleOf(m)) / 100;
        if (!numeric || n < 0 || scale <= 0)
            break;
        Rect& b = self_.editLook().bounds;
        if (property == P::Width)
            b.xMax = twips(b.xMin + n * kTwips / scale);
        else
            b.yMax = twips(b.yMin + n * kTwips / scale);
        break;
    }
    case P::Name: d->name = machine->toString(value); break;
    default: break;
    }
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

bool TextFieldScript::remove()
{
    DisplayObject* d = displayObject();
    if (!d || d->depth < kScriptDepthBase)
        return false;
    // Removing destroys this host; nothing may touch it afterwards.
    parent_.remove(d->depth);
    return true;
}

} // namespace swf::movie
