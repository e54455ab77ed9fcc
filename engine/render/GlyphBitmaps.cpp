#include "engine/render/GlyphBitmaps.h"

#include <QTransform>

#include <cmath>
#include <functional>

namespace swf::render {

namespace {

// Past this the cache starts over: a movie that keeps changing sizes or colours must
// not grow it without end.
constexpr size_t kMaxBytes = 48u << 20;
// Glyphs taller than this many pixels are filled as outlines.
constexpr double kMaxPixels = 160;

} // namespace

size_t GlyphBitmaps::KeyHash::operator()(const Key& k) const
{
    size_t h = std::hash<const void*>()(k.font);
    auto mix = [&h](uint64_t v) { h ^= std::hash<uint64_t>()(v) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    mix(k.index);
    mix((uint64_t(uint32_t(k.width64)) << 32) | uint32_t(k.height64));
    mix((uint64_t(k.subX) << 40) | (uint64_t(k.subY) << 32) | (uint64_t(k.smooth) << 48) | k.rgb);
    return h;
}

bool GlyphBitmaps::suits(double sx, double sy, double height)
{
    const double w = std::abs(sx) * height;
    const double h = std::abs(sy) * height;
    return std::isfinite(w) && std::isfinite(h) && w > 0 && h > 0 && w <= kMaxPixels && h <= kMaxPixels;
}

void GlyphBitmaps::clear()
{
    pictures_.clear();
    fonts_.clear();
    bytes_ = 0;
}

const GlyphBitmaps::Picture& GlyphBitmaps::picture(const Key& key, GlyphCache& outlines,
                                                   const std::shared_ptr<const FontDef>& font)
{
    auto found = pictures_.find(key);
    if (found != pictures_.end())
        return found->second;
    if (bytes_ > kMaxBytes)
        clear();
    fonts_.emplace(font.get(), font);

    Picture picture;
    const QPainterPath* outline = outlines.glyph(font, key.index);
    if (outline && !outline->isEmpty()) {
        // Font units to device pixels, with the origin at the quarter-pixel position.
        const double em = font->emSquare();
        const QTransform toPixels(key.width64 / 64.0 / em, 0, 0, key.height64 / 64.0 / em, key.subX / 4.0,
                                  key.subY / 4.0);
        const QPainterPath placed = toPixels.map(*outline);
        const QRectF area = placed.boundingRect();
        const QRect pixels(QPoint(static_cast<int>(std::floor(area.left())) - 1, static_cast<int>(std::floor(area.top())) - 1),
                           QPoint(static_cast<int>(std::ceil(area.right())) + 1, static_cast<int>(std::ceil(area.bottom())) + 1));
        if (pixels.width() > 0 && pixels.height() > 0) {
            picture.image = QImage(pixels.size(), QImage::Format_ARGB32_Premultiplied);
            picture.image.fill(Qt::transparent);
            picture.offset = pixels.topLeft();
            QPainter p(&picture.image);
            p.setRenderHint(QPainter::Antialiasing, key.smooth);
            p.setPen(Qt::NoPen);
            p.translate(-pixels.left(), -pixels.top());
            p.fillPath(placed, QColor::fromRgb(key.rgb));
            bytes_ += static_cast<size_t>(picture.image.sizeInBytes());
        }
    }
    bytes_ += sizeof(Picture) + sizeof(Key);
    return pictures_.emplace(key, std::move(picture)).first->second;
}

void GlyphBitmaps::draw(QPainter& painter, GlyphCache& outlines, const std::shared_ptr<const FontDef>& font,
                        uint32_t index, double height, double x, double y, double sx, double sy, const QColor& color)
{
    if (!font || color.alpha() == 0)
        return;
    // Quarter-pixel positions: a glyph lands within an eighth of a pixel of where its
    // outline would, and each glyph has at most sixteen pictures per size.
    const double qx = std::floor(x * 4 + 0.5);
    const double qy = std::floor(y * 4 + 0.5);
    if (!std::isfinite(qx) || !std::isfinite(qy) || std::abs(qx) > 4e8 || std::abs(qy) > 4e8)
        return;
    const auto ix = static_cast<int64_t>(qx);
    const auto iy = static_cast<int64_t>(qy);
    Key key{font.get(),
            index,
            static_cast<int32_t>(std::lround(sx * height * 64)),
            static_cast<int32_t>(std::lround(sy * height * 64)),
            static_cast<uint8_t>(((ix % 4) + 4) % 4),
            static_cast<uint8_t>(((iy % 4) + 4) % 4),
            painter.testRenderHint(QPainter::Antialiasing),
            color.rgb()};
    const Picture& pic = picture(key, outlines, font);
    if (pic.image.isNull())
        return;
    const int px = static_cast<int>((ix - key.subX) / 4) + pic.offset.x();
    const int py = static_cast<int>((iy - key.subY) / 4) + pic.offset.y();
    painter.drawImage(QPoint(px, py), pic.image);
}

} // namespace swf::render
