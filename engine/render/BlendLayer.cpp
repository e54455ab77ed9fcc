#include "engine/render/BlendLayer.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cstdint>

namespace swf::render {

QPainter::CompositionMode compositionModeFor(BlendMode mode)
{
    switch (mode) {
    case BlendMode::Multiply: return QPainter::CompositionMode_Multiply;
    case BlendMode::Screen: return QPainter::CompositionMode_Screen;
    case BlendMode::Lighten: return QPainter::CompositionMode_Lighten;
    case BlendMode::Darken: return QPainter::CompositionMode_Darken;
    case BlendMode::Difference: return QPainter::CompositionMode_Difference;
    case BlendMode::Add: return QPainter::CompositionMode_Plus;
    case BlendMode::Overlay: return QPainter::CompositionMode_Overlay;
    case BlendMode::HardLight: return QPainter::CompositionMode_HardLight;
    case BlendMode::Alpha: return QPainter::CompositionMode_DestinationIn;
    case BlendMode::Erase: return QPainter::CompositionMode_DestinationOut;
    case BlendMode::Normal:
    case BlendMode::Layer:
    case BlendMode::Subtract:
    case BlendMode::Invert: break;
    }
    return QPainter::CompositionMode_SourceOver;
}

void applyColorTransform(QImage& layer, const ColorTransform& cx)
{
    if (cx.isIdentity() || layer.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    // Each channel's result depends on that channel alone: looked up in a table per
    // channel, worked out once for the 256 values rather than for every pixel.
    std::array<std::array<uint8_t, 256>, 4> table;
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<uint8_t>(v);
        const Rgba c = cx.apply(Rgba{b, b, b, b});
        table[0][v] = c.r;
        table[1][v] = c.g;
        table[2][v] = c.b;
        table[3][v] = c.a;
    }
    // Layers hold long stretches of one colour (flat fills, a faded picture's
    // background): the last pixel's result is kept for the next one that equals it.
    QRgb lastIn = 0, lastOut = 0;
    const int width = layer.width(), height = layer.height();
    uchar* bits = layer.bits();
    const qsizetype bytesPerLine = layer.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * bytesPerLine);
        for (int x = 0; x < width; ++x) {
            const QRgb in = row[x];
            if (qAlpha(in) == 0)
                continue;
            if (in == lastIn) {
                row[x] = lastOut;
                continue;
            }
            const QRgb straight = qUnpremultiply(in);
            row[x] = qPremultiply(qRgba(table[0][qRed(straight)], table[1][qGreen(straight)], table[2][qBlue(straight)],
                                        table[3][qAlpha(straight)]));
            lastIn = in;
            lastOut = row[x];
        }
    }
}

namespace {

// Premultiplied channels: the result stays a valid premultiplied pixel (colour <= alpha).
QRgb subtractPixel(QRgb d, QRgb s)
{
    const int sa = qAlpha(s), da = qAlpha(d);
    const int a = sa + da - (sa * da + 127) / 255;
    auto channel = [a](int dc, int sc) { return std::min(std::max(dc - sc, 0), a); };
    return qRgba(channel(qRed(d), qRed(s)), channel(qGreen(d), qGreen(s)), channel(qBlue(d), qBlue(s)), a);
}

QRgb invertPixel(QRgb d, QRgb s)
{
    const int sa = qAlpha(s), da = qAlpha(d);
    // Between the backdrop's colour and its inverse (da - c when premultiplied), by the
    // layer's coverage.
    auto channel = [sa, da](int dc) { return dc + ((da - 2 * dc) * sa + (da >= 2 * dc ? 127 : -127)) / 255; };
    return qRgba(channel(qRed(d)), channel(qGreen(d)), channel(qBlue(d)), da);
}

} // namespace

void blendPixels(QImage& backdrop, const QImage& layer, BlendMode mode)
{
    if (mode != BlendMode::Subtract && mode != BlendMode::Invert)
        return;
    if (backdrop.size() != layer.size() || backdrop.format() != QImage::Format_ARGB32_Premultiplied
        || layer.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    const int width = backdrop.width(), height = backdrop.height();
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(backdrop.scanLine(y));
        const auto* in = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(in[x]) == 0)
                continue;
            out[x] = mode == BlendMode::Subtract ? subtractPixel(out[x], in[x]) : invertPixel(out[x], in[x]);
        }
    }
}

void makeEmptyPixelsOpaque(QImage& layer)
{
    if (layer.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    const int width = layer.width(), height = layer.height();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(row[x]) == 0)
                row[x] = qRgba(0, 0, 0, 255);
        }
    }
}

void whitenKeepingAlpha(QImage& layer)
{
    if (layer.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    const int width = layer.width(), height = layer.height();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int a = qAlpha(row[x]);
            row[x] = qRgba(a, a, a, a);
        }
    }
}

} // namespace swf::render
