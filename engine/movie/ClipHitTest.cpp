#include "engine/movie/ClipHitTest.h"

#include "engine/format/Shape.h"
#include "engine/format/Text.h"
#include "engine/format/Video.h"
#include "engine/movie/DisplayList.h"
#include "engine/movie/MovieDef.h"
#include "engine/movie/TextFieldState.h"
#include "engine/render/HitTest.h"
#include "engine/render/TextPaths.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <vector>

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

// A morph shape counts where its shape at the object's ratio fills (its lines do not,
// as the reference player tests morphs). The shapes built for the ratios tested are
// kept, so that the tester's cache holds.
bool morphContains(const std::shared_ptr<const MorphShapeDef>& morph, uint16_t ratio, Point local)
{
    thread_local std::map<std::pair<const MorphShapeDef*, uint16_t>,
                          std::pair<std::shared_ptr<const MorphShapeDef>, std::shared_ptr<const ShapeDef>>>
        shapes;
    const auto key = std::make_pair(morph.get(), ratio);
    auto it = shapes.find(key);
    if (it == shapes.end()) {
        if (shapes.size() >= kMaxCachedShapes)
            shapes.clear();
        auto shape = std::make_shared<const ShapeDef>(morphShapeAt(*morph, ratio / 65535.0));
        it = shapes.emplace(key, std::make_pair(morph, std::move(shape))).first;
    }
    return shapeTester().contains(it->second.second, local, false);
}

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
    // A clipping layer is no hit itself, and the children it masks count only where it
    // covers them too. The children come in depth order, so a layer comes before
    // what it masks.
    std::vector<const DisplayObject*> layers;
    auto contains = [&](const DisplayObject& object) {
        // A text drawn with advanced anti-aliasing is hit anywhere in the box around it
        // as it lies in this clip, not only on its glyphs.
        if (const Character* c = object.character; c && c->text && c->advancedText) {
            const Box box = object.matrix.mapRect(c->text->bounds);
            return local.x >= box.xMin && local.x <= box.xMax && local.y >= box.yMin && local.y <= box.yMax;
        }
        auto inner = toLocal(object.matrix, local);
        return inner && objectContains(object, *inner, nesting + 1);
    };
    for (const DisplayObject& child : clip.children) {
        if (child.clipDepth) {
            layers.push_back(&child);
            continue;
        }
        if (!contains(child))
            continue;
        const bool masked = std::ranges::any_of(layers, [&](const DisplayObject* layer) {
            return child.depth <= layer->clipDepth && !contains(*layer);
        });
        if (!masked)
            return true;
    }
    return false;
}

bool objectContains(const DisplayObject& object, Point local, int nesting)
{
    if (object.clip)
        return contentContains(*object.clip, local, nesting);
    // A field's box as it is now: scripts and auto-sizing may have changed it.
    if (object.textField && object.textField->look)
        return inBounds(object.textField->look->bounds, local);
    const Character* c = object.character;
    if (!c)
        return false;
    if (c->shape)
        return shapeTester().contains(c->shape, local, true);
    if (c->morph)
        return morphContains(c->morph, object.ratio, local);
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
