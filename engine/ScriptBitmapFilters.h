#pragma once

// BitmapData's filters run by the renderer's own filter code: the same blur, shadows,
// bevels and colour filters a placed object is drawn through; and BitmapData.draw,
// which draws clips with the renderer that draws the stage.

#include "engine/avm1/ScriptBitmaps.h"

#include <functional>
#include <memory>

namespace swf {

namespace render {
class BitmapSource;
class Renderer;
} // namespace render

class ScriptBitmapFilters final : public avm1::BitmapFilterHost {
public:
    ScriptBitmapFilters();
    ~ScriptBitmapFilters() override;
    ScriptBitmapFilters(const ScriptBitmapFilters&) = delete;
    ScriptBitmapFilters& operator=(const ScriptBitmapFilters&) = delete;

    // Where the movie's bitmap characters come from when a drawn clip fills with them.
    void setBitmapSource(std::function<const render::BitmapSource*()> bitmaps) { bitmaps_ = std::move(bitmaps); }

    // Drops what the renderer kept of the movie being replaced.
    void forgetMovie() { renderer_.reset(); }

    void apply(std::span<uint32_t> pixels, int width, int height, const Filter& filter) override;
    avm1::PixelRect grow(avm1::PixelRect rect, const Filter& filter) override;
    bool draw(avm1::BitmapPixels& target, avm1::ClipHost* source, const avm1::BitmapPixels* bitmap,
              const avm1::BitmapDrawRequest& request) override;

private:
    std::function<const render::BitmapSource*()> bitmaps_;
    // Its own renderer, so that drawing into bitmaps leaves the stage's kept surfaces
    // alone.
    std::unique_ptr<render::Renderer> renderer_;
};

} // namespace swf
