#include "engine/movie/ClipHitTest.h"

#include "engine/format/Shape.h"
#include "engine/format/Text.h"
#include "engine/format/Video.h"
#include "engine/movie/DisplayList.h"
#include "engine/movie/MovieDef.h"
#include "engine/render/HitTest.h"
#include "engine/render/TextPaths.h"

#include <optional>

namespace swf::movie {

namespace {

// Deeper than any clip the display list keeps.
constexpr int kMaxNesting = 300;
// Filled areas built per thread are dropped past this many shapes.
constexpr size_t kMaxCachedShapes = 512;

render::ShapeHitTester& shapeTester()
{
    thread_local render::ShapeHitTester tester;
    thread_local size_t uses = 0;
    if (++uses > kMaxCachedShapes) {
        tester.clear();
        uses = 0;
    }
    return tester;
}

bool objectContains(const DisplayObject& object, Point local, int nesting);

// A static text counts where its glyphs' outlines are, not over its whole box (and
// wherever they are, should they reach past the box the text declares).
bool staticTextContains(const TextDef& text, Point local)
{
    if (!text.matrix.invertible())
        return false;
    thread_local render::GlyphCache outlines;
    const Point p = text.matrix.inverted().apply(local);
    for (const PlacedGlyph& g : layoutStaticText(text)) {
        auto font = text.fonts.find(g.fontId);
        if (font == text.fonts.end() || !font->second || g.height <= 0)
            continue;
        const QPainterPath* outline = outlines.glyph(font->second, g.index);
        const double scale = g.height / font->second->emSquare();
        if (outline && outline->contains(QPointF((p.x - g.x) / scale, (p.y - g.y) / scale)))
            return true;
    }
    return false;
}

bool contentContains(const ClipState& clip, Point local, int nesting)
{
    if (nesting > kMaxNesting)
        return false;
    if (std::shared_ptr<const ShapeDef> drawn = clip.drawing.empty() ? nullptr : clip.drawing.shape();
        drawn && shapeTester().contains(drawn, local, true))
        return true;
    for (const DisplayObject& child : clip.children) {
        if (child.clipDepth)
            continue;
        auto inner = toLocal(child.matrix, local);
        if (inner && objectContains(child, *inner, nesting + 1))
            return true;
    }
    return false;
}

bool objectContains(const DisplayObject& object, Point local, int nesting)
{
    if (object.clip)
        return contentContains(*object.clip, local, nesting);
    const Character* c = object.character;
    if (!c)
        return false;
    if (c->shape)
        return shapeTester().contains(c->shape, local, true);
    if (c->morph)
        return inBounds(morphBounds(*c->morph, object.ratio / 65535.0), local);
    if (c->text)
        return staticTextContains(*c->text, local);
    if (c->editText)
        return inBounds(c->editText->bounds, local);
    if (c->video)
        return inBounds(c->video->bounds(), local);
    return false;
}

} // namespace

bool clipContentContains(const ClipState& clip, Point local)
{
    return contentContains(clip, local, 0);
}

} // namespace swf::movie
