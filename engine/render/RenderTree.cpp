#include "engine/render/RenderTree.h"

namespace swf::render {

namespace {

template <typename T>
bool sameList(const std::shared_ptr<const std::vector<T>>& a, const std::shared_ptr<const std::vector<T>>& b)
{
    if (a == b)
        return true;
    const bool aEmpty = !a || a->empty();
    const bool bEmpty = !b || b->empty();
    if (aEmpty || bEmpty)
        return aEmpty && bEmpty;
    return *a == *b;
}

} // namespace

bool drawsSame(const RenderNode& a, const RenderNode& b)
{
    if (a.depth != b.depth || a.clipDepth != b.clipDepth || a.visible != b.visible || a.matrix != b.matrix
        || a.colorTransform != b.colorTransform || a.blendMode != b.blendMode || a.cacheAsBitmap != b.cacheAsBitmap
        || a.opaqueBackground != b.opaqueBackground || a.scrollRect != b.scrollRect || !sameList(a.filters, b.filters))
        return false;
    if (a.shape != b.shape || a.morph != b.morph || a.morphRatio != b.morphRatio || a.text != b.text
        || a.editText != b.editText || a.textField != b.textField || a.drawing != b.drawing || a.video != b.video
        || a.videoFrame != b.videoFrame || a.bitmaps != b.bitmaps)
        return false;
    if (static_cast<bool>(a.scriptMask) != static_cast<bool>(b.scriptMask) ||
        (a.scriptMask && !drawsSame(*a.scriptMask, *b.scriptMask)))
        return false;
    if (a.children.size() != b.children.size())
        return false;
    for (size_t i = 0; i < a.children.size(); ++i) {
        if (!drawsSame(a.children[i], b.children[i]))
            return false;
    }
    return true;
}

} // namespace swf::render
