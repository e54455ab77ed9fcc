#include "engine/movie/TextLinks.h"

#include "engine/movie/DisplayList.h"
#include "engine/render/TextLayout.h"

#include <algorithm>

namespace swf::movie {

namespace {

constexpr int kMaxNesting = 256;

bool hasLinks(const render::TextFieldLook& look)
{
    return std::ranges::any_of(look.spans, [](const render::TextSpan& s) { return !s.format.url.empty(); });
}

std::optional<TextLink> linkIn(const ClipState& clip, Point local, int nesting)
{
    if (nesting > kMaxNesting)
        return std::nullopt;
    for (size_t i = clip.children.size(); i-- > 0;) {
        const DisplayObject& child = clip.children[i];
        if (!child.visible || child.clipDepth || !child.matrix.invertible())
            continue;
        const Point inner = child.matrix.inverted().apply(local);
        if (child.textField && child.textField->look) {
            const render::TextFieldLook& look = *child.textField->look;
            const Rect& b = look.bounds;
            if (inner.x < b.xMin || inner.x > b.xMax || inner.y < b.yMin || inner.y > b.yMax)
                continue;
            if (!hasLinks(look))
                return std::nullopt;  // the topmost field there has no link
            render::GlyphCache glyphs;
            const render::FieldLayout layout = render::layoutField(look, glyphs);
            const render::TextFormat* format = render::formatAt(layout, inner.x, inner.y);
            if (!format || format->url.empty())
                return std::nullopt;
            return TextLink{format->url, format->target};
        }
        if (child.clip) {
            if (auto link = linkIn(*child.clip, inner, nesting + 1))
                return link;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<TextLink> linkAt(const ClipState& root, Point stage)
{
    return linkIn(root, stage, 0);
}

} // namespace swf::movie
