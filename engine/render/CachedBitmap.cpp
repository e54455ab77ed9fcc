#include "engine/render/CachedBitmap.h"

#include <algorithm>

namespace swf::render {

namespace {

// Kept surfaces stop at this many bytes; past it the oldest go first.
constexpr size_t kSurfaceBudgetBytes = size_t{256} << 20;

bool sameFilterList(const RenderNode& a, const RenderNode& b)
{
    if (a.filters == b.filters)
        return true;
    const bool aEmpty = !a.filters || a.filters->empty(), bEmpty = !b.filters || b.filters->empty();
    if (aEmpty || bEmpty)
        return aEmpty == bEmpty;
    return *a.filters == *b.filters;
}

} // namespace

bool sameDrawing(const RenderNode& a, const RenderNode& b)
{
    if (a.depth != b.depth || a.clipDepth != b.clipDepth || a.visible != b.visible || !(a.matrix == b.matrix)
        || !(a.colorTransform == b.colorTransform) || a.blendMode != b.blendMode || a.cacheAsBitmap != b.cacheAsBitmap
        || a.opaqueBackground != b.opaqueBackground || a.scrollRect != b.scrollRect || a.shape != b.shape || a.morph != b.morph
        || a.morphRatio != b.morphRatio || a.text != b.text || a.editText != b.editText || a.textField != b.textField
        || a.drawing != b.drawing || !sameFilterList(a, b) || a.children.size() != b.children.size())
        return false;
    for (size_t i = 0; i < a.children.size(); ++i) {
        if (!sameDrawing(a.children[i], b.children[i]))
            return false;
    }
    return true;
}

Matrix SurfaceCache::relative(const SurfacePlacement& placement)
{
    Matrix m = placement.world;
    m.tx -= placement.origin.x();
    m.ty -= placement.origin.y();
    return m;
}

const QImage* SurfaceCache::find(const RenderNode& node, const SurfacePlacement& placement)
{
    const Matrix world = relative(placement);
    for (Entry& e : entries_) {
        if (e.size == placement.size && e.world == world && e.scaleX == placement.scaleX
            && e.scaleY == placement.scaleY && sameDrawing(e.node, node)) {
            e.used = true;
            return &e.surface;
        }
    }
    return nullptr;
}

void SurfaceCache::store(const RenderNode& node, const SurfacePlacement& placement, QImage surface)
{
    const size_t bytes = size_t(surface.sizeInBytes());
    if (bytes > kSurfaceBudgetBytes)
        return;
    // Oldest first: make room from the front.
    while (!entries_.empty() && bytes_ + bytes > kSurfaceBudgetBytes) {
        bytes_ -= size_t(entries_.front().surface.sizeInBytes());
        entries_.erase(entries_.begin());
    }
    Entry e{node, relative(placement), placement.size, placement.scaleX, placement.scaleY, std::move(surface), true};
    bytes_ += bytes;
    entries_.push_back(std::move(e));
}

void SurfaceCache::endFrame()
{
    std::erase_if(entries_, [this](const Entry& e) {
        if (e.used)
            return false;
        bytes_ -= size_t(e.surface.sizeInBytes());
        return true;
    });
    for (Entry& e : entries_)
        e.used = false;
}

void SurfaceCache::clear()
{
    entries_.clear();
    bytes_ = 0;
}

} // namespace swf::render
