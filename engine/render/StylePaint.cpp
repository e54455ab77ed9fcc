#include "engine/render/StylePaint.h"

#include "engine/format/Bitmap.h"

#include <QImage>
#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace swf::render {

namespace {

// Half the side of the square every gradient is defined in, in twips.
constexpr double kGradientHalfSize = 16384.0;

// A ramp entry's colour ends this far short of where the next one starts.
constexpr double kStepEdge = 1e-6;

// How a partly transparent linear-light ramp darkens with its alpha (see shownLinear).
constexpr double kFadeExponent = 0.56;

// The stops a linear-light ramp is given to Qt as: the size of Qt's own colour table.
constexpr int kLinearLightStops = 1024;

double toLinear(double srgb)
{
    return srgb <= 0.04045 ? srgb / 12.92 : std::pow((srgb + 0.055) / 1.055, 2.4);
}

double toSrgb(double linear)
{
    return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

// A channel in linear light, held in 8 bits the way the reference player holds it: cut
// down, not rounded, so dark colours lose most of their steps (20 and 18 both become 1,
// shown again as 13).
int linear8(int srgb)
{
    return static_cast<int>(std::floor(toLinear(srgb / 255.0) * 255));
}

// An entry of a linear-light ramp: its channels in linear light on the 0..255 scale of
// the 8-bit values the reference player holds them in, and its alpha.
struct LinearEntry {
    double r = 0, g = 0, b = 0, a = 0;
};

LinearEntry blendLinear(const QColor& from, const QColor& to, double t)
{
    auto mix = [t](double x, double y) { return x + (y - x) * t; };
    return {mix(linear8(from.red()), linear8(to.red())), mix(linear8(from.green()), linear8(to.green())),
            mix(linear8(from.blue()), linear8(to.blue())), mix(from.alpha(), to.alpha())};
}

// A linear-light colour as it is shown. Where it is partly transparent the reference
// player darkens it as it fades: the recorded pictures show the colour, brought back
// from linear light, scaled by the alpha to the power 0.56 (a gamma of about 1.8) and
// then drawn at that alpha. At full alpha the colour is unchanged.
QColor shownLinear(const LinearEntry& e)
{
    const int alpha = static_cast<int>(std::lround(std::clamp(e.a, 0.0, 255.0)));
    const double darken = std::pow(alpha / 255.0, kFadeExponent);
    auto channel = [darken](double v) {
        return static_cast<int>(std::lround(std::clamp(toSrgb(v / 255.0), 0.0, 1.0) * darken * 255));
    };
    return QColor(channel(e.r), channel(e.g), channel(e.b), alpha);
}

QGradient::Spread toQSpread(SpreadMode mode)
{
    switch (mode) {
    case SpreadMode::Reflect: return QGradient::ReflectSpread;
    case SpreadMode::Repeat: return QGradient::RepeatSpread;
    case SpreadMode::Pad: break;
    }
    return QGradient::PadSpread;
}

// A gradient brush in the gradient's own square, before its matrix: the ramp of the
// stops under a colour transform, its spread and focal point.
QBrush untransformedGradientBrush(const FillStyle& fill, const ColorTransform& cx)
{
    const Gradient& g = fill.gradient;
    QGradientStops stops = gradientStops(g, cx);
    if (stops.empty())
        return QBrush(Qt::transparent);
    if (stops.size() == 1)
        return QBrush(stops.front().second);
    if (fill.kind == FillKind::LinearGradient) {
        QLinearGradient linear(-kGradientHalfSize, 0, kGradientHalfSize, 0);
        linear.setStops(stops);
        linear.setSpread(toQSpread(g.spread));
        linear.setInterpolationMode(QGradient::ComponentInterpolation);
        return QBrush(linear);
    }
    // Qt keeps the focus inside the circle; the player's focal point is -1..1 of the radius.
    const double focus = std::clamp(g.focalPoint, -0.999, 0.999) * kGradientHalfSize;
    QRadialGradient radial(QPointF(0, 0), kGradientHalfSize, QPointF(focus, 0));
    radial.setStops(stops);
    radial.setSpread(toQSpread(g.spread));
    radial.setInterpolationMode(QGradient::ComponentInterpolation);
    return QBrush(radial);
}

// Gradient brushes made lately. A brush holds a 512-stop ramp, which Qt takes in one
// stop at a time at a cost that grows with the square of the count: far more than
// drawing a small shape with it. A movie draws the same few gradients frame after
// frame, so the brushes are kept, newest first, and only their matrix changes.
class GradientBrushes {
public:
    QBrush brush(const FillStyle& fill, const ColorTransform& cx)
    {
        const Gradient& g = fill.gradient;
        auto same = [&](const Entry& e) {
            return e.kind == fill.kind && e.cx == cx && e.gradient.spread == g.spread
                && e.gradient.interpolation == g.interpolation && e.gradient.focalPoint == g.focalPoint
                && e.gradient.stops == g.stops;
        };
        auto it = std::find_if(entries_.begin(), entries_.end(), same);
        if (it == entries_.end()) {
            if (entries_.size() == kKept)
                entries_.pop_back();
            Entry made{fill.kind, cx, g, untransformedGradientBrush(fill, cx)};
            made.gradient.matrix = {};
            entries_.insert(entries_.begin(), std::move(made));
            return entries_.front().brush;
        }
        std::rotate(entries_.begin(), it, it + 1);
        return entries_.front().brush;
    }

private:
    static constexpr size_t kKept = 64;
    struct Entry {
        FillKind kind;
        ColorTransform cx;
        Gradient gradient;
        QBrush brush;
    };
    std::vector<Entry> entries_;
};

QBrush gradientBrush(const FillStyle& fill, const ColorTransform& cx, const QTransform& toDevice)
{
    const Gradient& g = fill.gradient;
    // Each painting thread keeps its own, so no lock is needed.
    thread_local GradientBrushes made;
    QBrush brush = made.brush(fill, cx);
    if (brush.style() != Qt::LinearGradientPattern && brush.style() != Qt::RadialGradientPattern)
        return brush;
    brush.setTransform(toQTransform(g.matrix) * toDevice);
    return brush;
}

// A script bitmap's picture as an image over its own pixels, which the image keeps
// alive; null when there is none.
QImage scriptBitmapImage(std::shared_ptr<const BitmapData> picture)
{
    if (!picture || picture->width <= 0 || picture->height <= 0
        || picture->pixels.size() != size_t(picture->width) * size_t(picture->height))
        return {};
    using Keep = std::shared_ptr<const BitmapData>;
    auto keep = std::make_unique<Keep>(std::move(picture));
    const BitmapData& p = **keep;
    // Nothing draws into a fill's image; the pixels are only read. The image owns
    // `keep` from here and lets it go with its last copy.
    auto* pixels = const_cast<uchar*>(reinterpret_cast<const uchar*>(p.pixels.data()));
    return QImage(pixels, p.width, p.height, qsizetype(p.width) * 4, QImage::Format_ARGB32_Premultiplied,
                  [](void* info) { std::unique_ptr<Keep>(static_cast<Keep*>(info)); }, keep.release());
}

// The bitmap with a colour transform applied to each pixel, on straight colours. Each
// channel's result depends on that channel alone, so the transform is worked out once
// for each of the 256 values of each channel and the pixels only look it up: a bitmap
// faded in or out is transformed afresh every frame.
QImage colourTransformed(const QImage& image, const ColorTransform& cx)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    std::array<QRgb, 256> red{}, green{}, blue{}, alpha{};
    for (int v = 0; v < 256; ++v) {
        const auto u = static_cast<uint8_t>(v);
        const Rgba c = cx.apply(Rgba{u, u, u, u});
        red[v] = qRgba(c.r, 0, 0, 0);
        green[v] = qRgba(0, c.g, 0, 0);
        blue[v] = qRgba(0, 0, c.b, 0);
        alpha[v] = qRgba(0, 0, 0, c.a);
    }
    const int width = out.width();
    const int height = out.height();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = row[x];
            row[x] = red[qRed(p)] | green[qGreen(p)] | blue[qBlue(p)] | alpha[qAlpha(p)];
        }
    }
    return out;
}

