#include "engine/ScriptBitmapFilters.h"

#include "engine/movie/ClipScript.h"
#include "engine/movie/RenderTreeBuilder.h"
#include "engine/render/BlendLayer.h"
#include "engine/render/Filters.h"
#include "engine/render/Renderer.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace swf {

ScriptBitmapFilters::ScriptBitmapFilters() = default;
ScriptBitmapFilters::~ScriptBitmapFilters() = default;

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

bool ScriptBitmapFilters::draw(avm1::BitmapPixels& target, avm1::ClipHost* source, const avm1::BitmapPixels* bitmap,
                               const avm1::BitmapDrawRequest& request)
{
    auto* clip = dynamic_cast<movie::ClipScript*>(source);
    if (!clip && !bitmap)
        return false;
    const std::span<uint32_t> pixels = target.drawablePixels();
    QImage image(reinterpret_cast<uchar*>(pixels.data()), target.width(), target.height(),
                 qsizetype(target.width()) * 4, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        if (request.clip)
            painter.setClipRect(QRect(request.clip->x, request.clip->y, request.clip->width, request.clip->height));
        const Matrix& mx = request.matrix;
        if (clip) {
            if (!renderer_)
                renderer_ = std::make_unique<render::Renderer>();
            renderer_->setBitmapSource(bitmaps_ ? bitmaps_() : nullptr);
            // The clip's content at the matrix, through a node that carries the
            // colour transform and blend mode as a placement would.
            render::RenderNode content = movie::buildRenderTree(clip->state());
            content.colorTransform = request.colorTransform;
            content.blendMode = request.blendMode;
            render::RenderNode root;
            root.children.push_back(std::move(content));
            const double toPixels = 1.0 / kTwipsPerPixel;
            const Matrix twipsToBitmap{mx.a * toPixels, mx.b * toPixels, mx.c * toPixels,
                                       mx.d * toPixels, mx.tx,           mx.ty};
            renderer_->render(painter, root, twipsToBitmap, render::Quality::High);
        } else {
            // A bitmap source: its pixels, coloured, laid on at the matrix.
            QImage copy(reinterpret_cast<const uchar*>(bitmap->premultipliedPixels().data()), bitmap->width(),
                        bitmap->height(), qsizetype(bitmap->width()) * 4, QImage::Format_ARGB32_Premultiplied);
            QImage layer = copy.copy();
            render::applyColorTransform(layer, request.colorTransform);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, request.smoothing);
            painter.setCompositionMode(render::compositionModeFor(request.blendMode));
            painter.setTransform(QTransform(mx.a, mx.b, mx.c, mx.d, mx.tx, mx.ty));
            painter.drawImage(0, 0, layer);
        }
    }
    // An opaque bitmap stays opaque whatever was drawn on it.
    if (!target.transparent()) {
        for (uint32_t& p : pixels)
            p |= 0xFF000000u;
    }
    return true;
}

} // namespace swf
