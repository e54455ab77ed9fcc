#include "engine/render/SpanFill.h"
#include "engine/render/PixelMath.h"

#include <QImage>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace swf::render {

namespace {

// Points further out than this are left to Qt, which clips them with care.
constexpr double kMaxCoordinate = 1 << 20;

// A path is filled here when its device bounds have at most this many pixels for
// each of its points.
constexpr qsizetype kPixelsPerPoint = 64;

// Above this many pixels the summing buffer would take more than it saves; Qt fills.
constexpr qsizetype kMaxArea = qsizetype{4096} * 4096;

// Signed area coverage summed over a grid of pixels: each line adds, to the pixels it
// crosses and the one after, how much of the covered area starts there, so that a
// running sum along a row gives the winding-weighted coverage of each pixel.
class Accumulator {
public:
    Accumulator(int width, int height)
        : width_(width), height_(height), stride_(width + 2)
    {
        static thread_local std::vector<float> buffer;
        buffer.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height), 0.0f);
        cells_ = buffer.data();
    }

    // A line in the grid's own pixels. Parts beyond the left or right side are moved
    // onto that side (they still count for every pixel to their right); parts above
    // or below are left out.
    void line(double x0, double y0, double x1, double y1)
    {
        if (y0 == y1 || !std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1))
            return;
        // Split where the line crosses a side, so that the part inside keeps its slope.
        for (const double side : {0.0, double(width_)}) {
            if ((x0 < side && x1 > side) || (x0 > side && x1 < side)) {
                const double y = y0 + (y1 - y0) * (side - x0) / (x1 - x0);
                line(x0, y0, side, y);
                line(side, y, x1, y1);
                return;
            }
        }
        x0 = std::clamp(x0, 0.0, double(width_));
        x1 = std::clamp(x1, 0.0, double(width_));
        double dir = 1;
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
            dir = -1;
        }
        if (y1 <= 0 || y0 >= height_)
            return;
        const double dxdy = (x1 - x0) / (y1 - y0);
        double x = x0;
        if (y0 < 0) {
            x -= y0 * dxdy;
            y0 = 0;
        }
        y1 = std::min(y1, double(height_));
        const int yEnd = static_cast<int>(std::ceil(y1));
        for (int y = static_cast<int>(std::floor(y0)); y < yEnd; ++y) {
            const double dy = std::min(y + 1.0, y1) - std::max(double(y), y0);
            const double xNext = std::clamp(x + dxdy * dy, 0.0, double(width_));
            const double d = dy * dir;
            addSpan(cells_ + static_cast<ptrdiff_t>(y) * stride_, std::min(x, xNext), std::max(x, xNext), d);
            x = xNext;
        }
    }

    // Coverage 0..255 of row `y` handed to `use(from, to, coverage)` in runs of equal
    // coverage, where not 0; `evenOdd` folds the winding count as the even-odd rule
    // does. A run goes on as long as no line starts in the next pixel.
    template <class Use>
    void sweep(int y, bool evenOdd, Use&& use) const
    {
        const float* row = cells_ + static_cast<ptrdiff_t>(y) * stride_;
        float sum = 0;
        int x = 0;
        while (x < width_) {
            sum += row[x];
            int coverage = static_cast<int>(std::abs(sum) * 256.0f);
            if (evenOdd) {
                coverage &= 511;
                if (coverage > 256)
                    coverage = 512 - coverage;
            }
            coverage = std::min(coverage, 255);
            const int from = x++;
            while (x < width_ && row[x] == 0.0f)
                ++x;
            if (coverage > 0)
                use(from, x, static_cast<uint32_t>(coverage));
        }
    }