// colourTransformed, with the last few results kept: a tinted or half-faded bitmap that
// holds still is not transformed again every frame. Keyed by the image's cache key,
// which changes with any change to its pixels. Very large bitmaps are not kept.
QImage colourTransformedKept(const QImage& image, const ColorTransform& cx)
{
    struct Kept {
        qint64 key;
        ColorTransform cx;
        QImage image;
    };
    constexpr size_t kKept = 4;
    constexpr qsizetype kMaxKeptPixels = qsizetype{2048} * 2048;
    static thread_local std::vector<Kept> kept;  // the most recent last
    const qint64 key = image.cacheKey();
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->key == key && it->cx == cx) {
            std::rotate(it, it + 1, kept.end());
            return kept.back().image;
        }
    }
    QImage out = colourTransformed(image, cx);
    if (qsizetype(image.width()) * image.height() <= kMaxKeptPixels) {
        if (kept.size() >= kKept)
            kept.erase(kept.begin());
        kept.push_back({key, cx, out});
    }
    return out;
}

// The image a bitmap fill shows: the bitmap itself, or a copy with the colour transform
// applied. Null when the bitmap is missing.
QImage fillImage(const FillStyle& fill, const ColorTransform& cx, const BitmapSource* bitmaps)
{
    QImage shown;
    if (fill.scriptBitmap)
        shown = scriptBitmapImage(fill.scriptBitmap->current());
    else if (const QImage* image = bitmaps ? bitmaps->bitmap(fill.bitmapId) : nullptr)
        shown = *image;
    if (shown.isNull())
        return {};
    return cx.isIdentity() ? shown : colourTransformedKept(shown, cx);
}

