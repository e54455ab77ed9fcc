#include "engine/render/FilterShadow.h"

#include "engine/render/FilterBlur.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace swf::render {

namespace {

using ColorTable = std::array<QRgb, 256>;

int scaleChannel(int value, int by)
{
    return (value * by + 127) / 255;
}

// A premultiplied pixel with its coverage scaled by `by`/255.
QRgb scalePixel(QRgb p, int by)
{
    if (by >= 255)
        return p;
    if (by <= 0)
        return 0;
    return qRgba(scaleChannel(qRed(p), by), scaleChannel(qGreen(p), by), scaleChannel(qBlue(p), by),
                 scaleChannel(qAlpha(p), by));
}

// `top` over `bottom`, both premultiplied.
QRgb over(QRgb top, QRgb bottom)
{
    const int rest = 255 - qAlpha(top);
    if (rest == 0)
        return top;
    return qRgba(qRed(top) + scaleChannel(qRed(bottom), rest), qGreen(top) + scaleChannel(qGreen(bottom), rest),
                 qBlue(top) + scaleChannel(qBlue(bottom), rest), qAlpha(top) + scaleChannel(qAlpha(bottom), rest));
}

// `top` over `bottom` where `bottom` is, and nothing where it is not (both
// premultiplied): an inner effect lies on the object's own pixels, and where the
// object is partly clear it shows as much of itself as the object covers, while
// the object behind it shows through as much as the effect leaves.
QRgb atop(QRgb top, QRgb bottom)
{
    const int covered = qAlpha(bottom);
    const int rest = 255 - qAlpha(top);
    return qRgba(scaleChannel(qRed(top), covered) + scaleChannel(qRed(bottom), rest),
                 scaleChannel(qGreen(top), covered) + scaleChannel(qGreen(bottom), rest),
                 scaleChannel(qBlue(top), covered) + scaleChannel(qBlue(bottom), rest),
                 scaleChannel(qAlpha(top), covered) + scaleChannel(covered, rest));
}

QRgb premultiplied(Rgba c, int coverage)
{
    const int a = scaleChannel(c.a, coverage);
    return qRgba(scaleChannel(c.r, a), scaleChannel(c.g, a), scaleChannel(c.b, a), a);
}

// One colour at every coverage: entry v is the colour at v/255 of its own alpha.
ColorTable solidTable(Rgba color)
{
    ColorTable table{};
    for (int v = 0; v < 256; ++v)
        table[size_t(v)] = premultiplied(color, v);
    return table;
}

// A gradient filter's ramp: entry v is the colour the stops give at ratio v, blended
// between the stops on either side; before the first and after the last stop the
// end colours hold.
ColorTable gradientTable(const std::vector<FilterGradientStop>& stops)
{
    ColorTable table{};
    if (stops.empty())
        return table;
    for (int v = 0; v < 256; ++v) {
        size_t next = 0;
        while (next < stops.size() && stops[next].ratio < v)
            ++next;
        Rgba c;
        if (next == 0) {
            c = stops.front().color;
        } else if (next == stops.size()) {
            c = stops.back().color;
        } else {
            const FilterGradientStop& a = stops[next - 1];
            const FilterGradientStop& b = stops[next];
            const int span = b.ratio - a.ratio;
            const int t = span > 0 ? ((v - a.ratio) * 255 + span / 2) / span : 255;
            auto mix = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(x + ((y - x) * t + (y >= x ? 127 : -127)) / 255); };
            c = {mix(a.color.r, b.color.r), mix(a.color.g, b.color.g), mix(a.color.b, b.color.b), mix(a.color.a, b.color.a)};
        }
        table[size_t(v)] = premultiplied(c, 255);
    }
    return table;
}

// The surface's coverage, blurred as the filter says.
std::vector<uint8_t> blurredCoverage(const QImage& surface, const Filter& filter, FilterScale scale)
{
    const int w = surface.width(), h = surface.height();
    std::vector<uint8_t> plane(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(surface.constScanLine(y));
        for (int x = 0; x < w; ++x)
            plane[size_t(y) * size_t(w) + size_t(x)] = static_cast<uint8_t>(qAlpha(row[x]));
    }
    boxBlur(plane, w, h, w, 1, deviceBlurSize(filter.blurX, scale.x), deviceBlurSize(filter.blurY, scale.y), filter.passes);
    return plane;
}

int strengthen(int value, double strength)
{
    if (!std::isfinite(strength))
        strength = strength > 0 ? 255.0 : 0.0;
    return static_cast<int>(std::clamp(std::lround(value * strength), 0L, 255L));
}

bool usable(const QImage& surface)
{
    return surface.format() == QImage::Format_ARGB32_Premultiplied && !surface.isNull();
}

} // namespace

PixelOffset filterOffset(const Filter& filter, FilterScale scale)
{
    const double dx = std::cos(filter.angle) * filter.distance * scale.x;
    const double dy = std::sin(filter.angle) * filter.distance * scale.y;
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return {};
    // Far past any surface the limits allow: the effect simply lands outside it.
    auto whole = [](double v) { return static_cast<int>(std::clamp(std::lround(v), -20000L, 20000L)); };
    return {whole(dx), whole(dy)};
}

