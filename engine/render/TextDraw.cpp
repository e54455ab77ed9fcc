#include "engine/render/TextDraw.h"

#include "engine/render/StylePaint.h"

#include <QFont>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace swf::render {

namespace {

// Text sits this far inside a field's bounds on every side.
constexpr double kFieldPadding = 2 * kTwipsPerPixel;
// Heights past this are treated as this: the stored field is 16 bits, but a glyph a
// hundred thousand pixels tall helps nobody and slows the rasteriser to a crawl.
constexpr double kMaxTextHeight = 65535;

// What laying out a field needs from its font, in twips.
struct FieldMetrics {
    double ascent = 0;
    double descent = 0;
    std::function<double(QChar)> advance;
};

struct FieldLine {
    QString text;
    double x = 0;         // where the first character starts
    double baseline = 0;
};

double widthOf(const QString& text, const FieldMetrics& metrics)
{
    double width = 0;
    for (QChar c : text)
        width += metrics.advance(c);
    return width;
}

// Breaks the text into lines (at line breaks, and at spaces where a word-wrapping field
// runs out of width) and places them by the field's margins, indent and alignment.
std::vector<FieldLine> layoutField(const TextFieldLook& look, const QString& text, const FieldMetrics& metrics)
{
    const EditTextDef& field = *look.def;
    const double left = look.bounds.xMin + kFieldPadding + field.leftMargin;
    const double available = look.bounds.width() - 2 * kFieldPadding - field.leftMargin - field.rightMargin;
    const double lineStep = metrics.ascent + metrics.descent + field.leading;
    std::vector<FieldLine> lines;
    auto addLine = [&](const QString& line, double indent) {
        QString shown = line;
        while (shown.endsWith(QLatin1Char(' ')))
            shown.chop(1);
        const double slack = available - indent - widthOf(shown, metrics);
        double x = left + indent;
        if (field.align == TextAlign::Right)
            x += slack;
        else if (field.align == TextAlign::Center)
            x += slack / 2;
        const double baseline =
            look.bounds.yMin + kFieldPadding + metrics.ascent + static_cast<double>(lines.size()) * lineStep;
        lines.push_back({shown, x, baseline});
    };

    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList paragraphs = normalised.split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        qsizetype pos = 0;
        bool first = true;
        do {
            const double indent = first ? field.indent : 0;
            double width = 0;
            qsizetype end = pos;
            qsizetype lastSpace = -1;
            while (end < paragraph.size()) {
                const double advance = metrics.advance(paragraph[end]);
                if (look.wordWrap && end > pos && width + advance > available - indent
                    && paragraph[end] != QLatin1Char(' '))
                    break;
                if (paragraph[end] == QLatin1Char(' '))
                    lastSpace = end;
                width += advance;
                ++end;
            }
            if (end < paragraph.size() && lastSpace >= pos)
                end = lastSpace + 1;
            addLine(paragraph.mid(pos, end - pos), indent);
            pos = end;
            first = false;
            // Lines below the field's bottom edge are clipped away; stop laying them out.
            if (lines.back().baseline - metrics.ascent > look.bounds.yMax)
                return lines;
        } while (pos < paragraph.size());
    }
    return lines;
}

QString decodeEntity(const QString& name)
{
    if (name == QLatin1String("lt"))
        return QStringLiteral("<");
    if (name == QLatin1String("gt"))
        return QStringLiteral(">");
    if (name == QLatin1String("amp"))
        return QStringLiteral("&");
    if (name == QLatin1String("quot"))
        return QStringLiteral("\"");
    if (name == QLatin1String("apos"))
        return QStringLiteral("'");
    if (name == QLatin1String("nbsp"))
        return QString(QChar(0xA0));
    if (name.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint code = name.startsWith(QLatin1String("#x")) ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok);
        if (ok && code > 0 && code <= 0x10FFFF)
            return QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
    }
    return {};
}

