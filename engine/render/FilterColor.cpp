#include "engine/render/FilterColor.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf::render {

namespace {

struct Straight {
    float r = 0, g = 0, b = 0, a = 0;
};

Straight straight(QRgb p)
{
    const QRgb s = qUnpremultiply(p);
    return {float(qRed(s)), float(qGreen(s)), float(qBlue(s)), float(qAlpha(s))};
}

int toByte(float v)
{
    if (!std::isfinite(v))
        return v > 0 ? 255 : 0;
    return static_cast<int>(std::clamp(std::lround(v), 0L, 255L));
}

QRgb premultipliedPixel(float r, float g, float b, float a)
{
    return qPremultiply(qRgba(toByte(r), toByte(g), toByte(b), toByte(a)));
}

bool usable(const QImage& surface)
{
    return surface.format() == QImage::Format_ARGB32_Premultiplied && !surface.isNull();
}

} // namespace

void applyColorMatrixFilter(QImage& surface, const Filter& filter)
{
    if (!usable(surface))
        return;
    const auto& m = filter.colorMatrix;
    const int width = surface.width(), height = surface.height();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(surface.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const Straight c = straight(row[x]);
            auto channel = [&](int i) { return m[size_t(i)] * c.r + m[size_t(i) + 1] * c.g + m[size_t(i) + 2] * c.b + m[size_t(i) + 3] * c.a + m[size_t(i) + 4]; };
            row[x] = premultipliedPixel(channel(0), channel(5), channel(10), channel(15));
        }
    }
}

void applyConvolutionFilter(QImage& surface, const Filter& filter)
{
    if (!usable(surface) || filter.matrixX <= 0 || filter.matrixY <= 0
        || filter.matrix.size() != size_t(filter.matrixX) * size_t(filter.matrixY))
        return;
    const int w = surface.width(), h = surface.height();
    std::vector<Straight> source(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(surface.constScanLine(y));
        for (int x = 0; x < w; ++x)
            source[size_t(y) * size_t(w) + size_t(x)] = straight(row[x]);
    }
    const Straight outside{float(filter.defaultColor.r), float(filter.defaultColor.g), float(filter.defaultColor.b),
                           float(filter.defaultColor.a)};
    auto at = [&](int x, int y) -> const Straight& {
        if (x < 0 || x >= w || y < 0 || y >= h) {
            if (!filter.clamp)
                return outside;
            x = std::clamp(x, 0, w - 1);
            y = std::clamp(y, 0, h - 1);
        }
        return source[size_t(y) * size_t(w) + size_t(x)];
    };
    // A divisor of 0 would divide by nothing; the reference player then keeps the sum.
    const float divisor = filter.divisor == 0 || !std::isfinite(filter.divisor) ? 1.0f : filter.divisor;
    const int cx = filter.matrixX / 2, cy = filter.matrixY / 2;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(surface.scanLine(y));
        for (int x = 0; x < w; ++x) {
            Straight sum;
            for (int j = 0; j < filter.matrixY; ++j) {
                for (int i = 0; i < filter.matrixX; ++i) {
                    const float weight = filter.matrix[size_t(j) * size_t(filter.matrixX) + size_t(i)];
                    if (weight == 0)
                        continue;
                    const Straight& s = at(x + i - cx, y + j - cy);
                    sum.r += weight * s.r;
                    sum.g += weight * s.g;
                    sum.b += weight * s.b;
                    sum.a += weight * s.a;
                }
            }
            const Straight& self = source[size_t(y) * size_t(w) + size_t(x)];
            const float alpha = filter.preserveAlpha ? self.a : sum.a / divisor + filter.bias;
            row[x] = premultipliedPixel(sum.r / divisor + filter.bias, sum.g / divisor + filter.bias,
                                        sum.b / divisor + filter.bias, alpha);
        }
    }
}

} // namespace swf::render
