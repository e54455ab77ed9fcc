#pragma once

// How the rest of the machine reaches a flash.display.BitmapData object's pixels: the
// drawing methods fill with them, attachBitmap shows them, draw and applyFilter read
// them.

#include "engine/avm1/BitmapPixels.h"
#include "engine/avm1/Value.h"
#include "engine/format/BlendMode.h"
#include "engine/format/Bitmap.h"
#include "engine/format/Filter.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace swf::avm1 {

// The bitmap's pixels as drawings show them; null when `value` is not a BitmapData.
// A disposed bitmap gives a live bitmap that shows nothing.
std::shared_ptr<const LiveBitmap> liveBitmapOf(const Value& value);

// The pixels scripts change, or null when `value` is not a BitmapData or is disposed.
BitmapPixels* bitmapPixelsOf(const Value& value);

class ClipHost;

// How BitmapData.draw lays its source on the bitmap: `matrix` from the source's own
// pixels to the bitmap's, then the colour transform, the blend mode, the rectangle of
// the bitmap that may change (none: all of it) and whether a bitmap source is smoothed
// when the matrix scales or turns it.
struct BitmapDrawRequest {
    Matrix matrix;  // translation in pixels
    ColorTransform colorTransform;
    BlendMode blendMode = BlendMode::Normal;
    std::optional<PixelRect> clip;
    bool smoothing = false;
};

// What BitmapData's filter and draw methods need of the renderer, which the machine
// cannot reach itself; the player hands one to the machine.
class BitmapFilterHost {
public:
    virtual ~BitmapFilterHost() = default;
    // Runs `filter` over `width` x `height` premultiplied ARGB pixels, row by row, in
    // place, at one device pixel a stage pixel.
    virtual void apply(std::span<uint32_t> pixels, int width, int height, const Filter& filter) = 0;
    // `rect` grown by how far `filter` spreads what it filters.
    virtual PixelRect grow(PixelRect rect, const Filter& filter) = 0;
    // Draws the clip `source` shows (its content, not its own placement), or the
    // bitmap `bitmap`, onto `target` as `request` says. False when the source cannot
    // be drawn here.
    virtual bool draw(BitmapPixels& target, ClipHost* source, const BitmapPixels* bitmap,
                      const BitmapDrawRequest& request) = 0;
};

} // namespace swf::avm1
