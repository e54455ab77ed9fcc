#include "engine/render/FilterDisplacement.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf::render {

namespace {

// The map's channel `component` (1 red, 2 green, 4 blue, 8 alpha) of a premultiplied
// pixel, as straight colour; 128 (no move) for any other component.
int channelOf(uint32_t premultiplied, int component)
{
    const int a = int(premultiplied >> 24);
    auto straight = [a](int c) { return a == 0 ? 0 : std::min(255, (c * 255 + a / 2) / a); };
    switch (component) {
    case 1: return straight(int(premultiplied >> 16) & 0xFF);
    case 2: return straight(int(premultiplied >> 8) & 0xFF);
    case 4: return straight(int(premultiplied) & 0xFF);
    case 8: return a;
    default: return 128;
    }
}

uint32_t premultipliedColor(Rgba c)
{
    auto mul = [a = int(c.a)](int v) { return uint32_t((v * a + 127) / 255); };
    return uint32_t(c.a) << 24 | mul(c.r) << 16 | mul(c.g) << 8 | mul(c.b);
}

int wrapped(int v, int size)
{
    const int r = v % size;
    return r < 0 ? r + size : r;
}

} // namespace

void applyDisplacementMapFilter(QImage& surface, const Filter& filter, double scaleX, double scaleY,
                                SurfaceOrigin origin)
{
    const BitmapData* map = filter.displacementMap.get();
    if (!map || map->width <= 0 || map->height <= 0 || surface.format() != QImage::Format_ARGB32_Premultiplied
        || surface.width() <= 0 || surface.height() <= 0 || !(scaleX > 0) || !(scaleY > 0)
        || size_t(map->width) * size_t(map->height) > map->pixels.size())
        return;
    const int width = surface.width(), height = surface.height();
    // Read from a copy: every pixel is written from the surface as it was.
    std::vector<uint32_t> source(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(surface.constScanLine(y));
        std::copy(row, row + width, source.begin() + std::ptrdiff_t(y) * width);
    }
    const uint32_t fill = premultipliedColor(filter.color);
    const double moveX = std::isfinite(filter.scaleX) ? filter.scaleX / 256.0 * scaleX : 0.0;
    const double moveY = std::isfinite(filter.scaleY) ? filter.scaleY / 256.0 * scaleY : 0.0;
    // The map's column under each of the surface's columns, -1 where there is none:
    // the same for every row.
    std::vector<int> mapColumn(size_t(width), -1);
    for (int x = 0; x < width; ++x) {
        const double mapX = std::floor((x + 0.5 - origin.x) / scaleX) - filter.mapPointX;
        if (mapX >= 0 && mapX < map->width)
            mapColumn[size_t(x)] = int(mapX);
    }
    // Maps hold runs of one colour: the last map pixel's move is kept for the next
    // that equals it.
    bool moved = false;
    uint32_t lastMap = 0;
    int dx = 0, dy = 0;
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(surface.scanLine(y));
        const double mapY = std::floor((y + 0.5 - origin.y) / scaleY) - filter.mapPointY;
        if (!(mapY >= 0 && mapY < map->height))
            continue;  // no map here: the pixel stays as it is
        for (int x = 0; x < width; ++x) {
            const int mapX = mapColumn[size_t(x)];
            if (mapX < 0)
                continue;
            const uint32_t m = map->at(mapX, int(mapY));
            if (!moved || m != lastMap) {
                // Kept to a range far past any surface, where wrapping still lands inside.
                dx = int(std::clamp(std::trunc((channelOf(m, filter.componentX) - 128) * moveX), -1e6, 1e6));
                dy = int(std::clamp(std::trunc((channelOf(m, filter.componentY) - 128) * moveY), -1e6, 1e6));
                lastMap = m;
                moved = true;
            }
            int sx = x + dx, sy = y + dy;
            if (sx < 0 || sy < 0 || sx >= width || sy >= height) {
                switch (filter.displacementMode) {
                case DisplacementMode::Wrap:
                    sx = wrapped(sx, width);
                    sy = wrapped(sy, height);
                    break;
                case DisplacementMode::Clamp:
                    sx = std::clamp(sx, 0, width - 1);
                    sy = std::clamp(sy, 0, height - 1);
                    break;
                case DisplacementMode::Ignore:
                    sx = x;
                    sy = y;
                    break;
                case DisplacementMode::Color: out[x] = fill; continue;
                }
            }
            out[x] = source[size_t(sy) * size_t(width) + size_t(sx)];
        }
    }
}

} // namespace swf::render