QBrush bitmapBrush(const FillStyle& fill, const ColorTransform& cx, const QTransform& toDevice,
                   const BitmapSource* bitmaps)
{
    QImage image = fillImage(fill, cx, bitmaps);
    if (image.isNull())
        return QBrush(Qt::NoBrush);
    QBrush brush(image);
    brush.setTransform(toQTransform(fill.bitmapMatrix) * toDevice);
    return brush;
}

} // namespace

void fillClampedBitmap(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const ColorTransform& cx,
                       const QTransform& toDevice, const BitmapSource* bitmaps)
{
    QImage image = fillImage(fill, cx, bitmaps);
    const QTransform bitmapToShape = toQTransform(fill.bitmapMatrix);
    if (image.isNull() || !bitmapToShape.isInvertible())
        return;
    // The shape's extent in bitmap pixels: how far the edges must be drawn out.
    const QRectF extent = bitmapToShape.inverted().mapRect(path.boundingRect());
    const double w = image.width();
    const double h = image.height();
    const double left = std::min(extent.left(), 0.0);
    const double top = std::min(extent.top(), 0.0);
    const double right = std::max(extent.right(), w);
    const double bottom = std::max(extent.bottom(), h);

    painter.save();
    painter.setTransform(toDevice);
    painter.setClipPath(path, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    painter.setTransform(bitmapToShape * toDevice);
    // The pieces meet edge to edge; anti-aliasing their edges would leave faint seams.
    // The shape's own edge stays anti-aliased through the clip.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawImage(QRectF(0, 0, w, h), image);
    // Edge strips: one row or column of pixels stretched outwards. Each is its own image,
    // so that smoothing cannot pick up pixels from beside it.
    auto strip = [&](const QRectF& target, const QRect& source) {
        if (target.width() > 0 && target.height() > 0)
            painter.drawImage(target, image.copy(source));
    };
    const int iw = image.width();
    const int ih = image.height();
    strip(QRectF(left, 0, -left, h), QRect(0, 0, 1, ih));
    strip(QRectF(w, 0, right - w, h), QRect(iw - 1, 0, 1, ih));
    strip(QRectF(0, top, w, -top), QRect(0, 0, iw, 1));
    strip(QRectF(0, h, w, bottom - h), QRect(0, ih - 1, iw, 1));
    // Corners: the corner pixel's colour.
    auto corner = [&](const QRectF& target, int x, int y) {
        if (target.width() > 0 && target.height() > 0)
            painter.fillRect(target, image.pixelColor(x, y));
    };
    corner(QRectF(left, top, -left, -top), 0, 0);
    corner(QRectF(w, top, right - w, -top), iw - 1, 0);
    corner(QRectF(left, h, -left, bottom - h), 0, ih - 1);
    corner(QRectF(w, h, right - w, bottom - h), iw - 1, ih - 1);
    painter.restore();
}

QColor toQColor(Rgba c, const ColorTransform& cx)
{
    Rgba t = cx.isIdentity() ? c : cx.apply(c);
    return QColor(t.r, t.g, t.b, t.a);
}

namespace {

// Where `ratio` falls among the stops as the player finds it: the first stop in stored
// order whose ratio is not below `ratio`, blended from the stop stored before it by `t`.
// With ratios out of order this skips stops rather than sorting them, which is what
// shows on screen. Past the end stops both indices name the end stop.
struct RampSpan {
    size_t from = 0, to = 0;
    double t = 0;
};

RampSpan spanAtRatio(const std::vector<GradientStop>& stops, int ratio)
{
    size_t k = 0;
    while (k < stops.size() && stops[k].ratio < ratio)
        ++k;
    if (k == stops.size())
        return {k - 1, k - 1, 0};
    if (k == 0)  // every earlier stop is below `ratio`, so k - 1 starts a real span
        return {0, 0, 0};
    return {k - 1, k, static_cast<double>(ratio - stops[k - 1].ratio) / (stops[k].ratio - stops[k - 1].ratio)};
}

QColor colourAtRatio(const std::vector<QColor>& colours, const std::vector<GradientStop>& stops, int ratio)
{
    const RampSpan span = spanAtRatio(stops, ratio);
    const QColor& a = colours[span.from];
    const QColor& b = colours[span.to];
    // Cut down, not rounded: a ramp from 197 to 161 over 24 entries steps 196, 194,
    // 193, 191, as the reference player's does. The hair added keeps a whole result
    // that division left a little short from dropping a step.
    auto mix = [t = span.t](int from, int to) { return static_cast<int>(std::floor(from + (to - from) * t + 1e-9)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()), mix(a.alpha(), b.alpha()));
}

LinearEntry linearAtRatio(const std::vector<QColor>& colours, const std::vector<GradientStop>& stops, int ratio)
{
    const RampSpan span = spanAtRatio(stops, ratio);
    return blendLinear(colours[span.from], colours[span.to], span.t);
}

// A linear-light ramp as stops. The reference player blends a pixel's colour between
// the two entries its position falls between, in linear light, rather than holding
// each entry flat: a hard step between two entries shows one pixel of the mix. Qt
// blends between stops in its own colour space, so the ramp is given at Qt's own
// table resolution, each stop already mixed in linear light.
QGradientStops linearLightStops(const std::vector<QColor>& colours, const std::vector<GradientStop>& stops)
{
    std::array<LinearEntry, 256> entries;
    for (int ratio = 0; ratio < 256; ++ratio)
        entries[size_t(ratio)] = linearAtRatio(colours, stops, ratio);
    QGradientStops out;
    out.reserve(kLinearLightStops);
    for (int k = 0; k < kLinearLightStops; ++k) {
        const double at = double(k) / (kLinearLightStops - 1);
        // Entry i starts at i/256 of the way, as in a ramp of flat entries, and
        // blends towards entry i + 1 over its 256th.
        const double position = std::min(at * 256, 255.0);
        const int i = std::min(static_cast<int>(position), 254);
        const double f = position - i;
        const LinearEntry& a = entries[size_t(i)];
        const LinearEntry& b = entries[size_t(i + 1)];
        auto mix = [f](double x, double y) { return x + (y - x) * f; };
        out.push_back({at, shownLinear({mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a)})});
    }
    return out;
}

} // namespace

