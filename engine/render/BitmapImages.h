#pragma once

// Hands the renderer a movie's decoded bitmaps as QImages, made on first use over the
// decoded pixels without copying them.

#include "engine/format/Bitmap.h"
#include "engine/render/RenderTree.h"

#include <QImage>

#include <memory>
#include <unordered_map>

namespace swf::render {

class BitmapImages : public BitmapSource {
public:
    using Bitmaps = std::unordered_map<uint16_t, std::shared_ptr<const BitmapData>>;
    // `bitmaps` must outlive this object (it belongs to the loaded movie).
    explicit BitmapImages(const Bitmaps& bitmaps) : bitmaps_(bitmaps) {}

    const QImage* bitmap(uint16_t characterId) const override;

private:
    const Bitmaps& bitmaps_;
    mutable std::unordered_map<uint16_t, QImage> images_;
};

} // namespace swf::render
