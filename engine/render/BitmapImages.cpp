#include "engine/render/BitmapImages.h"

namespace swf::render {

const QImage* BitmapImages::bitmap(uint16_t characterId) const
{
    if (auto cached = images_.find(characterId); cached != images_.end())
        return &cached->second;
    auto found = bitmaps_.find(characterId);
    if (found == bitmaps_.end() || !found->second || found->second->width <= 0 || found->second->height <= 0)
        return nullptr;
    const BitmapData& data = *found->second;
    // A QImage over const pixels is read-only and never writes to them; the pixels live
    // as long as the movie, which outlives this object.
    QImage image(reinterpret_cast<const uchar*>(data.pixels.data()), data.width, data.height,
                 static_cast<qsizetype>(data.width) * 4, QImage::Format_ARGB32_Premultiplied);
    return &images_.emplace(characterId, std::move(image)).first->second;
}

} // namespace swf::render