private:
    // The part of a line within one row, from `xa` to `xb` (xa <= xb), `d` high
    // (negative going up).
    static void addSpan(float* row, double xa, double xb, double d)
    {
        const int ia = static_cast<int>(std::floor(xa));
        const int ib = static_cast<int>(std::ceil(xb));
        if (ib <= ia + 1) {
            // Within one pixel: what lies right of the line's mean x covers that pixel.
            const double mid = 0.5 * (xa + xb) - ia;
            row[ia] += static_cast<float>(d - d * mid);
            row[ia + 1] += static_cast<float>(d * mid);
            return;
        }
        // Across several pixels: the area right of the line, as it crosses each one.
        const double s = 1 / (xb - xa);
        const double fa = xa - ia;
        const double first = 0.5 * s * (1 - fa) * (1 - fa);
        const double fb = xb - ib + 1;
        const double last = 0.5 * s * fb * fb;
        row[ia] += static_cast<float>(d * first);
        if (ib == ia + 2) {
            row[ia + 1] += static_cast<float>(d * (1 - first - last));
        } else {
            const double second = s * (1.5 - fa);
            row[ia + 1] += static_cast<float>(d * (second - first));
            for (int i = ia + 2; i < ib - 1; ++i)
                row[i] += static_cast<float>(d * s);
            const double beforeLast = second + (ib - ia - 3) * s;
            row[ib - 1] += static_cast<float>(d * (1 - beforeLast - last));
        }
        row[ib] += static_cast<float>(d * last);
    }

    int width_;
    int height_;
    int stride_;
    float* cells_ = nullptr;
};

// The path's points on the device, subpath by subpath, with their device bounds.
// False where the path has curves (only flattened paths are filled here).
struct DevicePoints {
    std::vector<QPointF> points;
    std::vector<size_t> starts;  // where each subpath begins in `points`
    double left = 0, top = 0, right = 0, bottom = 0;
};

// `v` rounded to the nearest whole number, halves away from zero as std::round does,
// for |v| well inside 2^52 (where adding a half is exact); a plain conversion instead
// of the library call std::round is without SSE 4.1.
inline double roundHalfAway(double v)
{
    return static_cast<double>(static_cast<int64_t>(v + (v < 0 ? -0.5 : 0.5)));
}

bool devicePoints(const QPainterPath& path, const QTransform& toDevice, DevicePoints& out)
{
    out.points.clear();
    out.starts.clear();
    // Projective transforms are left to Qt; the affine rest is mapped here, as
    // QTransform::map does (m11 x + m21 y + dx), without a call for every point.
    if (toDevice.type() == QTransform::TxProject)
        return false;
    const double m11 = toDevice.m11(), m12 = toDevice.m12(), m21 = toDevice.m21(), m22 = toDevice.m22();
    const double dx = toDevice.dx(), dy = toDevice.dy();
    const int count = path.elementCount();
    out.points.reserve(static_cast<size_t>(count));
    double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (e.isCurveTo() || e.type == QPainterPath::CurveToDataElement)
            return false;
        if (e.isMoveTo())
            out.starts.push_back(out.points.size());
        else if (out.starts.empty())
            out.starts.push_back(0);
        const double x = m11 * e.x + m21 * e.y + dx;
        const double y = m12 * e.x + m22 * e.y + dy;
        if (!(std::abs(x) < kMaxCoordinate) || !(std::abs(y) < kMaxCoordinate))
            return false;
        // Qt's rasteriser places points on a grid of 1/64 pixel; so do these, so that
        // edges cover what Qt's cover.
        const QPointF p(roundHalfAway(x * 64) / 64, roundHalfAway(y * 64) / 64);
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
        out.points.push_back(p);
    }
    out.left = left;
    out.top = top;
    out.right = right;
    out.bottom = bottom;
    return true;
}

} // namespace

bool spanFillable(QPainter& painter)
{
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image)
        return false;
    const auto* image = static_cast<QImage*>(device);
    return image->format() == QImage::Format_ARGB32_Premultiplied && !painter.hasClipping()
        && painter.compositionMode() == QPainter::CompositionMode_SourceOver && painter.opacity() == 1.0
        && painter.testRenderHint(QPainter::Antialiasing) && image->devicePixelRatio() == 1.0;
}

