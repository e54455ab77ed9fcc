#include "engine/ScriptBitmapFilters.h"

#include "engine/render/Filters.h"

#include <QImage>

#include <algorithm>
#include <cstdint>

namespace swf {

void ScriptBitmapFilters::apply(std::span<uint32_t> pixels, int width, int height, const Filter& filter)
{
    if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height))
        return;
    // The pixels already are the surface layout the filters work on; the image only
    // borrows them.
    QImage surface(reinterpret_cast<uchar*>(pixels.data()), width, height, qsizetype(width) * 4,
                   QImage::Format_ARGB32_Premultiplied);
    render::applyFilter(surface, filter, {});
}

avm1::PixelRect ScriptBitmapFilters::grow(avm1::PixelRect rect, const Filter& filter)
{
    const render::FilterReach reach = render::filterReach(filter, {});
    auto fit = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return {fit(int64_t{rect.x} - reach.left), fit(int64_t{rect.y} - reach.top),
            fit(int64_t{rect.width} + reach.left + reach.right), fit(int64_t{rect.height} + reach.top + reach.bottom)};
}

} // namespace swf
