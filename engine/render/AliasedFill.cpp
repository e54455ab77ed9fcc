#include "engine/render/AliasedFill.h"
#include "engine/render/PixelMath.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace swf::render {

namespace {

// Points further out than this are left to Qt, which clips them with care.
constexpr double kMaxCoordinate = 1 << 20;

// The reference player's grid: a twentieth of a device pixel.
constexpr double kGrid = 20;

// A curve's pieces are as few as keep it within this many device pixels (its bend,
// |start - 2 control + end|, over the square of the count, is at most four times it).
constexpr double kCurveTolerance = 0.1;
constexpr int kMaxPieces = 256;

// Past this many edge crossings with the row centres (a busy outline over a tall
// area) the crossings' buffer would grow without bound; Qt fills such outlines.
constexpr size_t kMaxCrossings = size_t{1} << 24;


QPointF onGrid(QPointF p)
{
    return {std::round(p.x() * kGrid) / kGrid, std::round(p.y() * kGrid) / kGrid};
}

int piecesFor(double bend)
{
    if (!(bend > 0))
        return 1;
    return std::clamp(static_cast<int>(std::ceil(std::sqrt(bend / (4 * kCurveTolerance)))), 1, kMaxPieces);
}

double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

// Edges in whole twips (the outline's points are on that grid), y0 < y1.
struct Edge {
    int64_t x0, y0, x1, y1;
    int dir;
};

// Where an edge crosses a row's centre line, in units of 1/81920 pixel: the common
// grid of the fixed-point start (a 64th of a twip) and step (a 16384th of a pixel).
constexpr int64_t kUnitsPerPixel = 81920;
constexpr int64_t kUnitsPerTwip = kUnitsPerPixel / 20;

struct Crossing {
    int64_t x;
    int dir;
};

int64_t floorDiv(int64_t a, int64_t b)  // b > 0
{
    return a / b - ((a % b) < 0 ? 1 : 0);
}

int64_t ceilDiv(int64_t a, int64_t b)  // b > 0
{
    return -floorDiv(-a, b);
}

int64_t twips(double v)
{
    return std::llround(v * kGrid);
}

// The outline's edges (horizontal ones dropped), each subpath closed; false where a
// point is not finite or too far out, or the path has curves.
bool outlineEdges(const QPainterPath& outline, std::vector<Edge>& edges, double& top, double& bottom)
{
    edges.clear();
    top = HUGE_VAL;
    bottom = -HUGE_VAL;
    QPointF start, last;
    bool open = false;
    auto add = [&](QPointF a, QPointF b) {
        const int64_t ax = twips(a.x()), ay = twips(a.y()), bx = twips(b.x()), by = twips(b.y());
        if (ay == by)
            return;
        if (ay < by)
            edges.push_back({ax, ay, bx, by, 1});
        else
            edges.push_back({bx, by, ax, ay, -1});
    };
    for (int i = 0; i < outline.elementCount(); ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        if (e.isCurveTo() || e.type == QPainterPath::CurveToDataElement)
            return false;
        const QPointF p(e.x, e.y);
        if (!(std::abs(p.x()) < kMaxCoordinate) || !(std::abs(p.y()) < kMaxCoordinate))
            return false;
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
        if (e.isMoveTo()) {
            if (open)
                add(last, start);
            start = last = p;
            open = true;
            continue;
        }
        if (!open) {
            start = last = QPointF(0, 0);
            open = true;
        }
        add(last, p);
        last = p;
    }
    if (open)
        add(last, start);
    return true;
}

// Hands `use(y, from, to)` each run of pixels, in rows 0 to `height` and columns 0 to
// `width`, whose centres are inside the outline.
template <class Use>
bool sample(const QPainterPath& outline, int width, int height, Use&& use)
{
    static thread_local std::vector<Edge> edges;
    static thread_local std::vector<Crossing> crossings;
    static thread_local std::vector<size_t> rowStart;
    double top = 0, bottom = 0;
    if (!outlineEdges(outline, edges, top, bottom))
        return false;
    if (edges.empty())
        return true;
    // Rows whose centre y + 0.5 lies in [top, bottom).
    const int firstRow = static_cast<int>(std::max<int64_t>(0, ceilDiv(twips(top) - 10, 20)));
    const int endRow = static_cast<int>(std::min<int64_t>(height, ceilDiv(twips(bottom) - 10, 20)));
    if (endRow <= firstRow || width <= 0)
        return true;
    const size_t rows = static_cast<size_t>(endRow - firstRow);
    // Row r's centre is at 20 r + 10 twips; an edge takes the rows whose centre lies
    // in [y0, y1).
    auto rowsOf = [&](const Edge& e) {
        const int64_t r0 = std::max<int64_t>(firstRow, ceilDiv(e.y0 - 10, 20));
        const int64_t r1 = std::min<int64_t>(endRow, ceilDiv(e.y1 - 10, 20));
        return std::pair{static_cast<int>(r0), static_cast<int>(std::max(r0, r1))};
    };
    // Crossings bucketed by row: counted first, then placed.
    rowStart.assign(rows + 1, 0);
    for (const Edge& e : edges) {
        const auto [r0, r1] = rowsOf(e);
        for (int r = r0; r < r1; ++r)
            ++rowStart[static_cast<size_t>(r - firstRow) + 1];
    }
    for (size_t r = 0; r < rows; ++r)
        rowStart[r + 1] += rowStart[r];
    if (rowStart[rows] > kMaxCrossings)
        return false;  // a hostile outline: Qt's rasteriser works in bands
    crossings.resize(rowStart[rows]);
    std::vector<size_t> fill(rowStart.begin(), rowStart.end() - 1);
    for (const Edge& e : edges) {
        const auto [r0, r1] = rowsOf(e);
        if (r1 <= r0)
            continue;
        // Stepped down the rows from the first centre the edge reaches, in fixed
        // point as the reference player does: the start rounded up to a 64th of a
        // twip, the step per row down to a 16384th of a pixel. Centres on or within
        // a hundredth of a twip of the exact edge fall on the side this puts them.
        const int64_t dx = e.x1 - e.x0, dy = e.y1 - e.y0;
        const int64_t firstRowOfEdge = ceilDiv(e.y0 - 10, 20);
        const int64_t firstCentre = 20 * firstRowOfEdge + 10;
        const int64_t start = ceilDiv(e.x0 * 64 * dy + (firstCentre - e.y0) * dx * 64, dy) * (kUnitsPerTwip / 64);
        const int64_t step = floorDiv(dx * 16384, dy) * (kUnitsPerPixel / 16384);
        for (int r = r0; r < r1; ++r) {
            const int64_t x = start + (r - firstRowOfEdge) * step;
            crossings[fill[static_cast<size_t>(r - firstRow)]++] = {x, e.dir};
        }
    }
    const bool evenOdd = outline.fillRule() == Qt::OddEvenFill;
    for (size_t r = 0; r < rows; ++r) {
        auto begin = crossings.begin() + static_cast<ptrdiff_t>(rowStart[r]);
        auto end = crossings.begin() + static_cast<ptrdiff_t>(rowStart[r + 1]);
        std::sort(begin, end, [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        int winding = 0;
        for (auto it = begin; it != end; ++it) {
            const bool wasInside = evenOdd ? (winding & 1) != 0 : winding != 0;
            winding += it->dir;
            const bool inside = evenOdd ? (winding & 1) != 0 : winding != 0;
            if (wasInside || !inside)
                continue;
            // A run starts here; find where it ends.
            auto stop = it + 1;
            for (; stop != end; ++stop) {
                winding += stop->dir;
                if (!(evenOdd ? (winding & 1) != 0 : winding != 0))
                    break;
            }
            if (stop == end)
                break;  // an unclosed run (rounding at a far-out edge): nothing more
            // Centres x + 0.5 in [from edge, to edge).
            const int64_t half = kUnitsPerPixel / 2;
            const int64_t left = ceilDiv(it->x - half, kUnitsPerPixel);
            const int64_t right = ceilDiv(stop->x - half, kUnitsPerPixel);
            const int from = static_cast<int>(std::clamp<int64_t>(left, 0, width));
            const int to = static_cast<int>(std::clamp<int64_t>(right, 0, width));
            if (to > from)
                use(firstRow + static_cast<int>(r), from, to);
            it = stop;
        }
    }
    return true;
}

} // namespace

QPainterPath aliasedOutline(const QPainterPath& path, const QTransform& toDevice)
{
    QPainterPath out;
    out.setFillRule(path.fillRule());
    QPointF last;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = toDevice.map(QPointF(e.x, e.y));
        if (e.isMoveTo()) {
            out.moveTo(onGrid(p));
            last = p;
        } else if (e.isLineTo()) {
            out.lineTo(onGrid(p));
            last = p;
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPointF c1 = p;
            const QPointF c2 = toDevice.map(QPointF(path.elementAt(i + 1).x, path.elementAt(i + 1).y));
            const QPointF end = toDevice.map(QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y));
            i += 2;
            // Shapes hold quadratic curves, which the path keeps as cubic ones whose
            // controls lie two thirds of the way to the quadratic control.
            const QPointF q1 = last + 1.5 * (c1 - last);
            const QPointF q2 = end + 1.5 * (c2 - end);
            const double span = std::max({length(c1 - last), length(c2 - end), length(end - last), 1e-9});
            int pieces = 1;
            if (length(q1 - q2) <= 1e-6 * span) {
                const QPointF q = (q1 + q2) / 2;
                pieces = piecesFor(length(last - 2 * q + end));
                for (int k = 1; k < pieces; ++k) {
                    const double t = double(k) / pieces, s = 1 - t;
                    out.lineTo(onGrid(s * s * last + 2 * s * t * q + t * t * end));
                }
            } else {
                // A true cubic: cut finely enough for its larger bend.
                pieces = piecesFor(1.5 * std::max(length(last - 2 * c1 + c2), length(c1 - 2 * c2 + end)));
                for (int k = 1; k < pieces; ++k) {
                    const double t = double(k) / pieces, s = 1 - t;
                    out.lineTo(onGrid(s * s * s * last + 3 * s * s * t * c1 + 3 * s * t * t * c2 + t * t * t * end));
                }
            }
            out.lineTo(onGrid(end));
            last = end;
        }
    }
    return out;
}

