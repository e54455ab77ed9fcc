// MovieClip's drawing methods: they turn script arguments (pixels, colours as numbers,
// alphas in percent, gradient matrices as objects) into the clip's Drawing.

#include "engine/avm1/BitmapPixels.h"
#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/ScriptBitmaps.h"
#include "engine/format/Drawing.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

// The most stops a gradient holds.
constexpr size_t kMaxGradientStops = 15;

Drawing* drawingOf(const Value& self)
{
    Object* o = self.asObject();
    ClipHost* host = clipHost(o);
    if (!host)
        return nullptr;
    return host->drawing();
}

// A coordinate in pixels as twips. What does not fit in 32 bits of twips is held at the
// edge; NaN stays NaN so that the drawing ignores the point.
double twips(double pixels)
{
    if (std::isnan(pixels))
        return pixels;
    return std::clamp(std::round(pixels * kTwipsPerPixel), -2147483648.0, 2147483647.0);
}

Point pointArg(Machine& m, std::span<const Value> args, size_t first)
{
    return {twips(m.toNumber(arg(args, first))), twips(m.toNumber(arg(args, first + 1)))};
}

// A colour given as 0xRRGGBB with an alpha in percent (0..100, 100 when not given).
Rgba colorArg(Machine& m, const Value& rgb, const Value& alpha)
{
    const uint32_t value = static_cast<uint32_t>(m.toInt32(rgb));
    double percent = alpha.isUndefined() ? 100.0 : m.toNumber(alpha);
    if (std::isnan(percent))
        percent = 0;
    percent = std::clamp(percent, 0.0, 100.0);
    return {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value),
            static_cast<uint8_t>(std::lround(percent * 255 / 100))};
}

double numberMember(Machine& m, Object* o, std::string_view name)
{
    return m.toNumber(m.getMember(Value(o), name));
}

// The matrix of a gradient, from either form scripts use: a box
// ({matrixType: "box", x, y, w, h, r}) or a matrix in pixels ({a, b, c, d, tx, ty})
// that maps the gradient square into the clip.
Matrix gradientMatrixArg(Machine& m, const Value& value)
{
    Object* o = value.asObject();
    if (!o)
        return {};
    Matrix matrix;
    if (m.toString(m.getMember(value, "matrixType")) == "box") {
        matrix = gradientBoxMatrix(numberMember(m, o, "x"), numberMember(m, o, "y"), numberMember(m, o, "w"),
                                   numberMember(m, o, "h"), numberMember(m, o, "r"));
    } else {
        matrix = {numberMember(m, o, "a"), numberMember(m, o, "b"), numberMember(m, o, "c"), numberMember(m, o, "d"),
                  numberMember(m, o, "tx") * kTwipsPerPixel, numberMember(m, o, "ty") * kTwipsPerPixel};
    }
    // A matrix with missing or unusable terms would spread NaN through the paint code.
    for (double v : {matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx, matrix.ty}) {
        if (!std::isfinite(v))
            return {};
    }
    return matrix;
}

// The matrix of a bitmap fill from a flash.geom.Matrix (pixels of the bitmap to pixels
// of the clip), as the fill's matrix from bitmap pixels into shape twips. Without one,
// or with terms that are not numbers, the bitmap lies at the origin at its own size.
Matrix bitmapMatrixArg(Machine& m, const Value& value)
{
    constexpr double t = kTwipsPerPixel;
    const Matrix unscaled{t, 0, 0, t, 0, 0};
    Object* o = value.asObject();
    if (!o)
        return unscaled;
    const Matrix matrix{numberMember(m, o, "a") * t, numberMember(m, o, "b") * t, numberMember(m, o, "c") * t,
                        numberMember(m, o, "d") * t, numberMember(m, o, "tx") * t, numberMember(m, o, "ty") * t};
    for (double v : {matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx, matrix.ty}) {
        if (!std::isfinite(v))
            return unscaled;
    }
    return matrix;
}

// A fill with a script's bitmap, or nothing when `bitmap` is not a BitmapData.
std::optional<FillStyle> bitmapFill(const Value& bitmap, const Matrix& matrix, bool repeat, bool smooth)
{
    std::shared_ptr<const LiveBitmap> live = liveBitmapOf(bitmap);
    if (!live)
        return std::nullopt;
    FillStyle fill;
    fill.kind = FillKind::Bitmap;
    fill.scriptBitmap = std::move(live);
    fill.bitmapMatrix = matrix;
    fill.bitmapRepeats = repeat;
    fill.bitmapSmoothed = smooth;
    return fill;
}

