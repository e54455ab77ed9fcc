#include "engine/render/TextDraw.h"

#include "engine/render/AliasedFill.h"
#include "engine/render/DeviceFonts.h"
#include "engine/render/StylePaint.h"

#include <QGlyphRun>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace swf::render {

namespace {

// Glyphs taller than this are drawn at this height: the stored size is 16 bits, but a
// glyph a hundred thousand pixels tall helps nobody and slows the rasteriser to a crawl.
constexpr double kMaxTextHeight = 65535;

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

// Glyphs are drawn white and tinted to their colour by a colour multiplier, which the
// player holds as an 8.8 fixed-point number cut down from colour / 255: every channel
// strictly between 0 and 255 comes out slightly darker than stored (#FF99CC is drawn
// as #FF98CB). The transform of the clips round the text applies after the tint.
Rgba glyphTint(Rgba c)
{
    const auto tint = [](std::uint8_t v) {
        const int multiplier = v * 256 / 255;
        return static_cast<std::uint8_t>(255 * multiplier / 256);
    };
    return Rgba{tint(c.r), tint(c.g), tint(c.b), tint(c.a)};
}

QColor glyphColor(Rgba c, const ColorTransform& cx)
{
    return toQColor(glyphTint(c), cx);
}

// A device coordinate on the pixel grid the way field boxes snap: to the nearest pixel
// edge, a coordinate halfway between two edges going to the lower one.
int snapBoxEdge(double v)
{
    return static_cast<int>(std::ceil(v - 0.5));
}

// The background fills the bounds; the border is a line one pixel wide whatever the
// field's scale. A field whose corners snap to the corners of a pixel-aligned rectangle
// (not rotated or skewed, or so little that no corner moves by a pixel) has both drawn
// on that rectangle: the border on the pixel rows and columns its edges snap to, the
// bottom right corner pixel left out, as the four edges each stop short of it (partly
// covered for fields drawn with embedded outlines).
void drawFieldBox(QPainter& painter, const TextFieldLook& look, const Matrix& world, const ColorTransform& cx)
{
    const QRectF bounds(look.bounds.xMin, look.bounds.yMin, look.bounds.width(), look.bounds.height());
    const QTransform toDevice = toQTransform(world);
    const QColor background = look.background ? toQColor(look.backgroundColor, cx) : QColor(Qt::transparent);
    const QColor border = look.border ? toQColor(look.borderColor, cx) : QColor(Qt::transparent);
    const QPolygonF corners = toDevice.map(QPolygonF(bounds));
    // Far off the device (or a matrix gone bad) the box is left to the painter, which
    // copes with any coordinate; whole pixels are only counted within its reach.
    const bool onGrid = std::ranges::all_of(corners, [](const QPointF& p) {
        return std::abs(p.x()) < 1e7 && std::abs(p.y()) < 1e7;
    });
    QPoint snapped[4];
    for (int i = 0; i < 4 && onGrid; ++i)
        snapped[i] = QPoint(snapBoxEdge(corners[i].x()), snapBoxEdge(corners[i].y()));
    // Corners in order top left, top right, bottom right, bottom left; a mirrored or
    // quarter-turned field has them in another order.
    const bool aligned = onGrid && ((snapped[0].y() == snapped[1].y() && snapped[1].x() == snapped[2].x()
                          && snapped[2].y() == snapped[3].y() && snapped[3].x() == snapped[0].x())
                         || (snapped[0].x() == snapped[1].x() && snapped[1].y() == snapped[2].y()
                             && snapped[2].x() == snapped[3].x() && snapped[3].y() == snapped[0].y()));
    if (aligned) {
        // The far edges sit a whole number of pixels from the near ones: the box's size
        // is snapped on its own, not its far edges' positions.
        const QRectF device = corners.boundingRect();
        const int x0 = snapBoxEdge(device.left());
        const int x1 = x0 + snapBoxEdge(device.width());
        const int y0 = snapBoxEdge(device.top());
        const int y1 = y0 + snapBoxEdge(device.height());
        painter.resetTransform();
        painter.fillRect(QRect(x0, y0, x1 - x0, y1 - y0), background);
        painter.fillRect(QRect(x0, y0, x1 - x0 + 1, 1), border);
        painter.fillRect(QRect(x0, y0 + 1, 1, y1 - y0), border);
        painter.fillRect(QRect(x1, y0 + 1, 1, y1 - y0 - 1), border);
        painter.fillRect(QRect(x0 + 1, y1, x1 - x0 - 1, 1), border);
        // A field drawn with its embedded font's outlines goes through the reference
        // player's vector path, whose border edges meet there: the corner pixel is
        // partly covered.
        if (usesEmbeddedFont(look)) {
            QColor corner = border;
            corner.setAlphaF(corner.alphaF() * 0.6f);
            painter.fillRect(QRect(x1, y1, 1, 1), corner);
        }
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
bool lineShows(const TextFieldLook& look, const LaidLine& line)
{
    return line.baseline + line.descent >= look.bounds.yMin && line.baseline - line.ascent <= look.bounds.yMax;
}

// Whether `world` only scales and moves, so glyph pictures can stand in for outlines.
bool axisAligned(const Matrix& world)
{
    return world.b == 0 && world.c == 0 && world.a > 0 && world.d > 0;
}

void drawEmbeddedRun(QPainter& painter, TextCaches& caches, const FieldLayout& layout, const LaidLine& line,
                     const LaidRun& run, const QColor& color, const Matrix& world)
{
    const TextFormat& format = layout.formats[run.span];
    const std::shared_ptr<const FontDef>& font = layout.fonts[run.span];
    const double height = std::min(format.size, kMaxTextHeight);
    if (!painter.testRenderHint(QPainter::Antialiasing)) {
        // Low quality: the pixels whose centres the outlines cover, found the way shape
        // fills find them, so glyphs light the same pixels a shape of their outline would.
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        for (const LaidGlyph& g : run.glyphs) {
            if (const QPainterPath* outline = caches.glyphs.glyph(font, g.index))
                path.addPath(placeGlyph(*outline, *font, g.x, line.baseline, height));
        }
        painter.resetTransform();
        const QPainterPath device = aliasedOutline(path, toQTransform(world));
        if (!aliasedFill(painter, device, QBrush(color)))
            painter.fillPath(device, color);
        return;
    }
    if (axisAligned(world) && GlyphBitmaps::suits(world.a, world.d, height)) {
        painter.resetTransform();
        const qreal opacity = painter.opacity();
        painter.setOpacity(opacity * color.alphaF());
        for (const LaidGlyph& g : run.glyphs) {
            caches.bitmaps.draw(painter, caches.glyphs, font, g.index, height, world.a * g.x + world.tx,
                                world.d * line.baseline + world.ty, world.a, world.d, color);
        }
        painter.setOpacity(opacity);
        return;
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const LaidGlyph& g : run.glyphs) {
        if (const QPainterPath* outline = caches.glyphs.glyph(font, g.index))
            path.addPath(placeGlyph(*outline, *font, g.x, line.baseline, height));
    }
    painter.setTransform(toQTransform(world));
    painter.fillPath(path, color);
}

// Device glyphs go through Qt's glyph cache at their size on the device: the painter
// is set to draw in device pixels (scaled by `k` from twips) and the glyphs placed where
// the layout put them.
void drawDeviceRun(QPainter& painter, const FieldLayout& layout, const LaidLine& line, const LaidRun& run,
                   const QColor& color, const Matrix& world, double k)
{
    const TextFormat& format = layout.formats[run.span];
    const double pixels = std::min(format.size, kMaxTextHeight) * k;
    if (!std::isfinite(pixels) || pixels < 0.5 || pixels > kMaxTextHeight || run.glyphs.empty())
        return;
    const DeviceFace face = deviceFace(format.face, format.bold, format.italic, pixels);
    painter.setTransform(QTransform::fromScale(1 / k, 1 / k) * toQTransform(world));
    painter.setPen(color);
    for (bool fallback : {false, true}) {
        const QRawFont& raw = fallback ? face.fallback : face.primary;
        if (!raw.isValid())
            continue;
        QList<quint32> indexes;
        QList<QPointF> positions;
        for (const LaidGlyph& g : run.glyphs) {
            if (g.fallback != fallback)
                continue;
            indexes.push_back(g.index);
            positions.push_back(QPointF(g.x * k, line.baseline * k));
        }
        if (indexes.isEmpty())
            continue;
        QGlyphRun glyphs;
        glyphs.setRawFont(raw);
        glyphs.setGlyphIndexes(indexes);
        glyphs.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, 0), glyphs);
    }
    painter.setPen(Qt::NoPen);
}

// An underline one device pixel thick (or the text's size over twenty, if more), a
// little below the baseline.
void drawUnderline(QPainter& painter, const FieldLayout& layout, const LaidLine& line, const LaidRun& run,
                   const QColor& color, const Matrix& world, double k)
{
    const TextFormat& format = layout.formats[run.span];
    if (!format.underline || run.right <= run.left)
        return;
    const double thickness = std::max(1 / k, format.size / 20);
    const double y = line.baseline + std::max(format.size / 12, 1 / k);
    painter.setTransform(toQTransform(world));
    painter.fillRect(QRectF(run.left, y, run.right - run.left, thickness), color);
}

} // namespace