QString stripHtml(const QString& html)
{
    QString out;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == QLatin1Char('<')) {
            const qsizetype close = html.indexOf(QLatin1Char('>'), i);
            if (close < 0)
                break;  // an unclosed tag hides the rest
            const QString tag = html.mid(i + 1, close - i - 1).trimmed().toLower();
            const QString name = tag.section(QLatin1Char(' '), 0, 0);
            if (name == QLatin1String("br") || name == QLatin1String("br/") || name == QLatin1String("/p")
                || name == QLatin1String("/li"))
                out += QLatin1Char('\n');
            i = close + 1;
            continue;
        }
        if (c == QLatin1Char('&')) {
            const qsizetype semi = html.indexOf(QLatin1Char(';'), i);
            if (semi > i && semi - i <= 10) {
                const QString decoded = decodeEntity(html.mid(i + 1, semi - i - 1));
                if (!decoded.isEmpty()) {
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
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

QString systemFamily(const std::string& name)
{
    if (name.empty() || name == "_sans")
        return QStringLiteral("sans-serif");
    if (name == "_serif")
        return QStringLiteral("serif");
    if (name == "_typewriter")
        return QStringLiteral("monospace");
    return QString::fromStdString(name);
}

// The background fills the bounds; the border is a line one pixel wide whatever the
// field's scale. Fields that are not rotated or skewed have both snapped to whole
// pixels, with the border on the pixel rows and columns the bounds' edges round to,
// drawn round from the top left.
void drawFieldBox(QPainter& painter, const TextFieldLook& look, const Matrix& world, const ColorTransform& cx)
{
    const QRectF bounds(look.bounds.xMin, look.bounds.yMin, look.bounds.width(), look.bounds.height());
    const QTransform toDevice = toQTransform(world);
    const QColor background = look.background ? toQColor(look.backgroundColor, cx) : QColor(Qt::transparent);
    const QColor border = look.border ? toQColor(look.borderColor, cx) : QColor(Qt::transparent);
    if (world.b == 0 && world.c == 0) {
        const QRectF device = toDevice.mapRect(bounds);
        const int x0 = static_cast<int>(std::lround(device.left()));
        const int x1 = static_cast<int>(std::lround(device.right()));
        const int y0 = static_cast<int>(std::lround(device.top()));
        const int y1 = static_cast<int>(std::lround(device.bottom()));
        painter.resetTransform();
        painter.fillRect(QRect(x0, y0, x1 - x0, y1 - y0), background);
        painter.fillRect(QRect(x0, y0, x1 - x0 + 1, 1), border);
        painter.fillRect(QRect(x0, y0, 1, y1 - y0 + 1), border);
        painter.fillRect(QRect(x1, y0, 1, y1 - y0), border);
        painter.fillRect(QRect(x0, y1, x1 - x0, 1), border);
        // Where the right and bottom edges end, the corner pixel is only partly covered.
        QColor corner = border;
        corner.setAlphaF(corner.alphaF() * 0.6f);
        painter.fillRect(QRect(x1, y1, 1, 1), corner);
        return;
    }
    painter.setTransform(toDevice);
    painter.fillRect(bounds, background);
    painter.resetTransform();
    QPen pen(border);
    pen.setWidthF(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(toDevice.map(QPolygonF(bounds)));
    painter.setPen(Qt::NoPen);
}

// Lines outside the field's box are clipped away anyway; a field holding a long log
// would otherwise cost its whole text's drawing every frame.
bool lineShows(const TextFieldLook& look, const FieldLine& line, const FieldMetrics& metrics)
{
    return line.baseline + metrics.descent >= look.bounds.yMin && line.baseline - metrics.ascent <= look.bounds.yMax;
}

void drawWithOutlines(QPainter& painter, TextCaches& caches, const TextFieldLook& look, const QString& text,
                      const QColor& color, const Matrix& world)
{
    const EditTextDef& field = *look.def;
    const FontDef& font = *field.font;
    const double height = std::min<double>(field.height, kMaxTextHeight);
    const double scale = height / font.emSquare();
    auto advance = [&](QChar c) -> double {
        auto index = font.glyphForCode(c.unicode());
        if (!index)
            return 0;
        const Glyph& glyph = font.glyphs[*index];
        if (font.hasLayout)
            return glyph.advance * scale;
        const QPainterPath* outline = caches.glyphs.glyph(field.font, *index);
        return outline ? outline->boundingRect().right() * scale : 0;
    };
    FieldMetrics metrics{font.ascent * scale, font.descent * scale, advance};
    if (!font.hasLayout) {
        metrics.ascent = height * 0.8;
        metrics.descent = height * 0.2;
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const FieldLine& line : layoutField(look, text, metrics)) {
        if (!lineShows(look, line, metrics))
            continue;
        double x = line.x;
        for (QChar c : line.text) {
            if (auto index = font.glyphForCode(c.unicode())) {
                if (const QPainterPath* outline = caches.glyphs.glyph(field.font, *index))
                    path.addPath(placeGlyph(*outline, font, x, line.baseline, height));
            }
            x += advance(c);
        }
    }
    painter.setTransform(toQTransform(world));
    painter.fillPath(path, color);
}

void drawWithSystemFont(QPainter& painter, const TextFieldLook& look, const QString& text, const QColor& color,
                        const Matrix& world)
{
    const EditTextDef& field = *look.def;
    // The font is sized in device pixels, not in twips scaled down by the transform:
    // Qt then draws the text from its glyph cache instead of filling every glyph's
    // outline at twenty times the size, which made a page of text cost 100 ms a frame.
    const double scale = (std::hypot(world.a, world.b) + std::hypot(world.c, world.d)) / 2;
    const double pixels = std::min<double>(field.height, kMaxTextHeight) * scale;
    if (!std::isfinite(pixels) || pixels < 0.5 || pixels > kMaxTextHeight)
        return;  // too small to see, or a matrix gone bad
    QFont font(systemFamily(look.deviceFont));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    if (field.font) {
        font.setBold(field.font->bold);
        font.setItalic(field.font->italic);
    }
    // Layout stays in twips; the metrics come back from device pixels.
    const QFontMetricsF fm(font);
    FieldMetrics metrics{fm.ascent() / scale, fm.descent() / scale,
                         [&fm, scale](QChar c) { return fm.horizontalAdvance(c) / scale; }};
    painter.setTransform(QTransform::fromScale(1 / scale, 1 / scale) * toQTransform(world));
    painter.setFont(font);
    painter.setPen(color);
    for (const FieldLine& line : layoutField(look, text, metrics)) {
        if (!lineShows(look, line, metrics))
            continue;
        painter.drawText(QPointF(line.x * scale, line.baseline * scale), line.text);
    }
    painter.setPen(Qt::NoPen);
}

} // namespace

void drawStaticText(QPainter& painter, TextCaches& caches, const std::shared_ptr<const TextDef>& text,
                    const Matrix& world, const ColorTransform& cx)
{
    if (cx.aMul <= 0 && cx.aAdd <= 0)
        return;  // fully transparent
    painter.setTransform(toQTransform(world * text->matrix));
    for (const TextRun& run : caches.texts.runs(text, caches.glyphs))
        painter.fillPath(run.path, toQColor(run.color, cx));
    painter.resetTransform();
}

QPainterPath staticTextArea(TextCaches& caches, const std::shared_ptr<const TextDef>& text, const Matrix& world)
{
    QPainterPath area;
    area.setFillRule(Qt::WindingFill);
    const QTransform toDevice = toQTransform(world * text->matrix);
    for (const TextRun& run : caches.texts.runs(text, caches.glyphs))
        area.addPath(toDevice.map(run.path));
    return area;
}

QString displayedText(const TextFieldLook& look)
{
    const std::string& bytes = look.text;
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Movies before UTF-8 store text in the author's 8-bit code page.
    if (text.contains(QChar::ReplacementCharacter))
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (look.html)
        text = stripHtml(text);
    if (look.password)
        text.fill(QLatin1Char('*'));
    return text;
}

QString displayedText(const EditTextDef& field)
{
    if (!field.initialText)
        return {};
    TextFieldLook look;
    look.text = *field.initialText;
    look.html = field.html;
    look.password = field.password;
    return displayedText(look);
}

void drawTextField(QPainter& painter, TextCaches& caches, const TextFieldLook& look, const Matrix& world,
                   const ColorTransform& cx)
{
    if ((cx.aMul <= 0 && cx.aAdd <= 0) || !look.def)
        return;
    painter.save();
    if (look.border || look.background)
        drawFieldBox(painter, look, world, cx);
    const QString text = displayedText(look);
    if (!text.isEmpty() && world.invertible() && look.bounds.width() > 0 && look.bounds.height() > 0) {
        const Rect& b = look.bounds;
        painter.setTransform(toQTransform(world));
        painter.setClipRect(QRectF(b.xMin, b.yMin, b.width(), b.height()),
                            painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        const QColor color = toQColor(look.textColor, cx);
        if (look.def->useOutlines && look.def->font && look.def->font->hasOutlines())
            drawWithOutlines(painter, caches, look, text, color, world);
        else
            drawWithSystemFont(painter, look, text, color, world);
    }
    painter.restore();
}

void drawEditText(QPainter& painter, TextCaches& caches, const std::shared_ptr<const EditTextDef>& field,
                  const Matrix& world, const ColorTransform& cx)
{
    drawTextField(painter, caches, TextFieldLook::fromDefinition(field), world, cx);
}

TextFieldLook TextFieldLook::fromDefinition(std::shared_ptr<const EditTextDef> def)
{
    TextFieldLook look;
    if (!def)
        return look;
    look.bounds = def->bounds;
    look.text = def->initialText.value_or(std::string());
    look.html = def->html;
    look.password = def->password;
    look.wordWrap = def->wordWrap;
    look.multiline = def->multiline;
    look.textColor = def->color.value_or(Rgba{0, 0, 0, 255});
    // The definition's one flag stands for a black border round a white background.
    look.border = def->border;
    look.background = def->border;
    look.deviceFont = def->font ? def->font->name : std::string();
    look.def = std::move(def);
    return look;
}

} // namespace swf::render