void applyBlurFilter(QImage& surface, const Filter& filter, FilterScale scale)
{
    if (!usable(surface))
        return;
    std::span<uint8_t> bytes(surface.bits(), size_t(surface.sizeInBytes()));
    boxBlur(bytes, surface.width(), surface.height(), int(surface.bytesPerLine()), 4, deviceBlurSize(filter.blurX, scale.x),
            deviceBlurSize(filter.blurY, scale.y), filter.passes);
}

void applyShadowFilter(QImage& surface, const Filter& filter, FilterScale scale)
{
    if (!usable(surface))
        return;
    const int w = surface.width(), h = surface.height();
    const std::vector<uint8_t> plane = blurredCoverage(surface, filter, scale);
    // A glow sits where the object is; a shadow (and a gradient glow) is moved by its
    // distance along its angle.
    const PixelOffset off = filter.kind == FilterKind::Glow ? PixelOffset{} : filterOffset(filter, scale);
    const ColorTable colors = filter.kind == FilterKind::GradientGlow ? gradientTable(filter.gradient) : solidTable(filter.color);
    const bool hideObject = filter.knockout || !filter.compositeSource;
    // The effect's colour at each blurred coverage, strength applied: an inner one
    // shows where the coverage falls short.
    ColorTable shown{};
    for (int v = 0; v < 256; ++v)
        shown[size_t(v)] = colors[size_t(strengthen(filter.inner ? 255 - v : v, filter.strength))];
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(surface.scanLine(y));
        const int sy = y - off.y;
        const bool rowInside = sy >= 0 && sy < h;
        const uint8_t* planeRow = rowInside ? plane.data() + size_t(sy) * size_t(w) : nullptr;
        for (int x = 0; x < w; ++x) {
            const int sx = x - off.x;
            const int coverage = rowInside && sx >= 0 && sx < w ? planeRow[sx] : 0;
            const QRgb object = row[x];
            const int objectAlpha = qAlpha(object);
            if (filter.inner) {
                // Inside the object, darkest where its blurred edge lets the outside in.
                const QRgb effect = shown[size_t(coverage)];
                row[x] = hideObject ? scalePixel(effect, objectAlpha) : atop(effect, object);
            } else {
                const QRgb effect = shown[size_t(coverage)];
                if (filter.knockout)
                    row[x] = scalePixel(effect, 255 - objectAlpha);
                else if (!filter.compositeSource)
                    row[x] = effect;  // the shadow of an object that is not shown
                else if (objectAlpha == 255 || effect == 0)
                    continue;  // the object over nothing, or hiding the effect: itself
                else if (object == 0)
                    row[x] = effect;
                else
                    row[x] = over(object, effect);
            }
        }
    }
}

void applyBevelFilter(QImage& surface, const Filter& filter, FilterScale scale)
{
    if (!usable(surface))
        return;
    const int w = surface.width(), h = surface.height();
    const std::vector<uint8_t> plane = blurredCoverage(surface, filter, scale);
    const PixelOffset off = filterOffset(filter, scale);
    auto sample = [&](int x, int y) -> int {
        return x >= 0 && x < w && y >= 0 && y < h ? plane[size_t(y) * size_t(w) + size_t(x)] : 0;
    };
    const bool gradient = filter.kind == FilterKind::GradientBevel;
    const ColorTable ramp = gradient ? gradientTable(filter.gradient) : ColorTable{};
    const ColorTable highlight = gradient ? ColorTable{} : solidTable(filter.color);
    const ColorTable shadow = gradient ? ColorTable{} : solidTable(filter.shadowColor);
    const bool full = filter.onTop;
    const bool hideObject = filter.knockout || !filter.compositeSource;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(surface.scanLine(y));
        for (int x = 0; x < w; ++x) {
            // Lit where the object's coverage rises towards the light, shaded where it
            // falls: the blurred outline against itself moved both ways.
            const int rise = sample(x + off.x, y + off.y) - sample(x - off.x, y - off.y);
            const double strength = std::isfinite(filter.strength) ? filter.strength : 0.0;
            const long lifted = std::clamp(std::lround(rise * strength), -255L, 255L);
            QRgb effect;
            if (gradient)
                effect = ramp[size_t(std::clamp(128L + lifted / 2, 0L, 255L))];
            else
                effect = lifted >= 0 ? highlight[size_t(lifted)] : shadow[size_t(-lifted)];
            // Shown alone, an inner bevel keeps to the object's pixels and an outer one
            // to the pixels round it. Shown with the object, an inner bevel lies atop it
            // and an outer one beneath it, where the object hides as much of it as it
            // covers: a partly clear object lets the bevel under it show through.
            const QRgb object = row[x];
            const int objectAlpha = qAlpha(object);
            if (full)
                row[x] = hideObject ? effect : over(effect, object);
            else if (hideObject)
                row[x] = scalePixel(effect, filter.inner ? objectAlpha : 255 - objectAlpha);
            else if (filter.inner)
                row[x] = atop(effect, object);
            else
                row[x] = over(object, effect);
        }
    }
}

} // namespace swf::render
