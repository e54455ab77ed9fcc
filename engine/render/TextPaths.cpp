#include "engine/render/TextPaths.h"

#include "engine/render/ShapePaths.h"

#include <QTransform>

#include <algorithm>

namespace swf::render {

namespace {

QPainterPath outlineOf(const Glyph& glyph)
{
    QPainterPath path;
    if (glyph.shape)
        path = filledArea(buildShapePaths(*glyph.shape));
    path.setFillRule(Qt::WindingFill);
    return path;
}

} // namespace

const QPainterPath* GlyphCache::glyph(const std::shared_ptr<const FontDef>& font, uint32_t index)
{
    if (!font || index >= font->glyphs.size())
        return nullptr;
    FontEntry& entry = fonts_[font.get()];
    if (!entry.font) {
        entry.font = font;
        entry.glyphs.resize(font->glyphs.size());
    }
    std::optional<QPainterPath>& slot = entry.glyphs[index];
    if (!slot)
        slot = outlineOf(font->glyphs[index]);
    return &*slot;
}

QPainterPath placeGlyph(const QPainterPath& glyph, const FontDef& font, double x, double y, double height)
{
    const double scale = height / font.emSquare();
    return QTransform(scale, 0, 0, scale, x, y).map(glyph);
}

TextCache::TextEntry& TextCache::entry(const std::shared_ptr<const TextDef>& text)
{
    TextEntry& entry = texts_[text.get()];
    if (!entry.text)
        entry.text = text;
    return entry;
}

const std::vector<PlacedGlyph>& TextCache::glyphs(const std::shared_ptr<const TextDef>& text)
{
    TextEntry& e = entry(text);
    if (!e.placed)
        e.placed = layoutStaticText(*text);
    return *e.placed;
}

const std::vector<TextRun>& TextCache::runs(const std::shared_ptr<const TextDef>& text, GlyphCache& glyphs)
{
    TextEntry& entry = this->entry(text);
    if (entry.hasRuns)
        return entry.runs;
    entry.hasRuns = true;
    for (const PlacedGlyph& placed : this->glyphs(text)) {
        auto font = text->fonts.find(placed.fontId);
        if (font == text->fonts.end() || !font->second)
            continue;
        const QPainterPath* outline = glyphs.glyph(font->second, placed.index);
        if (!outline || outline->isEmpty())
            continue;
        auto run = std::ranges::find_if(entry.runs, [&](const TextRun& r) { return r.color == placed.color; });
        if (run == entry.runs.end()) {
            entry.runs.push_back({placed.color, QPainterPath()});
            run = entry.runs.end() - 1;
            run->path.setFillRule(Qt::WindingFill);
        }
        run->path.addPath(placeGlyph(*outline, *font->second, placed.x, placed.y, placed.height));
    }
    return entry.runs;
}

} // namespace swf::render