namespace {

// Fills the path's coverage into an area of `width` x `height` device pixels whose
// top-left is (`x0`, `y0`), handing each covered run to `use(y, from, to, coverage)`.
template <class Use>
void cover(const DevicePoints& pts, bool evenOdd, int x0, int y0, int width, int height, Use&& use)
{
    Accumulator acc(width, height);
    for (size_t s = 0; s < pts.starts.size(); ++s) {
        const size_t begin = pts.starts[s];
        const size_t end = s + 1 < pts.starts.size() ? pts.starts[s + 1] : pts.points.size();
        if (end - begin < 2)
            continue;
        for (size_t i = begin; i < end; ++i) {
            const QPointF& a = pts.points[i];
            const QPointF& b = i + 1 < end ? pts.points[i + 1] : pts.points[begin];
            acc.line(a.x() - x0, a.y() - y0, b.x() - x0, b.y() - y0);
        }
    }
    for (int y = 0; y < height; ++y)
        acc.sweep(y, evenOdd, [&](int from, int to, uint32_t coverage) { use(y, from, to, coverage); });
}

} // namespace

size_t SpanRuns::bytes() const
{
    size_t total = sizeof(SpanRuns) + kept_.capacity() * sizeof(Placement);
    for (const Placement& k : kept_)
        total += k.points.capacity() * sizeof(QPointF) + k.starts.capacity() * sizeof(size_t) + k.runs.capacity() * sizeof(Run);
    return total;
}

struct SpanRunsAccess {
    using Placement = SpanRuns::Placement;

    // The points relative to the area's corner, the area's size and the fill rule,
    // folded into one number. The points sit on a 1/64 grid well inside 2^20, so the
    // differences are exact and equal points give equal bits.
    static uint64_t print(const DevicePoints& pts, int x0, int y0, int width, int height, bool evenOdd)
    {
        constexpr uint64_t kPrime = 0x100000001b3ull;
        uint64_t h = 0xcbf29ce484222325ull;
        auto mix = [&h](uint64_t v) {
            h = (h ^ v) * kPrime;
            h ^= h >> 29;
        };
        mix(static_cast<uint64_t>(width) << 32 | static_cast<uint32_t>(height));
        mix(evenOdd ? 1 : 0);
        mix(pts.starts.size());
        for (const size_t start : pts.starts)
            mix(start);
        for (const QPointF& p : pts.points) {
            mix(std::bit_cast<uint64_t>(p.x() - x0));
            mix(std::bit_cast<uint64_t>(p.y() - y0));
        }
        return h;
    }

    static bool same(const Placement& k, const DevicePoints& pts, int x0, int y0, int width, int height, bool evenOdd)
    {
        if (k.width != width || k.height != height || k.evenOdd != evenOdd || k.starts != pts.starts
            || k.points.size() != pts.points.size())
            return false;
        for (size_t i = 0; i < pts.points.size(); ++i) {
            if (k.points[i].x() != pts.points[i].x() - x0 || k.points[i].y() != pts.points[i].y() - y0)
                return false;
        }
        return true;
    }

