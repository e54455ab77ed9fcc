#pragma once

#include "engine/render/RenderTree.h"

#include <memory>

class QPainter;

namespace swf::render {

enum class Quality { Low, Medium, High, Best };

// Draws a frame. Keeps caches of converted paths per character between frames, so one
// Renderer should live as long as the movie it draws.
class Renderer {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Draws `root`'s children onto `painter`; `twipsToDevice` maps stage twips to the
    // painter's device pixels (stage scaling and centring already folded in). The
    // caller fills the background.
    void render(QPainter& painter, const RenderNode& root, const Matrix& twipsToDevice, Quality quality);

    // Where bitmap fills find their bitmaps; without one (the default) they draw nothing.
    void setBitmapSource(const BitmapSource* bitmaps);

    // Where videos get their pictures; without one (the default) they draw nothing.
    void setVideoSource(VideoSource* videos);

    // Drops every cached path, e.g. when the movie is replaced.
    void clearCaches();

private:
    void renderHere(QPainter& painter, const RenderNode& root, const Matrix& twipsToDevice, Quality quality);

    struct Caches;
    std::unique_ptr<Caches> caches_;
};

} // namespace swf::render