bool aliasedRuns(const QPainterPath& outline, int width, int height, std::vector<QRect>& runs)
{
    runs.clear();
    return sample(outline, width, height, [&](int y, int from, int to) { runs.emplace_back(from, y, to - from, 1); });
}

void fillRuns(QPainter& painter, std::span<const QRect> runs, const QBrush& brush)
{
    if (runs.empty())
        return;
    QPaintDevice* device = painter.device();
    auto* image = device && device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
    const bool direct = image && image->format() == QImage::Format_ARGB32_Premultiplied && !painter.hasClipping()
        && painter.compositionMode() == QPainter::CompositionMode_SourceOver && painter.opacity() == 1.0
        && image->devicePixelRatio() == 1.0 && brush.style() == Qt::SolidPattern;
    if (direct) {
        // Straight into the pixels, as Qt would blend them.
        const uint32_t color = qPremultiply(brush.color().rgba());
        if (color == 0)
            return;
        uchar* bits = image->bits();
        const qsizetype bpl = image->bytesPerLine();
        const uint32_t keep = 255 - (color >> 24);
        const QRect inside = image->rect();
        for (const QRect& run : runs) {
            const QRect r = run.intersected(inside);
            for (int y = r.top(); y <= r.bottom(); ++y) {
                uint32_t* row = reinterpret_cast<uint32_t*>(bits + y * bpl);
                if (keep == 0) {
                    std::fill(row + r.left(), row + r.right() + 1, color);
                    continue;
                }
                for (int x = r.left(); x <= r.right(); ++x)
                    row[x] = color + byteMul(row[x], keep);
            }
        }
        return;
    }
    // Clipped, blended another way or painted with a gradient or bitmap: the runs go
    // to the painter as whole-pixel rectangles, which it fills exactly.
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawRects(runs.data(), static_cast<int>(runs.size()));
    painter.restore();
}

bool aliasedFill(QPainter& painter, const QPainterPath& outline, const QBrush& brush)
{
    QPaintDevice* device = painter.device();
    if (!device)
        return false;
    static thread_local std::vector<QRect> runs;
    if (!aliasedRuns(outline, device->width(), device->height(), runs))
        return false;
    fillRuns(painter, runs, brush);
    return true;
}

std::optional<std::vector<uint8_t>> aliasedCoverage(const QPainterPath& outline, int width, int height)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    std::vector<uint8_t> out(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    if (!sample(outline, width, height, [&](int y, int from, int to) {
            std::fill_n(out.begin() + static_cast<ptrdiff_t>(y) * width + from, to - from, uint8_t{1});
        }))
        return std::nullopt;
    return out;
}

} // namespace swf::render
