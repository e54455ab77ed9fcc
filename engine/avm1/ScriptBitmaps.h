#pragma once

// How the rest of the machine reaches a flash.display.BitmapData object's pixels: the
// drawing methods fill with them, attachBitmap shows them, draw and applyFilter read
// them.

#include "engine/avm1/BitmapPixels.h"
#include "engine/avm1/Value.h"
#include "engine/format/Bitmap.h"
#include "engine/format/Filter.h"

#include <cstdint>
#include <memory>
#include <span>

namespace swf::avm1 {

// The bitmap's pixels as drawings show them; null when `value` is not a BitmapData.
// A disposed bitmap gives a live bitmap that shows nothing.
std::shared_ptr<const LiveBitmap> liveBitmapOf(const Value& value);

// The pixels scripts change, or null when `value` is not a BitmapData or is disposed.
BitmapPixels* bitmapPixelsOf(const Value& value);

// What BitmapData's filter methods need of the renderer's filter code, which the
// machine cannot reach itself; the player hands one to the machine.
class BitmapFilterHost {
public:
    virtual ~BitmapFilterHost() = default;
    // Runs `filter` over `width` x `height` premultiplied ARGB pixels, row by row, in
    // place, at one device pixel a stage pixel.
    virtual void apply(std::span<uint32_t> pixels, int width, int height, const Filter& filter) = 0;
    // `rect` grown by how far `filter` spreads what it filters.
    virtual PixelRect grow(PixelRect rect, const Filter& filter) = 0;
};

} // namespace swf::avm1