QGradientStops gradientStops(const Gradient& gradient, const ColorTransform& cx)
{
    QGradientStops stops;
    if (gradient.stops.empty())
        return stops;
    const bool linearRgb = gradient.interpolation == GradientInterpolation::LinearRgb;
    if (gradient.stops.size() == 1 && !linearRgb)
        return {{0.0, toQColor(gradient.stops.front().color, cx)}};

    // The reference player's 256-entry ramp, which Qt cannot make from the stops
    // itself: out-of-order ratios, linear-RGB blending, channels cut down and each
    // entry held flat.
    std::vector<QColor> colours;
    colours.reserve(gradient.stops.size());
    for (const GradientStop& s : gradient.stops)
        colours.push_back(toQColor(s.color, cx));
    if (linearRgb)
        return linearLightStops(colours, gradient.stops);
    // Each entry holds its colour over its whole 256th of the gradient, as the
    // reference player looks its ramp up by the position cut down to a whole entry;
    // given the entries as plain stops, Qt would blend between neighbours.
    stops.reserve(512);
    for (int ratio = 0; ratio < 256; ++ratio) {
        const QColor c = colourAtRatio(colours, gradient.stops, ratio);
        stops.push_back({ratio / 256.0, c});
        stops.push_back({ratio == 255 ? 1.0 : (ratio + 1) / 256.0 - kStepEdge, c});
    }
    return stops;
}