// A gradient fill from beginGradientFill's or lineGradientStyle's arguments: type,
// colours, alphas, ratios, matrix, then spread, interpolation and focal point when
// given. Nothing for an unknown type, a missing matrix, more than eight arguments, arrays
// of different lengths or none, or a ratio outside 0..255: the player draws no fill then.
std::optional<FillStyle> gradientArgs(Machine& m, std::span<const Value> args)
{
    FillStyle fill;
    if (args.size() < 5 || args.size() > 8 || !args[4].isObject())
        return std::nullopt;
    const Value type = arg(args, 0);
    if (!type.isString())
        return std::nullopt;
    if (type.asString() == "linear")
        fill.kind = FillKind::LinearGradient;
    else if (type.asString() == "radial")
        fill.kind = FillKind::RadialGradient;
    else
        return std::nullopt;
    Object* colors = arg(args, 1).asObject();
    Object* alphas = arg(args, 2).asObject();
    Object* ratios = arg(args, 3).asObject();
    if (!colors || !alphas || !ratios)
        return std::nullopt;
    auto lengthOf = [&m](Object* array) {
        const double n = numberMember(m, array, "length");
        return std::isfinite(n) && n > 0 ? n : 0.0;
    };
    const double length = lengthOf(colors);
    if (length == 0 || length != lengthOf(alphas) || length != lengthOf(ratios))
        return std::nullopt;
    const size_t count = static_cast<size_t>(std::min(length, double(kMaxGradientStops)));
    Gradient& gradient = fill.gradient;
    for (size_t i = 0; i < count; ++i) {
        const std::string index = std::to_string(i);
        GradientStop stop;
        stop.color = colorArg(m, m.getMember(Value(colors), index), m.getMember(Value(alphas), index));
        // Fractions are cut off; a ratio that is no number counts as 0.
        double ratio = std::trunc(numberMember(m, ratios, index));
        if (std::isnan(ratio))
            ratio = 0;
        if (ratio < 0 || ratio > 255)
            return std::nullopt;
        stop.ratio = static_cast<uint8_t>(ratio);
        gradient.stops.push_back(stop);
    }
    gradient.matrix = gradientMatrixArg(m, arg(args, 4));
    const std::string spread = args.size() > 5 ? m.toString(args[5]) : std::string();
    if (spread == "reflect")
        gradient.spread = SpreadMode::Reflect;
    else if (spread == "repeat")
        gradient.spread = SpreadMode::Repeat;
    if (args.size() > 6 && m.toString(args[6]) == "linearRGB")
        gradient.interpolation = GradientInterpolation::LinearRgb;
    if (fill.kind == FillKind::RadialGradient && args.size() > 7) {
        const double focal = m.toNumber(args[7]);
        if (std::isfinite(focal) && focal != 0) {
            fill.kind = FillKind::FocalGradient;
            // Held as a movie's shapes hold it, in 256ths cut towards zero: 0.8
            // becomes 204/256, which moves a repeated focal gradient's rings.
            gradient.focalPoint = std::clamp(std::trunc(focal * 256) / 256, -1.0, 1.0);
        }
    }
    return fill;
}

// lineStyle(thickness, rgb, alpha, pixelHinting, noScale, capsStyle, jointStyle,
// miterLimit); without a thickness lines end.
std::optional<LineStyle> lineStyleArgs(Machine& m, std::span<const Value> args)
{
    if (args.empty() || args[0].isUndefined())
        return std::nullopt;
    LineStyle style;
    double thickness = m.toNumber(args[0]);
    if (std::isnan(thickness))
        thickness = 0;
    style.width = static_cast<uint16_t>(std::lround(std::clamp(thickness, 0.0, 255.0) * kTwipsPerPixel));
    style.color = colorArg(m, arg(args, 1), arg(args, 2));
    style.pixelHinting = m.toBoolean(arg(args, 3));
    if (args.size() > 4) {
        const std::string noScale = m.toString(args[4]);
        style.noHScale = noScale == "none" || noScale == "horizontal";
        style.noVScale = noScale == "none" || noScale == "vertical";
    }
    if (args.size() > 5) {
        const std::string caps = m.toString(args[5]);
        if (caps == "none")
            style.startCap = style.endCap = CapStyle::None;
        else if (caps == "square")
            style.startCap = style.endCap = CapStyle::Square;
    }
    if (args.size() > 6) {
        const std::string joint = m.toString(args[6]);
        if (joint == "miter")
            style.join = JoinStyle::Miter;
        else if (joint == "bevel")
            style.join = JoinStyle::Bevel;
    }
    if (args.size() > 7) {
        const double limit = m.toNumber(args[7]);
        if (!std::isnan(limit))
            style.miterLimit = std::clamp(limit, 1.0, 255.0);
    }
    return style;
}

Value drawingClear(Machine&, Value self, std::span<const Value>)
{
    if (Drawing* d = drawingOf(self))
        d->clear();
    return Value();
}

Value drawingLineStyle(Machine& m, Value self, std::span<const Value> args)
{
    if (Drawing* d = drawingOf(self))
        d->setLineStyle(lineStyleArgs(m, args));
    return Value();
}