    // Hands the path's runs to `blend(y, from, to, coverage)` (y within the area):
    // kept ones where the points are the same as when they were kept, else summed
    // afresh, and kept when these points were seen on an earlier fill.
    static std::array<double, 6> transformOf(const QTransform& t)
    {
        return {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    }

    // The placement kept for this very transform, image size and path, if any: its
    // points would come out as they did.
    static Placement* find(SpanRuns& k, const QTransform& toDevice, QSize image, const QPainterPath& path)
    {
        if (k.kept_.empty() || toDevice.type() == QTransform::TxProject)
            return nullptr;
        const std::array<double, 6> transform = transformOf(toDevice);
        const bool evenOdd = path.fillRule() == Qt::OddEvenFill;
        for (auto it = k.kept_.begin(); it != k.kept_.end(); ++it) {
            if (it->transform == transform && it->image == image && it->elements == path.elementCount()
                && it->evenOdd == evenOdd) {
                std::rotate(k.kept_.begin(), it, it + 1);
                return &k.kept_.front();
            }
        }
        return nullptr;
    }

    // Hands the runs kept for this very transform, image size and path to
    // `blendAt(x0, y0, y, from, to, coverage)`; false where there are none.
    template <class BlendAt>
    static bool replay(SpanRuns& k, const QTransform& toDevice, QSize image, const QPainterPath& path, BlendAt&& blendAt)
    {
        const Placement* same = find(k, toDevice, image, path);
        if (!same)
            return false;
        for (const SpanRuns::Run& r : same->runs)
            blendAt(same->x0, same->y0, int{r.y}, int{r.from}, int{r.to}, uint32_t{r.coverage});
        return true;
    }

    template <class Blend>
    static void fill(SpanRuns& k, const QTransform& toDevice, QSize image, int elements, const DevicePoints& pts, int x0, int y0, int width,
                     int height, bool evenOdd, Blend&& blend)
    {
        // Points can only come out the same under the same linear part: a path turned
        // or resized since its last fill is not fingerprinted (but its first fill is).
        const SpanRuns::Linear linear{toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22()};
        const bool mayRepeat = !k.filled_ || k.lastLinear_ == linear
            || std::ranges::any_of(k.kept_, [&](const Placement& p) { return p.linear == linear; });
        k.lastLinear_ = linear;
        k.filled_ = true;
        if (!mayRepeat) {
            cover(pts, evenOdd, x0, y0, width, height, blend);
            return;
        }
        const uint64_t print = SpanRunsAccess::print(pts, x0, y0, width, height, evenOdd);
        for (auto it = k.kept_.begin(); it != k.kept_.end(); ++it) {
            if (it->print != print || !same(*it, pts, x0, y0, width, height, evenOdd))
                continue;
            for (const SpanRuns::Run& r : it->runs)
                blend(r.y, r.from, r.to, uint32_t{r.coverage});
            // Found at another place: drawn next at this one.
            it->transform = transformOf(toDevice);
            it->image = image;
            it->x0 = x0;
            it->y0 = y0;
            std::rotate(k.kept_.begin(), it, it + 1);
            return;
        }
        const size_t seen = std::min(k.seenCount_, SpanRuns::kSeen);
        const bool again = std::find(k.seen_.begin(), k.seen_.begin() + static_cast<ptrdiff_t>(seen), print)
            != k.seen_.begin() + static_cast<ptrdiff_t>(seen);
        // Runs are kept in 16-bit coordinates.
        constexpr int kMaxSide = 65535;
        if (!again || width > kMaxSide || height > kMaxSide) {
            k.seen_[k.seenCount_++ % SpanRuns::kSeen] = print;
            cover(pts, evenOdd, x0, y0, width, height, blend);
            return;
        }
        if (k.kept_.size() >= SpanRuns::kPlacements)
            k.kept_.pop_back();
        k.kept_.insert(k.kept_.begin(), Placement{});
        Placement& kept = k.kept_.front();
        kept.transform = transformOf(toDevice);
        kept.image = image;
        kept.elements = elements;
        kept.x0 = x0;
        kept.y0 = y0;
        kept.linear = linear;
        kept.print = print;
        kept.width = width;
        kept.height = height;
        kept.evenOdd = evenOdd;
        kept.starts = pts.starts;
        kept.points.resize(pts.points.size());
        for (size_t i = 0; i < pts.points.size(); ++i)
            kept.points[i] = QPointF(pts.points[i].x() - x0, pts.points[i].y() - y0);
        cover(pts, evenOdd, x0, y0, width, height, [&](int y, int from, int to, uint32_t coverage) {
            kept.runs.push_back({static_cast<uint16_t>(y), static_cast<uint16_t>(from), static_cast<uint16_t>(to),
                                 static_cast<uint8_t>(coverage)});
            blend(y, from, to, coverage);
        });
        kept.runs.shrink_to_fit();
    }
};

bool spanFill(QPainter& painter, const QPainterPath& path, const QTransform& toDevice, uint32_t color,
              SpanRuns* keep)
{
    if (!spanFillable(painter))
        return false;
    auto* image = static_cast<QImage*>(painter.device());
    uchar* bits = image->bits();
    const qsizetype bpl = image->bytesPerLine();
    // Blends a run of row `y` of the area whose corner is (x0, y0).
    auto blendAt = [&](int x0, int y0, int y, int from, int to, uint32_t coverage) {
        uint32_t* row = reinterpret_cast<uint32_t*>(bits + (y0 + y) * bpl) + x0;
        const uint32_t src = coverage == 255 ? color : byteMul(color, coverage);
        if (src >> 24 == 255) {
            std::fill(row + from, row + to, src);
            return;
        }
        const uint32_t below = 255 - (src >> 24);
        for (int x = from; x < to; ++x)
            row[x] = src + byteMul(row[x], below);
    };
    if (keep && color != 0) {
        if (SpanRunsAccess::replay(*keep, toDevice, image->size(), path, blendAt))
            return true;
    }
    static thread_local DevicePoints pts;
    if (!devicePoints(path, toDevice, pts))
        return false;
    if (pts.points.empty() || color == 0)
        return true;
    const int x0 = static_cast<int>(std::max(0.0, std::floor(pts.left)));
    const int y0 = static_cast<int>(std::max(0.0, std::floor(pts.top)));
    const int x1 = static_cast<int>(std::min(double(image->width()), std::ceil(pts.right)));
    const int y1 = static_cast<int>(std::min(double(image->height()), std::ceil(pts.bottom)));
    if (x1 <= x0 || y1 <= y0)
        return true;  // nothing of it on the image
    // The summing buffer costs for every pixel of the bounds, Qt's rasteriser for every
    // pixel an edge crosses: large plain shapes are Qt's, busy outlines (strokes,
    // curved shapes flattened finely) are filled here.
    const qsizetype area = qsizetype(x1 - x0) * qsizetype(y1 - y0);
    if (area > kMaxArea || area > kPixelsPerPoint * qsizetype(pts.points.size()))
        return false;
    auto blend = [&](int y, int from, int to, uint32_t coverage) { blendAt(x0, y0, y, from, to, coverage); };
    const bool evenOdd = path.fillRule() == Qt::OddEvenFill;
    if (keep)
        SpanRunsAccess::fill(*keep, toDevice, image->size(), path.elementCount(), pts, x0, y0, x1 - x0, y1 - y0, evenOdd, blend);
    else
        cover(pts, evenOdd, x0, y0, x1 - x0, y1 - y0, blend);
    return true;
}

bool blendCutLayer(QPainter& painter, QPoint at, const QImage& layer, const QImage& cut)
{
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image || !painter.transform().isIdentity())
        return false;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied || painter.hasClipping()
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver || painter.opacity() != 1.0
        || image->devicePixelRatio() != 1.0 || layer.format() != QImage::Format_ARGB32_Premultiplied
        || cut.format() != QImage::Format_Alpha8 || layer.size() != cut.size() || layer.devicePixelRatio() != 1.0)
        return false;
    const QRect area = QRect(at, layer.size()).intersected(image->rect());
    if (area.isEmpty())
        return true;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const int ly = y - at.y();
        const auto* src = reinterpret_cast<const uint32_t*>(layer.constScanLine(ly)) + (area.left() - at.x());
        const uchar* alpha = cut.constScanLine(ly) + (area.left() - at.x());
        auto* dst = reinterpret_cast<uint32_t*>(image->scanLine(y)) + area.left();
        for (int x = 0; x < area.width(); ++x) {
            const uint32_t a = alpha[x];
            if (a == 0 || src[x] == 0)
                continue;
            const uint32_t s = a == 255 ? src[x] : byteMul(src[x], a);
            const uint32_t sa = s >> 24;
            dst[x] = sa == 255 ? s : s + byteMul(dst[x], 255 - sa);
        }
    }
    return true;
}

std::optional<std::vector<uint8_t>> spanCoverage(const QPainterPath& path, const QTransform& toDevice, int width,
                                                 int height)
{
    DevicePoints pts;
    if (width <= 0 || height <= 0 || !devicePoints(path, toDevice, pts))
        return std::nullopt;
    std::vector<uint8_t> out(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    cover(pts, path.fillRule() == Qt::OddEvenFill, 0, 0, width, height, [&](int y, int from, int to, uint32_t coverage) {
        std::fill_n(out.begin() + static_cast<ptrdiff_t>(y) * width + from, to - from, static_cast<uint8_t>(coverage));
    });
    return out;
}

} // namespace swf::render