QBrush fillBrush(const FillStyle& fill, const ColorTransform& cx, const QTransform& toDevice,
                 const BitmapSource* bitmaps)
{
    switch (fill.kind) {
    case FillKind::Solid: return QBrush(toQColor(fill.color, cx));
    case FillKind::LinearGradient:
    case FillKind::RadialGradient:
    case FillKind::FocalGradient: return gradientBrush(fill, cx, toDevice);
    case FillKind::Bitmap: return bitmapBrush(fill, cx, toDevice, bitmaps);
    }
    return QBrush(toQColor(fill.color, cx));
}

double strokeScale(const LineStyle& line, const Matrix& toDevice)
{
    if (line.noHScale && line.noVScale)
        return 1 / kTwipsPerPixel;
    // The matrix taken apart as a rotation after a scale with shear: `along` is how
    // much it stretches the shape's x axis, `across` how far apart it sets lines that
    // were a unit apart in y. Shear moves points along those lines and changes neither,
    // so a skewed stroke keeps its width; a uniform scale gives both its factor.
    const double along = std::hypot(toDevice.a, toDevice.b);
    const double area = std::abs(toDevice.a * toDevice.d - toDevice.b * toDevice.c);
    const double across = along > 0 ? area / along : std::hypot(toDevice.c, toDevice.d);
    if (line.noHScale)
        return across;
    if (line.noVScale)
        return along;
    // Both axes: one factor, the square root of the area scale, so that a stroke is
    // as much thicker as the shape is bigger, whatever its proportions.
    return std::sqrt(area);
}

double strokeWidth(const LineStyle& line, const Matrix& toDevice)
{
    const double width = line.width * strokeScale(line, toDevice);
    // Width 0, and anything thinner than a pixel, is a hairline: one pixel wide.
    return std::isfinite(width) ? std::max(1.0, width) : 1.0;
}

QPen strokeShapePen(const LineStyle& line, double width)
{
    QPen pen(Qt::black, width);
    switch (line.startCap) {
    case CapStyle::Round: pen.setCapStyle(Qt::RoundCap); break;
    case CapStyle::None: pen.setCapStyle(Qt::FlatCap); break;
    case CapStyle::Square: pen.setCapStyle(Qt::SquareCap); break;
    }
    switch (line.join) {
    case JoinStyle::Round: pen.setJoinStyle(Qt::RoundJoin); break;
    case JoinStyle::Bevel: pen.setJoinStyle(Qt::BevelJoin); break;
    case JoinStyle::Miter:
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(line.miterLimit);
        break;
    }
    return pen;
}

QBrush strokeBrush(const LineStyle& line, const ColorTransform& cx, const QTransform& toDevice,
                   const BitmapSource* bitmaps)
{
    return line.hasFill ? fillBrush(line.fill, cx, toDevice, bitmaps) : QBrush(toQColor(line.color, cx));
}

QPen strokePen(const LineStyle& line, const ColorTransform& cx, const Matrix& toDevice, const BitmapSource* bitmaps)
{
    QPen pen = strokeShapePen(line, strokeWidth(line, toDevice));
    pen.setBrush(strokeBrush(line, cx, toQTransform(toDevice), bitmaps));
    return pen;
}

} // namespace swf::render