Value drawingLineGradientStyle(Machine& m, Value self, std::span<const Value> args)
{
    Drawing* d = drawingOf(self);
    if (!d)
        return Value();
    if (auto fill = gradientArgs(m, args))
        d->setLineFill(*fill);
    return Value();
}

Value drawingBeginFill(Machine& m, Value self, std::span<const Value> args)
{
    Drawing* d = drawingOf(self);
    if (!d)
        return Value();
    if (args.empty() || args[0].isUndefined()) {
        d->endFill();
        return Value();
    }
    FillStyle fill;
    fill.color = colorArg(m, args[0], arg(args, 1));
    d->beginFill(fill);
    return Value();
}

Value drawingBeginGradientFill(Machine& m, Value self, std::span<const Value> args)
{
    Drawing* d = drawingOf(self);
    if (!d)
        return Value();
    // Without a type the fill ends; other arguments the player cannot use leave the
    // current fill as it is.
    if (args.empty() || args[0].isUndefined())
        d->endFill();
    else if (auto fill = gradientArgs(m, args))
        d->beginFill(*fill);
    return Value();
}

// beginBitmapFill(bitmap, matrix, repeat, smoothing): repeats unless told not to,
// smooths only when told to. Anything but a BitmapData leaves the fill as it is.
Value drawingBeginBitmapFill(Machine& m, Value self, std::span<const Value> args)
{
    Drawing* d = drawingOf(self);
    if (!d || args.empty())
        return Value();
    const bool repeat = args.size() < 3 || m.toBoolean(args[2]);
    const bool smooth = args.size() > 3 && m.toBoolean(args[3]);
    if (auto fill = bitmapFill(args[0], bitmapMatrixArg(m, arg(args, 1)), repeat, smooth))
        d->beginFill(*fill);
    return Value();
}

// attachBitmap(bitmap, depth, pixelSnapping, smoothing): the bitmap shown at `depth`
// in the clip, at the clip's origin and its own size, as it is each time it is drawn.
// It takes the place of what was at the depth. It is made as an unnamed empty clip
// whose drawing is the bitmap's rectangle filled with it.
Value drawingAttachBitmap(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* host = clipHost(self.asObject());
    BitmapPixels* pixels = bitmapPixelsOf(arg(args, 0));
    if (!host || !pixels || args.size() < 2)
        return Value();
    const double depth = m.toNumber(args[1]);
    if (!std::isfinite(depth))
        return Value();
    const int width = pixels->width(), height = pixels->height();
    const bool smooth = args.size() > 3 && m.toBoolean(args[3]);
    auto fill = bitmapFill(args[0], {kTwipsPerPixel, 0, 0, kTwipsPerPixel, 0, 0}, false, smooth);
    Object* shown = host->createEmptyClip("", static_cast<int>(depth));
    ClipHost* shownHost = clipHost(shown);
    Drawing* d = shownHost ? shownHost->drawing() : nullptr;
    if (!d || !fill)
        return Value();
    d->beginFill(*fill);
    d->moveTo({0, 0});
    d->lineTo({width * kTwipsPerPixel, 0});
    d->lineTo({width * kTwipsPerPixel, height * kTwipsPerPixel});
    d->lineTo({0, height * kTwipsPerPixel});
    d->lineTo({0, 0});
    d->endFill();
    return Value();
}

Value drawingEndFill(Machine&, Value self, std::span<const Value>)
{
    if (Drawing* d = drawingOf(self))
        d->endFill();
    return Value();
}

Value drawingMoveTo(Machine& m, Value self, std::span<const Value> args)
{
    if (Drawing* d = drawingOf(self); d && args.size() >= 2)
        d->moveTo(pointArg(m, args, 0));
    return Value();
}

Value drawingLineTo(Machine& m, Value self, std::span<const Value> args)
{
    if (Drawing* d = drawingOf(self); d && args.size() >= 2)
        d->lineTo(pointArg(m, args, 0));
    return Value();
}

Value drawingCurveTo(Machine& m, Value self, std::span<const Value> args)
{
    if (Drawing* d = drawingOf(self); d && args.size() >= 4)
        d->curveTo(pointArg(m, args, 0), pointArg(m, args, 2));
    return Value();
}

const NativeMethod kDrawingMethods[] = {
    {"clear", drawingClear},
    {"lineStyle", drawingLineStyle},
    {"lineGradientStyle", drawingLineGradientStyle},
    {"beginFill", drawingBeginFill},
    {"beginGradientFill", drawingBeginGradientFill},
    {"beginBitmapFill", drawingBeginBitmapFill},
    {"attachBitmap", drawingAttachBitmap},
    {"endFill", drawingEndFill},
    {"moveTo", drawingMoveTo},
    {"lineTo", drawingLineTo},
    {"curveTo", drawingCurveTo},
};

} // namespace

void installDrawingMethods(Machine& m, Object* proto)
{
    defineMethods(m, proto, kDrawingMethods);
}

} // namespace swf::avm1
