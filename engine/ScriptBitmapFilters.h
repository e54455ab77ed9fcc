#pragma once

// BitmapData's filters run by the renderer's own filter code: the same blur, shadows,
// bevels and colour filters a placed object is drawn through.

#include "engine/avm1/ScriptBitmaps.h"

namespace swf {

class ScriptBitmapFilters final : public avm1::BitmapFilterHost {
public:
    void apply(std::span<uint32_t> pixels, int width, int height, const Filter& filter) override;
    avm1::PixelRect grow(avm1::PixelRect rect, const Filter& filter) override;
};

} // namespace swf