void drawStaticText(QPainter& painter, TextCaches& caches, const std::shared_ptr<const TextDef>& text,
                    const Matrix& world, const ColorTransform& cx)
{
    if (cx.aMul <= 0 && cx.aAdd <= 0)
        return;  // fully transparent
    const Matrix toDevice = world * text->matrix;
    if (axisAligned(toDevice)) {
        // Glyph by glyph from their pictures, when every glyph is small enough for one.
        const std::vector<PlacedGlyph>& placed = caches.texts.glyphs(text);
        const bool pictures = std::ranges::all_of(placed, [&](const PlacedGlyph& g) {
            return GlyphBitmaps::suits(toDevice.a, toDevice.d, std::min(g.height, kMaxTextHeight));
        });
        if (pictures) {
            painter.resetTransform();
            const qreal opacity = painter.opacity();
            for (const PlacedGlyph& g : placed) {
                auto font = text->fonts.find(g.fontId);
                if (font == text->fonts.end() || !font->second)
                    continue;
                const QColor color = glyphColor(g.color, cx);
                painter.setOpacity(opacity * color.alphaF());
                caches.bitmaps.draw(painter, caches.glyphs, font->second, g.index, std::min(g.height, kMaxTextHeight),
                                    toDevice.a * g.x + toDevice.tx, toDevice.d * g.y + toDevice.ty, toDevice.a,
                                    toDevice.d, color);
            }
            painter.setOpacity(opacity);
            return;
        }
    }
    painter.setTransform(toQTransform(toDevice));
    for (const TextRun& run : caches.texts.runs(text, caches.glyphs))
        painter.fillPath(run.path, glyphColor(run.color, cx));
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

QPainterPath textFieldArea(TextCaches& caches, const TextFieldLook& look, const Matrix& world)
{
    QPainterPath area;
    area.setFillRule(Qt::WindingFill);
    const Rect& b = look.bounds;
    if (!look.def || b.width() <= 0 || b.height() <= 0)
        return area;
    const QRectF box(b.xMin, b.yMin, b.width(), b.height());
    const QTransform toDevice = toQTransform(world);
    if (look.background || look.border) {
        area.addPolygon(toDevice.map(QPolygonF(box)));
        area.closeSubpath();
        return area;
    }
    if (look.text.empty())
        return area;
    // The glyphs' outlines of the lines the box shows, whole: as a mask a field is not
    // cut to its box, and a line running past the right edge masks all the way along.
    QPainterPath glyphs;
    glyphs.setFillRule(Qt::WindingFill);
    const FieldLayout& layout = caches.layouts.layout(look, caches.glyphs);
    for (const LaidLine& line : layout.lines) {
        if (!lineShows(look, line))
            continue;
        for (const LaidRun& run : line.runs) {
            const TextFormat& format = layout.formats[run.span];
            const double height = std::min(format.size, kMaxTextHeight);
            if (const std::shared_ptr<const FontDef>& font = layout.fonts[run.span]) {
                for (const LaidGlyph& g : run.glyphs) {
                    if (const QPainterPath* outline = caches.glyphs.glyph(font, g.index))
                        glyphs.addPath(placeGlyph(*outline, *font, g.x, line.baseline, height));
                }
                continue;
            }
            if (!(height > 0) || run.glyphs.empty())
                continue;
            const DeviceFace face = deviceFace(format.face, format.bold, format.italic, height);
            for (const LaidGlyph& g : run.glyphs) {
                const QRawFont& raw = g.fallback ? face.fallback : face.primary;
                if (raw.isValid())
                    glyphs.addPath(raw.pathForGlyph(g.index).translated(g.x, line.baseline));
            }
        }
    }
    area.addPath(toDevice.map(glyphs));
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
    if (!look.text.empty() && world.invertible() && look.bounds.width() > 0 && look.bounds.height() > 0) {
        const Rect& b = look.bounds;
        painter.setTransform(toQTransform(world));
        painter.setClipRect(QRectF(b.xMin, b.yMin, b.width(), b.height()),
                            painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        const FieldLayout& layout = caches.layouts.layout(look, caches.glyphs);
        // Device pixels per twip, for device glyphs and hairline underlines.
        const double k = (std::hypot(world.a, world.b) + std::hypot(world.c, world.d)) / 2;
        for (const LaidLine& line : layout.lines) {
            if (!lineShows(look, line))
                continue;
            for (const LaidRun& run : line.runs) {
                const QColor color = glyphColor(layout.formats[run.span].color, cx);
                if (layout.fonts[run.span])
                    drawEmbeddedRun(painter, caches, layout, line, run, color, world);
                else if (std::isfinite(k) && k > 0)
                    drawDeviceRun(painter, layout, line, run, color, world, k);
                if (std::isfinite(k) && k > 0)
                    drawUnderline(painter, layout, line, run, color, world, k);
            }
        }
    }
    painter.restore();
}

namespace {

// A field's stored text as drawn: HTML reduced to its characters.
TextFieldLook storedLook(const std::shared_ptr<const EditTextDef>& field)
{
    TextFieldLook look = TextFieldLook::fromDefinition(field);
    if (look.html) {
        look.text = displayedText(look).toStdString();
        look.html = false;
        look.password = false;  // already starred
    }
    return look;
}

} // namespace

void drawEditText(QPainter& painter, TextCaches& caches, const std::shared_ptr<const EditTextDef>& field,
                  const Matrix& world, const ColorTransform& cx)
{
    drawTextField(painter, caches, storedLook(field), world, cx);
}

QPainterPath editTextArea(TextCaches& caches, const std::shared_ptr<const EditTextDef>& field, const Matrix& world)
{
    return textFieldArea(caches, storedLook(field), world);
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
    look.embedFonts = def->useOutlines;
    look.def = std::move(def);
    return look;
}

} // namespace swf::render
