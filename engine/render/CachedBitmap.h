#pragma once

// Off-screen surfaces kept between frames: an object drawn through a surface (cached as
// a bitmap, or filtered) costs one bitmap draw while it stays as it was. A surface is
// kept with a copy of the subtree it shows, which also keeps what the subtree points
// at alive, so "the same" is an exact comparison, never a guess from addresses that
// may have been reused.

#include "engine/format/Primitives.h"
#include "engine/render/RenderTree.h"

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <vector>

namespace swf::render {

// Two subtrees that draw the same: same characters, placements, colours, modes,
// filters and children.
bool sameDrawing(const RenderNode& a, const RenderNode& b);

// What a surface depends on besides the subtree: how it lies on the device. `world`'s
// translation is taken relative to the surface's top-left pixel, so an object moved by
// whole pixels keeps its surface.
struct SurfacePlacement {
    Matrix world;
    QPoint origin;   // the surface's top-left in device pixels
    QSize size;
    double scaleX = 1, scaleY = 1;  // the stage scale the filters were drawn at
};

class SurfaceCache {
public:
    // The kept surface for `node` placed so, or null; marks it used this frame.
    const QImage* find(const RenderNode& node, const SurfacePlacement& placement);
    void store(const RenderNode& node, const SurfacePlacement& placement, QImage surface);
    // Drops the surfaces no frame since the last call used, and keeps the total under
    // the budget.
    void endFrame();
    void clear();
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        RenderNode node;
        Matrix world;  // translation relative to the origin
        QSize size;
        double scaleX = 1, scaleY = 1;
        QImage surface;
        bool used = true;
    };
    static Matrix relative(const SurfacePlacement& placement);

    std::vector<Entry> entries_;
    size_t bytes_ = 0;
};

} // namespace swf::render
